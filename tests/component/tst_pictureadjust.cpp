// How adjustments and measurements turn a file into the shown picture.

#include "component/dicomimage.h"
#include "component/pictureadjust.h"
#include "support/dicomfixtures.h"

#include <QTemporaryDir>
#include <QTest>

using namespace tovradocs::Internal;
using tovradocs::Testing::DicomContent;
using tovradocs::Testing::makeDicomPicture;

Q_DECLARE_METATYPE(tovradocs::Internal::Adjustments)
Q_DECLARE_METATYPE(tovradocs::Testing::DicomContent)

class TestPictureAdjust : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString file(const QString &name) const { return m_dir.filePath(name); }

    // A 16-bit radiograph: left half one value, right half another.
    static DicomContent twoValues(int left, int right, QSize size = {64, 48})
    {
        DicomContent content;
        content.size = size;
        content.bitsStored = 16;
        content.value = [=](int x, int) { return x < size.width() / 2 ? left : right; };
        return content;
    }

private Q_SLOTS:
    void windowMapsSixteenBitValues_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<double>("center");
        QTest::addColumn<double>("width");
        QTest::addColumn<bool>("monochrome1");
        QTest::addColumn<bool>("invert");
        QTest::addColumn<double>("gamma");
        QTest::addColumn<int>("grey");
        // Whole 12-bit range.
        QTest::newRow("0 in 2048/4096") << 0 << 2048.0 << 4096.0 << false << false << 1.0 << 0;
        QTest::newRow("4095 in 2048/4096") << 4095 << 2048.0 << 4096.0 << false << false << 1.0 << 255;
        QTest::newRow("2048 in 2048/4096") << 2048 << 2048.0 << 4096.0 << false << false << 1.0 << 128;
        // A narrow window: everything outside saturates.
        QTest::newRow("below 1000/200") << 900 << 1000.0 << 200.0 << false << false << 1.0 << 0;
        QTest::newRow("above 1000/200") << 1100 << 1000.0 << 200.0 << false << false << 1.0 << 255;
        QTest::newRow("inside 1000/200") << 950 << 1000.0 << 200.0 << false << false << 1.0 << 64;
        QTest::newRow("65535 in 40000/20000") << 65535 << 40000.0 << 20000.0 << false << false << 1.0 << 255;
        QTest::newRow("30000 in 40000/20000") << 30000 << 40000.0 << 20000.0 << false << false << 1.0 << 0;
        // MONOCHROME1: the lowest value is white; the user's invert undoes it.
        QTest::newRow("MONOCHROME1 0") << 0 << 2048.0 << 4096.0 << true << false << 1.0 << 255;
        QTest::newRow("MONOCHROME1 4095") << 4095 << 2048.0 << 4096.0 << true << false << 1.0 << 0;
        QTest::newRow("MONOCHROME1 950 narrow") << 950 << 1000.0 << 200.0 << true << false << 1.0 << 191;
        QTest::newRow("MONOCHROME1 inverted") << 0 << 2048.0 << 4096.0 << true << true << 1.0 << 0;
        QTest::newRow("MONOCHROME2 inverted") << 0 << 2048.0 << 4096.0 << false << true << 1.0 << 255;
        // Gamma 2 lifts mid-grey: 255 * (128/255)^0.5.
        QTest::newRow("gamma 2 at mid-grey") << 2048 << 2048.0 << 4096.0 << false << false << 2.0 << 181;
        QTest::newRow("gamma leaves black") << 0 << 2048.0 << 4096.0 << false << false << 2.0 << 0;
    }

    void windowMapsSixteenBitValues()
    {
        QFETCH(int, value);
        QFETCH(double, center);
        QFETCH(double, width);
        QFETCH(bool, monochrome1);
        QFETCH(bool, invert);
        QFETCH(double, gamma);
        QFETCH(int, grey);
        QCOMPARE(windowedValue(value, center, width, monochrome1, invert, gamma), grey);
        // The lookup table the viewer drags with gives the same grey,
        // whatever offset the values were kept at.
        for (double offset : {0.0, -1024.0}) {
            if (value - offset > 65535)
                continue;
            ReducedGrey reduced;
            reduced.size = QSize(1, 1);
            reduced.values = {quint16(value - offset)};
            reduced.offset = offset;
            reduced.monochrome1 = monochrome1;
            const QImage out = applyWindow(reduced, center, width, invert, gamma);
            QCOMPARE(int(out.constScanLine(0)[0]), grey);
        }
    }

    void unadjustedRadiographMatchesTheDecoder_data()
    {
        QTest::addColumn<DicomContent>("content");
        DicomContent content = twoValues(1000, 3000);
        content.bitsStored = 12;
        content.windowCenter = 2000;
        content.windowWidth = 2500;
        QTest::newRow("12-bit with a window") << content;
        QTest::newRow("16-bit without a window") << twoValues(200, 60000);
        content = twoValues(500, 3500);
        content.bitsStored = 12;
        content.monochrome1 = true;
        content.windowCenter = 2048;
        content.windowWidth = 4096;
        QTest::newRow("MONOCHROME1") << content;
        content = twoValues(0, 0);
        content.value = [](int x, int y) { return (x * 997 + y * 131) % 4096; };
        content.bitsStored = 12;
        content.windowCenter = 1500;
        content.windowWidth = 1000;
        QTest::newRow("noise, narrow window") << content;
    }

    void unadjustedRadiographMatchesTheDecoder()
    {
        // The kept 16-bit values under the file's own window must look like
        // the decoder's 8-bit picture, or a viewer's first drag would jump.
        QFETCH(DicomContent, content);
        const QString path = makeDicomPicture(file(QStringLiteral("%1.dcm").arg(QTest::currentDataTag()).replace(' ', '-')), content);
        QVERIFY(!path.isEmpty());
        const auto decoded = Dicom::decode(path);
        QVERIFY2(decoded.ok(), qPrintable(decoded.error()));
        const auto source = loadSourcePicture(path);
        QVERIFY2(source.ok(), qPrintable(source.error()));
        QVERIFY(source->isDeepGrey());
        const QImage shown = renderPicture(*source, {}, {});
        QCOMPARE(shown.size(), decoded->size());
        int worst = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                worst = std::max(worst, std::abs(qGray(shown.pixel(x, y)) - qGray(decoded->pixel(x, y))));
        QVERIFY2(worst <= 1, qPrintable(QString::number(worst)));
    }

    void lengthsFromTheFilesSpacing_data()
    {
        QTest::addColumn<QString>("pixelSpacing");
        QTest::addColumn<QString>("imagerSpacing");
        QTest::addColumn<QPointF>("to"); // the line starts at (10, 10)
        QTest::addColumn<QString>("text");
        QTest::newRow("0.1 mm, 250 px across") << "0.1\\0.1" << "" << QPointF(260, 10) << "25.0 mm (Pixel Spacing)";
        QTest::newRow("0.1 mm, 250 px diagonal")
            << "0.1\\0.1" << "" << QPointF(10 + 150, 10 + 200) << "25.0 mm (Pixel Spacing)";
        QTest::newRow("imager spacing only") << "" << "0.1\\0.1" << QPointF(260, 10) << "25.0 mm (Imager Pixel Spacing)";
        QTest::newRow("pixel spacing wins") << "0.1\\0.1" << "0.2\\0.2" << QPointF(260, 10) << "25.0 mm (Pixel Spacing)";
        // Rows are 0.2 mm apart, columns 0.1 mm.
        QTest::newRow("anisotropic across") << "0.2\\0.1" << "" << QPointF(260, 10) << "25.0 mm (Pixel Spacing)";
        QTest::newRow("anisotropic down") << "0.2\\0.1" << "" << QPointF(10, 260) << "50.0 mm (Pixel Spacing)";
        QTest::newRow("zero spacing: pixels") << "0\\0" << "" << QPointF(260, 10) << "250 px";
        QTest::newRow("zero pixel, good imager") << "0\\0" << "0.1\\0.1" << QPointF(260, 10) << "25.0 mm (Imager Pixel Spacing)";
        QTest::newRow("no spacing: pixels") << "" << "" << QPointF(260, 10) << "250 px";
        QTest::newRow("one value: pixels") << "0.1" << "" << QPointF(260, 10) << "250 px";
    }

    void lengthsFromTheFilesSpacing()
    {
        QFETCH(QString, pixelSpacing);
        QFETCH(QString, imagerSpacing);
        QFETCH(QPointF, to);
        QFETCH(QString, text);
        DicomContent content = twoValues(100, 200, {300, 300});
        content.pixelSpacing = pixelSpacing;
        content.imagerPixelSpacing = imagerSpacing;
        const QString path = makeDicomPicture(file(QStringLiteral("spacing.dcm")), content);
        QVERIFY(!path.isEmpty());
        const Calibration calibration = calibrationFor({}, Dicom::pixelSpacing(path));
        QCOMPARE(lengthText(QPointF(10, 10), to, calibration), text);
    }

    void userCalibrationThenMeasurement_data()
    {
        QTest::addColumn<QLineF>("known");
        QTest::addColumn<double>("millimetres");
        QTest::addColumn<QLineF>("measured");
        QTest::addColumn<QString>("text"); // or the start of the refusal
        // A 10 mm implant drawn over 200 px: 0.05 mm per pixel.
        QTest::newRow("implant, then a longer line")
            << QLineF(0, 0, 200, 0) << 10.0 << QLineF(5, 5, 5, 305) << "15.0 mm (user calibration)";
        QTest::newRow("diagonal calibration")
            << QLineF(0, 0, 30, 40) << 2.5 << QLineF(0, 0, 100, 0) << "5.0 mm (user calibration)";
        QTest::newRow("zero-length line refused")
            << QLineF(7, 7, 7, 7) << 10.0 << QLineF() << "The calibration line has no length";
        QTest::newRow("zero length typed refused")
            << QLineF(0, 0, 100, 0) << 0.0 << QLineF() << "The known length must be";
        QTest::newRow("negative length refused")
            << QLineF(0, 0, 100, 0) << -3.0 << QLineF() << "The known length must be";
    }

    void userCalibrationThenMeasurement()
    {
        QFETCH(QLineF, known);
        QFETCH(double, millimetres);
        QFETCH(QLineF, measured);
        QFETCH(QString, text);
        const Result<double> mm = userCalibration(known.p1(), known.p2(), millimetres);
        if (measured.isNull()) {
            QVERIFY(!mm.ok());
            QVERIFY2(mm.error().startsWith(text), qPrintable(mm.error()));
            return;
        }
        QVERIFY2(mm.ok(), qPrintable(mm.error()));
        PictureState state;
        state.userMmPerPixel = *mm;
        // The user's line wins over a file's spacing, and works without one.
        for (const Dicom::PixelSpacing &spacing :
             {Dicom::PixelSpacing{}, Dicom::PixelSpacing{Dicom::PixelSpacing::Patient, 0.3, 0.3}})
            QCOMPARE(lengthText(measured.p1(), measured.p2(), calibrationFor(state, spacing)), text);
    }

    void damagedRecordsAreRefusedWhole_data()
    {
        QTest::addColumn<bool>("overlay");
        QTest::addColumn<QByteArray>("record");
        QTest::newRow("not JSON") << false << QByteArray("\x01\x02garbage");
        QTest::newRow("cut short") << false << QByteArray("{\"v\":1,\"gamma\":1.5,\"inv");
        QTest::newRow("unknown form") << false << QByteArray("{\"v\":7,\"gamma\":1.5}");
        QTest::newRow("gamma zero") << false << QByteArray("{\"v\":1,\"gamma\":0}");
        QTest::newRow("gamma text") << false << QByteArray("{\"v\":1,\"gamma\":\"bright\"}");
        QTest::newRow("seven turns") << false << QByteArray("{\"v\":1,\"turns\":7}");
        QTest::newRow("half a turn") << false << QByteArray("{\"v\":1,\"turns\":0.5}");
        QTest::newRow("window without width") << false << QByteArray("{\"v\":1,\"window\":[100]}");
        QTest::newRow("negative width") << false << QByteArray("{\"v\":1,\"window\":[100,-5]}");
        QTest::newRow("empty crop") << false << QByteArray("{\"v\":1,\"crop\":[0,0,0,10]}");
        QTest::newRow("negative calibration") << false << QByteArray("{\"v\":1,\"mmPerPixel\":-1}");
        QTest::newRow("an array") << false << QByteArray("[1,2,3]");
        QTest::newRow("marks missing") << true << QByteArray("{\"v\":1}");
        QTest::newRow("unknown mark") << true << QByteArray("{\"v\":1,\"items\":[{\"kind\":\"circle\",\"points\":[[1,1]]}]}");
        QTest::newRow("angle of two points")
            << true << QByteArray("{\"v\":1,\"items\":[{\"kind\":\"angle\",\"points\":[[1,1],[2,2]]}]}");
        QTest::newRow("point of one number")
            << true << QByteArray("{\"v\":1,\"items\":[{\"kind\":\"length\",\"points\":[[1],[2,2]]}]}");
        QTest::newRow("text without place") << true << QByteArray("{\"v\":1,\"items\":[{\"kind\":\"text\",\"points\":[]}]}");
    }

    void damagedRecordsAreRefusedWhole()
    {
        QFETCH(bool, overlay);
        QFETCH(QByteArray, record);
        PictureState state;
        state.adjust.gamma = 1.7;
        state.overlay = {{OverlayItem::Text, {QPointF(3, 4)}, QStringLiteral("27 caries")}};
        const PictureState before = state;
        const Outcome outcome = overlay ? readOverlayRecord(record, state) : readAdjustmentsRecord(record, state);
        QVERIFY(!outcome.ok());
        QVERIFY(!outcome.error().isEmpty());
        QCOMPARE(state, before);
    }

    void recordsRoundTrip()
    {
        PictureState state;
        state.adjust = {1234.5, 800, true, 1.4, 1.5, true, 3, true, false, QRect(5, 6, 70, 80)};
        state.userMmPerPixel = 0.0425;
        state.overlayHidden = true;
        state.overlay = {{OverlayItem::Length, {QPointF(1.5, 2), QPointF(250.25, 2)}, {}},
                         {OverlayItem::Angle, {QPointF(0, 0), QPointF(10, 10), QPointF(20, 0)}, {}},
                         {OverlayItem::Text, {QPointF(3, 4)}, QStringLiteral("Periapikale Läsion 36")},
                         {OverlayItem::Arrow, {QPointF(3, 4), QPointF(30, 40)}, {}},
                         {OverlayItem::Freehand, {QPointF(1, 1), QPointF(2, 3), QPointF(4, 2)}, {}}};
        PictureState read;
        QVERIFY(readAdjustmentsRecord(adjustmentsRecord(state), read).ok());
        QVERIFY(readOverlayRecord(overlayRecord(state), read).ok());
        QCOMPARE(read, state);
    }

    void marksStayOnTheirPixel_data()
    {
        QTest::addColumn<Adjustments>("adjust");
        QTest::addColumn<QSize>("target");
        const auto turned = [](int turns, bool h, bool v) {
            Adjustments a;
            a.quarterTurns = turns;
            a.flipHorizontal = h;
            a.flipVertical = v;
            return a;
        };
        for (int turns = 0; turns < 4; ++turns)
            for (int flips = 0; flips < 4; ++flips)
                QTest::addRow("%d turns, flips %d", turns, flips) << turned(turns, flips & 1, flips & 2) << QSize();
        Adjustments cropped = turned(1, true, false);
        cropped.crop = QRect(20, 10, 60, 40);
        QTest::newRow("cropped, turned, flipped") << cropped << QSize();
        QTest::newRow("reduced to half") << turned(3, false, true) << QSize(40, 50);
    }

    void marksStayOnTheirPixel()
    {
        // A bright spot drawn where the overlay maps its file position: the
        // picture and its marks must move together under every adjustment.
        QFETCH(Adjustments, adjust);
        QFETCH(QSize, target);
        SourcePicture source;
        source.image = QImage(100, 80, QImage::Format_Grayscale8);
        source.image.fill(0);
        const QPoint spot(30, 20);
        for (int dy = 0; dy < 2; ++dy)
            for (int dx = 0; dx < 2; ++dx)
                source.image.setPixel(spot + QPoint(dx, dy), qRgb(255, 255, 255));
        source.fileSize = source.image.size();
        PictureState state;
        state.adjust = adjust;
        const QImage shown = renderPicture(source, state, target);
        const ShownGeometry g = shownGeometry(adjust, source.fileSize, source.size(), target);
        QCOMPARE(shown.size(), g.shown);
        QPointF bright;
        double weight = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x) {
                const int v = qGray(shown.pixel(x, y));
                bright += QPointF(x + 0.5, y + 0.5) * v;
                weight += v;
            }
        QVERIFY(weight > 0);
        const QPointF expected = g.fileToShown.map(QPointF(spot) + QPointF(1, 1));
        const QPointF found = bright / weight;
        QVERIFY2(QLineF(found, expected).length() < 1.0,
                 qPrintable(QStringLiteral("spot at %1,%2, mark at %3,%4")
                                .arg(found.x()).arg(found.y()).arg(expected.x()).arg(expected.y())));
    }

    void colourAndEightBitGrey_data()
    {
        QTest::addColumn<QImage::Format>("format");
        QTest::addColumn<Adjustments>("adjust");
        QTest::addColumn<QRgb>("in");
        QTest::addColumn<QRgb>("out");
        Adjustments invert;
        invert.invert = true;
        Adjustments window;
        window.windowCenter = 100;
        window.windowWidth = 100;
        QTest::newRow("colour inverted") << QImage::Format_RGB32 << invert << qRgb(10, 200, 30) << qRgb(245, 55, 225);
        QTest::newRow("colour windowed") << QImage::Format_RGB32 << window << qRgb(40, 100, 160) << qRgb(0, 129, 255);
        QTest::newRow("8-bit grey inverted") << QImage::Format_Grayscale8 << invert << qRgb(60, 60, 60) << qRgb(195, 195, 195);
        QTest::newRow("8-bit grey windowed") << QImage::Format_Grayscale8 << window << qRgb(75, 75, 75) << qRgb(64, 64, 64);
        QTest::newRow("untouched") << QImage::Format_RGB32 << Adjustments() << qRgb(1, 2, 3) << qRgb(1, 2, 3);
    }

    void colourAndEightBitGrey()
    {
        QFETCH(QImage::Format, format);
        QFETCH(Adjustments, adjust);
        QFETCH(QRgb, in);
        QFETCH(QRgb, out);
        SourcePicture source;
        source.image = QImage(8, 8, format);
        source.image.fill(QColor(in));
        source.fileSize = source.image.size();
        PictureState state;
        state.adjust = adjust;
        const QImage shown = renderPicture(source, state, {});
        QCOMPARE(QColor(shown.pixel(4, 4)), QColor(out));
    }

    void equalisationAndSharpeningRaiseContrast()
    {
        // Dull texture spread wider by equalisation; an edge
        // steeper after unsharp masking. Colour keeps its hue.
        QImage dull(256, 256, QImage::Format_Grayscale8);
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x)
                dull.scanLine(y)[x] = uchar(100 + (x * 7 + y * 13) % 32);
        const QImage eq = equalise(dull);
        int low = 255, high = 0;
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) {
                low = std::min(low, int(eq.constScanLine(y)[x]));
                high = std::max(high, int(eq.constScanLine(y)[x]));
            }
        QVERIFY2(high - low > 64, qPrintable(QStringLiteral("%1..%2").arg(low).arg(high)));

        QImage edge(64, 64, QImage::Format_Grayscale8);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                edge.scanLine(y)[x] = x < 32 ? 80 : 160;
        const QImage sharp = unsharp(edge, 1.5);
        QVERIFY(sharp.constScanLine(32)[31] < 80);
        QVERIFY(sharp.constScanLine(32)[32] > 160);
        QCOMPARE(int(sharp.constScanLine(32)[5]), 80); // flat areas stay

        QImage colour(64, 64, QImage::Format_RGB32);
        colour.fill(qRgb(120, 60, 30));
        const QColor c = QColor(equalise(colour).pixel(10, 10));
        QVERIFY2(std::abs(c.hsvHue() - QColor(qRgb(120, 60, 30)).hsvHue()) <= 2, qPrintable(c.name()));
    }
};

QTEST_GUILESS_MAIN(TestPictureAdjust)
#include "tst_pictureadjust.moc"
