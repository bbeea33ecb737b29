#include "hostilepe.h"
#include "iconfixture.h"

#include "icons/colorpalette.h"
#include "icons/folderbrowser.h"
#include "icons/iconeditor.h"
#include "icons/icongrabber.h"
#include "icons/iconlib.h"
#include "icons/inifile.h"
#include "icons/viewicon.h"

#include "component/dialogservice.h"
#include "component/hostlink.h"
#include "support/recordingdatalink.h"

#include <tovradocs/iconlibrary.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabBar>
#include <QUrl>

using namespace tovradocs;
using namespace tovradocs::Internal;
using namespace tovradocs::Testing;

namespace {

constexpr QRgb White = 0xffffffff;
constexpr QRgb Black = 0xff000000;
constexpr QRgb Red = 0xffff0000;
constexpr QRgb Blue = 0xff0000ff;

} // namespace

// The editor, library, grabber and viewer over a reference host behind a
// recording link, with their settings in a scratch folder.
class TestIconWindows : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void brushes_data();
    void brushes();
    void shapes();
    void shapesInScreenMode();
    void fillStopsAtItsBoundary();
    void floatingSelection();
    void flipsRotationsInvert();
    void undoReturnsToTheLastToolPick();
    void clipboard();
    void pasteTooLarge();
    void saveAndDiscard();
    void paletteClicksAndDialog();
    void settingsRoundTrip();
    void doneAndClose();
    void librarySets();
    void libraryDeliversOrLeavesTheBoard();
    void grabberReadsCheckedTypesAndSkipsDamage();
    void grabberNamesFilesNotReadInFull();
    void viewerRefusesBadFiles();
    void viewerLimitAndOpen();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QPoint at(int x, int y) const { return {x * m_ed->zoom() + m_ed->zoom() / 2, y * m_ed->zoom() + m_ed->zoom() / 2}; }
    void drag(Qt::MouseButton button, QPoint from, QPoint to, Qt::KeyboardModifiers mods = {});
    QWidget *area() const { return child(m_ed, "Pic_Edit"); }
    QAction *edit(int i) const { return m_ed->item("Menu_Edit", i); }
    QRgb pixel(int x, int y) const { return m_ed->kit().planes.image.pixel(x, y); }
    QRgb maskAt(int x, int y) const { return m_ed->kit().planes.mask.pixel(x, y); }

    QTemporaryDir m_dir;
    std::shared_ptr<ReferenceHost> m_host;
    std::shared_ptr<RecordingDataLink> m_link;
    std::unique_ptr<ScriptedResponder> m_responder;
    std::unique_ptr<QLabel> m_board;
    std::unique_ptr<IconEditor> m_ed;
};

void TestIconWindows::initTestCase()
{
    QVERIFY(m_dir.isValid());
    IconKit::setSettingsFolder(path(QStringLiteral("config")));
    m_host = openTestHost(path(QStringLiteral("host")));
    QVERIFY(m_host);
}

void TestIconWindows::init()
{
    QFile::remove(IconKit::settingsPath());
    m_link = std::make_shared<RecordingDataLink>(m_host);
    setHostLink(m_link, nullptr);
    m_responder = std::make_unique<ScriptedResponder>();
    DialogService::setResponder(m_responder.get());
    m_board = std::make_unique<QLabel>();
    m_ed = std::make_unique<IconEditor>(nullptr, m_board.get());
    m_ed->kit().mouse[IconKit::LeftColour] = 255; // red
    m_ed->kit().mouse[IconKit::RightColour] = 0xff0000; // blue
}

void TestIconWindows::cleanup()
{
    m_ed.reset();
    m_board.reset();
    DialogService::setResponder(nullptr);
    m_responder.reset();
    clearHostLink();
}

void TestIconWindows::drag(Qt::MouseButton button, QPoint from, QPoint to, Qt::KeyboardModifiers mods)
{
    QTest::mousePress(area(), button, mods, from);
    QTest::mouseMove(area(), (from + to) / 2);
    QTest::mouseMove(area(), to);
    QTest::mouseRelease(area(), button, mods, to);
}

void TestIconWindows::brushes_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<QPoint>("spot");
    QTest::addColumn<QRect>("painted");
    QTest::newRow("small") << 0 << QPoint(10, 10) << QRect(10, 10, 1, 1);
    QTest::newRow("medium") << 1 << QPoint(10, 10) << QRect(9, 9, 3, 3);
    QTest::newRow("large") << 2 << QPoint(10, 10) << QRect(8, 8, 5, 5);
    QTest::newRow("large, clipped at the edge") << 2 << QPoint(0, 0) << QRect(0, 0, 3, 3);
}

void TestIconWindows::brushes()
{
    QFETCH(int, item);
    QFETCH(QPoint, spot);
    QFETCH(QRect, painted);
    m_ed->item("Menu_Brush", item)->trigger();
    QTest::mouseClick(area(), Qt::RightButton, {}, at(spot.x(), spot.y()));
    QTest::mouseClick(area(), Qt::MiddleButton, {}, at(20, 20)); // paints nothing
    QRect opaque;
    int blue = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            if (maskAt(x, y) == Black) {
                opaque |= QRect(x, y, 1, 1);
                blue += pixel(x, y) == Blue ? 1 : 0;
            }
    QCOMPARE(opaque, painted);
    QCOMPARE(blue, painted.width() * painted.height());
    QVERIFY(m_ed->kit().slot().changed);
    QCOMPARE(m_ed->kit().slot().icon.colour.pixel(spot), Blue);
}

void TestIconWindows::shapes()
{
    m_ed->pickTool(IconTools::Line);
    drag(Qt::LeftButton, at(2, 3), at(12, 3));
    QCOMPARE(pixel(2, 3), Red);
    QCOMPARE(pixel(12, 3), Red); // both ends
    QCOMPARE(maskAt(13, 3), White);

    m_ed->pickTool(IconTools::Circle);
    drag(Qt::LeftButton, at(20, 5), at(20, 25)); // vertical: nothing
    for (int y = 0; y < 32; ++y)
        QCOMPARE(maskAt(20, y), White);

    m_ed->pickTool(IconTools::Square);
    drag(Qt::LeftButton, at(20, 20), at(10, 10)); // corners in any order
    QCOMPARE(pixel(10, 10), Red);
    QCOMPARE(pixel(20, 15), Red);
    QCOMPARE(maskAt(15, 15), White); // outline only

    m_ed->pickTool(IconTools::FilledSquare);
    drag(Qt::RightButton, at(24, 24), at(28, 28));
    QCOMPARE(pixel(26, 26), Blue);

    m_ed->pickTool(IconTools::FilledCircle);
    drag(Qt::LeftButton, at(0, 20), at(10, 30));
    QCOMPARE(pixel(5, 25), Red); // centre filled
    QCOMPARE(maskAt(0, 20), White); // corner outside the ellipse
}

void TestIconWindows::shapesInScreenMode()
{
    // Fill the icon opaque first so screen and inverse pixels stand out.
    m_ed->pickTool(IconTools::FilledSquare);
    drag(Qt::LeftButton, at(0, 0), at(31, 31));
    m_ed->item("Menu_Color", IconEditor::ColorScreenInverse)->trigger();
    QVERIFY(m_ed->screenMode());
    QVERIFY(child<QAbstractButton>(m_ed, "Opt_Mouse_1")->isChecked());
    m_ed->pickTool(IconTools::Line);
    drag(Qt::LeftButton, at(1, 1), at(8, 1));   // screen
    drag(Qt::RightButton, at(1, 5), at(8, 5));  // inverse
    QCOMPARE(maskAt(4, 1), White);
    QCOMPARE(pixel(4, 1), Black);
    QCOMPARE(maskAt(4, 5), White);
    QCOMPARE(pixel(4, 5), White);
    const QImage shown = m_ed->shownIcon();
    QCOMPARE(shown.pixel(4, 1), White); // the screen colour
    QCOMPARE(shown.pixel(4, 5), Black); // its inverse
}

void TestIconWindows::fillStopsAtItsBoundary()
{
    m_ed->pickTool(IconTools::Square);
    drag(Qt::LeftButton, at(5, 5), at(15, 15));
    m_ed->pickTool(IconTools::Fill);
    QTest::mouseClick(area(), Qt::RightButton, {}, at(10, 10));
    QCOMPARE(pixel(10, 10), Blue);
    QCOMPARE(pixel(6, 14), Blue);
    QCOMPARE(pixel(5, 5), Red);        // the boundary stays
    QCOMPARE(maskAt(20, 20), White);   // outside untouched
    QCOMPARE(maskAt(4, 10), White);

    // Filling the outside in Screen/Inverse mode (right: inverse) reaches every outside pixel.
    m_ed->item("Menu_Color", IconEditor::ColorScreenInverse)->trigger();
    QTest::mouseClick(area(), Qt::RightButton, {}, at(0, 0));
    QCOMPARE(pixel(31, 31), White);
    QCOMPARE(maskAt(31, 31), White);
    QCOMPARE(pixel(10, 10), Blue);
    // A click outside the area fills nothing.
    const Planes before = m_ed->kit().planes;
    QTest::mouseClick(area(), Qt::LeftButton, {}, QPoint(-3, -3));
    QVERIFY(m_ed->kit().planes == before);
}

void TestIconWindows::floatingSelection()
{
    m_ed->pickTool(IconTools::FilledSquare);
    drag(Qt::LeftButton, at(2, 2), at(5, 5));
    m_ed->pickTool(IconTools::Select);
    drag(Qt::LeftButton, at(2, 2), at(5, 5));
    QVERIFY(m_ed->hasSelection());
    QCOMPARE(m_ed->selection(), QRect(2, 2, 4, 4));
    QVERIFY(!m_ed->floating());

    drag(Qt::LeftButton, at(3, 3), at(13, 6)); // move by (10, 3)
    QVERIFY(m_ed->floating());
    QCOMPARE(m_ed->selection(), QRect(12, 5, 4, 4));
    QCOMPARE(maskAt(3, 3), White); // lifted out
    QCOMPARE(m_ed->shownIcon().pixel(13, 6), Red);

    // Moving past the right edge stops on that axis only.
    QTest::mousePress(area(), Qt::LeftButton, {}, at(13, 6));
    QTest::mouseMove(area(), at(40, 8));
    QTest::mouseRelease(area(), Qt::LeftButton, {}, at(40, 8));
    QCOMPARE(m_ed->selection().top(), 7);
    QCOMPARE(m_ed->selection().left(), 12);
    QVERIFY(!edit(IconEditor::EditRotateRight)->isEnabled()); // floating

    // Picking a tool drops it into the planes.
    m_ed->pickTool(IconTools::Paint);
    QVERIFY(!m_ed->floating());
    QCOMPARE(pixel(12, 7), Red);
    QCOMPARE(pixel(15, 10), Red);

    // The fixed selection stays; with Shift its source stays too: a copy is dragged.
    m_ed->pickTool(IconTools::Select);
    QCOMPARE(m_ed->selection(), QRect(12, 7, 4, 4));
    drag(Qt::LeftButton, at(12, 7), at(2, 20), Qt::ShiftModifier);
    m_ed->pickTool(IconTools::Paint);
    QCOMPARE(pixel(12, 7), Red);
    QCOMPARE(pixel(2, 20), Red);
}

void TestIconWindows::flipsRotationsInvert()
{
    m_ed->kit().planes.image.setPixel(0, 0, Red);
    m_ed->kit().planes.mask.setPixel(0, 0, Black);
    m_ed->item("Menu_Edit", IconEditor::EditSelectAll)->trigger();
    QCOMPARE(m_ed->kit().tool, int(IconTools::Select));
    edit(IconEditor::EditFlipH)->trigger();
    QCOMPARE(pixel(31, 0), Red);
    QCOMPARE(maskAt(0, 0), White);
    edit(IconEditor::EditFlipV)->trigger();
    QCOMPARE(pixel(31, 31), Red);
    edit(IconEditor::EditRotateRight)->trigger(); // (31,31) -> (0,31)
    QCOMPARE(pixel(0, 31), Red);
    edit(IconEditor::EditRotateLeft)->trigger();
    edit(IconEditor::EditRotateLeft)->trigger(); // (0,31) -> (31,31) -> (31,0)
    QCOMPARE(pixel(31, 0), Red);
    edit(IconEditor::EditInvert)->trigger();
    QCOMPARE(pixel(31, 0), 0xff00ffffu);
    QCOMPARE(maskAt(31, 0), Black);     // the mask stays
    QCOMPARE(pixel(5, 5), White);       // screen pixels become inverse ones

    // Rotation needs a square selection.
    drag(Qt::LeftButton, at(40, 40), at(40, 40)); // clears by starting outside
    drag(Qt::LeftButton, at(2, 2), at(5, 3));
    QVERIFY(!edit(IconEditor::EditRotateRight)->isEnabled());
    QVERIFY(!edit(IconEditor::EditRotateLeft)->isEnabled());
    QVERIFY(edit(IconEditor::EditFlipH)->isEnabled());
    drag(Qt::LeftButton, at(20, 20), at(23, 23));
    QVERIFY(edit(IconEditor::EditRotateRight)->isEnabled());
    QVERIFY(edit(IconEditor::EditCut)->isEnabled());
}

void TestIconWindows::undoReturnsToTheLastToolPick()
{
    QTest::mouseClick(area(), Qt::LeftButton, {}, at(1, 1));
    m_ed->pickTool(IconTools::Paint);
    const Planes picked = m_ed->kit().planes;
    QTest::mouseClick(area(), Qt::LeftButton, {}, at(5, 5));
    QTest::mouseClick(area(), Qt::LeftButton, {}, at(6, 6));
    m_ed->item("Menu_Tools", IconTools::Line)->trigger(); // a menu pick stores the state too
    const Planes menuPicked = m_ed->kit().planes;
    drag(Qt::LeftButton, at(0, 10), at(20, 10));
    drag(Qt::LeftButton, at(0, 12), at(20, 12));
    edit(IconEditor::EditUndo)->trigger();
    QVERIFY(m_ed->kit().planes == menuPicked);
    QVERIFY(!(m_ed->kit().planes == picked));
    QCOMPARE(pixel(1, 1), Red);
    // Clicking the undo thumbnail does the same.
    drag(Qt::LeftButton, at(0, 14), at(20, 14));
    QTest::mouseClick(child(m_ed, "Pic_Undo"), Qt::LeftButton);
    QVERIFY(m_ed->kit().planes == menuPicked);
}

void TestIconWindows::clipboard()
{
    // Red opaque pixels and white ones that equal the screen colour.
    m_ed->pickTool(IconTools::FilledSquare);
    drag(Qt::LeftButton, at(0, 0), at(1, 1));
    m_ed->pickTool(IconTools::Select);
    drag(Qt::LeftButton, at(0, 0), at(3, 1));
    edit(IconEditor::EditCopy)->trigger();
    const QImage copied = QApplication::clipboard()->image();
    QCOMPARE(copied.size(), QSize(4, 2));
    QCOMPARE(copied.pixel(0, 0), Red);
    QCOMPARE(copied.pixel(3, 0), White);

    edit(IconEditor::EditCut)->trigger();
    QCOMPARE(maskAt(0, 0), White);

    m_ed->findChild<QMenu *>(QStringLiteral("Menu_Edit"))->aboutToShow();
    QVERIFY(edit(IconEditor::EditPaste)->isEnabled());
    edit(IconEditor::EditPaste)->trigger();
    QVERIFY(m_ed->floating());
    QCOMPARE(m_ed->selection(), QRect(0, 0, 4, 2));
    m_ed->pickTool(IconTools::Paint); // drop
    QCOMPARE(pixel(0, 0), Red);
    QCOMPARE(maskAt(0, 0), Black);
    QCOMPARE(maskAt(3, 0), White); // the screen colour became transparent

    m_ed->item("Menu_Edit", IconEditor::EditPasteOpaque)->trigger();
    m_ed->pickTool(IconTools::Paint);
    QCOMPARE(maskAt(3, 0), Black);
    QCOMPARE(pixel(3, 0), White);

    // A full-size picture covers the icon.
    QImage full(32, 32, QImage::Format_RGB32);
    full.fill(Qt::green);
    QApplication::clipboard()->setImage(full);
    edit(IconEditor::EditPasteOpaque)->trigger();
    QCOMPARE(m_ed->selection(), QRect(0, 0, 32, 32));
}

void TestIconWindows::pasteTooLarge()
{
    QImage big(40, 20, QImage::Format_RGB32);
    big.fill(Qt::blue);
    QApplication::clipboard()->setImage(big);
    const Planes before = m_ed->kit().planes;
    edit(IconEditor::EditPaste)->trigger();
    QVERIFY(!m_ed->floating());
    QVERIFY(m_ed->kit().planes == before);
    const QStringList messages = m_link->callsOf(QStringLiteral("PassMessage"));
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages.first().contains(QStringLiteral("ClipBoard image is too large:  40 x 20\r\nImage not pasted")),
             qPrintable(messages.first()));
}

void TestIconWindows::saveAndDiscard()
{
    QTest::mouseClick(area(), Qt::LeftButton, {}, at(3, 3));
    const QString folder = path(QStringLiteral("saved"));
    QDir().mkpath(folder);
    // "&Save" on an untitled slot asks for a name; no suffix gets ".ICO".
    m_responder->pushText(folder + QStringLiteral("/tooth"));
    m_ed->item("Menu_File", IconEditor::FileSave)->trigger();
    const QList<Prompt> prompts = m_responder->prompts();
    QCOMPARE(prompts.size(), 1);
    QCOMPARE(prompts.first().title, QStringLiteral("Save Icon as.."));
    QCOMPARE(prompts.first().initial, QStringLiteral("*.ico"));
    QVERIFY(QFile::exists(folder + QStringLiteral("/tooth.ICO")));
    QCOMPARE(m_ed->windowTitle(), QStringLiteral("Icon IconEditor: 1 - tooth.ICO"));
    QCOMPARE(m_ed->item("Menu_Icons", 0)->text(), QStringLiteral("&1 - [%1/]\ttooth.ICO").arg(folder));
    QVERIFY(!m_ed->kit().slot().changed);

    // Known name: saved again without asking.
    QTest::mouseClick(area(), Qt::LeftButton, {}, at(4, 4));
    m_ed->item("Menu_File", IconEditor::FileSave)->trigger();
    QCOMPARE(m_responder->prompts().size(), 1);

    // New asks only about a changed slot; No keeps the icon.
    QTest::mouseClick(area(), Qt::LeftButton, {}, at(5, 5));
    m_responder->pushAnswer(Answer::No);
    m_ed->item("Menu_File", IconEditor::FileNew)->trigger();
    QCOMPARE(m_responder->prompts().size(), 2);
    QCOMPARE(m_responder->prompts().last().title, QStringLiteral("ICON HAS CHANGED"));
    QCOMPARE(m_responder->prompts().last().text,
             QStringLiteral("Icon:# 1\r\nName: tooth.ICO\r\nPath: %1/\r\n Do you want to discard changes?").arg(folder));
    QCOMPARE(pixel(5, 5), Red);
    m_responder->pushAnswer(Answer::Yes);
    m_ed->item("Menu_File", IconEditor::FileNew)->trigger();
    QCOMPARE(maskAt(5, 5), White);
    QCOMPARE(m_ed->windowTitle(), QStringLiteral("Icon IconEditor: 1 - [Untitled]"));
    m_ed->item("Menu_File", IconEditor::FileNew)->trigger(); // unchanged: no question
    QCOMPARE(m_responder->prompts().size(), 3);

    // Reopening in slot 2 gives back every pixel.
    m_ed->chooseSlot(1);
    QVERIFY(m_ed->item("Menu_Icons", 1)->isChecked());
    QVERIFY(!m_ed->item("Menu_Icons", 0)->isChecked());
    m_ed->openIconFile(folder + QStringLiteral("/tooth.ICO"));
    QCOMPARE(pixel(4, 4), Red);
    QCOMPARE(maskAt(10, 10), White);
    QCOMPARE(m_ed->windowTitle(), QStringLiteral("Icon IconEditor: 2 - tooth.ICO"));

    // A file dropped on the editor opens in the current slot.
    m_ed->chooseSlot(2);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(folder + QStringLiteral("/tooth.ICO"))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(m_ed.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(m_ed.get(), &drop);
    QCOMPARE(m_ed->kit().slot().fileName, QStringLiteral("tooth.ICO"));
    QCOMPARE(pixel(4, 4), Red);
}

void TestIconWindows::paletteClicksAndDialog()
{
    QWidget *palette = child(m_ed, "Pic_ColorPalette");
    const int w = palette->width() / 16;
    const int h = palette->height() / 3;
    QTest::mouseClick(palette, Qt::RightButton, {}, QPoint(2 * w + 1, 2 * h + 1)); // entry 34
    QCOMPARE(m_ed->kit().mouse[IconKit::RightColour], 255);
    QCOMPARE(m_ed->kit().selectedIndex, 34);

    m_ed->item("Menu_Color", IconEditor::ColorScreenInverse)->trigger();
    QTest::mouseClick(palette, Qt::LeftButton, {}, QPoint(7 * w + 1, 2 * h + 1)); // entry 39: blue
    QCOMPARE(m_ed->kit().mouse[IconKit::ScreenColour], 0xff0000);
    QCOMPARE(m_ed->kit().mouse[IconKit::InverseColour], 0x00ffff);
    QCOMPARE(m_ed->shownIcon().pixel(0, 0), 0xff0000ffu);

    m_ed->item("Menu_Color", IconEditor::ColorDialog)->trigger();
    auto *dialog = m_ed->findChild<ColorPalette *>();
    QVERIFY(dialog);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Icon Editor Color Palette"));
    QCOMPARE(child<QScrollBar>(dialog, "Scrl_RGB_2")->value(), 255);
    child<QScrollBar>(dialog, "Scrl_RGB_0")->setValue(255);
    child<QScrollBar>(dialog, "Scrl_RGB_1")->setValue(128);
    child<QScrollBar>(dialog, "Scrl_RGB_2")->setValue(0);
    QTest::mouseClick(child<QPushButton>(dialog, "Cmd_Set"), Qt::LeftButton);
    QCOMPARE(m_ed->kit().palette[39], 33023);

    auto *red = child<QLineEdit>(dialog, "Txt_RGB_0");
    red->clear();
    QTest::keyClicks(red, QStringLiteral("1x2"));
    QCOMPARE(red->text(), QStringLiteral("12"));
    QCOMPARE(child<QScrollBar>(dialog, "Scrl_RGB_0")->value(), 12);
    QTest::keyClicks(red, QStringLiteral("9"));
    QCOMPARE(red->text(), QStringLiteral("129"));
    QTest::keyClicks(red, QStringLiteral("9")); // 1299: too big, back to 129
    QCOMPARE(red->text(), QStringLiteral("129"));
    QTest::mouseClick(child<QPushButton>(dialog, "Cmd_Reset"), Qt::LeftButton);
    QCOMPARE(red->text(), QStringLiteral("255"));

    // Setting an entry does not save it.
    QVERIFY(!IniFile(IconKit::settingsPath()).contains(IconKit::section(), QStringLiteral("Colors Row3")));
    m_ed->item("Menu_Color", IconEditor::ColorSave)->trigger();
    IconKit reread;
    reread.loadPaletteFrom(IniFile(IconKit::settingsPath()));
    QCOMPARE(reread.palette[39], 33023);
}

void TestIconWindows::settingsRoundTrip()
{
    QVERIFY(m_ed->item("Menu_View", IconEditor::ViewStatus)->isChecked());
    QVERIFY(!m_ed->item("Menu_View", IconEditor::ViewGrid)->isChecked());
    QVERIFY(!m_ed->item("Menu_View", IconEditor::ViewLineGrid)->isEnabled());
    m_ed->item("Menu_View", IconEditor::ViewGrid)->trigger();
    QVERIFY(m_ed->item("Menu_View", IconEditor::ViewLineGrid)->isEnabled());
    m_ed->item("Menu_View", IconEditor::ViewDottedGrid)->trigger();
    QVERIFY(!m_ed->item("Menu_View", IconEditor::ViewLineGrid)->isChecked());
    m_ed->item("Menu_View", IconEditor::ViewStatus)->trigger();
    QVERIFY(!child(m_ed, "Pic_StatusArea")->isVisibleTo(m_ed.get()));
    m_ed->item("Menu_Color", IconEditor::ColorSolid)->trigger();
    QCOMPARE(m_ed->kit().palette[0], 0);
    const int zoom = m_ed->zoom();
    m_ed->item("Menu_View", IconEditor::ViewZoomIn)->trigger();
    QCOMPARE(m_ed->zoom(), zoom + 1);
    QCOMPARE(child(m_ed, "Pic_Edit")->width(), 32 * (zoom + 1));
    m_ed.reset(); // unloading saves

    const IniFile ini(IconKit::settingsPath());
    QCOMPARE(ini.value(IconKit::section(), QStringLiteral("Status Bar")), QStringLiteral("0"));
    QCOMPARE(ini.value(IconKit::section(), QStringLiteral("Dotted Grid")), QStringLiteral("1"));
    m_ed = std::make_unique<IconEditor>(nullptr, m_board.get());
    QVERIFY(m_ed->item("Menu_View", IconEditor::ViewGrid)->isChecked());
    QVERIFY(m_ed->item("Menu_View", IconEditor::ViewDottedGrid)->isChecked());
    QVERIFY(m_ed->item("Menu_Color", IconEditor::ColorSolid)->isChecked());
    QVERIFY(!m_ed->item("Menu_Color", IconEditor::ColorDefault)->isChecked());
    QCOMPARE(m_ed->kit().palette[16], 0);
    m_ed->item("Menu_View", IconEditor::ViewShowAll)->trigger();
    QVERIFY(child(m_ed, "Pic_StatusArea")->isVisibleTo(m_ed.get()));
}

void TestIconWindows::doneAndClose()
{
    m_ed.reset();
    QLabel board(QStringLiteral("before"));
    IconLibrary library;
    // Paints the top left pixel, then leaves through the named command.
    const auto paintAndLeave = [](const char *command) {
        return [command](QDialog *d) {
            auto *ed = qobject_cast<IconEditor *>(d);
            ed->kit().mouse[IconKit::LeftColour] = 255;
            QTest::mouseClick(child(ed, "Pic_Edit"), Qt::LeftButton, {}, QPoint(1, 1));
            child<QAction>(ed, command)->trigger();
            return d->result();
        };
    };
    m_responder->pushModal(paintAndLeave("mclose"));
    QVERIFY(!library.ShowIconEditor(nullptr, &board));
    QCOMPARE(board.text(), QStringLiteral("before"));
    QVERIFY(board.pixmap().isNull());

    m_responder->pushModal(paintAndLeave("mDone"));
    QVERIFY(!library.ShowIconEditor(nullptr, &board));
    const QImage delivered = board.pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(delivered.size(), QSize(32, 32));
    QCOMPARE(delivered.pixel(0, 0), Red);
    QCOMPARE(qAlpha(delivered.pixel(20, 20)), 0);
}

void TestIconWindows::librarySets()
{
    for (int n : {101, 450, 814})
        QCOMPARE(IconLib::icon(n).size(), QSize(32, 32));
    QVERIFY(IconLib::icon(815).isNull());

    IconLib window(nullptr, nullptr);
    auto *tabs = child<QTabBar>(&window, "TabSet");
    auto *list = child<QListWidget>(&window, "lvw_icons");
    auto *status = child<QStatusBar>(&window, "st_status");
    QCOMPARE(tabs->count(), 15);
    QCOMPARE(list->count(), 50);
    QCOMPARE(list->item(0)->text(), QStringLiteral("101"));
    QCOMPARE(list->item(0)->data(Qt::UserRole).toString(), QStringLiteral("I101"));
    QCOMPARE(status->currentMessage(), QStringLiteral("Total Icons :  50"));

    // The last set stops at the last icon.
    tabs->setCurrentIndex(14);
    QCOMPARE(list->count(), 14);
    QCOMPARE(list->item(13)->text(), QStringLiteral("814"));
    QCOMPARE(list->currentRow(), 0);
    list->setCurrentRow(3);
    QCOMPARE(status->currentMessage(), QStringLiteral("Selected Icon No : 804"));
}

void TestIconWindows::libraryDeliversOrLeavesTheBoard()
{
    QLabel board(QStringLiteral("before"));
    IconLibrary library;
    m_responder->pushModal([](QDialog *d) {
        QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("cb_Cancel")), Qt::LeftButton);
        return d->result();
    });
    QVERIFY(!library.ShowIconLib(nullptr, &board));
    QCOMPARE(board.text(), QStringLiteral("before"));

    m_responder->pushModal([](QDialog *d) {
        d->findChild<QListWidget *>(QStringLiteral("lvw_icons"))->setCurrentRow(2);
        QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("cb_ok")), Qt::LeftButton);
        return d->result();
    });
    QVERIFY(!library.ShowIconLib(nullptr, &board));
    QCOMPARE(board.pixmap().toImage(), QPixmap::fromImage(IconLib::icon(103).toImage()).toImage());
}

void TestIconWindows::grabberReadsCheckedTypesAndSkipsDamage()
{
    if (!haveMinGw())
        QSKIP("MinGW binutils are not installed (scripts/setup-debian.sh installs them)");
    const QString folder = path(QStringLiteral("programs"));
    QVERIFY(QDir().mkpath(folder));
    QStringList icons;
    for (QRgb colour : {qRgb(200, 0, 0), qRgb(0, 200, 0), qRgb(0, 0, 200)}) {
        icons << path(QStringLiteral("c%1.ico").arg(icons.size()));
        QVERIFY(Ico::writeFile(icons.last(), filledIcon(colour)));
    }
    const QString dll = folder + QStringLiteral("/three.dll");
    QVERIFY(buildIconLibrary(dll, icons));
    const QByteArray bytes = fileContents(dll);
    QVERIFY(writeFile(folder + QStringLiteral("/broken.dll"), bytes.left(bytes.size() - 400)));
    QVERIFY(writeFile(folder + QStringLiteral("/notes.exe"), QByteArray("plain text, not a program")));
    QVERIFY(writeFile(folder + QStringLiteral("/MZ.dll"), QByteArray("MZ") + QByteArray(100, '\xff')));
    QVERIFY(Ico::writeFile(folder + QStringLiteral("/single.ico"), filledIcon(qRgb(9, 9, 9))));

    IconGrabber grabber(nullptr, nullptr);
    QSignalSpy finished(&grabber, &IconGrabber::grabFinished);
    auto *list = child<QListWidget>(&grabber, "lvw_icons");
    auto *status = child<QStatusBar>(&grabber, "st_status");
    const auto keys = [&] {
        QStringList k;
        for (int i = 0; i < list->count(); ++i)
            k << list->item(i)->text();
        return k;
    };
    grabber.setFolder(folder);
    QVERIFY(finished.wait(10000));
    QStringList found = keys();
    QVERIFY2(found.contains(QStringLiteral("three.dll - 1")) && found.contains(QStringLiteral("three.dll - 3"))
                 && found.contains(QStringLiteral("single.ico - 1")),
             qPrintable(found.join(u',')));
    QVERIFY(!found.contains(QStringLiteral("notes.exe - 1")));
    QVERIFY(!found.contains(QStringLiteral("MZ.dll - 1")));
    QCOMPARE(status->currentMessage(), QStringLiteral("Total Icons :  %1").arg(list->count()));
    list->setCurrentRow(found.indexOf(QStringLiteral("three.dll - 2")));
    QCOMPARE(status->currentMessage(), QStringLiteral("selected : three.dll - 2"));
    const QImage shown = child<QLabel>(&grabber, "pic_icon")->pixmap().toImage();
    QCOMPARE(shown.pixel(10, 10) & 0xffffff, qRgb(0, 200, 0) & 0xffffff);

    // Only the checked types are read; with none checked there is nothing to read.
    child<QCheckBox>(&grabber, "chk_look_1")->setChecked(false);
    QVERIFY(finished.wait(10000));
    QCOMPARE(keys(), QStringList{QStringLiteral("single.ico - 1")});
    child<QCheckBox>(&grabber, "chk_look_0")->setChecked(false);
    child<QCheckBox>(&grabber, "chk_look_2")->setChecked(false);
    QCOMPARE(child<QListWidget>(&grabber, "File1")->count(), 0);
    QCOMPARE(status->currentMessage(), QStringLiteral("No Files available"));

    QLabel board;
    m_responder->pushModal([](QDialog *d) {
        auto *g = qobject_cast<IconGrabber *>(d);
        g->grab();
        QSignalSpy done(g, &IconGrabber::grabFinished);
        done.wait(10000);
        QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("cb_ok")), Qt::LeftButton);
        return d->result();
    });
    const QString before = QDir::currentPath();
    QDir::setCurrent(folder);
    IconLibrary().GrabIcons(nullptr, &board);
    QDir::setCurrent(before);
    QVERIFY(!board.pixmap().isNull());
}

void TestIconWindows::grabberNamesFilesNotReadInFull()
{
    const QString folder = path(QStringLiteral("hostile"));
    QVERIFY(QDir().mkpath(folder));
    const auto colour = [](int x, int y) { return 0xff000000u | quint32(x << 16 | y); };
    QVERIFY(writeFile(folder + QStringLiteral("/a-loop.dll"), loopingResourceFile(256)));
    // Files that merely hold no icons are not worth a word.
    QVERIFY(writeFile(folder + QStringLiteral("/a-plain.dll"), peWithResources(QByteArray())));
    QVERIFY(
        writeFile(folder + QStringLiteral("/a-text.exe"), QByteArray("MZ, and then only words")));
    QVERIFY(
        writeFile(folder + QStringLiteral("/b-many.dll"), manyIconGroupsFile(20000, 32, colour)));
    QVERIFY(
        writeFile(folder + QStringLiteral("/c-full.dll"), manyIconGroupsFile(4096, 32, colour)));
    QVERIFY(Ico::writeFile(folder + QStringLiteral("/d-late.ico"), filledIcon(qRgb(9, 9, 9))));

    IconGrabber grabber(nullptr, nullptr);
    QSignalSpy finished(&grabber, &IconGrabber::grabFinished);
    auto *leftOut = child<QPushButton>(&grabber, "cmd_leftOut");
    grabber.setFolder(folder);
    QVERIFY(finished.wait(30000));
    // The loop is refused, the first library read up to the icons a program can
    // hold, and the grab ends where the folder reaches the grabber's limit.
    auto *list = child<QListWidget>(&grabber, "lvw_icons");
    QCOMPARE(list->count(), IconGrabber::MaxIcons);
    QCOMPARE(list->item(0)->text(), QStringLiteral("b-many.dll - 1"));
    QCOMPARE(child<QStatusBar>(&grabber, "st_status")->currentMessage(),
             QStringLiteral("Total Icons :  %1").arg(IconGrabber::MaxIcons));
    QVERIFY(!leftOut->isHidden());
    QCOMPARE(leftOut->text(), QStringLiteral("Files not read in full: 3"));

    m_responder->pushAnswer(Answer::Ok);
    QTest::mouseClick(leftOut, Qt::LeftButton);
    const QStringList shown = messageTexts(*m_responder);
    QCOMPARE(shown.size(), 1);
    const QStringList lines = shown.first().split(u'\n');
    QCOMPARE(
        lines.mid(2),
        (QStringList {
            QStringLiteral("\u2022 a-loop.dll: The file's resource directory is damaged: it leads "
                           "back to a part already read."),
            QStringLiteral("\u2022 b-many.dll: The file names 20000 icons, more than a program "
                           "holds; only the first 4096 "
                           "are read."),
            QStringLiteral("\u2022 c-full.dll: The grabber shows at most 8192 icons; the files "
                           "after this one are not read."),
        }));

    // A new grab starts with nothing left out.
    child<QCheckBox>(&grabber, "chk_look_1")->setChecked(false);
    QVERIFY(finished.wait(10000));
    QCOMPARE(list->count(), 1);
    QVERIFY(leftOut->isHidden());
}

void TestIconWindows::viewerRefusesBadFiles()
{
    const QString folder = path(QStringLiteral("viewer-bad"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(writeFile(folder + QStringLiteral("/bad.ico"), QByteArray("not an icon")));
    ViewIcon viewer(nullptr, m_ed.get());
    viewer.browser().setFolder(folder);
    viewer.selectFile(0);
    const QList<Prompt> prompts = m_responder->prompts();
    QCOMPARE(prompts.size(), 1);
    QCOMPARE(prompts.first().title, QStringLiteral("Bad File"));
    QCOMPARE(prompts.first().text, QStringLiteral("bad.ico is not a standard ICON file"));
    QVERIFY(!viewer.item("Menu_Edit", 0)->isEnabled());
    QCOMPARE(child<QLineEdit>(&viewer, "Txt_FileName")->text(), QStringLiteral("bad.ico"));
}

void TestIconWindows::viewerLimitAndOpen()
{
    const QString folder = path(QStringLiteral("viewer-many"));
    QVERIFY(QDir().mkpath(folder));
    const QByteArray icon = Ico::write(filledIcon(qRgb(0, 0, 255)));
    for (int i = 0; i < ViewIcon::MaxIcons; ++i)
        QVERIFY(writeFile(folder + QStringLiteral("/i%1.ico").arg(i, 3, 10, QLatin1Char('0')), icon));
    ViewIcon viewer(nullptr, m_ed.get());
    viewer.browser().setFolder(folder);
    viewer.item("Menu_Options", 1)->trigger();
    QCOMPARE(child<QLabel>(&viewer, "Pic_IconCount")->text(), QStringLiteral("900 Icons Loaded"));
    QVERIFY(m_link->callsOf(QStringLiteral("PassMessage")).isEmpty());

    // Pressing a cell selects its file; double-clicking opens it in the editor.
    QWidget *all = child(&viewer, "Pic_AllIcons");
    all->resize(10 * ViewIcon::Cell, 4 * ViewIcon::Cell);
    QTest::mouseDClick(all, Qt::LeftButton, {}, QPoint(2 * ViewIcon::Cell + 5, ViewIcon::Cell + 5));
    QCOMPARE(viewer.browser().currentFile(), QStringLiteral("i012.ico"));
    QCOMPARE(m_ed->kit().slot().fileName, QStringLiteral("i012.ico"));
    QCOMPARE(pixel(3, 3), Blue);

    QVERIFY(writeFile(folder + QStringLiteral("/z.ico"), icon));
    viewer.browser().setFolder(folder);
    viewer.item("Menu_Options", 1)->trigger();
    QCOMPARE(m_link->callsOf(QStringLiteral("PassMessage")).size(), 1);
    QVERIFY(m_link->callsOf(QStringLiteral("PassMessage")).first().contains(
        QStringLiteral("Can display upto a maximum of 900 icons")));
}

QTEST_MAIN(TestIconWindows)
#include "tst_iconwindows.moc"
