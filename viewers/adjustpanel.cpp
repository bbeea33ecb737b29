#include "viewers/adjustpanel.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

namespace tovradocs::Internal {

AdjustPanel::AdjustPanel(PictureCanvas *canvas, QWidget *parent)
    : QWidget(parent)
    , m_canvas(canvas)
{
    setObjectName(QStringLiteral("pnlAdjust"));
    auto *rows = new QVBoxLayout(this);
    rows->setContentsMargins(4, 2, 4, 2);
    rows->setSpacing(2);
    auto *top = new QHBoxLayout;
    auto *bottom = new QHBoxLayout;
    rows->addLayout(top);
    rows->addLayout(bottom);

    m_preset = new QComboBox(this);
    m_preset->setObjectName(QStringLiteral("cboWindowPreset"));
    m_preset->addItems({QStringLiteral("Window..."), QStringLiteral("Enamel"), QStringLiteral("Dentine/bone"),
                        QStringLiteral("Soft tissue")});
    m_preset->setToolTip(QStringLiteral("Window presets; right-drag over the picture to set the window by hand"));
    top->addWidget(m_preset);
    auto number = [this](const char *name, const QString &tip, double low, double high, double step, int decimals) {
        auto *box = new QDoubleSpinBox(this);
        box->setObjectName(QString::fromLatin1(name));
        box->setRange(low, high);
        box->setSingleStep(step);
        box->setDecimals(decimals);
        box->setToolTip(tip);
        box->setKeyboardTracking(false);
        return box;
    };
    auto label = [this](const QString &text, QWidget *buddy) {
        auto *l = new QLabel(text, this);
        l->setBuddy(buddy);
        return l;
    };
    m_center = number("txtWindowLevel", QStringLiteral("Window level (centre)"), -100000, 100000, 10, 0);
    m_width = number("txtWindowWidth", QStringLiteral("Window width"), 1, 200000, 10, 0);
    top->addWidget(label(QStringLiteral("&Level"), m_center));
    top->addWidget(m_center);
    top->addWidget(label(QStringLiteral("&Width"), m_width));
    top->addWidget(m_width);
    m_invert = button("chkInvert", QStringLiteral("Invert"), QStringLiteral("Invert the greys"), true);
    top->addWidget(m_invert);
    m_gamma = number("txtGamma", QStringLiteral("Gamma: above 1 brightens the middle greys"), 0.2, 5, 0.1, 2);
    top->addWidget(label(QStringLiteral("&Gamma"), m_gamma));
    top->addWidget(m_gamma);
    m_sharpen = number("txtSharpen", QStringLiteral("Unsharp mask strength (0: off)"), 0, 3, 0.5, 1);
    top->addWidget(label(QStringLiteral("S&harpen"), m_sharpen));
    top->addWidget(m_sharpen);
    m_equalise = button("chkEqualise", QStringLiteral("Equalise"),
                        QStringLiteral("Contrast-limited adaptive histogram equalisation"), true);
    top->addWidget(m_equalise);
    top->addStretch();
    auto *undo = button("cmdUndoAdjust", QStringLiteral("Undo"), QStringLiteral("Undo the last change (Ctrl+Z)"));
    top->addWidget(undo);
    auto *reset = button("cmdResetAdjust", QStringLiteral("Reset"),
                         QStringLiteral("Show the picture as the file holds it, without marks"));
    top->addWidget(reset);

    auto *left = button("cmdRotateLeft", QStringLiteral("Rotate left"), QStringLiteral("Turn 90° anticlockwise"));
    auto *right = button("cmdRotateRight", QStringLiteral("Rotate right"), QStringLiteral("Turn 90° clockwise"));
    auto *flipH = button("cmdFlipHorizontal", QStringLiteral("Flip ↔"), QStringLiteral("Mirror left to right"));
    auto *flipV = button("cmdFlipVertical", QStringLiteral("Flip ↕"), QStringLiteral("Mirror top to bottom"));
    for (QToolButton *b : {left, right, flipH, flipV})
        bottom->addWidget(b);
    const struct
    {
        const char *name;
        const char *text;
        const char *tip;
        PictureCanvas::Tool tool;
    } tools[] = {
        {"cmdCrop", "Crop", "Drag a rectangle to keep", PictureCanvas::Crop},
        {"cmdMeasureLength", "Length", "Drag a line to measure it", PictureCanvas::MeasureLength},
        {"cmdMeasureAngle", "Angle", "Click an arm's end, the vertex, then the other arm's end", PictureCanvas::MeasureAngle},
        {"cmdAddText", "Text", "Click where the note goes", PictureCanvas::AddText},
        {"cmdAddArrow", "Arrow", "Drag from the tail to the point", PictureCanvas::AddArrow},
        {"cmdFreehand", "Freehand", "Draw with the left button held", PictureCanvas::Freehand},
        {"cmdCalibrate", "Calibrate", "Drag along an object of known length, then type its length", PictureCanvas::Calibrate},
    };
    for (const auto &t : tools) {
        QToolButton *b = button(t.name, QString::fromUtf8(t.text), QString::fromUtf8(t.tip), true);
        m_tools.append({b, t.tool});
        bottom->addWidget(b);
        connect(b, &QToolButton::clicked, this, [this, b, tool = t.tool] { chooseTool(tool, b); });
    }
    m_showOverlay = button("chkShowOverlay", QStringLiteral("Marks"), QStringLiteral("Show or hide the marks"), true);
    bottom->addWidget(m_showOverlay);
    m_loupe = button("chkLoupe", QStringLiteral("Loupe"), QStringLiteral("A magnifier that follows the pointer"), true);
    bottom->addWidget(m_loupe);
    m_loupeFactor = new QSpinBox(this);
    m_loupeFactor->setObjectName(QStringLiteral("txtLoupeFactor"));
    m_loupeFactor->setRange(2, 8);
    m_loupeFactor->setSuffix(QStringLiteral("x"));
    m_loupeFactor->setToolTip(QStringLiteral("Loupe magnification"));
    bottom->addWidget(m_loupeFactor);
    m_calibration = new QLabel(this);
    m_calibration->setObjectName(QStringLiteral("lblCalibration"));
    bottom->addWidget(m_calibration);
    bottom->addStretch();

    connect(m_preset, &QComboBox::activated, this, [this](int index) {
        if (index <= 0)
            return;
        const auto [c, w] = presetWindow(WindowPreset(index - 1), m_canvas->source());
        changeAdjust([c = c, w = w](PictureState &s) {
            s.adjust.windowCenter = c;
            s.adjust.windowWidth = w;
        });
    });
    const auto windowTyped = [this] {
        changeAdjust([this](PictureState &s) {
            s.adjust.windowCenter = m_center->value();
            s.adjust.windowWidth = m_width->value();
        });
    };
    connect(m_center, &QDoubleSpinBox::valueChanged, this, windowTyped);
    connect(m_width, &QDoubleSpinBox::valueChanged, this, windowTyped);
    connect(m_invert, &QToolButton::toggled, this,
            [this](bool on) { changeAdjust([on](PictureState &s) { s.adjust.invert = on; }); });
    connect(m_gamma, &QDoubleSpinBox::valueChanged, this,
            [this](double v) { changeAdjust([v](PictureState &s) { s.adjust.gamma = v; }); });
    connect(m_sharpen, &QDoubleSpinBox::valueChanged, this,
            [this](double v) { changeAdjust([v](PictureState &s) { s.adjust.sharpen = v; }); });
    connect(m_equalise, &QToolButton::toggled, this,
            [this](bool on) { changeAdjust([on](PictureState &s) { s.adjust.equalise = on; }); });
    // Flips are in the shown frame; a turn changes which way is across.
    connect(left, &QToolButton::clicked, this, [this] {
        changeAdjust([](PictureState &s) {
            s.adjust.quarterTurns = (s.adjust.quarterTurns + 3) % 4;
            std::swap(s.adjust.flipHorizontal, s.adjust.flipVertical);
        });
    });
    connect(right, &QToolButton::clicked, this, [this] {
        changeAdjust([](PictureState &s) {
            s.adjust.quarterTurns = (s.adjust.quarterTurns + 1) % 4;
            std::swap(s.adjust.flipHorizontal, s.adjust.flipVertical);
        });
    });
    connect(flipH, &QToolButton::clicked, this,
            [this] { changeAdjust([](PictureState &s) { s.adjust.flipHorizontal = !s.adjust.flipHorizontal; }); });
    connect(flipV, &QToolButton::clicked, this,
            [this] { changeAdjust([](PictureState &s) { s.adjust.flipVertical = !s.adjust.flipVertical; }); });
    connect(m_showOverlay, &QToolButton::toggled, this,
            [this](bool on) { changeAdjust([on](PictureState &s) { s.overlayHidden = !on; }); });
    connect(m_loupe, &QToolButton::toggled, m_canvas, &PictureCanvas::setLoupe);
    connect(m_loupeFactor, &QSpinBox::valueChanged, m_canvas, &PictureCanvas::setLoupeFactor);
    connect(undo, &QToolButton::clicked, m_canvas, &PictureCanvas::undo);
    connect(reset, &QToolButton::clicked, m_canvas, &PictureCanvas::reset);
    connect(m_canvas, &PictureCanvas::stateChanged, this, &AdjustPanel::refresh);
    connect(m_canvas, &PictureCanvas::loaded, this, &AdjustPanel::refresh);
    connect(m_canvas, &PictureCanvas::toolFinished, this, [this] {
        // Lengths, arrows and notes come one at a time; the tool stays for
        // the next, except calibration and crop, which are done once.
        if (m_canvas->tool() == PictureCanvas::Calibrate || m_canvas->tool() == PictureCanvas::Crop)
            chooseTool(PictureCanvas::NoTool, nullptr);
    });
    refresh();
}

QToolButton *AdjustPanel::button(const char *name, const QString &text, const QString &tip, bool checkable)
{
    auto *b = new QToolButton(this);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(text);
    b->setToolTip(tip);
    b->setCheckable(checkable);
    b->setAutoRaise(true);
    return b;
}

void AdjustPanel::chooseTool(PictureCanvas::Tool tool, QToolButton *pressed)
{
    const bool on = pressed && pressed->isChecked();
    for (const auto &[b, t] : std::as_const(m_tools))
        b->setChecked(on && b == pressed);
    m_canvas->setTool(on ? tool : PictureCanvas::NoTool);
    m_canvas->setFocus();
}

void AdjustPanel::changeAdjust(const std::function<void(PictureState &)> &change)
{
    if (m_refreshing || !m_canvas->hasPicture())
        return;
    PictureState next = m_canvas->state();
    change(next);
    m_canvas->setState(next);
}

void AdjustPanel::refresh()
{
    m_refreshing = true;
    const PictureState &s = m_canvas->state();
    const WindowRange own = defaultWindow(m_canvas->source());
    const bool loaded = m_canvas->hasPicture();
    setEnabled(loaded);
    const double span = std::max(1.0, own.maximum - own.minimum);
    m_center->setRange(own.minimum - span, own.maximum + span);
    m_width->setRange(1, span * 2);
    m_center->setValue(s.adjust.windowWidth > 0 ? s.adjust.windowCenter : own.center);
    m_width->setValue(s.adjust.windowWidth > 0 ? s.adjust.windowWidth : own.width);
    m_preset->setCurrentIndex(0);
    m_invert->setChecked(s.adjust.invert);
    m_gamma->setValue(s.adjust.gamma);
    m_sharpen->setValue(s.adjust.sharpen);
    m_equalise->setChecked(s.adjust.equalise);
    m_showOverlay->setChecked(!s.overlayHidden);
    m_loupe->setChecked(m_canvas->loupe());
    m_loupeFactor->setValue(m_canvas->loupeFactor());
    const Calibration c = m_canvas->calibration();
    switch (c.source) {
    case Calibration::None: m_calibration->setText(QStringLiteral("Not calibrated: lengths in pixels")); break;
    case Calibration::PixelSpacing:
        m_calibration->setText(QStringLiteral("Calibrated by Pixel Spacing (%1 mm)").arg(c.mmPerPixelX, 0, 'f', 3));
        break;
    case Calibration::ImagerPixelSpacing:
        m_calibration->setText(QStringLiteral("Calibrated by Imager Pixel Spacing (%1 mm)").arg(c.mmPerPixelX, 0, 'f', 3));
        break;
    case Calibration::User:
        m_calibration->setText(QStringLiteral("Calibrated by the user (%1 mm per pixel)").arg(c.mmPerPixelX, 0, 'f', 4));
        break;
    }
    m_refreshing = false;
}

AdjustableView::AdjustableView(QWidget *parent)
    : QWidget(parent)
    , m_canvas(new PictureCanvas(this))
    , m_panel(new AdjustPanel(m_canvas, this))
{
    setObjectName(QStringLiteral("AdjustableView"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // A window narrower than the commands scrolls them instead of growing.
    auto *strip = new QScrollArea(this);
    strip->setObjectName(QStringLiteral("scrAdjust"));
    strip->setFrameShape(QFrame::NoFrame);
    strip->setWidget(m_panel);
    strip->setWidgetResizable(true);
    strip->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    strip->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    strip->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    strip->setFixedHeight(m_panel->sizeHint().height() + strip->horizontalScrollBar()->sizeHint().height());
    layout->addWidget(strip);
    layout->addWidget(m_canvas, 1);
}

} // namespace tovradocs::Internal
