#include "component/thumbnailprovider.h"

#include "component/adjustmentstore.h"
#include "component/fileprobe.h"
#include "component/shownpicture.h"
#include "component/hostlink.h"
#include "component/imageloader.h"
#include "component/pdfpage.h"
#include "component/thumbnaildecoder.h"
#include "media/videoframe.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QMimeDatabase>
#include <QMutexLocker>
#include <QPointer>
#include <QTemporaryFile>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tovradocs::Internal {

namespace ThumbCache {

constexpr auto UriKey = "Thumb::URI";
constexpr auto MTimeKey = "Thumb::MTime";
constexpr auto ErrorKey = "X-TovraDocs::Error";

// The cache edge a request of this size reads and writes; 0 when too large to cache.
int cacheEdge(int pixels)
{
    for (int edge : {128, 256, 512, 1024}) {
        if (pixels <= edge)
            return edge;
    }
    return 0;
}

QString cacheFolder(int edge)
{
    switch (edge) {
    case 128: return QStringLiteral("normal");
    case 256: return QStringLiteral("large");
    case 512: return QStringLiteral("x-large");
    case 1024: return QStringLiteral("xx-large");
    default: return {};
    }
}

struct Source
{
    QString absolutePath;
    QString hash; // md5 of the file URI, the cache file's stem
    QByteArray uri;
    QString mtime;
    qint64 size = 0;
    bool exists = false;
};

Source describe(const QString &path)
{
    Source s;
    const QFileInfo info(path);
    s.absolutePath = info.absoluteFilePath();
    s.uri = QUrl::fromLocalFile(s.absolutePath).toEncoded();
    s.hash = QString::fromLatin1(
        QCryptographicHash::hash(s.uri, QCryptographicHash::Md5).toHex());
    s.exists = info.isFile();
    if (s.exists) {
        s.mtime = QString::number(info.lastModified().toSecsSinceEpoch());
        s.size = info.size();
    }
    return s;
}

// A stored PNG is ours to use only while it names this file at this mtime.
// QImageReader splits text keys at ':', so the "Thumb::" keys are read from the
// decoded image; cache files are small.
bool describesSource(const QImage &stored, const Source &src)
{
    return !stored.isNull() && stored.text(QLatin1String(UriKey)).toUtf8() == src.uri
        && stored.text(QLatin1String(MTimeKey)) == src.mtime;
}

QImage fitInto(const QImage &image, int pixels)
{
    if (image.width() <= pixels && image.height() <= pixels)
        return image;
    QImage fitted = image.scaled(fitSize(image.size(), pixels), Qt::IgnoreAspectRatio,
                                 Qt::SmoothTransformation);
    if (image.format() == QImage::Format_Grayscale8 && fitted.format() != image.format())
        fitted = fitted.convertToFormat(QImage::Format_Grayscale8);
    return fitted;
}

QImage readCached(const QString &fileName, const Source &src)
{
    if (!src.exists || !QFileInfo::exists(fileName))
        return {};
    const QImage stored(fileName, "png");
    return describesSource(stored, src) ? stored : QImage();
}

bool makePrivateDir(const QString &path)
{
    QDir dir(path);
    if (dir.exists())
        return true;
    if (!makePrivateDir(QFileInfo(dir.absolutePath()).absolutePath()))
        return false;
    // The cache can reveal what a user looked at: owner only.
    return QDir().mkdir(dir.absolutePath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)
        || dir.exists();
}

// Readers of the cache must never see half a PNG, so write beside it and rename.
bool writeAtomically(const QImage &image, const QString &fileName, QString *error)
{
    const QFileInfo target(fileName);
    if (!makePrivateDir(target.absolutePath())) {
        *error = QStringLiteral("Cannot create the folder %1").arg(target.absolutePath());
        return false;
    }
    QTemporaryFile temp(target.absolutePath() + QLatin1Char('/') + target.completeBaseName()
                        + QStringLiteral(".XXXXXX.tmp"));
    if (!temp.open()) { // QTemporaryFile creates with mode 0600
        *error = temp.errorString();
        return false;
    }
    QImageWriter writer(&temp, "png");
    writer.setQuality(80); // zlib level 1: a fraction of the default's time, files barely larger
    if (!writer.write(image) || !temp.flush()) {
        *error = writer.errorString();
        return false;
    }
    if (std::rename(QFile::encodeName(temp.fileName()).constData(),
                    QFile::encodeName(fileName).constData())
        != 0) {
        *error = QStringLiteral("Cannot rename %1").arg(temp.fileName());
        return false;
    }
    temp.setAutoRemove(false);
    return true;
}

struct Decoded
{
    QImage image;
    QSize original;
    QSize decoded;
    QString error;
    bool transient = false; // ran out of time: not remembered as a broken file
};

// How far into a clip its thumbnail is taken: past a fade-in or a black
// leader, still near the start.
constexpr double kVideoFraction = 0.1;
constexpr int kVideoTimeoutMs = 5000;
constexpr int kPdfTimeoutMs = 2000;

// The decoded picture, upright, fitted into edge; grey stays one byte a pixel.
QImage finish(QImage image, QSize upright, int edge)
{
    // Grey pictures are reduced by whole blocks first, at one byte a pixel:
    // the smooth scaler would widen the whole picture to 32 bits.
    if (image.format() == QImage::Format_Grayscale16 || image.format() == QImage::Format_Grayscale8) {
        const QSize fit = fitSize(image.size(), edge);
        if (image.width() > edge || image.height() > edge)
            image = greyBoxReduced(image, std::min(image.width() / fit.width(),
                                                   image.height() / fit.height()));
    }
    if (image.format() == QImage::Format_Grayscale16 || image.format() == QImage::Format_Mono
        || image.format() == QImage::Format_MonoLSB || image.format() == QImage::Format_Alpha8)
        image = image.convertToFormat(QImage::Format_Grayscale8);
    const bool grey = image.format() == QImage::Format_Grayscale8
        || (image.format() == QImage::Format_Indexed8 && image.allGray());
    if (grey)
        image = image.convertToFormat(QImage::Format_Grayscale8);
    else if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
        image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32
                                                              : QImage::Format_RGB32);
    if (upright.width() > edge || upright.height() > edge) {
        const QSize fit = fitSize(upright, edge);
        if (fit != image.size())
            image = image.scaled(fit, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    if (grey && image.format() != QImage::Format_Grayscale8)
        image = image.convertToFormat(QImage::Format_Grayscale8); // the scaler works in 32 bits
    return image;
}

Decoded videoFrame(const QString &path, int edge)
{
    Decoded d;
    QElapsedTimer clock;
    clock.start();
    // The key frame at or before the tenth: one picture decoded, however long
    // the clip's key-frame interval (phones: a second; cameras: every frame).
    const VideoFrame frame = grabVideoKeyFrame(path, kVideoFraction, QSize(edge, edge), kVideoTimeoutMs);
    if (!frame.ok()) {
        d.error = frame.error;
        d.transient = clock.elapsed() >= kVideoTimeoutMs;
        return d;
    }
    d.original = frame.videoSize;
    d.decoded = frame.image.size();
    d.image = finish(frame.image, frame.image.size(), edge);
    return d;
}

Decoded pdfPage(const QString &path, int edge)
{
    Decoded d;
    QElapsedTimer clock;
    clock.start();
    const Result<QImage> page = renderFirstPdfPage(path, edge, kPdfTimeoutMs);
    if (!page) {
        d.error = QStringLiteral("The document \"%1\" cannot be shown: %2.")
                      .arg(QFileInfo(path).fileName(), page.error());
        d.transient = clock.elapsed() >= kPdfTimeoutMs;
        return d;
    }
    d.original = d.decoded = page->size();
    d.image = finish(*page, page->size(), edge);
    return d;
}

Decoded decodePicture(const QString &path, int edge);

// A picture, a video's frame a tenth of the way in, or a PDF's first page.
// A file whose structure is broken is refused before any decoder (or
// GStreamer) sees it, with the reason.
Decoded decodeFitting(const QString &path, int edge)
{
    const FileProbe probe = inspectFile(path);
    if (!probe.ok()) {
        Decoded d;
        d.error = probe.reason;
        return d;
    }
    if (probe.kind == 2)
        return videoFrame(path, edge);
    if (probe.kind == 5)
        return pdfPage(path, edge);
    return decodePicture(path, edge);
}

// Decodes no more of the picture than the thumbnail needs: JPEG, WebP and
// TIFF through their own reduced decoding, HEIC and DICOM averaged down in
// their decoders, vector formats at the target size, others at full size.
Decoded decodePicture(const QString &path, int edge)
{
    Decoded d;
    std::optional<ReducedPicture> reduced = decodeReduced(path, edge);
    if (reduced && reduced->tooLarge) {
        d.error = reduced->error; // the general readers would decode what was claimed
        return d;
    }
    // What our decoders refuse as damaged, the general readers still try.
    if (reduced && !reduced->image.isNull()) {
        d.original = reduced->original;
        d.decoded = reduced->decoded;
        // Scaled as stored, then turned: turning the thumbnail costs a
        // fraction of turning the reduced picture.
        d.image = oriented(finish(std::move(reduced->image), d.original, edge), reduced->orientation);
        return d;
    }
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true); // suffixes lie (.dib with a file header)
    reader.setAutoTransform(true);
    d.original = reader.size();
    // Other readers that accept a scaled size (PNG) decode the whole picture
    // into 32 bits and scale afterwards: more memory than decoding it as it
    // is, and it would hide the full-size decode from lastDecodedSize().
    const QByteArray format = reader.format();
    const bool scalesWhileDecoding = format == "jpeg" || format == "svg" || format == "svgz";
    if (d.original.isValid() && (d.original.width() > edge || d.original.height() > edge)
        && scalesWhileDecoding && reader.supportsOption(QImageIOHandler::ScaledSize)) {
        const QSize fit = d.original.scaled(edge, edge, Qt::KeepAspectRatio);
        if (format == "jpeg") {
            // Ask for exactly what libjpeg produces at the largest useful reduction,
            // so the handler does not resample; we resample once, smoothly.
            const double factor = std::min(double(d.original.width()) / fit.width(),
                                           double(d.original.height()) / fit.height());
            const int num = std::clamp(int(std::ceil(8.0 / factor)), 1, 8);
            reader.setScaledSize(QSize(std::max(1, d.original.width() * num / 8),
                                       std::max(1, d.original.height() * num / 8)));
            // Below 50 the handler uses the fast integer DCT and plain chroma
            // upsampling; the difference does not survive the reduction.
            reader.setQuality(49);
        } else {
            reader.setScaledSize(fit);
        }
    }
    QImage image = reader.read();
    if (image.isNull() && reader.error() == QImageReader::UnsupportedFormatError) {
        // HEIC, DICOM, PCX and the other formats Qt has no reader for; grey
        // radiographs stay one byte a pixel.
        ImageLoadOptions options;
        options.scaledTo = QSize(edge, edge);
        options.keepAspect = true;
        const Result<QImage> loaded = loadImageAsDecoded(path, options);
        if (!loaded) {
            d.error = loaded.error();
            return d;
        }
        image = *loaded;
        if (!d.original.isValid()) {
            if (const Result<QSize> size = imageSize(path))
                d.original = *size;
        }
    } else if (image.isNull()) {
        d.error = QStringLiteral("The picture \"%1\" could not be read: %2")
                      .arg(QFileInfo(path).fileName(), reader.errorString());
        return d;
    }
    d.decoded = image.size();
    if (!d.original.isValid())
        d.original = image.size();
    // Fit from the original's size, not the decoded one: reduced sizes are
    // rounded, and a thumbnail must keep the picture's proportions exactly.
    QSize upright = d.original;
    if ((upright.width() > upright.height()) != (image.width() > image.height()))
        upright.transpose(); // EXIF rotation
    d.image = finish(std::move(image), upright, edge);
    return d;
}

} // namespace ThumbCache

ThumbnailProvider::ThumbnailProvider(QObject *parent)
    : QObject(parent)
    , m_baseDir(defaultThumbnailBaseDir())
    , m_failureFolder(QStringLiteral("tovradocs"))
{
    m_pool.setMaxThreadCount(2);
    // A picture adjusted in a viewer gets its new thumbnail at once.
    connect(AdjustmentStore::instance(), &AdjustmentStore::changed, this, [this](qint32, const QString &path) {
        const auto it = m_asked.constFind(adjustmentPathKey(path));
        if (it != m_asked.cend())
            request(path, *it);
    });
}

ThumbnailProvider::~ThumbnailProvider()
{
    cancelAll();
    m_pool.waitForDone();
}

ThumbnailProvider *ThumbnailProvider::shared()
{
    static QPointer<ThumbnailProvider> instance;
    if (!instance)
        instance = new ThumbnailProvider(QCoreApplication::instance());
    return instance;
}

QString ThumbnailProvider::defaultThumbnailBaseDir()
{
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.isEmpty())
        cache = QDir::homePath() + QStringLiteral("/.cache");
    return cache + QStringLiteral("/thumbnails");
}

void ThumbnailProvider::setThumbnailBaseDir(const QString &dir)
{
    QMutexLocker lock(&m_mutex);
    m_baseDir = QDir::cleanPath(dir);
}

QString ThumbnailProvider::thumbnailBaseDir() const
{
    QMutexLocker lock(&m_mutex);
    return m_baseDir;
}

void ThumbnailProvider::setFailureFolderName(const QString &name)
{
    QMutexLocker lock(&m_mutex);
    m_failureFolder = name;
}

void ThumbnailProvider::setWorkerCount(int count)
{
    m_pool.setMaxThreadCount(std::max(1, count));
    startWorkers();
}

int ThumbnailProvider::workerCount() const
{
    return m_pool.maxThreadCount();
}

QString ThumbnailProvider::thumbnailFileName(const QString &path, int pixels) const
{
    const int edge = ThumbCache::cacheEdge(pixels);
    if (edge == 0)
        return {};
    return thumbnailBaseDir() + QLatin1Char('/') + ThumbCache::cacheFolder(edge) + QLatin1Char('/')
        + ThumbCache::describe(path).hash + QStringLiteral(".png");
}

QString ThumbnailProvider::failureFileName(const QString &path) const
{
    QMutexLocker lock(&m_mutex);
    return m_baseDir + QStringLiteral("/fail/") + m_failureFolder + QLatin1Char('/')
        + ThumbCache::describe(path).hash + QStringLiteral(".png");
}

QImage ThumbnailProvider::cachedThumbnail(const QString &path, int pixels) const
{
    if (hasShownChanges(0, path))
        return {};
    const QString fileName = thumbnailFileName(path, pixels);
    if (fileName.isEmpty())
        return {};
    const QImage image = ThumbCache::readCached(fileName, ThumbCache::describe(path));
    return image.isNull() ? image : ThumbCache::fitInto(image, pixels);
}

void ThumbnailProvider::request(const QString &path, int pixels)
{
    if (pixels <= 0)
        pixels = 128;
    // Worker threads see adjustments only as the UI thread has read them.
    AdjustmentStore::instance()->preload();
    m_asked.insert(adjustmentPathKey(path), pixels);
    {
        QMutexLocker lock(&m_mutex);
        const auto same = [&](const Job &j) { return j.pixels == pixels && j.path == path; };
        const auto it = std::find_if(m_pending.begin(), m_pending.end(), same);
        if (it != m_pending.end())
            m_pending.erase(it);
        else if (m_inFlight.contains(QString::number(pixels) + QLatin1Char(':') + path)
                 && m_inFlight.value(QString::number(pixels) + QLatin1Char(':') + path)
                     == m_generation)
            return; // its answer is on the way
        m_pending.push_front(Job{path, pixels});
    }
    startWorkers();
}

void ThumbnailProvider::cancel(const QString &path)
{
    QMutexLocker lock(&m_mutex);
    std::erase_if(m_pending, [&](const Job &j) { return j.path == path; });
}

void ThumbnailProvider::cancelAll()
{
    QMutexLocker lock(&m_mutex);
    m_pending.clear();
    ++m_generation; // answers of decodes already running are dropped
}

int ThumbnailProvider::pendingCount() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_pending.size()) + int(m_inFlight.size());
}

bool ThumbnailProvider::waitForIdle(int msecs)
{
    const bool done = m_pool.waitForDone(msecs);
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    return done;
}

void ThumbnailProvider::startWorkers()
{
    QMutexLocker lock(&m_mutex);
    while (m_running < m_pool.maxThreadCount() && m_running < int(m_pending.size())) {
        ++m_running;
        m_pool.start([this] { workLoop(); });
    }
}

void ThumbnailProvider::workLoop()
{
    for (;;) {
        Job job;
        quint64 generation = 0;
        QString baseDir;
        QString failureFolder;
        {
            QMutexLocker lock(&m_mutex);
            if (m_pending.empty() || m_running > m_pool.maxThreadCount()) {
                --m_running;
                return;
            }
            job = m_pending.front();
            m_pending.pop_front();
            generation = m_generation;
            m_inFlight.insert(QString::number(job.pixels) + QLatin1Char(':') + job.path, generation);
            baseDir = m_baseDir;
            failureFolder = m_failureFolder;
        }

        const ThumbCache::Source src = ThumbCache::describe(job.path);
        QImage thumbnail;
        QString error;
        QSize decoded;
        const int edge = ThumbCache::cacheEdge(job.pixels);
        const QString cacheFile = edge ? baseDir + QLatin1Char('/') + ThumbCache::cacheFolder(edge)
                + QLatin1Char('/') + src.hash + QStringLiteral(".png")
                                       : QString();
        const QString failFile = baseDir + QStringLiteral("/fail/") + failureFolder
            + QLatin1Char('/') + src.hash + QStringLiteral(".png");

        if (src.exists && hasShownChanges(0, job.path)) {
            // An adjusted picture is drawn as the viewers show it and kept
            // out of the shared cache, which holds other programs' view of
            // the file.
            const Result<QImage> shown = pictureAsShown(0, job.path, QSize(job.pixels, job.pixels));
            if (shown)
                thumbnail = *shown;
            else
                error = shown.error();
        } else if (!src.exists) {
            error = QStringLiteral("The file \"%1\" does not exist.").arg(job.path);
        } else if (!cacheFile.isEmpty()
                   && !(thumbnail = ThumbCache::readCached(cacheFile, src)).isNull()) {
            // warm cache
        } else if (QFileInfo::exists(failFile)) {
            const QImage failed(failFile, "png");
            if (ThumbCache::describesSource(failed, src)) {
                error = failed.text(QLatin1String(ThumbCache::ErrorKey));
                if (error.isEmpty())
                    error = QStringLiteral("The picture \"%1\" could not be read.")
                                .arg(QFileInfo(job.path).fileName());
            }
        }

        if (thumbnail.isNull() && error.isEmpty()) {
            const ThumbCache::Decoded d =
                ThumbCache::decodeFitting(src.absolutePath, edge ? edge : job.pixels);
            decoded = d.decoded;
            // Our own cache files are never thumbnailed into the cache.
            const bool cacheable = !src.absolutePath.startsWith(baseDir + QLatin1Char('/'));
            QString writeError;
            if (d.image.isNull()) {
                error = d.error;
                if (cacheable && !d.transient) {
                    QImage marker(1, 1, QImage::Format_ARGB32);
                    marker.fill(Qt::transparent);
                    marker.setText(QLatin1String(ThumbCache::UriKey), QString::fromUtf8(src.uri));
                    marker.setText(QLatin1String(ThumbCache::MTimeKey), src.mtime);
                    marker.setText(QLatin1String(ThumbCache::ErrorKey), error);
                    if (!ThumbCache::writeAtomically(marker, failFile, &writeError))
                        qCWarning(lcComponent) << "thumbnail failure record:" << writeError;
                }
            } else {
                thumbnail = d.image;
                if (cacheable && !cacheFile.isEmpty()) {
                    QImage stored = thumbnail;
                    stored.setText(QLatin1String(ThumbCache::UriKey), QString::fromUtf8(src.uri));
                    stored.setText(QLatin1String(ThumbCache::MTimeKey), src.mtime);
                    stored.setText(QStringLiteral("Thumb::Size"), QString::number(src.size));
                    stored.setText(QStringLiteral("Thumb::Image::Width"),
                                   QString::number(d.original.width()));
                    stored.setText(QStringLiteral("Thumb::Image::Height"),
                                   QString::number(d.original.height()));
                    stored.setText(QStringLiteral("Thumb::Mimetype"),
                                   QMimeDatabase()
                                       .mimeTypeForFile(src.absolutePath,
                                                        QMimeDatabase::MatchExtension)
                                       .name());
                    stored.setText(QStringLiteral("Software"), QStringLiteral("TovraDocs"));
                    if (!ThumbCache::writeAtomically(stored, cacheFile, &writeError))
                        qCWarning(lcComponent) << "thumbnail cache:" << writeError;
                }
            }
        }

        if (!thumbnail.isNull())
            thumbnail = ThumbCache::fitInto(thumbnail, job.pixels);
        QMetaObject::invokeMethod(
            this,
            [this, job, generation, thumbnail, error, decoded] {
                deliver(job, generation, thumbnail, error, decoded);
            },
            Qt::QueuedConnection);
    }
}

void ThumbnailProvider::deliver(const Job &job, quint64 generation, const QImage &image,
                                const QString &error, QSize decoded)
{
    {
        QMutexLocker lock(&m_mutex);
        const QString key = QString::number(job.pixels) + QLatin1Char(':') + job.path;
        if (m_inFlight.value(key) == generation)
            m_inFlight.remove(key);
        if (generation != m_generation)
            return;
    }
    if (decoded.isValid())
        Q_EMIT pictureDecoded(job.path, job.pixels, decoded);
    if (image.isNull())
        Q_EMIT thumbnailFailed(job.path, error);
    else
        Q_EMIT thumbnailLoaded(job.path, image);
}

} // namespace tovradocs::Internal
