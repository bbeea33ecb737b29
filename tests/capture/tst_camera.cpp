#include "capturefixture.h"

#include "capture/cameradevice.h"
#include "capture/camerapictures.h"
#include "library/acquisitionhooks.h"

#include <tovradocs/dokumentz.h>

#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using namespace tovradocs;
using namespace tovradocs::Internal;
using namespace tovradocs::Testing;

// libgphoto2's folder-backed "Directory Browse" camera stands in for a card.
class TestCamera : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void listsPicturesAndDownloadsThem();
    void chosenPicturesGoToTheBatchImport();
    void cameraThatCannotCaptureSaysSo();
    void pictureTakenGoesIntoTheBook();

private:
    CameraPort port() const { return {u"Directory Browse"_qs, u"disk:"_qs + m_card}; }

    CaptureFixture m_fx;
    QString m_card;
    QHash<QString, QColor> m_colours;
};

void TestCamera::init()
{
    QVERIFY(m_fx.open());
    m_card = m_fx.path(u"card"_qs);
    const QString dcim = m_card + u"/DCIM/100TEST"_qs;
    QVERIFY(QDir().mkpath(dcim));
    m_colours = {{u"IMG_0001.JPG"_qs, Qt::red}, {u"IMG_0002.JPG"_qs, Qt::green}, {u"IMG_0003.JPG"_qs, Qt::blue}};
    for (auto it = m_colours.cbegin(); it != m_colours.cend(); ++it) {
        QImage picture(160, 120, QImage::Format_RGB32);
        picture.fill(it.value());
        QVERIFY(picture.save(dcim + u'/' + it.key(), "JPG"));
    }
    // Things a card also holds: notes, and a picture that is damaged.
    QVERIFY(writeFile(dcim + u"/README.TXT"_qs, "not a picture"));
    QVERIFY(writeFile(dcim + u"/DAMAGED.JPG"_qs, "\xFF\xD8\xFF\xE0 cut short"));
    CameraDevice::setExtraPorts({port()});
}

void TestCamera::cleanup()
{
    CameraDevice::setExtraPorts({});
    CameraDevice::setShutterStandIn({});
    batchImportHook() = nullptr;
    m_fx.close();
}

void TestCamera::listsPicturesAndDownloadsThem()
{
    auto camera = CameraDevice::open(port());
    QVERIFY2(camera.ok(), qPrintable(camera.error()));
    QStringList names;
    for (const CameraFile &file : (*camera)->pictures()) {
        names << file.name;
        QCOMPARE(file.folder, u"/DCIM/100TEST"_qs);
        const auto bytes = (*camera)->download(file);
        QVERIFY(bytes.ok());
        QCOMPARE(*bytes, fileContents(m_card + u"/DCIM/100TEST/"_qs + file.name));
    }
    names.sort();
    QCOMPARE(names, QStringList({u"DAMAGED.JPG"_qs, u"IMG_0001.JPG"_qs, u"IMG_0002.JPG"_qs, u"IMG_0003.JPG"_qs}));
    QVERIFY(!(*camera)->download({u"/DCIM/100TEST"_qs, u"GONE.JPG"_qs, u"image/jpeg"_qs}).ok());
    QVERIFY(!CameraDevice::open({u"No Such Camera"_qs, u"disk:/"_qs}).ok());
}

void TestCamera::chosenPicturesGoToTheBatchImport()
{
    QStringList offered;
    QStringList ticked;
    m_fx.responder.pushModal([&](QDialog *dialog) {
        auto *list = child<QListWidget>(dialog, "lstPictures");
        for (int i = 0; i < list->count(); ++i)
            offered << list->item(i)->text();
        for (int i : {list->count() - 1, 0})
            list->item(i)->setCheckState(Qt::Checked);
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->checkState() == Qt::Checked)
                ticked << list->item(i)->text();
        child<QPushButton>(dialog, "cmdOK")->click();
        return dialog->result();
    });
    QStringList imported;
    qint32 source = 0;
    batchImportHook() = [&](QWidget *, const QStringList &files, Dokumentz &documents) {
        imported = files;
        source = documents.DefSourceID;
        QCOMPARE(documents.DefDocumentType, 1);
        QCOMPARE(documents.DefFileType, 1);
    };
    acquisitionHooks().pictureFromDevice(nullptr, CaptureFixture::kBook, u"Smith"_qs);

    // The damaged picture and the notes are not offered.
    offered.sort();
    QCOMPARE(offered, QStringList({u"IMG_0001.JPG"_qs, u"IMG_0002.JPG"_qs, u"IMG_0003.JPG"_qs}));
    QCOMPARE(source, CaptureFixture::kBook);
    QCOMPARE(imported.size(), 2);
    // Consecutive keys in the order of the list, each file with its picture.
    const QString first = QFileInfo(imported.at(0)).completeBaseName();
    QCOMPARE(QFileInfo(imported.at(1)).completeBaseName().toInt(), first.toInt() + 1);
    for (int i = 0; i < 2; ++i) {
        QVERIFY(imported.at(i).endsWith(u".jpg"_qs));
        const QImage stored(imported.at(i));
        const QColor expected = m_colours.value(ticked.at(i));
        const QColor got = stored.pixelColor(80, 60);
        QVERIFY(qAbs(got.red() - expected.red()) < 16 && qAbs(got.green() - expected.green()) < 16
                && qAbs(got.blue() - expected.blue()) < 16);
    }
}

void TestCamera::cameraThatCannotCaptureSaysSo()
{
    acquisitionHooks().cameraPicture(nullptr, CaptureFixture::kBook, u"Smith"_qs);
    QCOMPARE(messageTexts(m_fx.responder), QStringList(u"Selected device does not support this command !"_qs));
    QCOMPARE(m_fx.scalar(u"Select Count(*) From BookContents"_qs), 0);
    QCOMPARE(m_fx.link->callsOf(u"GenerateEntrycode"_qs).size(), 0);
}

void TestCamera::pictureTakenGoesIntoTheBook()
{
    CameraDevice::setShutterStandIn([this]() -> Result<CameraFile> {
        QImage picture(320, 240, QImage::Format_RGB32);
        picture.fill(Qt::yellow);
        if (!picture.save(m_card + u"/DCIM/100TEST/IMG_0100.JPG"_qs, "JPG"))
            return Result<CameraFile>::failure(u"card full"_qs);
        return CameraFile{u"/DCIM/100TEST"_qs, u"IMG_0100.JPG"_qs, u"image/jpeg"_qs};
    });
    m_fx.responder.pushModal([](QDialog *dialog) {
        child<QLineEdit>(dialog, "txtDescription")->setText(u"Smile line"_qs);
        child<QPushButton>(dialog, "cbOK")->click();
        return dialog->result();
    });
    acquisitionHooks().cameraPicture(nullptr, CaptureFixture::kBook, u"Smith"_qs);

    QCOMPARE(messageTexts(m_fx.responder), QStringList());
    QCOMPARE(m_fx.scalar(u"Select Count(*) From BookContents Where BookCode = 5"_qs), 1);
    const QVariantMap row = m_fx.row(qint32(m_fx.scalar(u"Select Entry_Code From BookContents Where BookCode = 5"_qs)));
    QCOMPARE(row.value(u"description"_qs).toString(), u"Smile line"_qs);
    const QImage stored(row.value(u"filename"_qs).toString());
    QCOMPARE(stored.size(), QSize(320, 240));
    const QColor got = stored.pixelColor(160, 120);
    QVERIFY(got.red() > 230 && got.green() > 230 && got.blue() < 40);
    // The card keeps its picture.
    QVERIFY(QFile::exists(m_card + u"/DCIM/100TEST/IMG_0100.JPG"_qs));
}

QTEST_MAIN(TestCamera)
#include "tst_camera.moc"
