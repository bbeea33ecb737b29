#include "app/optionswindow.h"

#include "component/dialogservice.h"
#include "host/referencehost.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace tovradocs {

using Internal::DialogService;

OptionsWindow::OptionsWindow(std::shared_ptr<ReferenceHost> host, QWidget *parent)
    : QDialog(parent)
    , m_host(std::move(host))
{
    setObjectName(QStringLiteral("OptionsWindow"));
    setWindowTitle(QStringLiteral("Options"));

    auto *library = new QGroupBox(QStringLiteral("Library"), this);
    library->setObjectName(QStringLiteral("fraLibrary"));
    auto *form = new QFormLayout(library);

    m_editor = new QLineEdit(library);
    m_editor->setObjectName(QStringLiteral("txtExternalEditor"));
    m_editor->setPlaceholderText(QStringLiteral("for example: gimp, or krita --nosplash"));
    m_editor->setToolTip(QStringLiteral("Program that \"Open in External Editor\" starts; the picture's "
                                        "path is added as its last argument"));
    // Wide enough for the example, so it is not cut off.
    m_editor->setMinimumWidth(m_editor->fontMetrics().horizontalAdvance(m_editor->placeholderText()) + 24);
    auto *browse = new QPushButton(QStringLiteral("&Browse..."), library);
    browse->setObjectName(QStringLiteral("cmdBrowseEditor"));
    browse->setAutoDefault(false);
    auto *editorRow = new QHBoxLayout;
    editorRow->addWidget(m_editor, 1);
    editorRow->addWidget(browse);
    // A row made of a layout gets no buddy from the form; without one the
    // label would show its "&" instead of underlining the E.
    auto *editorLabel = new QLabel(QStringLiteral("External image &editor:"), library);
    editorLabel->setObjectName(QStringLiteral("lblExternalEditor"));
    editorLabel->setBuddy(m_editor);
    form->addRow(editorLabel, editorRow);

    auto spin = [library](const char *name) {
        auto *box = new QSpinBox(library);
        box->setObjectName(QLatin1String(name));
        box->setRange(32, 512);
        box->setSuffix(QStringLiteral(" pixels"));
        return box;
    };
    m_thumbWidth = spin("spnThumbWidth");
    m_thumbHeight = spin("spnThumbHeight");
    form->addRow(QStringLiteral("Thumbnail &width:"), m_thumbWidth);
    form->addRow(QStringLiteral("Thumbnail &height:"), m_thumbHeight);

    m_includeIndex = new QCheckBox(QStringLiteral("Show the &index picture among the pages"), library);
    m_includeIndex->setObjectName(QStringLiteral("chkIncludeIndex"));
    form->addRow(QString(), m_includeIndex);

    m_viewingMode = new QComboBox(library);
    m_viewingMode->setObjectName(QStringLiteral("cboViewingMode"));
    m_viewingMode->addItem(QStringLiteral("Single picture window"), 0);
    m_viewingMode->addItem(QStringLiteral("Full image viewer"), 5);
    form->addRow(QStringLiteral("&Viewing pictures in:"), m_viewingMode);

    m_extension = new QComboBox(library);
    m_extension->setObjectName(QStringLiteral("cboImageExtension"));
    for (const char *ext : {"jpg", "png", "bmp", "tif"})
        m_extension->addItem(QString::fromLatin1(ext), QString::fromLatin1(ext));
    form->addRow(QStringLiteral("New pictures are &saved as:"), m_extension);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cmdCancel"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(library);
    layout->addWidget(buttons);

    connect(browse, &QPushButton::clicked, this, &OptionsWindow::chooseEditor);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        save();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    load();
}

void OptionsWindow::load()
{
    m_editor->setText(m_host->GetSystemSetting(164).toString());
    m_thumbWidth->setValue(m_host->GetSystemSetting(57).toInt());
    m_thumbHeight->setValue(m_host->GetSystemSetting(58).toInt());
    m_includeIndex->setChecked(m_host->GetSystemSetting(130).toBool());
    const int mode = m_viewingMode->findData(m_host->GetSystemSetting(132).toInt() == 5 ? 5 : 0);
    m_viewingMode->setCurrentIndex(mode);
    const QString ext = m_host->GetSystemSetting(61).toString().trimmed().toLower();
    if (m_extension->findData(ext) < 0 && !ext.isEmpty())
        m_extension->addItem(ext, ext); // a value set elsewhere is kept
    m_extension->setCurrentIndex(std::max(0, m_extension->findData(ext)));
}

void OptionsWindow::save()
{
    m_host->setSetting(164, m_editor->text().trimmed());
    m_host->setSetting(57, m_thumbWidth->value());
    m_host->setSetting(58, m_thumbHeight->value());
    m_host->setSetting(130, m_includeIndex->isChecked());
    m_host->setSetting(132, m_viewingMode->currentData().toInt());
    m_host->setSetting(61, m_extension->currentData().toString());
}

void OptionsWindow::chooseEditor()
{
    const QString program = DialogService::openFile(this, QStringLiteral("Choose the image editor"),
                                                    QStringLiteral("Programs (*)"),
                                                    QStringLiteral("/usr/bin"));
    if (program.isEmpty())
        return;
    // A path with blanks must stay one word of the command line.
    m_editor->setText(program.contains(u' ') ? u'"' + program + u'"' : program);
}

} // namespace tovradocs
