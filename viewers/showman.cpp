#include "viewers/showman.h"

#include "component/hostlink.h"
#include "component/mediaicons.h"
#include "controls/slidefx.h"
#include "controls/vidplay.h"

#include <tovradocs/dokumentz.h>

#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QScreen>
#include <QTimer>

namespace tovradocs::Internal {

namespace {

QString slidePath(const QString &path)
{
    return QString(path).replace(u'\\', u'/');
}

} // namespace

ShowMan::ShowMan(QWidget *owner)
    : QWidget(owner, Qt::Window)
    , m_slides(new SlideFX(this))
    , m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("ShowMan"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Slide Show"));
    setWindowIcon(QIcon(QPixmap::fromImage(mediaIcon(ImageViewerIcon))));
    m_slides->setObjectName(QStringLiteral("SlideMan"));
    m_timer->setObjectName(QStringLiteral("tmrSlide"));
    m_timer->setInterval(kDefaultSeconds * 1000);
    // Started anew each time a slide appears.
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &ShowMan::tick);
    connect(m_slides, &SlideFX::slideShown, this, &ShowMan::shown);
    connect(m_slides, &SlideFX::slideFailed, this, &ShowMan::skip);
}

ShowMan::~ShowMan() = default;

void ShowMan::setSlideSeconds(const QHash<qint32, int> &secondsById)
{
    m_seconds = secondsById;
}

int ShowMan::holdTime(int index) const
{
    int seconds = kDefaultSeconds;
    if (m_collection && index >= 1 && index <= m_collection->Count()) {
        const int set = m_seconds.value(m_collection->Item(index)->id, 0);
        if (set >= 1 && set <= kLongestSeconds)
            seconds = set;
    }
    return seconds * 1000;
}

void ShowMan::ViewSlideShow(std::shared_ptr<Dokumentz> collection, qint16)
{
    m_collection = std::move(collection);
    if (!m_collection || m_collection->Count() == 0) {
        // Nothing to show: never appear, just go.
        m_collection.reset();
        close();
        return;
    }
    m_current = 1;
    placeOnOwnersScreen();
    show();
    raise();
    activateWindow();
    showItem(m_current);
}

// Half the screen, in the middle of the screen the library window is on.
void ShowMan::placeOnOwnersScreen()
{
    QScreen *where = nullptr;
    if (QWidget *owner = parentWidget())
        where = owner->window()->screen();
    if (!where)
        where = QGuiApplication::primaryScreen();
    if (!where) {
        resize(640, 400);
        return;
    }
    setScreen(where);
    const QSize half(where->size().width() / 2, where->size().height() / 2);
    // The picture area is what is centred; frames differ between desktops.
    QRect placed(QPoint(), half);
    placed.moveCenter(where->availableGeometry().center());
    setGeometry(placed);
}

bool ShowMan::isCurrent(const QString &fileName) const
{
    return m_collection && m_current > 0 && m_current <= m_collection->Count()
        && slidePath(m_collection->Item(m_current)->FileName) == fileName;
}

void ShowMan::showItem(int index)
{
    m_timer->stop();
    std::shared_ptr<Dokument> item = m_collection->Item(index);
    const QString file = slidePath(item->FileName);
    if (!QFileInfo(file).isFile()) {
        // A slide whose file is gone is passed over at once.
        m_waiting = false;
        QTimer::singleShot(0, this, [this, file] { skip(file); });
        return;
    }
    m_videoRunning = SlideFX::isVideoFile(file);
    m_tickDue = false;
    m_waiting = true;
    m_slides->ShowSlide(file, item->SlideTransition);
    if (VidPlay *video = m_slides->videoView(); m_videoRunning && video && video != m_watchedVideo) {
        m_watchedVideo = video;
        connect(video, &VidPlay::ended, this, &ShowMan::videoEnded);
    }
    preloadAfter(index);
}

void ShowMan::preloadAfter(int index)
{
    if (index < m_collection->Count())
        m_slides->preload(slidePath(m_collection->Item(index + 1)->FileName));
}

// The slide's time runs from here: a picture that took long to decode
// still stays its whole time on screen.
void ShowMan::shown(const QString &fileName)
{
    if (!m_waiting || !isCurrent(fileName))
        return; // a late report about an earlier slide
    m_waiting = false;
    m_timer->start(holdTime(m_current));
}

void ShowMan::skip(const QString &fileName)
{
    if (!isCurrent(fileName))
        return; // a stale report about an earlier slide
    m_waiting = false;
    m_videoRunning = false;
    tick();
}

void ShowMan::videoEnded()
{
    if (!std::exchange(m_videoRunning, false))
        return;
    if (std::exchange(m_tickDue, false))
        tick();
}

void ShowMan::tick()
{
    if (m_videoRunning && m_collection) {
        // The clip plays to its end; its end moves the show on.
        m_timer->stop();
        m_tickDue = true;
        return;
    }
    if (m_collection) {
        const int count = m_collection->Count();
        m_current = m_current >= count ? 0 : m_current + 1;
    } else {
        m_current = 0;
    }
    if (m_current > 0)
        showItem(m_current);
    else
        close();
}

void ShowMan::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (width() >= 100 && height() >= 100)
        m_slides->Move(0, 0, width() - 1, height() - 1);
    // A picture laid out for the old size would never be shown: ask again.
    if (m_waiting && m_collection && m_current > 0) {
        std::shared_ptr<Dokument> item = m_collection->Item(m_current);
        m_slides->ShowSlide(slidePath(item->FileName), item->SlideTransition);
    }
}

void ShowMan::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ShowMan::closeEvent(QCloseEvent *event)
{
    m_timer->stop();
    m_current = 0;
    m_waiting = false;
    m_collection.reset();
    QWidget::closeEvent(event);
}

} // namespace tovradocs::Internal
