// Saves a picture of the library window on the demo practice:
//   shot_tovralib <out.png> [width height]
// Not a test; run it under a real or virtual display to check the layout.

#include "library/libraryfixture.h"

#include "controls/imgview.h"

#include <tovradocs/mediamanager.h>

#include <QElapsedTimer>
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
    LibraryFixture fx;
    if (!fx.open(true))
        return 1;
    qint32 patient = 3;
    tovradocs::MediaManager manager;
    manager.ViewLibrary(true, patient, fx.host->GetNameOfPatient(patient));
    const auto windows = LibraryFixture::shownWindows<tovradocs::Internal::TovraLib>();
    if (windows.isEmpty())
        return 1;
    QWidget *window = windows.constFirst();
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
