#include "icons/colorpalette.h"

#include "component/keyhandler.h"
#include "icons/iconeditor.h"
#include "icons/iconeditorwidgets.h"

#include <QApplication>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

namespace tovradocs::Internal {

namespace {

void paintSwatch(QLabel *label, QRgb colour)
{
    QPalette pal = label->palette();
    pal.setColor(QPalette::Window, QColor::fromRgb(colour));
    label->setPalette(pal);
}

QLabel *swatch(QWidget *parent, const QString &name)
{
    auto *l = new QLabel(parent);
    l->setObjectName(name);
    l->setAutoFillBackground(true);
    l->setFrameShape(QFrame::Box);
    l->setMinimumSize(40, 20);
    return l;
}

} // namespace

ColorPalette::ColorPalette(IconEditor *editor) : QDialog(editor, Qt::Tool), m_editor(editor)
{
    setObjectName(QStringLiteral("ColorPalette"));
    setWindowTitle(QStringLiteral("Icon Editor Color Palette"));
    setAttribute(Qt::WA_DeleteOnClose);
    setProperty("windowID", WindowId);
    KeyHandler::install(this);
    auto *grid = new QGridLayout(this);
    m_palette = new PaletteBox(editor, [this] { reset(); });
    m_palette->setParent(this);
    m_palette->setFixedSize(16 * 16, 3 * 16);
    grid->addWidget(m_palette, 0, 0, 1, 4);
    auto *values = new QLabel(QStringLiteral("RGB Values"), this);
    values->setObjectName(QStringLiteral("Lbl_RGBValues"));
    grid->addWidget(values, 1, 0, 1, 4);
    const char *names[3] = {"Lbl_Red", "Lbl_Green", "Lbl_Blue"};
    const char *captions[3] = {"Red", "Green", "Blue"};
    for (int i = 0; i < 3; ++i) {
        auto *label = new QLabel(QLatin1String(captions[i]), this);
        label->setObjectName(QLatin1String(names[i]));
        m_bars[i] = new QScrollBar(Qt::Horizontal, this);
        m_bars[i]->setObjectName(QStringLiteral("Scrl_RGB_%1").arg(i));
        m_bars[i]->setRange(0, 255);
        m_bars[i]->setMinimumWidth(160);
        m_texts[i] = new QLineEdit(this);
        m_texts[i]->setObjectName(QStringLiteral("Txt_RGB_%1").arg(i));
        m_texts[i]->setMaximumWidth(48);
        m_texts[i]->installEventFilter(this);
        m_parts[i] = swatch(this, QStringLiteral("Pic_RGB_%1").arg(i));
        grid->addWidget(label, 2 + i, 0);
        grid->addWidget(m_bars[i], 2 + i, 1);
        grid->addWidget(m_texts[i], 2 + i, 2);
        grid->addWidget(m_parts[i], 2 + i, 3);
        connect(m_bars[i], &QScrollBar::valueChanged, this, [this] { showParts(); });
        connect(m_texts[i], &QLineEdit::textEdited, this, [this, i] { typed(i); });
    }
    m_selected = swatch(this, QStringLiteral("Pic_SelectedColor"));
    m_nearest = swatch(this, QStringLiteral("Pic_NearestSolidColor"));
    grid->addWidget(new QLabel(QStringLiteral("Selected Color"), this), 5, 0);
    grid->addWidget(m_selected, 5, 1);
    grid->addWidget(new QLabel(QStringLiteral("Nearest Solid Color"), this), 6, 0);
    grid->addWidget(m_nearest, 6, 1);
    auto *setButton = new QPushButton(QStringLiteral("&Set"), this);
    setButton->setObjectName(QStringLiteral("Cmd_Set"));
    auto *resetButton = new QPushButton(QStringLiteral("&Reset"), this);
    resetButton->setObjectName(QStringLiteral("Cmd_Reset"));
    auto *ok = new QPushButton(QStringLiteral("&Done"), this);
    ok->setObjectName(QStringLiteral("Cmd_OK"));
    grid->addWidget(setButton, 7, 1);
    grid->addWidget(resetButton, 7, 2);
    grid->addWidget(ok, 7, 3);
    connect(setButton, &QPushButton::clicked, this, &ColorPalette::set);
    connect(resetButton, &QPushButton::clicked, this, &ColorPalette::reset);
    connect(ok, &QPushButton::clicked, this, &QDialog::close);
    reset();
    showParts();
    // Beside the editor, on its right.
    move(editor->frameGeometry().topRight() + QPoint(8, 0));
}

void ColorPalette::redrawPalette()
{
    m_palette->update();
}

void ColorPalette::reset()
{
    const BgrColour entry = m_editor->kit().palette[m_editor->kit().selectedIndex];
    m_bars[0]->setValue(entry & 255);
    m_bars[1]->setValue((entry / 256) & 255);
    m_bars[2]->setValue((entry / 65536) & 255);
    showParts();
}

void ColorPalette::set()
{
    m_editor->kit().palette[m_editor->kit().selectedIndex]
        = m_bars[0]->value() + 256 * m_bars[1]->value() + 65536 * m_bars[2]->value();
    m_editor->redrawPalettes();
}

void ColorPalette::showParts()
{
    const BgrColour colour = m_bars[0]->value() + 256 * m_bars[1]->value() + 65536 * m_bars[2]->value();
    paintSwatch(m_selected, toRgb(colour));
    // Every colour is solid on the true-colour displays this runs on.
    paintSwatch(m_nearest, toRgb(colour));
    for (int i = 0; i < 3; ++i) {
        if (m_texts[i]->text() != QString::number(m_bars[i]->value()))
            m_texts[i]->setText(QString::number(m_bars[i]->value()));
        paintSwatch(m_parts[i], toRgb(m_bars[i]->value() << (8 * i)));
    }
}

void ColorPalette::typed(int part)
{
    const int value = m_texts[part]->text().toInt();
    if (value > 255) {
        QApplication::beep();
        m_texts[part]->setText(QString::number(m_bars[part]->value()));
    } else {
        m_bars[part]->setValue(value);
    }
    m_texts[part]->end(false);
}

bool ColorPalette::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        const bool digit = key->key() >= Qt::Key_0 && key->key() <= Qt::Key_9;
        const bool edit = key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Tab
                          || key->key() == Qt::Key_Backtab;
        if (!digit && !edit) {
            QApplication::beep();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace tovradocs::Internal
