#include "libraryfixture.h"
#include "printing/pdfcheck.h"
#include "support/dicomfixtures.h"

#include "component/dicomexport.h"
#include "component/entrynotifier.h"
#include "component/mount.h"
#include "host/fditoothnotation.h"
#include "host/universaltoothnotation.h"
#include "library/acquisitionhooks.h"
#include "library/addmultipledocs.h"
#include "library/importitemsmodel.h"
#include "library/entrydetails.h"
#include "library/entrydrag.h"
#include "library/mountcommands.h"
#include "library/mountwindow.h"
#include "printing/systemprinter.h"

#include <tovradocs/dokumentz.h>
#include <tovradocs/hostobjects.h>

#include <QCheckBox>
#include <QCryptographicHash>
#include <QLineEdit>
#include <QListWidget>
#include <QPageSize>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QStandardPaths>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dctk.h>
#include <dcmtk/dcmimgle/dcmimage.h>

using namespace tovradocs;
using namespace tovradocs::Internal;
using namespace tovradocs::Testing;

using ToothNames = QHash<qint32, QString>;

namespace {

// Answers from a table and remembers what it was asked, as a host's
// tooth-notation object would be asked.
class StubNotation : public ToothNotation
{
public:
    explicit StubNotation(QHash<qint32, QString> names) : m_names(std::move(names)) {}
    QString ToothName(qint32 toothNumber) override
    {
        asked << toothNumber;
        return m_names.value(toothNumber);
    }
    QList<qint32> asked;

private:
    QHash<qint32, QString> m_names;
};

Mount templateNamed(const QString &name)
{
    for (const Mount &mount : mountTemplates())
        if (mount.name == name)
            return mount;
    return {};
}

QByteArray sha256(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

int printAllFromPreview(QDialog *dialog)
{
    child<QPushButton>(dialog, "cmd_print")->click();
    child<QPushButton>(dialog, "cmdPrint")->click();
    return dialog->result();
}

// One DICOM element of a file as text; empty when absent.
QString element(const QString &path, const DcmTagKey &tag)
{
    DcmFileFormat file;
    if (file.loadFile(QFile::encodeName(path).constData()).bad())
        return QStringLiteral("<unreadable>");
    OFString value;
    file.getDataset()->findAndGetOFStringArray(tag, value);
    return QString::fromLatin1(value.c_str());
}

const QColor kSlotColours[] = {QColor(220, 30, 30), QColor(30, 200, 30), QColor(30, 30, 220), QColor(230, 210, 20)};

} // namespace

class TestMount : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void captionsComeFromTheHostsNotation_data();
    void captionsComeFromTheHostsNotation();
    void referenceNotationsNameTheSameTeeth_data();
    void referenceNotationsNameTheSameTeeth();
    void templatesAreWhole();
    void filesRoundTripAndHostileOnesAreRefused_data();
    void filesRoundTripAndHostileOnesAreRefused();

    void newMountIsAnEntryOfItsBook();
    void openShowsTheSlotsPictures();
    void deletedEntriesLeaveEmptySlotsAndTheLayout();
    void droppedPagesFillSlots();
    void captureFillsTheNextEmptySlot();
    void printsOnOnePageWithPicturesInTheirSlots();
    void exportsOnePictureAndOnePdf();

    void exportedDicomCarriesThePatient_data();
    void exportedDicomCarriesThePatient();
    void importWarnsAboutAnotherPatient_data();
    void importWarnsAboutAnotherPatient();
    void batchImportMarksAnotherPatient();

private:
    // A book of patient 41 with four coloured pictures and a 2 x 2 mount of
    // them; the mount's path.
    QString mountOfFour(qint32 *mountCode = nullptr);
    MountWindow *openWindow(const QString &mountFile, qint32 mountCode);

    LibraryFixture m_fx;
    QTemporaryDir m_temp;
    static constexpr qint32 kBook = 7;
    static constexpr qint32 kPatient = 41;
};

void TestMount::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_temp.isValid());
    qputenv("TMPDIR", m_temp.filePath(QStringLiteral("tmp")).toLocal8Bit());
    QDir().mkpath(m_temp.filePath(QStringLiteral("tmp")));
    setMountTemplateFile(m_temp.filePath(QStringLiteral("templates.json")));
    MountWindow::setDecodeBoxForTests(QSize(200, 200));
}

void TestMount::init()
{
    QVERIFY(m_fx.open());
    registerHostObjects();
    m_fx.exec(QStringLiteral("Insert Into Patients (Entry_Code, FirstName, LastName, BirthDate) "
                             "Values (%1, 'Ada', 'Lovelace', '1980-05-17')")
                  .arg(kPatient));
    m_fx.addBook(kBook, QStringLiteral("Ada's radiographs"), kPatient);
    SystemPrinter::reset();
    SystemPrinter::select(SystemPrinter::pdfPrinterName());
    SystemPrinter::printer().setPageSize(QPageSize(QPageSize::Letter));
}

void TestMount::cleanup()
{
    LibraryFixture::closeOtherWindows(nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(m_fx.dialogs->unexpected(), 0);
    m_fx.close();
    acquisitionHooks().capture = nullptr;
}

// ---------------------------------------------------------------- teeth

void TestMount::captionsComeFromTheHostsNotation_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<int>("slot");
    QTest::addColumn<ToothNames>("names");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QList<qint32>>("asked");

    const ToothNames fdi = {{1816, "18-16"}, {13, "13"}, {1716, "17-16"}, {4746, "47-46"}};
    const ToothNames universal = {{1816, "1-3"}, {13, "6"}, {1716, "2-3"}, {4746, "31-30"}};
    const QString fmx = QStringLiteral("Full-mouth series of 18");
    QTest::newRow("FDI molars") << fmx << 0 << fdi << "18-16" << QList<qint32>{1816};
    QTest::newRow("Universal molars") << fmx << 0 << universal << "1-3" << QList<qint32>{1816};
    // A single tooth is asked by its own number, not as a range of one.
    QTest::newRow("FDI canine") << fmx << 2 << fdi << "13" << QList<qint32>{13};
    QTest::newRow("Universal canine") << fmx << 2 << universal << "6" << QList<qint32>{13};
    QTest::newRow("FDI bitewing, both arches") << fmx << 7 << fdi << "17-16 / 47-46" << QList<qint32>{1716, 4746};
    QTest::newRow("Universal bitewing, both arches")
        << fmx << 7 << universal << "2-3 / 31-30" << QList<qint32>{1716, 4746};
    QTest::newRow("panoramic keeps its label")
        << "Panoramic with bitewings" << 0 << fdi << "Panoramic" << QList<qint32>{};
    QTest::newRow("a name the host does not know leaves the label")
        << "2 x 2" << 0 << ToothNames{} << "" << QList<qint32>{};
}

void TestMount::captionsComeFromTheHostsNotation()
{
    QFETCH(QString, layout);
    QFETCH(int, slot);
    QFETCH(ToothNames, names);
    const Mount mount = templateNamed(layout);
    QVERIFY(mount.isValid());
    StubNotation notation(names);
    QTEST(slotCaption(mount.slots.at(slot), &notation), "caption");
    QTEST(notation.asked, "asked");

    // The mount window asks the object the host registered.
    const QString file = m_fx.path(QStringLiteral("m.mount"));
    QVERIFY(writeMount(file, mount));
    hostObjectFactories().toothNotation = [names] { return std::make_unique<StubNotation>(names); };
    auto *window = openWindow(file, 0);
    QTEST(window->captions().at(slot), "caption");
}

void TestMount::referenceNotationsNameTheSameTeeth_data()
{
    QTest::addColumn<qint32>("code");
    QTest::addColumn<QString>("fdi");
    QTest::addColumn<QString>("universal");
    QTest::newRow("upper right third molar") << 18 << "18" << "1";
    QTest::newRow("upper left central") << 21 << "21" << "9";
    QTest::newRow("lower left third molar") << 38 << "38" << "17";
    QTest::newRow("lower right third molar") << 48 << "48" << "32";
    QTest::newRow("upper incisors") << 1222 << "12-22" << "7-10";
    QTest::newRow("lower molars") << 3638 << "36-38" << "19-17";
    QTest::newRow("primary upper right second molar") << 55 << "55" << "A";
    QTest::newRow("primary lower right second molar") << 85 << "85" << "T";
    QTest::newRow("no tooth") << 19 << "" << "";
    QTest::newRow("range to no tooth") << 1819 << "" << "";
}

void TestMount::referenceNotationsNameTheSameTeeth()
{
    QFETCH(qint32, code);
    FdiToothNotation fdi;
    UniversalToothNotation universal;
    QTEST(fdi.ToothName(code), "fdi");
    QTEST(universal.ToothName(code), "universal");
}

void TestMount::templatesAreWhole()
{
    const QList<Mount> all = mountTemplates();
    QStringList names;
    for (const Mount &mount : all)
        names << QStringLiteral("%1:%2").arg(mount.name).arg(mount.slots.size());
    QCOMPARE(names, (QStringList{"Full-mouth series of 18:18", "4 bitewings:4", "2 x 2:4", "1 x 4:4",
                                 "Panoramic with bitewings:5"}));
    for (const Mount &mount : all) {
        // Slots lie within the grid and never overlap.
        for (int i = 0; i < mount.slots.size(); ++i) {
            QVERIFY2(QRect(QPoint(0, 0), mount.grid).contains(mount.slots.at(i).cell), qPrintable(mount.name));
            for (int j = i + 1; j < mount.slots.size(); ++j)
                QVERIFY2(!mount.slots.at(i).cell.intersects(mount.slots.at(j).cell), qPrintable(mount.name));
        }
    }
    // The editor's templates follow the built-in ones and replace their namesakes.
    Mount own = templateNamed(QStringLiteral("1 x 4"));
    own.name = QStringLiteral("Implant series");
    own.slots[0].entryCode = 99;
    QVERIFY(saveMountTemplate(own));
    QVERIFY(saveMountTemplate(own));
    const QList<Mount> withOwn = mountTemplates();
    QCOMPARE(withOwn.size(), all.size() + 1);
    QCOMPARE(withOwn.last().name, own.name);
    QCOMPARE(withOwn.last().slots.first().entryCode, 0);
    QFile::remove(m_temp.filePath(QStringLiteral("templates.json")));
}

void TestMount::filesRoundTripAndHostileOnesAreRefused_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("error");
    const QByteArray head = R"("kind":"tovradocs.mount","version":1,"name":"x",)";
    QTest::newRow("valid") << QByteArray("{" + head + R"("grid":[4,3],"slots":[{"cell":[0,0,4,3],"teeth":[1816],"entry":5}]})")
                           << QString();
    QTest::newRow("not JSON") << QByteArray("\x89PNG\r\n") << "it is not a mount";
    QTest::newRow("another kind") << QByteArray(R"({"kind":"x","grid":[4,3]})") << "it is not a mount";
    QTest::newRow("newer version") << QByteArray(R"({"kind":"tovradocs.mount","version":9})")
                                   << "it was written by a newer version of this program";
    QTest::newRow("grid of billions")
        << QByteArray("{" + head + R"("grid":[4000000000,3],"slots":[{"cell":[0,0,1,1]}]})")
        << "its layout has no valid size";
    QTest::newRow("no slots") << QByteArray("{" + head + R"("grid":[4,3],"slots":[]})")
                              << "it has 0 slots (1 to 64 are possible)";
    QTest::newRow("slot outside") << QByteArray("{" + head + R"("grid":[4,3],"slots":[{"cell":[3,0,2,1]}]})")
                                  << "slot 1 lies outside the layout";
    QTest::newRow("negative slot") << QByteArray("{" + head + R"("grid":[4,3],"slots":[{"cell":[-1,0,2,1]}]})")
                                   << "slot 1 has no valid place";
    QTest::newRow("fractional cell") << QByteArray("{" + head + R"("grid":[4,3],"slots":[{"cell":[0.5,0,2,1]}]})")
                                     << "slot 1 has no valid place";
    QTest::newRow("bad tooth code")
        << QByteArray("{" + head + R"("grid":[4,3],"slots":[{"cell":[0,0,1,1],"teeth":["18"]}]})")
        << "slot 1 names no valid teeth";
}

void TestMount::filesRoundTripAndHostileOnesAreRefused()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, error);
    const Result<Mount> mount = mountFromJson(json);
    if (!error.isEmpty()) {
        QVERIFY(!mount);
        QCOMPARE(mount.error(), error);
        const QString file = m_fx.path(QStringLiteral("hostile.mount"));
        QVERIFY(writeFile(file, json));
        // Opening says why, and the file stays as it was.
        m_fx.dialogs->pushAnswer(Answer::Ok);
        auto *window = new MountWindow;
        QVERIFY(!window->openMount(kBook, 0, file));
        delete window;
        QCOMPARE(messageTexts(*m_fx.dialogs).size(), 1);
        QVERIFY(messageTexts(*m_fx.dialogs).first().contains(error));
        QCOMPARE(fileContents(file), json);
        return;
    }
    QVERIFY2(mount, qPrintable(mount.error()));
    QCOMPARE(mount->slots.first().entryCode, 5);
    QCOMPARE(*mountFromJson(mountToJson(*mount)), *mount);
}

// ---------------------------------------------------------------- window

QString TestMount::mountOfFour(qint32 *mountCode)
{
    for (int i = 0; i < 4; ++i) {
        QImage picture(300, 200, QImage::Format_RGB32);
        picture.fill(kSlotColours[i]);
        const QString file = m_fx.libraryFolder + QStringLiteral("/p%1.png").arg(i);
        picture.save(file);
        m_fx.addPage(100 + i, kBook, file, 1, QStringLiteral("Picture %1").arg(i));
    }
    Mount mount = templateNamed(QStringLiteral("2 x 2"));
    for (int i = 0; i < 4; ++i)
        mount.slots[i].entryCode = 100 + i;
    const QString file = m_fx.libraryFolder + QStringLiteral("/four.mount");
    writeMount(file, mount);
    m_fx.addPage(200, kBook, file, 3, QStringLiteral("Four"));
    m_fx.exec(QStringLiteral("Update BookContents Set EntryDate = '2026-11-30' Where Entry_Code = 200"));
    if (mountCode)
        *mountCode = 200;
    return file;
}

MountWindow *TestMount::openWindow(const QString &mountFile, qint32 mountCode)
{
    auto *window = new MountWindow;
    QSignalSpy drawn(window, &MountWindow::slotsDrawn);
    if (!window->openMount(kBook, mountCode, mountFile))
        return window;
    if (drawn.isEmpty())
        drawn.wait(10000);
    return window;
}

void TestMount::newMountIsAnEntryOfItsBook()
{
    m_fx.dialogs->pushModal([](QDialog *dialog) {
        auto *list = child<QListWidget>(dialog, "lstTemplates");
        list->setCurrentRow(0);
        child<QLineEdit>(dialog, "txtDescription")->setText(QStringLiteral("FMX 2026"));
        child<QPushButton>(dialog, "cmdOK")->click();
        return dialog->result();
    });
    const qint32 code = newMount(nullptr, kBook);
    QVERIFY(code > 0);
    // Stored through the entry writer: a row of the book and a file in the library.
    const QVariantMap row = m_fx.row(code);
    QCOMPARE(fieldTexts(row, {"bookcode=7", "description=FMX 2026", "entrytype=3"}),
             (QStringList{"bookcode=7", "description=FMX 2026", "entrytype=3"}));
    const QString file = row.value(QStringLiteral("filename")).toString();
    QVERIFY(file.endsWith(QLatin1String(".mount")));
    QVERIFY(file.startsWith(m_fx.libraryFolder));
    QVERIFY(isMountFile(file));
    const Result<Mount> stored = readMount(file);
    QVERIFY(stored);
    QCOMPARE(stored->slots.size(), 18);
    QCOMPARE(stored->name, QStringLiteral("FMX 2026"));
    auto windows = LibraryFixture::shownWindows<MountWindow>();
    QCOMPARE(windows.size(), 1);
    QCOMPARE(windows.first()->fileName(), file);
}

void TestMount::openShowsTheSlotsPictures()
{
    qint32 code = 0;
    const QString file = mountOfFour(&code);
    auto *window = openWindow(file, code);
    QVERIFY(!window->isLoading());
    for (int i = 0; i < 4; ++i) {
        const QImage picture = window->slotPicture(i);
        QVERIFY2(!picture.isNull(), qPrintable(QString::number(i)));
        QCOMPARE(picture.pixelColor(picture.rect().center()), kSlotColours[i]);
    }
    QVERIFY(window->windowTitle().contains(QLatin1String("Ada Lovelace")));
    // The board shows each colour in its own slot.
    const QImage board = window->findChild<MountView *>()->grab().toImage();
    const QList<QRectF> rects = window->findChild<MountView *>()->slotRectangles();
    for (int i = 0; i < 4; ++i)
        QCOMPARE(board.pixelColor(rects.at(i).center().toPoint()), kSlotColours[i]);
}

void TestMount::deletedEntriesLeaveEmptySlotsAndTheLayout()
{
    qint32 code = 0;
    const QString file = mountOfFour(&code);
    const QByteArray before = sha256(file);
    m_fx.exec(QStringLiteral("Delete From BookContents Where Entry_Code In (101, 102)"));
    auto *window = openWindow(file, code);
    QVERIFY(!window->slotPicture(0).isNull());
    QVERIFY(window->slotPicture(1).isNull());
    QVERIFY(window->slotPicture(2).isNull());
    QVERIFY(!window->slotPicture(3).isNull());
    QCOMPARE(window->mount().slots.size(), 4);
    QCOMPARE(window->mount().grid, templateNamed(QStringLiteral("2 x 2")).grid);
    // Opening rewrites nothing; the next empty slot is the first freed one.
    QCOMPARE(sha256(file), before);
    QCOMPARE(window->mount().nextEmptySlot(), 1);
}

void TestMount::droppedPagesFillSlots()
{
    qint32 code = 0;
    const QString file = mountOfFour(&code);
    Mount empty = *readMount(file);
    for (MountSlot &slot : empty.slots)
        slot.entryCode = 0;
    writeMount(file, empty);
    auto *window = openWindow(file, code);
    auto *view = window->findChild<MountView *>();
    view->resize(800, 600);
    const QPoint target = view->slotRectangles().at(2).center().toPoint();

    // Two pages dropped on slot 3 fill it and the next empty one.
    std::unique_ptr<QMimeData> data(mimeDataForEntries({103, 101}));
    QDragEnterEvent enter(target, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &enter);
    QVERIFY(enter.isAccepted());
    QDragMoveEvent move(target, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &move);
    QVERIFY(move.isAccepted());
    QSignalSpy drawn(window, &MountWindow::slotsDrawn);
    QDropEvent drop(target, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &drop);
    QTRY_VERIFY(!window->isLoading());
    const Result<Mount> stored = readMount(file);
    QCOMPARE(stored->slots.at(2).entryCode, 103);
    QCOMPARE(stored->slots.at(3).entryCode, 101);
    QCOMPARE(stored->slots.at(0).entryCode, 0);
    QTRY_COMPARE(window->slotPicture(2).pixelColor(0, 0), kSlotColours[3]);

    // A page of another book, or no picture, is refused with a message.
    m_fx.addBook(8, QStringLiteral("Other"), 0);
    m_fx.addPage(300, 8, m_fx.picture(QStringLiteral("other.png")), 1, QStringLiteral("Other"));
    m_fx.dialogs->pushAnswer(Answer::Ok);
    m_fx.dialogs->pushAnswer(Answer::Ok);
    QVERIFY(!window->fillSlot(0, 300));
    QVERIFY(!window->fillSlot(0, code));
    QCOMPARE(messageTexts(*m_fx.dialogs).size(), 2);
    QCOMPARE(readMount(file)->slots.at(0).entryCode, 0);

    // Undo takes the last change back, on disk too.
    window->clearSlot(2);
    QCOMPARE(readMount(file)->slots.at(2).entryCode, 0);
    window->undo();
    QCOMPARE(readMount(file)->slots.at(2).entryCode, 103);
}

void TestMount::captureFillsTheNextEmptySlot()
{
    qint32 code = 0;
    const QString file = mountOfFour(&code);
    m_fx.exec(QStringLiteral("Delete From BookContents Where Entry_Code In (100, 102)"));
    auto *window = openWindow(file, code);
    int captures = 0;
    acquisitionHooks().capture = [&captures](QWidget *, qint32 book, const QString &name) {
        QCOMPARE(book, kBook);
        QCOMPARE(name, QStringLiteral("Ada's radiographs"));
        ++captures;
    };
    // Pictures captured before the mount asked for them are not its business.
    m_fx.addPage(400, kBook, m_fx.picture(QStringLiteral("c0.png"), Qt::white), 1, QStringLiteral("c0"));
    Q_EMIT EntryNotifier::instance()->entryAdded(kBook, 400, 1);
    QCOMPARE(window->mount().nextEmptySlot(), 0);

    window->findChild<QAction *>(QStringLiteral("cmdCapture"))->trigger();
    QCOMPARE(captures, 1);
    QVERIFY(window->isFillingFromCapture());
    // Each still (the foot switch takes the same road) goes to the next empty slot;
    // videos and other books are left alone.
    m_fx.addPage(401, kBook, m_fx.picture(QStringLiteral("c1.png"), Qt::white), 1, QStringLiteral("c1"));
    m_fx.addPage(402, 8, m_fx.picture(QStringLiteral("c2.png"), Qt::white), 1, QStringLiteral("c2"));
    Q_EMIT EntryNotifier::instance()->entryAdded(8, 402, 1);
    Q_EMIT EntryNotifier::instance()->entryAdded(kBook, 403, 2);
    Q_EMIT EntryNotifier::instance()->entryAdded(kBook, 401, 1);
    m_fx.addPage(404, kBook, m_fx.picture(QStringLiteral("c4.png"), Qt::white), 1, QStringLiteral("c4"));
    Q_EMIT EntryNotifier::instance()->entryAdded(kBook, 404, 1);
    const Result<Mount> stored = readMount(file);
    QCOMPARE(stored->slots.at(0).entryCode, 401);
    QCOMPARE(stored->slots.at(2).entryCode, 404);
    QCOMPARE(stored->nextEmptySlot(), -1);
    // A full mount says so instead of dropping the picture silently.
    m_fx.dialogs->pushAnswer(Answer::Ok);
    Q_EMIT EntryNotifier::instance()->entryAdded(kBook, 400, 1);
    QCOMPARE(messageTexts(*m_fx.dialogs), QStringList{"Every slot of this mount holds a picture."});
}

void TestMount::printsOnOnePageWithPicturesInTheirSlots()
{
    if (!pdfcheck::toolsPresent())
        QSKIP("poppler-utils (pdfinfo, pdftoppm, pdftotext) are not installed");
    qint32 code = 0;
    const QString file = mountOfFour(&code);
    auto print = [&](const QString &name) {
        auto *window = openWindow(file, code);
        const QString pdf = m_temp.filePath(name + QStringLiteral(".pdf"));
        m_fx.dialogs->pushModal(printAllFromPreview);
        m_fx.dialogs->pushText(pdf);
        window->findChild<QAction *>(QStringLiteral("cmdPrint"))->trigger();
        window->close();
        return pdf;
    };
    constexpr int dpi = 50;
    const QString full = print(QStringLiteral("full"));
    QCOMPARE(pdfcheck::pages(full), 1);
    const QImage page = pdfcheck::render(full, 1, dpi);
    QList<QRectF> boxes;
    for (const QColor &colour : kSlotColours)
        boxes << pdfcheck::inkBox(page, dpi, [&](QRgb p) { return pdfcheck::near(p, colour, 40); });
    const QRectF sheet(QPointF(0, 0), pdfcheck::pageSize(full));
    for (int i = 0; i < 4; ++i) {
        QVERIFY2(!boxes.at(i).isEmpty(), qPrintable(QStringLiteral("slot %1 printed nothing").arg(i + 1)));
        QVERIFY(sheet.contains(boxes.at(i)));
        // 3:2 pictures keep their shape.
        QVERIFY(std::abs(boxes.at(i).width() / boxes.at(i).height() - 1.5) < 0.1);
    }
    // 2 x 2: slot 1 left of slot 2 on one row, slots 3 and 4 below them.
    QVERIFY(boxes.at(0).right() < boxes.at(1).left());
    QVERIFY(std::abs(boxes.at(0).top() - boxes.at(1).top()) < 0.05);
    QVERIFY(boxes.at(0).bottom() < boxes.at(2).top());
    QVERIFY(std::abs(boxes.at(2).left() - boxes.at(0).left()) < 0.05);
    QVERIFY(boxes.at(2).right() < boxes.at(3).left());
    // The title and the patient are printed above the slots.
    // pdftotext closes up the spaces of a short centred title.
    const QString text = pdfcheck::text(full).simplified();
    QVERIFY(QString(text).remove(u' ').contains(QLatin1String("2x2")));
    QVERIFY(text.contains(QLatin1String("Ada Lovelace")));

    // A deleted picture leaves its slot empty and the others where they were.
    m_fx.exec(QStringLiteral("Delete From BookContents Where Entry_Code = 101"));
    const QString gap = print(QStringLiteral("gap"));
    QCOMPARE(pdfcheck::pages(gap), 1);
    const QImage second = pdfcheck::render(gap, 1, dpi);
    QVERIFY(pdfcheck::inkBox(second, dpi, [&](QRgb p) { return pdfcheck::near(p, kSlotColours[1], 40); }).isEmpty());
    const QRectF moved = pdfcheck::inkBox(second, dpi, [&](QRgb p) { return pdfcheck::near(p, kSlotColours[3], 40); });
    QVERIFY(std::abs(moved.left() - boxes.at(3).left()) < 0.05 && std::abs(moved.top() - boxes.at(3).top()) < 0.05);
}

void TestMount::exportsOnePictureAndOnePdf()
{
    qint32 code = 0;
    const QString file = mountOfFour(&code);
    auto *window = openWindow(file, code);
    const QString png = m_temp.filePath(QStringLiteral("mount.png"));
    m_fx.dialogs->pushText(png);
    window->findChild<QAction *>(QStringLiteral("cmdExportPicture"))->trigger();
    const QImage picture(png);
    QVERIFY(!picture.isNull());
    // The picture holds every slot's colour in layout order.
    auto centreOf = [&](const QColor &colour) {
        qint64 sx = 0, sy = 0, n = 0;
        for (int y = 0; y < picture.height(); y += 4)
            for (int x = 0; x < picture.width(); x += 4)
                if (pdfcheck::near(picture.pixel(x, y), colour, 30))
                    sx += x, sy += y, ++n;
        return n ? QPointF(double(sx) / n, double(sy) / n) : QPointF(-1, -1);
    };
    const QPointF a = centreOf(kSlotColours[0]), b = centreOf(kSlotColours[1]), c = centreOf(kSlotColours[2]);
    QVERIFY(a.x() >= 0 && b.x() > a.x() && c.y() > a.y());

    if (!pdfcheck::toolsPresent())
        return;
    const QString pdf = m_temp.filePath(QStringLiteral("mount.pdf"));
    m_fx.dialogs->pushText(pdf);
    window->findChild<QAction *>(QStringLiteral("cmdExportPdf"))->trigger();
    QCOMPARE(pdfcheck::pages(pdf), 1);
    const QImage page = pdfcheck::render(pdf, 1, 40);
    for (const QColor &colour : kSlotColours)
        QVERIFY(!pdfcheck::inkBox(page, 40, [&](QRgb p) { return pdfcheck::near(p, colour, 40); }).isEmpty());
}

// ---------------------------------------------------------------- DICOM

void TestMount::exportedDicomCarriesThePatient_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("sopClass");
    QTest::addColumn<QString>("photometric");
    QTest::addColumn<QString>("spacing");
    QTest::newRow("intraoral DICOM stays DX, with its spacing")
        << "dicom" << UID_DigitalXRayImageStorageForPresentation << "MONOCHROME2" << "0.1\\0.1";
    QTest::newRow("DX without the patient's orientation becomes Secondary Capture")
        << "dicom-unoriented" << UID_SecondaryCaptureImageStorage << "MONOCHROME2" << "0.1\\0.1";
    QTest::newRow("photo becomes Secondary Capture") << "png" << UID_SecondaryCaptureImageStorage << "RGB" << "";
    QTest::newRow("mount becomes one Secondary Capture")
        << "mount" << UID_SecondaryCaptureImageStorage << "RGB" << "";
}

void TestMount::exportedDicomCarriesThePatient()
{
    QFETCH(QString, source);
    qint32 entry = 0;
    QString file;
    if (source.startsWith(QLatin1String("dicom"))) {
        DicomContent content;
        content.size = QSize(120, 80);
        content.bitsStored = 12;
        content.imagerPixelSpacing = QStringLiteral("0.1\\0.1");
        if (source == QLatin1String("dicom"))
            content.patientOrientation = QStringLiteral("A\\R");
        content.patientName = QStringLiteral("Lovelace^Ada");
        content.value = [](int x, int) { return x * 30; };
        file = makeDicomPicture(m_fx.libraryFolder + QStringLiteral("/ray.dcm"), content);
        entry = 500;
        m_fx.addPage(entry, kBook, file, 1, QStringLiteral("Ray"));
    } else if (source == QLatin1String("png")) {
        file = m_fx.picture(QStringLiteral("photo.png"), Qt::darkCyan);
        entry = 501;
        m_fx.addPage(entry, kBook, file, 1, QStringLiteral("Photo"));
    } else {
        file = mountOfFour(&entry);
    }
    m_fx.exec(QStringLiteral("Update BookContents Set EntryDate = '2026-11-30' Where Entry_Code = %1").arg(entry));
    const QByteArray before = sha256(file);

    // Through the library window's command, as a user gives it.
    auto lib = LibraryFixture::openLibrary(kBook);
    const int page = lib->pageTable().pageOf(entry);
    QVERIFY(page > 0);
    child<QCheckBox>(lib, qPrintable(QStringLiteral("chkEntries_%1").arg(page - 1)))->click();
    const QString target = m_temp.filePath(source + QStringLiteral(".dcm"));
    QFile::remove(target);
    m_fx.dialogs->pushText(target);
    lib->tbrExportCommand(QStringLiteral("Export DICOM"));
    QVERIFY2(QFile::exists(target), qPrintable(messageTexts(*m_fx.dialogs).join(u'\n')));
    QCOMPARE(sha256(file), before); // the original is never written

    QFETCH(QString, sopClass);
    QCOMPARE(element(target, DCM_SOPClassUID), sopClass);
    QCOMPARE(element(target, DCM_PatientName), QStringLiteral("Lovelace^Ada"));
    QCOMPARE(element(target, DCM_PatientID), QStringLiteral("41"));
    QCOMPARE(element(target, DCM_PatientBirthDate), QStringLiteral("19800517"));
    QCOMPARE(element(target, DCM_StudyDate), QStringLiteral("20261130"));
    QTEST(element(target, DCM_PhotometricInterpretation), "photometric");
    QTEST(element(target, DCM_PixelSpacing), "spacing");
    // DCMTK decodes the pixels it wrote.
    DicomImage image(QFile::encodeName(target).constData());
    QCOMPARE(image.getStatus(), EIS_Normal);
    QVERIFY(image.getWidth() > 0 && image.getHeight() > 0);
    if (source == QLatin1String("dicom")) {
        QCOMPARE(image.getWidth(), 120ul);
        QCOMPARE(element(target, DCM_ImagerPixelSpacing), QStringLiteral("0.1\\0.1"));
    }

    // dcmdump reads it without complaint; dciodvfy finds no error where installed.
    QProcess dump;
    dump.start(QStringLiteral("dcmdump"), {QStringLiteral("-q"), target});
    if (dump.waitForFinished(30000)) {
        QCOMPARE(dump.exitCode(), 0);
        QVERIFY(dump.readAllStandardError().isEmpty());
    }
    if (!QStandardPaths::findExecutable(QStringLiteral("dciodvfy")).isEmpty()) {
        QProcess verify;
        verify.start(QStringLiteral("dciodvfy"), {target});
        QVERIFY(verify.waitForFinished(30000));
        const QString report = QString::fromLatin1(verify.readAllStandardError() + verify.readAllStandardOutput());
        QVERIFY2(!report.contains(QLatin1String("Error")), qPrintable(report));
    }
    // An existing file is never replaced.
    m_fx.dialogs->clearPrompts();
    m_fx.dialogs->pushText(target);
    m_fx.dialogs->pushAnswer(Answer::Ok);
    const QByteArray written = sha256(target);
    lib->tbrExportCommand(QStringLiteral("Export DICOM"));
    QCOMPARE(sha256(target), written);
    QCOMPARE(messageTexts(*m_fx.dialogs).size(), 1);
}

void TestMount::importWarnsAboutAnotherPatient_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("id");
    QTest::addColumn<bool>("warned");
    QTest::addColumn<bool>("answerYes");
    QTest::newRow("same patient") << "Lovelace^Ada" << "41" << false << false;
    QTest::newRow("same name written the other way") << "ADA LOVELACE" << "" << false << false;
    QTest::newRow("nobody named") << "" << "" << false << false;
    QTest::newRow("other name, refused") << "Babbage^Charles" << "" << true << false;
    QTest::newRow("other id, added anyway") << "Lovelace^Ada" << "77" << true << true;
}

void TestMount::importWarnsAboutAnotherPatient()
{
    QFETCH(QString, name);
    QFETCH(QString, id);
    QFETCH(bool, warned);
    QFETCH(bool, answerYes);
    DicomContent content;
    content.patientName = name;
    content.patientId = id;
    content.value = [](int x, int y) { return x * y; };
    const QString file = makeDicomPicture(m_fx.path(QStringLiteral("in.dcm")), content);
    QVERIFY(!file.isEmpty());
    const QByteArray before = sha256(file);
    if (warned)
        m_fx.dialogs->pushAnswer(answerYes ? Answer::Yes : Answer::No);
    // The entry dialog would follow; its script saves the entry.
    if (!warned || answerYes)
        m_fx.dialogs->pushModal([](QDialog *dialog) {
            child<QLineEdit>(dialog, "txtDescription")->setText(QStringLiteral("Radiograph"));
            child<QPushButton>(dialog, "cbOK")->click();
            return dialog->result();
        });
    EntryDetails details;
    QString description;
    const qint32 added = details.AddLibraryEntry(1, QStringLiteral("Ada's radiographs"), kBook, file, description, nullptr);
    const QStringList messages = messageTexts(*m_fx.dialogs);
    QCOMPARE(messages.size(), warned ? 1 : 0);
    if (warned) {
        QVERIFY(messages.first().startsWith(QLatin1String("This DICOM file is of another patient")));
        QVERIFY(messages.first().contains(QLatin1String("the book is of \"Ada Lovelace\" (ID 41)")));
    }
    QCOMPARE(added != 0, !warned || answerYes);
    QCOMPARE(m_fx.pageCount(), qint64(added != 0 ? 1 : 0));
    QCOMPARE(sha256(file), before);
}

void TestMount::batchImportMarksAnotherPatient()
{
    DicomContent content;
    content.value = [](int x, int y) { return x + y; };
    content.patientName = QStringLiteral("Babbage^Charles");
    const QString other = makeDicomPicture(m_fx.path(QStringLiteral("other.dcm")), content);
    content.patientName = QStringLiteral("Lovelace^Ada");
    content.value = [](int x, int y) { return x * y; };
    const QString same = makeDicomPicture(m_fx.path(QStringLiteral("same.dcm")), content);
    QStringList shown;
    m_fx.dialogs->pushModal([&](QDialog *d) {
        auto *window = static_cast<AddMultipleDocs *>(d);
        QSignalSpy checked(window, &AddMultipleDocs::checksFinished);
        if (window->isChecking())
            checked.wait(20000);
        auto *model = child<QTableView>(d, "tgFiles")->model();
        for (int row = 0; row < 2; ++row)
            shown << QStringLiteral("%1 | %2")
                         .arg(model->index(row, ImportItemsModel::SelectColumn).data(Qt::CheckStateRole).toInt()
                                      == Qt::Checked
                                  ? "ticked"
                                  : "unticked",
                              model->index(row, ImportItemsModel::CheckColumn).data().toString());
        child<QPushButton>(d, "cbClose")->click();
        return d->result();
    });
    Dokumentz docs;
    docs.DefDocumentType = 1;
    docs.DefSourceID = kBook;
    AddMultipleDocs importer;
    importer.AddMultipleFiles({other, same}, docs);
    QCOMPARE(shown, (QStringList{"unticked | This DICOM file is of another patient: it names \"Charles Babbage\", "
                                 "the book is of \"Ada Lovelace\" (ID 41).",
                                 "ticked | "}));
}

QTEST_MAIN(TestMount)
#include "tst_mount.moc"
