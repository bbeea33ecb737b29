// The smallest host: its own DataLink, one MediaManager, a few file utilities.
#include <tovradocs/tovradocs.h>

#include <QApplication>
#include <QWidget>

#include <cstdio>

namespace {
class TinyLink : public tovradocs::DataLink
{
public:
    bool FillRecordSet(std::unique_ptr<tovradocs::Recordset> &, const QString &) override { return false; }
    bool FillLibRecordSet(std::unique_ptr<tovradocs::Recordset> &, const QString &) override { return false; }
    bool FillDaoRecordSet(std::unique_ptr<tovradocs::Recordset> &, const QString &) override { return false; }
    void ExecuteStmt(bool, const QString &) override {}
    qint32 GenerateEntrycode(bool, const QString &, const QString &) override { return 1; }
    QString NextFileName(qint16, qint32, qint32, const QString &) override { return {}; }
    QString GetLibraryFilesFolder() override { return {}; }
    QVariant GetSystemSetting(qint16) override { return {}; }
    void SetSystemSetting(qint16 &, qint16 &) override {}
    void PassMessage(const QString &text, qint32, const QString &, qint32) override { messages.append(text); }
    void ShowHelp(const QString &) override {}
    void SpeakControlText(QWidget *) override {}
    qint32 GetPatientData(QString &) override { return 0; }
    QString GetNameOfPatient(qint32 &) override { return {}; }
    qint32 GetLibraryEntry(QString &) override { return 0; }
    QString SelectDocument(qint32) override { return {}; }
    QString GetDBPath(bool) override { return {}; }
    qint32 GetColor() override { return -1; }
    QImage GetRemoteIcon(qint16, qint16) override { return {}; }
    void EmailDocuments(tovradocs::Dokumentz &) override {}
    void AddFileToLib(QString &, qint16 &) override {}
    void ViewOtherDocument(QString &, QString &) override {}
    bool ViewExtendedFile(qint32 &, QString &, QString &) override { return false; }
    QStringList messages;
};
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget parent;
    auto link = std::make_shared<TinyLink>();
    tovradocs::MediaManager manager;
    manager.SetDataLink(link, &parent);
    const bool ok = manager.GetFileExtension(QStringLiteral("x-ray.Jpg")) == QLatin1String("JPG")
                    && manager.GetFileViewer(QStringLiteral("JPG")) == 1
                    && !manager.ISRelativePath(QStringLiteral("LIBRARY"))
                    && !manager.ViewFile(QStringLiteral("/no/such/file.jpg"), QString());
    tovradocs::Dokumentz docs;
    docs.Add(7, QStringLiteral("a.jpg"), QString(), 1, 1, 0, 3, QStringLiteral("7ND"));
    manager.ClearDataLink();
    std::printf("tiny host: %s\n", ok && docs.Count() == 1 ? "ok" : "FAILED");
    return ok && docs.Count() == 1 ? 0 : 1;
}
