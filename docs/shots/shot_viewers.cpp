// Saves a picture of the whole screen with one of the viewer windows on the
// demo practice, for the documentation:
//   shot_viewers compare|slideshow|editshow|tutorial|browser <out.png>
// Not a test; run it under a real or virtual display with a window manager.

#include <tovradocs/dokumentz.h>
#include <tovradocs/mediamanager.h>

#include "controls/slidefx.h"
#include "host/referencehost.h"
#include "support/testhost.h"
#include "support/mediafixtures.h"
#include "viewers/edittovrashow.h"
#include "viewers/showman.h"
#include "viewers/tovrabrowser.h"
#include "viewers/vidplaywindow.h"

#include <QApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

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

bool grabScreen(const QString &out)
{
    return QGuiApplication::primaryScreen()->grabWindow(0).save(out);
}

} // namespace

int main(int argc, char **argv)
{
    prepareWebEngine();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: shot_viewers compare|slideshow|editshow|tutorial|browser out.png\n");
        return 2;
    }
    const QString kind = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);
    QTemporaryDir dir;
    const std::shared_ptr<ReferenceHost> host = Testing::openTestHost(dir.path(), true);
    if (!host)
        return 1;
    MediaManager manager;
    manager.SetDataLink(host, nullptr);

    if (kind == QLatin1String("compare")) {
        Dokumentz docs;
        docs.Add(1, Testing::makeClip(dir.filePath(QStringLiteral("before.avi")), {480, 360}, 250,
                                      QStringLiteral("ball")), {}, 1, 1, 0, 0);
        docs.Add(2, Testing::makeClip(dir.filePath(QStringLiteral("after.avi")), {480, 360}, 250,
                                      QStringLiteral("smpte")), {}, 1, 1, 0, 0);
        auto *player = new VidPlayWindow;
        player->CompareVideos(docs, true);
        wait(2500);
    } else if (kind == QLatin1String("slideshow")) {
        auto docs = std::make_shared<Dokumentz>();
        std::unique_ptr<Recordset> rows;
        host->FillRecordSet(rows, QStringLiteral(
            "Select BookContents.* From Books, BookContents where Books.Description = 'Before and After' "
            "and BookContents.BookCode = Books.Entry_Code order by BookContents.Entry_Code"));
        for (; rows && !rows->isEof(); rows->moveNext()) {
            auto doc = docs->Add(rows->value(QStringLiteral("Entry_Code")).toInt(),
                                 rows->value(QStringLiteral("FileName")).toString(), {}, 1, 1, 0, 0);
            doc->SlideTransition = 12; // blinds
        }
        auto *show = new ShowMan;
        show->move(80, 60);
        show->slideControl()->setTransitionDuration(4000);
        show->ViewSlideShow(docs, 0);
        wait(1500);
        show->tick();
        wait(1600);
    } else if (kind == QLatin1String("editshow")) {
        EditTovraShow dialog;
        QTimer::singleShot(1500, &dialog, [&] {
            grabScreen(out);
            dialog.reject();
        });
        dialog.EditDetails(1, nullptr);
        return 0;
    } else if (kind == QLatin1String("tutorial")) {
        qint32 code = 1;
        manager.ShowTutorial(code);
        wait(2500);
    } else if (kind == QLatin1String("browser")) {
        const QString page = dir.filePath(QStringLiteral("hours.html"));
        Testing::writeFile(page,
                           "<html><head><title>Opening Hours - Harbour Street Dental</title></head>"
                           "<body style='font-family:Liberation Sans;margin:40px'><h1>Opening hours</h1>"
                           "<table cellpadding=6><tr><td>Monday to Friday</td><td>8:00 - 18:00</td></tr>"
                           "<tr><td>Saturday</td><td>9:00 - 13:00</td></tr></table>"
                           "<p>Emergencies: call <b>555-0100</b>.</p></body></html>");
        manager.ViewFile(page, QStringLiteral("Opening hours"));
        wait(4000);
    } else {
        return 2;
    }
    return grabScreen(out) ? 0 : 1;
}
