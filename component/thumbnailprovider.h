#pragma once

#include <QHash>
#include <QImage>
#include <QMutex>
#include <QObject>
#include <QSize>
#include <QString>
#include <QThreadPool>

#include <deque>

namespace tovradocs::Internal {

// Makes thumbnails off the UI thread and keeps them in the shared per-user
// thumbnail cache (normal/ for up to 128 pixels, large/ up to 256, x-large/ up
// to 512, xx-large/ up to 1024), so other programs' thumbnails are reused and
// ours are reused by them.
//
// Threads: create, call and destroy on the UI thread; signals arrive there.
// Requests answer at once; the newest request is decoded first, so the slots a
// user scrolled to fill in before the ones scrolled away from.
class ThumbnailProvider : public QObject
{
    Q_OBJECT

public:
    explicit ThumbnailProvider(QObject *parent = nullptr);
    ~ThumbnailProvider() override; // drops pending work and waits for running decodes

    // The instance the controls share; lives until the application object goes.
    static ThumbnailProvider *shared();

    // Root that holds normal/, large/ and fail/. Default: the user's cache
    // ($XDG_CACHE_HOME or ~/.cache) + "/thumbnails". Tests point it elsewhere.
    void setThumbnailBaseDir(const QString &dir);
    QString thumbnailBaseDir() const;

    // Name of our folder under fail/, where unreadable files are remembered.
    void setFailureFolderName(const QString &name);

    void setWorkerCount(int count); // default 2
    int workerCount() const;

    // Asks for a thumbnail that fits in pixels x pixels; answers by
    // thumbnailLoaded or thumbnailFailed, possibly before this returns to the
    // event loop when nothing is left to decode. Repeating a pending request
    // moves it to the front.
    void request(const QString &path, int pixels);
    void cancel(const QString &path);
    void cancelAll();
    int pendingCount() const;

    // A valid cached thumbnail scaled to fit pixels, or a null image; reads
    // one small PNG, never the picture itself.
    QImage cachedThumbnail(const QString &path, int pixels) const;

    // Where the thumbnail of path for this size lives (whether or not it exists);
    // empty for sizes above the largest cache folder.
    QString thumbnailFileName(const QString &path, int pixels) const;
    QString failureFileName(const QString &path) const;

    // Blocks until every request so far was answered or msecs ran out; for
    // benchmarks and shutdown, not for windows.
    bool waitForIdle(int msecs = -1);

    static QString defaultThumbnailBaseDir();

Q_SIGNALS:
    void thumbnailLoaded(const QString &path, const QImage &thumbnail);
    void thumbnailFailed(const QString &path, const QString &message);
    // Sent just before the answer to a request that decoded the picture: the
    // size it came out of its decoder at (before orientation), which shows
    // whether the reader scaled while decoding.
    void pictureDecoded(const QString &path, int pixels, const QSize &decodedSize);

private:
    struct Job
    {
        QString path;
        int pixels = 0;
    };

    void startWorkers();
    void workLoop();
    void deliver(const Job &job, quint64 generation, const QImage &image, const QString &error,
                 QSize decoded);

    mutable QMutex m_mutex;
    std::deque<Job> m_pending; // front runs next
    QHash<QString, quint64> m_inFlight; // key -> generation it was started in
    QHash<QString, int> m_asked; // UI thread: the last size each file was asked for
    quint64 m_generation = 0;
    int m_running = 0;
    QString m_baseDir;
    QString m_failureFolder;
    QThreadPool m_pool;
};

} // namespace tovradocs::Internal
