#pragma once

#include <tovradocs/datalink.h>
#include <tovradocs/enums.h>

#include <QImage>
#include <QString>
#include <QVariant>

#include <memory>

class QObject;
class QWidget;

namespace tovradocs {

// The host's door into the documents-and-media library. Create it, call
// SetDataLink once, then call the members below on the user-interface thread.
// The DataLink and the parent window are shared by every MediaManager and every
// window of the component until ClearDataLink or until the last MediaManager
// is destroyed. Windows opened here are owned by the parent window; members
// that open modeless windows return at once. No exception leaves a member: a
// failure is shown through the host and the member returns without a result.
class MediaManager
{
public:
    MediaManager();
    ~MediaManager();
    MediaManager(const MediaManager &) = delete;
    MediaManager &operator=(const MediaManager &) = delete;

    void OpenJoyToy(qint16 PrevAction, QWidget *&ParentWnd);
    void RunPatientReportWithImages(PtImageReports PirRpt, qint32 RecID,
                                    const QString &ChartFileName, qint16 Ptage,
                                    qint32 PatReportCode, Recordset *RecSet1 = nullptr,
                                    Recordset *RecSet2 = nullptr, QObject *tg = nullptr);
    void SendFaxMail(QString &Subject, QString &Msg, QString &Attachment);
    void ShowTutorial(qint32 &TutorialCode);
    bool PrintSetupDlg(QWidget *&hWnd);
    void ShowFileProps(QWidget *hwn, const QString &FileName);
    QImage GetStdPicture(const QString &Picturefile);
    QImage GetMediaIcon(qint16 IconID);
    QString GetViewerFilterString(qint32 SubDocumentType);
    QString GetDocTypeFilterString(LibraryContentTypes DocType);
    bool ISRelativePath(const QString &FilePath);
    void AddLibEntry(qint16 EntryType, const QString &FileName, qint32 BookCode,
                     const QString &BookName);
    bool DoesFileExist(const QString &FileName);
    void ViewImageEditor(const QString &FileName);
    void ViewLibrary(bool bPatientsOnly, qint32 PatientID, const QString &PatientName);
    void VisitSiteInline(const QString &SiteAddress, const QString &WinCaption);
    bool ViewFile(const QString &FileName, const QString &WinCaption);
    QString GetFileExtension(const QString &FileName);
    qint32 GetFileViewer(const QString &Extension);
    void ClearDataLink();
    void SetDataLink(std::shared_ptr<DataLink> DataLink, QWidget *ParentWnd);
    // wMode 101: the picture picker limited to "*.bmp;*.jpg"; 1: Open; other: Save.
    QString SelectFile(QWidget *&hWnd, qint16 &wMode, QString &szDialogTitle,
                       QString &szFilename, QString &szFilter, QString &szDefDir,
                       QString &szDefExt);
    qint32 IsJoyStickPresent();
    qint32 IsJoyStickPresent(QVariant &IsConnected);
    void EditIllustration(const QString &IllustrationName, const QString &Illustrationfile,
                          qint32 DocumentId, qint32 ParentTblID, qint32 ParentRecID,
                          bool bIsolated);
    void ShowIllustrationPrint(const QString &IlsFile, qint32 DocID, qint32 IllustrationID);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace tovradocs
