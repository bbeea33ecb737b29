// Saves a picture of the library window on a book holding every kind of file
// a practice brings today, each shown by its own content: a PNG photo, a
// phone's HEIC, an MP4 clip (its frame), a PDF letter (its first page) and a
// 16-bit DICOM radiograph (in its own window).
//   shot_mediatiles <out.png> [width height] [--stay]
// Not a test; run it under a real or virtual display to check the tiles.
// --stay adds a phone photo that arrived empty and a clip cut short, and
// leaves the window open to be tried by hand after the picture is saved.

#include "benchpictures.h"
#include "library/libraryfixture.h"
#include "support/dicomfixtures.h"
#include "support/mediafixtures.h"

#include "controls/imgview.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QPdfWriter>
#include <QThread>

#include <cstdio>

namespace {

QString referralLetter(const QString &path)
{
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setResolution(300);
    QPainter p(&writer);
    const QRect page = p.viewport();
    p.fillRect(QRect(0, 0, page.width(), 260), QColor(0x1f, 0x5f, 0x8b));
    p.setPen(Qt::white);
    p.setFont(QFont(QStringLiteral("Liberation Sans"), 22, QFont::Bold));
    p.drawText(QRect(120, 0, page.width(), 260), Qt::AlignVCenter, QStringLiteral("Oral Surgery Referral"));
    p.setPen(Qt::black);
    p.setFont(QFont(QStringLiteral("Liberation Serif"), 11));
    const QStringList lines = {
        QStringLiteral("Patient: Mark Chan, born 12 March 1981"),
        QString(),
        QStringLiteral("Dear colleague,"),
        QString(),
        QStringLiteral("I would be grateful if you could see this patient for the removal of the"),
        QStringLiteral("partially erupted lower left third molar (38), which has caused two"),
        QStringLiteral("episodes of pericoronitis this year. The bitewing and the panoramic"),
        QStringLiteral("radiograph are enclosed."),
        QString(),
        QStringLiteral("Medical history: no allergies, no regular medication."),
        QString(),
        QStringLiteral("Kind regards,"),
    };
    int y = 420;
    for (const QString &line : lines) {
        p.drawText(160, y, line);
        y += 62;
    }
    p.setPen(QPen(QColor(0x1f, 0x5f, 0x8b), 6));
    p.drawLine(160, y + 120, 900, y + 60);
    return path;
}

// A 16-bit radiograph: the sensor's values spread over 12000 to 52000,
// shown through its stored window.
QString radiograph(const QString &path)
{
    const QImage film = benchpictures::radiograph(4, QSize(1200, 900));
    tovradocs::Testing::DicomContent content;
    content.size = film.size();
    content.bitsStored = 16;
    content.windowCenter = 32000;
    content.windowWidth = 40000;
    content.value = [&](int x, int y) { return 12000 + qGray(film.pixel(x, y)) * 157; };
    return tovradocs::Testing::makeDicomPicture(path, content);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: shot_mediatiles out.png [width height]\n");
        return 2;
    }
    const QStringList args = QCoreApplication::arguments();
    const bool stay = args.contains(QStringLiteral("--stay"));
    const QSize size = argc >= 4 && argv[2][0] != '-' ? QSize(atoi(argv[2]), atoi(argv[3])) : QSize(1000, 560);
    LibraryFixture fx;
    if (!fx.open(false))
        return 1;
    const QString folder = fx.libraryFolder;
    const QString png = folder + QStringLiteral("/smile-front.png");
    benchpictures::cameraPicture(2, QSize(1600, 1200)).save(png);
    const QString heic = tovradocs::Testing::makeHeic(folder + QStringLiteral("/IMG_4107.HEIC"),
                                                      benchpictures::cameraPicture(9, QSize(1024, 768)));
    const QString mp4 = tovradocs::Testing::makeMp4Clip(folder + QStringLiteral("/consultation.mp4"),
                                                        QSize(640, 360), 75);
    const QString pdf = referralLetter(folder + QStringLiteral("/referral.pdf"));
    const QString dcm = radiograph(folder + QStringLiteral("/bitewing-left.dcm"));
    if (heic.isEmpty() || mp4.isEmpty() || dcm.isEmpty()) {
        std::fprintf(stderr, "heif-enc, gst-launch-1.0 or DCMTK could not make a file\n");
        return 1;
    }
    fx.addBook(3, QStringLiteral("Mark Chan"), 12);
    fx.addPage(10, 3, png, 1, QStringLiteral("Smile, front"));
    fx.addPage(11, 3, heic, 1, QStringLiteral("Phone photo"));
    fx.addPage(12, 3, mp4, 2, QStringLiteral("Consultation clip"));
    fx.addPage(13, 3, pdf, 3, QStringLiteral("Referral letter"));
    fx.addPage(14, 3, dcm, 1, QStringLiteral("Bitewing, left"));
    if (stay) {
        const QString empty = folder + QStringLiteral("/IMG_4108.HEIC");
        QFile(empty).open(QIODevice::WriteOnly);
        QFile clip(mp4);
        clip.open(QIODevice::ReadOnly);
        QFile cut(folder + QStringLiteral("/recording-cut.mp4"));
        cut.open(QIODevice::WriteOnly);
        cut.write(clip.read(clip.size() / 2));
        cut.close();
        fx.addPage(15, 3, empty, 1, QStringLiteral("Phone photo, empty"));
        fx.addPage(16, 3, cut.fileName(), 2, QStringLiteral("Recording, cut off"));
    }

    auto lib = LibraryFixture::openLibrary(3, size);
    lib->move(0, 0);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 20000) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        bool waiting = false;
        for (auto *view : lib->findChildren<tovradocs::Internal::ImgView *>())
            if (view->isVisible() && !view->fileName().isEmpty() && !view->hasPicture()
                && view->problem().isEmpty())
                waiting = true;
        if (!waiting && clock.elapsed() > 500)
            break;
        QThread::msleep(20);
    }
    if (!lib->grab().save(QString::fromLocal8Bit(argv[1])))
        return 1;
    if (!stay)
        return 0;
    // Real message boxes from here on, as a user sees them.
    tovradocs::Internal::DialogService::setResponder(nullptr);
    return app.exec();
}
