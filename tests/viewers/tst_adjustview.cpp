// The picture viewers' adjustments as a user drives them: right-drag window,
// presets, "Reset", calibration and measurement, damaged records, the loupe.

#include "component/adjustmentstore.h"
#include "component/shownpicture.h"
#include "viewers/adjustpanel.h"
#include "viewers/singleimageview.h"
#include "viewers/viewimg.h"
#include "viewers/scrollpicture.h"
#include "component/thumbnailprovider.h"
#include "controls/imgview.h"
#include "support/dicomfixtures.h"
#include "viewerfixture.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QSpinBox>
#include <QCryptographicHash>
#include <QFile>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace tovradocs;
using namespace tovradocs::Internal;
using namespace tovradocs::Testing;

namespace {

QByteArray sha256(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex();
}

void mouse(QWidget *w, QEvent::Type type, Qt::MouseButton button, QPointF pos, Qt::MouseButtons held)
{
    QMouseEvent e(type, pos, w->mapToGlobal(pos), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

void drag(QWidget *w, Qt::MouseButton button, QPointF from, QPointF to)
{
    mouse(w, QEvent::MouseButtonPress, button, from, button);
    for (int step = 1; step <= 4; ++step)
        mouse(w, QEvent::MouseMove, Qt::NoButton, from + (to - from) * step / 4.0, button);
    mouse(w, QEvent::MouseButtonRelease, button, to, Qt::NoButton);
}

} // namespace

class TestAdjustView : public QObject, public ViewerFixture
{
    Q_OBJECT

    QString m_radiograph;
    QString m_plainRadiograph; // no spacing in the file
    QByteArray m_hash;
    QByteArray m_plainHash;

    void addEntry(qint32 code, const QString &file)
    {
        std::unique_ptr<Recordset> rs;
        m_host->FillRecordSet(rs, QStringLiteral("SELECT * FROM BookContents WHERE Entry_Code = 0"));
        rs->addNew();
        rs->setValue(QStringLiteral("Entry_Code"), code);
        rs->setValue(QStringLiteral("BookCode"), 1);
        rs->setValue(QStringLiteral("FileName"), file);
        rs->setValue(QStringLiteral("EntryType"), 1);
        rs->update();
    }

    // A viewer on the file, its picture read.
    SingleImageView *open(const QString &file)
    {
        auto *view = new SingleImageView;
        QSignalSpy loaded(view->view()->canvas(), &PictureCanvas::loaded);
        view->resize(900, 700);
        view->ViewSingleImage(file, QStringLiteral("Radiograph"));
        if (!loaded.wait(10000) || !loaded.first().first().toBool())
            return nullptr;
        return view;
    }

    void originalsUntouched()
    {
        QCOMPARE(sha256(m_radiograph), m_hash);
        QCOMPARE(sha256(m_plainRadiograph), m_plainHash);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(openPractice());
        DicomContent content;
        content.size = {600, 400};
        content.bitsStored = 12;
        content.windowCenter = 2048;
        content.windowWidth = 4096;
        content.value = [](int x, int y) { return (x * 6 + y * 3) % 4096; };
        content.pixelSpacing = QStringLiteral("0.1\\0.1");
        m_radiograph = makeDicomPicture(m_dir.filePath(QStringLiteral("Library/IO-36.dcm")), content);
        content.pixelSpacing.clear();
        m_plainRadiograph = makeDicomPicture(m_dir.filePath(QStringLiteral("Library/IO-46.dcm")), content);
        QVERIFY(!m_radiograph.isEmpty() && !m_plainRadiograph.isEmpty());
        m_hash = sha256(m_radiograph);
        m_plainHash = sha256(m_plainRadiograph);
        addEntry(501, m_radiograph);
        addEntry(502, m_plainRadiograph);
    }

    void init()
    {
        startTest();
        AdjustmentStore::instance()->reset();
    }

    void cleanup()
    {
        for (qint32 code : {501, 502})
            AdjustmentStore::instance()->save(code, QString(), {});
        endTest();
        AdjustmentStore::instance()->reset();
    }

    void rightDragWindowsAndResetRestores()
    {
        SingleImageView *view = open(m_radiograph);
        QVERIFY(view);
        PictureCanvas *canvas = view->view()->canvas();
        QCOMPARE(canvas->entryCode(), 501); // found by its file
        const QImage before = canvas->shownImage();
        const QPoint mid = canvas->rect().center();
        // Narrower and brighter: left and up.
        drag(canvas, Qt::RightButton, mid, mid + QPoint(-200, -80));
        const Adjustments dragged = canvas->state().adjust;
        QVERIFY(dragged.windowWidth > 0 && dragged.windowWidth < 4096);
        QVERIFY(dragged.windowCenter < 2048);
        QVERIFY(canvas->shownImage() != before);
        QVERIFY(m_responder->prompts().isEmpty()); // a drag is no click: no menu, no message
        // Stored as the drag ended, numbers shown in the panel.
        QCOMPARE(AdjustmentStore::instance()->load(501, m_radiograph).state.adjust, dragged);
        QCOMPARE(child<QDoubleSpinBox>(view, "txtWindowWidth")->value(), std::round(dragged.windowWidth));

        // A preset, then a typed width.
        auto *presets = child<QComboBox>(view, "cboWindowPreset");
        presets->setCurrentIndex(1);
        Q_EMIT presets->activated(1);
        const auto [c, w] = presetWindow(WindowPreset::Enamel, canvas->source());
        QCOMPARE(canvas->state().adjust.windowCenter, c);
        QCOMPARE(canvas->state().adjust.windowWidth, w);
        child<QDoubleSpinBox>(view, "txtWindowWidth")->setValue(777);
        QCOMPARE(canvas->state().adjust.windowWidth, 777.0);
        child<QToolButton>(view, "chkInvert")->click();
        child<QToolButton>(view, "cmdRotateRight")->click();
        QCOMPARE(canvas->state().adjust.quarterTurns, 1);
        QVERIFY(hasShownChanges(501, m_radiograph));
        originalsUntouched();

        // Undo steps back one change; "Reset" returns to the file.
        child<QToolButton>(view, "cmdUndoAdjust")->click();
        QCOMPARE(canvas->state().adjust.quarterTurns, 0);
        child<QToolButton>(view, "cmdResetAdjust")->click();
        QCOMPARE(canvas->state(), PictureState());
        QCOMPARE(canvas->shownImage(), before);
        QCOMPARE(scalar(*m_host, QStringLiteral("SELECT COUNT(*) FROM PictureAdjustments WHERE Entry_Code = 501")), 0);
        originalsUntouched();
    }

    void measuresWithTheFilesSpacing()
    {
        SingleImageView *view = open(m_radiograph);
        QVERIFY(view);
        PictureCanvas *canvas = view->view()->canvas();
        QCOMPARE(child<QLabel>(view, "lblCalibration")->text(), QStringLiteral("Calibrated by Pixel Spacing (0.100 mm)"));
        child<QToolButton>(view, "cmdMeasureLength")->click();
        drag(canvas, Qt::LeftButton, canvas->toWidget({100, 200}), canvas->toWidget({350, 200}));
        QCOMPARE(canvas->state().overlay.size(), 1);
        const OverlayItem line = canvas->state().overlay.first();
        QCOMPARE(line.kind, OverlayItem::Length);
        QCOMPARE(lengthText(line.points[0], line.points[1], canvas->calibration()), QStringLiteral("25.0 mm (Pixel Spacing)"));
        // Hiding the marks keeps them.
        child<QToolButton>(view, "chkShowOverlay")->click();
        QVERIFY(canvas->state().overlayHidden);
        QCOMPARE(canvas->state().overlay.size(), 1);
        originalsUntouched();
    }

    void userCalibrationThenMeasurement()
    {
        SingleImageView *view = open(m_plainRadiograph);
        QVERIFY(view);
        PictureCanvas *canvas = view->view()->canvas();
        QCOMPARE(child<QLabel>(view, "lblCalibration")->text(), QStringLiteral("Not calibrated: lengths in pixels"));
        auto *calibrate = child<QToolButton>(view, "cmdCalibrate");

        // A line of no length is refused before anything is asked.
        calibrate->click();
        const QPointF at = canvas->toWidget({200, 200});
        drag(canvas, Qt::LeftButton, at, at);
        QCOMPARE(messageTexts(*m_responder).size(), 1);
        QVERIFY(messageTexts(*m_responder).first().startsWith(QLatin1String("The calibration line has no length")));
        QCOMPARE(canvas->state().userMmPerPixel, 0.0);

        // The tool stays on for the line drawn again: a 10 mm implant over
        // 200 pixels, then a 300-pixel line.
        QCOMPARE(canvas->tool(), PictureCanvas::Calibrate);
        m_responder->pushText(QStringLiteral("10"));
        drag(canvas, Qt::LeftButton, canvas->toWidget({100, 100}), canvas->toWidget({300, 100}));
        QCOMPARE(canvas->tool(), PictureCanvas::NoTool);
        QVERIFY(qAbs(canvas->state().userMmPerPixel - 0.05) < 0.002);
        child<QToolButton>(view, "cmdMeasureLength")->click();
        drag(canvas, Qt::LeftButton, canvas->toWidget({50, 50}), canvas->toWidget({50, 350}));
        const OverlayItem line = canvas->state().overlay.last();
        QCOMPARE(lengthText(line.points[0], line.points[1], canvas->calibration()), QStringLiteral("15.0 mm (user calibration)"));

        // A typed length of zero is refused with a message.
        calibrate->click();
        m_responder->pushText(QStringLiteral("0"));
        const double kept = canvas->state().userMmPerPixel;
        drag(canvas, Qt::LeftButton, canvas->toWidget({100, 100}), canvas->toWidget({300, 100}));
        QVERIFY(messageTexts(*m_responder).last().startsWith(QLatin1String("The known length must be")));
        QCOMPARE(canvas->state().userMmPerPixel, kept);
        QCOMPARE(canvas->tool(), PictureCanvas::Calibrate);
        originalsUntouched();

        // What the printout and thumbnails get carries the measurement.
        const QImage withMarks = pictureAsShown(502, m_plainRadiograph, {300, 300}).value();
        const QImage bare = pictureAsShown(502, m_plainRadiograph, {300, 300}, false).value();
        QVERIFY(withMarks != bare);
    }

    void damagedRecordIsReportedAndIgnored()
    {
        std::unique_ptr<Recordset> rs;
        m_host->FillRecordSet(rs, QStringLiteral("SELECT * FROM PictureAdjustments WHERE Entry_Code = 0"));
        rs->addNew();
        rs->setValue(QStringLiteral("Entry_Code"), 501);
        rs->setValue(QStringLiteral("FileName"), m_radiograph);
        rs->setValue(QStringLiteral("Adjustments"), QStringLiteral("{\"v\":1,\"turns\":9}"));
        rs->update();
        SingleImageView *view = open(m_radiograph);
        QVERIFY(view);
        QCOMPARE(messageTexts(*m_responder).size(), 1);
        QVERIFY(messageTexts(*m_responder).first().contains(QLatin1String("damaged")));
        QCOMPARE(view->view()->canvas()->state(), PictureState());
        originalsUntouched();
    }

    void loupeMagnifiesUnderThePointer()
    {
        SingleImageView *view = open(m_radiograph);
        QVERIFY(view);
        PictureCanvas *canvas = view->view()->canvas();
        view->show();
        const QPoint at = canvas->pictureRect().center();
        mouse(canvas, QEvent::MouseMove, Qt::NoButton, at, Qt::NoButton);
        const QImage plain = canvas->grab().toImage();
        child<QToolButton>(view, "chkLoupe")->click();
        QVERIFY(canvas->loupe());
        child<QSpinBox>(view, "txtLoupeFactor")->setValue(8);
        QCOMPARE(canvas->loupeFactor(), 8);
        mouse(canvas, QEvent::MouseMove, Qt::NoButton, at, Qt::NoButton);
        const QImage loupe = canvas->grab().toImage();
        // Inside the loupe the picture differs; far from it, it does not.
        QVERIFY(plain.pixel(at + QPoint(40, 0)) != loupe.pixel(at + QPoint(40, 0)));
        QCOMPARE(plain.pixel(5, 5), loupe.pixel(5, 5));
    }

    void thumbnailsFollowTheAdjustments()
    {
        // The shared cache holds the file's own thumbnail; once adjusted,
        // the library's tile shows the picture as the viewer does, and
        // after "Reset" the file's own again.
        ThumbnailProvider provider;
        provider.setThumbnailBaseDir(m_dir.filePath(QStringLiteral("thumbs")));
        QSignalSpy arrived(&provider, &ThumbnailProvider::thumbnailLoaded);
        provider.request(m_plainRadiograph, 128);
        QVERIFY(arrived.wait(10000));
        const QImage original = arrived.takeFirst().at(1).value<QImage>();
        PictureState inverted;
        inverted.adjust.invert = true;
        QVERIFY(AdjustmentStore::instance()->save(502, m_plainRadiograph, inverted).ok());
        // The change itself asks again for the size shown.
        QVERIFY(arrived.wait(10000));
        const QImage adjusted = arrived.takeFirst().at(1).value<QImage>();
        QCOMPARE(adjusted.size(), original.size());
        const QPoint mid(original.width() / 3, original.height() / 2);
        QVERIFY(std::abs(qGray(adjusted.pixel(mid)) - (255 - qGray(original.pixel(mid)))) <= 2);
        QVERIFY(provider.cachedThumbnail(m_plainRadiograph, 128).isNull());
        QVERIFY(AdjustmentStore::instance()->save(502, m_plainRadiograph, {}).ok());
        QVERIFY(arrived.wait(10000));
        QCOMPARE(arrived.takeFirst().at(1).value<QImage>(), original);
        originalsUntouched();
    }

    void scrollPictureWindowsAndMagnifies()
    {
        ScrollPicture control;
        control.resize(400, 300);
        QImage picture(800, 600, QImage::Format_RGB32);
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x)
                picture.setPixel(x, y, qRgb(x * 255 / 800, 100, y * 255 / 600));
        control.setPicture(picture);
        control.BestFit();
        control.show();
        QWidget *surface = control.surface();
        const QImage before = control.shownPicture();
        drag(surface, Qt::RightButton, QPointF(100, 100), QPointF(20, 60));
        QVERIFY(control.windowWidth() > 0 && control.windowWidth() < 256);
        QVERIFY(control.shownPicture() != before);
        QCOMPARE(control.picture(), picture); // the picture itself is kept
        control.setWindow(128, 0);
        QCOMPARE(control.shownPicture(), before);

        const QImage plain = surface->grab().toImage();
        control.setLoupe(true, 4);
        mouse(surface, QEvent::MouseMove, Qt::NoButton, QPointF(150, 120), Qt::NoButton);
        const QImage loupe = surface->grab().toImage();
        QVERIFY(plain.pixel(150 + 60, 120) != loupe.pixel(150 + 60, 120));
        QCOMPARE(plain.pixel(2, 2), loupe.pixel(2, 2));
    }

    void enlargedTileIsAdjustable()
    {
        PageTable pages;
        pages.pages.append({QStringLiteral("501"), m_radiograph, QStringLiteral("36"), QStringLiteral("1"),
                            QStringLiteral("1"), QString()});
        pages.pages.append({QStringLiteral("502"), m_plainRadiograph, QStringLiteral("46"), QStringLiteral("1"),
                            QStringLiteral("1"), QString()});
        auto *viewer = new ViewImg;
        int outcome = 1;
        m_responder->pushModal([&](QDialog *) {
            outcome = [&] {
            viewer->show();
            ImgView *second = viewer->pane(1);
            QTest::mouseClick(second, Qt::LeftButton, {}, second->rect().center());
            AdjustableView *enlarged = viewer->enlargedView();
            if (!enlarged || !enlarged->isVisible())
                return -1;
            QSignalSpy loaded(enlarged->canvas(), &PictureCanvas::loaded);
            if (!loaded.wait(10000))
                return -2;
            PictureCanvas *canvas = enlarged->canvas();
            if (canvas->entryCode() != 502)
                return -3;
            const QPoint mid = canvas->rect().center();
            drag(canvas, Qt::RightButton, mid, mid + QPoint(100, 0));
            // A plain left click tiles again.
            QTest::mouseClick(canvas, Qt::LeftButton, {}, mid);
            return enlarged->isVisible() ? -4 : 0;
            }();
            return 0;
        });
        viewer->setAttribute(Qt::WA_DeleteOnClose, false);
        viewer->ViewSelectedImages(pages, true, 2);
        QCOMPARE(outcome, 0);
        QVERIFY(hasShownChanges(502, m_plainRadiograph));
        delete viewer;
        originalsUntouched();
    }
};

QTEST_MAIN(TestAdjustView)
#include "tst_adjustview.moc"
