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

constexpr int kSlideInterval = 2000;

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
    m_timer->setInterval(kSlideInterval);
    connect(m_timer, &QTimer::timeout, this, &ShowMan::tick);
    connect(m_slides, &SlideFX::slideFailed, this, &ShowMan::skip);
}

ShowMan::~ShowMan() = default;

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
    const QScreen *where = screen() ? screen() : QGuiApplication::primaryScreen();
    const QSize area = where ? where->size() : QSize(1280, 800);
    resize(area.width() / 2, area.height() / 2);
    show();
    showItem(m_current);
}

void ShowMan::showItem(int index)
{
    m_timer->stop();
    std::shared_ptr<Dokument> item = m_collection->Item(index);
    const QString file = slidePath(item->FileName);
    if (!QFileInfo(file).isFile()) {
        // A slide whose file is gone is passed over at once.
        m_timer->start();
        QTimer::singleShot(0, this, [this, file] { skip(file); });
        return;
    }
    m_videoRunning = SlideFX::isVideoFile(file);
    m_tickDue = false;
    m_slides->ShowSlide(file, item->SlideTransition);
    if (VidPlay *video = m_slides->videoView(); m_videoRunning && video && video != m_watchedVideo) {
        m_watchedVideo = video;
        connect(video, &VidPlay::ended, this, &ShowMan::videoEnded);
    }
    m_timer->start();
    preloadAfter(index);
}

void ShowMan::preloadAfter(int index)
{
    if (index < m_collection->Count())
        m_slides->preload(slidePath(m_collection->Item(index + 1)->FileName));
}

void ShowMan::skip(const QString &fileName)
{
    if (!m_collection || m_current <= 0)
        return;
    if (slidePath(m_collection->Item(m_current)->FileName) != fileName)
        return; // a stale report about an earlier slide
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
    m_collection.reset();
    QWidget::closeEvent(event);
}

} // namespace tovradocs::Internal
