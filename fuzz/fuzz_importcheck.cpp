// Arbitrary bytes as a file offered for import, checked the way the import
// window checks every file before it is stored: container walks of JPEG, PNG,
// GIF, BMP, RIFF, ISO media, Matroska and PDF files, then the picture header.
// Nothing may crash, hang or read past the file, and a verdict always says why.

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

// The first byte picks the suffix, so every walk is reached by name as well as by content.
const char *const suffixes[] = {"", ".jpg", ".png", ".gif", ".bmp", ".webp", ".heic",
                                ".mp4", ".avi", ".mkv", ".mts", ".pdf", ".dcm", ".doc"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (!workDir) {
        static int argc = 1;
        static char name[] = "fuzz_importcheck";
        static char *argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
        workDir = new QTemporaryDir;
    }
    if (size == 0)
        return 0;
    const char *suffix = suffixes[data[0] % (sizeof suffixes / sizeof *suffixes)];
    const QString path = workDir->filePath(QStringLiteral("input") + QString::fromLatin1(suffix));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(reinterpret_cast<const char *>(data + 1), qint64(size - 1));
    file.close();

    const FileCheck check = checkImportFile(path);
    if (check.isFine() != check.reason.isEmpty()) {
        std::fprintf(stderr, "verdict without a reason, or a reason without a verdict\n");
        std::abort();
    }
    if (size == 1 && check.problem != FileCheck::Empty)
        std::abort();
    QFile::remove(path);
    return 0;
}
