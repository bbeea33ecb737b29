#include "library/mountcommands.h"

#include "component/dialogservice.h"
#include "component/dicomexport.h"
#include "component/dicomimage.h"
#include "component/entrypicture.h"
#include "component/filetypes.h"
#include "component/hostlink.h"
#include "component/mount.h"
#include "library/bookpatient.h"
#include "library/entryopeners.h"
#include "library/librarydata.h"
#include "library/mountwindow.h"

#include <tovradocs/datalink.h>

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QVBoxLayout>

namespace tovradocs::Internal {

namespace {

const QString kMountCommandsWindow = QStringLiteral("TovraLib");

// Chooses the layout of a new mount and its caption.
class NewMount : public QDialog
{
public:
    explicit NewMount(QWidget *parent) : QDialog(parent), m_templates(mountTemplates())
    {
        setObjectName(QStringLiteral("NewMount"));
        setWindowTitle(QStringLiteral("New Mount"));
        m_list = new QListWidget(this);
        m_list->setObjectName(QStringLiteral("lstTemplates"));
        for (const Mount &mount : std::as_const(m_templates))
            m_list->addItem(QStringLiteral("%1  (%2 slots)").arg(mount.name).arg(mount.slots.size()));
        m_list->setCurrentRow(0);
        m_description = new QLineEdit(m_templates.value(0).name, this);
        m_description->setObjectName(QStringLiteral("txtDescription"));
        connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
            if (row >= 0)
                m_description->setText(m_templates.at(row).name);
        });
        connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
        buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cmdCancel"));
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        auto *form = new QFormLayout;
        form->addRow(QStringLiteral("&Layout:"), m_list);
        form->addRow(QStringLiteral("&Description:"), m_description);
        auto *layout = new QVBoxLayout(this);
        layout->addLayout(form);
        layout->addWidget(buttons);
    }

    Mount chosen() const
    {
        Mount mount = m_templates.value(std::max(0, m_list->currentRow()));
        if (!m_description->text().trimmed().isEmpty())
            mount.name = m_description->text().trimmed();
        return mount;
    }

private:
    QList<Mount> m_templates;
    QListWidget *m_list = nullptr;
    QLineEdit *m_description = nullptr;
};

qint32 entryOfFile(DataLink &link, qint32 bookCode, const QString &fileName)
{
    const PageTable pages = LibraryData(link).loadPages(bookCode, true);
    for (const PageTable::Page &page : pages.pages)
        if (localLibraryPath(page.at(PageTable::FileNameRow - 1)) == localLibraryPath(fileName))
            return page.at(PageTable::EntryCodeRow - 1).toInt();
    return 0;
}

} // namespace

bool isMountFile(const QString &fileName)
{
    return classifyFile(localLibraryPath(fileName)) == kMountKind;
}

qint32 newMount(QWidget *owner, qint32 bookCode)
{
    DataLink *link = dataLink();
    if (!link || bookCode == 0)
        return 0;
    NewMount dialog(owner);
    if (DialogService::showModal(&dialog) != QDialog::Accepted)
        return 0;
    const Mount mount = dialog.chosen();
    QTemporaryDir folder;
    const QString draft = folder.filePath(QStringLiteral("new.") + kMountExtension);
    if (const Outcome written = writeMount(draft, mount); !written) {
        DialogService::message(owner, written.error(), QString(), Buttons::Ok, Severity::Warning);
        return 0;
    }
    NewEntry entry;
    entry.bookCode = bookCode;
    entry.sourcePath = draft;
    entry.entryType = 3;
    entry.description = mount.name;
    entry.deleteSource = true;
    EntryRun run;
    if (!trapErrors(kMountCommandsWindow, [&] { run = LibraryData(*link).addEntries({entry}); }))
        return 0;
    if (run.items.isEmpty() || !run.items.first().added) {
        const QString why = run.items.isEmpty() ? run.error : run.items.first().error;
        DialogService::message(owner, QStringLiteral("The mount could not be added: %1").arg(why), QString(),
                               Buttons::Ok, Severity::Warning);
        return 0;
    }
    const EntryOutcome &added = run.items.first();
    auto *window = new MountWindow(owner);
    if (!window->openMount(bookCode, added.entryCode, added.fileName))
        delete window;
    return added.entryCode;
}

bool openMountEntry(QWidget *owner, qint32 bookCode, const QString &fileName)
{
    DataLink *link = dataLink();
    qint32 entry = 0;
    if (link)
        trapErrors(kMountCommandsWindow, [&] { entry = entryOfFile(*link, bookCode, fileName); });
    auto *window = new MountWindow(owner);
    if (window->openMount(bookCode, entry, fileName))
        return true;
    delete window;
    return false;
}

bool exportEntryAsDicom(QWidget *owner, qint32 bookCode, qint32 entryCode, const QString &fileName,
                        const QString &description, const QString &target)
{
    DataLink *link = dataLink();
    if (!link)
        return false;
    const QString path = localLibraryPath(fileName);
    if (isMountFile(path)) {
        MountWindow window(owner);
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        return window.openMount(bookCode, entryCode, path, false) && window.exportDicom(target);
    }
    Dicom::ExportRequest request;
    request.description = description;
    if (!trapErrors(kMountCommandsWindow, [&] {
            request.patient = bookPatient(*link, bookCode);
            request.studyDate = entryDate(*link, entryCode);
        }))
        return false;
    QFile head(path);
    QByteArray start;
    if (head.open(QIODevice::ReadOnly))
        start = head.read(132);
    if (Dicom::looksLikeDicom(path, start)) {
        if (const Result<Dicom::SourceInfo> source = Dicom::readSourceInfo(path)) {
            request.digitalXRay = source->digitalXRay;
            request.modality = source->modality;
            request.pixelSpacing = source->pixelSpacing;
            request.patientOrientation = source->patientOrientation;
        }
    }
    const Result<QImage> picture = entryPicture(entryCode, path);
    if (!picture) {
        DialogService::message(owner, QStringLiteral("%1 cannot be exported: %2").arg(description, picture.error()),
                               QString(), Buttons::Ok, Severity::Warning);
        return false;
    }
    request.picture = *picture;
    const Outcome written = Dicom::writePicture(target, request);
    if (!written)
        DialogService::message(owner, written.error(), QString(), Buttons::Ok, Severity::Warning);
    return written.ok();
}

void exportSelectedAsDicom(QWidget *owner, qint32 bookCode, const PageTable &pages,
                           const QList<int> &selectedPages)
{
    QList<int> chosen;
    for (int page : selectedPages) {
        const int type = pages.at(PageTable::EntryTypeRow, page).trimmed().toInt();
        if (type == 1 || isMountFile(pages.at(PageTable::FileNameRow, page)))
            chosen << page;
    }
    if (chosen.isEmpty()) {
        DialogService::message(owner, QStringLiteral("No Images Selected !"));
        return;
    }
    const auto nameOf = [&pages](int page) {
        QString name = pages.at(PageTable::DescriptionRow, page).trimmed();
        name.replace(QRegularExpression(QStringLiteral("[\\\\/:*?\"<>|]")), QStringLiteral("_"));
        return name.isEmpty() ? pages.at(PageTable::EntryCodeRow, page) : name;
    };
    if (chosen.size() == 1) {
        const int page = chosen.first();
        QString target = DialogService::saveFile(owner, QStringLiteral("Export as DICOM"),
                                                 QStringLiteral("DICOM file (*.dcm)"),
                                                 QDir::home().filePath(nameOf(page) + QStringLiteral(".dcm")));
        if (target.isEmpty())
            return;
        if (QFileInfo(target).suffix().isEmpty())
            target += QStringLiteral(".dcm");
        exportEntryAsDicom(owner, bookCode, pages.at(PageTable::EntryCodeRow, page).toInt(),
                           pages.at(PageTable::FileNameRow, page), pages.at(PageTable::DescriptionRow, page), target);
        return;
    }
    const QString folder = DialogService::folder(owner, QStringLiteral("Export as DICOM"));
    if (folder.isEmpty())
        return;
    int written = 0;
    for (int page : std::as_const(chosen)) {
        // Never over an existing file: a number is added instead.
        QString target = QDir(folder).filePath(nameOf(page) + QStringLiteral(".dcm"));
        for (int n = 2; QFile::exists(target); ++n)
            target = QDir(folder).filePath(QStringLiteral("%1 (%2).dcm").arg(nameOf(page)).arg(n));
        if (exportEntryAsDicom(owner, bookCode, pages.at(PageTable::EntryCodeRow, page).toInt(),
                               pages.at(PageTable::FileNameRow, page), pages.at(PageTable::DescriptionRow, page),
                               target))
            ++written;
    }
    DialogService::message(owner, QStringLiteral("%1 of %2 DICOM files were written to %3.")
                                      .arg(written)
                                      .arg(chosen.size())
                                      .arg(QDir::toNativeSeparators(folder)));
}

} // namespace tovradocs::Internal
