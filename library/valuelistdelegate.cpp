#include "library/valuelistdelegate.h"

#include <QComboBox>

namespace tovradocs::Internal {

ValueListDelegate::ValueListDelegate(std::function<ValueList()> list, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_list(std::move(list))
{}

QWidget *ValueListDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                         const QModelIndex &) const
{
    auto *combo = new QComboBox(parent);
    // The first entry takes a choice back; its code is 0, as "none" is stored.
    combo->addItem(QString(), qint64(0));
    for (const auto &entry : m_list())
        combo->addItem(entry.first, entry.second);
    return combo;
}

void ValueListDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *combo = static_cast<QComboBox *>(editor);
    const qint64 code = index.data(Qt::EditRole).toLongLong();
    for (int i = 0; i < combo->count(); ++i) {
        if (combo->itemData(i).toLongLong() == code) {
            combo->setCurrentIndex(i);
            return;
        }
    }
    combo->setCurrentIndex(0);
}

void ValueListDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                     const QModelIndex &index) const
{
    auto *combo = static_cast<QComboBox *>(editor);
    model->setData(index, combo->currentData().toLongLong(), Qt::EditRole);
}

} // namespace tovradocs::Internal
