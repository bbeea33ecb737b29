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

namespace {

struct KindTable
{
    qint32 kind;
    QList<QLatin1StringView> extensions;
};

// Pictures and videos include the files a practice has today (phones, sensors,
// intraoral cameras), beyond the formats the first table knew.
const KindTable kKinds[] = {
    {1, {QLatin1StringView("BMP"), QLatin1StringView("JPG"), QLatin1StringView("JPEG"),
         QLatin1StringView("JPE"), QLatin1StringView("JFIF"), QLatin1StringView("TIF"),
         QLatin1StringView("TIFF"), QLatin1StringView("PCX"), QLatin1StringView("DCX"),
         QLatin1StringView("PNG"), QLatin1StringView("GIF"), QLatin1StringView("WEBP"),
         QLatin1StringView("HEIC"), QLatin1StringView("HEIF"), QLatin1StringView("AVIF"),
         QLatin1StringView("JXL"), QLatin1StringView("DCM"), QLatin1StringView("DICOM")}},
    {2, {QLatin1StringView("AVI"), QLatin1StringView("FLI"), QLatin1StringView("FLC"),
         QLatin1StringView("MP4"), QLatin1StringView("M4V"), QLatin1StringView("MOV"),
         QLatin1StringView("MKV"), QLatin1StringView("WEBM"), QLatin1StringView("MPG"),
         QLatin1StringView("MPEG"), QLatin1StringView("MTS"), QLatin1StringView("M2TS"),
         QLatin1StringView("3GP"), QLatin1StringView("WMV"), QLatin1StringView("OGV")}},
    {3, {QLatin1StringView("HTM"), QLatin1StringView("HTML"), QLatin1StringView("SHTML"),
         QLatin1StringView("ASP"), QLatin1StringView("COM")}},
    {4, {QLatin1StringView("RTF"), QLatin1StringView("TXT")}},
    {5, {QLatin1StringView("PDF")}},
    {6, {QLatin1StringView("SHW"), QLatin1StringView("DCR")}},
    {7, {QLatin1StringView("DOC")}},
    {8, {QLatin1StringView("XLS")}},
    {9, {QLatin1StringView("PPT")}},
    {10, {QLatin1StringView("MOUNT")}}, // our own radiograph mounts
    {100, {QLatin1StringView("TGA"), QLatin1StringView("3DS")}},
};

const QList<QLatin1StringView> &extensionsOf(qint32 kind)
{
    for (const KindTable &entry : kKinds)
        if (entry.kind == kind)
            return entry.extensions;
    static const QList<QLatin1StringView> none;
    return none;
}

} // namespace

namespace {

qint32 kindOfExtension(QStringView extension)
{
    if (extension.isEmpty())
        return 101;
    for (const KindTable &entry : kKinds) {
        for (QLatin1StringView known : entry.extensions)
            if (known.size() == extension.size()
                && extension.compare(known, Qt::CaseInsensitive) == 0)
                return entry.kind;
    }
    return 101;
}

// The extension of a path's last name, without copying: "" when none.
QStringView extensionOf(QStringView path)
{
    const qsizetype slash = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    const qsizetype dot = path.lastIndexOf(u'.');
    if (dot <= slash || dot == path.size() - 1)
        return {};
    return path.sliced(dot + 1);
}

} // namespace

qint32 fileViewer(const QString &extension)
{
    return kindOfExtension(extension);
}

namespace {

quint32 bigEndian32(QByteArrayView b, qsizetype at)
{
    return quint32(quint8(b[at])) << 24 | quint32(quint8(b[at + 1])) << 16
           | quint32(quint8(b[at + 2])) << 8 | quint32(quint8(b[at + 3]));
}

bool startsWith(QByteArrayView head, qsizetype at, QByteArrayView magic)
{
    return head.size() >= at + magic.size() && head.sliced(at, magic.size()) == magic;
}

// ISO media (MP4, MOV, HEIC, AVIF): the major brand decides, else the first
// compatible brand either list knows.
qint32 isoMediaKind(QByteArrayView head)
{
    static const QByteArrayView pictures[] = {"heic", "heix", "heim", "heis", "mif1",
                                              "msf1", "avif", "avis", "jxl "};
    static const QByteArrayView videos[] = {"isom", "iso2", "iso4", "iso5", "iso6", "mp41",
                                            "mp42", "qt  ", "M4V ", "M4VH", "M4VP", "avc1",
                                            "3gp4", "3gp5", "3gp6", "3g2a", "dash", "mmp4"};
    const auto kindOf = [&](QByteArrayView brand) -> qint32 {
        for (QByteArrayView b : pictures)
            if (brand == b)
                return 1;
        for (QByteArrayView b : videos)
            if (brand == b)
                return 2;
        return 0;
    };
    const qint32 major = kindOf(head.sliced(8, 4));
    if (major)
        return major;
    const qsizetype boxEnd = std::min<qsizetype>(head.size(), bigEndian32(head, 0));
    for (qsizetype at = 16; at + 4 <= boxEnd; at += 4)
        if (const qint32 kind = kindOf(head.sliced(at, 4)))
            return kind;
    return 0;
}

bool isTransportStream(QByteArrayView head, qsizetype offset, qsizetype packet)
{
    if (head.size() < offset + 2 * packet + 1)
        return false;
    for (int i = 0; i < 3; ++i)
        if (head[offset + i * packet] != 0x47)
            return false;
    return true;
}

} // namespace

qint32 contentViewer(QByteArrayView head)
{
    if (startsWith(head, 0, "\xFF\xD8\xFF") || startsWith(head, 0, "\x89PNG\r\n\x1A\n")
        || startsWith(head, 0, "GIF87a") || startsWith(head, 0, "GIF89a")
        || startsWith(head, 0, QByteArrayView("II*\0", 4)) || startsWith(head, 0, QByteArrayView("MM\0*", 4))
        || startsWith(head, 0, QByteArrayView("II+\0", 4)) || startsWith(head, 0, QByteArrayView("MM\0+", 4))
        || startsWith(head, 128, "DICM") || startsWith(head, 0, "\xFF\x0A")
        || startsWith(head, 0, QByteArrayView("\0\0\0\x0CJXL \r\n\x87\n", 12))
        || startsWith(head, 0, "\xB1\x68\xDE\x3A"))
        return 1;
    if (startsWith(head, 0, "RIFF") && head.size() >= 12) {
        if (head.sliced(8, 4) == "WEBP")
            return 1;
        if (head.sliced(8, 4) == "AVI ")
            return 2;
    }
    // A Windows bitmap names one of the known header sizes after its file header.
    if (startsWith(head, 0, "BM") && head.size() >= 18) {
        const quint32 header = quint8(head[14]) | quint8(head[15]) << 8 | quint8(head[16]) << 16
                               | quint32(quint8(head[17])) << 24;
        if (header == 12 || header == 40 || header == 52 || header == 56 || header == 64
            || header == 108 || header == 124)
            return 1;
    }
    if (head.size() >= 16 && startsWith(head, 4, "ftyp"))
        if (const qint32 kind = isoMediaKind(head))
            return kind;
    // QuickTime files made before brands start with a movie or data atom.
    if (head.size() >= 8 && (startsWith(head, 4, "moov") || startsWith(head, 4, "mdat")
                             || startsWith(head, 4, "wide")))
        return 2;
    if (startsWith(head, 0, "\x1A\x45\xDF\xA3")                        // Matroska, WebM
        || startsWith(head, 0, QByteArrayView("\0\0\x01\xBA", 4))      // MPEG program stream
        || startsWith(head, 0, QByteArrayView("\0\0\x01\xB3", 4))      // MPEG video
        || startsWith(head, 0, "\x30\x26\xB2\x75\x8E\x66\xCF\x11") // Windows Media
        || isTransportStream(head, 0, 188) || isTransportStream(head, 4, 192))
        return 2;
    if (startsWith(head, 0, "OggS") && head.size() >= 35 && head.sliced(28, 7) == "\x80theora")
        return 2;
    if (startsWith(head, 0, "%PDF-"))
        return 5;
    return 101;
}

qint32 classifyFile(const QString &fileName)
{
    const qint32 byName = kindOfExtension(extensionOf(fileName));
    if (byName != 101)
        return byName;
    QFile file(slashPath(fileName));
    // Only ordinary files: reading a pipe or a device could wait for ever.
    if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly))
        return byName;
    char head[4096];
    const qint64 got = file.read(head, sizeof head);
    return got > 0 ? contentViewer(QByteArrayView(head, got)) : byName;
}

qint32 entryTypeFor(const QString &fileName, qint32 documentType)
{
    const qint32 kind = classifyFile(fileName);
    return kind == 1 || kind == 2 ? kind : documentType;
}

qint32 shownEntryType(qint32 storedType, const QString &fileName)
{
    // Pictures, videos and sounds are what they say; only a document type may hide one.
    if (storedType == 1 || storedType == 2 || storedType == 4)
        return storedType;
    const qint32 kind = classifyFile(fileName);
    return kind == 1 || kind == 2 ? kind : storedType;
}

QString kindPatterns(qint32 kind)
{
    return withKindPatterns(QString(), kind);
}

QString withKindPatterns(const QString &patterns, qint32 kind)
{
    QStringList all = patterns.split(u';', Qt::SkipEmptyParts);
    for (QLatin1StringView extension : extensionsOf(kind)) {
        const QString pattern = QStringLiteral("*.") + QString(extension).toLower();
        if (!all.contains(pattern, Qt::CaseInsensitive))
            all << pattern;
    }
    return all.join(u';');
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
    const bool knownByName = kind != 101;

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
    } else if (!knownByName) {
        // A radiograph without an extension is still a picture.
        kind = classifyFile(path);
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
