// "Compare" of many large pictures: the image viewer tiles them side by side.
// Measures the time to the first tiles drawn, to all tiles, and the peak
// memory, then the memory left once the viewer is closed.
//
//   bench_compare [--dir /tmp/tovra-bench-compare] [--pictures 220]
//
// The 12-megapixel JPEGs are generated once and kept in --dir.

#include "benchhost.h"
#include "component/pagetable.h"
#include "controls/imgview.h"
#include "viewers/viewimg.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QPointer>
#include <QTimer>

#include <cstdio>

using tovradocs::Internal::ImgView;
using tovradocs::Internal::PageTable;
using tovradocs::Internal::ViewImg;

namespace {

// Kilobytes of a /proc/self/status line ("VmRSS", "VmHWM").
long statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field)) + 1).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

QString makePicture(const QString &dir, int index)
{
    const QString path = QStringLiteral("%1/p%2.jpg").arg(dir).arg(index, 3, 10, QLatin1Char('0'));
    if (QFile::exists(path))
        return path;
    // A few distinct pictures, the rest copies: every file is still decoded on its own.
    const QString original = QStringLiteral("%1/p%2.jpg").arg(dir).arg(index % 4, 3, 10, QLatin1Char('0'));
    if (index >= 4 && QFile::copy(original, path))
        return path;
    QImage image(4000, 3000, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, 4000, 3000);
    g.setColorAt(0, QColor::fromHsv(index * 80 % 360, 120, 220));
    g.setColorAt(1, QColor::fromHsv((index * 80 + 140) % 360, 200, 60));
    p.fillRect(image.rect(), g);
    p.setPen(QPen(Qt::white, 20));
    for (int i = 0; i < 30; ++i)
        p.drawEllipse(QPoint((i * 397) % 4000, (i * 211) % 3000), 150 + i * 9, 120 + i * 7);
    p.end();
    image.save(path, "JPEG", 88);
    return path;
}

} // namespace

int main(int argc, char **argv)
{
    offscreenWithoutDisplay();
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Time and memory of comparing many large pictures."));
    parser.addHelpOption();
    const QCommandLineOption dirOption(QStringLiteral("dir"), QStringLiteral("Folder for the pictures."),
                                       QStringLiteral("folder"), QDir::tempPath() + QStringLiteral("/tovra-bench-compare"));
    const QCommandLineOption countOption(QStringLiteral("pictures"), QStringLiteral("How many pictures."),
                                         QStringLiteral("n"), QStringLiteral("220"));
    parser.addOption(dirOption);
    parser.addOption(countOption);
    parser.process(app);

    const QString dir = parser.value(dirOption);
    const int count = parser.value(countOption).toInt();
    QDir().mkpath(dir);
    PageTable pages;
    for (int i = 0; i < count; ++i) {
        pages.pages.append({QString::number(i + 1), makePicture(dir, i), QStringLiteral("Picture %1").arg(i + 1),
                            QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("0")});
    }
    std::printf("%d pictures of 4000 x 3000 in %s\n", count, qPrintable(dir));
    const long baseKb = statusKb("VmRSS");

    QElapsedTimer clock;
    clock.start();
    QPointer<ViewImg> viewer = new ViewImg;
    viewer->resize(1600, 1000);
    qint64 shownMs = -1;
    qint64 firstMs = -1;
    qint64 allMs = -1;
    int loaded = 0;
    long peakKb = 0;
    // The viewer runs its own modal loop; the watching starts inside it.
    QTimer::singleShot(0, viewer, [&] {
        shownMs = clock.elapsed();
        const QList<ImgView *> panes = viewer->findChildren<ImgView *>();
        for (ImgView *pane : panes) {
            QObject::connect(pane, &ImgView::loaded, viewer, [&] {
                if (firstMs < 0)
                    firstMs = clock.elapsed();
                if (++loaded == count) {
                    allMs = clock.elapsed();
                    peakKb = statusKb("VmHWM");
                    viewer->close();
                }
            });
        }
    });
    QTimer::singleShot(120'000, viewer, [&] { viewer->close(); });
    viewer->ViewSelectedImages(pages, false, qint16(std::min(count, 32767)));
    if (peakKb == 0)
        peakKb = statusKb("VmHWM");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    const long afterKb = statusKb("VmRSS");

    std::printf("window shown:            %6lld ms (the UI thread's share)\n", shownMs);
    std::printf("first tile drawn:        %6lld ms   (target < 1000)\n", firstMs);
    std::printf("all %3d tiles drawn:     %6lld ms\n", loaded, allMs);
    std::printf("memory before viewer:    %6ld MB\n", baseKb / 1024);
    std::printf("peak memory:             %6ld MB   (target < 400)\n", peakKb / 1024);
    std::printf("after closing:           %6ld MB\n", afterKb / 1024);
    return loaded == count ? 0 : 1;
}
