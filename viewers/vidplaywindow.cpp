#include "viewers/vidplaywindow.h"

#include "component/hostlink.h"
#include "component/mediaicons.h"
#include "component/twips.h"
#include "controls/mediacontrol.h"
#include "controls/vidplay.h"
#include "viewers/viewimg.h"

#include <tovradocs/dokumentz.h>

#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QSlider>
#include <QTimer>

#include <algorithm>

namespace tovradocs::Internal {

namespace {

const QString kPlayerWindow = QStringLiteral("VidPlay");
constexpr int kRepeatInterval = 500;
constexpr int kSliderHeight = 22;

QString playerPath(const QString &path)
{
    return QString(path).replace(u'\\', u'/');
}

} // namespace

QList<QRect> arrangeVideos(const QList<QSize> &natural, QSize areaSize)
{
    const int n = int(natural.size());
    const int cw = areaSize.width();
    const int ch = areaSize.height();
    if (n == 2) {
        QSize a = natural.at(0);
        QSize b = natural.at(1);
        if (a.width() + b.width() <= cw) {
            // Taller than the area: shrink both alike so they stay comparable.
            const int tallest = std::max(a.height(), b.height());
            if (tallest > ch && tallest > 0) {
                a = a * (double(ch) / tallest);
                b = b * (double(ch) / tallest);
            }
            const int gap = (cw - a.width() - b.width()) / 3;
            return {QRect(QPoint(gap, (ch - a.height()) / 2), a),
                    QRect(QPoint(2 * gap + a.width(), (ch - b.height()) / 2), b)};
        }
    }
    QList<QRect> panes;
    for (const QRect &twips : tilePanes(n, pixelsToTwips(areaSize)))
        panes.append(twipsToPixels(twips));
    return panes;
}

VidPlayWindow::VidPlayWindow(QWidget *owner)
    : QDialog(owner)
    , m_bar(new MediaControl(this))
    , m_position(new QSlider(Qt::Horizontal, this))
    , m_repeatTimer(new QTimer(this))
{
    setObjectName(kPlayerWindow);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Video Player"));
    setWindowIcon(QIcon(QPixmap::fromImage(mediaIcon(ImageViewerIcon))));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0x1e, 0x1e, 0x1e));
    setPalette(pal);

    m_bar->setObjectName(QStringLiteral("mcPlayer"));
    // The bar keeps the desktop's colours; its glyphs vanish on the dark stage.
    QPalette desktop = QGuiApplication::palette();
    for (int role = 0; role < QPalette::NColorRoles; ++role) // set, so not inherited
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            desktop.setColor(group, QPalette::ColorRole(role),
                             desktop.color(group, QPalette::ColorRole(role)));
    m_bar->setPalette(desktop);
    connect(m_bar, &MediaControl::ButtonClick, this, &VidPlayWindow::buttonClicked);
    m_position->setObjectName(QStringLiteral("sldPosition"));
    m_position->setToolTip(QStringLiteral("Position of every video"));
    m_position->setFocusPolicy(Qt::NoFocus); // the arrow keys step frames
    m_position->setRange(0, 0);
    connect(m_position, &QSlider::sliderMoved, this, &VidPlayWindow::positionMoved);
    m_repeatTimer->setObjectName(QStringLiteral("tmrRepeat"));
    m_repeatTimer->setInterval(kRepeatInterval);
    connect(m_repeatTimer, &QTimer::timeout, this, &VidPlayWindow::repeatTick);

    boxAt(0);
    resize(640, 480);
    KeyHandler::install(this);
}

VidPlayWindow::~VidPlayWindow() = default;

VidPlay *VidPlayWindow::videoBox(int index) const
{
    return index >= 0 && index < m_boxes.size() ? m_boxes.at(index) : nullptr;
}

VidPlay *VidPlayWindow::boxAt(int index)
{
    while (m_boxes.size() <= index) {
        const int i = int(m_boxes.size());
        auto *box = new VidPlay(this);
        box->setObjectName(QStringLiteral("VideoBox_") + QString::number(i));
        box->hide();
        connect(box, &VidPlay::loaded, this, [this, i](bool ok) { boxLoaded(i, ok); });
        connect(box, &VidPlay::positionChanged, this, &VidPlayWindow::boxPositionChanged);
        connect(box, &VidPlay::contextRequested, this, [this, i](const QPoint &pos) {
            VidPlay *video = videoBox(i);
            if (auto &hook = libraryMenuHook(); hook && video)
                hook(this, video, i, true, 2, video->fileName(), m_descriptions.value(i), pos);
        });
        m_boxes.append(box);
        m_descriptions.append(QString());
    }
    return m_boxes.at(index);
}

void VidPlayWindow::ViewVideo(const QString &fileName, const QString &caption, QWidget *owner)
{
    m_single = true;
    m_count = 1;
    VidPlay *box = boxAt(0);
    m_descriptions[0] = caption;
    box->show();
    if (!isMinimized()) {
        const QRect area = videoArea();
        box->setGeometry(1, 1, std::max(0, area.width() - 1), std::max(0, area.height() - 1));
    }
    if (!caption.isEmpty())
        setWindowTitle(caption);
    if (owner && owner != parentWidget())
        setParent(owner, windowFlags());
    box->openAndPlay(playerPath(fileName));
    m_bar->setState(2);
    sizeToVideo();
    show();
    raise();
}

void VidPlayWindow::CompareVideos(const Dokumentz &docs, bool repeat)
{
    m_arrangeOnActivate = true;
    setWindowState(windowState() | Qt::WindowMaximized);
    m_single = false;
    m_count = docs.Count();
    m_repeat = repeat;
    int k = 0;
    for (const Dokument &doc : docs) {
        VidPlay *box = boxAt(k);
        m_descriptions[k] = doc.Description;
        box->setFileName(playerPath(doc.FileName));
        box->raise();
        ++k;
    }
    if (QWidget *owner = parentWindow(); owner && owner != parentWidget())
        setParent(owner, windowFlags());
    showMaximized();
}

QRect VidPlayWindow::videoArea() const
{
    const int strip = m_bar->sizeHint().height() + kSliderHeight;
    return QRect(0, 0, width(), std::max(0, height() - strip));
}

void VidPlayWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_shown)
        return;
    if (m_arrangeOnActivate) {
        arrange();
        m_bar->setState(0);
        buttonClicked(MediaControl::PlayButton);
    }
    if (m_repeat)
        m_repeatTimer->start();
    m_shown = true;
}

void VidPlayWindow::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    if (isMinimized() || width() <= 0 || height() <= 0)
        return;
    layoutControls();
    if (m_single)
        boxAt(0)->setGeometry(videoArea());
    else if (m_count > 0)
        arrange();
}

void VidPlayWindow::layoutControls()
{
    const int barHeight = m_bar->sizeHint().height();
    m_bar->setGeometry(0, height() - barHeight, width(), barHeight);
    m_position->setGeometry(4, height() - barHeight - kSliderHeight, std::max(0, width() - 8),
                            kSliderHeight);
    m_position->raise();
    m_bar->raise();
}

void VidPlayWindow::arrange()
{
    QList<QSize> natural;
    for (int i = 0; i < m_count; ++i) {
        const QSize size = boxAt(i)->videoSize();
        natural.append(size.isEmpty() ? boxAt(i)->sizeHint() : size);
    }
    const QList<QRect> panes = arrangeVideos(natural, videoArea().size());
    for (int i = 0; i < m_count && i < panes.size(); ++i)
        boxAt(i)->setGeometry(panes.at(i));
}

void VidPlayWindow::buttonClicked(int button)
{
    trapErrors(kPlayerWindow, [&] {
        const int count = m_single ? 1 : m_count;
        switch (button) {
        case MediaControl::StopButton:
            m_repeatTimer->stop();
            for (int i = 0; i < count; ++i)
                boxAt(i)->stop();
            m_bar->setState(0);
            break;
        case MediaControl::PlayButton:
            if (m_bar->state() == 2) {
                for (int i = 0; i < count; ++i)
                    boxAt(i)->pause();
                m_bar->setState(1);
            } else {
                for (int i = 0; i < count; ++i) {
                    boxAt(i)->show();
                    boxAt(i)->play();
                }
                m_bar->setState(2);
            }
            if (m_repeat)
                m_repeatTimer->start();
            else
                m_repeatTimer->stop();
            break;
        case MediaControl::RewindButton:
            m_repeatTimer->stop();
            for (int i = 0; i < count; ++i) {
                boxAt(i)->Rewind();
                boxAt(i)->play();
            }
            m_bar->setState(2);
            break;
        default:
            break;
        }
    });
}

void VidPlayWindow::repeatTick()
{
    for (VidPlay *box : std::as_const(m_boxes))
        if (box->statusText() == QLatin1String("stopped"))
            box->play();
}

void VidPlayWindow::boxLoaded(int index, bool ok)
{
    VidPlay *box = boxAt(index);
    if (!ok) {
        notify(QStringLiteral("The video %1 cannot be played: %2")
                   .arg(box->fileName(), box->errorString()));
        return;
    }
    int longest = 0;
    for (VidPlay *each : std::as_const(m_boxes))
        longest = std::max<qint64>(longest, each->duration());
    m_position->setRange(0, longest);
    if (m_single)
        sizeToVideo();
    else
        arrange();
}

void VidPlayWindow::sizeToVideo()
{
    const QSize video = boxAt(0)->videoSize();
    if (video.isEmpty() || isMaximized() || isFullScreen())
        return;
    // The video keeps its natural pixels; the control strip comes on top.
    resize(video.width(), video.height() + height() - videoArea().height());
}

void VidPlayWindow::positionMoved(int value)
{
    for (int i = 0; i < (m_single ? 1 : m_count); ++i)
        boxAt(i)->setPosition(value);
}

void VidPlayWindow::boxPositionChanged()
{
    if (m_position->isSliderDown())
        return;
    qint64 furthest = 0;
    for (VidPlay *box : std::as_const(m_boxes))
        furthest = std::max(furthest, box->position());
    if (m_position->maximum() < furthest)
        m_position->setMaximum(int(furthest));
    m_position->setValue(int(furthest));
}

void VidPlayWindow::stepAll(int frames)
{
    for (int i = 0; i < (m_single ? 1 : m_count); ++i)
        boxAt(i)->stepFrames(frames);
}

void VidPlayWindow::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)
        && m_bar->state() != 2) {
        stepAll(event->key() == Qt::Key_Right ? 1 : -1);
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace tovradocs::Internal
