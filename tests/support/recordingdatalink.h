#pragma once

#include <tovradocs/datalink.h>
#include <tovradocs/dokumentz.h>

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <type_traits>

namespace tovradocs::Testing {

// Wraps a real DataLink, forwards every call and writes one line per call, in
// order: the operation's name, then its SQL text or its arguments, e.g.
// "FillRecordSet: Select ..." or "NextFileName: 1, 4, 17, JPG".
class RecordingDataLink : public DataLink
{
    // Helpers come first: the overrides below need their deduced return types.
private:
    static QString text(bool b) { return b ? QStringLiteral("true") : QStringLiteral("false"); }
    static QString text(const QString &s) { return s; }
    static QString text(QWidget *w) { return w ? w->objectName() : QStringLiteral("(none)"); }
    static QString text(const Dokumentz &documents) { return QString::number(documents.Count()); }
    template<typename T>
    static std::enable_if_t<std::is_integral_v<T>, QString> text(T n)
    {
        return QString::number(n);
    }

    template<typename... Args>
    void record(const char *operation, const Args &...args)
    {
        const QStringList arguments {text(args)...};
        QString line = QLatin1String(operation);
        if (!arguments.isEmpty())
            line += QStringLiteral(": ") + arguments.join(QStringLiteral(", "));
        m_calls << line;
    }
    template<typename Method, typename... Args>
    auto forward(Method method, const char *operation, Args &...args)
    {
        record(operation, args...);
        return ((*m_inner).*method)(args...);
    }
    template<typename Method>
    bool fill(Method method, const char *operation, std::unique_ptr<Recordset> &rs,
              const QString &sql)
    {
        m_calls << QLatin1String(operation) + QStringLiteral(": ") + sql;
        m_sqlTexts << sql;
        return ((*m_inner).*method)(rs, sql);
    }

public:
    explicit RecordingDataLink(std::shared_ptr<DataLink> inner)
        : m_inner(std::move(inner))
    {
    }

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

    bool FillRecordSet(std::unique_ptr<Recordset> &rs, const QString &sql) override
    {
        return fill(&DataLink::FillRecordSet, "FillRecordSet", rs, sql);
    }
    bool FillLibRecordSet(std::unique_ptr<Recordset> &rs, const QString &sql) override
    {
        return fill(&DataLink::FillLibRecordSet, "FillLibRecordSet", rs, sql);
    }
    bool FillDaoRecordSet(std::unique_ptr<Recordset> &rs, const QString &sql) override
    {
        return fill(&DataLink::FillDaoRecordSet, "FillDaoRecordSet", rs, sql);
    }
    void ExecuteStmt(bool flag, const QString &sql) override
    {
        m_sqlTexts << sql;
        forward(&DataLink::ExecuteStmt, "ExecuteStmt", flag, sql);
    }
    qint32 GenerateEntrycode(bool flag, const QString &table, const QString &keyField) override
    {
        return forward(&DataLink::GenerateEntrycode, "GenerateEntrycode", flag, table, keyField);
    }
    QString NextFileName(qint16 kind, qint32 bookCode, qint32 entryCode,
                         const QString &extension) override
    {
        if (!m_nextFileName)
            return forward(&DataLink::NextFileName, "NextFileName", kind, bookCode, entryCode,
                           extension);
        record("NextFileName", kind, bookCode, entryCode, extension);
        return m_nextFileName(kind, bookCode, entryCode, extension);
    }
    QString GetLibraryFilesFolder() override
    {
        return forward(&DataLink::GetLibraryFilesFolder, "GetLibraryFilesFolder");
    }
    QVariant GetSystemSetting(qint16 number) override
    {
        return forward(&DataLink::GetSystemSetting, "GetSystemSetting", number);
    }
    void SetSystemSetting(qint16 &number, qint16 &value) override
    {
        forward(&DataLink::SetSystemSetting, "SetSystemSetting", number, value);
    }
    void PassMessage(const QString &text, qint32 style, const QString &title = QString(),
                     qint32 reserved = 0) override
    {
        forward(&DataLink::PassMessage, "PassMessage", text, style, title, reserved);
    }
    void ShowHelp(const QString &topicFile) override
    {
        forward(&DataLink::ShowHelp, "ShowHelp", topicFile);
    }
    void SpeakControlText(QWidget *control) override
    {
        forward(&DataLink::SpeakControlText, "SpeakControlText", control);
    }
    qint32 GetPatientData(QString &patientName) override
    {
        return forward(&DataLink::GetPatientData, "GetPatientData", patientName);
    }
    QString GetNameOfPatient(qint32 &patientCode) override
    {
        return forward(&DataLink::GetNameOfPatient, "GetNameOfPatient", patientCode);
    }
    qint32 GetLibraryEntry(QString &bookName) override
    {
        return forward(&DataLink::GetLibraryEntry, "GetLibraryEntry", bookName);
    }
    QString SelectDocument(qint32 contentType) override
    {
        return forward(&DataLink::SelectDocument, "SelectDocument", contentType);
    }
    QString GetDBPath(bool flag) override
    {
        return forward(&DataLink::GetDBPath, "GetDBPath", flag);
    }
    qint32 GetColor() override { return forward(&DataLink::GetColor, "GetColor"); }
    QImage GetRemoteIcon(qint16 iconSet, qint16 iconNumber) override
    {
        return forward(&DataLink::GetRemoteIcon, "GetRemoteIcon", iconSet, iconNumber);
    }
    void EmailDocuments(Dokumentz &documents) override
    {
        forward(&DataLink::EmailDocuments, "EmailDocuments", documents);
    }
    void AddFileToLib(QString &filePath, qint16 &entryType) override
    {
        forward(&DataLink::AddFileToLib, "AddFileToLib", filePath, entryType);
    }
    void ViewOtherDocument(QString &filePath, QString &description) override
    {
        forward(&DataLink::ViewOtherDocument, "ViewOtherDocument", filePath, description);
    }
    bool ViewExtendedFile(qint32 &viewerKind, QString &filePath, QString &caption) override
    {
        return forward(&DataLink::ViewExtendedFile, "ViewExtendedFile", viewerKind, filePath,
                       caption);
    }

private:
    std::shared_ptr<DataLink> m_inner;
    QStringList m_calls;
    QStringList m_sqlTexts;
    NextFileNameHook m_nextFileName;
};

} // namespace tovradocs::Testing
