#include "controls/ilsformat.h"
#include "sampledrawing.h"
#include "support/peakmemory.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

using namespace tovradocs;
using namespace tovradocs::Internal;

namespace {

// Rewrites the header's length and checksum after a test changed the body.
QByteArray resealed(QByteArray file)
{
    const QByteArray body = file.mid(20);
    qToBigEndian(quint32(body.size()), file.data() + 12);
    qToBigEndian(crc32(body), file.data() + 16);
    return file;
}

QByteArray withBody(const QByteArray &body)
{
    return resealed(writeIls(Drawing()).left(20) + body);
}

QByteArray be32(quint32 v)
{
    QByteArray b(4, 0);
    qToBigEndian(v, b.data());
    return b;
}

} // namespace

class TestIlsFormat : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyKindComesBackIdentical()
    {
        const Drawing original = Testing::everyKindDrawing();
        const Result<Drawing> loaded = readIls(writeIls(original));
        QVERIFY2(loaded.ok(), qPrintable(loaded.error()));
        QCOMPARE(loaded->objects.size(), original.objects.size());
        for (int i = 0; i < original.objects.size(); ++i)
            QVERIFY2(loaded->objects.at(i) == original.objects.at(i), qPrintable(QString::number(i)));
        QVERIFY(*loaded == original);
        // Writing what was read gives the same bytes: nothing drifts on each save.
        QCOMPARE(writeIls(*loaded), writeIls(original));

        // An empty drawing keeps its canvas and background, extremes included.
        Drawing empty;
        empty.canvas = QSize(1, 20000);
        empty.background = QColor(1, 2, 3, 4);
        QCOMPARE(*readIls(writeIls(empty)), empty);
    }

    void crcMatchesZlib()
    {
        QCOMPARE(crc32("123456789"), 0xCBF43926u);
        QCOMPARE(crc32(""), 0u);
    }

    void refusesBadInput_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        const QByteArray good = writeIls(Testing::everyKindDrawing());

        QByteArray newer = good;
        qToBigEndian(quint16(2), newer.data() + 8);
        QByteArray flipped = good;
        flipped[good.size() / 2] = char(flipped[good.size() / 2] ^ 0x40);
        QByteArray nan = withBody(be32(640) + be32(480) + be32(0xffffffff) + be32(1) + QByteArray(1, 3)
                                  + QByteArray::fromHex("7ff8000000000000") + QByteArray(200, 0));

        QByteArray deep;
        DrawObject nested = Testing::sampleObject(ShapeKind::Rectangle, 1);
        for (int i = 0; i < 20; ++i) {
            DrawObject g;
            g.kind = ShapeKind::Group;
            g.children = {nested};
            nested = g;
            Drawing d;
            d.objects << g;
            deep = writeIls(d);
            if (i == 14) // 15 levels are still fine
                QVERIFY(readIls(deep).ok());
        }

        QTest::newRow("empty") << QByteArray() << "not an illustration";
        QTest::newRow("other file") << QByteArray("\x89PNG\r\n\x1a\n and more bytes here") << "not an illustration";
        QTest::newRow("newer version") << newer << "newer version";
        QTest::newRow("cut short") << good.left(good.size() - 7) << "cut short";
        QTest::newRow("damaged byte") << flipped << "checksum";
        QTest::newRow("huge object count") << withBody(be32(640) + be32(480) + be32(0) + be32(0xffffffff)) << "counts more";
        QTest::newRow("zero canvas") << withBody(be32(0) + be32(480) + be32(0) + be32(0)) << "canvas size";
        QTest::newRow("huge canvas") << withBody(be32(90000) + be32(480) + be32(0) + be32(0)) << "canvas size";
        QTest::newRow("unknown kind") << withBody(be32(640) + be32(480) + be32(0) + be32(1) + QByteArray(1, 99) + QByteArray(200, 0)) << "unknown kind";
        QTest::newRow("NaN position") << nan << "impossible position";
        QTest::newRow("groups nested too deeply") << deep << "too deeply";
        QTest::newRow("trailing bytes") << resealed(good + "xyz") << "after the last object";
        QTest::newRow("body ends inside object") << resealed(good.left(good.size() - 30)) << "ends too early";
    }

    void refusesBadInput()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        const Result<Drawing> loaded = readIls(bytes);
        QVERIFY(!loaded.ok());
        QVERIFY2(loaded.error().contains(message), qPrintable(loaded.error()));
    }

    void limitsBoundPictures()
    {
        const QByteArray file = writeIls(Testing::everyKindDrawing());
        IlsLimits tight;
        tight.maxPicturePixels = 33 * 21 - 1;
        const Result<Drawing> refused = readIls(file, tight);
        QVERIFY(!refused.ok());
        QVERIFY2(refused.error().contains("too large"), qPrintable(refused.error()));

        // A picture whose PNG is damaged inside a file with a good checksum.
        Drawing d;
        DrawObject pic = Testing::sampleObject(ShapeKind::Picture, 1);
        pic.picture = Testing::samplePicture(QSize(8, 8), Qt::red);
        pic.pictureData = QByteArray("\x89PNG\r\n\x1a\n") + QByteArray(40, 'x');
        d.objects << pic;
        QVERIFY(!readIls(writeIls(d)).ok());
    }

    void hostileDrawingsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        Drawing many;
        many.objects.fill(Testing::sampleObject(ShapeKind::Rectangle, 1), 100'001);
        DrawObject group = Testing::sampleObject(ShapeKind::Group, 1);
        group.children = many.objects.mid(1);
        Drawing grouped;
        grouped.objects = {group, group};

        QTest::newRow("fifteen 8000 x 8000 one-bit pictures")
            << writeIls(Testing::bigPicturesDrawing(15, 8000))
            << "a picture of 8000 x 8000 pixels, "
               "too large for a drawing (a picture may hold 8.4 million pixels)";
        QTest::newRow("fifteen 2048 x 2048 pictures")
            << writeIls(Testing::bigPicturesDrawing(15, 2048))
            << "together they hold more than 8.4 million pixels";
        QTest::newRow("100001 objects")
            << writeIls(many) << "more objects than a drawing can (100000)";
        QTest::newRow("two groups of 100000 objects")
            << writeIls(grouped) << "more objects than a drawing can";
    }

    void hostileDrawingsAreRefused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        std::optional<Result<Drawing>> loaded;
        const qint64 growth = Testing::peakGrowth([&] { loaded = readIls(bytes); });
        QVERIFY(!loaded->ok());
        QVERIFY2(loaded->error().contains(message), qPrintable(loaded->error()));
        QVERIFY2(growth < 256 * Testing::MiB,
                 qPrintable(QStringLiteral("%1 MB").arg(growth / Testing::MiB)));
    }

    void drawingsAtTheLimitsOpen()
    {
        // Two pictures of 2048 x 2048 hold exactly what a drawing may.
        const Result<Drawing> pictures = readIls(writeIls(Testing::bigPicturesDrawing(2, 2048)));
        QVERIFY2(pictures.ok(), qPrintable(pictures.error()));
        QCOMPARE(picturePixels(pictures->objects), IlsLimits().maxTotalPixels);
        const QImage &read = pictures->objects.last().picture;
        QVERIFY(read.pixel(50, 50) != read.pixel(51, 50));

        Drawing many;
        many.objects.fill(Testing::sampleObject(ShapeKind::Line, 2), IlsLimits().maxObjects);
        QVERIFY(readIls(writeIls(many)).ok());

        // A file larger than any drawing is refused before it is read.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("huge.ils"));
        QFile huge(path);
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(kMaxIlsFileSize + 1));
        huge.close();
        const Result<Drawing> refused = loadIlsFile(path);
        QVERIFY(!refused.ok());
        QVERIFY2(refused.error().contains("huge.ils is too large for an illustration"),
                 qPrintable(refused.error()));
    }

    void saveReplacesTheFileWhole()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("plan.ils"));
        const Drawing first = Testing::everyKindDrawing();
        QVERIFY(saveIlsFile(path, first).ok());
        Drawing second;
        second.canvas = QSize(100, 100);
        QVERIFY(saveIlsFile(path, second).ok());
        QCOMPARE(*loadIlsFile(path), second);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList {QStringLiteral("plan.ils")});

        // A folder that cannot take the temporary file: the old file stays.
        const QString missing = dir.filePath(QStringLiteral("gone/plan.ils"));
        const Outcome failed = saveIlsFile(missing, first);
        QVERIFY(!failed.ok());
        QVERIFY(failed.error().contains(missing));
        QVERIFY(!loadIlsFile(missing).ok());
        QCOMPARE(*loadIlsFile(path), second);
    }
};

QTEST_MAIN(TestIlsFormat)
#include "tst_ilsformat.moc"
