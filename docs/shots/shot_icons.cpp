// Shows one icon window with content for a screenshot, then quits:
//   shot_icons editor|library|grabber [folder-for-grabber] [seconds]
// Not a test; run it under a real or virtual display.

#include "icons/iconeditor.h"
#include "icons/icongrabber.h"
#include "icons/iconlib.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTabBar>
#include <QTimer>

#include <cstdio>

using namespace tovradocs::Internal;

namespace {

void mouse(QWidget *w, QEvent::Type type, Qt::MouseButton button, QPoint icon, int zoom)
{
    const QPointF pos(icon.x() * zoom + zoom / 2, icon.y() * zoom + zoom / 2);
    QMouseEvent e(type, pos, w->mapToGlobal(pos), button,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void stroke(IconEditor &ed, int tool, QPoint a, QPoint b)
{
    ed.pickTool(tool);
    QWidget *area = ed.findChild<QWidget *>(QStringLiteral("Pic_Edit"));
    mouse(area, QEvent::MouseButtonPress, Qt::LeftButton, a, ed.zoom());
    mouse(area, QEvent::MouseMove, Qt::LeftButton, b, ed.zoom());
    mouse(area, QEvent::MouseButtonRelease, Qt::LeftButton, b, ed.zoom());
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: shot_icons editor|library|grabber [folder] [seconds]\n");
        return 2;
    }
    const QString which = QString::fromLocal8Bit(argv[1]);
    const int seconds = argc >= 4 ? atoi(argv[3]) : 8;
    std::unique_ptr<QDialog> window;
    if (which == QStringLiteral("editor")) {
        auto *ed = new IconEditor(nullptr, nullptr);
        window.reset(ed);
        IconKit &kit = ed->kit();
        if (!ed->item("Menu_View", IconEditor::ViewGrid)->isChecked())
            ed->item("Menu_View", IconEditor::ViewGrid)->trigger();
        // A tooth: filled crown, outlined, with two roots and a fissure; then a selection.
        struct Stroke { int brush; BgrColour colour; int tool; QPoint from, to; };
        const Stroke strokes[] = {{0, 0x00f0f0ff, IconTools::FilledCircle, {6, 3}, {25, 18}},
                                  {0, 0x00404040, IconTools::Circle, {6, 3}, {25, 18}},
                                  {2, 0x00e0e0ff, IconTools::Line, {10, 16}, {9, 27}},
                                  {2, 0x00e0e0ff, IconTools::Line, {21, 16}, {22, 27}},
                                  {0, 0x000000c0, IconTools::Line, {12, 8}, {18, 8}},
                                  {0, 0x000000c0, IconTools::Select, {13, 5}, {19, 12}}};
        for (const Stroke &s : strokes) {
            ed->item("Menu_Brush", s.brush)->trigger();
            kit.mouse[IconKit::LeftColour] = s.colour;
            stroke(*ed, s.tool, s.from, s.to);
        }
    } else if (which == QStringLiteral("library")) {
        auto *lib = new IconLib(nullptr, nullptr);
        window.reset(lib);
        lib->findChild<QTabBar *>(QStringLiteral("TabSet"))->setCurrentIndex(2);
    } else {
        auto *grabber = new IconGrabber(nullptr, nullptr);
        window.reset(grabber);
        if (argc >= 3)
            grabber->setFolder(QString::fromLocal8Bit(argv[2]));
    }
    window->show();
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    return app.exec();
}
