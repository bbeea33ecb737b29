#include "controls/doclist.h"

#include "component/thumbnailprovider.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QPixmap>
#include <QStyle>

#include <algorithm>

namespace tovradocs::Internal {

namespace doclist {

enum Role { PathRole = Qt::UserRole + 1, TemporaryRole, PendingRole };

// Gap between cells and around what a cell holds.
constexpr int spacing = 8;

QIcon iconFor(const QImage &image, int pixels)
{
    if (image.isNull())
        return QIcon();
    return QIcon(QPixmap::fromImage(image.scaled(pixels, pixels, Qt::KeepAspectRatio,
                                                 Qt::SmoothTransformation)));
}

} // namespace doclist

DocList::DocList(QWidget *parent) : QListWidget(parent)
{
    setViewMode(QListView::IconMode);
    setResizeMode(QListView::Adjust);
    setMovement(QListView::Static);
    setIconSize(QSize(m_pixels, m_pixels));
    // One line per name, shortened in the middle where the number usually is not.
    setWordWrap(false);
    setTextElideMode(Qt::ElideMiddle);
    setUniformItemSizes(true);
    applyCellSize();
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    viewport()->setAcceptDrops(true);
    setThumbnailProvider(ThumbnailProvider::shared());
}

QSize DocList::cellSize() const
{
    const int indicator = style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this);
    const int line = fontMetrics().height();
    return {std::max(m_pixels + indicator + 3 * doclist::spacing, m_pixels + 48),
            m_pixels + line + 3 * doclist::spacing};
}

void DocList::applyCellSize()
{
    // Fixed cells: a size worked out from an item whose thumbnail had not
    // arrived would clip every thumbnail that came later.
    const QSize cell = cellSize();
    setGridSize(cell + QSize(doclist::spacing, doclist::spacing));
    for (int i = 0; i < count(); ++i)
        item(i)->setSizeHint(cell);
}

QIcon DocList::placeholder() const
{
    QPixmap blank(m_pixels, m_pixels);
    blank.fill(Qt::transparent);
    return QIcon(blank);
}

void DocList::changeEvent(QEvent *event)
{
    QListWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        applyCellSize();
}

void DocList::setThumbnailProvider(ThumbnailProvider *provider)
{
    if (m_provider)
        disconnect(m_provider, nullptr, this, nullptr);
    m_provider = provider;
    if (m_provider)
        connect(m_provider, &ThumbnailProvider::thumbnailLoaded, this, &DocList::thumbnailArrived);
}

QListWidgetItem *DocList::at(int position) const
{
    return position >= 1 && position <= count() ? item(position - 1) : nullptr;
}

int DocList::addItem(const QString &path, bool temporary, const QImage &picture)
{
    auto *entry = new QListWidgetItem(QFileInfo(path).fileName());
    entry->setData(doclist::PathRole, path);
    entry->setData(doclist::TemporaryRole, temporary);
    entry->setToolTip(path);
    entry->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    entry->setCheckState(Qt::Checked);
    entry->setSizeHint(cellSize());
    QListWidget::addItem(entry);
    if (!picture.isNull()) {
        entry->setIcon(doclist::iconFor(picture, m_pixels));
    } else {
        entry->setIcon(placeholder());
        entry->setData(doclist::PendingRole, true);
        requestThumbnail(path);
    }
    return count();
}

void DocList::requestThumbnail(const QString &path)
{
    if (m_provider)
        m_provider->request(path, m_pixels);
}

void DocList::thumbnailArrived(const QString &path, const QImage &thumbnail)
{
    for (int i = 0; i < count(); ++i) {
        QListWidgetItem *entry = item(i);
        if (entry->data(doclist::PendingRole).toBool()
            && entry->data(doclist::PathRole).toString() == path) {
            entry->setIcon(doclist::iconFor(thumbnail, m_pixels));
            entry->setData(doclist::PendingRole, false);
        }
    }
}

void DocList::refresh()
{
    for (int i = 0; i < count(); ++i)
        if (item(i)->data(doclist::PendingRole).toBool())
            requestThumbnail(item(i)->data(doclist::PathRole).toString());
    viewport()->update();
}

QString DocList::itemPath(int position) const
{
    const QListWidgetItem *entry = at(position);
    return entry ? entry->data(doclist::PathRole).toString() : QString();
}

bool DocList::isItemTemporary(int position) const
{
    const QListWidgetItem *entry = at(position);
    return entry && entry->data(doclist::TemporaryRole).toBool();
}

bool DocList::isItemSelected(int position) const
{
    const QListWidgetItem *entry = at(position);
    return entry && entry->checkState() == Qt::Checked;
}

void DocList::setItemSelected(int position, bool selected)
{
    if (QListWidgetItem *entry = at(position))
        entry->setCheckState(selected ? Qt::Checked : Qt::Unchecked);
}

void DocList::removeItem(int position)
{
    if (at(position))
        delete takeItem(position - 1);
}

int DocList::findPath(const QString &path) const
{
    for (int i = 0; i < count(); ++i)
        if (item(i)->data(doclist::PathRole).toString() == path)
            return i + 1;
    return 0;
}

void DocList::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void DocList::dragMoveEvent(QDragMoveEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void DocList::dropEvent(QDropEvent *event)
{
    if (!event->mimeData()->hasUrls()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    Q_EMIT urlsDropped(event->mimeData()->urls());
}

} // namespace tovradocs::Internal
