#include "capture/scanner.h"

#include "capture/capturelogging.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMetaObject>
#include <QPointer>
#include <QThread>

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include <sys/mman.h>

namespace tovradocs::Internal {

namespace scanner {

bool ensureInit()
{
    static const bool ok = [] {
        SANE_Int version = 0;
        return sane_init(&version, nullptr) == SANE_STATUS_GOOD;
    }();
    return ok;
}

QString statusText(SANE_Status status) { return QString::fromLocal8Bit(sane_strstatus(status)); }

// The option numbers of a device by name.
int findOption(SANE_Handle handle, const char *name)
{
    SANE_Int count = 0;
    if (sane_control_option(handle, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD)
        return -1;
    for (int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor *d = sane_get_option_descriptor(handle, i);
        if (d && d->name && std::strcmp(d->name, name) == 0)
            return i;
    }
    return -1;
}

double numberOf(const SANE_Option_Descriptor *d, SANE_Word w)
{
    return d->type == SANE_TYPE_FIXED ? SANE_UNFIX(w) : double(w);
}

SANE_Word wordOf(const SANE_Option_Descriptor *d, double v)
{
    return d->type == SANE_TYPE_FIXED ? SANE_FIX(v) : SANE_Word(qRound(v));
}

bool setNumber(SANE_Handle handle, const char *name, double value)
{
    const int option = findOption(handle, name);
    if (option < 0)
        return false;
    const SANE_Option_Descriptor *d = sane_get_option_descriptor(handle, option);
    if (!SANE_OPTION_IS_ACTIVE(d->cap) || !SANE_OPTION_IS_SETTABLE(d->cap))
        return false;
    SANE_Word w = wordOf(d, value);
    return sane_control_option(handle, option, SANE_ACTION_SET_VALUE, &w, nullptr) == SANE_STATUS_GOOD;
}

bool setText(SANE_Handle handle, const char *name, const QString &value)
{
    const int option = findOption(handle, name);
    if (option < 0)
        return false;
    const SANE_Option_Descriptor *d = sane_get_option_descriptor(handle, option);
    if (d->type == SANE_TYPE_BOOL || d->type == SANE_TYPE_INT || d->type == SANE_TYPE_FIXED)
        return setNumber(handle, name, value.toDouble());
    QByteArray text = value.toUtf8();
    text.resize(qMax<qsizetype>(text.size() + 1, d->size), '\0');
    return sane_control_option(handle, option, SANE_ACTION_SET_VALUE, text.data(), nullptr)
           == SANE_STATUS_GOOD;
}

// Turns the bytes of one frame into a picture; SANE's one-bit pixels are black when set.
QImage toImage(const SANE_Parameters &p, const QByteArray &data, int lines)
{
    const int w = p.pixels_per_line;
    const int bpl = p.bytes_per_line;
    if (w <= 0 || lines <= 0)
        return {};
    QImage image;
    if (p.format == SANE_FRAME_GRAY && p.depth == 1) {
        image = QImage(w, lines, QImage::Format_Mono);
        image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
        for (int y = 0; y < lines; ++y)
            std::memcpy(image.scanLine(y), data.constData() + qsizetype(y) * bpl, size_t(qMin(bpl, int(image.bytesPerLine()))));
        return image;
    }
    const bool colour = p.format == SANE_FRAME_RGB;
    image = QImage(w, lines, colour ? QImage::Format_RGB888 : QImage::Format_Grayscale8);
    const int channels = colour ? 3 : 1;
    for (int y = 0; y < lines; ++y) {
        const auto *in = reinterpret_cast<const uchar *>(data.constData() + qsizetype(y) * bpl);
        uchar *out = image.scanLine(y);
        if (p.depth == 8) {
            std::memcpy(out, in, size_t(w * channels));
        } else if (p.depth == 16) {
            // Native byte order; the high byte is enough for a picture file.
            const auto *in16 = reinterpret_cast<const quint16 *>(in);
            for (int i = 0; i < w * channels; ++i)
                out[i] = uchar(in16[i] >> 8);
        }
    }
    return image;
}

// A picture for a whole page in memory of its own, asked for in large pages:
// faulting in a 300 dpi page 4 KB at a time costs more than the scan.
QImage pageImage(int width, int height, QImage::Format format)
{
    const int depth = format == QImage::Format_RGB888 ? 3 : 1;
    const qsizetype bpl = (qsizetype(width) * depth + 3) & ~qsizetype(3);
    const size_t size = size_t(bpl) * size_t(height);
    if (width <= 0 || height <= 0 || size / size_t(bpl) != size_t(height))
        return {};
    void *memory = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        return QImage(width, height, format);
    ::madvise(memory, size, MADV_HUGEPAGE);
    struct Mapping
    {
        void *memory;
        size_t size;
    };
    return QImage(static_cast<uchar *>(memory), width, height, bpl, format,
                  [](void *info) {
                      auto *m = static_cast<Mapping *>(info);
                      ::munmap(m->memory, m->size);
                      delete m;
                  },
                  new Mapping{memory, size});
}

// Lays the bytes of an 8-bit grey or colour frame into the picture's lines
// as they arrive, so the page is never held twice.
class FrameSink
{
public:
    explicit FrameSink(const SANE_Parameters &p)
        : m_lineBytes(p.bytes_per_line)
        , m_pixelBytes(p.pixels_per_line * (p.format == SANE_FRAME_RGB ? 3 : 1))
    {
        if (p.depth == 8 && p.lines > 0 && (p.format == SANE_FRAME_RGB || p.format == SANE_FRAME_GRAY)
            && m_pixelBytes > 0 && m_pixelBytes <= m_lineBytes)
            m_image = pageImage(p.pixels_per_line, p.lines,
                                p.format == SANE_FRAME_RGB ? QImage::Format_RGB888 : QImage::Format_Grayscale8);
    }
    bool isValid() const { return !m_image.isNull(); }

    void feed(const char *bytes, qsizetype count)
    {
        while (count > 0 && m_line < m_image.height()) {
            const qsizetype take = std::min<qsizetype>(count, m_lineBytes - m_at);
            // Padding a backend adds after the pixels of a line is dropped.
            if (m_at < m_pixelBytes)
                std::memcpy(m_image.scanLine(m_line) + m_at, bytes,
                            size_t(std::min<qsizetype>(take, m_pixelBytes - m_at)));
            m_at += take;
            bytes += take;
            count -= take;
            if (m_at == m_lineBytes) {
                m_at = 0;
                ++m_line;
            }
        }
    }

    // The lines that came whole.
    QImage take()
    {
        if (m_line == m_image.height())
            return std::move(m_image);
        return m_line > 0 ? m_image.copy(0, 0, m_image.width(), m_line) : QImage();
    }

private:
    QImage m_image;
    qsizetype m_lineBytes;
    qsizetype m_pixelBytes;
    qsizetype m_at = 0;
    int m_line = 0;
};

// Threads of this process now, from the kernel's own count.
int threadCount()
{
    QFile status(QStringLiteral("/proc/self/stat"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = status.readAll();
    // The fields after the command name, which may hold blanks, start past its ')'.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 17 ? fields.at(17).toInt() : -1;
}

// Waits a little while for the threads started since there were `before` of
// them to end; other threads of the program coming and going only make it
// wait its full time.
void waitForThreadsToEnd(int before)
{
    if (before <= 0)
        return;
    QElapsedTimer waited;
    waited.start();
    while (threadCount() > before && waited.elapsed() < 200)
        QThread::msleep(1);
}

} // namespace scanner

struct Scanner::Job
{
    std::mutex lock;
    SANE_Handle handle = nullptr;
    std::atomic<bool> cancelled {false};
};

Scanner::Scanner(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<tovradocs::Internal::Scanner::Outcome>();
}

Scanner::~Scanner()
{
    cancel();
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

Result<QList<ScanDevice>> Scanner::devices()
{
    using R = Result<QList<ScanDevice>>;
    if (!scanner::ensureInit())
        return R::failure(QStringLiteral("The scanner service could not start."));
    const SANE_Device **list = nullptr;
    const SANE_Status status = sane_get_devices(&list, SANE_FALSE);
    if (status != SANE_STATUS_GOOD)
        return R::failure(scanner::statusText(status));
    QList<ScanDevice> found;
    for (int i = 0; list && list[i]; ++i) {
        const SANE_Device *d = list[i];
        found.append({QString::fromLocal8Bit(d->name),
                      QStringLiteral("%1 %2 (%3)")
                          .arg(QString::fromLocal8Bit(d->vendor), QString::fromLocal8Bit(d->model),
                               QString::fromLocal8Bit(d->name))});
    }
    return found;
}

Result<ScanDeviceCaps> Scanner::capabilities(const QString &device)
{
    using R = Result<ScanDeviceCaps>;
    if (!scanner::ensureInit())
        return R::failure(QStringLiteral("The scanner service could not start."));
    SANE_Handle handle = nullptr;
    const SANE_Status status = sane_open(device.toLocal8Bit().constData(), &handle);
    if (status != SANE_STATUS_GOOD)
        return R::failure(scanner::statusText(status));
    ScanDeviceCaps caps;
    if (const int o = scanner::findOption(handle, SANE_NAME_SCAN_MODE); o >= 0) {
        const SANE_Option_Descriptor *d = sane_get_option_descriptor(handle, o);
        if (d->constraint_type == SANE_CONSTRAINT_STRING_LIST)
            for (const SANE_String_Const *s = d->constraint.string_list; *s; ++s)
                caps.modes << QString::fromLocal8Bit(*s);
    }
    if (const int o = scanner::findOption(handle, SANE_NAME_SCAN_RESOLUTION); o >= 0) {
        const SANE_Option_Descriptor *d = sane_get_option_descriptor(handle, o);
        const QList<int> usual {75, 100, 150, 200, 300, 600, 1200};
        if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST) {
            for (int i = 1; i <= d->constraint.word_list[0]; ++i)
                caps.resolutions << int(scanner::numberOf(d, d->constraint.word_list[i]));
        } else if (d->constraint_type == SANE_CONSTRAINT_RANGE) {
            const double lo = scanner::numberOf(d, d->constraint.range->min);
            const double hi = scanner::numberOf(d, d->constraint.range->max);
            for (int r : usual)
                if (r >= lo && r <= hi)
                    caps.resolutions << r;
        }
    }
    auto maxOf = [&](const char *name) {
        const int o = scanner::findOption(handle, name);
        if (o < 0)
            return 0.0;
        const SANE_Option_Descriptor *d = sane_get_option_descriptor(handle, o);
        return d->constraint_type == SANE_CONSTRAINT_RANGE ? scanner::numberOf(d, d->constraint.range->max)
                                                           : 0.0;
    };
    caps.maxAreaMm = QSizeF(maxOf(SANE_NAME_SCAN_BR_X), maxOf(SANE_NAME_SCAN_BR_Y));
    sane_close(handle);
    return caps;
}

// Busy until the outcome is handed over; the thread itself may still be
// winding down when the next scan starts.
bool Scanner::isRunning() const { return m_busy; }

void Scanner::cancel()
{
    if (!m_job)
        return;
    m_job->cancelled = true;
    std::lock_guard<std::mutex> guard(m_job->lock);
    if (m_job->handle)
        sane_cancel(m_job->handle);
}

void Scanner::start(const ScanRequest &request)
{
    if (isRunning())
        return;
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
    auto job = std::make_shared<Job>();
    m_job = job;
    m_busy = true;
    QPointer<Scanner> self(this);
    auto report = [self](Outcome outcome, const QString &text, const QImage &image) {
        QMetaObject::invokeMethod(self, [self, outcome, text, image] {
            if (!self)
                return;
            self->m_busy = false;
            Q_EMIT self->finished(outcome, text, image);
        }, Qt::QueuedConnection);
    };
    auto tell = [self](int percent) {
        QMetaObject::invokeMethod(self, [self, percent] {
            if (self)
                Q_EMIT self->progress(percent);
        }, Qt::QueuedConnection);
    };
    m_thread = QThread::create([job, request, report, tell] {
        if (!scanner::ensureInit()) {
            report(Failed, QStringLiteral("The scanner service could not start."), {});
            return;
        }
        SANE_Handle handle = nullptr;
        SANE_Status status = sane_open(request.device.toLocal8Bit().constData(), &handle);
        if (status != SANE_STATUS_GOOD) {
            report(Failed, scanner::statusText(status), {});
            return;
        }
        {
            std::lock_guard<std::mutex> guard(job->lock);
            job->handle = handle;
        }
        scanner::setText(handle, SANE_NAME_SCAN_MODE, request.mode);
        scanner::setNumber(handle, SANE_NAME_SCAN_RESOLUTION, request.resolution);
        if (request.mode.compare(QLatin1String("Lineart"), Qt::CaseInsensitive) != 0)
            scanner::setNumber(handle, SANE_NAME_BIT_DEPTH, 8);
        for (const auto &[name, value] : request.extra)
            scanner::setText(handle, name.constData(), value);
        if (!request.areaMm.isEmpty()) {
            scanner::setNumber(handle, SANE_NAME_SCAN_TL_X, request.areaMm.left());
            scanner::setNumber(handle, SANE_NAME_SCAN_TL_Y, request.areaMm.top());
            scanner::setNumber(handle, SANE_NAME_SCAN_BR_X, request.areaMm.right());
            scanner::setNumber(handle, SANE_NAME_SCAN_BR_Y, request.areaMm.bottom());
        }
        QImage image;
        QString text;
        const int threadsBefore = scanner::threadCount();
        status = job->cancelled ? SANE_STATUS_CANCELLED : sane_start(handle);
        SANE_Parameters p {};
        if (status == SANE_STATUS_GOOD)
            status = sane_get_parameters(handle, &p);
        if (status == SANE_STATUS_GOOD) {
            QByteArray data;
            scanner::FrameSink sink(p);
            const qint64 expected = p.lines > 0 ? qint64(p.lines) * p.bytes_per_line : 0;
            if (!sink.isValid())
                data.reserve(expected);
            qint64 received = 0;
            QByteArray chunk(64 * 1024, Qt::Uninitialized);
            int lastPercent = -1;
            for (;;) {
                SANE_Int got = 0;
                // Some backends ignore a cancel until the page ends; stop reading anyway.
                if (job->cancelled) {
                    status = SANE_STATUS_CANCELLED;
                    break;
                }
                status = sane_read(handle, reinterpret_cast<SANE_Byte *>(chunk.data()), SANE_Int(chunk.size()), &got);
                if (status != SANE_STATUS_GOOD)
                    break;
                if (sink.isValid())
                    sink.feed(chunk.constData(), got);
                else
                    data.append(chunk.constData(), got);
                received += got;
                if (expected > 0) {
                    const int percent = int(qMin<qint64>(100, received * 100 / expected));
                    if (percent != lastPercent)
                        tell(lastPercent = percent);
                }
            }
            if (status == SANE_STATUS_EOF && !job->cancelled) {
                status = SANE_STATUS_GOOD;
                const int lines = p.bytes_per_line > 0 ? int(data.size() / p.bytes_per_line) : 0;
                image = sink.isValid() ? sink.take()
                                       : scanner::toImage(p, data, p.lines > 0 ? qMin(p.lines, lines) : lines);
                if (image.isNull()) {
                    status = SANE_STATUS_INVAL;
                    text = QStringLiteral("The scanner sent a picture in a form that cannot be read.");
                }
            }
        }
        {
            std::lock_guard<std::mutex> guard(job->lock);
            job->handle = nullptr;
        }
        // Backends that read on a thread of their own cancel it asynchronously
        // in sane_cancel(); when that lands while the thread is already ending
        // on its own, inside the C library's clean-up, it can leave a lock of
        // the memory allocator taken for good, and the next scan hangs. A
        // thread that has handed over its whole page ends by itself: let it.
        if (!job->cancelled)
            scanner::waitForThreadsToEnd(threadsBefore);
        sane_cancel(handle);
        sane_close(handle);
        // Backend codes become the few outcomes a user acts on.
        if (job->cancelled || status == SANE_STATUS_CANCELLED)
            report(Cancelled, QStringLiteral("The scan was cancelled."), {});
        else if (status == SANE_STATUS_NO_DOCS)
            report(NoDocument, QStringLiteral("There is no paper in the scanner."), {});
        else if (status != SANE_STATUS_GOOD)
            report(Failed, text.isEmpty() ? scanner::statusText(status) : text, {});
        else
            report(Scanned, QString(), image);
    });
    m_thread->start();
}

} // namespace tovradocs::Internal
