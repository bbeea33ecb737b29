#pragma once

#include <QImage>
#include <QList>
#include <QUrl>
#include <QWidget>

class QCheckBox;
class QLabel;
class QMimeData;
class QPushButton;

namespace tovradocs::Internal {

class DocList;
class ImgView;
class TovraSearch;

// "Serial Image Grabber": stays open beside other programs and collects every
// picture, and every image file a file manager copies, that reaches the
// clipboard, until the user saves the chosen ones into a book through the
// batch import. Clipboard content it cannot use is reported in the window and
// otherwise ignored. Pictures are kept as temporary files until they are
// imported or discarded. Modeless, deletes itself when closed; UI thread only.
class SerialGrabber : public QWidget
{
    Q_OBJECT

public:
    explicit SerialGrabber(QWidget *owner = nullptr);
    ~SerialGrabber() override;

    // Sets the book and shows the window, owned by the host's parent window.
    void GrabFor(qint32 BookCode, const QString &BookName);
    // The open grabber takes the book, or a new one opens for it.
    static SerialGrabber *openFor(qint32 bookCode, const QString &bookName);
    void SetPasteMode(bool paste) { m_pasteMode = paste; }
    bool pasteMode() const { return m_pasteMode; }

    // Takes what data holds, as a clipboard change does. Returns the number of items added.
    int grabFrom(const QMimeData *data);
    // Adds dropped image files under the duplicate rule. Returns the number added.
    int addDroppedUrls(const QList<QUrl> &urls);

    // The largest clipboard picture taken, in pixels.
    static constexpr qint64 maxPicturePixels = 100'000'000;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void grabClipboard();
    bool takePicture(const QMimeData *data, QString &problem);
    int takeFiles(const QStringList &paths, int &skipped);
    void searchBook();
    void save();
    void clearList();
    void removeSelected();
    void copySelectedTo();
    void removeItemAt(int position);
    bool hasTemporaries() const;
    QString callerPath(int position) const;
    void showStatus(const QString &text);

    DocList *m_docImgs = nullptr;
    QLabel *m_picHidden = nullptr;
    ImgView *m_ImxSnap = nullptr;
    QCheckBox *m_chkGrabSrc[3] = {};
    QCheckBox *m_chkAllowDuplicates = nullptr;
    TovraSearch *m_SrchBook = nullptr;
    QPushButton *m_cmdClear = nullptr;
    QPushButton *m_cmdRemoveSelected = nullptr;
    QPushButton *m_Command1 = nullptr;
    QPushButton *m_cbOK = nullptr;
    QPushButton *m_cbClose = nullptr;
    QLabel *m_lblStatus = nullptr;
    bool m_pasteMode = false;
};

} // namespace tovradocs::Internal
