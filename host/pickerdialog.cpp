#include "pickerdialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace tovradocs::Internal {

PickerDialog::PickerDialog(const QString &title, const QString &listName, const QList<Item> &items,
                           QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmPicker"));
    setWindowTitle(title);
    auto *layout = new QVBoxLayout(this);
    auto *label = new QLabel(QStringLiteral("&Search:"), this);
    label->setObjectName(QStringLiteral("lblSearch"));
    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("txtSearch"));
    m_search->setClearButtonEnabled(true);
    label->setBuddy(m_search);
    m_list = new QListWidget(this);
    m_list->setObjectName(listName);
    for (const Item &item : items) {
        auto *row = new QListWidgetItem(item.second, m_list);
        row->setData(Qt::UserRole, item.first);
    }
    if (m_list->count() > 0)
        m_list->setCurrentRow(0);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("btnBox"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cmdCancel"));
    layout->addWidget(label);
    layout->addWidget(m_search);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
    resize(360, 420);

    connect(m_search, &QLineEdit::textChanged, this, [this](const QString &text) { applyFilter(text); });
    connect(m_search, &QLineEdit::returnPressed, this, [this] {
        if (m_list->currentItem())
            accept();
    });
    connect(m_list, &QListWidget::itemActivated, this, [this] { accept(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void PickerDialog::applyFilter(const QString &text)
{
    const QString needle = text.trimmed();
    QListWidgetItem *firstVisible = nullptr;
    for (int i = 0; i < m_list->count(); ++i) {
        QListWidgetItem *item = m_list->item(i);
        const bool show = needle.isEmpty() || item->text().contains(needle, Qt::CaseInsensitive);
        item->setHidden(!show);
        if (show && !firstVisible)
            firstVisible = item;
    }
    if (!m_list->currentItem() || m_list->currentItem()->isHidden())
        m_list->setCurrentItem(firstVisible);
}

qint32 PickerDialog::chosenCode() const
{
    const QListWidgetItem *item = m_list->currentItem();
    return item && !item->isHidden() ? item->data(Qt::UserRole).toInt() : 0;
}

QString PickerDialog::chosenName() const
{
    const QListWidgetItem *item = m_list->currentItem();
    return item && !item->isHidden() ? item->text() : QString();
}

} // namespace tovradocs::Internal
