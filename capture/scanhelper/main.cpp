// Runs one scan through SANE in a process of its own and writes the page to
// standard output: a PageHeader, then the bytes as the backend hands them
// over. Backends may cancel their reading threads in ways that leave a
// process unusable, so the program itself never runs a scan in-process; it
// starts this and may kill it.
//
//   tovradocs-scan --device D [--mode M] [--resolution R] [--area l,t,r,b]
//                  [--option name=value]...
//
// The last line on standard error is "status N", N being the SANE status
// (0 for a whole page); the line before it says what went wrong. SIGTERM
// cancels the scan.

#include "capture/saneoptions.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <sane/saneopts.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

using namespace tovradocs::Internal;

namespace {

volatile std::sig_atomic_t cancelRequested = 0;

void onTerminate(int) { cancelRequested = 1; }

bool writeAll(const void *data, size_t size)
{
    const auto *at = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t w = ::write(STDOUT_FILENO, at, size);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        at += w;
        size -= size_t(w);
    }
    return true;
}

int finish(SANE_Status status, const QString &text = QString())
{
    if (status != SANE_STATUS_GOOD)
        std::fprintf(stderr, "%s\n",
                     (text.isEmpty() ? scanner::statusText(status) : text).toLocal8Bit().constData());
    std::fprintf(stderr, "status %d\n", int(status));
    return int(status);
}

} // namespace

int main(int argc, char **argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    // A page is tens of megabytes: a wider pipe means fewer turns between
    // the two processes.
    ::fcntl(STDOUT_FILENO, F_SETPIPE_SZ, 1 << 20);
    struct sigaction act {};
    act.sa_handler = onTerminate;
    sigaction(SIGTERM, &act, nullptr);

    QByteArray device, mode;
    double resolution = 0;
    QList<double> area;
    QList<QPair<QByteArray, QString>> options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const QByteArray name = argv[i];
        const QByteArray value = argv[i + 1];
        if (name == "--device")
            device = value;
        else if (name == "--mode")
            mode = value;
        else if (name == "--resolution")
            resolution = value.toDouble();
        else if (name == "--area")
            for (const QByteArray &v : value.split(','))
                area.append(v.toDouble());
        else if (name == "--option" && value.contains('='))
            options.append({value.left(value.indexOf('=')), QString::fromUtf8(value.mid(value.indexOf('=') + 1))});
    }
    if (device.isEmpty())
        return finish(SANE_STATUS_INVAL, QStringLiteral("No scanner was named."));
    if (!scanner::ensureInit())
        return finish(SANE_STATUS_IO_ERROR, QStringLiteral("The scanner service could not start."));

    SANE_Handle handle = nullptr;
    SANE_Status status = sane_open(device.constData(), &handle);
    if (status != SANE_STATUS_GOOD)
        return finish(status);
    if (!mode.isEmpty())
        scanner::setText(handle, SANE_NAME_SCAN_MODE, QString::fromUtf8(mode));
    if (resolution > 0)
        scanner::setNumber(handle, SANE_NAME_SCAN_RESOLUTION, resolution);
    if (mode.compare("Lineart", Qt::CaseInsensitive) != 0)
        scanner::setNumber(handle, SANE_NAME_BIT_DEPTH, 8);
    for (const auto &[name, value] : std::as_const(options))
        scanner::setText(handle, name.constData(), value);
    if (area.size() == 4) {
        scanner::setNumber(handle, SANE_NAME_SCAN_TL_X, area[0]);
        scanner::setNumber(handle, SANE_NAME_SCAN_TL_Y, area[1]);
        scanner::setNumber(handle, SANE_NAME_SCAN_BR_X, area[2]);
        scanner::setNumber(handle, SANE_NAME_SCAN_BR_Y, area[3]);
    }

    const int threadsBefore = scanner::threadCount();
    status = cancelRequested ? SANE_STATUS_CANCELLED : sane_start(handle);
    SANE_Parameters p {};
    if (status == SANE_STATUS_GOOD)
        status = sane_get_parameters(handle, &p);
    if (status == SANE_STATUS_GOOD) {
        scanner::PageHeader header;
        header.format = p.format;
        header.depth = p.depth;
        header.lines = p.lines;
        header.bytesPerLine = p.bytes_per_line;
        header.pixelsPerLine = p.pixels_per_line;
        if (!writeAll(&header, sizeof header))
            status = SANE_STATUS_CANCELLED;
    }
    if (status == SANE_STATUS_GOOD) {
        QByteArray chunk(256 * 1024, Qt::Uninitialized);
        for (;;) {
            if (cancelRequested) {
                status = SANE_STATUS_CANCELLED;
                break;
            }
            SANE_Int got = 0;
            status = sane_read(handle, reinterpret_cast<SANE_Byte *>(chunk.data()), SANE_Int(chunk.size()), &got);
            if (status != SANE_STATUS_GOOD)
                break;
            // The reader of the page has gone away: nobody wants the rest.
            if (got > 0 && !writeAll(chunk.constData(), size_t(got))) {
                status = SANE_STATUS_CANCELLED;
                break;
            }
        }
        if (status == SANE_STATUS_EOF)
            status = SANE_STATUS_GOOD;
    }
    // The page and its outcome are out; whatever the backend does while it
    // stops cannot keep the program waiting.
    const int code = finish(status);
    std::fflush(stderr);
    ::close(STDOUT_FILENO);
    // A backend's reading thread that has handed over its page ends by
    // itself; cancelling it while it ends can hang this process.
    if (status != SANE_STATUS_CANCELLED)
        scanner::waitForThreadsToEnd(threadsBefore);
    sane_cancel(handle);
    sane_close(handle);
    return code;
}
