#pragma once

#include <tovradocs/datalink.h>

namespace tovradocs::Testing {

// A host that answers nothing: every call does nothing and returns an empty
// value. Tests derive from it and record only the calls they care about.
class NullDataLink : public DataLink
{
public:
    bool FillRecordSet(std::unique_ptr<Recordset> &rs, const QString &sql) override;
    bool FillLibRecordSet(std::unique_ptr<Recordset> &rs, const QString &sql) override;
    bool FillDaoRecordSet(std::unique_ptr<Recordset> &rs, const QString &sql) override;
    void ExecuteStmt(bool flag, const QString &sql) override;
    qint32 GenerateEntrycode(bool flag, const QString &table, const QString &keyField) override;
    QString NextFileName(qint16 kind, qint32 bookCode, qint32 entryCode,
                         const QString &extension) override;
    QString GetLibraryFilesFolder() override;
    QVariant GetSystemSetting(qint16 number) override;
    void SetSystemSetting(qint16 &number, qint16 &value) override;
    void PassMessage(const QString &text, qint32 style, const QString &title = QString(),
                     qint32 reserved = 0) override;
    void ShowHelp(const QString &topicFile) override;
    void SpeakControlText(QWidget *control) override;
    qint32 GetPatientData(QString &patientName) override;
    QString GetNameOfPatient(qint32 &patientCode) override;
    qint32 GetLibraryEntry(QString &bookName) override;
    QString SelectDocument(qint32 contentType) override;
    QString GetDBPath(bool flag) override;
    qint32 GetColor() override;
    QImage GetRemoteIcon(qint16 iconSet, qint16 iconNumber) override;
    void EmailDocuments(Dokumentz &documents) override;
    void AddFileToLib(QString &filePath, qint16 &entryType) override;
    void ViewOtherDocument(QString &filePath, QString &description) override;
    bool ViewExtendedFile(qint32 &viewerKind, QString &filePath, QString &caption) override;
};

} // namespace tovradocs::Testing
