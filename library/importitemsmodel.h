#pragma once

#include "component/windowutils.h"
#include "library/importrun.h"

#include <QAbstractTableModel>
#include <QIcon>

namespace tovradocs::Internal {

// The files of a batch import as a table: the rows hold codes, the view shows
// the names of categories and transitions from their value lists, and what
// the checks found about each file, with an icon.
class ImportItemsModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { SelectColumn, FileNameColumn, CheckColumn, DescriptionColumn,
                  TransitionColumn, CategoryColumn, ImportColumn, ColumnCount };

    explicit ImportItemsModel(QObject *parent = nullptr);

    void setItems(QList<ImportItem> items);
    const QList<ImportItem> &items() const { return m_items; }
    const ImportItem &item(int row) const { return m_items.at(row); }
    void setItem(int row, const ImportItem &item);
    void removeItems(QList<int> rows);
    // The icon of a marked row (none for an unmarked one).
    static QIcon markIcon(ImportItem::Mark mark);

    void setValueList(Column column, ValueList list);
    const ValueList &valueList(Column column) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QList<ImportItem> m_items;
    ValueList m_transitions;
    ValueList m_categories;
};

} // namespace tovradocs::Internal
