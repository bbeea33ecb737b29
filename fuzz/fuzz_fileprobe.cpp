// Arbitrary bytes through the checks a file gets before it is shown or
// imported: the structure walk (JPEG markers, PNG chunks, GIF and bitmap
// ends, RIFF and Matroska lengths, ISO media boxes, a PDF's end mark) and the
// ISO box reader on their own, then as a file under a suffix the first byte
// picks: the probe and the import check over it, and for .dcm and .heic the
// reduced decode. Nothing may crash, hang or leak; a problem always comes with
// its reason, a whole file never does, and nothing decodes past its box.

#include "component/dicomimage.h"
#include "component/fileprobe.h"
#include "component/filestructure.h"
#include "component/heifimage.h"
#include "component/isomedia.h"
#include "library/importcheck.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace tovradocs::Internal;

namespace {

QTemporaryDir *workDir = nullptr;

// Every walk is reached by name as well as by content.
const char *const suffixes[] = {"", ".jpg", ".png", ".gif", ".bmp", ".webp", ".heic",
                                ".mp4", ".avi", ".mkv", ".mts", ".pdf", ".dcm", ".doc"};

[[noreturn]] void fail(const char *what, const QString &detail = QString())
{
    std::fprintf(stderr, "%s %s\n", what, qUtf8Printable(detail));
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    workDir = new QTemporaryDir;
    if (!workDir->isValid())
        fail("no temporary folder");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1 || size > 512 * 1024)
        return 0;
    const QString suffix = QString::fromLatin1(suffixes[data[0] % (sizeof suffixes / sizeof *suffixes)]);
    const uchar *bytes = data + 1;
    const qint64 length = qint64(size - 1);

    if (length > 0) {
        const FileStructure s = checkStructure(bytes, length);
        if ((s.problem == FileProbe::None) != s.clause.isEmpty())
            fail("a problem without its clause, or a clause without a problem", s.clause);
        if (s.size != QSize() && (s.size.width() < 0 || s.size.height() < 0))
            fail("a negative size"); // QSize() is -1 x -1: no size given
        const IsoMedia media = readIsoMedia(bytes, length);
        if ((media.damage == IsoMedia::Whole) != media.problem.isEmpty())
            fail("box damage without its reason", media.problem);
        namesStillPicture(QByteArrayView(reinterpret_cast<const char *>(bytes), qsizetype(length)));
    }

    const QString path = workDir->filePath(QStringLiteral("input") + suffix);
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            fail("cannot write", path);
        file.write(reinterpret_cast<const char *>(bytes), length);
    }
    const FileProbe probe = inspectFile(path);
    if (probe.ok() != probe.reason.isEmpty() || probe.ok() != probe.clause.isEmpty())
        fail("a verdict without its reason, or a reason without a verdict", probe.reason);
    if (length == 0 && probe.problem != FileProbe::Empty)
        fail("an empty file not called empty", probe.reason);
    const FileCheck check = checkImportFile(path);
    if (check.isFine() != probe.ok() || check.isFine() != check.reason.isEmpty())
        fail("the import check and the probe disagree", check.reason);

    if (suffix == u".dcm") {
        const Result<QSize> header = Dicom::pictureSize(path);
        if (!header && header.error().isEmpty())
            fail("a DICOM header refused without a reason");
        if (header && header->width() * qint64(header->height()) <= 1'000'000) {
            const Result<QImage> picture = Dicom::decode(path, QSize(32, 32));
            if (picture && (picture->width() > 32 || picture->height() > 32))
                fail("a radiograph larger than its box");
        }
    } else if (suffix == u".heic") {
        const Result<Heif::Decoded> picture = Heif::decode(path, QSize(32, 32), 1'000'000);
        if (!picture && picture.error().isEmpty())
            fail("a HEIC refused without a reason");
        if (picture && (picture->image.width() > 32 || picture->image.height() > 32))
            fail("a HEIC thumbnail larger than its box");
    }
    QFile::remove(path);
    return 0;
}
