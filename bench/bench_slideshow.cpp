// Slide show at full HD from two 24-megapixel JPEG slides: what a slide change
// costs the UI thread when the next slide was decoded ahead, the time to the
// first transition frame, and transition frames per second, against a
// full-size QImageReader decode of the same picture in the same run.
//
//   bench_slideshow [--dir /tmp/tovra-bench-slides] [--runs 5]

#include "benchhost.h"
#include "controls/slidefx.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QImageReader>
#include <QPainter>

#include <algorithm>
#include <cstdio>

using tovradocs::Internal::SlideFX;

namespace {

QImage photo(int seed)
{
    QImage image(6000, 4000, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient sky(0, 0, 0, image.height());
    sky.setColorAt(0, QColor::fromHsv(40 * seed % 360, 90, 230));
    sky.setColorAt(1, QColor::fromHsv((40 * seed + 180) % 360, 160, 70));
    p.fillRect(image.rect(), sky);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 30; ++i) {
        QRadialGradient blob(QPointF((i * 977 + seed * 131) % 6000, (i * 613 + seed * 71) % 4000), 300 + i * 40);
        const QColor c = QColor::fromHsv((i * 37 + seed * 11) % 360, 120, 80 + i * 5);
        blob.setColorAt(0, c);
        blob.setColorAt(1, QColor(c.red(), c.green(), c.blue(), 0));
        p.setBrush(blob);
        p.drawRect(image.rect());
    }
    return image;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Runs events until the control reports the file shown.
bool waitShown(SlideFX &fx, const QString &file)
{
    QElapsedTimer t;
    t.start();
    while (fx.currentFile() != file && t.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return fx.currentFile() == file;
}

double msSince(const QElapsedTimer &t)
{
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    offscreenWithoutDisplay();
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption dirOption(QStringLiteral("dir"), QStringLiteral("Folder for the slides."),
                                       QStringLiteral("folder"), QDir::tempPath() + QStringLiteral("/tovra-bench-slides"));
    const QCommandLineOption runsOption(QStringLiteral("runs"), QStringLiteral("Repetitions."),
                                        QStringLiteral("n"), QStringLiteral("5"));
    parser.addOptions({dirOption, runsOption});
    parser.process(app);
    const int runs = std::max(1, parser.value(runsOption).toInt());
    QDir dir(parser.value(dirOption));
    dir.mkpath(QStringLiteral("."));
    const QString slides[2] = {dir.filePath(QStringLiteral("slide1.jpg")), dir.filePath(QStringLiteral("slide2.jpg"))};
    for (int i = 0; i < 2; ++i)
        if (!QFileInfo::exists(slides[i]))
            photo(i + 1).save(slides[i], "JPEG", 90);

    // Peer: the whole picture decoded at full size.
    std::vector<double> decodes;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer t;
        t.start();
        QImageReader reader(slides[1]);
        const QImage image = reader.read();
        decodes.push_back(msSince(t));
        if (image.size() != QSize(6000, 4000)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(slides[1]));
            return 1;
        }
    }
    const double decode = median(decodes);

    SlideFX fx;
    fx.resize(1920, 1080);
    fx.show();
    std::vector<double> changes, firstFrames, cold;
    for (int r = 0; r < runs; ++r) {
        const QString &from = slides[r % 2];
        const QString &to = slides[(r + 1) % 2];
        fx.ShowSlide(from, 1);
        if (!waitShown(fx, from))
            return 1;
        fx.preload(to);
        QElapsedTimer wait;
        wait.start();
        while (!fx.isPreloaded(to) && wait.elapsed() < 30000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);

        // The tick: the slide change on the UI thread, then the first frame painted.
        QElapsedTimer t;
        t.start();
        fx.ShowSlide(to, 2);
        changes.push_back(msSince(t));
        fx.repaint();
        firstFrames.push_back(msSince(t));

        // Not preloaded: the UI thread still only starts the decode.
        QElapsedTimer c;
        c.start();
        fx.ShowSlide(from, 3);
        cold.push_back(msSince(c));
        waitShown(fx, from);
    }

    const QImage a = SlideFX::composeSlide(slides[0], {1920, 1080}, Qt::black);
    const QImage b = SlideFX::composeSlide(slides[1], {1920, 1080}, Qt::black);
    static const char *const names[] = {"Cut", "Fade", "Dissolve", "Wipe Left", "Wipe Right", "Wipe Up",
                                        "Wipe Down", "Slide Left", "Slide Right", "Zoom In", "Box Out", "Blinds"};
    std::printf("full-size QImageReader decode (peer): %.1f ms\n", decode);
    std::printf("slide change on the UI thread, preloaded: %.2f ms (%.3f x decode)\n", median(changes),
                median(changes) / decode);
    std::printf("tick to first transition frame painted: %.2f ms (%.3f x decode)\n", median(firstFrames),
                median(firstFrames) / decode);
    std::printf("slide change on the UI thread, not preloaded: %.2f ms (%.3f x decode)\n", median(cold),
                median(cold) / decode);
    std::printf("transition frames per second at 1920 x 1080:\n");
    double slowest = 1e9;
    for (int e = SlideFX::Fade; e < SlideFX::EffectCount; ++e) {
        constexpr int frames = 60;
        QElapsedTimer t;
        t.start();
        for (int f = 1; f <= frames; ++f) {
            const QImage frame = SlideFX::transitionFrame(a, b, SlideFX::Effect(e), double(f) / (frames + 1));
            Q_UNUSED(frame)
        }
        const double fps = frames / (t.nsecsElapsed() / 1e9);
        slowest = std::min(slowest, fps);
        std::printf("  %-12s %6.1f fps\n", names[e], fps);
    }
    std::printf("slowest transition: %.1f fps\n", slowest);
    return 0;
}
