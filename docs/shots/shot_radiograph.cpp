// Saves a picture of the whole screen with the single picture viewer on a
// synthetic 16-bit radiograph: window set by preset, sharpened, a length
// measured with the file's Pixel Spacing, a note, and the loupe:
//   shot_radiograph <out.png> [--hold]
// --hold leaves the window up for a person (or xdotool) to use.
// Not a test; run it under a real or virtual display with a window manager.

#include <tovradocs/mediamanager.h>

#include "component/adjustmentstore.h"
#include "host/referencehost.h"
#include "support/dicomfixtures.h"
#include "support/testhost.h"
#include "viewers/adjustpanel.h"
#include "viewers/singleimageview.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <cmath>
#include <cstdio>

using namespace tovradocs;
using namespace tovradocs::Internal;

namespace {

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Two crowns with roots in bone, an implant, sensor noise: 14-bit values.
int radiograph(int x, int y)
{
    const auto blob = [](double dx, double dy, double rx, double ry) {
        const double d = dx * dx / (rx * rx) + dy * dy / (ry * ry);
        return d < 1 ? std::sqrt(1 - d) : 0.0;
    };
    double v = 2500 + 1800 * (0.5 + 0.5 * std::sin(y / 90.0)) * (y > 420 ? 1 : 0.4);
    for (int tooth = 0; tooth < 2; ++tooth) {
        const double cx = 420 + tooth * 560;
        v += 6500 * blob(x - cx, y - 330, 230, 210); // crown
        v += 2500 * blob(x - cx, y - 330, 120, 110); // enamel cap darker pulp inside
        v -= 1800 * blob(x - cx, y - 420, 45, 140); // pulp
        for (int root : {-80, 80})
            v += 4200 * blob(x - cx - root * (1 + (y - 500) / 900.0), y - 760, 55, 300);
    }
    v += 9000 * (std::abs(x - 1250) < 60 && y > 420 && y < 980 ? 1 : 0); // implant
    v += (x * 7919 + y * 104729) % 300;
    return std::clamp(int(v), 0, 16383);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: shot_radiograph out.png [--hold]\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const bool hold = argc > 2 && QByteArray(argv[2]) == "--hold";
    QTemporaryDir dir;
    const std::shared_ptr<ReferenceHost> host = Testing::openTestHost(dir.path(), true);
    if (!host)
        return 1;
    MediaManager manager;
    manager.SetDataLink(host, nullptr);

    Testing::DicomContent content;
    content.size = {1500, 1200};
    content.bitsStored = 14;
    content.windowCenter = 8000;
    content.windowWidth = 16000;
    content.pixelSpacing = QStringLiteral("0.02\\0.02");
    content.value = radiograph;
    const QString file = Testing::makeDicomPicture(dir.filePath(QStringLiteral("Library/IO-36.dcm")), content);
    std::unique_ptr<Recordset> rs;
    host->FillRecordSet(rs, QStringLiteral("SELECT * FROM BookContents WHERE Entry_Code = 0"));
    rs->addNew();
    rs->setValue(QStringLiteral("Entry_Code"), 9001);
    rs->setValue(QStringLiteral("BookCode"), 1);
    rs->setValue(QStringLiteral("FileName"), file);
    rs->setValue(QStringLiteral("EntryType"), 1);
    rs->update();

    auto *view = new SingleImageView;
    QSignalSpy loaded(view->view()->canvas(), &PictureCanvas::loaded);
    view->ViewSingleImage(file, QStringLiteral("36 periapical, 2026-12-06"));
    if (!loaded.wait(20000))
        return 1;
    PictureCanvas *canvas = view->view()->canvas();
    PictureState state = canvas->state();
    const auto [center, width] = presetWindow(WindowPreset::DentineBone, canvas->source());
    state.adjust.windowCenter = center;
    state.adjust.windowWidth = width;
    state.adjust.sharpen = 1.0;
    state.overlay = {{OverlayItem::Length, {QPointF(1250, 430), QPointF(1250, 975)}, {}},
                     {OverlayItem::Angle, {QPointF(300, 1050), QPointF(420, 560), QPointF(560, 1050)}, {}},
                     {OverlayItem::Arrow, {QPointF(760, 200), QPointF(560, 380)}, QStringLiteral("Distal caries?")}};
    canvas->setState(state);
    view->view()->panel()->refresh();
    view->view()->findChild<QWidget *>(QStringLiteral("chkLoupe"))->metaObject()->invokeMethod(
        view->view()->findChild<QWidget *>(QStringLiteral("chkLoupe")), "click");
    wait(500);
    const QPointF implantTop = canvas->toWidget(QPointF(560, 300));
    QMouseEvent move(QEvent::MouseMove, implantTop, canvas->mapToGlobal(implantTop), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(canvas, &move);
    wait(700);
    const bool saved = QGuiApplication::primaryScreen()->grabWindow(0).save(out);
    if (hold)
        return app.exec();
    return saved ? 0 : 1;
}
