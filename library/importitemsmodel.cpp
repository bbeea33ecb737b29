#include "library/importitemsmodel.h"

#include <QApplication>
#include <QDir>
#include <QPalette>
#include <QStyle>

#include <algorithm>

namespace tovradocs::Internal {

namespace importitemsmodel {

QString nameFor(const ValueList &list, qint64 code)
{
    for (const auto &entry : list)
        if (entry.second.toLongLong() == code)
            return entry.first;
    return code == 0 ? QString() : QString::number(code);
}

} // namespace importitemsmodel

ImportItemsModel::ImportItemsModel(QObject *parent) : QAbstractTableModel(parent) {}

void ImportItemsModel::setItems(QList<ImportItem> items)
{
    beginResetModel();
    m_items = std::move(items);
    endResetModel();
}

void ImportItemsModel::setItem(int row, const ImportItem &item)
{
    if (row < 0 || row >= m_items.size())
        return;
    m_items[row] = item;
    Q_EMIT dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void ImportItemsModel::removeItems(QList<int> rows)
{
    std::sort(rows.begin(), rows.end(), std::greater<>());
    for (int row : std::as_const(rows)) {
        if (row < 0 || row >= m_items.size())
            continue;
        beginRemoveRows({}, row, row);
        m_items.removeAt(row);
        endRemoveRows();
    }
}

void ImportItemsModel::setValueList(Column column, ValueList list)
{
    (column == CategoryColumn ? m_categories : m_transitions) = std::move(list);
    if (!m_items.isEmpty())
        Q_EMIT dataChanged(index(0, column), index(int(m_items.size()) - 1, column));
}

QIcon ImportItemsModel::markIcon(ImportItem::Mark mark)
{
    switch (mark) {
    case ImportItem::Broken:
    case ImportItem::OtherPatient:
        return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
    case ImportItem::Duplicate:
        return QApplication::style()->standardIcon(QStyle::SP_MessageBoxInformation);
    default:
        return QIcon();
    }
}

const ValueList &ImportItemsModel::valueList(Column column) const
{
    return column == CategoryColumn ? m_categories : m_transitions;
}

int ImportItemsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_items.size());
}

int ImportItemsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ImportItemsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_items.size())
        return {};
    const ImportItem &item = m_items.at(index.row());
    // A marked row says why wherever the pointer rests on it.
    if (role == Qt::ToolTipRole && !item.reason.isEmpty() && index.column() != FileNameColumn)
        return item.reason;
    switch (index.column()) {
    case SelectColumn:
    case ImportColumn:
        if (role == Qt::CheckStateRole)
            return (index.column() == SelectColumn ? item.select : item.import) ? Qt::Checked
                                                                                : Qt::Unchecked;
        return {};
    case FileNameColumn:
        if (role == Qt::DisplayRole)
            return QDir::toNativeSeparators(item.fileName);
        if (role == Qt::ToolTipRole)
            return item.reason.isEmpty() ? QDir::toNativeSeparators(item.fileName)
                                         : QDir::toNativeSeparators(item.fileName) + u'\n' + item.reason;
        return {};
    case CheckColumn:
        if (role == Qt::DisplayRole)
            return item.mark == ImportItem::Unchecked ? QStringLiteral("Checking...") : item.reason;
        if (role == Qt::DecorationRole)
            return markIcon(item.mark);
        if (role == Qt::ForegroundRole && item.mark == ImportItem::Unchecked)
            return QApplication::palette().brush(QPalette::Disabled, QPalette::Text);
        return {};
    case DescriptionColumn:
        if (role == Qt::DisplayRole || role == Qt::EditRole)
            return item.description;
        return {};
    case TransitionColumn:
    case CategoryColumn: {
        const qint64 code = index.column() == CategoryColumn ? item.category : item.ctEffect;
        if (role == Qt::EditRole)
            return code;
        if (role == Qt::DisplayRole)
            return importitemsmodel::nameFor(valueList(Column(index.column())), code);
        return {};
    }
    default:
        return {};
    }
}

bool ImportItemsModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.row() >= m_items.size())
        return false;
    ImportItem &item = m_items[index.row()];
    switch (index.column()) {
    case SelectColumn:
    case ImportColumn:
        if (role != Qt::CheckStateRole)
            return false;
        (index.column() == SelectColumn ? item.select : item.import)
            = value.toInt() == Qt::Checked;
        if (index.column() == SelectColumn)
            item.selectSet = true;
        break;
    case DescriptionColumn:
        if (role != Qt::EditRole)
            return false;
        item.description = value.toString();
        break;
    case TransitionColumn:
    case CategoryColumn:
        if (role != Qt::EditRole)
            return false;
        (index.column() == CategoryColumn ? item.category : item.ctEffect) = value.toLongLong();
        break;
    default:
        return false;
    }
    Q_EMIT dataChanged(index, index);
    return true;
}

Qt::ItemFlags ImportItemsModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    switch (index.column()) {
    case SelectColumn:
    case ImportColumn:
        return f | Qt::ItemIsUserCheckable;
    case DescriptionColumn:
    case TransitionColumn:
    case CategoryColumn:
        return f | Qt::ItemIsEditable;
    default:
        return f;
    }
}

QVariant ImportItemsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char *const titles[] = {"Select", "File Name", "Check", "Description",
                                         "Transition", "Category", "Import"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section]) : QVariant();
}

} // namespace tovradocs::Internal
