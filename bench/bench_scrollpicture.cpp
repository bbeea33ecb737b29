// Zoom steps of the zoomable picture on a 24-megapixel picture against
// QImage::scaled of the same picture to the same size, in the same run.
//
//   bench_scrollpicture [--runs 3]

#include "benchhost.h"
#include "viewers/scrollpicture.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdio>

using tovradocs::Internal::ScrollPicture;

int main(int argc, char **argv)
{
    offscreenWithoutDisplay();
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption runsOption(QStringLiteral("runs"), QStringLiteral("Repetitions."),
                                        QStringLiteral("n"), QStringLiteral("3"));
    parser.addOption(runsOption);
    parser.process(app);
    const int runs = std::max(1, parser.value(runsOption).toInt());

    QImage picture(6000, 4000, QImage::Format_RGB32);
    {
        QPainter p(&picture);
        QLinearGradient g(0, 0, 6000, 4000);
        g.setColorAt(0, Qt::darkBlue);
        g.setColorAt(1, Qt::yellow);
        p.fillRect(picture.rect(), g);
    }
    ScrollPicture control;
    control.resize(1600, 1000);
    control.show();
    control.setPicture(picture);

    double ours = 0;
    double peer = 0;
    double worst = 0;
    std::printf("%8s %12s %12s %7s\n", "zoom", "ours ms", "scaled ms", "ratio");
    // From 100 % down to 5 %, then up to 200 %: 24 steps.
    for (int run = 0; run < runs; ++run) {
        for (int step = 0; step < 24; ++step) {
            QElapsedTimer t;
            t.start();
            if (step < 10)
                control.z_ZoomOut();
            else
                control.z_ZoomIn();
            const double mine = t.nsecsElapsed() / 1e6;
            const QSize size = control.shownPicture().size();
            t.restart();
            const QImage scaled = picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            const double theirs = t.nsecsElapsed() / 1e6;
            if (size == picture.size())
                continue; // 100 %: both show the picture itself
            ours += mine;
            peer += theirs;
            worst = std::max(worst, mine / theirs);
            if (run == runs - 1)
                std::printf("%7d%% %12.1f %12.1f %7.2f\n", control.ZoomPercent(), mine, theirs, mine / theirs);
        }
        control.z_ZoomActualPixels();
    }
    std::printf("all steps: ours %.0f ms, QImage::scaled %.0f ms, ratio %.3f; worst step %.2f\n", ours, peer,
                ours / peer, worst);
    return 0;
}
