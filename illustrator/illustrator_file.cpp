// The illustrator's file commands, templates and closing.
#include "illustrator.h"

#include "component/dialogservice.h"
#include "component/filetypes.h"
#include "component/hostlink.h"
#include "controls/objdraw.h"
#include "illustrator/canvassize.h"
#include "illustrator/illustrationprinting.h"
#include "illustrator/illustrationsql.h"

#include <QPixmap>
#include <QRadioButton>

namespace tovradocs::Internal {

namespace {

const QString kIllustrationFilter = QStringLiteral("Illustrations (*.ils)");

} // namespace

int Illustrator::EditIllustration(const QString &IllustrationName, const QString &Illustrationfile,
                                  qint32 DocumentId, qint32 ParentTblID, qint32 ParentRecID, bool bIsolated)
{
    m_name = IllustrationName;
    m_file = Illustrationfile;
    m_documentId = DocumentId;
    m_parentTable = ParentTblID;
    m_parentRecord = ParentRecID;
    m_isolated = bIsolated;
    if (!m_name.isEmpty())
        setWindowTitle(QStringLiteral("Illustrator - ") + m_name);
    fillInsertableKinds();
    if (m_file.trimmed().isEmpty() || !doesFileExist(m_file)) {
        fileNew();
        setZoom(1);
    } else {
        const Outcome loaded = m_draw->loadDrawing(m_file);
        if (!loaded) {
            // The file stays as it is; saving would write over it only when the user asks.
            showLoadFailure(loaded.error());
            fileNew();
        }
        showBackColor();
        m_modified = false;
    }
    DialogService::showModal(this);
    clearContext();
    return 0;
}

void Illustrator::showLoadFailure(const QString &message)
{
    DialogService::message(this, message, windowTitle(), Buttons::Ok, Severity::Warning);
}

void Illustrator::fileNew()
{
    m_draw->setCanvasWidth(640);
    m_draw->setCanvasHeight(480);
    m_draw->newDrawing();
    m_modified = false;
}

void Illustrator::fileOpen()
{
    const QString path = DialogService::openFile(this, QStringLiteral("Open Illustration"), kIllustrationFilter);
    if (path.isEmpty() || !doesFileExist(path))
        return;
    const Outcome loaded = m_draw->loadDrawing(path);
    if (!loaded) {
        showLoadFailure(loaded.error());
        return;
    }
    showBackColor();
    m_modified = false;
}

void Illustrator::showBackColor()
{
    m_colors[2] = m_draw->backColor();
    QPixmap swatch(14, 14);
    swatch.fill(m_colors[2]);
    m_colorTargets[2]->setIcon(swatch);
    if (m_colorTarget == 2) {
        const bool filling = std::exchange(m_filling, true);
        setEditColor(m_colors[2]);
        m_filling = filling;
    }
}

bool Illustrator::saveTo(const QString &path)
{
    const Outcome saved = m_draw->saveDrawing(path);
    if (!saved) {
        DialogService::message(this, saved.error(), windowTitle(), Buttons::Ok, Severity::Critical);
        return false;
    }
    m_modified = false;
    return true;
}

bool Illustrator::fileSave()
{
    const QString path = m_file.trimmed();
    if (path.isEmpty())
        return false;
    return saveTo(path);
}

void Illustrator::fileExport()
{
    const QString path = DialogService::saveFile(
        this, QStringLiteral("Export Illustration"),
        QStringLiteral("Bitmap Image File (*.bmp);;PNG Image (*.png);;SVG Drawing (*.svg);;PDF Document (*.pdf)"));
    if (path.trimmed().isEmpty())
        return;
    const Outcome exported = m_draw->exportBitmap(path.trimmed());
    if (!exported)
        DialogService::message(this, exported.error(), windowTitle(), Buttons::Ok, Severity::Critical);
}

void Illustrator::filePrint()
{
    const Outcome printed = printIllustrationPicture(this, m_draw->drawingPicture());
    if (!printed && !printed.error().isEmpty())
        DialogService::message(this, printed.error(), windowTitle(), Buttons::Ok, Severity::Critical);
}

void Illustrator::loadTemplate(qint32 code)
{
    DataLink *link = dataLink();
    if (!link)
        return;
    QString path;
    if (!trapErrors(kWindowName, [&] { path = readTemplateFile(*link, code); }))
        return;
    if (path.isEmpty() || !doesFileExist(path)) {
        DialogService::message(this, path + QStringLiteral(" not found !"), windowTitle());
        return;
    }
    const Outcome loaded = m_draw->loadDrawing(path);
    if (!loaded) {
        showLoadFailure(loaded.error());
        return;
    }
    // The drawing no longer matches its file, so closing offers to save it.
    m_modified = true;
}

void Illustrator::showCanvasSize()
{
    CanvasSize dialog(m_draw, this);
    DialogService::showModal(&dialog);
}

bool Illustrator::askToSave()
{
    if (!m_modified)
        return true;
    const Answer answer = DialogService::message(
        this, QStringLiteral("The drawing as been modified, do you want to save-it before quiting?"), windowTitle(),
        Buttons::YesNoCancel, Severity::Question);
    if (answer == Answer::Cancel)
        return false;
    if (answer == Answer::No)
        return true;
    if (m_file.size() < 4) {
        const QString path = DialogService::saveFile(this, QStringLiteral("Save Illustration"), kIllustrationFilter);
        return path.isEmpty() || saveTo(path);
    }
    return saveTo(m_file);
}

void Illustrator::clearContext()
{
    m_file.clear();
    m_name.clear();
    m_documentId = m_parentTable = m_parentRecord = 0;
    m_isolated = false;
    m_modified = false;
}

// Every way of closing (Exit, the close box, Escape, the host) comes here.
void Illustrator::reject()
{
    if (!askToSave())
        return;
    m_modified = false; // answered; the close that follows asks nothing more
    QDialog::reject();
}

} // namespace tovradocs::Internal
