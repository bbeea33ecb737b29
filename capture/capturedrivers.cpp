#include "capture/camerasource.h"
#include "capture/capturesource.h"
#include "capture/testpatternsource.h"

#include <QMediaDevices>

namespace tovradocs::Internal {

namespace capturedrivers {

struct Config
{
    bool testPattern = true;
    QSize patternSize {640, 480};
    int patternRate = 15;
    std::vector<CaptureDrivers::SourceFactory> extra;
};

Config &config()
{
    static Config c;
    return c;
}

} // namespace capturedrivers

CaptureDrivers::CaptureDrivers(QObject *parent) : QObject(parent)
{
    auto *devices = new QMediaDevices(this);
    connect(devices, &QMediaDevices::videoInputsChanged, this, [this] {
        rebuild();
        Q_EMIT changed();
    });
    const auto &c = capturedrivers::config();
    for (const auto &factory : c.extra)
        if (auto source = factory(); source && m_drivers.size() < kMaxDrivers)
            m_drivers.push_back(std::move(source));
    rebuild();
}

CaptureDrivers::~CaptureDrivers() = default;

int CaptureDrivers::count() const { return int(m_drivers.size()); }

CaptureSource *CaptureDrivers::driver(int index) const
{
    return index >= 0 && index < count() ? m_drivers[size_t(index)].get() : nullptr;
}

void CaptureDrivers::rebuild()
{
    // Sources still present keep their object, so a connected camera survives
    // another camera being plugged in.
    const QList<QCameraDevice> cameras = QMediaDevices::videoInputs();
    std::vector<std::unique_ptr<CaptureSource>> kept;
    for (auto &source : m_drivers) {
        auto *camera = qobject_cast<CameraSource *>(source.get());
        if (camera && std::none_of(cameras.begin(), cameras.end(), [&](const QCameraDevice &d) {
                return d.id() == camera->id();
            })) {
            camera->deviceRemoved();
            // Deleted later: the capture window may be in the middle of using it.
            source.release()->deleteLater();
            continue;
        }
        if (!qobject_cast<TestPatternSource *>(source.get()))
            kept.push_back(std::move(source));
    }
    for (const QCameraDevice &device : cameras) {
        const bool known = std::any_of(kept.begin(), kept.end(),
                                       [&](const auto &s) { return s->id() == device.id(); });
        if (!known && kept.size() < kMaxDrivers)
            kept.push_back(std::make_unique<CameraSource>(device));
    }
    // The test pattern keeps its object too, and its place at the end.
    std::unique_ptr<CaptureSource> pattern;
    for (auto &source : m_drivers)
        if (source && qobject_cast<TestPatternSource *>(source.get()))
            pattern = std::move(source);
    const auto &c = capturedrivers::config();
    if (!pattern && c.testPattern)
        pattern = std::make_unique<TestPatternSource>(c.patternSize, c.patternRate);
    if (pattern && kept.size() < kMaxDrivers)
        kept.push_back(std::move(pattern));
    m_drivers = std::move(kept);
}

void CaptureDrivers::setTestPatternEnabled(bool enabled) { capturedrivers::config().testPattern = enabled; }
bool CaptureDrivers::testPatternEnabled() { return capturedrivers::config().testPattern; }

void CaptureDrivers::setTestPatternFormat(QSize size, int framesPerSecond)
{
    capturedrivers::config().patternSize = size;
    capturedrivers::config().patternRate = framesPerSecond;
}

void CaptureDrivers::setExtraSources(std::vector<SourceFactory> factories)
{
    capturedrivers::config().extra = std::move(factories);
}

} // namespace tovradocs::Internal
