#include "capture/scanner.h"

#include "capture/capturelogging.h"
#include "capture/saneoptions.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMetaObject>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QThread>

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include <vector>

#include <csignal>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/mman.h>

namespace tovradocs::Internal {

namespace scanner {

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

// The scanning program: named by TOVRA_SCAN_HELPER, else beside the
// program, else where the package installs it (also relative to this
// library, for a package moved after installing), else in the build tree.
QString helperPath()
{
    if (const QString named = qEnvironmentVariable("TOVRA_SCAN_HELPER"); !named.isEmpty())
        return named;
    QStringList candidates{QCoreApplication::applicationDirPath() + QStringLiteral("/tovradocs-scan")};
    Dl_info info {};
    if (::dladdr(reinterpret_cast<void *>(&helperPath), &info) && info.dli_fname)
        candidates << QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absolutePath()
                          + QStringLiteral("/" TOVRA_SCAN_HELPER_FROM_LIB);
    candidates << QStringLiteral(TOVRA_SCAN_HELPER_INSTALLED) << QStringLiteral(TOVRA_SCAN_HELPER_BUILT);
    for (const QString &candidate : std::as_const(candidates))
        if (QFileInfo(candidate).isExecutable())
            return QFileInfo(candidate).canonicalFilePath();
    return candidates.last();
}

// The scanning program as a child process: its page through one pipe,
// what it says through another. Spawned without copying this process.
class Helper
{
public:
    ~Helper()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        closeFd(m_out);
        closeFd(m_err);
    }

    // Empty, or what went wrong.
    QString start(const QString &program, const QStringList &arguments)
    {
        int out[2], err[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            return QStringLiteral("The scanning program cannot be started: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        if (::pipe2(err, O_CLOEXEC) != 0) {
            ::close(out[0]);
            ::close(out[1]);
            return QStringLiteral("The scanning program cannot be started: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        const QByteArray path = QFile::encodeName(program);
        QList<QByteArray> words{path};
        for (const QString &a : arguments)
            words << a.toLocal8Bit();
        std::vector<char *> argv;
        for (QByteArray &w : words)
            argv.push_back(w.data());
        argv.push_back(nullptr);
        const int rc = posix_spawn(&m_pid, path.constData(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(err[1]);
        m_out = out[0];
        m_err = err[0];
        if (rc != 0) {
            m_pid = -1;
            return QStringLiteral("The scanning program %1 cannot be started: %2")
                .arg(program, QString::fromLocal8Bit(std::strerror(rc)));
        }
        return {};
    }

    // Bytes of the page: up to size, 0 when none came within timeoutMs, -1
    // once the program has closed its output.
    qint64 read(char *into, qint64 size, int timeoutMs)
    {
        // What it says is read as it comes, so that a talkative backend
        // cannot block on a full pipe.
        pollfd p[2]{{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
        const int ready = ::poll(p, 2, timeoutMs);
        if (ready == 0 || (ready < 0 && errno == EINTR))
            return 0;
        if (p[1].revents)
            drainErrors();
        if (!p[0].revents)
            return 0;
        const ssize_t got = ::read(m_out, into, size_t(size));
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            return 0;
        return got > 0 ? got : -1;
    }

    void terminate()
    {
        if (m_pid > 0)
            ::kill(m_pid, SIGTERM);
    }

    // What the program said; it is killed when it has not ended within timeoutMs.
    QByteArray finish(int timeoutMs)
    {
        QElapsedTimer waited;
        waited.start();
        while (m_pid > 0) {
            if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                m_pid = -1;
                break;
            }
            if (waited.elapsed() > timeoutMs) {
                ::kill(m_pid, SIGKILL);
                ::waitpid(m_pid, nullptr, 0);
                m_pid = -1;
                break;
            }
            pollfd p{m_err, POLLIN, 0};
            ::poll(&p, 1, 10);
            drainErrors();
        }
        drainErrors();
        return m_said;
    }

private:
    static void closeFd(int fd)
    {
        if (fd >= 0)
            ::close(fd);
    }
    void drainErrors()
    {
        char text[4096];
        for (;;) {
            pollfd p{m_err, POLLIN, 0};
            if (::poll(&p, 1, 0) <= 0)
                return;
            const ssize_t got = ::read(m_err, text, sizeof text);
            if (got == 0) {
                // Closed: poll() ignores a negative descriptor.
                closeFd(m_err);
                m_err = -1;
            }
            if (got <= 0)
                return;
            m_said.append(text, got);
        }
    }

    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
    QByteArray m_said;
};

} // namespace scanner

struct Scanner::Job
{
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
    if (m_job)
        m_job->cancelled = true;
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
        QStringList arguments{QStringLiteral("--device"), request.device, QStringLiteral("--mode"), request.mode,
                              QStringLiteral("--resolution"), QString::number(request.resolution)};
        if (!request.areaMm.isEmpty())
            arguments << QStringLiteral("--area")
                      << QStringLiteral("%1,%2,%3,%4")
                             .arg(request.areaMm.left())
                             .arg(request.areaMm.top())
                             .arg(request.areaMm.right())
                             .arg(request.areaMm.bottom());
        for (const auto &[name, value] : request.extra)
            arguments << QStringLiteral("--option") << QString::fromLatin1(name) + QLatin1Char('=') + value;
        scanner::Helper helper;
        if (const QString failed = helper.start(scanner::helperPath(), arguments); !failed.isEmpty()) {
            report(Failed, failed, {});
            return;
        }

        QByteArray header;
        SANE_Parameters p {};
        std::optional<scanner::FrameSink> sink;
        QByteArray data;
        qint64 expected = 0;
        qint64 received = 0;
        int lastPercent = -1;
        bool cancelled = false;
        QByteArray buffer(1024 * 1024, Qt::Uninitialized);
        for (;;) {
            if (job->cancelled && !cancelled) {
                cancelled = true;
                helper.terminate();
            }
            const qint64 got = helper.read(buffer.data(), buffer.size(), 100);
            if (got < 0)
                break; // the page has ended
            if (cancelled || got == 0)
                continue;
            const char *chunk = buffer.constData();
            qint64 count = got;
            if (header.size() < qsizetype(sizeof(scanner::PageHeader))) {
                const qint64 want = std::min<qint64>(count, qsizetype(sizeof(scanner::PageHeader)) - header.size());
                header.append(chunk, want);
                chunk += want;
                count -= want;
                if (header.size() < qsizetype(sizeof(scanner::PageHeader)))
                    continue;
                scanner::PageHeader h;
                std::memcpy(&h, header.constData(), sizeof h);
                if (h.magic != scanner::PageHeader::kMagic)
                    break;
                p.format = SANE_Frame(h.format);
                p.depth = h.depth;
                p.lines = h.lines;
                p.bytes_per_line = h.bytesPerLine;
                p.pixels_per_line = h.pixelsPerLine;
                p.last_frame = SANE_TRUE;
                sink.emplace(p);
                expected = p.lines > 0 ? qint64(p.lines) * p.bytes_per_line : 0;
                if (!sink->isValid())
                    data.reserve(expected);
            }
            if (count == 0)
                continue;
            if (sink->isValid())
                sink->feed(chunk, count);
            else
                data.append(chunk, count);
            received += count;
            if (expected > 0) {
                const int percent = int(qMin<qint64>(100, received * 100 / expected));
                if (percent != lastPercent)
                    tell(lastPercent = percent);
            }
        }
        // The outcome is written before the backend is stopped; a backend that
        // then hangs is not waited for.
        const QList<QByteArray> said = helper.finish(cancelled ? 3000 : 5000).trimmed().split('\n');
        int status = SANE_STATUS_IO_ERROR;
        if (said.last().startsWith("status "))
            status = said.last().mid(7).toInt();
        else if (sink && expected > 0 && received >= expected)
            status = SANE_STATUS_GOOD; // the page came whole; only stopping failed
        const QString text = said.size() > 1 ? QString::fromLocal8Bit(said.at(said.size() - 2)).trimmed() : QString();

        QImage image;
        if (status == SANE_STATUS_GOOD && !cancelled) {
            if (!sink) {
                status = SANE_STATUS_IO_ERROR;
            } else {
                const int lines = p.bytes_per_line > 0 ? int(data.size() / p.bytes_per_line) : 0;
                image = sink->isValid() ? sink->take()
                                        : scanner::toImage(p, data, p.lines > 0 ? qMin(p.lines, lines) : lines);
            }
            if (image.isNull()) {
                report(Failed, QStringLiteral("The scanner sent a picture in a form that cannot be read."), {});
                return;
            }
        }
        // Backend codes become the few outcomes a user acts on.
        if (cancelled || status == SANE_STATUS_CANCELLED)
            report(Cancelled, QStringLiteral("The scan was cancelled."), {});
        else if (status == SANE_STATUS_NO_DOCS)
            report(NoDocument, QStringLiteral("There is no paper in the scanner."), {});
        else if (status != SANE_STATUS_GOOD)
            report(Failed, text.isEmpty() ? scanner::statusText(SANE_Status(status)) : text, {});
        else
            report(Scanned, QString(), image);
    });
    m_thread->start();
}

} // namespace tovradocs::Internal
