#pragma once

#include <tovradocs/recordset.h>

#include <QImage>
#include <QString>
#include <QVariant>

#include <memory>

class QWidget;

namespace tovradocs {

class Dokumentz;

// The one channel through which the component reaches the host: database,
// settings, keys, file names, messages, pickers and viewers. The host
// implements it and hands it over with MediaManager::SetDataLink. Every call
// is made on the user-interface thread. A failure inside the host is thrown as
// HostError and handled by the calling window.
class DataLink
{
public:
    virtual ~DataLink() = default;

    // The three fill operations open the SQL text and put a new recordset into
    // rs. They return true when rows were found. A statement that selects from
    // one table gives a recordset that accepts addNew/update/deleteCurrent.
    virtual bool FillRecordSet(std::unique_ptr<Recordset> &rs, const QString &sql) = 0;
    // The host's list database (SystemLists, Videos).
    virtual bool FillLibRecordSet(std::unique_ptr<Recordset> &rs, const QString &sql) = 0;
    virtual bool FillDaoRecordSet(std::unique_ptr<Recordset> &rs, const QString &sql) = 0;
    virtual void ExecuteStmt(bool flag, const QString &sql) = 0;

    virtual qint32 GenerateEntrycode(bool flag, const QString &table, const QString &keyField) = 0;
    // Full path of a new, unused file in the library files folder.
    virtual QString NextFileName(qint16 kind, qint32 bookCode, qint32 entryCode,
                                 const QString &extension) = 0;
    virtual QString GetLibraryFilesFolder() = 0;

    virtual QVariant GetSystemSetting(qint16 number) = 0;
    virtual void SetSystemSetting(qint16 &number, qint16 &value) = 0;

    // style 0: notice; 16: error. Returns when the user has dismissed it.
    virtual void PassMessage(const QString &text, qint32 style, const QString &title = QString(),
                             qint32 reserved = 0) = 0;
    virtual void ShowHelp(const QString &topicFile) = 0;
    virtual void SpeakControlText(QWidget *control) = 0;

    // Pickers: the code is greater than 0 when the user chose one.
    virtual qint32 GetPatientData(QString &patientName) = 0;
    virtual QString GetNameOfPatient(qint32 &patientCode) = 0;
    virtual qint32 GetLibraryEntry(QString &bookName) = 0;
    virtual QString SelectDocument(qint32 contentType) = 0;

    virtual QString GetDBPath(bool flag) = 0;
    // Colour as red + 256 * green + 65536 * blue; negative when cancelled.
    virtual qint32 GetColor() = 0;
    virtual QImage GetRemoteIcon(qint16 iconSet, qint16 iconNumber) = 0;

    virtual void EmailDocuments(Dokumentz &documents) = 0;
    virtual void AddFileToLib(QString &filePath, qint16 &entryType) = 0;
    virtual void ViewOtherDocument(QString &filePath, QString &description) = 0;
    virtual bool ViewExtendedFile(qint32 &viewerKind, QString &filePath, QString &caption) = 0;
};

} // namespace tovradocs
