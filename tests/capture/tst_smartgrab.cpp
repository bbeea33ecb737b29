#include "capturefixture.h"
#include "fakecamera.h"

#include "capture/capturedialogs.h"
#include "capture/grabcontroller.h"
#include "media/captureclipreader.h"
#include "media/captureframestamp.h"
#include "media/capturepipeline.h"

#include <tovradocs/capturer.h>
#include <tovradocs/hostobjects.h>

#include <QAction>
#include <QCheckBox>
#include <QDirIterator>
#include <QComboBox>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QScopeGuard>
#include <QToolBar>

#include <gst/gst.h>

#include <csignal>
#include <sys/resource.h>

using namespace tovradocs;
using namespace tovradocs::Internal;
using namespace tovradocs::Testing;

class TestSmartGrab : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { FakeCamera::install(); }
    void init() { QVERIFY(m_fx.open()); }
    void cleanup();

    void snapsBecomeConsecutiveEntries();
    void stillIsTheFrameOnScreen();
    void stillThatCannotBeWrittenStoresNoRow();
    void capturesLandInTheChosenBook();
    void captureServerGetsTheHostsParent();
    void controlBarAndDriverChoice();
    void noHardwareClosesTheEnvironment();
    void immediateVideoRecordsOnceAndCloses();
    void cancelledRecordingAddsNothing();
    void unpluggedCameraKeepsThePlayableClip();
    void camerasComeAndGoInTheDriverList();
    void cameraThatCannotOpenIsReported();
    void h264OfferedOnlyWithAnEncoder();
    void recordingDialogRoundTrip();
    void preferencesRoundTrip_data();
    void preferencesRoundTrip();
    void blackPreferenceColoursNextWindow();
    void frameByFrameCapture();
    void fileSizeDialog();

private:
    SmartGrab *openCapture(Capturer &capturer)
    {
        CaptureFixture::showCapture(capturer);
        SmartGrab *grab = m_fx.grab();
        // Keys are handed out at the first activation.
        if (grab && !QTest::qWaitFor([grab] { return grab->entryCode() > 0; }, 5000))
            return nullptr;
        return grab;
    }

    // The library file of a stored entry, once its row is there.
    QString storedFile(qint32 entryCode)
    {
        QString file;
        if (!QTest::qWaitFor([&] { return !(file = m_fx.row(entryCode).value(u"filename"_qs).toString()).isEmpty(); }, 5000))
            qWarning() << "no row" << entryCode;
        return file;
    }

    CaptureFixture m_fx;
};

void TestSmartGrab::cleanup()
{
    m_fx.close();
    FakeCamera::unplug();
    // Every pipeline ended with its window.
    QTRY_COMPARE(CapturePipeline::livePipelines(), 0);
}

void TestSmartGrab::snapsBecomeConsecutiveEntries()
{
    Capturer capturer;
    QStringList asked;
    connect(&capturer, &Capturer::GetNextTempImageFileName, this,
            [&](QString &name) { asked << u"image"_qs; name = u"tmp.jpg"_qs; }, Qt::DirectConnection);
    connect(&capturer, &Capturer::GetNextTempVideoFileName, this,
            [&](QString &name) { asked << u"video"_qs; name = u"tmp.avi"_qs; }, Qt::DirectConnection);
    QSignalSpy saved(&capturer, &Capturer::ImageFileSaved);
    SmartGrab *grab = openCapture(capturer);
    QVERIFY(grab);
    QCOMPARE(asked, QStringList({u"image"_qs, u"video"_qs}));
    QCOMPARE(grab->currentFrameFile(), u"tmp.jpg"_qs);
    QVERIFY(m_fx.link->sqlTexts().contains(u"Select * From BookContents where BookCode = -1"_qs));

    const qint32 first = grab->entryCode();
    QTest::keyClick(grab, Qt::Key_F5);
    QTest::keyClick(grab, Qt::Key_Space);
    grab->TranslateToMenuClicks(154);
    QTRY_COMPARE(saved.count(), 3);
    QCOMPARE(m_fx.link->callsOf(u"GenerateEntrycode"_qs).size(), 1);
    QCOMPARE(grab->entryCode(), first + 3);

    QSet<QString> files;
    for (int i = 0; i < 3; ++i) {
        const QVariantMap row = m_fx.row(first + i);
        QCOMPARE(row.value(u"entrytype"_qs).toInt(), 1);
        QCOMPARE(row.value(u"bookcode"_qs).toInt(), CaptureFixture::kBook);
        QCOMPARE(row.value(u"description"_qs).toString(), u"Desc"_qs);
        const QString file = row.value(u"filename"_qs).toString();
        QVERIFY(file.endsWith(u".jpg"_qs));
        // Full resolution, in the format the extension names.
        QImageReader reader(file);
        QCOMPARE(reader.format(), QByteArray("jpeg"));
        QCOMPARE(reader.size(), QSize(320, 240));
        files << file;
        QCOMPARE(saved.at(i).at(0).toString(), file);
        QCOMPARE(saved.at(i).at(1).toString(), QString::number(first + i));
    }
    QCOMPARE(files.size(), 3);
    QCOMPARE(m_fx.responder.prompts().size(), 0);
}

// The still is the picture on screen when the key went down, not one taken
// after it: the test pattern's frame numbers tell them apart.
void TestSmartGrab::stillIsTheFrameOnScreen()
{
    Capturer capturer;
    SmartGrab *grab = openCapture(capturer);
    QVERIFY(grab);
    // The keys go to the picture, not to the driver list beside it.
    QCOMPARE(m_fx.background()->focusWidget(), grab);
    for (int i = 0; i < 3; ++i) {
        const qint64 onScreen = CaptureFrameStamp::read(grab->capwnd()->frame());
        QVERIFY(onScreen >= 0);
        const qint32 code = grab->entryCode();
        QTest::keyClick(m_fx.background()->focusWidget(), i == 1 ? Qt::Key_Space : Qt::Key_F5);
        const QString file = storedFile(code);
        QVERIFY(!file.isEmpty());
        QCOMPARE(CaptureFrameStamp::read(QImage(file)), onScreen);
        // The next round takes a later picture.
        QTRY_VERIFY(CaptureFrameStamp::read(grab->capwnd()->frame()) > onScreen);
    }
}

// A still whose file cannot be written (here: the disk is full) says so and
// stores no row; the next one works.
void TestSmartGrab::stillThatCannotBeWrittenStoresNoRow()
{
    Capturer capturer;
    QSignalSpy saved(&capturer, &Capturer::ImageFileSaved);
    SmartGrab *grab = openCapture(capturer);
    QVERIFY(grab);
    rlimit before {};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &before) == 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit full {1000, before.rlim_max};
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &full) == 0);
    const auto roomAgain = [&] {
        ::setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, oldHandler);
    };
    auto restore = qScopeGuard(roomAgain);
    const qint32 code = grab->entryCode();
    QTest::keyClick(grab, Qt::Key_F5);
    QTRY_COMPARE(messageTexts(m_fx.responder), QStringList(u"Problem saving frame"_qs));
    restore.dismiss();
    roomAgain();
    QCOMPARE(saved.count(), 0);
    QCOMPARE(m_fx.scalar(u"Select Count(*) From BookContents"_qs), 0);
    // No half-written file is left in the library either.
    const QString folder = m_fx.link->GetLibraryFilesFolder();
    QDirIterator left(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    QVERIFY2(!left.hasNext(), qPrintable(left.hasNext() ? left.next() : QString()));

    QTest::keyClick(grab, Qt::Key_F5);
    QTRY_COMPARE(saved.count(), 1);
    QCOMPARE(saved.at(0).at(1).toString(), QString::number(code + 1));
}

// The library window's capture fills its book; a capture the host opens later
// fills the book selected then, whether or not the first one is still open.
void TestSmartGrab::capturesLandInTheChosenBook()
{
    constexpr qint32 kOther = 6;
    m_fx.addBook(kOther, u"Jones"_qs, 2);
    auto lib = LibraryFixture::openLibrary(CaptureFixture::kBook);
    auto *books = child<QComboBox>(lib.get(), "cboBooks");
    const auto snapInto = [&](qint32 book) {
        SmartGrab *grab = m_fx.grab();
        QVERIFY(grab);
        QTRY_VERIFY(grab->entryCode() > 0);
        const qint32 code = grab->entryCode();
        QTest::keyClick(grab, Qt::Key_F5);
        QTRY_COMPARE(m_fx.row(code).value(u"bookcode"_qs).toInt(), book);
    };

    lib->tbrLibCommand(u"Capture"_qs);
    QCOMPARE(m_fx.background()->windowTitle(), u"Capture Images for Smith"_qs);
    snapInto(CaptureFixture::kBook);
    m_fx.grab()->TranslateToMenuClicks(208);
    QTRY_VERIFY(!CaptureEnvironment::background());

    books->setCurrentIndex(books->findData(kOther));
    Capturer host;
    host.ShowCapture(u"Jones"_qs);
    snapInto(kOther);

    // The library's capture again while the host's is open, then the host's
    // again with the other book chosen: each opens anew on its own book.
    books->setCurrentIndex(books->findData(CaptureFixture::kBook));
    lib->tbrLibCommand(u"Capture"_qs);
    snapInto(CaptureFixture::kBook);
    books->setCurrentIndex(books->findData(kOther));
    host.ShowCapture(u"Jones"_qs);
    snapInto(kOther);

    // Closed and opened again in one dispatch: a new window, not the dying one.
    QPointer<QWidget> closing = m_fx.background();
    m_fx.grab()->TranslateToMenuClicks(208);
    host.ShowCapture(u"Jones"_qs);
    QVERIFY(m_fx.background() && m_fx.background() != closing);
    QVERIFY(m_fx.background()->isVisible());
    snapInto(kOther);
    QCOMPARE(m_fx.responder.prompts().size(), 0);
}

void TestSmartGrab::captureServerGetsTheHostsParent()
{
    struct Server : CaptureServer
    {
        QList<QVariantList> *calls;
        void SetDataLink(std::shared_ptr<DataLink> link, QWidget *parent) override
        {
            *calls << QVariantList {bool(link), QVariant::fromValue<void *>(parent)};
        }
        void CaptureImages(qint32 book, const QString &name) override { *calls << QVariantList {book, name}; }
    };
    QList<QVariantList> calls;
    hostObjectFactories().captureServer = [&calls] {
        auto server = std::make_unique<Server>();
        server->calls = &calls;
        return server;
    };
    QWidget owner;
    setHostLink(m_fx.link, &owner);
    m_fx.host->setSetting(104, true);
    auto lib = LibraryFixture::openLibrary(CaptureFixture::kBook);
    lib->tbrLibCommand(u"Capture"_qs);
    hostObjectFactories().captureServer = nullptr;
    setHostLink(m_fx.link, nullptr);
    const QList<QVariantList> expected {{true, QVariant::fromValue<void *>(&owner)},
                                        {CaptureFixture::kBook, u"Smith"_qs}};
    QCOMPARE(calls, expected);
    QVERIFY(!CaptureEnvironment::background());
}

void TestSmartGrab::controlBarAndDriverChoice()
{
    // A remembered driver beyond those installed falls back to the first.
    CaptureFixture::setting(u"driver"_qs, u"index"_qs, u"7"_qs);
    Capturer capturer;
    SmartGrab *grab = openCapture(capturer);
    QVERIFY(grab);
    QCOMPARE(grab->driverIndex(), 0);
    QCOMPARE(grab->driverCount(), 1);
    auto *drivers = child<QComboBox>(m_fx.background(), "cboDrivers");
    QCOMPARE(drivers->count(), 1);
    QCOMPARE(drivers->itemText(0), u"Test Pattern 1.0"_qs);
    QCOMPARE(drivers->currentIndex(), 0);

    auto *bar = child<QToolBar>(m_fx.background(), "tbrCapture");
    // The test pattern offers only a format dialog.
    QVERIFY(!child<QAction>(bar, "757CK")->isEnabled());
    QVERIFY(child<QAction>(bar, "253CK")->isEnabled());
    QVERIFY(!child<QAction>(bar, "813CK")->isEnabled());

    // Unknown numbers do nothing; the toolbar's snap makes an entry.
    const qint32 code = grab->entryCode();
    for (qint16 command : {0, 1, 155, 811, 999})
        grab->TranslateToMenuClicks(command);
    QCOMPARE(grab->entryCode(), code);
    QCOMPARE(m_fx.responder.prompts().size(), 0);
    child<QAction>(bar, "154CK")->trigger();
    QCOMPARE(grab->entryCode(), code + 1);

    // Choosing the driver stores it; Close ends the environment.
    grab->RemoteSelectDriver(0);
    QCOMPARE(CaptureSettings::value(u"driver"_qs, u"index"_qs, QString()), u"0"_qs);
    child<QAction>(bar, "208CK")->trigger();
    QTRY_VERIFY(!CaptureEnvironment::background());
}

void TestSmartGrab::noHardwareClosesTheEnvironment()
{
    CaptureDrivers::setTestPatternEnabled(false);
    Capturer capturer;
    CaptureFixture::showCapture(capturer);
    QTRY_VERIFY(!CaptureEnvironment::background());
    QCOMPARE(messageTexts(m_fx.responder), QStringList(u"No capture hardware detected"_qs));
    QCOMPARE(m_fx.link->callsOf(u"GenerateEntrycode"_qs).size(), 0);
}

void TestSmartGrab::immediateVideoRecordsOnceAndCloses()
{
    CaptureFixture::setting(u"capture settings"_qs, u"time limit"_qs, u"1"_qs);
    CaptureFixture::setting(u"capture settings"_qs, u"seconds"_qs, u"1"_qs);
    CaptureFixture::setting(u"capture settings"_qs, u"fps"_qs, u"20"_qs);
    m_fx.answerRecording(true);
    Capturer capturer;
    QSignalSpy saved(&capturer, &Capturer::VideoFileSaved);
    QSignalSpy images(&capturer, &Capturer::ImageFileSaved);
    CaptureFixture::showCapture(capturer, true);
    QTRY_COMPARE_WITH_TIMEOUT(saved.count(), 1, 15000);
    QTRY_VERIFY(!CaptureEnvironment::background());
    QCOMPARE(images.count(), 0);

    const QString file = saved.at(0).at(0).toString();
    const QVariantMap row = m_fx.row(saved.at(0).at(1).toString().toInt());
    QCOMPARE(row.value(u"entrytype"_qs).toInt(), 2);
    QCOMPARE(row.value(u"filename"_qs).toString(), file);
    QVERIFY(file.endsWith(u".avi"_qs));
    // One second at 20 frames a second: 20 frames, one after the other as
    // the source numbered them.
    QList<qint64> stamps;
    const auto clip = CaptureClipReader::read(file, [&](const QImage &f) { stamps << CaptureFrameStamp::read(f); });
    QVERIFY2(clip.ok(), qPrintable(clip.error));
    QCOMPARE(clip.size, QSize(320, 240));
    QCOMPARE(clip.frames, 20);
    for (int i = 1; i < stamps.size(); ++i)
        QCOMPARE(stamps.at(i), stamps.first() + i);
    QCOMPARE(m_fx.scalar(u"Select Count(*) From BookContents Where BookCode = 5"_qs), 1);
}

void TestSmartGrab::cancelledRecordingAddsNothing()
{
    Capturer capturer;
    QSignalSpy saved(&capturer, &Capturer::VideoFileSaved);
    SmartGrab *grab = openCapture(capturer);
    QVERIFY(grab);
    m_fx.answerRecording(false);
    QTest::keyClick(grab, Qt::Key_F8);
    QVERIFY(!grab->isRecording());
    QCOMPARE(saved.count(), 0);
    QCOMPARE(m_fx.scalar(u"Select Count(*) From BookContents"_qs), 0);
    QCOMPARE(messageTexts(m_fx.responder).join(u'|'), QString());
}

void TestSmartGrab::unpluggedCameraKeepsThePlayableClip()
{
    FakeCamera::plugIn();
    Capturer capturer;
    QSignalSpy saved(&capturer, &Capturer::VideoFileSaved);
    SmartGrab *grab = openCapture(capturer);
    QVERIFY(grab);
    // Cameras come before the test pattern; the first driver is connected.
    auto *drivers = child<QComboBox>(m_fx.background(), "cboDrivers");
    QCOMPARE(itemTexts(drivers), QStringList({u"Intraoral Camera (test)"_qs, u"Test Pattern 1.0"_qs}));
    QCOMPARE(grab->source()->name(), u"Intraoral Camera"_qs);
    QCOMPARE(grab->source()->currentFrame().size(), QSize(320, 240));
    m_fx.answerRecording(true);
    grab->TranslateToMenuClicks(812);
    QVERIFY(grab->isRecording());
    QVERIFY(grab->capwnd()->isRecording());
    QTRY_VERIFY(grab->framesRecorded() >= 5);

    FakeCamera::unplug();
    QTRY_COMPARE_WITH_TIMEOUT(saved.count(), 1, 10000);
    QTRY_COMPARE(messageTexts(m_fx.responder),
                 QStringList(u"The capture device was disconnected or stopped responding. "
                             u"The video recorded until then has been saved."_qs));
    QVERIFY(!grab->isRecording());
    QVERIFY(!grab->capwnd()->isRecording());
    const QString file = saved.at(0).at(0).toString();
    QCOMPARE(m_fx.row(saved.at(0).at(1).toString().toInt()).value(u"entrytype"_qs).toInt(), 2);
    QFile avi(file);
    QVERIFY(avi.open(QIODevice::ReadOnly));
    QVERIFY(avi.readAll().contains("idx1"));
    const auto clip = CaptureClipReader::read(file);
    QVERIFY2(clip.ok(), qPrintable(clip.error));
    QCOMPARE(clip.frames, grab->framesRecorded());
    QVERIFY(clip.frames >= 5);
    // Nothing of the camera runs on; the list has let it go.
    QCOMPARE(CapturePipeline::livePipelines(), 0);
    QTRY_COMPARE(itemTexts(drivers), QStringList(u"Test Pattern 1.0"_qs));
    // The window stays open without a source; snapping then does nothing,
    // and another driver can be chosen.
    QVERIFY(CaptureEnvironment::background());
    QVERIFY(!grab->source());
    grab->TranslateToMenuClicks(154);
    QCOMPARE(m_fx.scalar(u"Select Count(*) From BookContents"_qs), 1);
    grab->RemoteSelectDriver(0);
    QVERIFY(grab->source() && grab->source()->isTestPattern());
    QCOMPARE(CapturePipeline::livePipelines(), 1);
}

void TestSmartGrab::camerasComeAndGoInTheDriverList()
{
    Capturer capturer;
    SmartGrab *grab = openCapture(capturer);
    QVERIFY(grab);
    auto *drivers = child<QComboBox>(m_fx.background(), "cboDrivers");
    CaptureSource *pattern = grab->source();
    QCOMPARE(itemTexts(drivers), QStringList(u"Test Pattern 1.0"_qs));

    // Plugged in: listed first; the connected pattern keeps running, ticked where it now stands.
    FakeCamera::plugIn();
    QTRY_COMPARE(itemTexts(drivers), QStringList({u"Intraoral Camera (test)"_qs, u"Test Pattern 1.0"_qs}));
    QCOMPARE(grab->source(), pattern);
    QCOMPARE(grab->driverIndex(), 1);
    QCOMPARE(drivers->currentIndex(), 1);
    QVERIFY(child<QAction>(grab, "mnuDriver_1")->isChecked());

    // Pulled out while not in use: gone from the list, nothing else changes.
    FakeCamera::unplug();
    QTRY_COMPARE(itemTexts(drivers), QStringList(u"Test Pattern 1.0"_qs));
    QCOMPARE(grab->source(), pattern);
    QCOMPARE(drivers->currentIndex(), 0);
    QCOMPARE(messageTexts(m_fx.responder), QStringList());
}

void TestSmartGrab::cameraThatCannotOpenIsReported()
{
    FakeCamera::plugIn(FakeCamera::Kind::Broken);
    Capturer capturer;
    SmartGrab *grab = openCapture(capturer);
    QVERIFY(grab);
    QCOMPARE(messageTexts(m_fx.responder), QStringList(u"could not connect to capture driver"_qs));
    QVERIFY(!grab->source());
    QCOMPARE(CapturePipeline::livePipelines(), 0);
    // The test pattern still works from the same window.
    grab->RemoteSelectDriver(1);
    QVERIFY(grab->source() && grab->source()->isTestPattern());
}

// The H.264 choice follows what is installed: with the encoder it is offered
// and records MP4; without it, it is not offered and clips are AVI again.
void TestSmartGrab::h264OfferedOnlyWithAnEncoder()
{
    GstRegistry *registry = gst_registry_get();
    GstPluginFeature *encoder = gst_registry_lookup_feature(registry, "x264enc");
    if (!encoder)
        QSKIP("x264enc is not installed (gstreamer1.0-plugins-ugly)");
    const auto putBack = qScopeGuard([&] {
        if (GstPluginFeature *present = gst_registry_lookup_feature(registry, "x264enc"))
            gst_object_unref(present);
        else
            gst_registry_add_feature(registry, encoder);
        gst_object_unref(encoder);
    });
    CaptureFixture::setting(u"capture settings"_qs, u"time limit"_qs, u"1"_qs);
    CaptureFixture::setting(u"capture settings"_qs, u"seconds"_qs, u"1"_qs);
    CaptureFixture::setting(u"capture settings"_qs, u"fps"_qs, u"25"_qs);
    Capturer capturer;
    QSignalSpy saved(&capturer, &Capturer::VideoFileSaved);
    SmartGrab *grab = openCapture(capturer);
    QVERIFY(grab);
    const auto recordOne = [&] {
        m_fx.answerRecording(true);
        grab->TranslateToMenuClicks(812);
        QTRY_VERIFY_WITH_TIMEOUT(!grab->isRecording(), 10000);
    };
    {
        frmCompression dialog(grab);
        auto *codec = child<QComboBox>(&dialog, "cboCodec");
        QCOMPARE(itemTexts(codec), QStringList({u"Motion JPEG (AVI)"_qs, u"H.264 (MP4)"_qs}));
        codec->setCurrentIndex(1);
        child<QPushButton>(&dialog, "cmdOK")->click();
    }
    recordOne();
    QCOMPARE(saved.count(), 1);
    const QString mp4 = saved.at(0).at(0).toString();
    QVERIFY2(mp4.endsWith(u".mp4"_qs), qPrintable(mp4));
    const auto clip = CaptureClipReader::read(mp4);
    QVERIFY2(clip.ok(), qPrintable(clip.error));
    QCOMPARE(clip.frames, 25);

    gst_registry_remove_feature(registry, encoder);
    QVERIFY(!CapturePipeline::canRecord(CapturePipeline::Container::Mp4));
    {
        frmCompression dialog(grab);
        QCOMPARE(itemTexts(child<QComboBox>(&dialog, "cboCodec")), QStringList(u"Motion JPEG (AVI)"_qs));
    }
    recordOne();
    QCOMPARE(saved.count(), 2);
    QVERIFY(saved.at(1).at(0).toString().endsWith(u".avi"_qs));
    QCOMPARE(messageTexts(m_fx.responder), QStringList());
}

void TestSmartGrab::recordingDialogRoundTrip()
{
    Capturer capturer;
    SmartGrab *grab = openCapture(capturer);
    QVERIFY(grab);
    CaptureFixture::setting(u"preferences"_qs, u"maxframes"_qs, u"324000"_qs);
    CaptureFixture::setting(u"preferences"_qs, u"streammaster"_qs, u" none "_qs);
    {
        frmCapVid dialog(grab);
        // Defaults on a first run.
        QCOMPARE(child<QLineEdit>(&dialog, "txtFps")->text(), u"15"_qs);
        QCOMPARE(child<QLineEdit>(&dialog, "txtSec")->text(), u"30"_qs);
        QVERIFY(!child<QCheckBox>(&dialog, "chkLimit")->isChecked());
        QVERIFY(!child<QCheckBox>(&dialog, "chkAudio")->isChecked());
        child<QLineEdit>(&dialog, "txtFps")->setText(u"25"_qs);
        child<QLineEdit>(&dialog, "txtSec")->setText(u"12"_qs);
        child<QCheckBox>(&dialog, "chkLimit")->setChecked(true);
        child<QCheckBox>(&dialog, "chkAudio")->setChecked(true);
        child<QPushButton>(&dialog, "Command1_0")->click();
        QCOMPARE(dialog.property("tag").toString(), u"True"_qs);
    }
    const SequenceParms parms = grab->sequenceSetup();
    QCOMPARE(parms.requestMicroSecPerFrame, 40000);
    QVERIFY(parms.limitEnabled);
    QCOMPARE(parms.timeLimit, 12);
    QVERIFY(parms.captureAudio);
    QCOMPARE(parms.indexSize, 324000);
    QCOMPARE(parms.avStreamMaster, 1);

    frmCapVid again(grab);
    QCOMPARE(child<QLineEdit>(&again, "txtFps")->text(), u"25"_qs);
    QCOMPARE(child<QLineEdit>(&again, "txtSec")->text(), u"12"_qs);
    QVERIFY(child<QCheckBox>(&again, "chkLimit")->isChecked());
    QVERIFY(child<QCheckBox>(&again, "chkAudio")->isChecked());
    // The frame rate stays between 1 and 100, digits only; Cancel keeps what was stored.
    auto *fps = child<QLineEdit>(&again, "txtFps");
    const QList<std::pair<QString, QString>> typing {
        {u"0"_qs, u"1"_qs}, {u"250"_qs, u"100"_qs}, {u"30"_qs, u"30"_qs}, {u"1a"_qs, u"1"_qs}};
    for (const auto &[typed, shown] : typing) {
        fps->clear();
        QTest::keyClicks(fps, typed);
        QCOMPARE(fps->text(), shown);
    }
    child<QPushButton>(&again, "Command1_1")->click();
    QVERIFY(again.property("tag").toString().isEmpty());
    QCOMPARE(grab->sequenceSetup().requestMicroSecPerFrame, 40000);
}

void TestSmartGrab::preferencesRoundTrip_data()
{
    QTest::addColumn<int>("colour");
    QTest::addColumn<QString>("stored");
    QTest::newRow("default") << 0 << u"&H80000005"_qs;
    QTest::newRow("light grey") << 1 << u"&HC0C0C0"_qs;
    QTest::newRow("dark grey") << 2 << u"&H404040"_qs;
    QTest::newRow("black") << 3 << u"0"_qs;
}

void TestSmartGrab::preferencesRoundTrip()
{
    QFETCH(int, colour);
    QFETCH(QString, stored);
    Capturer capturer;
    SmartGrab *grab = openCapture(capturer);
    QVERIFY(grab);
    {
        frmPrefs dialog(grab);
        // Dark grey, 27,000 frames and audio master on a first run.
        QVERIFY(child<QRadioButton>(&dialog, "optColor_2")->isChecked());
        QVERIFY(child<QRadioButton>(&dialog, "optMaxFrames_0")->isChecked());
        QVERIFY(child<QRadioButton>(&dialog, "optSynch_0")->isChecked());
        child<QRadioButton>(&dialog, QStringLiteral("optColor_%1").arg(colour).toLatin1().constData())->click();
        child<QRadioButton>(&dialog, "optMaxFrames_1")->click();
        child<QRadioButton>(&dialog, "optSynch_1")->click();
        child<QPushButton>(&dialog, "cmdOK")->click();
    }
    QCOMPARE(CaptureSettings::value(u"preferences"_qs, u"backcolor"_qs, QString()), stored);
    QCOMPARE(CaptureSettings::value(u"preferences"_qs, u"maxframes"_qs, QString()), u"324000"_qs);
    QCOMPARE(CaptureSettings::value(u"preferences"_qs, u"streammaster"_qs, QString()), u"NONE"_qs);
    frmPrefs again(grab);
    QVERIFY(child<QRadioButton>(&again, QStringLiteral("optColor_%1").arg(colour).toLatin1().constData())->isChecked());
    QVERIFY(child<QRadioButton>(&again, "optMaxFrames_1")->isChecked());
    QVERIFY(child<QRadioButton>(&again, "optSynch_1")->isChecked());
    // Cancel stores nothing.
    child<QRadioButton>(&again, "optMaxFrames_0")->click();
    child<QPushButton>(&again, "cmdCancel")->click();
    QCOMPARE(CaptureSettings::value(u"preferences"_qs, u"maxframes"_qs, QString()), u"324000"_qs);
}

void TestSmartGrab::blackPreferenceColoursNextWindow()
{
    Capturer capturer;
    SmartGrab *grab = openCapture(capturer);
    QVERIFY(grab);
    {
        frmPrefs dialog(grab);
        child<QRadioButton>(&dialog, "optColor_3")->click();
        child<QPushButton>(&dialog, "cmdOK")->click();
    }
    QCOMPARE(grab->centralWidget()->palette().color(QPalette::Window), QColor(0x40, 0x40, 0x40));
    grab->TranslateToMenuClicks(208);
    QTRY_VERIFY(!CaptureEnvironment::background());
    CaptureFixture::showCapture(capturer);
    QVERIFY(m_fx.grab());
    QCOMPARE(m_fx.grab()->centralWidget()->palette().color(QPalette::Window), QColor(Qt::black));
}

void TestSmartGrab::frameByFrameCapture()
{
    Capturer capturer;
    SmartGrab *grab = openCapture(capturer);
    QVERIFY(grab);
    {
        frmCapFrame dialog(grab);
        QCOMPARE(child<QLabel>(&dialog, "lblCapFile")->text(), u"<error: no cap file>"_qs);
        child<QPushButton>(&dialog, "cmdCapture")->click();
        QCOMPARE(messageTexts(m_fx.responder), QStringList(u"Could not capture frame"_qs));
        QCOMPARE(child<QLabel>(&dialog, "lblFrames")->text(), u"0 Frames"_qs);
    }
    const QString file = m_fx.path(u"frames.avi"_qs);
    QVERIFY(grab->setCaptureFile(file));
    {
        frmCapFrame dialog(grab);
        QCOMPARE(child<QLabel>(&dialog, "lblCapFile")->text(), file);
        for (int i = 0; i < 3; ++i)
            child<QPushButton>(&dialog, "cmdCapture")->click();
        QCOMPARE(child<QLabel>(&dialog, "lblFrames")->text(), u"3 Frames"_qs);
        QCOMPARE(child<QPushButton>(&dialog, "cmdCancel")->text(), u"Close"_qs);
    }
    const auto clip = CaptureClipReader::read(file);
    QVERIFY2(clip.ok(), qPrintable(clip.error));
    QCOMPARE(clip.frames, 3);
    QCOMPARE(clip.size, QSize(320, 240));
}

void TestSmartGrab::fileSizeDialog()
{
    Capturer capturer;
    SmartGrab *grab = openCapture(capturer);
    QVERIFY(grab);
    const QString file = m_fx.path(u"space.avi"_qs);
    QVERIFY(grab->setCaptureFile(file));
    frmAlloc dialog(grab);
    const qint64 free = child<QLabel>(&dialog, "lblFreeDisk")->text().toLongLong();
    QCOMPARE(free, frmAlloc::freeMegabytes(file));
    auto *size = child<QLineEdit>(&dialog, "txtAlloc");
    QVERIFY(size->text().isEmpty());
    // More than the disk holds is cut back to what is free.
    size->setText(QString::number(free + 1000));
    QCOMPARE(size->text(), QString::number(free));
    size->setText(u"2"_qs);
    child<QPushButton>(&dialog, "cmdOK")->click();
    QCOMPARE(QFileInfo(file).size(), 2 * 1048576);
    frmAlloc again(grab);
    QCOMPARE(child<QLineEdit>(&again, "txtAlloc")->text(), u"2"_qs);
}

QTEST_MAIN(TestSmartGrab)
#include "tst_smartgrab.moc"
