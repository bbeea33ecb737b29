#include "support/recordingdatalink.h"

#include <tovradocs/dokumentz.h>

#include <QWidget>

namespace tovradocs::Testing {

namespace {
QString boolText(bool b) { return b ? QStringLiteral("true") : QStringLiteral("false"); }
} // namespace

RecordingDataLink::RecordingDataLink(std::shared_ptr<DataLink> inner) : m_inner(std::move(inner)) {}

QStringList RecordingDataLink::callsOf(const QString &operation) const
{
    const QString prefix = operation + QStringLiteral(": ");
    QStringList lines;
    for (const QString &line : m_calls) {
        if (line.startsWith(prefix))
            lines << line.mid(prefix.size());
        else if (line == operation)
            lines << QString();
    }
    return lines;
}

void RecordingDataLink::clear()
{
    m_calls.clear();
    m_sqlTexts.clear();
}

void RecordingDataLink::record(const QString &operation, const QStringList &arguments)
{
    m_calls << (arguments.isEmpty() ? operation
                                    : operation + QStringLiteral(": ") + arguments.join(QStringLiteral(", ")));
}

void RecordingDataLink::recordSql(const QString &operation, const QString &sql)
{
    m_calls << operation + QStringLiteral(": ") + sql;
    m_sqlTexts << sql;
}

bool RecordingDataLink::FillRecordSet(std::unique_ptr<Recordset> &rs, const QString &sql)
{
    recordSql(QStringLiteral("FillRecordSet"), sql);
    return m_inner->FillRecordSet(rs, sql);
}

bool RecordingDataLink::FillLibRecordSet(std::unique_ptr<Recordset> &rs, const QString &sql)
{
    recordSql(QStringLiteral("FillLibRecordSet"), sql);
    return m_inner->FillLibRecordSet(rs, sql);
}

bool RecordingDataLink::FillDaoRecordSet(std::unique_ptr<Recordset> &rs, const QString &sql)
{
    recordSql(QStringLiteral("FillDaoRecordSet"), sql);
    return m_inner->FillDaoRecordSet(rs, sql);
}

void RecordingDataLink::ExecuteStmt(bool flag, const QString &sql)
{
    m_calls << QStringLiteral("ExecuteStmt: ") + boolText(flag) + QStringLiteral(", ") + sql;
    m_sqlTexts << sql;
    m_inner->ExecuteStmt(flag, sql);
}

qint32 RecordingDataLink::GenerateEntrycode(bool flag, const QString &table, const QString &keyField)
{
    record(QStringLiteral("GenerateEntrycode"), {boolText(flag), table, keyField});
    return m_inner->GenerateEntrycode(flag, table, keyField);
}

QString RecordingDataLink::NextFileName(qint16 kind, qint32 bookCode, qint32 entryCode,
                                        const QString &extension)
{
    record(QStringLiteral("NextFileName"), {QString::number(kind), QString::number(bookCode),
                                            QString::number(entryCode), extension});
    if (m_nextFileName)
        return m_nextFileName(kind, bookCode, entryCode, extension);
    return m_inner->NextFileName(kind, bookCode, entryCode, extension);
}

QString RecordingDataLink::GetLibraryFilesFolder()
{
    record(QStringLiteral("GetLibraryFilesFolder"), {});
    return m_inner->GetLibraryFilesFolder();
}

QVariant RecordingDataLink::GetSystemSetting(qint16 number)
{
    record(QStringLiteral("GetSystemSetting"), {QString::number(number)});
    return m_inner->GetSystemSetting(number);
}

void RecordingDataLink::SetSystemSetting(qint16 &number, qint16 &value)
{
    record(QStringLiteral("SetSystemSetting"), {QString::number(number), QString::number(value)});
    m_inner->SetSystemSetting(number, value);
}

void RecordingDataLink::PassMessage(const QString &text, qint32 style, const QString &title,
                                    qint32 reserved)
{
    record(QStringLiteral("PassMessage"),
           {text, QString::number(style), title, QString::number(reserved)});
    m_inner->PassMessage(text, style, title, reserved);
}

void RecordingDataLink::ShowHelp(const QString &topicFile)
{
    record(QStringLiteral("ShowHelp"), {topicFile});
    m_inner->ShowHelp(topicFile);
}

void RecordingDataLink::SpeakControlText(QWidget *control)
{
    record(QStringLiteral("SpeakControlText"),
           {control ? control->objectName() : QStringLiteral("(none)")});
    m_inner->SpeakControlText(control);
}

qint32 RecordingDataLink::GetPatientData(QString &patientName)
{
    record(QStringLiteral("GetPatientData"), {patientName});
    return m_inner->GetPatientData(patientName);
}

QString RecordingDataLink::GetNameOfPatient(qint32 &patientCode)
{
    record(QStringLiteral("GetNameOfPatient"), {QString::number(patientCode)});
    return m_inner->GetNameOfPatient(patientCode);
}

qint32 RecordingDataLink::GetLibraryEntry(QString &bookName)
{
    record(QStringLiteral("GetLibraryEntry"), {bookName});
    return m_inner->GetLibraryEntry(bookName);
}

QString RecordingDataLink::SelectDocument(qint32 contentType)
{
    record(QStringLiteral("SelectDocument"), {QString::number(contentType)});
    return m_inner->SelectDocument(contentType);
}

QString RecordingDataLink::GetDBPath(bool flag)
{
    record(QStringLiteral("GetDBPath"), {boolText(flag)});
    return m_inner->GetDBPath(flag);
}

qint32 RecordingDataLink::GetColor()
{
    record(QStringLiteral("GetColor"), {});
    return m_inner->GetColor();
}

QImage RecordingDataLink::GetRemoteIcon(qint16 iconSet, qint16 iconNumber)
{
    record(QStringLiteral("GetRemoteIcon"), {QString::number(iconSet), QString::number(iconNumber)});
    return m_inner->GetRemoteIcon(iconSet, iconNumber);
}

void RecordingDataLink::EmailDocuments(Dokumentz &documents)
{
    record(QStringLiteral("EmailDocuments"), {QString::number(documents.Count())});
    m_inner->EmailDocuments(documents);
}

void RecordingDataLink::AddFileToLib(QString &filePath, qint16 &entryType)
{
    record(QStringLiteral("AddFileToLib"), {filePath, QString::number(entryType)});
    m_inner->AddFileToLib(filePath, entryType);
}

void RecordingDataLink::ViewOtherDocument(QString &filePath, QString &description)
{
    record(QStringLiteral("ViewOtherDocument"), {filePath, description});
    m_inner->ViewOtherDocument(filePath, description);
}

bool RecordingDataLink::ViewExtendedFile(qint32 &viewerKind, QString &filePath, QString &caption)
{
    record(QStringLiteral("ViewExtendedFile"), {QString::number(viewerKind), filePath, caption});
    return m_inner->ViewExtendedFile(viewerKind, filePath, caption);
}

} // namespace tovradocs::Testing
