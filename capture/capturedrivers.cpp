#include "capture/capturesource.h"

namespace tovradocs::Internal {

namespace capturedrivers {

struct Config
{
    bool testPattern = true;
    QSize patternSize {640, 480};
    int patternRate = 15;
};

Config &config()
{
    static Config c;
    return c;
}

} // namespace capturedrivers

CaptureDrivers::CaptureDrivers(QObject *parent)
    : QObject(parent)
    , m_devices(std::make_unique<CaptureDevices>())
{
    connect(m_devices.get(), &CaptureDevices::changed, this, [this] {
        rebuild();
        Q_EMIT changed();
    });
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
    // another camera being plugged in or out.
    const QList<CaptureDevice> cameras = m_devices->devices();
    std::vector<std::unique_ptr<CaptureSource>> kept;
    std::unique_ptr<CaptureSource> pattern;
    for (auto &source : m_drivers) {
        if (source->isTestPattern()) {
            pattern = std::move(source);
            continue;
        }
        const bool present = std::any_of(cameras.begin(), cameras.end(),
                                         [&](const CaptureDevice &d) { return d.id == source->id(); });
        if (present)
            kept.push_back(std::move(source));
        else if (source->isConnected())
            // Its pipeline reports the loss and finishes a clip; the window lets go after.
            m_retired.push_back(std::move(source));
    }
    for (const CaptureDevice &device : cameras) {
        const bool known = std::any_of(kept.begin(), kept.end(), [&](const auto &s) { return s->id() == device.id; });
        if (!known && kept.size() < kMaxDrivers)
            kept.push_back(std::make_unique<CaptureSource>(device));
    }
    // The test pattern keeps its object too, and its place at the end.
    const auto &c = capturedrivers::config();
    if (!pattern && c.testPattern)
        pattern = CaptureSource::testPattern(c.patternSize, c.patternRate);
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

} // namespace tovradocs::Internal
