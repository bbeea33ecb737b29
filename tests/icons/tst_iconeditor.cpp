#include "icons/colorpalette.h"
#include "icons/iconeditor.h"
#include "icons/inifile.h"

#include "component/dialogservice.h"
#include "component/hostlink.h"
#include "support/recordingdatalink.h"
#include "support/testhost.h"

#include <tovradocs/iconlibrary.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QUrl>
#include <QDropEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

using namespace tovradocs;
using namespace tovradocs::Internal;
using namespace tovradocs::Testing;
using IconTools::Tool;

namespace {

constexpr QRgb White = 0xffffffff;
constexpr QRgb Black = 0xff000000;
constexpr QRgb Red = 0xffff0000;

} // namespace

class TestIconEditor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void paintClipsAtTheEdge();
    void brushSizes_data();
    void brushSizes();
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

private:
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
    std::unique_ptr<ResponderGuard> m_guard;
    std::unique_ptr<QLabel> m_board;
    std::unique_ptr<IconEditor> m_ed;
};

void TestIconEditor::initTestCase()
{
    QVERIFY(m_dir.isValid());
    IconKit::setSettingsFolder(m_dir.filePath(QStringLiteral("config")));
    m_host = openTestHost(m_dir.filePath(QStringLiteral("host")));
    QVERIFY(m_host);
}

void TestIconEditor::init()
{
    QFile::remove(IconKit::settingsPath());
    m_link = std::make_shared<RecordingDataLink>(m_host);
    setHostLink(m_link, nullptr);
    m_responder = std::make_unique<ScriptedResponder>();
    m_guard = std::make_unique<ResponderGuard>(m_responder.get());
    m_board = std::make_unique<QLabel>();
    m_ed = std::make_unique<IconEditor>(nullptr, m_board.get());
    m_ed->kit().mouse[IconKit::LeftColour] = 255; // red
    m_ed->kit().mouse[IconKit::RightColour] = 0xff0000; // blue
}

void TestIconEditor::cleanup()
{
    m_ed.reset();
    m_board.reset();
    m_guard.reset();
    m_responder.reset();
    clearHostLink();
}

void TestIconEditor::drag(Qt::MouseButton button, QPoint from, QPoint to, Qt::KeyboardModifiers mods)
{
    QTest::mousePress(area(), button, mods, from);
    QTest::mouseMove(area(), (from + to) / 2);
    QTest::mouseMove(area(), to);
    QTest::mouseRelease(area(), button, mods, to);
}

void TestIconEditor::paintClipsAtTheEdge()
{
    QCOMPARE(m_ed->windowTitle(), QStringLiteral("Icon IconEditor: 1 - [Untitled]"));
    QCOMPARE(m_ed->kit().tool, int(IconTools::Paint));
    m_ed->item("Menu_Brush", 2)->trigger();
    QTest::mouseClick(area(), Qt::LeftButton, {}, at(0, 0));
    int painted = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            painted += maskAt(x, y) == Black ? 1 : 0;
    QCOMPARE(painted, 9);
    QCOMPARE(pixel(2, 2), Red);
    QVERIFY(m_ed->kit().slot().changed);
    QCOMPARE(m_ed->kit().slot().icon.colour.pixel(1, 1), Red);
    // A middle button and a release of the other button are ignored.
    QTest::mouseClick(area(), Qt::MiddleButton, {}, at(10, 10));
    QCOMPARE(maskAt(10, 10), White);
}

void TestIconEditor::brushSizes_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("side");
    QTest::newRow("small") << 0 << 1;
    QTest::newRow("medium") << 1 << 3;
    QTest::newRow("large") << 2 << 5;
}

void TestIconEditor::brushSizes()
{
    QFETCH(int, item);
    QFETCH(int, side);
    m_ed->item("Menu_Brush", item)->trigger();
    QTest::mouseClick(area(), Qt::RightButton, {}, at(10, 10));
    const int h = side / 2;
    QCOMPARE(pixel(10 - h, 10 - h), 0xff0000ffu | Black);
    QCOMPARE(pixel(10 + h, 10 + h), 0xff0000ffu | Black);
    QCOMPARE(maskAt(10 + h + 1, 10), White);
    QCOMPARE(maskAt(10 - h - 1, 10), White);
}

void TestIconEditor::shapes()
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
    QCOMPARE(pixel(26, 26), 0xff0000ffu | Black);

    m_ed->pickTool(IconTools::FilledCircle);
    drag(Qt::LeftButton, at(0, 20), at(10, 30));
    QCOMPARE(pixel(5, 25), Red); // centre filled
    QCOMPARE(maskAt(0, 20), White); // corner outside the ellipse
}

void TestIconEditor::shapesInScreenMode()
{
    // Fill the icon opaque first so screen and inverse pixels stand out.
    m_ed->pickTool(IconTools::FilledSquare);
    drag(Qt::LeftButton, at(0, 0), at(31, 31));
    child<QWidget>(m_ed, "Opt_Mouse_1");
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

void TestIconEditor::fillStopsAtItsBoundary()
{
    m_ed->pickTool(IconTools::Square);
    drag(Qt::LeftButton, at(5, 5), at(15, 15));
    m_ed->pickTool(IconTools::Fill);
    QTest::mouseClick(area(), Qt::RightButton, {}, at(10, 10));
    QCOMPARE(pixel(10, 10), 0xff0000ffu | Black);
    QCOMPARE(pixel(6, 14), 0xff0000ffu | Black);
    QCOMPARE(pixel(5, 5), Red);        // the boundary stays
    QCOMPARE(maskAt(20, 20), White);   // outside untouched
    QCOMPARE(maskAt(4, 10), White);

    // Filling the outside in Screen/Inverse mode (right: inverse) reaches every outside pixel.
    m_ed->item("Menu_Color", IconEditor::ColorScreenInverse)->trigger();
    QTest::mouseClick(area(), Qt::RightButton, {}, at(0, 0));
    QCOMPARE(pixel(31, 31), White);
    QCOMPARE(maskAt(31, 31), White);
    QCOMPARE(pixel(10, 10), 0xff0000ffu | Black);
    // A click outside the area fills nothing.
    const Planes before = m_ed->kit().planes;
    QTest::mouseClick(area(), Qt::LeftButton, {}, QPoint(-3, -3));
    QVERIFY(m_ed->kit().planes == before);
}

void TestIconEditor::floatingSelection()
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

void TestIconEditor::flipsRotationsInvert()
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

void TestIconEditor::undoReturnsToTheLastToolPick()
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

void TestIconEditor::clipboard()
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

void TestIconEditor::pasteTooLarge()
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

void TestIconEditor::saveAndDiscard()
{
    QTest::mouseClick(area(), Qt::LeftButton, {}, at(3, 3));
    const QString folder = m_dir.filePath(QStringLiteral("saved"));
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

void TestIconEditor::paletteClicksAndDialog()
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

void TestIconEditor::settingsRoundTrip()
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

void TestIconEditor::doneAndClose()
{
    m_ed.reset();
    QLabel board;
    board.setText(QStringLiteral("before"));
    IconLibrary library;
    m_responder->pushModal([](QDialog *d) {
        auto *ed = qobject_cast<IconEditor *>(d);
        ed->kit().mouse[IconKit::LeftColour] = 255;
        QTest::mouseClick(ed->findChild<QWidget *>(QStringLiteral("Pic_Edit")), Qt::LeftButton);
        ed->findChild<QAction *>(QStringLiteral("mclose"))->trigger();
        return d->result();
    });
    QVERIFY(!library.ShowIconEditor(nullptr, &board));
    QCOMPARE(board.text(), QStringLiteral("before"));
    QVERIFY(board.pixmap().isNull());

    m_responder->pushModal([](QDialog *d) {
        auto *ed = qobject_cast<IconEditor *>(d);
        ed->kit().mouse[IconKit::LeftColour] = 255;
        QTest::mouseClick(ed->findChild<QWidget *>(QStringLiteral("Pic_Edit")), Qt::LeftButton,
                          {}, QPoint(1, 1));
        ed->findChild<QAction *>(QStringLiteral("mDone"))->trigger();
        return d->result();
    });
    QVERIFY(!library.ShowIconEditor(nullptr, &board));
    const QImage delivered = board.pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(delivered.size(), QSize(32, 32));
    QCOMPARE(delivered.pixel(0, 0), Red);
    QCOMPARE(qAlpha(delivered.pixel(20, 20)), 0);
}

QTEST_MAIN(TestIconEditor)
#include "tst_iconeditor.moc"
