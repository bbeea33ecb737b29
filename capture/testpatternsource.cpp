#include "capture/testpatternsource.h"

#include "component/dialogservice.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPainter>
#include <QVBoxLayout>

namespace tovradocs::Internal {

TestPatternSource::TestPatternSource(QSize size, int framesPerSecond, QObject *parent)
    : CaptureSource(parent)
    , m_size(size)
    , m_fps(qBound(1, framesPerSecond, 100))
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &TestPatternSource::tick);
}

QString TestPatternSource::name() const { return QStringLiteral("Test Pattern"); }
QString TestPatternSource::version() const { return QStringLiteral("1.0"); }
QByteArray TestPatternSource::id() const { return QByteArrayLiteral("testpattern"); }

bool TestPatternSource::connectDriver()
{
    if (m_unplugged)
        return false;
    if (!m_connected) {
        m_connected = true;
        m_frameCount = 0;
        m_background = makeBackground(m_size);
        tick();
        m_timer.start(1000 / m_fps);
    }
    return true;
}

void TestPatternSource::disconnectDriver()
{
    m_timer.stop();
    m_connected = false;
}

bool TestPatternSource::isConnected() const { return m_connected; }

DriverCaps TestPatternSource::caps() const
{
    DriverCaps caps;
    caps.hasDlgVideoFormat = true;
    return caps;
}

CaptureStatus TestPatternSource::status() const { return {m_size.width(), m_size.height()}; }
QImage TestPatternSource::currentFrame() const { return m_frame; }
int TestPatternSource::frameRate() const { return m_fps; }

void TestPatternSource::setFrameRate(int framesPerSecond)
{
    m_fps = qBound(1, framesPerSecond, 100);
    if (m_timer.isActive())
        m_timer.start(1000 / m_fps);
}

void TestPatternSource::setFrameSize(QSize size)
{
    if (size.isEmpty() || size == m_size)
        return;
    m_size = size;
    m_background = makeBackground(m_size);
    if (m_connected)
        tick();
}

bool TestPatternSource::showFormatDialog(QWidget *parent)
{
    const QList<QSize> sizes {{320, 240}, {640, 480}, {1280, 720}, {1920, 1080}};
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("frmVideoFormat"));
    dialog.setWindowTitle(QStringLiteral("Video Format"));
    auto *list = new QComboBox(&dialog);
    list->setObjectName(QStringLiteral("cboFormat"));
    for (const QSize &size : sizes) {
        list->addItem(QStringLiteral("%1 x %2").arg(size.width()).arg(size.height()), size);
        if (size == m_size)
            list->setCurrentIndex(list->count() - 1);
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(list);
    layout->addWidget(buttons);
    if (DialogService::showModal(&dialog) != QDialog::Accepted)
        return false;
    setFrameSize(list->currentData().toSize());
    return true;
}

void TestPatternSource::unplug()
{
    m_unplugged = true;
    disconnectDriver();
    Q_EMIT lost();
}

QImage TestPatternSource::makeBackground(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    const QColor bars[] {Qt::white, Qt::yellow, Qt::cyan, Qt::green,
                         Qt::magenta, Qt::red, Qt::blue, Qt::black};
    const int bar = (size.width() + 7) / 8;
    for (int i = 0; i < 8; ++i)
        painter.fillRect(i * bar, 0, bar, size.height() * 2 / 3, bars[i]);
    QLinearGradient ramp(0, 0, size.width(), 0);
    ramp.setColorAt(0, Qt::black);
    ramp.setColorAt(1, Qt::white);
    painter.fillRect(0, size.height() * 2 / 3, size.width(), size.height() - size.height() * 2 / 3,
                     ramp);
    return image;
}

QImage TestPatternSource::makeFrame(const QImage &background, qint64 n, const QDateTime &when)
{
    QImage frame = background.copy();
    QPainter painter(&frame);
    const int w = frame.width();
    const int h = frame.height();
    const int block = qMax(8, h / 6);
    // The block crosses the picture in about four seconds at 30 frames a second.
    const int travel = qMax(1, w - block);
    const int step = qMax(1, travel / 120);
    const int x = int((n * step) % (2 * travel));
    painter.fillRect(x < travel ? x : 2 * travel - x, h / 3 - block / 2, block, block, Qt::darkGray);
    QFont font = painter.font();
    font.setPixelSize(qMax(10, h / 14));
    font.setBold(true);
    painter.setFont(font);
    const QString text = when.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"))
                         + QStringLiteral("  #") + QString::number(n);
    const QRect band(0, h * 2 / 3 - font.pixelSize() * 2, w, font.pixelSize() * 2);
    painter.fillRect(band, QColor(0, 0, 0, 160));
    painter.setPen(Qt::white);
    painter.drawText(band, Qt::AlignCenter, text);
    return frame;
}

void TestPatternSource::tick()
{
    if (!m_connected)
        return;
    m_frame = makeFrame(m_background, m_frameCount++, QDateTime::currentDateTime());
    Q_EMIT frameReady(m_frame);
}

} // namespace tovradocs::Internal
