#pragma once

#include "component/pagetable.h"
#include "component/windowutils.h"
#include "viewers/menutarget.h"

#include <QDialog>
#include <QImage>
#include <QList>
#include <QRect>
#include <QSize>
#include <QStringList>

namespace tovradocs::Internal {

class ImgView;
class AdjustableView;

// Pane rectangles, in twips, for n pictures in a client area of clientTwips:
// two pictures are stacked, any other count goes into a near-square grid
// filled row by row; every margin is 100 twips.
QList<QRect> tilePanes(int n, QSize clientTwips);

// "Image Viewer": one or several pictures tiled in one window. A click with
// the left or middle button enlarges a pane over the whole window and the
// next click tiles again; the right button opens the library's popup menu.
// Also turns files into pictures and saves pasted or grabbed pictures into
// new library files.
//
// Modeless showings are top-level windows owned by the host's parent window
// and delete themselves when closed (Qt::WA_DeleteOnClose is on; switch it
// off for a viewer on the stack). UI thread only.
class ViewImg : public QDialog, public MenuTarget, public HelpIdentified
{
    Q_OBJECT

public:
    explicit ViewImg(QWidget *owner = nullptr);
    ~ViewImg() override;

    // Reads the file through pane 0 without showing the window, then closes
    // it. A null image when the file cannot be read.
    QImage CovertFiletoPicture(const QString &path);
    void ViewFullScreen() override;
    // Saves the clipboard's picture to path and shows it. Returns path, or ""
    // (after telling the user) when the clipboard holds no picture.
    QString PasteNSaveImage(const QString &path);
    // Saves picture to path and shows it. Returns path, or "" when picture is null.
    QString InsertGrabbedImage(const QString &path, const QImage &picture);
    // One picture, modeless, in a window sized to the picture.
    void ViewSingleImage(const QString &path, const QString &caption) override;
    // The image rows of list (all, or those selected) tiled in one window
    // shown modally. Nothing is shown when no row qualifies.
    void ViewSelectedImages(const PageTable &list, bool showAll, qint16 count);

    qint32 GetWindowID() const override { return 201; }
    QWidget *menuWindow() override { return this; }

    int pictureCount() const { return m_count; }
    bool isEnlarged() const { return m_enlarged; }
    ImgView *pane(int index) const;
    // The enlarged picture with its adjustment commands; null until a pane
    // was first enlarged.
    AdjustableView *enlargedView() const { return m_adjustable; }

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QString tileLabel(const QString &entryCode, const QString &description) const;
    ImgView *paneAt(int index);
    void dropPanesFrom(int index);
    void resetFlags();
    void tile();
    void layoutPanes();
    void firstActivation();
    void paneReleased(int index, Qt::MouseButton button, const QPoint &pos);
    bool writePicture(const QImage &picture, const QString &path);
    void showSaved(const QString &path, const QString &caption);
    void showModeless();
    void adoptOwner();
    QSize windowSizeForPicture(const QSize &picturePixels) const;
    QSize clientTwips() const;

    void showEnlarged(int index);

    QList<ImgView *> m_panes;
    AdjustableView *m_adjustable = nullptr;
    QStringList m_descriptions; // per pane, handed to the popup menu
    int m_count = 0;
    int m_enlargedPane = -1;
    bool m_tileOnActivate = false;
    bool m_enlarged = false;
    bool m_shown = false;
};

} // namespace tovradocs::Internal
