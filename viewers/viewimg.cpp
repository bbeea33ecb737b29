#include "viewers/viewimg.h"

#include "component/dialogservice.h"
#include "component/hostlink.h"
#include "component/mediaicons.h"
#include "component/twips.h"
#include "controls/imgview.h"
#include "viewers/adjustpanel.h"

#include <tovradocs/datalink.h>
#include <tovradocs/recordset.h>

#include <QClipboard>
#include <QDate>
#include <QLocale>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QImageWriter>
#include <QMimeData>
#include <QPixmap>
#include <QSaveFile>
#include <QScreen>
#include <QShowEvent>

#include <cmath>
#include <optional>

namespace tovradocs::Internal {

namespace ViewImgDetail {

const QString windowName = QStringLiteral("ViewImg");
constexpr int margin = 100;             // twips around and between panes
constexpr qint32 fileAccessError = 75;  // reported when a picture cannot be written

class WaitCursor
{
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

// Stored library paths may carry '\' separators.
QString localPath(const QString &path)
{
    QString local = path;
    local.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return local;
}

// The writer format the file's extension names; bitmap for anything else.
QByteArray formatForSuffix(const QString &suffix)
{
    const QByteArray s = suffix.toLower().toLatin1();
    if (s == "jpg" || s == "jpeg" || s == "jif" || s == "jfif" || s == "jpe")
        return "jpeg";
    if (s == "tif" || s == "tiff")
        return "tiff";
    if (!s.isEmpty() && s != "dib" && s != "rle" && QImageWriter::supportedImageFormats().contains(s))
        return s;
    return "bmp";
}

int roundedDiv(int numerator, int denominator)
{
    return std::max(0, int(std::lround(double(numerator) / denominator)));
}

} // namespace ViewImgDetail

using namespace ViewImgDetail;

QList<QRect> tilePanes(int n, QSize clientTwips)
{
    QList<QRect> panes;
    if (n <= 0)
        return panes;
    const int cw = clientTwips.width();
    const int ch = clientTwips.height();
    if (n == 2) {
        const int w = std::max(0, cw - 2 * margin);
        const int h = roundedDiv(ch - 3 * margin, 2);
        panes << QRect(margin, margin, w, h) << QRect(margin, h + 2 * margin, w, h);
        return panes;
    }
    int columns = int(std::lround(std::sqrt(double(n))));
    int rows = columns;
    if (columns * rows < n)
        ++columns;
    if (columns * rows < n)
        ++rows;
    const int w = roundedDiv(cw - (columns + 1) * margin, columns);
    const int h = roundedDiv(ch - (rows + 1) * margin, rows);
    int left = margin;
    int top = margin;
    for (int i = 0; i < n; ++i) {
        panes << QRect(left, top, w, h);
        if ((i + 1) % columns == 0) {
            left = margin;
            top += h + margin;
        } else {
            left += w + margin;
        }
    }
    return panes;
}

ViewImg::ViewImg(QWidget *owner)
    : QDialog(owner)
{
    setObjectName(QStringLiteral("ViewImg"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Image Viewer"));
    setWindowIcon(QIcon(QPixmap::fromImage(mediaIcon(ImageViewerIcon))));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0x1e, 0x1e, 0x1e));
    setPalette(pal);
    resize(640, 480);
    paneAt(0);
    KeyHandler::install(this);
}

ViewImg::~ViewImg() = default;

ImgView *ViewImg::pane(int index) const
{
    return index >= 0 && index < m_panes.size() ? m_panes.at(index) : nullptr;
}

ImgView *ViewImg::paneAt(int index)
{
    while (m_panes.size() <= index) {
        const int k = int(m_panes.size());
        auto *view = new ImgView(this);
        view->setBackgroundLoading(true); // a large radiograph must not freeze the window
        view->setFitDecoding(true);       // many pictures side by side cost a screenful
        view->setObjectName(QStringLiteral("ImxSnap_%1").arg(k));
        view->setVisible(false);
        connect(view, &ImgView::mouseUp, this,
                [this, k](Qt::MouseButton button, const QPoint &pos) { paneReleased(k, button, pos); });
        m_panes.append(view);
        m_descriptions.append(QString());
    }
    return m_panes.at(index);
}

void ViewImg::dropPanesFrom(int index)
{
    while (m_panes.size() > std::max(index, 1)) {
        ImgView *view = m_panes.takeLast();
        m_descriptions.removeLast();
        view->hide();
        view->setObjectName(QString());
        // Later: a menu command may run inside this pane's own mouse handler.
        view->deleteLater();
    }
}

void ViewImg::resetFlags()
{
    m_tileOnActivate = false;
    m_enlarged = false;
    m_enlargedPane = -1;
}

QSize ViewImg::clientTwips() const
{
    return pixelsToTwips(size());
}

void ViewImg::tile()
{
    if (m_adjustable)
        m_adjustable->hide();
    const QList<QRect> rects = tilePanes(m_count, clientTwips());
    for (int i = 0; i < m_panes.size(); ++i) {
        ImgView *view = m_panes.at(i);
        if (i < rects.size()) {
            view->setGeometry(twipsToPixels(rects.at(i)));
            view->setVisible(true);
        } else {
            view->setVisible(false);
        }
    }
}

// After a resize the enlarged pane keeps covering the window.
void ViewImg::layoutPanes()
{
    if (m_enlarged && pane(m_enlargedPane)) {
        const QSize c = clientTwips();
        pane(m_enlargedPane)->setGeometry(twipsToPixels(QRect(1, 1, c.width() - 1, c.height() - 1)));
        if (m_adjustable && m_adjustable->isVisible())
            m_adjustable->setGeometry(pane(m_enlargedPane)->geometry());
    } else {
        tile();
    }
}

void ViewImg::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        firstActivation();
    }
}

void ViewImg::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    if (m_shown)
        layoutPanes();
}

void ViewImg::firstActivation()
{
    if (m_count == 0) {
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        return;
    }
    if (m_tileOnActivate) {
        setWindowState(windowState() | Qt::WindowMaximized);
        tile();
    }
    for (int i = 0; i < m_count && i < m_panes.size(); ++i)
        m_panes.at(i)->setVisible(true);
    if (m_count == 1 && !m_enlarged
        && !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized))) {
        QRect over;
        if (QWidget *host = parentWindow(); host && host->isVisible())
            over = host->frameGeometry();
        else if (QScreen *s = screen())
            over = s->availableGeometry();
        if (over.isValid()) {
            const QRect mine = frameGeometry();
            move(over.x() + (over.width() - mine.width()) / 2,
                 over.y() + (over.height() - mine.height()) / 2);
        }
        tile();
    }
}

void ViewImg::paneReleased(int index, Qt::MouseButton button, const QPoint &pos)
{
    ImgView *view = pane(index);
    if (!view)
        return;
    if (button == Qt::LeftButton || button == Qt::MiddleButton) {
        if (m_enlarged) {
            m_enlargedPane = -1;
            tile();
        } else {
            m_enlargedPane = index;
            const QSize c = clientTwips();
            view->setGeometry(twipsToPixels(QRect(1, 1, c.width() - 1, c.height() - 1)));
            view->raise();
            showEnlarged(index);
        }
        m_enlarged = !m_enlarged;
    } else if (button == Qt::RightButton) {
        if (const LibraryMenuHook &hook = libraryMenuHook()) {
            trapErrors(windowName, [&] {
                hook(this, view, index, true, 1, view->fileName(), m_descriptions.value(index),
                     view->mapToGlobal(pos));
            });
        }
    }
}

// The enlarged picture is shown adjustable over its pane; its clicks act as
// the pane's would (tile again, the library's menu).
void ViewImg::showEnlarged(int index)
{
    ImgView *view = pane(index);
    if (!view || view->fileName().isEmpty() || !view->problem().isEmpty())
        return;
    if (!m_adjustable) {
        m_adjustable = new AdjustableView(this);
        m_adjustable->canvas()->setObjectName(QStringLiteral("ImxEnlarged"));
        connect(m_adjustable->canvas(), &PictureCanvas::clicked, this, [this](Qt::MouseButton button, const QPoint &pos) {
            if (m_enlargedPane < 0)
                return;
            ImgView *enlarged = pane(m_enlargedPane);
            paneReleased(m_enlargedPane, button,
                         enlarged ? enlarged->mapFromGlobal(m_adjustable->canvas()->mapToGlobal(pos)) : pos);
        });
    }
    m_adjustable->setGeometry(view->geometry());
    m_adjustable->canvas()->openPicture(0, view->fileName());
    m_adjustable->show();
    m_adjustable->raise();
    m_adjustable->canvas()->setFocus();
}

void ViewImg::adoptOwner()
{
    if (!parentWidget()) {
        if (QWidget *host = parentWindow())
            setParent(host, windowFlags());
    }
}

void ViewImg::showModeless()
{
    adoptOwner();
    setWindowModality(Qt::NonModal);
    show();
    raise();
    activateWindow();
    // Already up: the first activation will not come again to lay out the new panes.
    layoutPanes();
}

// The caption and date of a page, so radiographs side by side can be told apart.
QString ViewImg::tileLabel(const QString &entryCode, const QString &description) const
{
    QDate date;
    if (DataLink *link = dataLink(); link && entryCode.toInt() > 0) {
        try {
            std::unique_ptr<Recordset> row;
            if (link->FillRecordSet(row, QStringLiteral("Select * from BookContents where Entry_Code =")
                                             + QString::number(entryCode.toInt()))
                && row && !row->isEof())
                date = row->value(QStringLiteral("EntryDate")).toDate();
            if (row)
                row->close();
        } catch (...) {
            // Without its date the tile still shows its caption.
        }
    }
    if (!date.isValid())
        return description;
    const QString when = QLocale().toString(date, QLocale::ShortFormat);
    return description.isEmpty() ? when : description + QStringLiteral(" \u2013 ") + when;
}

QImage ViewImg::CovertFiletoPicture(const QString &path)
{
    ImgView *view = paneAt(0);
    view->setBackgroundLoading(false); // the caller wants the picture now
    view->setFileName(localPath(path));
    view->setBackgroundLoading(true);
    view->setVisible(true);
    const QImage picture = view->picture();
    close();
    return picture;
}

void ViewImg::ViewFullScreen()
{
    if (m_shown) {
        showMaximized();
    } else {
        setWindowState(windowState() | Qt::WindowMaximized);
        tile();
    }
}

bool ViewImg::writePicture(const QImage &picture, const QString &path)
{
    QSaveFile file(path);
    QString problem;
    if (!file.open(QIODevice::WriteOnly)) {
        problem = file.errorString();
    } else {
        QImageWriter writer(&file, formatForSuffix(QFileInfo(path).suffix()));
        if (writer.format() == "jpeg")
            writer.setQuality(90);
        if (!writer.write(picture)) {
            problem = writer.errorString();
            file.cancelWriting();
        } else if (!file.commit()) {
            problem = file.errorString();
        }
    }
    if (problem.isEmpty())
        return true;
    reportError(windowName,
                fileAccessError,
                QStringLiteral("The picture could not be saved to %1: %2").arg(path, problem));
    return false;
}

void ViewImg::showSaved(const QString &path, const QString &caption)
{
    resetFlags();
    dropPanesFrom(1);
    ImgView *view = paneAt(0);
    view->setFileName(path);
    view->setLabel(QString());
    m_descriptions[0] = caption;
    m_count = 1;
    setWindowTitle(caption);
    if (!isVisible())
        resize(windowSizeForPicture(view->pictureSize()));
    showModeless();
}

QSize ViewImg::windowSizeForPicture(const QSize &picturePixels) const
{
    if (!picturePixels.isValid())
        return size();
    // The margins around the pane are added so the picture shows at its own size.
    QSize wanted = twipsToPixels(pixelsToTwips(picturePixels) + QSize(2 * margin, 2 * margin));
    if (QScreen *s = screen())
        wanted = wanted.boundedTo(s->availableGeometry().size() - (frameGeometry().size() - size()));
    return wanted;
}

QString ViewImg::PasteNSaveImage(const QString &path)
{
    WaitCursor busy;
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    const QImage picture = data && data->hasImage() ? QGuiApplication::clipboard()->image() : QImage();
    if (picture.isNull()) {
        notify(QStringLiteral("No Image data found on clipboard !"));
        return QString();
    }
    const QString file = localPath(path);
    if (!writePicture(picture, file))
        return QString();
    showSaved(file, QStringLiteral("Image pasted from clipboard !"));
    return path;
}

QString ViewImg::InsertGrabbedImage(const QString &path, const QImage &picture)
{
    if (picture.isNull()) {
        notify(QStringLiteral("No Image data avilable !"));
        return QString();
    }
    WaitCursor busy;
    const QString file = localPath(path);
    if (!writePicture(picture, file))
        return QString();
    showSaved(file, QStringLiteral("Add new image"));
    return path;
}

void ViewImg::ViewSingleImage(const QString &path, const QString &caption)
{
    WaitCursor busy;
    resetFlags();
    dropPanesFrom(1);
    const QString file = localPath(path);
    ImgView *view = paneAt(0);
    view->setFileName(file);
    view->setLabel(QString());
    m_descriptions[0] = caption;
    m_count = 1;
    setWindowTitle(caption);
    if (QFileInfo::exists(file) && !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        resize(windowSizeForPicture(view->pictureSize()));
    showModeless();
}

void ViewImg::ViewSelectedImages(const PageTable &list, bool showAll, qint16 count)
{
    std::optional<WaitCursor> busy(std::in_place);
    resetFlags();
    m_tileOnActivate = true;

    int chosen = 0;
    const int rows = std::min<int>(count, list.count());
    for (int i = 1; i <= rows; ++i) {
        const bool image = list.at(PageTable::EntryTypeRow, i).trimmed().toInt() == 1;
        if (!image || !(showAll || list.at(PageTable::SelectedRow, i) == QLatin1String("1")))
            continue;
        ImgView *view = paneAt(chosen);
        view->setFileName(localPath(list.at(PageTable::FileNameRow, i)));
        m_descriptions[chosen] = list.at(PageTable::DescriptionRow, i);
        view->setLabel(tileLabel(list.at(PageTable::EntryCodeRow, i), m_descriptions[chosen]));
        ++chosen;
    }
    m_count = chosen;
    dropPanesFrom(chosen);
    if (chosen == 0) {
        paneAt(0)->setFileName(QString());
        busy.reset();
        close();
        return;
    }
    tile();
    busy.reset();
    adoptOwner();
    DialogService::showModal(this);
}

} // namespace tovradocs::Internal
