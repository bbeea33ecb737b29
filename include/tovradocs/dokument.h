#pragma once

#include <QString>

namespace tovradocs {

// One document handed between the library, the batch import, the slide show
// and the host. Plain data; nothing here touches files or the database.
class Dokument
{
public:
    qint32 id = 0;
    QString FileName;
    QString Comments;
    qint32 DocumentType = 0;
    qint32 FileType = 0;
    qint32 SourceTable = 0;
    qint32 SourceID = 0;
    QString Description;
    qint32 DocCategory = 0;
    qint16 SlideTransition = 0;
    bool Selected = false;
};

} // namespace tovradocs
