#pragma once

#include <tovradocs/dokument.h>

#include <QString>

#include <memory>
#include <stdexcept>
#include <vector>

namespace tovradocs {

// Thrown by Dokumentz for a duplicate key, an unknown key or a position out of
// range. The collection is unchanged when it is thrown.
class CollectionError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// An ordered collection of documents, optionally keyed. Positions are 1-based.
// Documents are shared: a Dokument returned by Add or Item stays valid after
// it is removed from the collection.
class Dokumentz
{
public:
    using Items = std::vector<std::shared_ptr<Dokument>>;

    Dokumentz();
    ~Dokumentz();
    Dokumentz(const Dokumentz &) = delete;
    Dokumentz &operator=(const Dokumentz &) = delete;

    qint32 DefDocumentType = 0;
    qint32 DefFileType = 0;
    qint32 DefSourceTable = 0;
    qint32 DefSourceID = 0;

    // Appends a document under sKey (no key when empty).
    std::shared_ptr<Dokument> Add(qint32 id, const QString &FileName, const QString &Comments,
                                  qint32 DocumentType, qint32 FileType, qint32 SourceTable,
                                  qint32 SourceID, const QString &sKey = QString());
    std::shared_ptr<Dokument> Item(qint32 position) const;
    std::shared_ptr<Dokument> Item(const QString &key) const;
    qint32 Count() const;
    void Remove(qint32 position);
    void Remove(const QString &key);
    void Clear();

    // Range-for over the documents in order.
    class const_iterator
    {
    public:
        explicit const_iterator(Items::const_iterator it) : m_it(it) {}
        Dokument &operator*() const { return **m_it; }
        Dokument *operator->() const { return m_it->get(); }
        const_iterator &operator++() { ++m_it; return *this; }
        bool operator==(const const_iterator &o) const { return m_it == o.m_it; }
        bool operator!=(const const_iterator &o) const { return m_it != o.m_it; }

    private:
        Items::const_iterator m_it;
    };
    const_iterator begin() const;
    const_iterator end() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace tovradocs
