// The insertables list: pictures from the clinical lists and the patient's
// own image documents, pressed to insert or dragged onto the drawing.
#include "illustrator.h"

#include "component/dialogservice.h"
#include "component/filetypes.h"
#include "component/hostlink.h"
#include "component/imageloader.h"
#include "controls/objdraw.h"
#include "illustrator/illustrationsql.h"
#include "illustrator/picturefit.h"

#include <QApplication>
#include <QComboBox>
#include <QDrag>
#include <QHelpEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTableWidget>
#include <QToolTip>

namespace tovradocs::Internal {

namespace {

constexpr int kCodeRole = Qt::UserRole;
constexpr int kPictureRole = Qt::UserRole + 1;
constexpr int kThumbSide = 64;
const QString kEmptyGridTip = QStringLiteral(
    " Click on New / Modify button under Visits and select appropriate tab for editing viit data");

} // namespace

void Illustrator::fillInsertableKinds()
{
    m_insertables->clear();
    m_insertables->addItem(QStringLiteral("Complaints"), int(InsertComplaints));
    m_insertables->addItem(QStringLiteral("On Exam"), int(InsertExaminations));
    m_insertables->addItem(QStringLiteral("Rx Advised"), int(InsertTreatments));
    m_insertables->addItem(QStringLiteral("Work Steps"), int(InsertWorkSteps));
    if (m_parentTable == 2)
        m_insertables->addItem(QStringLiteral("Patient's Documents"), int(InsertPatientDocuments));
    m_insertables->setCurrentIndex(-1);
    m_grid->clear();
    m_grid->setRowCount(0);
    m_grid->setToolTip(kEmptyGridTip);
}

void Illustrator::showInsertables(int index)
{
    m_grid->clear();
    m_grid->setRowCount(0);
    m_gridKind = m_insertables->itemData(index).toInt();
    DataLink *link = dataLink();
    if (!link)
        return;
    QList<InsertableCell> cells;
    trapErrors(kWindowName, [&] {
        if (m_gridKind == InsertPatientDocuments) {
            cells = readPatientPictures(*link, m_parentRecord, QSize(kThumbSide, kThumbSide));
        } else {
            // The list pictures live in the practice database itself.
            m_dataImager->setProperty("DatabaseName", link->GetDBPath(false));
            m_dataImager->setProperty("RecordSource", insertablesSql(m_gridKind));
            cells = readInsertables(*link, m_gridKind);
        }
    });
    for (const InsertableCell &cell : std::as_const(cells))
        addCell(cell.picture, cell.description, cell.code);
    m_grid->setToolTip(m_grid->rowCount() == 0 ? kEmptyGridTip : QString());
}

void Illustrator::addCell(const QImage &picture, const QString &description, qint32 code)
{
    int cells = 0;
    for (int r = 0; r < m_grid->rowCount(); ++r)
        for (int c = 0; c < m_grid->columnCount(); ++c)
            cells += m_grid->item(r, c) != nullptr;
    const int row = cells / m_grid->columnCount();
    const int column = cells % m_grid->columnCount();
    if (row >= m_grid->rowCount())
        m_grid->setRowCount(row + 1);
    auto *item = new QTableWidgetItem(description);
    item->setData(kCodeRole, code);
    item->setData(kPictureRole, picture);
    item->setToolTip(description);
    if (!picture.isNull())
        item->setIcon(QPixmap::fromImage(picture.scaled(kThumbSide, kThumbSide, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    item->setTextAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    m_grid->setItem(row, column, item);
}

void Illustrator::cellPressed(int row, int column)
{
    QTableWidgetItem *item = m_grid->item(row, column);
    m_pressedCell = item;
    if (!item || m_gridKind != InsertPatientDocuments)
        return;
    DataLink *link = dataLink();
    if (!link)
        return;
    QString path;
    if (!trapErrors(kWindowName, [&] { path = readEntryFile(*link, item->data(kCodeRole).toInt()); }) || path.isEmpty())
        return;
    const Result<QSize> size = imageSize(path);
    ImageLoadOptions options;
    if (size)
        options.scaledTo = insertionSize(*size);
    const Result<QImage> picture = loadImage(path, options);
    if (!picture) {
        DialogService::message(this, picture.error(), windowTitle(), Buttons::Ok, Severity::Warning);
        return;
    }
    insertFitted(*picture, size ? *size : picture->size(), nullptr);
}

void Illustrator::startCellDrag(QTableWidgetItem *item)
{
    auto *mime = new QMimeData;
    mime->setData(ObjDraw::kInsertableFormat,
                  QByteArray::number(m_gridKind) + ' ' + QByteArray::number(item->data(kCodeRole).toInt()));
    const QImage picture = item->data(kPictureRole).value<QImage>();
    mime->setImageData(picture);
    auto *drag = new QDrag(m_grid);
    drag->setMimeData(mime);
    if (!picture.isNull())
        drag->setPixmap(QPixmap::fromImage(picture.scaled(kThumbSide, kThumbSide, Qt::KeepAspectRatio)));
    drag->exec(Qt::CopyAction);
}

void Illustrator::dropped(const QMimeData *data, const QPointF &at)
{
    QImage picture;
    QSize original;
    const QList<QByteArray> cell = data->data(ObjDraw::kInsertableFormat).split(' ');
    if (cell.size() == 2 && cell.at(0).toInt() == InsertPatientDocuments) {
        DataLink *link = dataLink();
        QString path;
        if (link)
            trapErrors(kWindowName, [&] { path = readEntryFile(*link, cell.at(1).toInt()); });
        const Result<QSize> size = imageSize(path);
        ImageLoadOptions options;
        if (size) {
            original = *size;
            options.scaledTo = insertionSize(*size);
        }
        if (const Result<QImage> loaded = loadImage(path, options))
            picture = *loaded;
    } else if (data->hasImage()) {
        picture = qvariant_cast<QImage>(data->imageData());
    }
    if (picture.isNull())
        return;
    const QPoint where = at.toPoint();
    if (insertFitted(picture, original.isValid() ? original : picture.size(), &where))
        m_modified = true;
}

bool Illustrator::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_grid->viewport())
        return QDialog::eventFilter(watched, event);
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QTableWidgetItem *item = m_grid->itemAt(help->pos());
        const QString tip = m_grid->rowCount() == 0 ? kEmptyGridTip : item ? item->toolTip() : QString();
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, m_grid);
        return true;
    }
    if (event->type() == QEvent::MouseButtonPress) {
        m_pressPos = static_cast<QMouseEvent *>(event)->position().toPoint();
    } else if (event->type() == QEvent::MouseMove && m_pressedCell) {
        auto *move = static_cast<QMouseEvent *>(event);
        if ((move->buttons() & Qt::LeftButton)
            && (move->position().toPoint() - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
            QTableWidgetItem *item = std::exchange(m_pressedCell, nullptr);
            startCellDrag(item);
            return true;
        }
    } else if (event->type() == QEvent::MouseButtonRelease) {
        m_pressedCell = nullptr;
    }
    return false;
}

} // namespace tovradocs::Internal
