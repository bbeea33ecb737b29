// Window and level while the right button drags over a 16-bit radiograph of
// 3000 x 2400 shown at 1600 x 1000: each update maps the values already
// reduced to the shown size through a new table. Peer in the same run: one
// QImage::scaled of the 8-bit picture to the shown size, which is what
// showing any picture at that size costs.
//
//   bench_windowlevel [--updates 120]

#include "benchstats.h"
#include "component/pictureadjust.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>

#include <cmath>
#include <cstdio>

using namespace tovradocs::Internal;

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption updatesOption(QStringLiteral("updates"), QStringLiteral("Drag updates."),
                                           QStringLiteral("n"), QStringLiteral("120"));
    parser.addOption(updatesOption);
    parser.process(app);
    const int updates = std::max(10, parser.value(updatesOption).toInt());

    // A 14-bit sensor picture: smooth anatomy plus noise.
    Dicom::GreyPixels grey;
    grey.size = QSize(3000, 2400);
    grey.values.resize(size_t(3000) * 2400);
    for (int y = 0; y < 2400; ++y)
        for (int x = 0; x < 3000; ++x)
            grey.values[size_t(y) * 3000 + x] =
                quint16(8000 + 6000 * std::sin(x / 300.0) * std::cos(y / 240.0) + (x * 31 + y * 17) % 500);
    grey.windowCenter = 8000;
    grey.windowWidth = 12000;
    grey.minimum = 2000;
    grey.maximum = 14500;
    QImage eightBit(grey.size, QImage::Format_Grayscale8);
    for (int y = 0; y < 2400; ++y)
        for (int x = 0; x < 3000; ++x)
            eightBit.scanLine(y)[x] = uchar(grey.values[size_t(y) * 3000 + x] >> 6);

    const QSize view(1600, 1000);
    const QSize shown = grey.size.scaled(view, Qt::KeepAspectRatio);
    QElapsedTimer t;
    t.start();
    const ReducedGrey reduced = reduceGrey(grey, QRect(QPoint(), grey.size), shown);
    const double reduceMs = t.nsecsElapsed() / 1e6;

    std::vector<qint64> ours, peer;
    qint64 checksum = 0;
    for (int i = 0; i < updates; ++i) {
        // The drag moves the level and widens the window a little each step.
        const double center = 5000 + 50.0 * i;
        const double width = 3000 + 40.0 * i;
        t.restart();
        const QImage frame = applyWindow(reduced, center, width, false, 1.0);
        ours.push_back(t.nsecsElapsed());
        checksum += frame.constScanLine(frame.height() / 2)[frame.width() / 2];
        t.restart();
        const QImage scaled = eightBit.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        peer.push_back(t.nsecsElapsed());
        checksum += scaled.constScanLine(0)[0];
    }
    const double mine = median(ours) / 1e6;
    const double theirs = median(peer) / 1e6;
    std::printf("shown %dx%d of %dx%d, %d updates (checksum %lld)\n", shown.width(), shown.height(),
                grey.size.width(), grey.size.height(), updates, static_cast<long long>(checksum));
    std::printf("reduce once per zoom: %.1f ms\n", reduceMs);
    std::printf("window/level update median %.2f ms (worst %.2f ms); QImage::scaled median %.2f ms; ratio %.3f\n",
                mine, *std::max_element(ours.begin(), ours.end()) / 1e6, theirs, mine / theirs);
    return 0;
}
