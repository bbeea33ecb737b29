// Pictures of the capture windows for the documentation; run under a real X
// server: shot_capture <output folder>. Not run by ctest.

#include "library/libraryfixture.h"

#include "capture/cameradevice.h"
#include "capture/camerapictures.h"
#include "capture/captureenvironment.h"
#include "capture/capturebkgnd.h"
#include "capture/capturesettings.h"
#include "capture/scandialog.h"
#include "capture/testjoystick.h"

#include <tovradocs/capturer.h>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTimer>

using namespace tovradocs;
using namespace tovradocs::Internal;

namespace {

void settle(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

void shoot(QWidget *window, const QString &file, bool withFrame = true)
{
    settle(800);
    QRect area = withFrame ? window->frameGeometry() : window->geometry();
    if (area.width() < 10)
        area = window->geometry();
    QPixmap shot = window->screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    shot.save(file);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    LibraryFixture fx;
    if (!fx.open())
        return 1;
    fx.addBook(5, QStringLiteral("Smith, Anna"), 1);
    CaptureSettings::setFileName(fx.path(QStringLiteral("capture.ini")));
    CaptureDrivers::setTestPatternFormat(QSize(640, 480), 25);
    Capturer capturer;
    CaptureEnvironment::setTarget(&capturer, 5, QStringLiteral("Smith, Anna"));
    capturer.ShowCapture(QStringLiteral("Capture Images for Smith, Anna"));
    CaptureBkgnd *bkgnd = CaptureEnvironment::background();
    // Wide enough for the whole control bar. It fills the desktop's work
    // area and so has no title bar of its own; the picture shows none either.
    bkgnd->resize(1290, 640);
    shoot(bkgnd, out + QStringLiteral("/capture-window.png"), false);
    bkgnd->close();
    settle(200);

    QTemporaryDir sane;
    Testing::writeFile(sane.filePath(QStringLiteral("dll.conf")), "test\n");
    qputenv("SANE_CONFIG_DIR", QFile::encodeName(sane.path()));
    ScanDialog::setExtraOptions({{"test-picture", QStringLiteral("Color pattern")}});
    {
        ScanDialog scan(nullptr);
        scan.show();
        QSignalSpy done(scan.scanner(), &Scanner::finished);
        scan.findChild<QPushButton *>(QStringLiteral("cmdPreview"))->click();
        done.wait(10000);
        shoot(&scan, out + QStringLiteral("/scan-dialog.png"));
    }

    const QString card = fx.path(QStringLiteral("card/DCIM/100VISIT"));
    QDir().mkpath(card);
    const QColor colours[] {QColor(200, 80, 80), QColor(230, 200, 170), QColor(90, 140, 200), QColor(240, 240, 235)};
    for (int i = 0; i < 4; ++i) {
        QImage picture(320, 240, QImage::Format_RGB32);
        picture.fill(colours[i]);
        picture.save(card + QStringLiteral("/IMG_%1.JPG").arg(i + 1, 4, 10, QLatin1Char('0')));
    }
    auto camera = CameraDevice::open({QStringLiteral("Directory Browse"), QStringLiteral("disk:") + fx.path(QStringLiteral("card"))});
    if (camera) {
        CameraPictures chooser(*camera, nullptr);
        chooser.show();
        shoot(&chooser, out + QStringLiteral("/camera-chooser.png"));
    }

    {
        TestJoystick joystick(0, nullptr);
        joystick.resize(340, 150);
        joystick.show();
        joystick.ButtonPressed(1);
        shoot(&joystick, out + QStringLiteral("/foot-switch.png"));
    }
    fx.close();
    return 0;
}
