#include "library/librarycopier.h"

#include "component/filetypes.h"
#include "library/librarylogging.h"

#include <tovradocs/datalink.h>

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tovradocs::Internal {

namespace librarycopy {

// Tests force the way taken where a folder refuses unnamed temporary files
// and hard links.
std::atomic<bool> forceNamedTemporary{false};

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

class FileHandle
{
public:
    explicit FileHandle(int fd = -1) : m_fd(fd) {}
    ~FileHandle()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileHandle(const FileHandle &) = delete;
    FileHandle &operator=(const FileHandle &) = delete;
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    void reset(int fd)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

// Copies everything from in to out; 0 on success, else the errno of the failing side.
int copyContents(int in, int out, bool &readFailed)
{
    readFailed = false;
    // The kernel copies without bouncing through user space where it can.
    bool kernelCopy = true;
    qint64 copied = 0;
    while (kernelCopy) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
        if (n > 0) {
            copied += n;
            continue;
        }
        if (n == 0) {
            // Some pseudo files report 0 at once; let read() decide.
            if (copied > 0)
                return 0;
            kernelCopy = false;
            break;
        }
        if (errno == EINTR)
            continue;
        if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP
            || errno == EBADF) {
            kernelCopy = false;
            break;
        }
        // Only a write error can be told apart reliably here; treat the rest as read errors.
        readFailed = !(errno == ENOSPC || errno == EDQUOT || errno == EFBIG);
        return errno;
    }

    constexpr size_t bufferSize = 4 << 20;
    std::unique_ptr<char[]> buffer(new char[bufferSize]);
    for (;;) {
        const ssize_t got = ::read(in, buffer.get(), bufferSize);
        if (got == 0)
            return 0;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            readFailed = true;
            return errno;
        }
        ssize_t written = 0;
        while (written < got) {
            const ssize_t w = ::write(out, buffer.get() + written, size_t(got - written));
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            written += w;
        }
    }
}

QString existsMessage(const QString &target)
{
    return QStringLiteral("The library already holds a file named \"%1\"; nothing was copied.")
        .arg(QDir::toNativeSeparators(target));
}

// Makes a new file at target from what fill writes into fd (0, or the
// errno of a failed write; readFailed when the source failed instead). The
// data is complete, and synced when sync is set, before the name appears;
// an existing target is left alone.
Outcome placeNoReplace(const QString &target, const QString &source,
                       const std::function<int(int fd, bool &readFailed)> &fill, bool sync)
{
    const QByteArray targetName = QFile::encodeName(target);
    const QString folder = QFileInfo(target).absolutePath();
    const QByteArray folderName = QFile::encodeName(folder);
    if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder))
        return Outcome::failure(QStringLiteral("Cannot create the library folder \"%1\".")
                                    .arg(QDir::toNativeSeparators(folder)));

    // An unnamed file vanishes by itself if anything below fails.
    QByteArray tempName;
    FileHandle out;
    if (!forceNamedTemporary)
        out.reset(::open(folderName.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
    if (!out.valid()
        && (forceNamedTemporary || errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        tempName = folderName + "/" + QByteArray(LibraryCopier::kTemporaryPrefix.data()) + "XXXXXX";
        out.reset(::mkostemp(tempName.data(), O_CLOEXEC));
        if (out.valid())
            ::fchmod(out.get(), 0644);
    }
    if (!out.valid())
        return Outcome::failure(QStringLiteral("Cannot write in the library folder \"%1\": %2")
                                    .arg(QDir::toNativeSeparators(folder), systemError(errno)));

    auto fail = [&](const QString &message) {
        if (!tempName.isEmpty())
            ::unlink(tempName.constData());
        return Outcome::failure(message);
    };

    bool readFailed = false;
    if (const int error = fill(out.get(), readFailed)) {
        const QString what = readFailed ? QStringLiteral("Cannot read \"%1\": %2")
                                        : QStringLiteral("Cannot write \"%1\": %2");
        return fail(what.arg(QDir::toNativeSeparators(readFailed ? source : target),
                             systemError(error)));
    }
    if (sync && ::fsync(out.get()) != 0)
        return fail(QStringLiteral("Cannot write \"%1\": %2")
                        .arg(QDir::toNativeSeparators(target), systemError(errno)));

    int placed = 0;
    if (tempName.isEmpty()) {
        char procPath[64];
        std::snprintf(procPath, sizeof procPath, "/proc/self/fd/%d", out.get());
        placed = ::linkat(AT_FDCWD, procPath, AT_FDCWD, targetName.constData(), AT_SYMLINK_FOLLOW);
        if (placed != 0 && errno == ENOENT)
            placed = ::linkat(out.get(), "", AT_FDCWD, targetName.constData(), AT_EMPTY_PATH);
    } else {
        // The forced way stands for shares without hard links: rename only.
        placed = forceNamedTemporary ? -1 : ::link(tempName.constData(), targetName.constData());
        if (forceNamedTemporary)
            errno = EPERM;
        if (placed != 0 && errno != EEXIST)
            // Folders without hard links (network shares) still refuse to replace.
            placed = ::renameat2(AT_FDCWD, tempName.constData(), AT_FDCWD, targetName.constData(),
                                 RENAME_NOREPLACE);
        else if (placed == 0)
            ::unlink(tempName.constData());
    }
    if (placed != 0) {
        const int error = errno;
        if (error == EEXIST)
            return fail(existsMessage(target));
        return fail(QStringLiteral("Cannot write \"%1\": %2")
                        .arg(QDir::toNativeSeparators(target), systemError(error)));
    }
    if (::close(out.release()) != 0) {
        const int error = errno;
        ::unlink(targetName.constData());
        return Outcome::failure(QStringLiteral("Cannot write \"%1\": %2")
                                    .arg(QDir::toNativeSeparators(target), systemError(error)));
    }
    return {};
}

int writeAll(int fd, const QByteArray &data)
{
    qsizetype written = 0;
    while (written < data.size()) {
        const ssize_t w = ::write(fd, data.constData() + written, size_t(data.size() - written));
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        written += w;
    }
    return 0;
}

// Writes source into a new file at target. The data is complete and synced
// before the name appears, and an existing target is left alone.
Outcome copyNoReplace(const QString &source, const QString &target)
{
    const QByteArray sourceName = QFile::encodeName(source);
    const QByteArray targetName = QFile::encodeName(target);

    struct stat st;
    if (::lstat(targetName.constData(), &st) == 0)
        return Outcome::failure(existsMessage(target));

    FileHandle in(::open(sourceName.constData(), O_RDONLY | O_CLOEXEC));
    if (!in.valid())
        return Outcome::failure(QStringLiteral("Cannot read \"%1\": %2")
                                    .arg(QDir::toNativeSeparators(source), systemError(errno)));
    if (::fstat(in.get(), &st) != 0 || S_ISDIR(st.st_mode))
        return Outcome::failure(QStringLiteral("\"%1\" is not a file.")
                                    .arg(QDir::toNativeSeparators(source)));

    return placeNoReplace(target, source,
                          [&](int fd, bool &readFailed) { return copyContents(in.get(), fd, readFailed); }, true);
}

bool syncFolder(const QString &folder)
{
    FileHandle dir(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return dir.valid() && ::fsync(dir.get()) == 0;
}

// Whether a path has nothing to clean: no '\\', and no '/' followed by '.',
// another separator or the end. One pass; most stored paths are clean.
bool isClean(QStringView path)
{
    const qsizetype n = path.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = path[i].unicode();
        if (c == u'\\')
            return false;
        if (c != u'/')
            continue;
        const char16_t next = i + 1 < n ? path[i + 1].unicode() : u'/';
        if (next == u'.' || next == u'/' || next == u'\\')
            return false;
    }
    return true;
}

// The cleaned absolute path with '/' separators: ".." and "." are resolved,
// so "/a/Library/../x" is not inside "/a/Library".
QString cleanedPath(const QString &path)
{
    // Drive-letter paths from other workstations are absolute too.
    const bool driveLetter = path.size() > 1 && path.at(1) == QLatin1Char(':');
    // QDir::isAbsolutePath builds a QFileInfo, too slow for a run of thousands.
    const bool absolute = driveLetter || path.startsWith(QLatin1Char('/'));
    if (path.isEmpty() || (absolute && isClean(path)))
        return path;
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!absolute)
        p = QDir::current().absoluteFilePath(p);
    return QDir::cleanPath(p);
}

// What a path inside folder begins with, letter case aside.
QString folderPrefix(const QString &folder)
{
    const QString cleaned = cleanedPath(folder);
    if (cleaned.isEmpty())
        return cleaned;
    return cleaned.endsWith(QLatin1Char('/')) ? cleaned : cleaned + QLatin1Char('/');
}

bool isInside(const QString &prefix, const QString &path);

// Stray temporaries come from copies cut short by a crash on folders that
// refuse unnamed temporary files; a day old means no copy still writes them.
void removeStaleOnce(const QString &folder)
{
    static QMutex mutex;
    static QSet<QString> cleaned;
    {
        QMutexLocker lock(&mutex);
        if (folder.isEmpty() || cleaned.contains(folder))
            return;
        cleaned.insert(folder);
    }
    (void)QtConcurrent::run([folder] {
        LibraryCopier::removeStaleTemporaries(folder, QDateTime::currentDateTime().addDays(-1));
    });
}

} // namespace librarycopy

LibraryCopier::LibraryCopier(DataLink &link) : m_link(link) {}

LibraryCopier::~LibraryCopier()
{
    const Outcome done = finish();
    if (!done)
        qCWarning(lcLibrary) << done.error();
}

bool LibraryCopier::isInLibrary(const QString &libraryFolder, const QString &path)
{
    return librarycopy::isInside(librarycopy::folderPrefix(libraryFolder), path);
}

namespace librarycopy {

// Compared whole name by whole name, since the prefix ends in '/'.
bool isInside(const QString &prefix, const QString &path)
{
    if (prefix.isEmpty())
        return false;
    // Spelled as the prefix, which is clean, only the rest can need cleaning.
    if (path.size() > prefix.size() && path.startsWith(prefix)
        && isClean(QStringView(path).sliced(prefix.size() - 1)))
        return true;
    const QString candidate = cleanedPath(path);
    // The exact spelling first: folding case costs more than the rest of the test.
    return candidate.size() > prefix.size()
        && (candidate.startsWith(prefix) || candidate.startsWith(prefix, Qt::CaseInsensitive));
}

} // namespace librarycopy

Outcome LibraryCopier::writeNew(const QByteArray &data, const QString &target, bool sync)
{
    struct stat st;
    if (::lstat(QFile::encodeName(target).constData(), &st) == 0)
        return Outcome::failure(librarycopy::existsMessage(target));
    return librarycopy::placeNoReplace(
        target, QString(), [&](int fd, bool &) { return librarycopy::writeAll(fd, data); }, sync);
}

Outcome LibraryCopier::syncFile(const QString &path)
{
    librarycopy::FileHandle file(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    if (!file.valid() || ::fsync(file.get()) != 0
        || !librarycopy::syncFolder(QFileInfo(path).absolutePath()))
        return Outcome::failure(QStringLiteral("\"%1\" could not be made safe on disk: %2")
                                    .arg(QDir::toNativeSeparators(path), librarycopy::systemError(errno)));
    return {};
}

int LibraryCopier::removeStaleTemporaries(const QString &folder, const QDateTime &olderThan)
{
    int removed = 0;
    QDirIterator it(folder, {QString(kTemporaryPrefix) + QLatin1Char('*')},
                    QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo file(it.nextFileInfo());
        if (file.lastModified() < olderThan && QFile::remove(file.absoluteFilePath()))
            ++removed;
    }
    if (removed > 0)
        qCInfo(lcLibrary) << "removed" << removed << "stray copies from" << folder;
    return removed;
}

void LibraryCopier::setForceNamedTemporary(bool force)
{
    librarycopy::forceNamedTemporary = force;
}

Result<QString> LibraryCopier::copy(const QString &source, qint16 kind, qint32 bookCode,
                                    qint32 entryCode, bool deleteSource, const QString &extension)
{
    if (!m_folderRead) {
        m_libraryFolder = m_link.GetLibraryFilesFolder();
        m_folderPrefix = librarycopy::folderPrefix(m_libraryFolder);
        m_folderRead = true;
        librarycopy::removeStaleOnce(m_libraryFolder);
    }
    if (librarycopy::isInside(m_folderPrefix, source))
        return source;

    const QString ext = extension.isEmpty() ? fileExtension(source) : extension;
    const QString target = m_link.NextFileName(kind, bookCode, entryCode, ext);
    if (target.isEmpty())
        return Result<QString>::failure(
            QStringLiteral("The host gave no library file name for \"%1\".")
                .arg(QDir::toNativeSeparators(source)));
    const Outcome copied = copyTo(source, target);
    if (!copied)
        return Result<QString>::failure(copied.error());
    if (deleteSource) {
        m_sourceOfTarget.insert(target, source);
        m_pendingTargets.append(target);
    }
    return target;
}

Outcome LibraryCopier::copyTo(const QString &source, const QString &target)
{
    const Outcome copied = librarycopy::copyNoReplace(source, target);
    if (copied) {
        m_dirtyFolders.insert(QFileInfo(target).absolutePath());
        ++m_copied;
    }
    return copied;
}

void LibraryCopier::discard(const QString &target)
{
    m_sourceOfTarget.remove(target);
    m_pendingTargets.removeAll(target);
    QFile::remove(target);
}

Outcome LibraryCopier::finish()
{
    QStringList problems;
    QSet<QString> unsynced;
    for (const QString &folder : std::as_const(m_dirtyFolders)) {
        if (!librarycopy::syncFolder(folder)) {
            unsynced.insert(folder);
            problems << QStringLiteral("Cannot sync the library folder \"%1\".")
                            .arg(QDir::toNativeSeparators(folder));
        }
    }
    m_dirtyFolders.clear();

    for (const QString &target : std::as_const(m_pendingTargets)) {
        const QString source = m_sourceOfTarget.value(target);
        // Keep the source when its copy may not have reached the disk.
        if (source.isEmpty() || unsynced.contains(QFileInfo(target).absolutePath()))
            continue;
        if (!QFile::remove(source) && QFileInfo::exists(source))
            problems << QStringLiteral("Cannot delete \"%1\" after copying it into the library.")
                            .arg(QDir::toNativeSeparators(source));
    }
    m_pendingTargets.clear();
    m_sourceOfTarget.clear();

    if (!problems.isEmpty())
        return Outcome::failure(problems.join(QLatin1Char('\n')));
    return {};
}

Result<QString> copyIntoLibrary(DataLink &link, const QString &source, qint16 kind,
                                qint32 bookCode, qint32 entryCode, bool deleteSource,
                                const QString &extension)
{
    LibraryCopier copier(link);
    Result<QString> path = copier.copy(source, kind, bookCode, entryCode, deleteSource, extension);
    const Outcome done = copier.finish();
    if (path && !done)
        qCWarning(lcLibrary) << done.error();
    return path;
}

} // namespace tovradocs::Internal
