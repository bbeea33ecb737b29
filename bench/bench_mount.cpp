// Opening a full-mouth series of 18 radiographs of 1.5 megapixels in the
// mount window: from the call until every slot is drawn, with a thumbnail
// cache that has never seen the pictures. Peer in the same run: decoding
// the same 18 files with QImageReader at slot size, one after the other.
//
// bench_mount [--rounds 7]

#include "benchhost.h"
#include "benchpictures.h"
#include "benchstats.h"

#include "component/entrypicture.h"
#include "component/hostlink.h"
#include "component/mount.h"
#include "component/thumbnailprovider.h"
#include "library/mountwindow.h"
#include "support/dicomfixtures.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImageReader>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>

#include <cstdio>

using namespace tovradocs;
using namespace tovradocs::Internal;

namespace {

constexpr QSize kRadiograph(1500, 1000);
constexpr qint32 kBook = 1;

struct Set
{
    const char *name;
    QStringList files;
};

// Milliseconds from openMount until every slot is drawn.
qint64 openOnce(const QString &mountFile, const QString &thumbnails, QSize *slotBox, qint64 *untilShown)
{
    QDir(thumbnails).removeRecursively();
    ThumbnailProvider::shared()->setThumbnailBaseDir(thumbnails);
    auto *window = new MountWindow;
    window->resize(1440, 900);
    window->show();
    QCoreApplication::processEvents();
    QEventLoop loop;
    QObject::connect(window, &MountWindow::slotsDrawn, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    if (!window->openMount(kBook, 0, mountFile))
        qFatal("the mount did not open");
    *untilShown = clock.elapsed();
    if (window->isLoading())
        loop.exec();
    const qint64 ms = clock.elapsed();
    for (int i = 0; i < window->mount().slots.size(); ++i)
        if (window->slotPicture(i).isNull())
            qFatal("slot %d was not drawn", i + 1);
    if (slotBox)
        *slotBox = window->slotPicture(0).size();
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return ms;
}

qint64 readerPeer(const QStringList &files, QSize box)
{
    QElapsedTimer clock;
    clock.start();
    for (const QString &file : files) {
        QImageReader reader(file);
        reader.setScaledSize(reader.size().scaled(box, Qt::KeepAspectRatio));
        if (reader.read().isNull())
            qFatal("QImageReader cannot read %s", qPrintable(file));
    }
    return clock.elapsed();
}

// The component's own decoding of the same files at slot size, one thread:
// what the window adds beyond it is its own cost.
qint64 loaderAlone(const QStringList &files, QSize box)
{
    QElapsedTimer clock;
    clock.start();
    for (const QString &file : files)
        if (entryPicture(0, file, box).value().isNull())
            qFatal("cannot read %s", qPrintable(file));
    return clock.elapsed();
}

} // namespace

int main(int argc, char **argv)
{
    offscreenWithoutDisplay();
    QApplication app(argc, argv);
    int rounds = 7;
    const QStringList args = app.arguments();
    if (const qsizetype at = args.indexOf(QStringLiteral("--rounds")); at > 0 && at + 1 < args.size())
        rounds = std::max(1, args.at(at + 1).toInt());

    QTemporaryDir folder;
    auto host = openBenchHost(folder.path());
    if (!host)
        return 1;
    setHostLink(host, nullptr);
    registerHostObjects();
    host->ExecuteStmt(false, QStringLiteral("Insert Into Books (Entry_Code, Description, PatientCode) "
                                            "Values (%1, 'Bench', 0)")
                                 .arg(kBook));

    const QString pictures = QDir::temp().filePath(QStringLiteral("tovradocs-bench-mount"));
    Set jpeg{"JPEG, 8-bit grey", benchpictures::ensureSet(pictures, QStringLiteral("ray"), QStringLiteral("jpg"), 18, 18,
                                                          [](int i, const QString &path) {
                                                              return benchpictures::radiograph(i, kRadiograph)
                                                                  .save(path, "JPEG", 90);
                                                          })};
    Set dicom{"DICOM, 12 of 16 bits",
              benchpictures::ensureSet(pictures, QStringLiteral("ray"), QStringLiteral("dcm"), 18, 18,
                                       [](int i, const QString &path) {
                                           const QImage grey = benchpictures::radiograph(i, kRadiograph);
                                           Testing::DicomContent content;
                                           content.size = kRadiograph;
                                           content.bitsStored = 12;
                                           content.value = [&grey](int x, int y) { return grey.pixelColor(x, y).value() * 16; };
                                           // The writer names its file; ensureSet wants it at path.
                                           return !Testing::makeDicomPicture(path, content).isEmpty();
                                       })};

    std::printf("bench_mount: 18-slot full-mouth series, %dx%d radiographs, window 1440x900, "
                "%d rounds, %d decoding threads\n",
                kRadiograph.width(), kRadiograph.height(), rounds, QThreadPool::globalInstance()->maxThreadCount());
    qint32 code = 100;
    for (const Set &set : {jpeg, dicom}) {
        Mount mount = mountTemplates().first();
        for (int i = 0; i < 18; ++i) {
            host->ExecuteStmt(false, QStringLiteral("Insert Into BookContents (Entry_Code, BookCode, FileName, "
                                                    "Description, EntryType) Values (%1, %2, '%3', 'Ray', 1)")
                                         .arg(code)
                                         .arg(kBook)
                                         .arg(set.files.at(i)));
            mount.slots[i].entryCode = code++;
        }
        const QString file = folder.filePath(QString::fromLatin1(set.name).left(5) + QStringLiteral(".mount"));
        writeMount(file, mount);
        QSize box;
        std::vector<qint64> opened, peer, alone, shown;
        for (int r = 0; r < rounds; ++r) {
            qint64 untilShown = 0;
            opened.push_back(openOnce(file, folder.filePath(QStringLiteral("thumbnails")), &box, &untilShown));
            shown.push_back(untilShown);
            alone.push_back(loaderAlone(set.files.mid(0, 18), box));
            if (set.files.first().endsWith(QLatin1String(".jpg")))
                peer.push_back(readerPeer(set.files.mid(0, 18), box));
        }
        std::printf("  %-22s open until all 18 slots drawn: median %lld ms (min %lld, max %lld); slot picture %dx%d\n",
                    set.name, median(opened), *std::min_element(opened.begin(), opened.end()),
                    *std::max_element(opened.begin(), opened.end()), box.width(), box.height());
        std::printf("  %-22s of which reading the book and showing the empty board: median %lld ms\n", "",
                    median(shown));
        std::printf("  %-22s the same decoding without the window, one thread: median %lld ms\n", "",
                    median(alone));
        if (!peer.empty())
            std::printf("  %-22s peer, QImageReader at slot size, one thread: median %lld ms; ratio %.2f\n", "",
                        median(peer), double(median(opened)) / std::max<qint64>(1, median(peer)));
    }
    clearHostLink();
    return 0;
}
