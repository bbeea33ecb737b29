#include "component/dialogservice.h"
#include "component/hostlink.h"
#include "controls/colorpal.h"
#include "controls/drawing.h"
#include "controls/ilsformat.h"
#include "controls/objdraw.h"
#include "host/referencehost.h"
#include "illustrator/illustrationprinting.h"
#include "illustrator/illustrator.h"
#include "illustrator/picturefit.h"
#include "illustrator/printillustration.h"
#include "printing/pdfcheck.h"
#include "support/recordingdatalink.h"
#include "support/testhost.h"
#include "tests/controls/sampledrawing.h"

#include <tovradocs/mediamanager.h>

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace tovradocs;
using namespace tovradocs::Internal;
using Testing::child;
using Testing::messageTexts;

namespace {

// A reference host in a temporary folder, linked through a recording link, a
// scripted responder, and prints routed to a PDF file in the folder.
class IllustratorFixture
{
public:
    bool open()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        host = Testing::openTestHost(m_dir->path());
        if (!host)
            return false;
        link = std::make_shared<Testing::RecordingDataLink>(host);
        setHostLink(link, nullptr);
        responder = std::make_unique<ScriptedResponder>();
        DialogService::setResponder(responder.get());
        setIllustrationPrinterFactory([this](QWidget *) {
            auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(pdfPath());
            printer->setPageSize(QPageSize(QPageSize::A4));
            printer->setPageMargins(QMarginsF());
            return printer;
        });
        return true;
    }

    void close()
    {
        setIllustrationPrinterFactory(nullptr);
        DialogService::setResponder(nullptr);
        responder.reset();
        clearHostLink();
        link.reset();
        host.reset();
        m_dir.reset();
    }

    QString path(const QString &name) const { return m_dir->filePath(name); }
    QString pdfPath() const { return path(QStringLiteral("print.pdf")); }

    // A drawing of one filled rectangle, saved as name.
    QString drawingFile(const QString &name, QColor fill, QSize canvas = QSize(640, 480)) const
    {
        Drawing d;
        d.canvas = canvas;
        DrawObject o;
        o.rect = QRectF(20, 30, 100, 60);
        o.fill = fill;
        d.objects << o;
        const QString file = path(name);
        saveIlsFile(file, d);
        return file;
    }

    static void trigger(QObject *window, const char *action)
    {
        Testing::child<QAction>(window, action)->trigger();
    }

    std::shared_ptr<ReferenceHost> host;
    std::shared_ptr<Testing::RecordingDataLink> link;
    std::unique_ptr<ScriptedResponder> responder;

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

} // namespace

class TestIllustrator : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void fittingRule_data();
    void fittingRule();
    void emptyFileStartsANewDrawingAtFullSize();
    void existingFileLoadsUnmodified();
    void damagedFileSaysWhyAndKeepsTheFile();
    void drawingOfHugePicturesSaysWhy();
    void insertableKindsDependOnTheOwner();
    void templatesComeFromTheHost();
    void clinicalListsLeaveHiddenRowsOut();
    void patientDocumentsInsertFittedPictures();
    void droppedCellInsertsWhereItLands();
    void closingAsks_data();
    void closingAsks();
    void saveWritesTheHostsFileAndOpenDoesNotChangeIt();
    void zoomMenuAndButtons();
    void objectInformationNamesTheShape();
    void editMenuFollowsTheSelection();
    void panelsEditTheSelectionButNeverWhileFilled();
    void fontsApplyOnlyToText();
    void pictureToolFitsLargePictures();
    void picturesStayWithinWhatADrawingHolds();
    void exportAndPrint();
    void canvasSizeDialog();
    void printWindowSaysAFileIsMissing();
    void printWindowPrintsAtThePageCorner();
    void printWindowWithoutAPrinterPrintsNothing();

private:
    QComboBox *insertables(Illustrator &w) { return child<QComboBox>(&w, "cboInsertables"); }
    void addListRow(const QString &table, qint32 code, const QString &description, bool hide, QColor colour);
    // Opens the window on file and runs script inside it.
    void edit(Illustrator &window, const QString &file, std::function<void(Illustrator &)> script,
              qint32 parentTable = 2, qint32 parentRecord = 3);
    void edit(const QString &file, std::function<void(Illustrator &)> script, qint32 parentTable = 2)
    {
        Illustrator window;
        edit(window, file, std::move(script), parentTable);
    }

    IllustratorFixture f;
};

void TestIllustrator::init()
{
    QVERIFY(f.open());
}

void TestIllustrator::cleanup()
{
    f.close();
}

void TestIllustrator::edit(Illustrator &window, const QString &file, std::function<void(Illustrator &)> script,
                           qint32 parentTable, qint32 parentRecord)
{
    f.responder->pushModal([&](QDialog *) {
        script(window);
        return 0;
    });
    QCOMPARE(window.EditIllustration(QStringLiteral("Plan"), file, 11, parentTable, parentRecord, false), 0);
}

void TestIllustrator::addListRow(const QString &table, qint32 code, const QString &description, bool hide,
                                 QColor colour)
{
    std::unique_ptr<Recordset> rs;
    f.host->FillRecordSet(rs, QStringLiteral("Select * From ") + table);
    QImage picture(30, 20, QImage::Format_RGB32);
    picture.fill(colour);
    rs->addNew();
    rs->setValue(QStringLiteral("Entry_Code"), code);
    rs->setValue(QStringLiteral("Description"), description);
    rs->setValue(QStringLiteral("Hide"), hide);
    rs->setValue(QStringLiteral("Image"), picture);
    rs->update();
}

void TestIllustrator::fittingRule_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("box");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("fits: centred") << QSize(100, 50) << QSize(640, 480) << QRect(270, 215, 100, 50);
    QTest::newRow("empty picture unchanged") << QSize(0, 50) << QSize(640, 480) << QRect(0, 0, 0, 50);
    QTest::newRow("wide box fixes the height") << QSize(1280, 480) << QSize(640, 480) << QRect(-320, 0, 1280, 480);
    QTest::newRow("tall box fixes the width") << QSize(1000, 500) << QSize(400, 600) << QRect(0, 200, 400, 200);
    QTest::newRow("square box fixes the width") << QSize(300, 600) << QSize(200, 200) << QRect(0, -100, 200, 400);
}

void TestIllustrator::fittingRule()
{
    QFETCH(QSize, picture);
    QFETCH(QSize, box);
    QFETCH(QRect, expected);
    QCOMPARE(fitPicture(picture, box), expected);
}

void TestIllustrator::emptyFileStartsANewDrawingAtFullSize()
{
    Illustrator window;
    window.drawing()->setCanvasWidth(100);
    edit(window, QString(), [&](Illustrator &w) {
        QCOMPARE(w.drawing()->canvasWidth(), 640);
        QCOMPARE(w.drawing()->canvasHeight(), 480);
        QCOMPARE(w.drawing()->objectCount(), 0);
        QCOMPARE(child<QMenu>(&w, "mnuZoom")->title(), QStringLiteral("Zoom (100%)"));
        QVERIFY(!w.isModified());
        // Closing an unchanged drawing asks nothing.
        w.close();
        QVERIFY(!w.isVisible());
    });
    QCOMPARE(messageTexts(*f.responder).size(), 0);
    QCOMPARE(f.responder->unexpected(), 0);
}

void TestIllustrator::existingFileLoadsUnmodified()
{
    Drawing d;
    d.background = QColor(10, 20, 30);
    const QString file = f.path(QStringLiteral("plan.ils"));
    QVERIFY(saveIlsFile(file, d).ok());
    Illustrator window;
    edit(window, file, [&](Illustrator &w) {
        QCOMPARE(w.drawing()->backColor(), QColor(10, 20, 30));
        QCOMPARE(w.editColor(2), QColor(10, 20, 30));
        QVERIFY(!w.isModified());
        QCOMPARE(w.illustrationFile(), file);
    });
    // The context goes with the window.
    QVERIFY(window.illustrationFile().isEmpty());
}

void TestIllustrator::damagedFileSaysWhyAndKeepsTheFile()
{
    const QString file = f.path(QStringLiteral("broken.ils"));
    QVERIFY(Testing::writeFile(file, "TOVRAILS\0\1"));
    edit(file, [&](Illustrator &w) {
        QCOMPARE(w.drawing()->objectCount(), 0);
        w.close();
    });
    QCOMPARE(messageTexts(*f.responder).size(), 1);
    QVERIFY(messageTexts(*f.responder).first().contains(QStringLiteral("broken.ils")));
    QCOMPARE(Testing::fileContents(file), QByteArray("TOVRAILS\0\1"));
}

void TestIllustrator::drawingOfHugePicturesSaysWhy()
{
    const QString file = f.path(QStringLiteral("huge.ils"));
    const QByteArray bytes = writeIls(Testing::bigPicturesDrawing(15, 8000));
    QVERIFY(Testing::writeFile(file, bytes));
    edit(file, [&](Illustrator &w) {
        QCOMPARE(w.drawing()->objectCount(), 0);
        QVERIFY(!w.isModified());
        w.close();
    });
    const QStringList shown = messageTexts(*f.responder);
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.first().startsWith(
                 QStringLiteral("huge.ils: The file holds a picture of 8000 x 8000 pixels, "
                                "too large for a drawing")),
             qPrintable(shown.first()));
    QCOMPARE(Testing::fileContents(file), bytes);
}

void TestIllustrator::insertableKindsDependOnTheOwner()
{
    // Patients' documents only for a drawing of the patient's table.
    for (qint32 parent : {2, 1}) {
        QStringList kinds;
        edit(QString(), [&](Illustrator &w) {
            for (int i = 0; i < insertables(w)->count(); ++i)
                kinds << QString::number(insertables(w)->itemData(i).toInt()) + u' ' + insertables(w)->itemText(i);
        }, parent);
        QStringList expected = {QStringLiteral("1 Complaints"), QStringLiteral("2 On Exam"),
                                QStringLiteral("3 Rx Advised"), QStringLiteral("4 Work Steps")};
        if (parent == 2)
            expected << QStringLiteral("5 Patient's Documents");
        QCOMPARE(kinds, expected);
    }
}

void TestIllustrator::templatesComeFromTheHost()
{
    const QString tooth = f.drawingFile(QStringLiteral("tooth.ils"), Qt::red);
    f.host->ExecuteStmt(false, QStringLiteral("Insert Into IllustrationTemplates (Entry_Code, Description, IllustrationFile) Values (7, 'Lower molar', '%1')").arg(tooth));
    f.host->ExecuteStmt(false, QStringLiteral("Insert Into IllustrationTemplates (Entry_Code, Description, IllustrationFile) Values (9, 'Gone', '/nowhere/gone.ils')"));
    f.host->ExecuteStmt(false, QStringLiteral("Insert Into IllustrationTemplates (Entry_Code, Description, IllustrationFile) Values (0, 'Not offered', '%1')").arg(tooth));
    Illustrator window;
    QVERIFY(child<QMenu>(&window, "mnuLoadIls")->isEnabled());
    QCOMPARE(child<QAction>(&window, "mnuIlsTemplate_0")->text(), QStringLiteral("Lower molar"));
    QCOMPARE(child<QAction>(&window, "mnuIlsTemplate_1")->data().toInt(), 9);
    QVERIFY(!window.findChild<QAction *>(QStringLiteral("mnuIlsTemplate_2")));
    edit(window, QString(), [&](Illustrator &w) {
        IllustratorFixture::trigger(&w, "mnuIlsTemplate_1");
        QCOMPARE(w.drawing()->objectCount(), 0);
        IllustratorFixture::trigger(&w, "mnuIlsTemplate_0");
        QCOMPARE(w.drawing()->objectCount(), 1);
        QCOMPARE(w.drawing()->drawing().objects.first().fill, QColor(Qt::red));
    });
    QCOMPARE(messageTexts(*f.responder).first(), QStringLiteral("/nowhere/gone.ils not found !"));
}

void TestIllustrator::clinicalListsLeaveHiddenRowsOut()
{
    addListRow(QStringLiteral("Complaints"), 1, QStringLiteral("Toothache"), false, Qt::red);
    addListRow(QStringLiteral("Complaints"), 2, QStringLiteral("Abscess"), false, Qt::green);
    addListRow(QStringLiteral("Complaints"), 3, QStringLiteral("Hidden"), true, Qt::blue);
    addListRow(QStringLiteral("WorkSteps"), 1, QStringLiteral("Suture"), false, Qt::black);
    edit(QString(), [&](Illustrator &w) {
        auto *grid = child<QTableWidget>(&w, "msfToolBox");
        QVERIFY(grid->toolTip().startsWith(QStringLiteral(" Click on New / Modify button under Visits")));
        Q_EMIT insertables(w)->activated(0);
        QCOMPARE(grid->item(0, 0)->text(), QStringLiteral("Abscess"));
        QCOMPARE(grid->item(0, 1)->text(), QStringLiteral("Toothache"));
        QVERIFY(!grid->item(0, 2));
        QVERIFY(!grid->item(0, 0)->icon().isNull());
        QVERIFY(grid->toolTip().isEmpty());
        Q_EMIT insertables(w)->activated(3);
        QCOMPARE(grid->item(0, 0)->text(), QStringLiteral("Suture"));
        QVERIFY(!grid->item(0, 1));
    });
}

void TestIllustrator::patientDocumentsInsertFittedPictures()
{
    QImage big(1280, 960, QImage::Format_RGB32);
    big.fill(QColor(0, 128, 255));
    const QString jpg = f.path(QStringLiteral("xray.png"));
    QVERIFY(big.save(jpg));
    f.host->ExecuteStmt(false, QStringLiteral("Insert Into Books (Entry_Code, Description, PatientCode) Values (4, 'Mine', 3)"));
    f.host->ExecuteStmt(false, QStringLiteral("Insert Into BookContents (Entry_Code, BookCode, FileName, EntryType) Values (21, 4, '%1', 1)").arg(jpg));
    f.host->ExecuteStmt(false, QStringLiteral("Insert Into BookContents (Entry_Code, BookCode, FileName, EntryType) Values (22, 4, '/a/video.avi', 2)"));
    edit(QString(), [&](Illustrator &w) {
        Q_EMIT insertables(w)->activated(4);
        auto *grid = child<QTableWidget>(&w, "msfToolBox");
        QVERIFY(grid->item(0, 0));
        QVERIFY(!grid->item(0, 1));
        Q_EMIT grid->cellPressed(0, 0);
        const DrawObject picture = *w.drawing()->selectedObject();
        QCOMPARE(picture.kind, ShapeKind::Picture);
        QCOMPARE(picture.rect, QRectF(0, 0, 640, 480));
        QCOMPARE(picture.picture.size(), QSize(640, 480));
        QCOMPARE(picture.picture.pixelColor(320, 240), QColor(0, 128, 255));
        QVERIFY(w.isModified());
    });
}

void TestIllustrator::droppedCellInsertsWhereItLands()
{
    addListRow(QStringLiteral("PossibleTreatments"), 5, QStringLiteral("Crown"), false, Qt::magenta);
    edit(QString(), [&](Illustrator &w) {
        Q_EMIT insertables(w)->activated(2);
        QMimeData mime;
        mime.setData(ObjDraw::kInsertableFormat, "3 5");
        mime.setImageData(child<QTableWidget>(&w, "msfToolBox")->item(0, 0)->data(Qt::UserRole + 1));
        ObjDraw *draw = w.drawing();
        const QPoint at = draw->mapFromScene(QPointF(200, 100));
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(draw->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(draw->viewport(), &drop);
        const DrawObject o = *draw->selectedObject();
        QCOMPARE(o.rect, QRectF(200, 100, 30, 20));
        QCOMPARE(o.picture.pixelColor(5, 5), QColor(Qt::magenta));
        QVERIFY(w.isModified());
    });
}

void TestIllustrator::closingAsks_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<std::optional<QString>>("savePath");
    QTest::addColumn<bool>("stays");
    QTest::addColumn<QString>("saved");
    QTest::newRow("yes saves to the host's file") << "plan.ils" << Answer::Yes << std::optional<QString>() << false << "plan.ils";
    QTest::newRow("no closes without saving") << "plan.ils" << Answer::No << std::optional<QString>() << false << "";
    QTest::newRow("cancel keeps the window") << "plan.ils" << Answer::Cancel << std::optional<QString>() << true << "";
    QTest::newRow("short name asks where") << "a.i" << Answer::Yes << std::optional<QString>(QStringLiteral("chosen.ils")) << false << "chosen.ils";
    QTest::newRow("short name, dialog cancelled") << "a.i" << Answer::Yes << std::optional<QString>() << false << "";
}

void TestIllustrator::closingAsks()
{
    QFETCH(QString, file);
    QFETCH(Answer, answer);
    QFETCH(std::optional<QString>, savePath);
    QFETCH(bool, stays);
    QFETCH(QString, saved);
    const QString hostFile = file.size() < 4 ? file : f.path(file);
    edit(hostFile, [&](Illustrator &w) {
        DrawObject o;
        o.rect = QRectF(1, 2, 3, 4);
        w.drawing()->insertObject(o);
        QVERIFY(w.isModified());
        f.responder->pushAnswer(answer);
        if (file.size() < 4 && answer == Answer::Yes)
            f.responder->pushText(savePath ? std::optional<QString>(f.path(*savePath)) : std::nullopt);
        w.close();
        QCOMPARE(w.isVisible(), stays);
    });
    const QList<Prompt> prompts = f.responder->prompts();
    QCOMPARE(prompts.at(1).text, QStringLiteral("The drawing as been modified, do you want to save-it before quiting?"));
    if (file.size() < 4) {
        QCOMPARE(prompts.at(2).title, QStringLiteral("Save Illustration"));
        QCOMPARE(prompts.at(2).filter, QStringLiteral("Illustrations (*.ils)"));
    }
    for (const QString &name : {QStringLiteral("plan.ils"), QStringLiteral("chosen.ils")}) {
        const Result<Drawing> d = loadIlsFile(f.path(name));
        QCOMPARE(d.ok(), name == saved);
        if (d)
            QCOMPARE(d->objects.first().rect, QRectF(1, 2, 3, 4));
    }
}

void TestIllustrator::saveWritesTheHostsFileAndOpenDoesNotChangeIt()
{
    const QString hostFile = f.path(QStringLiteral("plan.ils"));
    const QString other = f.drawingFile(QStringLiteral("other.ils"), Qt::green);
    edit(hostFile, [&](Illustrator &w) {
        f.responder->pushText(other);
        IllustratorFixture::trigger(&w, "SmnuFile_1");
        QCOMPARE(f.responder->prompts().last().title, QStringLiteral("Open Illustration"));
        QCOMPARE(w.drawing()->objectCount(), 1);
        QVERIFY(!w.isModified());
        w.drawing()->selectObject(0);
        w.drawing()->moveSelection(QPointF(5, 5));
        QVERIFY(w.isModified());
        IllustratorFixture::trigger(&w, "Save"); // the toolbar button
        QVERIFY(!w.isModified());
        IllustratorFixture::trigger(&w, "SmnuFile_0");
        QCOMPARE(w.drawing()->objectCount(), 0);
        QVERIFY(!w.isModified());
        w.close();
    });
    const Result<Drawing> saved = loadIlsFile(hostFile);
    QVERIFY(saved.ok());
    QCOMPARE(saved->objects.first().rect.topLeft(), QPointF(25, 35));
    QCOMPARE(loadIlsFile(other)->objects.first().rect.topLeft(), QPointF(20, 30));
}

void TestIllustrator::zoomMenuAndButtons()
{
    edit(QString(), [&](Illustrator &w) {
        auto *zoom = child<QMenu>(&w, "mnuZoom");
        IllustratorFixture::trigger(&w, "SmnuZoom_6");
        QCOMPARE(zoom->title(), QStringLiteral("Zoom (400%)"));
        QCOMPARE(w.drawing()->zoomFactor(), 4.0);
        QVERIFY(child<QAction>(&w, "SmnuZoom_6")->isChecked());
        QVERIFY(!child<QAction>(&w, "SmnuZoom_3")->isChecked());
        IllustratorFixture::trigger(&w, "UnZoom");
        IllustratorFixture::trigger(&w, "Zoom+");
        QCOMPARE(zoom->title(), QStringLiteral("Zoom (110%)"));
        IllustratorFixture::trigger(&w, "Zoom-");
        IllustratorFixture::trigger(&w, "Zoom-");
        QCOMPARE(zoom->title(), QStringLiteral("Zoom (90%)"));
        // The keypad zooms inside the control; the window follows.
        QTest::keyClick(w.drawing(), Qt::Key_Plus, Qt::KeypadModifier);
        QCOMPARE(zoom->title(), QStringLiteral("Zoom (100%)"));
        QVERIFY(child<QAction>(&w, "SmnuZoom_3")->isChecked());
        Q_EMIT zoom->aboutToShow();
        QCOMPARE(w.statusText(2), QStringLiteral("You can also change the Zoom Factor with \"+\" & \"-\" on KeyPad"));
    });
}

void TestIllustrator::objectInformationNamesTheShape()
{
    edit(QString(), [&](Illustrator &w) {
        ObjDraw *draw = w.drawing();
        struct Case { ShapeKind kind; QSize size; const char *name; };
        const Case cases[] = {{ShapeKind::Rectangle, {50, 50}, "Square"}, {ShapeKind::Rectangle, {50, 40}, "Rectangle"},
                              {ShapeKind::Ellipse, {30, 30}, "Circle"}, {ShapeKind::Ellipse, {30, 31}, "Ellipse"},
                              {ShapeKind::Star, {30, 31}, "Polygon"}, {ShapeKind::Text, {30, 31}, "Text"},
                              {ShapeKind::Line, {30, 31}, "Line"}, {ShapeKind::Arc, {30, 31}, "Arc"}};
        for (const Case &c : cases) {
            DrawObject o;
            o.kind = c.kind;
            o.rect = QRectF(QPointF(12, 34), c.size);
            draw->insertObject(o);
            QCOMPARE(w.statusText(2), QLatin1String(c.name) + QStringLiteral("   Pos. X:12  Y:34   Size W:")
                                          + QString::number(c.size.width()) + QStringLiteral("  H:")
                                          + QString::number(c.size.height()) + QStringLiteral(" "));
        }
        // Tools and keys leave their hints in the same panel.
        IllustratorFixture::trigger(&w, "Ellipse");
        QCOMPARE(w.statusText(2), QStringLiteral("Press and Hold \"Ctrl\" Button to make a perfect Circle"));
        IllustratorFixture::trigger(&w, "Star");
        QCOMPARE(w.statusText(2), QStringLiteral("Press and Hold \"Ctrl\" Button to make a perfect Polygon"));
        QTest::keyPress(draw, Qt::Key_Left);
        QCOMPARE(w.statusText(2), QStringLiteral("Press \"Ctrl\" key with arrows keys to switch selection"));
        QTest::keyRelease(draw, Qt::Key_Left);
        QCOMPARE(w.statusText(2), QString());
        // Mouse position, with a blank where a minus would go.
        QTest::mouseMove(draw->viewport(), draw->mapFromScene(QPointF(7, 0)));
        QTRY_COMPARE(w.statusText(1), QStringLiteral("X:  7 - Y:  0"));
        // A finished shape presses the Select button again.
        IllustratorFixture::trigger(&w, "Rectangle");
        Q_EMIT draw->shapeFinished();
        QVERIFY(child<QAction>(&w, "Select")->isChecked());
    });
}

void TestIllustrator::editMenuFollowsTheSelection()
{
    edit(QString(), [&](Illustrator &w) {
        auto *menu = child<QMenu>(&w, "mnuEdit");
        auto enabled = [&](const char *name) { return child<QAction>(&w, name)->isEnabled(); };
        QGuiApplication::clipboard()->clear();
        Q_EMIT menu->aboutToShow();
        for (const char *name : {"SmnuEdit_3", "SmnuEdit_4", "SmnuEdit_5", "SmnuEdit_7", "SmnuEdit_11", "SmnuEdit_12"})
            QVERIFY2(!enabled(name), name);
        DrawObject o;
        o.rect = QRectF(10, 10, 20, 20);
        w.drawing()->insertObject(o);
        Q_EMIT menu->aboutToShow();
        QVERIFY(enabled("SmnuEdit_3"));
        QVERIFY(!enabled("SmnuEdit_5"));
        IllustratorFixture::trigger(&w, "SmnuEdit_3"); // cut
        QCOMPARE(w.drawing()->objectCount(), 0);
        Q_EMIT menu->aboutToShow();
        QVERIFY(enabled("SmnuEdit_5"));
        QVERIFY(!enabled("SmnuEdit_4"));
        IllustratorFixture::trigger(&w, "SmnuEdit_5");
        QCOMPARE(w.drawing()->objectCount(), 1);
        IllustratorFixture::trigger(&w, "SmnuEdit_0");
        QCOMPARE(w.drawing()->objectCount(), 0);
        IllustratorFixture::trigger(&w, "SmnuEdit_1");
        QCOMPARE(w.drawing()->objectCount(), 1);
    });
}

void TestIllustrator::panelsEditTheSelectionButNeverWhileFilled()
{
    edit(QString(), [&](Illustrator &w) {
        ObjDraw *draw = w.drawing();
        DrawObject a;
        a.rect = QRectF(10, 10, 20, 20);
        a.fill = QColor(1, 2, 3);
        a.borderWidth = 9;
        a.rotation = 45;
        draw->insertObject(a);
        DrawObject b;
        b.rect = QRectF(100, 10, 20, 20);
        draw->insertObject(b);
        // Selecting fills the panels and changes nothing.
        child<QRadioButton>(&w, "OpColor_1")->setChecked(true);
        const Drawing before = draw->drawing();
        draw->selectObject(0);
        QCOMPARE(draw->drawing(), before);
        QCOMPARE(child<QScrollBar>(&w, "VScroll1")->value(), 9);
        QCOMPARE(child<QLineEdit>(&w, "TxtBorder")->text(), QStringLiteral("9"));
        QCOMPARE(child<QScrollBar>(&w, "ScrCol_2")->value(), 3);
        QCOMPARE(child<QSlider>(&w, "Slider1")->value(), 45);
        QCOMPARE(child<QLabel>(&w, "LblRotation")->text(), QStringLiteral("Rotation: 45°"));
        // Edits reach the selected object.
        child<QScrollBar>(&w, "ScrCol_0")->setValue(200);
        QCOMPARE(draw->selectedObject()->fill, QColor(200, 2, 3));
        child<QLineEdit>(&w, "TxtColor_1")->setText(QStringLiteral("77"));
        Q_EMIT child<QLineEdit>(&w, "TxtColor_1")->textEdited(QStringLiteral("77"));
        QCOMPARE(draw->selectedObject()->fill, QColor(200, 77, 3));
        child<QSlider>(&w, "Slider1")->setValue(-30);
        QCOMPARE(draw->selectedObject()->rotation, -30.0);
        child<QComboBox>(&w, "CboFill")->setCurrentIndex(6);
        QCOMPARE(draw->selectedObject()->fillStyle, FillStyle::Cross);
        child<QScrollBar>(&w, "VScroll2")->setValue(8);
        QCOMPARE(draw->selectedObject()->points, 8);
        // A palette swatch sets the chosen colour; the back colour is the drawing's.
        child<QRadioButton>(&w, "OpColor_2")->setChecked(true);
        Q_EMIT child<ColorPal>(&w, "ColorPal1")->colorClicked(QColor(0, 255, 0), Qt::LeftButton);
        QCOMPARE(draw->backColor(), QColor(0, 255, 0));
        QCOMPARE(draw->drawing().objects.at(1), before.objects.at(1));
        QVERIFY(w.isModified());
    });
}

void TestIllustrator::fontsApplyOnlyToText()
{
    edit(QString(), [&](Illustrator &w) {
        ObjDraw *draw = w.drawing();
        DrawObject rect;
        rect.rect = QRectF(10, 10, 20, 20);
        draw->insertObject(rect);
        child<QComboBox>(&w, "CboFontSize")->setCurrentText(QStringLiteral("40"));
        QCOMPARE(draw->selectedObject()->fontSize, 15.0);
        DrawObject text;
        text.kind = ShapeKind::Text;
        text.text = QStringLiteral("36");
        text.rect = QRectF(50, 10, 60, 30);
        draw->insertObject(text);
        child<QComboBox>(&w, "CboFontSize")->setCurrentText(QStringLiteral("24"));
        child<QComboBox>(&w, "CboFontName")->setCurrentText(QStringLiteral("Liberation Serif"));
        IllustratorFixture::trigger(&w, "Bold");
        IllustratorFixture::trigger(&w, "TextCenter");
        const DrawObject o = *draw->selectedObject();
        QCOMPARE(o.fontSize, 24.0);
        QCOMPARE(o.fontFamily, QStringLiteral("Liberation Serif"));
        QVERIFY(o.bold);
        QCOMPARE(o.align, TextAlign::Center);
    });
}

void TestIllustrator::pictureToolFitsLargePictures()
{
    QImage wide(3000, 1000, QImage::Format_RGB32);
    wide.fill(Qt::darkGreen);
    const QString file = f.path(QStringLiteral("wide.bmp"));
    QVERIFY(wide.save(file));
    edit(QString(), [&](Illustrator &w) {
        f.responder->pushText(file);
        IllustratorFixture::trigger(&w, "Picture");
        const Prompt asked = f.responder->prompts().last();
        QCOMPARE(asked.title, QStringLiteral("Import Image File"));
        QCOMPARE(asked.filter, QStringLiteral("All Picture files (*.jpg *.bmp *.gif *.ico *.cur *.dib *.wmf *.emf)"));
        const DrawObject o = *w.drawing()->selectedObject();
        QCOMPARE(o.rect, QRectF(-400, 0, 1440, 480));
        QCOMPARE(o.picture.size(), QSize(1440, 480)); // held at the size it is shown
        QVERIFY(child<QAction>(&w, "Select")->isChecked());
    });
}

void TestIllustrator::picturesStayWithinWhatADrawingHolds()
{
    const IlsLimits limits;
    QImage big(3000, 3000, QImage::Format_RGB32);
    big.fill(Qt::darkBlue);
    const QString file = f.path(QStringLiteral("big.bmp"));
    QVERIFY(big.save(file));
    const QString saved = f.path(QStringLiteral("big.ils"));
    edit(saved, [&](Illustrator &w) {
        w.drawing()->setCanvasWidth(3000);
        w.drawing()->setCanvasHeight(3000);
        // Shown at the canvas's size, kept at what a picture may hold.
        f.responder->pushText(file);
        IllustratorFixture::trigger(&w, "Picture");
        const DrawObject o = *w.drawing()->selectedObject();
        QCOMPARE(o.rect, QRectF(0, 0, 3000, 3000));
        QCOMPARE(o.picture.size(), QSize(2896, 2896));
        QVERIFY(qint64(o.picture.width()) * o.picture.height() <= limits.maxPicturePixels);
        QCOMPARE(messageTexts(*f.responder).size(), 0);

        // Another picture would take the drawing past what a file of it may hold.
        f.responder->pushText(file);
        IllustratorFixture::trigger(&w, "Picture");
        QCOMPARE(w.drawing()->objectCount(), 1);
        const QStringList shown = messageTexts(*f.responder);
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().startsWith(
                     QStringLiteral("The picture cannot be inserted: the drawing's pictures "
                                    "would hold more than 8.4 million pixels")),
                 qPrintable(shown.first()));
        IllustratorFixture::trigger(&w, "Save");
        w.close();
    });
    const Result<Drawing> reopened = loadIlsFile(saved);
    QVERIFY2(reopened.ok(), qPrintable(reopened.error()));
    QCOMPARE(reopened->objects.size(), 1);
}

void TestIllustrator::exportAndPrint()
{
    const QString file = f.drawingFile(QStringLiteral("plan.ils"), QColor(255, 0, 0));
    const QString bmp = f.path(QStringLiteral("plan.bmp"));
    edit(file, [&](Illustrator &w) {
        f.responder->pushText(QStringLiteral(" ") + bmp + QStringLiteral(" "));
        IllustratorFixture::trigger(&w, "SmnuFile_3");
        QCOMPARE(f.responder->prompts().last().title, QStringLiteral("Export Illustration"));
        QVERIFY(f.responder->prompts().last().filter.startsWith(QStringLiteral("Bitmap Image File (*.bmp)")));
        IllustratorFixture::trigger(&w, "SmnuFile_5");
    });
    QImageReader reader(bmp);
    QCOMPARE(reader.format(), QByteArray("bmp"));
    const QImage exported = reader.read();
    QCOMPARE(exported.size(), QSize(640, 480));
    QCOMPARE(exported.pixelColor(50, 50), QColor(255, 0, 0));
    // The illustrator's own print says nothing.
    QCOMPARE(messageTexts(*f.responder).size(), 0);
    QVERIFY(QFile::exists(f.pdfPath()));
}

void TestIllustrator::canvasSizeDialog()
{
    edit(QString(), [&](Illustrator &w) {
        QString inches[2], back[2];
        f.responder->pushModal([&](QDialog *d) {
            auto *width = child<QLineEdit>(d, "TxtWidth");
            auto *height = child<QLineEdit>(d, "TxtHeight");
            QTest::mouseClick(child<QRadioButton>(d, "OpType_1"), Qt::LeftButton);
            inches[0] = width->text();
            inches[1] = height->text();
            QTest::mouseClick(child<QRadioButton>(d, "OpType_0"), Qt::LeftButton);
            back[0] = width->text();
            back[1] = height->text();
            QTest::mouseClick(child<QRadioButton>(d, "OpType_2"), Qt::LeftButton);
            width->clear();
            QTest::keyClicks(width, QStringLiteral("254"));
            height->clear();
            QTest::keyClicks(height, QStringLiteral("tall")); // not a number: kept as it was
            QTest::mouseClick(child<QPushButton>(d, "BtnOk"), Qt::LeftButton);
            return d->result();
        });
        IllustratorFixture::trigger(&w, "SmnuOptions_0");
        QCOMPARE(inches[0], QStringLiteral(" 6.666667"));
        QCOMPARE(inches[1], QStringLiteral(" 5"));
        QCOMPARE(back[0], QStringLiteral(" 640"));
        QCOMPARE(back[1], QStringLiteral(" 480"));
        QCOMPARE(w.drawing()->canvasWidth(), 960);
        QCOMPARE(w.drawing()->canvasHeight(), 480);
        QVERIFY(w.isModified());

        // Closed without OK: the canvas stays.
        f.responder->pushModal([&](QDialog *d) {
            child<QLineEdit>(d, "TxtWidth")->setText(QStringLiteral("100"));
            Q_EMIT child<QLineEdit>(d, "TxtWidth")->textEdited(QStringLiteral("100"));
            d->close();
            return d->result();
        });
        IllustratorFixture::trigger(&w, "SmnuOptions_0");
        QCOMPARE(w.drawing()->canvasWidth(), 960);
    });
}

void TestIllustrator::printWindowSaysAFileIsMissing()
{
    int objects = -1;
    f.responder->pushModal([&](QDialog *d) {
        objects = child<ObjDraw>(d, "objDrawer")->objectCount();
        return 0;
    });
    MediaManager manager;
    manager.ShowIllustrationPrint(f.path(QStringLiteral("gone.ils")), 1, 2);
    QCOMPARE(objects, 0);
    QCOMPARE(messageTexts(*f.responder),
             QStringList {QStringLiteral("Illustration File : ") + f.path(QStringLiteral("gone.ils")) + QStringLiteral(" not found !")});
}

void TestIllustrator::printWindowPrintsAtThePageCorner()
{
    if (!pdfcheck::toolsPresent())
        QSKIP("poppler-utils are not installed");
    // A 192 x 96 canvas is two inches by one on paper; its rectangle sits at (20, 30).
    const QString file = f.drawingFile(QStringLiteral("plan.ils"), QColor(0, 0, 255), QSize(192, 96));
    PrintIllustration window;
    int objects = -1;
    f.responder->pushModal([&](QDialog *d) {
        objects = child<ObjDraw>(d, "objDrawer")->objectCount();
        QTest::mouseClick(child<QPushButton>(d, "cmdPrint"), Qt::LeftButton);
        return 0;
    });
    QCOMPARE(window.ShowIllustrationPrint(file, 0, 0), 0);
    QCOMPARE(objects, 1);
    QCOMPARE(messageTexts(*f.responder), QStringList {QStringLiteral("Illustration  routed to printer !")});

    QCOMPARE(pdfcheck::pages(f.pdfPath()), 1);
    const QSizeF a4 = pdfcheck::pageSize(f.pdfPath());
    QVERIFY2(qAbs(a4.width() - 210 / 25.4) < 0.01 && qAbs(a4.height() - 297 / 25.4) < 0.01,
             qPrintable(QStringLiteral("%1 x %2").arg(a4.width()).arg(a4.height())));

    // At 96 dpi one page pixel is one drawing pixel.
    const QImage page = pdfcheck::render(f.pdfPath(), 1, 96);
    QCOMPARE(page.size(), QSize(794, 1123));
    const auto near = [&](int x, int y, QColor colour) { return pdfcheck::near(page.pixel(x, y), colour, 8); };
    QVERIFY(near(70, 60, Qt::blue));    // inside the rectangle
    QVERIFY(near(10, 10, Qt::white));   // canvas, outside it
    QVERIFY(near(118, 88, Qt::blue));   // near its far corner
    QVERIFY(near(125, 95, Qt::white));
    QVERIFY(near(300, 300, Qt::white)); // beyond the canvas
    // The canvas border is where the picture ends: nothing is drawn past 192 x 96.
    for (int x = 193; x < 260; x += 10)
        QVERIFY(near(x, 40, Qt::white));
}

void TestIllustrator::printWindowWithoutAPrinterPrintsNothing()
{
    setIllustrationPrinterFactory([](QWidget *) { return std::unique_ptr<QPrinter>(); });
    PrintIllustration window;
    f.responder->pushModal([&](QDialog *d) {
        QTest::mouseClick(child<QPushButton>(d, "cmdPrint"), Qt::LeftButton);
        return 0;
    });
    window.ShowIllustrationPrint(f.drawingFile(QStringLiteral("plan.ils"), Qt::red), 0, 0);
    QCOMPARE(messageTexts(*f.responder), QStringList());
    QVERIFY(!QFile::exists(f.pdfPath()));
}

QTEST_MAIN(TestIllustrator)
#include "tst_illustrator.moc"
