#include "support/nulldatalink.h"

namespace tovradocs::Testing {

bool NullDataLink::FillRecordSet(std::unique_ptr<Recordset> &, const QString &) { return false; }
bool NullDataLink::FillLibRecordSet(std::unique_ptr<Recordset> &, const QString &) { return false; }
bool NullDataLink::FillDaoRecordSet(std::unique_ptr<Recordset> &, const QString &) { return false; }
void NullDataLink::ExecuteStmt(bool, const QString &) {}
qint32 NullDataLink::GenerateEntrycode(bool, const QString &, const QString &) { return 0; }
QString NullDataLink::NextFileName(qint16, qint32, qint32, const QString &) { return {}; }
QString NullDataLink::GetLibraryFilesFolder() { return {}; }
QVariant NullDataLink::GetSystemSetting(qint16) { return {}; }
void NullDataLink::SetSystemSetting(qint16 &, qint16 &) {}
void NullDataLink::PassMessage(const QString &, qint32, const QString &, qint32) {}
void NullDataLink::ShowHelp(const QString &) {}
void NullDataLink::SpeakControlText(QWidget *) {}
qint32 NullDataLink::GetPatientData(QString &) { return 0; }
QString NullDataLink::GetNameOfPatient(qint32 &) { return {}; }
qint32 NullDataLink::GetLibraryEntry(QString &) { return 0; }
QString NullDataLink::SelectDocument(qint32) { return {}; }
QString NullDataLink::GetDBPath(bool) { return {}; }
qint32 NullDataLink::GetColor() { return -1; }
QImage NullDataLink::GetRemoteIcon(qint16, qint16) { return {}; }
void NullDataLink::EmailDocuments(Dokumentz &) {}
void NullDataLink::AddFileToLib(QString &, qint16 &) {}
void NullDataLink::ViewOtherDocument(QString &, QString &) {}
bool NullDataLink::ViewExtendedFile(qint32 &, QString &, QString &) { return false; }

} // namespace tovradocs::Testing
