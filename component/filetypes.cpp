#include "component/filetypes.h"

#include "component/dialogservice.h"
#include "component/filepropertiesdialog.h"
#include "component/hostlink.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace tovradocs::Internal {

namespace {

// Stored paths may carry Windows separators.
QString slashPath(const QString &path)
{
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return p;
}

QString joinFilter(std::initializer_list<const char *> parts)
{
    QStringList list;
    for (const char *part : parts)
        list.append(QString::fromLatin1(part));
    return list.join(QChar(0));
}

} // namespace

QString fileExtension(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot == fileName.size() - 1)
        return QString();
    return fileName.mid(dot + 1).toUpper();
}

qint32 fileViewer(const QString &extension)
{
    static const struct
    {
        qint32 kind;
        QStringList extensions;
    } kinds[] = {
        {1, {QStringLiteral("BMP"), QStringLiteral("JPG"), QStringLiteral("TIF"),
             QStringLiteral("PCX"), QStringLiteral("DCX")}},
        {2, {QStringLiteral("AVI"), QStringLiteral("FLI"), QStringLiteral("FLC")}},
        {3, {QStringLiteral("HTM"), QStringLiteral("HTML"), QStringLiteral("SHTML"),
             QStringLiteral("ASP"), QStringLiteral("COM")}},
        {4, {QStringLiteral("RTF"), QStringLiteral("TXT")}},
        {5, {QStringLiteral("PDF")}},
        {6, {QStringLiteral("SHW"), QStringLiteral("DCR")}},
        {7, {QStringLiteral("DOC")}},
        {8, {QStringLiteral("XLS")}},
        {9, {QStringLiteral("PPT")}},
        {100, {QStringLiteral("TGA"), QStringLiteral("3DS")}},
    };
    const QString ext = extension.toUpper();
    if (ext.isEmpty())
        return 101;
    for (const auto &entry : kinds) {
        if (entry.extensions.contains(ext))
            return entry.kind;
    }
    return 101;
}

QString viewerFilterString(qint32 subDocumentType)
{
    switch (subDocumentType) {
    case 0: return joinFilter({"Bitmap Files", "*.bmp", "JPEG Images Files", "*.jpg"});
    case 1: return joinFilter({"Tif Document", "*.tif", "PCX/DCX Files", "*.pcx"});
    case 2: return joinFilter({"Video For Windows Files", "*.avi", "AutoDeskFlic Files", "*.flc"});
    case 3: return joinFilter({"HTM Files", "*.htm", "HTML Files", "*.html"});
    case 4: return joinFilter({"Rich Text Files", "*.rtf", "TextFiles", "*.txt"});
    case 5: return joinFilter({"Adobe Acrobat Files", "*.pdf"});
    case 6: return joinFilter({"Shockwave Files", "*.dcr"});
    case 7: return joinFilter({"Doc Files", "*.doc", "Write Files Files", "*.wri"});
    case 8: return joinFilter({"Excel Files", "*.xls", "Excel Templates", "*.xlt"});
    case 9: return joinFilter({"PowerPoint Files", "*.ppt", "PowerPoint Templates", "*.pot"});
    default: return QString();
    }
}

QString docTypeFilterString(qint32 docType)
{
    QList<qint32> subTypes;
    switch (docType) {
    case 1: subTypes = {0, 1}; break;
    case 2: subTypes = {2}; break;
    case 3: subTypes = {3, 4, 5, 6, 7, 8, 9}; break;
    default: return QString();
    }
    QStringList filters;
    for (qint32 sub : subTypes)
        filters.append(viewerFilterString(sub));
    return filters.join(QChar(0));
}

bool isRelativePath(const QString &filePath)
{
    const QString upper = filePath.toUpper();
    for (const QLatin1StringView root : {QLatin1StringView("LIBRARY"), QLatin1StringView("HELP"),
                                         QLatin1StringView("WORKSPC"), QLatin1StringView("BACKUP")}) {
        if (upper.startsWith(root) && upper.size() > root.size())
            return true;
    }
    return false;
}

bool doesFileExist(const QString &fileName)
{
    QString name = fileName.trimmed();
    if (name.size() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"')))
        name = name.mid(1, name.size() - 2);
    if (name.endsWith(QLatin1Char('\\')) || name.endsWith(QLatin1Char('/')))
        name.chop(1);
    if (name.isEmpty())
        return false;
    // Only ordinary files: opening a pipe or a device blocks the window for ever.
    if (!QFileInfo(slashPath(name)).isFile())
        return false;
    // Opening for reading is the test: an unreadable file is not a file we can use.
    QFile file(slashPath(name));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    file.close();
    return true;
}

bool folderExists(const QString &path)
{
    const QString trimmed = path.trimmed();
    if (trimmed.isEmpty())
        return false;
    const QFileInfo info(slashPath(trimmed));
    return info.isDir() && info.isReadable();
}

QString fileTitle(const QString &path)
{
    const qsizetype cut = std::max(path.lastIndexOf(QLatin1Char('\\')),
                                   path.lastIndexOf(QLatin1Char('/')));
    return cut < 0 ? path : path.mid(cut + 1);
}

QString tempFolder()
{
    return QDir::tempPath();
}

QString tempFileName(const QString &extension)
{
    QTemporaryFile file(QDir(tempFolder()).filePath(QStringLiteral("TowXXXXXX")));
    file.setAutoRemove(false);
    if (!file.open()) {
        qCWarning(lcComponent) << "cannot create a temporary file:" << file.errorString();
        return QString();
    }
    const QString stem = file.fileName();
    file.close();
    return stem + QLatin1Char('.') + extension;
}

QString qtFilterFromZeroSeparated(const QString &filter)
{
    if (filter.isEmpty())
        return QString();
    // Some callers still write the pipe form of the common dialog.
    const QChar separator = filter.contains(QChar(0)) ? QChar(0) : QChar(QLatin1Char('|'));
    QStringList parts = filter.split(separator);
    while (!parts.isEmpty() && parts.last().isEmpty())
        parts.removeLast();

    QStringList entries;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString description = parts.at(i).trimmed();
        QString patterns = i + 1 < parts.size() ? parts.at(i + 1) : description;
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        patterns = patterns.simplified();
        if (patterns.isEmpty())
            patterns = QStringLiteral("*");
        entries.append(description + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return entries.join(QStringLiteral(";;"));
}

QString &lastPickerDrive()
{
    static QString drive;
    return drive;
}

QString &lastPickerFolder()
{
    static QString folder;
    return folder;
}

QString commonFileDialog(QWidget *owner, qint16 mode, const QString &title,
                         const QString &fileName, const QString &zeroSeparatedFilter,
                         const QString &initialDir, const QString &defaultExt)
{
    try {
        const QString filter = qtFilterFromZeroSeparated(zeroSeparatedFilter);
        QString initial = slashPath(fileName.trimmed());
        const QString dir = slashPath(initialDir.trimmed());
        if (!dir.isEmpty() && (initial.isEmpty() || QFileInfo(initial).isRelative()))
            initial = initial.isEmpty() ? dir : QDir(dir).filePath(initial);

        if (mode == 1)
            return DialogService::openFile(owner, title, filter, initial);

        QString chosen = DialogService::saveFile(owner, title, filter, initial);
        const QString ext = defaultExt.trimmed();
        if (!chosen.isEmpty() && !ext.isEmpty() && QFileInfo(chosen).suffix().isEmpty())
            chosen += QLatin1Char('.') + (ext.startsWith(QLatin1Char('.')) ? ext.mid(1) : ext);
        return chosen;
    } catch (const std::exception &e) {
        qCWarning(lcComponent) << "file dialog failed:" << e.what();
    }
    return QString();
}

void showFileProperties(QWidget *owner, const QString &fileName)
{
    try {
        FilePropertiesDialog dialog(fileName, owner);
        DialogService::showModal(&dialog);
    } catch (const std::exception &e) {
        qCWarning(lcComponent) << "properties failed:" << e.what();
    }
}

bool viewFile(const QString &fileName, const QString &caption, ViewerTargets &targets)
{
    qint32 kind = fileViewer(fileExtension(fileName));
    QString path = fileName;

    bool address = false;
    if (path.size() > 4) {
        const QString head = path.left(4).toUpper();
        if (head == QLatin1String("HTTP")) {
            address = true;
        } else if (head == QLatin1String("FILE")) {
            address = true;
            if (path.size() > 8)
                path = path.mid(7);
        }
    }

    if (address) {
        kind = 3;
    } else if (!doesFileExist(path)) {
        // Relative library paths resolve against an empty root, so they are tested as given.
        return false;
    }

    switch (kind) {
    case 1:
    case 4:
    case 5:
    case 7:
    case 8:
    case 9: {
        DataLink *link = dataLink();
        if (!link)
            return false;
        QString target = path;
        QString text = caption;
        try {
            return link->ViewExtendedFile(kind, target, text);
        } catch (const std::exception &e) {
            reportError(QStringLiteral("MediaManager"), e);
        }
        return false;
    }
    case 2:
        targets.showVideo(path, caption);
        return true;
    case 3:
        return targets.showBrowser(path, caption);
    default:
        return false;
    }
}

} // namespace tovradocs::Internal
