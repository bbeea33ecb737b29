// Saves pictures of the batch import window and of the serial grabber:
//   shot_import <import.png> <grabber.png> [--hold]
// Not a test; run it under a real or virtual display to check the layout.
// With --hold the grabber stays open afterwards, to be tried by hand.

#include "library/libraryfixture.h"

#include "controls/doclist.h"
#include "controls/imgview.h"
#include "library/addmultipledocs.h"
#include "library/clipboardfiles.h"
#include "library/serialgrabber.h"

#include <tovradocs/dokumentz.h>

#include <QElapsedTimer>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QTableView>
#include <QThread>

#include <cstdio>

using namespace tovradocs;
using namespace tovradocs::Internal;

namespace {

// Something like an intraoral photograph: gums, a row of teeth, a label.
QImage samplePicture(int n)
{
    QImage image(640, 480, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gum(0, 0, 0, 480);
    gum.setColorAt(0, QColor::fromHsv((350 + n * 7) % 360, 120, 120));
    gum.setColorAt(1, QColor::fromHsv((355 + n * 5) % 360, 150, 200));
    p.fillRect(image.rect(), gum);
    const int teeth = 5 + n % 3;
    for (int t = 0; t < teeth; ++t) {
        const QRectF tooth(40 + t * (560.0 / teeth), 140 + (t % 2) * 12, 560.0 / teeth - 14, 200);
        QPainterPath path;
        path.addRoundedRect(tooth, 30, 40);
        p.fillPath(path, QColor(245 - n * 2, 240 - n * 3, 220 - n * 2));
        p.setPen(QPen(QColor(200, 190, 170), 3));
        p.drawPath(path);
    }
    p.setPen(Qt::white);
    QFont font = p.font();
    font.setPixelSize(36);
    p.setFont(font);
    p.drawText(QRect(0, 400, 640, 60), Qt::AlignCenter, QStringLiteral("Intraoral %1").arg(n + 1));
    return image;
}

void settle(QWidget *window, int minimumMs)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        bool waiting = ThumbnailProvider::shared()->pendingCount() > 0;
        if (auto *import = qobject_cast<AddMultipleDocs *>(window); import && import->isChecking())
            waiting = true;
        for (auto *view : window->findChildren<ImgView *>())
            if (view->isVisible() && !view->fileName().isEmpty() && !view->hasPicture())
                waiting = true;
        if (!waiting && clock.elapsed() > minimumMs)
            break;
        QThread::msleep(20);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: shot_import import.png grabber.png\n");
        return 2;
    }
    LibraryFixture fx;
    if (!fx.open(true))
        return 1;
    QDir().mkpath(fx.path(QStringLiteral("camera")));
    QStringList files;
    for (int i = 0; i < 12; ++i) {
        const QString file = fx.path(QStringLiteral("camera/IMG_%1.JPG").arg(2041 + i));
        samplePicture(i).save(file, "JPG");
        files << file;
    }
    // One photo the camera did not finish writing, and one already in the book.
    {
        QFile cut(files[1]);
        cut.resize(cut.size() / 2);
    }
    const QString stored = fx.libraryFolder + QStringLiteral("/1/901.JPG");
    QDir().mkpath(QFileInfo(stored).path());
    QFile::copy(files[2], stored);
    fx.addPage(901, 1, stored, 1, QStringLiteral("Upper arch, occlusal"));

    bool saved = false;
    fx.dialogs->pushModal([&](QDialog *d) {
        d->move(0, 0);
        d->resize(1100, 720);
        d->show();
        settle(d, 800);
        // The broken file's row is the current one, so its details say why too.
        auto *grid = d->findChild<QTableView *>(QStringLiteral("tgFiles"));
        grid->setCurrentIndex(grid->model()->index(1, 1));
        settle(d, 300);
        saved = d->grab().save(QString::fromLocal8Bit(argv[1]));
        return int(QDialog::Rejected);
    });
    Dokumentz documents;
    documents.DefDocumentType = 1;
    documents.DefSourceID = 1;
    {
        AddMultipleDocs window;
        window.AddMultipleFiles(files, documents);
    }

    auto *grabber = new SerialGrabber;
    grabber->move(0, 0);
    grabber->GrabFor(1, QStringLiteral("Practice pictures"));
    std::unique_ptr<QMimeData> copied(mimeDataForFiles(files.mid(0, 7)));
    grabber->grabFrom(copied.get());
    QMimeData picture;
    picture.setImageData(samplePicture(9));
    grabber->grabFrom(&picture);
    settle(grabber, 800);
    saved = grabber->grab().save(QString::fromLocal8Bit(argv[2])) && saved;
    if (argc > 3 && qstrcmp(argv[3], "--hold") == 0) {
        QObject::connect(grabber, &QObject::destroyed, &app, &QApplication::quit);
        fx.dialogs->pushAnswer(Answer::Yes);
        app.exec();
        fx.close();
        return saved ? 0 : 1;
    }
    // The grabbed picture's temporary file goes with the window.
    fx.dialogs->pushAnswer(Answer::Yes);
    grabber->close();
    fx.close();
    return saved ? 0 : 1;
}
