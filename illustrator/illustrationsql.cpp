#include "illustrationsql.h"

#include "component/imageloader.h"

#include <tovradocs/datalink.h>

#include <QBuffer>
#include <QImageReader>

#include <memory>

namespace tovradocs::Internal {

namespace {

// Pictures stored in the lists are icons; anything larger is not one of them.
constexpr int kMaxListPictureSide = 4096;

QImage decodeListPicture(const QByteArray &bytes)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > kMaxListPictureSide || size.height() > kMaxListPictureSide)
        return {};
    return reader.read();
}

} // namespace

QString insertableTable(int kind)
{
    switch (kind) {
    case InsertComplaints: return QStringLiteral("Complaints");
    case InsertExaminations: return QStringLiteral("PossibleExaminations");
    case InsertTreatments: return QStringLiteral("PossibleTreatments");
    default: return QStringLiteral("WorkSteps");
    }
}

QString insertablesSql(int kind)
{
    return QStringLiteral("Select Entry_Code, Description , Image From ") + insertableTable(kind)
        + QStringLiteral(" where ( Hide = false) Order by description");
}

QList<TemplateRow> readTemplates(DataLink &link)
{
    QList<TemplateRow> rows;
    std::unique_ptr<Recordset> rs;
    if (!link.FillRecordSet(rs, QStringLiteral("Select * from IllustrationTemplates where Entry_code > 0 ")))
        return rows;
    for (rs->moveFirst(); !rs->isEof(); rs->moveNext())
        rows << TemplateRow {rs->value(QStringLiteral("Entry_code")).toInt(),
                             rs->value(QStringLiteral("Description")).toString()};
    return rows;
}

QString readTemplateFile(DataLink &link, qint32 code)
{
    std::unique_ptr<Recordset> rs;
    if (!link.FillRecordSet(rs, QStringLiteral("Select * from IllustrationTemplates where Entry_code = ")
                                    + QString::number(code))
        || rs->isEof())
        return {};
    return rs->value(QStringLiteral("IllustrationFile")).toString();
}

QList<InsertableCell> readInsertables(DataLink &link, int kind)
{
    QList<InsertableCell> cells;
    std::unique_ptr<Recordset> rs;
    if (!link.FillRecordSet(rs, insertablesSql(kind)))
        return cells;
    for (rs->moveFirst(); !rs->isEof(); rs->moveNext()) {
        const QVariant image = rs->value(QStringLiteral("Image"));
        cells << InsertableCell {rs->value(QStringLiteral("Entry_Code")).toInt(),
                                 rs->value(QStringLiteral("Description")).toString(),
                                 image.typeId() == QMetaType::QImage ? image.value<QImage>()
                                                                     : decodeListPicture(image.toByteArray())};
    }
    return cells;
}

QList<InsertableCell> readPatientPictures(DataLink &link, qint32 patientCode, QSize thumb)
{
    QList<InsertableCell> cells;
    std::unique_ptr<Recordset> books;
    if (!link.FillRecordSet(books, QStringLiteral("Select * From Books where ( Patientcode = ")
                                       + QString::number(patientCode) + QStringLiteral(")")))
        return cells;
    for (books->moveFirst(); !books->isEof(); books->moveNext()) {
        std::unique_ptr<Recordset> entries;
        const qint32 book = books->value(QStringLiteral("Entry_Code")).toInt();
        if (!link.FillRecordSet(entries, QStringLiteral("Select * From BookContents where (BookCode = ")
                                             + QString::number(book) + QStringLiteral(")")))
            continue;
        for (entries->moveFirst(); !entries->isEof(); entries->moveNext()) {
            if (entries->value(QStringLiteral("EntryType")).toInt() != 1)
                continue;
            ImageLoadOptions options;
            options.scaledTo = thumb;
            options.keepAspect = true;
            const Result<QImage> picture = loadImage(entries->value(QStringLiteral("FileName")).toString(), options);
            cells << InsertableCell {entries->value(QStringLiteral("Entry_Code")).toInt(),
                                     entries->value(QStringLiteral("Description")).toString(),
                                     picture ? *picture : QImage()};
        }
    }
    return cells;
}

QString readEntryFile(DataLink &link, qint32 entryCode)
{
    std::unique_ptr<Recordset> rs;
    if (!link.FillRecordSet(rs, QStringLiteral("Select * from BookContents where Entry_code = ")
                                    + QString::number(entryCode))
        || rs->isEof())
        return {};
    return rs->value(QStringLiteral("FileName")).toString();
}

} // namespace tovradocs::Internal
