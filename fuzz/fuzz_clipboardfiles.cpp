// Bytes as a file list on the clipboard (the first byte picks the type that
// carries it). Every name read must be an absolute local path without a NUL,
// and writing the names back and reading them again must give the same list.

#include "library/clipboardfiles.h"

#include <QMimeData>
#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace tovradocs::Internal;

namespace {

[[noreturn]] void fail(const char *what, const QStringList &paths)
{
    std::fprintf(stderr, "%s\n", what);
    for (const QString &p : paths)
        std::fprintf(stderr, "  %s\n", qUtf8Printable(p));
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    static const char *const types[] = {"text/uri-list", "x-special/gnome-copied-files",
                                        "x-special/KDE-copied-files", "text/plain"};
    QMimeData mime;
    mime.setData(QString::fromLatin1(types[data[0] % 4]),
                 QByteArray(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1)));
    const ClipboardFiles read = filesFromMimeData(&mime);
    for (const QString &path : read.paths)
        if (!path.startsWith(u'/') || path.contains(QChar(0)))
            fail("not an absolute local path", read.paths);

    std::unique_ptr<QMimeData> written(mimeDataForFiles(read.paths));
    const ClipboardFiles again = filesFromMimeData(written.get());
    if (again.paths != read.paths || !again.refused.isEmpty())
        fail("names changed on the way back", read.paths + QStringList{QStringLiteral("--")} + again.paths);
    return 0;
}
