#include "printing/frmprintersetup.h"

#include "component/dialogservice.h"
#include "printing/clsmultipgpreview.h"
#include "printing/clsprintdialog.h"
#include "printing/systemprinter.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QVBoxLayout>

#include <memory>

namespace tovradocs::Internal {

namespace printersetup {

bool g_cancelled = true;

const char *const kTemplates[6] = {"One Image / Page",         "2 Images / Page Horizontal",
                                   "2 Images / Page Vertical", "4 Images / Page 2 X 2",
                                   "4 Images / Page Horizontal", "4 Images / Page Vertical"};

std::unique_ptr<QSettings> settings()
{
    auto s = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                         QStringLiteral("TovraDocs"), QStringLiteral("TovraDocs"));
    s->beginGroup(QStringLiteral("Options"));
    return s;
}

// The option pictures: sheets drawn in the window's colours.
QPixmap sheets(int count, bool landscape, bool turned, int dots)
{
    QPixmap pixmap(48, 40);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QSizeF sheet = landscape ? QSizeF(28, 20) : QSizeF(20, 28);
    for (int i = count - 1; i >= 0; --i) {
        const QRectF r(QPointF(4 + i * 6, 4 + i * 4), sheet);
        p.setPen(QPen(Qt::darkGray, 1));
        p.setBrush(Qt::white);
        p.drawRect(r);
        if (i == 0) {
            p.setPen(QPen(QColor(0x30, 0x60, 0xA0), 1.5));
            for (int line = 0; line < 4; ++line) {
                const double y = r.top() + 4 + line * (r.height() - 8) / 4;
                p.drawLine(QPointF(r.left() + 3, y), QPointF(r.right() - 3, y));
            }
        }
    }
    if (turned) {
        p.setPen(QPen(Qt::darkRed, 1.5));
        p.drawArc(QRectF(30, 2, 14, 14), 0, 270 * 16);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    for (int i = 0; i < dots; ++i)
        p.drawEllipse(QPointF(36 + (i % 2) * 5, 24 + (i / 2) * 5), 1.8, 1.8);
    return pixmap;
}

QGroupBox *optionGroup(QWidget *parent, const QString &title, const char *name,
                       const QStringList &captions, QButtonGroup *&group, QLabel *&picture,
                       const char *pictureName)
{
    auto *box = new QGroupBox(title, parent);
    auto *layout = new QHBoxLayout(box);
    auto *buttons = new QVBoxLayout;
    group = new QButtonGroup(box);
    for (int i = 0; i < captions.size(); ++i) {
        auto *button = new QRadioButton(captions.at(i), box);
        button->setObjectName(QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(i));
        group->addButton(button, i);
        buttons->addWidget(button);
    }
    picture = new QLabel(box);
    picture->setObjectName(QLatin1String(pictureName));
    layout->addWidget(picture);
    layout->addLayout(buttons, 1);
    return box;
}

} // namespace printersetup

using namespace printersetup;

frmPrinterSetUp::frmPrinterSetUp(QWidget *parent) : QDialog(parent)
{
    g_cancelled = true;
    setObjectName(QStringLiteral("frmPrinterSetUp"));
    setWindowTitle(QStringLiteral("Printer Setup"));
    buildControls();
    for (int i = 0; i < 6; ++i)
        m_cboPrintTemplates->addItem(QLatin1String(kTemplates[i]), i + 1);
    m_cboPrintTemplates->setCurrentIndex(0);
    m_vscroll->setRange(1, 999);

    m_printerName = savedPrinter();
    m_txtCopies->setText(savedCopies());
    const QStringList names = SystemPrinter::printerNames();
    m_cboPrinter->addItems(names);
    int index = int(names.indexOf(m_printerName));
    if (index < 0)
        index = int(names.indexOf(SystemPrinter::defaultPrinterName()));
    if (index >= 0) {
        m_cboPrinter->setCurrentIndex(index);
        choosePrinter();
    } else {
        m_cboPrinter->setCurrentIndex(-1);
    }
    if (clsMultiPgPreview *engine = clsMultiPgPreview::shared())
        SystemPrinter::setOrientation(engine->Orientation());
    m_optOrien->button(SystemPrinter::orientation() - 1)->setChecked(true);
    updatePictures();

    adjustSize();
    if (QScreen *screen = parent ? parent->screen() : QApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

bool frmPrinterSetUp::cancelled() { return g_cancelled; }

QString frmPrinterSetUp::savedPrinter()
{
    return settings()->value(QStringLiteral("Printer"), QStringLiteral("None")).toString();
}

QString frmPrinterSetUp::savedCopies()
{
    return settings()->value(QStringLiteral("Copies"), QStringLiteral("1")).toString();
}

void frmPrinterSetUp::buildControls()
{
    auto *outer = new QVBoxLayout(this);

    auto *printerBox = new QGroupBox(QStringLiteral("Printer"), this);
    auto *printerGrid = new QGridLayout(printerBox);
    m_cboPrinter = new QComboBox(printerBox);
    m_cboPrinter->setObjectName(QStringLiteral("cboPrinter"));
    m_cboPrinter->setMinimumWidth(280);
    m_txtDriver = new QLineEdit(printerBox);
    m_txtDriver->setObjectName(QStringLiteral("txtDriver"));
    m_txtDriver->setReadOnly(true);
    m_txtPort = new QLineEdit(printerBox);
    m_txtPort->setObjectName(QStringLiteral("txtPort"));
    m_txtPort->setReadOnly(true);
    auto *properties = new QPushButton(QStringLiteral("Properties..."), printerBox);
    properties->setObjectName(QStringLiteral("cmdPrintProperties"));
    printerGrid->addWidget(new QLabel(QStringLiteral("Name"), printerBox), 0, 0);
    printerGrid->addWidget(m_cboPrinter, 0, 1);
    printerGrid->addWidget(properties, 0, 2);
    printerGrid->addWidget(new QLabel(QStringLiteral("Driver"), printerBox), 1, 0);
    printerGrid->addWidget(m_txtDriver, 1, 1, 1, 2);
    printerGrid->addWidget(new QLabel(QStringLiteral("Port"), printerBox), 2, 0);
    printerGrid->addWidget(m_txtPort, 2, 1, 1, 2);
    outer->addWidget(printerBox);

    auto *layoutBox = new QGroupBox(QStringLiteral("Print"), this);
    auto *layoutGrid = new QGridLayout(layoutBox);
    m_cboPrintTemplates = new QComboBox(layoutBox);
    m_cboPrintTemplates->setObjectName(QStringLiteral("cboPrintTemplates"));
    const auto check = [layoutBox](const char *name, const QString &text) {
        auto *box = new QCheckBox(text, layoutBox);
        box->setObjectName(QLatin1String(name));
        return box;
    };
    m_chkDrNames = check("chkDrNames", QStringLiteral("Doctor's name on each page"));
    m_chkPatientName = check("chkPatientName", QStringLiteral("Patient's name on each page"));
    m_chkPrintImageDescription = check("chkPrintImageDescription", QStringLiteral("Description of each image"));
    m_chkPrintBoundingBox = check("chkPrintBoundingBox", QStringLiteral("Bounding Box"));
    QCheckBox *cover = check("Check1", QStringLiteral("Print Cover Page"));
    layoutGrid->addWidget(new QLabel(QStringLiteral("Layout"), layoutBox), 0, 0);
    layoutGrid->addWidget(m_cboPrintTemplates, 0, 1);
    layoutGrid->addWidget(m_chkDrNames, 1, 0, 1, 2);
    layoutGrid->addWidget(m_chkPatientName, 2, 0, 1, 2);
    layoutGrid->addWidget(m_chkPrintImageDescription, 3, 0, 1, 2);
    layoutGrid->addWidget(m_chkPrintBoundingBox, 4, 0, 1, 2);
    layoutGrid->addWidget(cover, 5, 0, 1, 2);
    outer->addWidget(layoutBox);

    auto *options = new QGridLayout;
    m_fraOrien = optionGroup(this, QStringLiteral("Orientation"), "optOrien",
                             {QStringLiteral("Portrait"), QStringLiteral("Landscape")}, m_optOrien,
                             m_imgPrinterOrien, "imgPrinterOrien");
    m_fraOrien->setObjectName(QStringLiteral("fraOrien"));
    QLabel *colourPicture = nullptr;
    auto *colourBox = optionGroup(this, QStringLiteral("Color"), "optColor",
                                  {QStringLiteral("Color"), QStringLiteral("Grayscale")}, m_optColor,
                                  colourPicture, "imgColor");
    auto *qualityBox = optionGroup(this, QStringLiteral("Quality"), "optQuality",
                                   {QStringLiteral("Draft"), QStringLiteral("Normal"), QStringLiteral("Best")},
                                   m_optQuality, m_imgPrinterQuality, "imgPrinterQuality");
    auto *duplexBox = optionGroup(this, QStringLiteral("Duplix"), "optDuplex",
                                  {QStringLiteral("Single Sided"), QStringLiteral("Double Sided Tablet"),
                                   QStringLiteral("Double Sided Book")},
                                  m_optDuplex, m_imgPrinterDuplex, "imgPrinterDuplex");
    colourPicture->setPixmap(sheets(1, false, false, 0));
    m_imgQuality = new QLabel(qualityBox);
    m_imgQuality->setObjectName(QStringLiteral("imgQuality"));
    m_imgQuality->hide();
    m_imgDuplex = new QLabel(duplexBox);
    m_imgDuplex->setObjectName(QStringLiteral("imgDuplex"));
    m_imgDuplex->hide();
    m_optQuality->button(1)->setChecked(true);
    m_optColor->button(0)->setChecked(true);
    m_optDuplex->button(0)->setChecked(true);
    options->addWidget(m_fraOrien, 0, 0);
    options->addWidget(colourBox, 0, 1);
    options->addWidget(qualityBox, 1, 0);
    options->addWidget(duplexBox, 1, 1);
    outer->addLayout(options);

    auto *copiesBox = new QGroupBox(QStringLiteral("Copies"), this);
    auto *copiesLayout = new QHBoxLayout(copiesBox);
    m_imgCopies = new QLabel(copiesBox);
    m_imgCopies->setObjectName(QStringLiteral("imgCopies"));
    m_imgCopies->setPixmap(sheets(3, false, false, 0));
    m_txtCopies = new QLineEdit(copiesBox);
    m_txtCopies->setObjectName(QStringLiteral("txtCopies"));
    m_txtCopies->setMaximumWidth(80);
    m_txtCopies->installEventFilter(this);
    m_vscroll = new QScrollBar(Qt::Vertical, copiesBox);
    m_vscroll->setObjectName(QStringLiteral("VScroll"));
    m_vscroll->setInvertedAppearance(true);
    m_vscroll->setInvertedControls(true);
    m_vscroll->setFixedHeight(m_txtCopies->sizeHint().height() + 8);
    copiesLayout->addWidget(m_imgCopies);
    copiesLayout->addWidget(new QLabel(QStringLiteral("Copies"), copiesBox));
    copiesLayout->addWidget(m_txtCopies);
    copiesLayout->addWidget(m_vscroll);
    copiesLayout->addStretch();
    outer->addWidget(copiesBox);

    auto *buttons = new QHBoxLayout;
    const auto command = [this](const char *name, const QString &text) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    auto *preview = command("cmdPreview", QStringLiteral("Preview"));
    auto *print = command("cmdPrint", QStringLiteral("Print"));
    auto *quit = command("cmdQuit", QStringLiteral("Cancel"));
    preview->setDefault(true);
    buttons->addStretch();
    buttons->addWidget(preview);
    buttons->addWidget(print);
    buttons->addWidget(quit);
    outer->addLayout(buttons);

    connect(m_cboPrinter, &QComboBox::activated, this, [this] { choosePrinter(); });
    connect(m_optOrien, &QButtonGroup::idClicked, this, [this](int id) { orientationClicked(id); });
    connect(m_optQuality, &QButtonGroup::idClicked, this, [this](int id) { qualityClicked(id); });
    connect(m_optColor, &QButtonGroup::idClicked, this, [this] { updatePictures(); });
    connect(m_optDuplex, &QButtonGroup::idClicked, this, [this] { updatePictures(); });
    connect(m_txtCopies, &QLineEdit::textChanged, this, [this] { copiesChanged(); });
    connect(m_vscroll, &QScrollBar::valueChanged, this, [this](int value) {
        if (m_txtCopies->text() != QString::number(value))
            m_txtCopies->setText(QString::number(qAbs(value)));
    });
    connect(properties, &QPushButton::clicked, this, [this] { showProperties(); });
    connect(preview, &QPushButton::clicked, this, [this] { apply(false); });
    connect(print, &QPushButton::clicked, this, [this] { apply(true); });
    connect(quit, &QPushButton::clicked, this, [this] {
        g_cancelled = true;
        reject();
    });
}

void frmPrinterSetUp::choosePrinter()
{
    if (!SystemPrinter::select(m_cboPrinter->currentText()))
        return;
    m_txtDriver->setText(SystemPrinter::driverName());
    m_txtPort->setText(SystemPrinter::portName());
    if (clsMultiPgPreview *engine = clsMultiPgPreview::shared())
        SystemPrinter::setOrientation(engine->Orientation());
    showPrinterState();
    m_printerName = m_cboPrinter->currentText();
}

void frmPrinterSetUp::showPrinterState()
{
    m_optDuplex->button(std::clamp(SystemPrinter::duplex() - 1, 0, 2))->setChecked(true);
    m_optOrien->button(SystemPrinter::orientation() - 1)->setChecked(true);
    m_optColor->button(SystemPrinter::colorMode() == 1 ? 1 : 0)->setChecked(true);
    updatePictures();
}

void frmPrinterSetUp::orientationClicked(int index)
{
    if (!SystemPrinter::setOrientation(index + 1))
        m_optOrien->button(0)->setChecked(true);
    updatePictures();
}

void frmPrinterSetUp::qualityClicked(int index)
{
    static const int qualities[3] = {-1, -3, -4};
    SystemPrinter::setQuality(qualities[index]);
    updatePictures();
}

void frmPrinterSetUp::updatePictures()
{
    const bool landscape = m_optOrien->checkedId() == 1;
    m_imgPrinterOrien->setPixmap(sheets(1, landscape, false, 0));
    const int quality = std::max(0, m_optQuality->checkedId());
    m_imgPrinterQuality->setPixmap(sheets(1, false, false, 2 + 2 * quality));
    const int duplex = std::max(0, m_optDuplex->checkedId());
    m_imgPrinterDuplex->setPixmap(sheets(duplex == 0 ? 1 : 2, landscape, duplex == 2, 0));
}

void frmPrinterSetUp::copiesChanged()
{
    QString text = m_txtCopies->text();
    text.removeIf([](QChar c) { return !c.isDigit(); });
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 1)
        text = QStringLiteral("1");
    else if (value > 999 || text.size() > 3)
        text = QStringLiteral("999");
    else
        text = QString::number(value);
    if (text != m_txtCopies->text()) {
        m_txtCopies->setText(text);
        return;
    }
    m_vscroll->setValue(text.toInt());
}

bool frmPrinterSetUp::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_txtCopies && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            focusNextChild();
            return true;
        }
        const QString text = key->text().toUpper();
        if (!text.isEmpty() && text.at(0).isPrint()
            && !QStringLiteral("0123456789").contains(text.at(0)))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void frmPrinterSetUp::showProperties()
{
    clsPrintDialog dialog;
    dialog.AllowOrientation = m_fraOrien->isEnabled();
    dialog.AllowPrintToFile = false;
    dialog.Owner_hWnd = this;
    dialog.ShowPrinter(clsPrintDialog::PrintSetupFlag);
    const int index = m_cboPrinter->findText(SystemPrinter::currentName());
    if (index >= 0 && index != m_cboPrinter->currentIndex()) {
        m_cboPrinter->setCurrentIndex(index);
        m_txtDriver->setText(SystemPrinter::driverName());
        m_txtPort->setText(SystemPrinter::portName());
        m_printerName = SystemPrinter::currentName();
    }
    m_optOrien->button(SystemPrinter::orientation() - 1)->setChecked(true);
    m_optColor->button(SystemPrinter::colorMode() == 1 ? 1 : 0)->setChecked(true);
    updatePictures();
}

void frmPrinterSetUp::apply(bool print)
{
    if (m_cboPrinter->currentIndex() == -1) {
        DialogService::message(this, QStringLiteral("Cannot proceed without a  valid printer selection !"));
        return;
    }
    if (!clsMultiPgPreview::shared())
        clsMultiPgPreview::setShared(std::make_unique<clsMultiPgPreview>());
    clsMultiPgPreview &engine = *clsMultiPgPreview::shared();
    engine.setSendToPrinter(print);
    engine.setOrientation(qint16(SystemPrinter::orientation()));
    engine.PrintTemplate = qint16(m_cboPrintTemplates->currentData().toInt());
    if (!print) {
        engine.PrintDrNames = m_chkDrNames->isChecked();
        engine.PrintPatientName = m_chkPatientName->isChecked();
        engine.PrintImageDescription = m_chkPrintImageDescription->isChecked();
        engine.PrintBoundingBox = m_chkPrintBoundingBox->isChecked();
    }
    const bool portrait = SystemPrinter::orientation() == 1;
    switch (m_optDuplex->checkedId()) {
    case 1:
        SystemPrinter::setDuplex(portrait ? 3 : 2);
        break;
    case 2:
        SystemPrinter::setDuplex(portrait ? 2 : 3);
        break;
    default:
        SystemPrinter::setDuplex(1);
        break;
    }
    const int colour = m_optColor->checkedId() == 1 ? 1 : 2;
    SystemPrinter::setColorMode(colour);
    engine.setColorMode(qint16(colour));
    SystemPrinter::setCopies(m_txtCopies->text().toInt());
    const std::unique_ptr<QSettings> s = settings();
    s->setValue(QStringLiteral("Printer"), m_printerName);
    s->setValue(QStringLiteral("Copies"), m_txtCopies->text());
    g_cancelled = false;
    accept();
}

} // namespace tovradocs::Internal
