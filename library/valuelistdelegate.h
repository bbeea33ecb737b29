#pragma once

#include "component/windowutils.h"

#include <QStyledItemDelegate>

#include <functional>

namespace tovradocs::Internal {

// Edits a code column with a drop-down of names; the model keeps the code
// (EditRole) and shows the name. The list is asked for each editor, so a
// list filled after the view was set up is used.
class ValueListDelegate : public QStyledItemDelegate
{
public:
    explicit ValueListDelegate(std::function<ValueList()> list, QObject *parent = nullptr);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;

private:
    std::function<ValueList()> m_list;
};

} // namespace tovradocs::Internal
