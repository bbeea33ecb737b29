#include <tovradocs/dokumentz.h>

#include <algorithm>

namespace tovradocs {

struct Dokumentz::Private
{
    Items items;
    std::vector<QString> keys; // parallel to items; empty for documents without key

    std::size_t indexOfKey(const QString &key) const
    {
        const auto it = std::find(keys.begin(), keys.end(), key);
        if (key.isEmpty() || it == keys.end())
            throw CollectionError("Dokumentz: no document under key \"" + key.toStdString() + '"');
        return std::size_t(it - keys.begin());
    }

    std::size_t indexOfPosition(qint32 position) const
    {
        if (position < 1 || std::size_t(position) > items.size())
            throw CollectionError("Dokumentz: position " + std::to_string(position)
                                  + " is out of range");
        return std::size_t(position - 1);
    }
};

Dokumentz::Dokumentz() : d(std::make_unique<Private>()) {}
Dokumentz::~Dokumentz() = default;

std::shared_ptr<Dokument> Dokumentz::Add(qint32 id, const QString &FileName,
                                         const QString &Comments, qint32 DocumentType,
                                         qint32 FileType, qint32 SourceTable, qint32 SourceID,
                                         const QString &sKey)
{
    if (!sKey.isEmpty() && std::find(d->keys.begin(), d->keys.end(), sKey) != d->keys.end())
        throw CollectionError("Dokumentz: key \"" + sKey.toStdString() + "\" is already in use");
    auto doc = std::make_shared<Dokument>();
    doc->id = id;
    doc->FileName = FileName;
    doc->Comments = Comments;
    doc->DocumentType = DocumentType;
    doc->FileType = FileType;
    doc->SourceTable = SourceTable;
    doc->SourceID = SourceID;
    d->items.push_back(doc);
    d->keys.push_back(sKey);
    return doc;
}

std::shared_ptr<Dokument> Dokumentz::Item(qint32 position) const
{
    return d->items[d->indexOfPosition(position)];
}

std::shared_ptr<Dokument> Dokumentz::Item(const QString &key) const
{
    return d->items[d->indexOfKey(key)];
}

qint32 Dokumentz::Count() const { return qint32(d->items.size()); }

void Dokumentz::Remove(qint32 position)
{
    const auto i = d->indexOfPosition(position);
    d->items.erase(d->items.begin() + i);
    d->keys.erase(d->keys.begin() + i);
}

void Dokumentz::Remove(const QString &key)
{
    const auto i = d->indexOfKey(key);
    d->items.erase(d->items.begin() + i);
    d->keys.erase(d->keys.begin() + i);
}

void Dokumentz::Clear()
{
    while (Count() >= 1)
        Remove(1);
}

Dokumentz::const_iterator Dokumentz::begin() const { return const_iterator(d->items.cbegin()); }
Dokumentz::const_iterator Dokumentz::end() const { return const_iterator(d->items.cend()); }

} // namespace tovradocs
