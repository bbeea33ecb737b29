#include "component/fileprobe.h"

#include "component/dicomimage.h"
#include "component/filestructure.h"
#include "component/filetypes.h"
#include "component/heifimage.h"
#include "component/imageloader.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>

namespace tovradocs::Internal {

namespace {

// The outcome of one check beyond the structure: a problem and its clause, or a size.
struct Check
{
    FileProbe::Problem problem = FileProbe::None;
    QString clause; // "it is cut short (...)"
    QSize size;
};

Check problem(FileProbe::Problem p, const QString &clause)
{
    return Check{p, clause, {}};
}

Check sized(QSize size)
{
    return Check{FileProbe::None, {}, size};
}

Check checkDicom(const QString &path)
{
    const Result<QSize> size = Dicom::pictureSize(path);
    if (size)
        return sized(*size);
    const QString reason = size.error();
    if (reason.contains(QLatin1String("cut short")))
        return problem(FileProbe::Truncated, reason);
    if (reason.contains(QLatin1String("no picture")) || reason.contains(QLatin1String("empty")))
        return problem(FileProbe::NoPicture, reason);
    return problem(FileProbe::Damaged, QStringLiteral("it cannot be read (%1)").arg(reason));
}

Check checkPicture(const QString &path)
{
    const Result<QSize> picture = imageSize(path);
    if (!picture)
        return problem(FileProbe::Damaged, QStringLiteral("it cannot be read as a picture"));
    return sized(*picture);
}

// Video formats without a walk of their own: a signature is all a cheap check has.
bool namesVideo(QByteArrayView head)
{
    if (contentViewer(head) == 2 || head.startsWith("OggS"))
        return true;
    // FLI and FLC animations: their magic number after the file's length.
    return head.size() >= 6 && uchar(head[5]) == 0xaf && (uchar(head[4]) == 0x11 || uchar(head[4]) == 0x12);
}

Check checkContent(const QString &path, qint32 kind, const uchar *data, qint64 size)
{
    const QByteArray head132(reinterpret_cast<const char *>(data), int(std::min<qint64>(size, 132)));
    if (Dicom::looksLikeDicom(path, head132))
        return checkDicom(path);
    const FileStructure structure = checkStructure(data, size);
    if (structure.problem != FileProbe::None)
        return problem(structure.problem, structure.clause);
    if (structure.format == FileStructure::HeifPicture) {
        const Result<QSize> picture = Heif::pictureSize(path);
        if (!picture)
            return problem(FileProbe::Damaged, picture.error());
        return sized(*picture);
    }
    // WebP: its header, read by the decoder that would show it.
    if (structure.format == FileStructure::Riff && size >= 12 && std::memcmp(data + 8, "WEBP", 4) == 0)
        return checkPicture(path);
    if (structure.format != FileStructure::Unchecked)
        return sized(structure.size);

    // The type the extension names, then the one the content names.
    const QByteArrayView head(reinterpret_cast<const char *>(data), std::min<qint64>(size, 4096));
    const qint32 byContent = contentViewer(head);
    if (kind == 1 || byContent == 1)
        return checkPicture(path);
    if (kind == 2 && !namesVideo(head))
        return problem(FileProbe::Damaged, QStringLiteral("it is not a video this program can read"));
    if (kind == 5) {
        // Some writers put a few bytes before the header.
        const qsizetype at = head.first(std::min<qsizetype>(head.size(), 1024)).indexOf("%PDF-");
        if (at < 0)
            return problem(FileProbe::Damaged, QStringLiteral("it is not a PDF document"));
        const FileStructure pdf = checkStructure(data + at, size - at);
        if (pdf.problem != FileProbe::None)
            return problem(pdf.problem, pdf.clause);
    }
    return sized({});
}

QString normalised(const QString &path)
{
    QString p = path.trimmed();
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return p;
}

} // namespace

FileProbe inspectFile(const QString &fileName)
{
    FileProbe probe;
    const QString path = normalised(fileName);
    const QFileInfo info(path);
    const QString name = info.fileName().isEmpty() ? path : info.fileName();
    const auto fail = [&](FileProbe::Problem p, const QString &clause) {
        probe.problem = p;
        probe.clause = clause;
        probe.reason = QStringLiteral("The file \"%1\" cannot be shown: %2.").arg(name, clause);
        return probe;
    };
    if (path.isEmpty() || !info.exists())
        return fail(FileProbe::Missing, QStringLiteral("it does not exist"));
    // Opening a pipe or a device could wait for ever.
    if (!info.isFile())
        return fail(FileProbe::Unreadable, QStringLiteral("it is not an ordinary file"));
    probe.kind = classifyFile(path);
    QFile file(path);
    if (!info.isReadable() || !file.open(QIODevice::ReadOnly))
        return fail(FileProbe::Unreadable, QStringLiteral("it cannot be opened for reading"));
    const qint64 size = file.size();
    if (size == 0)
        return fail(FileProbe::Empty, QStringLiteral("it is empty"));
    const uchar *data = file.map(0, size);
    if (!data)
        return fail(FileProbe::Unreadable, QStringLiteral("it cannot be read"));
    // A file with no extension is what its bytes say.
    if (probe.kind == 101) {
        char head[4096];
        std::memcpy(head, data, size_t(std::min<qint64>(size, sizeof head)));
        probe.kind = contentViewer(QByteArrayView(head, std::min<qint64>(size, sizeof head)));
    }
    const Check check = checkContent(path, probe.kind, data, size);
    file.unmap(const_cast<uchar *>(data));
    if (check.problem != FileProbe::None)
        return fail(check.problem, check.clause);
    probe.size = check.size;
    const qint64 limit = ImageLoadOptions().maxPixels;
    if (probe.kind == 1 && probe.size.isValid()
        && qint64(probe.size.width()) * probe.size.height() > limit) {
        // The loader's own sentence, so the tile, "View" and the import grid agree.
        probe.problem = FileProbe::TooLarge;
        probe.clause = QStringLiteral("it is too large to open (%1 x %2 pixels; the limit is %3 megapixels)")
                           .arg(probe.size.width())
                           .arg(probe.size.height())
                           .arg(double(limit) / 1e6, 0, 'f', 1);
        probe.reason = QStringLiteral("The picture \"%1\" %2.").arg(name, probe.clause.mid(3));
    }
    return probe;
}

Result<QSize> probeFile(const QString &path)
{
    const FileProbe probe = inspectFile(path);
    if (!probe.ok())
        return Result<QSize>::failure(probe.reason);
    return probe.size;
}

QString problemLabel(FileProbe::Problem problem, qint32 kind)
{
    switch (problem) {
    case FileProbe::None: return {};
    case FileProbe::Missing: return QStringLiteral("File missing");
    case FileProbe::Empty: return QStringLiteral("Empty file");
    default: break;
    }
    if (kind == 2)
        return QStringLiteral("Cannot read video");
    if (kind == 1)
        return QStringLiteral("Cannot read picture");
    return QStringLiteral("Cannot read document");
}

QString unreadableLabel(const QString &fileName)
{
    const QString path = normalised(fileName);
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile())
        return problemLabel(FileProbe::Missing, 101);
    if (info.size() == 0)
        return problemLabel(FileProbe::Empty, 101);
    return problemLabel(FileProbe::Damaged, classifyFile(path));
}

} // namespace tovradocs::Internal
