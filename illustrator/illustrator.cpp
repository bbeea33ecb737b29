#include "illustrator.h"

#include "component/hostlink.h"
#include "controls/colorpal.h"
#include "controls/objdraw.h"
#include "illustrator/illustratoricons.h"
#include "illustrator/illustrationsql.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QStatusBar>
#include <QTableWidget>
#include <QTime>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace tovradocs::Internal {

const QString Illustrator::kWindowName = QStringLiteral("Illustrator");

namespace {

struct ToolbarButton
{
    const char *key;
    const char *tip;
    bool checkable = false;
};

QToolBar *makeToolbar(QWidget *parent, const char *name, const QList<ToolbarButton> &buttons)
{
    auto *bar = new QToolBar(parent);
    bar->setObjectName(QLatin1String(name));
    bar->setIconSize(QSize(20, 20));
    for (const ToolbarButton &b : buttons) {
        const QString key = QLatin1String(b.key);
        QAction *action = bar->addAction(illustratorIcon(key), key);
        action->setObjectName(key);
        action->setToolTip(b.tip ? QString::fromUtf8(b.tip) : key);
        action->setCheckable(b.checkable);
    }
    return bar;
}

QScrollBar *numberBar(QWidget *parent, const char *name, int lo, int hi)
{
    auto *bar = new QScrollBar(Qt::Horizontal, parent);
    bar->setObjectName(QLatin1String(name));
    bar->setRange(lo, hi);
    bar->setMinimumWidth(80);
    return bar;
}

QLineEdit *numberText(QWidget *parent, const char *name)
{
    auto *text = new QLineEdit(parent);
    text->setObjectName(QLatin1String(name));
    text->setMaximumWidth(44);
    return text;
}

QLabel *label(QWidget *parent, const QString &text, const QString &name = QString())
{
    auto *l = new QLabel(text, parent);
    if (!name.isEmpty())
        l->setObjectName(name);
    return l;
}

} // namespace

Illustrator::Illustrator(QWidget *parent) : QDialog(parent)
{
    setObjectName(kWindowName);
    setWindowTitle(QStringLiteral("Illustrator"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setSizeGripEnabled(true);
    resize(1200, 800);

    m_draw = new ObjDraw(this);
    m_draw->setObjectName(QStringLiteral("ObjDraw1"));
    // Design-time properties of the window's drawing control.
    m_draw->setCanvasWidth(640);
    m_draw->setCanvasHeight(480);
    m_draw->setUndoBufferSize(50);
    m_draw->setShowCanvasSize(true);
    m_draw->setArrowStep(1);
    m_draw->setZoomFactor(1);

    buildMenus();
    buildToolbars();
    buildPanels();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(m_menuBar);

    auto *cool1 = new QWidget(this);
    cool1->setObjectName(QStringLiteral("CoolBar1"));
    auto *cool1Layout = new QHBoxLayout(cool1);
    cool1Layout->setContentsMargins(2, 0, 2, 0);
    cool1Layout->addWidget(m_toolbars[0]);
    cool1Layout->addWidget(m_fontName);
    cool1Layout->addWidget(m_fontSize);
    cool1Layout->addStretch();
    auto *cool2 = new QWidget(this);
    cool2->setObjectName(QStringLiteral("CoolBar2"));
    auto *cool2Layout = new QHBoxLayout(cool2);
    cool2Layout->setContentsMargins(2, 0, 2, 0);
    cool2Layout->addWidget(m_toolbars[1]);
    cool2Layout->addWidget(m_toolbars[2]);
    cool2Layout->addStretch();
    auto *cool3 = new QWidget(this);
    cool3->setObjectName(QStringLiteral("CoolBar3"));
    auto *cool3Layout = new QVBoxLayout(cool3);
    cool3Layout->setContentsMargins(0, 0, 0, 0);
    cool3Layout->addWidget(m_toolbars[3]);
    cool3Layout->addStretch();

    auto *side = new QWidget(this);
    auto *sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(4, 4, 4, 4);
    for (const char *name : {"PicProperty1", "PicProperty2", "PicProperty3"})
        sideLayout->addWidget(findChild<QWidget *>(QLatin1String(name)));
    side->setFixedWidth(300);

    auto *body = new QHBoxLayout;
    body->addWidget(cool3);
    body->addWidget(m_draw, 1);
    body->addWidget(side);
    layout->addWidget(cool1);
    layout->addWidget(cool2);
    layout->addLayout(body, 1);
    layout->addWidget(m_status);

    // Loading the window: fonts, fill style, first colour target, colours, templates.
    m_fontName->addItems(QFontDatabase::families());
    m_fontName->setCurrentText(QStringLiteral("Arial"));
    for (int size = 5; size <= 100; ++size)
        m_fontSize->addItem(QString::number(size));
    m_fontSize->setCurrentText(QStringLiteral("15"));
    m_fill->setCurrentIndex(0);
    m_colors[0] = Qt::black;
    m_colors[1] = Qt::white;
    m_colors[2] = Qt::white;
    for (int i = 0; i < 3; ++i) {
        QPixmap swatch(14, 14);
        swatch.fill(m_colors[i]);
        m_colorTargets[i]->setIcon(swatch);
    }
    m_colorTargets[0]->setChecked(true);
    chooseColorTarget(0);
    buildTemplatesMenu();
    showZoom(m_draw->zoomFactor());

    connect(m_draw, &ObjDraw::drawingChanged, this, [this] { m_modified = true; });
    connect(m_draw, &ObjDraw::objectChanged, this, [this] {
        showObjectInfo();
        fillPanels();
    });
    connect(m_draw, &ObjDraw::zoomChanged, this, &Illustrator::showZoom);
    connect(m_draw, &ObjDraw::shapeFinished, this, [this] { m_tools->actions().first()->setChecked(true); });
    connect(m_draw, &ObjDraw::mouseMoved, this, [this](const QPointF &p) {
        // Numbers as the old Str$ wrote them: a blank where a minus would go.
        auto str = [](int n) { return n < 0 ? QString::number(n) : QStringLiteral(" ") + QString::number(n); };
        setStatus(0, QStringLiteral("X: ") + str(qRound(p.x())) + QStringLiteral(" - Y: ") + str(qRound(p.y())));
    });
    connect(m_draw, &ObjDraw::keyPressed, this, [this](int key, Qt::KeyboardModifiers) {
        if (key >= Qt::Key_Left && key <= Qt::Key_Down)
            setStatus(1, QStringLiteral("Press \"Ctrl\" key with arrows keys to switch selection"));
    });
    connect(m_draw, &ObjDraw::keyReleased, this, [this] { setStatus(1, QString()); });
    connect(m_draw, &ObjDraw::dropped, this, &Illustrator::dropped);

    auto *clock = new QTimer(this);
    connect(clock, &QTimer::timeout, this, [this] { setStatus(4, QTime::currentTime().toString(QStringLiteral("hh:mm"))); });
    clock->start(30'000);
    setStatus(4, QTime::currentTime().toString(QStringLiteral("hh:mm")));
}

Illustrator::~Illustrator() = default;

QAction *Illustrator::menuItem(QMenu *menu, const QString &name, int index, const QString &caption)
{
    QAction *action = caption.isEmpty() ? menu->addSeparator() : menu->addAction(caption);
    action->setObjectName(name + QLatin1Char('_') + QString::number(index));
    return action;
}

void Illustrator::buildMenus()
{
    auto *bar = new QMenuBar(this);
    m_menuBar = bar;
    m_fileMenu = bar->addMenu(QStringLiteral("File"));
    m_fileMenu->setObjectName(QStringLiteral("mnuFile"));
    const QStringList fileItems = {QStringLiteral("New"), QStringLiteral("Open"), QStringLiteral("Save"),
                                   QStringLiteral("Export to Bitmap"), QString(), QStringLiteral("Print"),
                                   QString(), QStringLiteral("Exit")};
    for (int i = 0; i < fileItems.size(); ++i)
        menuItem(m_fileMenu, QStringLiteral("SmnuFile"), i, fileItems.at(i));
    auto file = [this](int i) { return m_fileMenu->findChild<QAction *>(QStringLiteral("SmnuFile_%1").arg(i)); };
    connect(file(0), &QAction::triggered, this, &Illustrator::fileNew);
    connect(file(1), &QAction::triggered, this, &Illustrator::fileOpen);
    connect(file(2), &QAction::triggered, this, &Illustrator::fileSave);
    connect(file(3), &QAction::triggered, this, &Illustrator::fileExport);
    connect(file(5), &QAction::triggered, this, &Illustrator::filePrint);
    connect(file(7), &QAction::triggered, this, &QWidget::close);

    m_editMenu = bar->addMenu(QStringLiteral("Edit"));
    m_editMenu->setObjectName(QStringLiteral("mnuEdit"));
    const QStringList editItems = {QStringLiteral("Undo"), QStringLiteral("Redo"), QString(), QStringLiteral("Cut"),
                                   QStringLiteral("Copy"), QStringLiteral("Paste"), QString(), QStringLiteral("Delete"),
                                   QString(), QStringLiteral("Select All"), QString(), QStringLiteral("Group"),
                                   QStringLiteral("Ungroup")};
    for (int i = 0; i < editItems.size(); ++i)
        menuItem(m_editMenu, QStringLiteral("SmnuEdit"), i, editItems.at(i));
    const QList<std::pair<int, void (ObjDraw::*)()>> editCommands = {
        {0, &ObjDraw::undo}, {1, &ObjDraw::redo}, {3, &ObjDraw::cut}, {4, &ObjDraw::copy},
        {7, &ObjDraw::deleteSelection}, {9, &ObjDraw::selectAll}, {11, &ObjDraw::group}, {12, &ObjDraw::ungroup}};
    for (const auto &[index, command] : editCommands)
        connect(m_editMenu->findChild<QAction *>(QStringLiteral("SmnuEdit_%1").arg(index)), &QAction::triggered, m_draw, command);
    connect(m_editMenu->findChild<QAction *>(QStringLiteral("SmnuEdit_5")), &QAction::triggered, m_draw, [this] { m_draw->paste(); });
    connect(m_editMenu, &QMenu::aboutToShow, this, &Illustrator::prepareEditMenu);

    m_zoomMenu = bar->addMenu(QStringLiteral("Zoom (100%)"));
    m_zoomMenu->setObjectName(QStringLiteral("mnuZoom"));
    static const qreal factors[] = {0.1, 0.25, 0.5, 1, 1.5, 2, 4};
    for (int i = 0; i < 7; ++i) {
        QAction *item = menuItem(m_zoomMenu, QStringLiteral("SmnuZoom"), i, QStringLiteral("%1%").arg(qRound(factors[i] * 100)));
        item->setCheckable(true);
        connect(item, &QAction::triggered, this, [this, f = factors[i]] { setZoom(f); });
        m_zoomItems << item;
    }
    connect(m_zoomMenu, &QMenu::aboutToShow, this, [this] {
        setStatus(1, QStringLiteral("You can also change the Zoom Factor with \"+\" & \"-\" on KeyPad"));
    });

    QMenu *options = bar->addMenu(QStringLiteral("Options"));
    options->setObjectName(QStringLiteral("mnuOptions"));
    connect(menuItem(options, QStringLiteral("SmnuOptions"), 0, QStringLiteral("Canvas Size")), &QAction::triggered,
            this, [this] { showCanvasSize(); });

    m_templatesMenu = bar->addMenu(QStringLiteral("Load Template"));
    m_templatesMenu->setObjectName(QStringLiteral("mnuLoadIls"));
}

void Illustrator::buildToolbars()
{
    m_toolbars[0] = makeToolbar(this, "Toolbar1", {
        {"New", "New"}, {"Open", "Open"}, {"Save", "Save"}, {"Export", "Export"}, {"Cut", "Cut"},
        {"Copy", "Copy"}, {"Paste", "Paste"}, {"Undo", "Undo"}, {"Redo", "Redo"}, {"Delete", "Delete"},
        {"TextLeft", "Align Text Left", true}, {"TextCenter", "Align Text Center", true},
        {"TextRight", "Align Text Right", true}, {"Bold", "Bold", true}, {"Italic", "Italic", true},
        {"Underline", "Underline", true}, {"Strikethru", "Strikethru", true}});
    m_toolbars[1] = makeToolbar(this, "Toolbar2", {
        {"SelectAll", "Select All"}, {"UnselectAll", "Unselect All"}, {"AlignLeft", "Align Left"},
        {"AlignCenterVertical", "Align Center Vertical"}, {"AlignRight", "Align Right"}, {"AlignTop", "Align Top"},
        {"AlignCenterHorizontal", "Align Center Horizontal"}, {"AlignBottom", "Align Bottom"},
        {"AlignCenterHorVert", "Align Center Horizontal+Vertical"}, {"BringToFront", "Bring to Front"},
        {"SendToBack", "Send to Back"}, {"BringForward", "Bring Forward"}, {"SendBackward", "Send Backward"},
        {"Group", "Group"}, {"Ungroup", "Ungroup"}});
    m_toolbars[2] = makeToolbar(this, "Toolbar3", {{"UnZoom", "UnZoom"}, {"Zoom-", "Zoom -"}, {"Zoom+", "Zoom+"}});
    m_toolbars[3] = makeToolbar(this, "Toolbar4", {
        {"Select", "Select Object", true}, {"Line", "Draw Line", true}, {"Arc", "Draw Arc", true},
        {"Rectangle", "Draw Rectangle", true}, {"RoundRectangle", "Draw Round Rectangle", true},
        {"Ellipse", "Draw Ellipse", true}, {"Polygon", "Draw Polygon", true}, {"Star", "Draw Star", true},
        {"Text", "Draw Text", true}, {"Picture", "Insert Picture", true}});
    m_toolbars[3]->setOrientation(Qt::Vertical);

    auto button = [this](int bar, const char *key) {
        return m_toolbars[bar]->findChild<QAction *>(QLatin1String(key));
    };
    connect(button(0, "New"), &QAction::triggered, this, &Illustrator::fileNew);
    connect(button(0, "Open"), &QAction::triggered, this, &Illustrator::fileOpen);
    connect(button(0, "Save"), &QAction::triggered, this, &Illustrator::fileSave);
    connect(button(0, "Export"), &QAction::triggered, this, &Illustrator::fileExport);
    const QList<std::pair<const char *, void (ObjDraw::*)()>> editButtons = {
        {"Cut", &ObjDraw::cut}, {"Copy", &ObjDraw::copy}, {"Undo", &ObjDraw::undo}, {"Redo", &ObjDraw::redo},
        {"Delete", &ObjDraw::deleteSelection}};
    for (const auto &[key, command] : editButtons)
        connect(button(0, key), &QAction::triggered, m_draw, command);
    connect(button(0, "Paste"), &QAction::triggered, m_draw, [this] { m_draw->paste(); });
    const QList<std::pair<const char *, int>> alignments = {{"TextLeft", 0}, {"TextCenter", 1}, {"TextRight", 2}};
    for (const auto &[key, align] : alignments) {
        connect(button(0, key), &QAction::triggered, this, [this, a = align] {
            if (m_filling)
                return;
            m_draw->setObjectProperty(ObjDraw::Property::TextAlignment, a);
            fillPanels();
        });
    }
    const QList<std::pair<const char *, ObjDraw::Property>> styles = {
        {"Bold", ObjDraw::Property::Bold}, {"Italic", ObjDraw::Property::Italic},
        {"Underline", ObjDraw::Property::Underline}, {"Strikethru", ObjDraw::Property::StrikeOut}};
    for (const auto &[key, property] : styles) {
        connect(button(0, key), &QAction::toggled, this, [this, p = property](bool on) {
            if (!m_filling)
                m_draw->setObjectProperty(p, on);
        });
    }

    const QList<std::pair<const char *, void (ObjDraw::*)()>> selection = {
        {"SelectAll", &ObjDraw::selectAll}, {"UnselectAll", &ObjDraw::unselectAll},
        {"BringToFront", &ObjDraw::bringToFront}, {"SendToBack", &ObjDraw::sendToBack},
        {"BringForward", &ObjDraw::bringForward}, {"SendBackward", &ObjDraw::sendBackward},
        {"Group", &ObjDraw::group}, {"Ungroup", &ObjDraw::ungroup}};
    for (const auto &[key, command] : selection)
        connect(button(1, key), &QAction::triggered, m_draw, command);
    const QList<std::pair<const char *, ObjDraw::Align>> aligns = {
        {"AlignLeft", ObjDraw::Align::Left}, {"AlignCenterVertical", ObjDraw::Align::CenterVertical},
        {"AlignRight", ObjDraw::Align::Right}, {"AlignTop", ObjDraw::Align::Top},
        {"AlignCenterHorizontal", ObjDraw::Align::CenterHorizontal}, {"AlignBottom", ObjDraw::Align::Bottom},
        {"AlignCenterHorVert", ObjDraw::Align::CenterBoth}};
    for (const auto &[key, how] : aligns)
        connect(button(1, key), &QAction::triggered, m_draw, [this, h = how] { m_draw->align(h); });

    connect(button(2, "UnZoom"), &QAction::triggered, this, [this] { setZoom(1); });
    connect(button(2, "Zoom-"), &QAction::triggered, this, [this] { setZoom(m_draw->zoomFactor() - 0.1); });
    connect(button(2, "Zoom+"), &QAction::triggered, this, [this] { setZoom(m_draw->zoomFactor() + 0.1); });

    m_tools = new QActionGroup(this);
    const QList<QAction *> tools = m_toolbars[3]->actions();
    for (int i = 0; i < tools.size(); ++i) {
        m_tools->addAction(tools.at(i));
        connect(tools.at(i), &QAction::triggered, this, [this, i] { chooseTool(i); });
    }
    tools.first()->setChecked(true);

    m_fontName = new QComboBox(this);
    m_fontName->setObjectName(QStringLiteral("CboFontName"));
    m_fontName->setEditable(true);
    m_fontName->setMinimumWidth(170);
    m_fontSize = new QComboBox(this);
    m_fontSize->setObjectName(QStringLiteral("CboFontSize"));
    m_fontSize->setEditable(true);
    connect(m_fontName, &QComboBox::currentTextChanged, this, &Illustrator::fontChosen);
    connect(m_fontSize, &QComboBox::currentTextChanged, this, &Illustrator::fontChosen);
}

void Illustrator::buildPanels()
{
    // Colours.
    auto *colours = new QGroupBox(this);
    colours->setObjectName(QStringLiteral("PicProperty1"));
    auto *grid = new QGridLayout(colours);
    static const char *targets[] = {"Border Color", "Fill Color", "Back Color"};
    auto *targetsRow = new QVBoxLayout;
    grid->addLayout(targetsRow, 0, 0, 1, 3);
    for (int i = 0; i < 3; ++i) {
        m_colorTargets[i] = new QRadioButton(QLatin1String(targets[i]), colours);
        m_colorTargets[i]->setObjectName(QStringLiteral("OpColor_%1").arg(i));
        targetsRow->addWidget(m_colorTargets[i]);
        connect(m_colorTargets[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                chooseColorTarget(i);
        });
    }
    static const char *channels[] = {"Red:", "Green:", "Blue:"};
    for (int i = 0; i < 3; ++i) {
        grid->addWidget(label(colours, QLatin1String(channels[i]), QStringLiteral("LblCol_%1").arg(i)), 1 + i, 0);
        m_colorBars[i] = numberBar(colours, "ScrCol", 0, 255);
        m_colorBars[i]->setObjectName(QStringLiteral("ScrCol_%1").arg(i));
        m_colorTexts[i] = numberText(colours, "TxtColor");
        m_colorTexts[i]->setObjectName(QStringLiteral("TxtColor_%1").arg(i));
        grid->addWidget(m_colorBars[i], 1 + i, 1);
        grid->addWidget(m_colorTexts[i], 1 + i, 2);
        connect(m_colorBars[i], &QScrollBar::valueChanged, this, [this, i](int value) {
            m_colorTexts[i]->setText(QString::number(value));
            applyColor();
        });
        connect(m_colorTexts[i], &QLineEdit::textEdited, this, [this, i](const QString &text) {
            bool ok = false;
            const int value = text.toInt(&ok);
            if (ok)
                m_colorBars[i]->setValue(qBound(0, value, 255));
        });
    }
    m_colorSwatch = label(colours, QString(), QStringLiteral("LblColor"));
    m_colorSwatch->setFixedHeight(18);
    m_colorSwatch->setAutoFillBackground(true);
    grid->addWidget(m_colorSwatch, 4, 0, 1, 3);
    m_pal = new ColorPal(colours);
    m_pal->setObjectName(QStringLiteral("ColorPal1"));
    grid->addWidget(m_pal, 5, 0, 1, 3);
    auto *paletteButton = new QToolButton(colours);
    paletteButton->setObjectName(QStringLiteral("cmdLoadPalette"));
    paletteButton->setText(QStringLiteral("Palette..."));
    grid->addWidget(paletteButton, 6, 2);
    connect(paletteButton, &QToolButton::clicked, this, &Illustrator::loadPalette);
    connect(m_pal, &ColorPal::colorClicked, this, [this](const QColor &c) { setEditColor(c); });
    connect(m_pal, &ColorPal::colorHovered, this, [this](const QColor &c) {
        m_pal->setToolTip(QStringLiteral(" Red:%1 - Green:%2 - Blue:%3").arg(c.red()).arg(c.green()).arg(c.blue()));
    });

    // Line and fill.
    auto *lines = new QGroupBox(this);
    lines->setObjectName(QStringLiteral("PicProperty2"));
    auto *lineGrid = new QGridLayout(lines);
    auto numberRow = [&](int row, const QString &caption, QScrollBar *&bar, QLineEdit *&text, const char *barName,
                         const char *textName, int lo, int hi, ObjDraw::Property property) {
        lineGrid->addWidget(label(lines, caption), row, 0);
        bar = numberBar(lines, barName, lo, hi);
        text = numberText(lines, textName);
        lineGrid->addWidget(bar, row, 1);
        lineGrid->addWidget(text, row, 2);
        QLineEdit *t = text;
        QScrollBar *b = bar;
        connect(bar, &QScrollBar::valueChanged, this, [this, t, property](int value) {
            t->setText(QString::number(value));
            if (!m_filling)
                m_draw->setObjectProperty(property, value);
        });
        connect(text, &QLineEdit::textEdited, this, [b](const QString &s) {
            bool ok = false;
            const int value = s.toInt(&ok);
            if (ok)
                b->setValue(value);
        });
    };
    numberRow(0, QStringLiteral("Border size:"), m_border, m_borderText, "VScroll1", "TxtBorder", 0, 100,
              ObjDraw::Property::BorderWidth);
    lineGrid->addWidget(label(lines, QStringLiteral("Fill style:")), 1, 0);
    m_fill = new QComboBox(lines);
    m_fill->setObjectName(QStringLiteral("CboFill"));
    m_fill->addItems({QStringLiteral("Solid"), QStringLiteral("Transparent"), QStringLiteral("HorLine"),
                      QStringLiteral("VertLine"), QStringLiteral("UpwardDiag"), QStringLiteral("DownwardDiag"),
                      QStringLiteral("Cross"), QStringLiteral("DiagCross")});
    lineGrid->addWidget(m_fill, 1, 1, 1, 2);
    connect(m_fill, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!m_filling && index >= 0)
            m_draw->setObjectProperty(ObjDraw::Property::FillStyle, index);
    });
    numberRow(2, QStringLiteral("Points Qty:"), m_points, m_pointsText, "VScroll2", "TxtPoint", 3, 100,
              ObjDraw::Property::Points);
    numberRow(3, QStringLiteral("Round Rectangle Size:"), m_round, m_roundText, "VScroll3", "TxtRound", 0, 200,
              ObjDraw::Property::RoundSize);
    {
        const QSignalBlocker b1(m_border), b2(m_points), b3(m_round);
        m_border->setValue(1);
        m_borderText->setText(QStringLiteral("1"));
        m_points->setValue(5);
        m_pointsText->setText(QStringLiteral("5"));
        m_round->setValue(20);
        m_roundText->setText(QStringLiteral("20"));
    }

    // Rotation and insertables.
    auto *extras = new QGroupBox(this);
    extras->setObjectName(QStringLiteral("PicProperty3"));
    auto *extrasLayout = new QVBoxLayout(extras);
    m_rotationLabel = label(extras, QStringLiteral("Rotation: 0"), QStringLiteral("LblRotation"));
    m_rotation = new QSlider(Qt::Horizontal, extras);
    m_rotation->setObjectName(QStringLiteral("Slider1"));
    m_rotation->setRange(-180, 180);
    connect(m_rotation, &QSlider::valueChanged, this, [this](int value) {
        m_rotationLabel->setText(QStringLiteral("Rotation: ") + QString::number(value) + QChar(0xB0));
        if (!m_filling)
            m_draw->setObjectProperty(ObjDraw::Property::Rotation, value);
    });
    extrasLayout->addWidget(m_rotationLabel);
    extrasLayout->addWidget(m_rotation);
    m_insertables = new QComboBox(extras);
    m_insertables->setObjectName(QStringLiteral("cboInsertables"));
    connect(m_insertables, &QComboBox::activated, this, &Illustrator::showInsertables);
    extrasLayout->addWidget(m_insertables);
    m_grid = new QTableWidget(0, 3, extras);
    m_grid->setObjectName(QStringLiteral("msfToolBox"));
    m_grid->horizontalHeader()->hide();
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->setDefaultSectionSize(84);
    m_grid->verticalHeader()->setDefaultSectionSize(84);
    m_grid->setIconSize(QSize(64, 64));
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setMinimumHeight(200);
    m_grid->viewport()->installEventFilter(this);
    connect(m_grid, &QTableWidget::cellPressed, this, &Illustrator::cellPressed);
    extrasLayout->addWidget(m_grid, 1);
    // The boxes that prepare pictures and the data control have no face.
    m_dataImager = new QWidget(extras);
    m_dataImager->setObjectName(QStringLiteral("DataImager"));
    for (const char *name : {"ImxPics", "PicLoad", "Picture2", "imgToolImage"}) {
        auto *box = new QLabel(extras);
        box->setObjectName(QLatin1String(name));
        box->hide();
    }
    m_dataImager->hide();

    m_status = new QStatusBar(this);
    m_status->setObjectName(QStringLiteral("StatusBar1"));
    static const char *initial[] = {"Mouse Position", "", "CAPS", "NUM", ""};
    for (int i = 0; i < 5; ++i) {
        m_panels[i] = label(m_status, QLatin1String(initial[i]), QStringLiteral("StatusBar1_%1").arg(i + 1));
        m_panels[i]->setFrameShape(QFrame::StyledPanel);
        m_status->addWidget(m_panels[i], i == 1 ? 1 : 0);
    }
    m_panels[0]->setMinimumWidth(150);
}

void Illustrator::buildTemplatesMenu()
{
    QList<TemplateRow> rows;
    if (DataLink *link = dataLink())
        trapErrors(kWindowName, [&] { rows = readTemplates(*link); });
    for (int i = 0; i < rows.size(); ++i) {
        QAction *item = m_templatesMenu->addAction(rows.at(i).description);
        item->setObjectName(QStringLiteral("mnuIlsTemplate_%1").arg(i));
        item->setData(rows.at(i).code);
        connect(item, &QAction::triggered, this, [this, code = rows.at(i).code] { loadTemplate(code); });
        m_templateItems << item;
    }
    m_templatesMenu->setEnabled(!rows.isEmpty());
    m_templatesMenu->menuAction()->setEnabled(!rows.isEmpty());
}

QString Illustrator::statusText(int panel) const
{
    return panel >= 1 && panel <= 5 ? m_panels[panel - 1]->text() : QString();
}

void Illustrator::setStatus(int panel, const QString &text)
{
    m_panels[panel]->setText(text);
}

} // namespace tovradocs::Internal
