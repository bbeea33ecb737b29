#include "canvassize.h"

#include "controls/objdraw.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <cmath>

namespace tovradocs::Internal {

CanvasSize::CanvasSize(ObjDraw *drawing, QWidget *parent)
    : QDialog(parent)
    , m_drawing(drawing)
    , m_widthText(new QLineEdit(this))
    , m_heightText(new QLineEdit(this))
    , m_width(drawing->canvasWidth())
    , m_height(drawing->canvasHeight())
{
    setObjectName(QStringLiteral("CanvasSize"));
    setWindowTitle(QStringLiteral("Canvas Size"));
    auto *layout = new QVBoxLayout(this);
    auto *units = new QHBoxLayout;
    static const char *captions[] = {"Pixels", "Inches", "Millimeters"};
    for (int i = 0; i < 3; ++i) {
        m_units[i] = new QRadioButton(QLatin1String(captions[i]), this);
        m_units[i]->setObjectName(QStringLiteral("OpType_%1").arg(i));
        units->addWidget(m_units[i]);
        connect(m_units[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (!on)
                return;
            m_unit = i;
            showValues();
        });
    }
    layout->addLayout(units);
    auto *form = new QFormLayout;
    m_widthText->setObjectName(QStringLiteral("TxtWidth"));
    m_heightText->setObjectName(QStringLiteral("TxtHeight"));
    form->addRow(QStringLiteral("Width:"), m_widthText);
    form->addRow(QStringLiteral("Height:"), m_heightText);
    layout->addLayout(form);
    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("BtnOk"));
    ok->setDefault(true);
    layout->addWidget(ok, 0, Qt::AlignRight);
    connect(ok, &QPushButton::clicked, this, &CanvasSize::accepted);
    connect(m_widthText, &QLineEdit::textEdited, this, [this] { edited(m_widthText, m_width); });
    connect(m_heightText, &QLineEdit::textEdited, this, [this] { edited(m_heightText, m_height); });
    m_units[0]->setChecked(true);
    showValues();
}

double CanvasSize::fromPixels(qint32 pixels, int unit)
{
    switch (unit) {
    case 1: return pixels / kPixelsPerInch;
    case 2: return pixels * 25.4 / kPixelsPerInch;
    default: return pixels;
    }
}

qint32 CanvasSize::toPixels(double value, int unit)
{
    switch (unit) {
    case 1: return qint32(std::lround(value * kPixelsPerInch));
    case 2: return qint32(std::lround(value * kPixelsPerInch / 25.4));
    default: return qint32(std::lround(value));
    }
}

QString CanvasSize::formatted(double value)
{
    // Seven significant digits, as single-precision numbers were written.
    const QString text = QString::number(value, 'g', 7);
    return value < 0 ? text : QStringLiteral(" ") + text;
}

void CanvasSize::showValues()
{
    m_widthText->setText(formatted(fromPixels(m_width, m_unit)));
    m_heightText->setText(formatted(fromPixels(m_height, m_unit)));
}

void CanvasSize::edited(QLineEdit *edit, qint32 &kept)
{
    bool ok = false;
    const double value = edit->text().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return; // not a number: the previous size stays
    const qint32 pixels = toPixels(qBound(-1e7, value, 1e7), m_unit);
    if (pixels >= 1 && pixels <= 20000)
        kept = pixels;
}

void CanvasSize::accepted()
{
    m_drawing->setCanvasHeight(m_height);
    m_drawing->setCanvasWidth(m_width);
    accept();
}

} // namespace tovradocs::Internal
