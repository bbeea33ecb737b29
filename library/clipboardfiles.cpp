#include "library/clipboardfiles.h"

#include <QFile>
#include <QSysInfo>
#include <QMimeData>
#include <QSet>
#include <QStringDecoder>

namespace tovradocs::Internal {

namespace clipboardfiles {

const QString uriList = QStringLiteral("text/uri-list");
// GNOME, MATE and KDE write the same "copy|cut" + URI lines under their own names.
const QStringList copiedFilesTypes = {QStringLiteral("x-special/gnome-copied-files"),
                                      QStringLiteral("x-special/mate-copied-files"),
                                      QStringLiteral("x-special/KDE-copied-files")};
const QString kdeCutSelection = QStringLiteral("application/x-kde-cutselection");

bool isThisMachine(const QString &host)
{
    return host.isEmpty() || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0
           || host.compare(QSysInfo::machineHostName(), Qt::CaseInsensitive) == 0;
}

QList<QByteArray> uriLines(const QByteArray &text)
{
    QList<QByteArray> lines;
    for (QByteArray line : text.split('\n')) {
        // Some writers end the list with a NUL; a name stops there.
        const int nul = line.indexOf('\0');
        if (nul >= 0)
            line.truncate(nul);
        line = line.trimmed();
        if (!line.isEmpty() && !line.startsWith('#'))
            lines.append(line);
    }
    return lines;
}

} // namespace clipboardfiles

QString localPathFromUrl(const QByteArray &encodedUrl)
{
    const int colon = encodedUrl.indexOf(':');
    if (colon <= 0 || encodedUrl.left(colon).toLower() != "file")
        return QString();
    QByteArray rest = encodedUrl.mid(colon + 1);
    QString host;
    if (rest.startsWith("//")) {
        const int slash = rest.indexOf('/', 2);
        if (slash < 0)
            return QString();
        host = QString::fromLatin1(QByteArray::fromPercentEncoding(rest.mid(2, slash - 2)));
        rest = rest.mid(slash);
    }
    if (!rest.startsWith('/') || !clipboardfiles::isThisMachine(host))
        return QString();
    const int query = rest.indexOf('?');
    const int fragment = rest.indexOf('#');
    const int end = std::min(query < 0 ? int(rest.size()) : query,
                             fragment < 0 ? int(rest.size()) : fragment);
    const QByteArray bytes = QByteArray::fromPercentEncoding(rest.left(end));
    if (bytes.contains('\0'))
        return QString();
    // A name that does not decode cleanly cannot be opened again through a QString.
    QStringDecoder decoder(QStringDecoder::System);
    QString path = decoder.decode(bytes);
    if (decoder.hasError() || QFile::encodeName(path) != bytes)
        return QString();
    // "file:////x" is still local; written back as "//x" it would name a machine.
    while (path.startsWith(QLatin1String("//")))
        path.remove(0, 1);
    return path;
}

ClipboardFiles filesFromMimeData(const QMimeData *data)
{
    ClipboardFiles result;
    if (!data)
        return result;
    QSet<QString> seen;
    auto take = [&](const QByteArray &line) {
        const QString path = localPathFromUrl(line);
        if (path.isEmpty()) {
            const QString shown = QString::fromUtf8(line);
            if (!result.refused.contains(shown))
                result.refused.append(shown);
        } else if (!seen.contains(path)) {
            seen.insert(path);
            result.paths.append(path);
        }
    };
    const QStringList formats = data->formats();
    if (formats.contains(clipboardfiles::uriList))
        for (const QByteArray &line : clipboardfiles::uriLines(data->data(clipboardfiles::uriList)))
            take(line);
    for (const QString &type : clipboardfiles::copiedFilesTypes) {
        if (!formats.contains(type))
            continue;
        QList<QByteArray> lines = clipboardfiles::uriLines(data->data(type));
        if (!lines.isEmpty() && (lines.first() == "copy" || lines.first() == "cut"))
            lines.removeFirst();
        for (const QByteArray &line : std::as_const(lines))
            take(line);
    }
    return result;
}

QMimeData *mimeDataForFiles(const QStringList &paths)
{
    auto *data = new QMimeData;
    QList<QUrl> urls;
    QByteArray copied("copy");
    for (const QString &path : paths) {
        const QUrl url = QUrl::fromLocalFile(path);
        urls.append(url);
        copied += '\n' + url.toEncoded();
    }
    data->setUrls(urls);
    for (const QString &type : clipboardfiles::copiedFilesTypes)
        data->setData(type, copied);
    data->setData(clipboardfiles::kdeCutSelection, "0");
    return data;
}

} // namespace tovradocs::Internal
