#pragma once

#include <tovradocs/datalink.h>

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace tovradocs::Testing {

// Wraps a real DataLink, forwards every call and writes one line per call, in
// order: the operation's name, then its SQL text or its arguments, e.g.
// "FillRecordSet: Select ..." or "NextFileName: 1, 4, 17, JPG".
class RecordingDataLink : public DataLink
{
public:
    explicit RecordingDataLink(std::shared_ptr<DataLink> inner);

    QStringList calls() const { return m_calls; }
    // Only the statements (the fill operations and ExecuteStmt), in order.
    QStringList sqlTexts() const { return m_sqlTexts; }
    // The lines of one operation, without the "Name: " prefix.
    QStringList callsOf(const QString &operation) const;
    void clear();

    // Replaces the host's answer to NextFileName (the call is still recorded).
    using NextFileNameHook = std::function<QString(qint16, qint32, qint32, const QString &)>;
    void setNextFileNameHook(NextFileNameHook hook) { m_nextFileName = std::move(hook); }

    DataLink &inner() { return *m_inner; }

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

private:
    void record(const QString &operation, const QStringList &arguments);
    void recordSql(const QString &operation, const QString &sql);

    std::shared_ptr<DataLink> m_inner;
    QStringList m_calls;
    QStringList m_sqlTexts;
    NextFileNameHook m_nextFileName;
};

} // namespace tovradocs::Testing
