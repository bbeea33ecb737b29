#include "capture/scandialog.h"

#include "capture/capturesettings.h"
#include "component/dialogservice.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tovradocs::Internal {

namespace scandialog {

QList<QPair<QByteArray, QString>> &extraOptions()
{
    static QList<QPair<QByteArray, QString>> options;
    return options;
}

constexpr int kPreviewResolution = 50;
const QSize kPreviewBox(240, 320);

} // namespace scandialog

void ScanDialog::setExtraOptions(QList<QPair<QByteArray, QString>> options)
{
    scandialog::extraOptions() = std::move(options);
}

ScanDialog::ScanDialog(QWidget *parent) : QDialog(parent), m_scanner(new Scanner(this))
{
    setObjectName(QStringLiteral("frmScan"));
    setWindowTitle(QStringLiteral("Scan"));
    auto named = [](QWidget *w, const char *name) {
        w->setObjectName(QLatin1String(name));
        return w;
    };
    m_devices = new QComboBox(this);
    named(m_devices, "cboScanner");
    m_modes = new QComboBox(this);
    named(m_modes, "cboMode");
    m_resolutions = new QComboBox(this);
    named(m_resolutions, "cboResolution");
    auto spin = [this, &named](const char *name) {
        auto *box = new QDoubleSpinBox(this);
        named(box, name);
        box->setDecimals(1);
        box->setSuffix(QStringLiteral(" mm"));
        box->setRange(0, 10000);
        connect(box, &QDoubleSpinBox::valueChanged, this, &ScanDialog::showPreview);
        return box;
    };
    m_left = spin("txtLeft");
    m_top = spin("txtTop");
    m_width = spin("txtWidth");
    m_height = spin("txtHeight");
    m_preview = new QLabel(this);
    named(m_preview, "Pic_Preview");
    m_preview->setFixedSize(scandialog::kPreviewBox);
    m_preview->setAlignment(Qt::AlignCenter);
    m_preview->setFrameShape(QFrame::StyledPanel);
    m_progress = new QProgressBar(this);
    named(m_progress, "prgScan");
    m_previewButton = new QPushButton(QStringLiteral("&Preview"), this);
    named(m_previewButton, "cmdPreview");
    m_scanButton = new QPushButton(QStringLiteral("&Scan"), this);
    named(m_scanButton, "cmdScan");
    m_cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    named(m_cancel, "cmdCancel");
    // Enter scans the page, even after a preview left the focus on its button.
    m_scanButton->setDefault(true);
    m_previewButton->setAutoDefault(false);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Scanner:"), m_devices);
    form->addRow(QStringLiteral("Mode:"), m_modes);
    form->addRow(QStringLiteral("Resolution (dpi):"), m_resolutions);
    form->addRow(QStringLiteral("Left:"), m_left);
    form->addRow(QStringLiteral("Top:"), m_top);
    form->addRow(QStringLiteral("Width:"), m_width);
    form->addRow(QStringLiteral("Height:"), m_height);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_previewButton);
    buttons->addStretch();
    buttons->addWidget(m_scanButton);
    buttons->addWidget(m_cancel);
    auto *left = new QVBoxLayout;
    left->addLayout(form);
    left->addStretch();
    left->addWidget(m_progress);
    auto *top = new QHBoxLayout;
    top->addLayout(left, 1);
    top->addWidget(m_preview);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);

    connect(m_previewButton, &QPushButton::clicked, this, [this] { startScan(true); });
    connect(m_scanButton, &QPushButton::clicked, this, [this] { startScan(false); });
    connect(m_cancel, &QPushButton::clicked, this, &ScanDialog::cancelClicked);
    connect(m_scanner, &Scanner::progress, m_progress, &QProgressBar::setValue);
    connect(m_scanner, &Scanner::finished, this, &ScanDialog::scanFinished);
    connect(m_devices, &QComboBox::currentIndexChanged, this, &ScanDialog::deviceChosen);

    const auto devices = Scanner::devices();
    if (devices) {
        const QString last = CaptureSettings::value(QStringLiteral("scanner"), QStringLiteral("device"), QString());
        for (const ScanDevice &device : *devices) {
            m_devices->addItem(device.description, device.name);
            if (device.name == last)
                m_devices->setCurrentIndex(m_devices->count() - 1);
        }
    }
    if (m_devices->count() == 0) {
        m_scanButton->setEnabled(false);
        m_previewButton->setEnabled(false);
        m_preview->setText(devices ? QStringLiteral("No scanner found") : devices.error());
    }
}

ScanDialog::~ScanDialog()
{
    if (m_scanner->isRunning())
        m_scanner->cancel();
}

void ScanDialog::deviceChosen()
{
    const QString device = m_devices->currentData().toString();
    m_modes->clear();
    m_resolutions->clear();
    const auto caps = Scanner::capabilities(device);
    if (!caps) {
        m_preview->setText(caps.error());
        return;
    }
    m_modes->addItems(caps->modes);
    m_modes->setCurrentIndex(qMax(0, m_modes->findText(QStringLiteral("Color"))));
    for (int dpi : caps->resolutions)
        m_resolutions->addItem(QString::number(dpi), dpi);
    m_resolutions->setCurrentIndex(qMax(0, m_resolutions->findData(150)));
    m_bedMm = caps->maxAreaMm;
    m_left->setValue(0);
    m_top->setValue(0);
    m_width->setValue(m_bedMm.width());
    m_height->setValue(m_bedMm.height());
    m_previewImage = QImage();
    showPreview();
}

ScanRequest ScanDialog::request(bool preview) const
{
    ScanRequest r;
    r.device = m_devices->currentData().toString();
    r.mode = m_modes->currentText();
    r.resolution = preview ? scandialog::kPreviewResolution : m_resolutions->currentData().toInt();
    if (!preview)
        r.areaMm = QRectF(m_left->value(), m_top->value(), m_width->value(), m_height->value());
    r.extra = scandialog::extraOptions();
    return r;
}

void ScanDialog::startScan(bool preview)
{
    if (m_scanner->isRunning() || m_devices->count() == 0)
        return;
    m_previewing = preview;
    // Disabling the buttons moves the focus on to Cancel; it comes back when
    // the scan ends, so the next Enter does not cancel the dialog.
    m_focusBeforeScan = focusWidget();
    m_previewButton->setEnabled(false);
    m_scanButton->setEnabled(false);
    m_progress->setValue(0);
    CaptureSettings::setValue(QStringLiteral("scanner"), QStringLiteral("device"),
                              m_devices->currentData().toString());
    m_scanner->start(request(preview));
}

void ScanDialog::cancelClicked()
{
    // While scanning, Cancel stops the scan; otherwise it closes the dialog.
    if (m_scanner->isRunning())
        m_scanner->cancel();
    else
        reject();
}

void ScanDialog::scanFinished(Scanner::Outcome outcome, const QString &message, const QImage &image)
{
    m_previewButton->setEnabled(true);
    m_scanButton->setEnabled(true);
    if (m_focusBeforeScan)
        m_focusBeforeScan->setFocus();
    if (outcome != Scanner::Scanned) {
        m_progress->setValue(0);
        if (outcome != Scanner::Cancelled)
            DialogService::message(this, message, CaptureSettings::componentTitle(), Buttons::Ok,
                                   outcome == Scanner::Failed ? Severity::Critical : Severity::Information);
        return;
    }
    m_progress->setValue(100);
    if (m_previewing) {
        m_previewImage = image;
        showPreview();
        return;
    }
    m_image = image;
    accept();
}

void ScanDialog::showPreview()
{
    QImage canvas(scandialog::kPreviewBox, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    if (m_bedMm.isEmpty()) {
        m_preview->setPixmap(QPixmap::fromImage(canvas));
        return;
    }
    QPainter painter(&canvas);
    const QSizeF bed = m_bedMm.scaled(QSizeF(canvas.size()), Qt::KeepAspectRatio);
    const double scale = bed.width() / m_bedMm.width();
    const QRectF bedRect(QPointF(0, 0), bed);
    if (!m_previewImage.isNull())
        painter.drawImage(bedRect, m_previewImage);
    else
        painter.fillRect(bedRect, QColor(235, 235, 235));
    painter.setPen(QPen(Qt::red, 2, Qt::DashLine));
    painter.drawRect(QRectF(m_left->value() * scale, m_top->value() * scale, m_width->value() * scale,
                            m_height->value() * scale));
    painter.end();
    m_preview->setPixmap(QPixmap::fromImage(canvas));
}

} // namespace tovradocs::Internal
