// Saves a picture of the library window on the demo practice:
//   shot_tovralib <out.png> [width height]
// Not a test; run it under a real or virtual display to check the layout.

#include <tovradocs/mediamanager.h>

#include "controls/imgview.h"
#include "host/referencehost.h"
#include "library/tovralib.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: shot_tovralib out.png [width height]\n");
        return 2;
    }
    const QSize size = argc >= 4 ? QSize(atoi(argv[2]), atoi(argv[3])) : QSize(1280, 900);
    QTemporaryDir dir;
    tovradocs::HostOptions options;
    options.database = dir.filePath(QStringLiteral("practice.sqlite"));
    options.libraryFolder = dir.filePath(QStringLiteral("Library"));
    options.dataFolder = dir.path();
    options.createDemoPractice = true;
    auto host = tovradocs::ReferenceHost::open(options);
    if (!host) {
        std::fprintf(stderr, "%s\n", qPrintable(host.error()));
        return 1;
    }
    tovradocs::MediaManager manager;
    manager.SetDataLink(host.value(), nullptr);
    qint32 patient = 3;
    const QString name = host.value()->GetNameOfPatient(patient);
    manager.ViewLibrary(true, patient, name);

    tovradocs::Internal::TovraLib *window = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *lib = qobject_cast<tovradocs::Internal::TovraLib *>(w))
            window = lib;
    if (!window)
        return 1;
    window->move(0, 0);
    window->resize(size);

    // Until every shown thumbnail has arrived.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        bool waiting = false;
        for (auto *view : window->findChildren<tovradocs::Internal::ImgView *>())
            if (view->isVisible() && !view->fileName().isEmpty() && !view->hasPicture())
                waiting = true;
        if (!waiting && clock.elapsed() > 500)
            break;
        QThread::msleep(20);
    }
    return window->grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
