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

Check checkContent(const QString &path, qint32 kind, const uchar *data, qint64 size)
{
    const QByteArray head(reinterpret_cast<const char *>(data), int(std::min<qint64>(size, 132)));
    if (Dicom::looksLikeDicom(path, head))
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
    // WebP and the formats without a walk of their own: their header, read
    // by the decoder that would show them.
    const bool webp = structure.format == FileStructure::Riff && size >= 12
                      && std::memcmp(data + 8, "WEBP", 4) == 0;
    if (structure.format != FileStructure::Unchecked && !webp)
        return sized(structure.size);
    if (kind != 1)
        return sized({}); // videos and documents without a check of their own
    const Result<QSize> picture = imageSize(path);
    if (!picture)
        return problem(FileProbe::Damaged, QStringLiteral("it cannot be read"));
    return sized(*picture);
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
        probe.reason = QStringLiteral("The file \"%1\" cannot be shown: %2.").arg(name, clause);
        return probe;
    };
    if (path.isEmpty() || !info.exists())
        return fail(FileProbe::Missing, QStringLiteral("it does not exist"));
    // Opening a pipe or a device could wait for ever.
    if (!info.isFile())
        return fail(FileProbe::Missing, QStringLiteral("it is not an ordinary file"));
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
        probe.reason = QStringLiteral("The picture \"%1\" is too large to open (%2 x %3 pixels; the "
                                      "limit is %4 megapixels).")
                           .arg(name)
                           .arg(probe.size.width())
                           .arg(probe.size.height())
                           .arg(double(limit) / 1e6, 0, 'f', 1);
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
