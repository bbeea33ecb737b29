// Arbitrary bytes as a JPEG, WebP or TIFF file read reduced for a thumbnail,
// and as an EXIF block. Nothing may crash or leak; a picture that comes out
// is no larger than what was stored, and a failure says why.

#include "component/jpegdc.h"
#include "component/thumbnaildecoder.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace tovradocs::Internal;

namespace {

QTemporaryDir *workDir = nullptr;

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (!workDir) {
        static int argc = 1;
        static char name[] = "fuzz_thumbnaildecoder";
        static char *argv[] = {name, nullptr};
        new QCoreApplication(argc, argv);
        workDir = new QTemporaryDir;
    }
    // The JPEG block reader on its own, so its parser gets every input.
    if (const auto dc = decodeJpegDc(data, size, 16)) {
        const QSize expected((dc->original.width() + 7) / 8, (dc->original.height() + 7) / 8);
        if (dc->image.size() != expected)
            fail("block picture of the wrong size");
    }
    const int orientation = exifOrientation(data, qsizetype(size));
    if (orientation < 1 || orientation > 8)
        fail("orientation out of range");

    const QString path = workDir->filePath(QStringLiteral("picture"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
        fail("cannot write the input");
    file.close();
    const std::optional<ReducedPicture> p = decodeReduced(path, 128);
    if (!p)
        return 0;
    if (p->image.isNull() && p->error.isEmpty())
        fail("no picture and no reason");
    if (!p->image.isNull()) {
        const QSize upright = p->image.size();
        const qint64 stored = qint64(p->original.width()) * p->original.height();
        if (qint64(upright.width()) * upright.height() > stored)
            fail("larger than the stored picture");
    }
    return 0;
}
