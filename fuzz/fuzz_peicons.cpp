// Bytes as a program file: the reader on its own, and the grabber's whole
// read of the file. Refusals carry a message; what comes out is bounded.

#include "icons/peiconreader.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
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
        static char name[] = "fuzz_peicons";
        static char *argv[] = {name, nullptr};
        new QCoreApplication(argc, argv);
        workDir = new QTemporaryDir;
    }
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const PeIconReader reader(bytes);
    if (!reader.isValid() && (reader.error().isEmpty() || reader.iconCount() != 0))
        fail("refused without a message, or with icons");
    if (reader.iconCount() > PeIconReader::MaxIcons)
        fail("more icons than a file may give");
    for (int i = 0; i < reader.iconCount() && i < 64; ++i)
        (void)reader.icon(i);

    const QString path = workDir->filePath(QStringLiteral("program.dll"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        fail("cannot write the input");
    file.close();
    const FileIcons icons = iconsOfFile(path);
    if (icons.icons.size() > qMax(reader.iconCount(), 1))
        fail("more icons than the file lists");
    for (const IconImage &icon : icons.icons)
        if (icon.size() != QSize(32, 32) || icon.mask.size() != QSize(32, 32))
            fail("an icon not at 32 x 32");
    if (PeIconReader::hasPeStamp(bytes) && reader.isDamaged() && icons.problem != reader.error())
        fail("a damaged file without its reason");
    return 0;
}
