#pragma once

#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

namespace tovradocs {
class DataLink;
}

namespace tovradocs::Internal {

// The illustrator's reads of the practice database, each one statement sent
// through the host. Host failures propagate as HostError.

struct TemplateRow
{
    qint32 code = 0;
    QString description;
};

// One cell of the insertables grid.
struct InsertableCell
{
    qint32 code = 0;
    QString description;
    QImage picture; // the row's picture, or the entry's thumbnail
};

// Kinds of insertables as the combo box's item data holds them.
enum InsertableKind { InsertComplaints = 1, InsertExaminations, InsertTreatments, InsertWorkSteps,
                      InsertPatientDocuments };
// The table of kinds 1 to 4; any other number names the work steps.
QString insertableTable(int kind);
QString insertablesSql(int kind);

QList<TemplateRow> readTemplates(DataLink &link);
// The template's file; empty when the row is not there.
QString readTemplateFile(DataLink &link, qint32 code);
// Kinds 1 to 4. Pictures that cannot be read give cells without a picture.
QList<InsertableCell> readInsertables(DataLink &link, int kind);
// The patient's image entries with thumbnails that fit thumb.
QList<InsertableCell> readPatientPictures(DataLink &link, qint32 patientCode, QSize thumb);
// The file of one library entry; empty when there is none.
QString readEntryFile(DataLink &link, qint32 entryCode);

} // namespace tovradocs::Internal
