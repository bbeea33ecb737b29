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
    explicit RecordingDataLink(std::shared_ptr<DataLink> inner) : m_inner(std::move(inner)) { }

    // Only the statements (the fill operations and ExecuteStmt), in order.
    QStringList sqlTexts() const { return m_sqlTexts; }
    // The lines of one operation, without the "Name: " prefix.
    QStringList callsOf(const QString &operation) const;
    void clear();

    // Replaces the host's answer to NextFileName (the call is still recorded).
    using NextFileNameHook = std::function<QString(qint16, qint32, qint32, const QString &)>;
    void setNextFileNameHook(NextFileNameHook hook) { m_nextFileName = std::move(hook); }

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
    QString NextFileName(qint16 kind, qint32 bookCode, qint32 entryCode,
                         const QString &extension) override
    {
        if (!m_nextFileName)
            return forward(&DataLink::NextFileName, "NextFileName", kind, bookCode, entryCode,
                           extension);
        record("NextFileName", kind, bookCode, entryCode, extension);
        return m_nextFileName(kind, bookCode, entryCode, extension);
    }

    // The rest record their arguments and forward unchanged.
#define TOVRA_FORWARD(Result, Name, Params, ...)                                                   \
    Result Name Params override { return forward(&DataLink::Name, #Name __VA_OPT__(, ) __VA_ARGS__); }
    TOVRA_FORWARD(void, PassMessage, (const QString &text, qint32 style, const QString &title = QString(),
                                      qint32 reserved = 0), text, style, title, reserved)
    TOVRA_FORWARD(qint32, GenerateEntrycode, (bool f, const QString &t, const QString &k), f, t, k)
    TOVRA_FORWARD(QString, GetLibraryFilesFolder, ())
    TOVRA_FORWARD(QVariant, GetSystemSetting, (qint16 number), number)
    TOVRA_FORWARD(void, SetSystemSetting, (qint16 &number, qint16 &value), number, value)
    TOVRA_FORWARD(void, ShowHelp, (const QString &topicFile), topicFile)
    TOVRA_FORWARD(void, SpeakControlText, (QWidget *control), control)
    TOVRA_FORWARD(qint32, GetPatientData, (QString &patientName), patientName)
    TOVRA_FORWARD(QString, GetNameOfPatient, (qint32 &patientCode), patientCode)
    TOVRA_FORWARD(qint32, GetLibraryEntry, (QString &bookName), bookName)
    TOVRA_FORWARD(QString, SelectDocument, (qint32 contentType), contentType)
    TOVRA_FORWARD(QString, GetDBPath, (bool flag), flag)
    TOVRA_FORWARD(qint32, GetColor, ())
    TOVRA_FORWARD(QImage, GetRemoteIcon, (qint16 set, qint16 number), set, number)
    TOVRA_FORWARD(void, EmailDocuments, (Dokumentz &documents), documents)
    TOVRA_FORWARD(void, AddFileToLib, (QString &filePath, qint16 &entryType), filePath, entryType)
    TOVRA_FORWARD(void, ViewOtherDocument, (QString &path, QString &description), path, description)
    TOVRA_FORWARD(bool, ViewExtendedFile, (qint32 &kind, QString &path, QString &caption), kind,
                  path, caption)
#undef TOVRA_FORWARD

private:
    std::shared_ptr<DataLink> m_inner;
    QStringList m_calls;
    QStringList m_sqlTexts;
    NextFileNameHook m_nextFileName;
};

} // namespace tovradocs::Testing
