#include "viewers/edittovrashow.h"

#include "component/dialogservice.h"
#include "component/hostlink.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <cmath>

namespace tovradocs::Internal {

namespace {

const QString kShowSettingsWindow = QStringLiteral("EditTovraShow");
const char *const kColorColumns[] = {"StageColor", "ForeColor", "BackColor", "HighlightColor",
                                     "ShadowColor"};
const char *const kColorCaptions[] = {"Stage", "Text", "Back", "Highlight", "Shadow"};
const char *const kImageColumns[] = {"ImageLeft", "ImageTop", "ImageWidth", "ImageHeight"};
const char *const kTextColumns[] = {"TextLeft", "TextTop", "TextWidth", "TextHeight"};
const char *const kRectCaptions[] = {"Left", "Top", "Width", "Height"};
const char *const k3DStyles[] = {"None - Flat ",
                                 "Raised with Light Shading",
                                 "Raised with Heavy Shading",
                                 "Inset with Light Shading",
                                 "Inset with Heavy Shading",
                                 "Drop Shadow",
                                 "Block Shadow",
                                 "Outline Block",
                                 "Outline Drop"};
const char *const kAlignments[] = {"Left justified at the top",
                                   "Left justified in the middle",
                                   "Left justified at the bottom",
                                   "Right justified at the top",
                                   "Right justified in the middle",
                                   "Right-justified at the bottom",
                                   "Centered at the top",
                                   "Centered in the middle",
                                   "Centered at the bottom"};

QString bookSql(qint32 code)
{
    return QStringLiteral("Select * From Books where (Entry_Code = ") + QString::number(code)
        + QStringLiteral(")");
}

QLineEdit *numberBox(QWidget *parent, const QString &name)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setAlignment(Qt::AlignRight);
    box->setMaximumWidth(90);
    return box;
}

QCheckBox *checkBox(QWidget *parent, const char *name, const QString &caption)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    return box;
}

QScrollBar *scrollBar(QWidget *parent, const char *name, int minimum, int maximum)
{
    auto *bar = new QScrollBar(Qt::Horizontal, parent);
    bar->setObjectName(QLatin1String(name));
    bar->setRange(minimum, maximum);
    bar->setMinimumWidth(140);
    return bar;
}

double number(const QLineEdit *box)
{
    return QLocale::c().toDouble(box->text().trimmed());
}

} // namespace

EditTovraShow::EditTovraShow(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(kShowSettingsWindow);
    setWindowTitle(QStringLiteral("Edit Tovra Show"));
    build();
    KeyHandler::install(this);
}

EditTovraShow::~EditTovraShow() = default;

QString EditTovraShow::formatSize(double value)
{
    return QString::number(value, 'f', 2);
}

QString EditTovraShow::formatWhole(double value)
{
    return QString::number(std::llround(value));
}

QLabel *EditTovraShow::colorLabel(const char *name)
{
    auto *label = new QLabel(this);
    label->setObjectName(QLatin1String(name));
    label->setAutoFillBackground(true);
    label->setFrameShape(QFrame::Box);
    label->setMinimumSize(48, 20);
    label->setCursor(Qt::PointingHandCursor);
    label->setToolTip(QStringLiteral("Click to choose the colour"));
    label->installEventFilter(this);
    return label;
}

void EditTovraShow::build()
{
    auto *top = new QVBoxLayout(this);

    auto *general = new QFormLayout;
    m_description = new QLineEdit(this);
    m_description->setObjectName(QStringLiteral("txtDescription"));
    general->addRow(QStringLiteral("Description"), m_description);
    top->addLayout(general);

    auto *colours = new QGroupBox(QStringLiteral("Colours"), this);
    auto *colourRow = new QGridLayout(colours);
    for (int i = 0; i < 5; ++i) {
        QLabel *label = colorLabel(
            QStringLiteral("lbl%1").arg(QLatin1String(kColorColumns[i])).toLatin1().constData());
        m_colors.append(label);
        colourRow->addWidget(new QLabel(QLatin1String(kColorCaptions[i]), colours), 0, i);
        colourRow->addWidget(label, 1, i);
    }
    top->addWidget(colours);

    auto *font = new QGroupBox(QStringLiteral("Font"), this);
    auto *fontGrid = new QGridLayout(font);
    m_fontName = new QLabel(font);
    m_fontName->setObjectName(QStringLiteral("lblFontName"));
    m_fontName->setFrameShape(QFrame::Panel);
    m_fontName->setFrameShadow(QFrame::Sunken);
    m_fontSize = numberBox(font, QStringLiteral("txtFontSize"));
    auto *fontButton = new QPushButton(QStringLiteral("&Font..."), font);
    fontButton->setObjectName(QStringLiteral("cbFont"));
    connect(fontButton, &QPushButton::clicked, this, &EditTovraShow::pickFont);
    m_bold = checkBox(font, "chkFontBold", QStringLiteral("Bold"));
    m_italic = checkBox(font, "chkFontItalic", QStringLiteral("Italic"));
    m_underline = checkBox(font, "chkFontUnderline", QStringLiteral("Underline"));
    m_font3D = new QComboBox(font);
    m_font3D->setObjectName(QStringLiteral("cbo3DFont"));
    for (int i = 0; i < int(std::size(k3DStyles)); ++i)
        m_font3D->addItem(QLatin1String(k3DStyles[i]), i);
    m_font3D->setCurrentIndex(0);
    m_alignment = new QComboBox(font);
    m_alignment->setObjectName(QStringLiteral("cboAlignment"));
    for (int i = 0; i < int(std::size(kAlignments)); ++i)
        m_alignment->addItem(QLatin1String(kAlignments[i]), i);
    fontGrid->addWidget(m_fontName, 0, 0, 1, 2);
    fontGrid->addWidget(m_fontSize, 0, 2);
    fontGrid->addWidget(fontButton, 0, 3);
    fontGrid->addWidget(m_bold, 1, 0);
    fontGrid->addWidget(m_italic, 1, 1);
    fontGrid->addWidget(m_underline, 1, 2);
    fontGrid->addWidget(new QLabel(QStringLiteral("3-D style"), font), 2, 0);
    fontGrid->addWidget(m_font3D, 2, 1, 1, 3);
    fontGrid->addWidget(new QLabel(QStringLiteral("Alignment"), font), 3, 0);
    fontGrid->addWidget(m_alignment, 3, 1, 1, 3);
    top->addWidget(font);

    auto *frames = new QHBoxLayout;
    auto makeFrame = [&](const QString &caption, const char *const columns[], QList<QLineEdit *> &boxes) {
        auto *frame = new QGroupBox(caption, this);
        auto *form = new QFormLayout(frame);
        for (int i = 0; i < 4; ++i) {
            QLineEdit *box = numberBox(frame, QStringLiteral("txt") + QLatin1String(columns[i]));
            boxes.append(box);
            form->addRow(QLatin1String(kRectCaptions[i]), box);
        }
        frames->addWidget(frame);
    };
    makeFrame(QStringLiteral("Image / Video Location"), kImageColumns, m_image);
    makeFrame(QStringLiteral("Text Location"), kTextColumns, m_text);
    top->addLayout(frames);

    auto *shadow = new QFormLayout;
    m_dropX = scrollBar(this, "hsbDropX", -50, 50);
    m_dropY = scrollBar(this, "hsbDropY", -50, 50);
    m_shadowDepth = scrollBar(this, "hsbShadowDepth", 0, 50);
    shadow->addRow(QStringLiteral("Horizontal Drop "), m_dropX);
    shadow->addRow(QStringLiteral("Vertical Drop "), m_dropY);
    shadow->addRow(QStringLiteral("Shadow Depth"), m_shadowDepth);
    top->addLayout(shadow);

    auto *flags = new QHBoxLayout;
    m_repeat = checkBox(this, "chkRepeat", QStringLiteral("Repeat"));
    m_speak = checkBox(this, "chkSpeak", QStringLiteral("Speak"));
    m_viewStartPage = checkBox(this, "chkViewStartPage", QStringLiteral("View Start Page"));
    m_clickToProceed = checkBox(this, "chkClickToProceed", QStringLiteral("Click to proceed"));
    for (QCheckBox *box : {m_repeat, m_speak, m_viewStartPage, m_clickToProceed})
        flags->addWidget(box);
    top->addLayout(flags);

    m_fontHolder = new QLineEdit(this);
    m_fontHolder->setObjectName(QStringLiteral("Text1"));
    m_fontHolder->hide();

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    auto *ok = new QPushButton(QStringLiteral("&Save"), this);
    ok->setObjectName(QStringLiteral("cbOK"));
    ok->setDefault(true);
    auto *closeButton = new QPushButton(QStringLiteral("C&lose"), this);
    closeButton->setObjectName(QStringLiteral("cbClose"));
    connect(ok, &QPushButton::clicked, this, &EditTovraShow::save);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(ok);
    buttons->addWidget(closeButton);
    top->addLayout(buttons);
}

int EditTovraShow::EditDetails(qint32 bookCode, QWidget *parentWnd)
{
    m_bookCode = bookCode;
    if (parentWnd && parentWnd != parentWidget())
        setParent(parentWnd, windowFlags() | Qt::Dialog);
    if (!trapErrors(kShowSettingsWindow, [&] { load(); }))
        return QDialog::Rejected;
    return DialogService::showModal(this);
}

void EditTovraShow::load()
{
    DataLink *link = dataLink();
    if (!link)
        return;
    std::unique_ptr<Recordset> rs;
    link->FillRecordSet(rs, bookSql(m_bookCode));
    if (!rs || !rs->isOpen() || rs->isEof()) {
        closeRecordsetSafely(rs);
        return;
    }
    auto value = [&](const char *column) { return rs->value(QLatin1String(column)); };
    m_description->setText(value("Description").toString());
    for (int i = 0; i < 5; ++i)
        setColor(m_colors.at(i), value(kColorColumns[i]).toInt());
    m_fontName->setText(value("FontName").toString());
    m_fontSize->setText(formatSize(value("FontSize").toDouble()));
    m_bold->setChecked(value("FontBold").toBool());
    m_italic->setChecked(value("FontItalic").toBool());
    m_underline->setChecked(value("FontUnderline").toBool());
    selectComboByItemData(m_font3D, value("Font3D").toInt(), true);
    selectComboByItemData(m_alignment, value("TextAlignment").toInt(), true);
    for (int i = 0; i < 4; ++i) {
        m_image.at(i)->setText(formatWhole(value(kImageColumns[i]).toDouble()));
        m_text.at(i)->setText(formatWhole(value(kTextColumns[i]).toDouble()));
    }
    m_dropX->setValue(value("DropX").toInt());
    m_dropY->setValue(value("DropY").toInt());
    m_shadowDepth->setValue(value("ShadowDepth").toInt());
    m_repeat->setChecked(value("Repeat").toBool());
    m_speak->setChecked(value("Speak").toBool());
    m_viewStartPage->setChecked(value("ViewStartPage").toBool());
    m_clickToProceed->setChecked(value("ClickToProceed").toBool());
    rs->close();
}

void EditTovraShow::save()
{
    const bool saved = trapErrors(kShowSettingsWindow, [&] {
        DataLink *link = dataLink();
        if (!link)
            return;
        std::unique_ptr<Recordset> rs;
        link->FillRecordSet(rs, bookSql(m_bookCode));
        if (!rs || !rs->isOpen() || rs->isEof()) {
            closeRecordsetSafely(rs);
            throw HostError(3021, QStringLiteral("The book's row cannot be found; its settings were not saved."));
        }
        rs->moveFirst();
        auto set = [&](const char *column, const QVariant &v) { rs->setValue(QLatin1String(column), v); };
        // Greyed boxes count as unchecked.
        auto flag = [](const QCheckBox *box) { return box->checkState() == Qt::Checked; };
        set("Description", m_description->text());
        for (int i = 0; i < 5; ++i)
            set(kColorColumns[i], colorOf(m_colors.at(i)));
        set("FontName", m_fontName->text());
        set("FontSize", number(m_fontSize));
        set("FontBold", flag(m_bold));
        set("FontItalic", flag(m_italic));
        set("FontUnderline", flag(m_underline));
        set("Font3D", m_font3D->currentData().toInt());
        set("TextAlignment", m_alignment->currentIndex() < 0 ? 0 : m_alignment->currentData().toInt());
        for (int i = 0; i < 4; ++i) {
            set(kImageColumns[i], number(m_image.at(i)));
            set(kTextColumns[i], number(m_text.at(i)));
        }
        set("DropX", m_dropX->value());
        set("DropY", m_dropY->value());
        set("ShadowDepth", m_shadowDepth->value());
        set("Repeat", flag(m_repeat));
        set("Speak", flag(m_speak));
        set("ViewStartPage", flag(m_viewStartPage));
        set("ClickToProceed", flag(m_clickToProceed));
        try {
            rs->update();
        } catch (...) {
            closeRecordsetSafely(rs);
            throw;
        }
        rs->close();
    });
    if (saved)
        accept();
}

void EditTovraShow::pickFont()
{
    QFont font(m_fontName->text().isEmpty() ? this->font().family() : m_fontName->text());
    const double size = number(m_fontSize);
    if (size > 0)
        font.setPointSizeF(size);
    font.setBold(m_bold->isChecked());
    font.setItalic(m_italic->isChecked());
    font.setUnderline(m_underline->isChecked());
    m_fontHolder->setFont(font);
    if (!chooseFont(m_fontHolder))
        return;
    const QFont chosen = m_fontHolder->font();
    m_fontName->setText(chosen.family());
    m_bold->setChecked(chosen.bold());
    m_italic->setChecked(chosen.italic());
    m_underline->setChecked(chosen.underline());
    m_fontSize->setText(formatSize(chosen.pointSizeF()));
}

void EditTovraShow::pickColor(QLabel *label)
{
    DataLink *link = dataLink();
    if (!link)
        return;
    trapErrors(kShowSettingsWindow, [&] {
        const qint32 answer = link->GetColor();
        if (answer >= 0) // a cancelled colour dialog answers -1
            setColor(label, answer);
    });
}

qint32 EditTovraShow::colorOf(const QLabel *label)
{
    const QColor c = label->palette().color(QPalette::Window);
    return c.red() + 256 * c.green() + 65536 * c.blue();
}

void EditTovraShow::setColor(QLabel *label, qint32 color)
{
    QPalette pal = label->palette();
    pal.setColor(QPalette::Window, QColor(color & 0xff, (color >> 8) & 0xff, (color >> 16) & 0xff));
    label->setPalette(pal);
}

bool EditTovraShow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        auto *label = qobject_cast<QLabel *>(watched);
        if (label && m_colors.contains(label)
            && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            pickColor(label);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace tovradocs::Internal
