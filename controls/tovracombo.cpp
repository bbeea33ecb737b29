#include "controls/tovracombo.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>

namespace tovradocs::Internal {

TovraCombo::TovraCombo(QWidget *parent)
    : QWidget(parent)
    , m_caption(new QLabel(this))
    , m_combo(new QComboBox(this))
{
    m_caption->setObjectName(QStringLiteral("caption"));
    m_combo->setObjectName(QStringLiteral("combo"));
    m_caption->setBuddy(m_combo);
    m_caption->hide();
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_caption);
    layout->addWidget(m_combo, 1);
    setFocusProxy(m_combo);
    connect(m_combo, &QComboBox::currentIndexChanged, this, &TovraCombo::currentIndexChanged);
}

QString TovraCombo::caption() const
{
    return m_caption->text();
}

void TovraCombo::setCaption(const QString &caption)
{
    m_caption->setText(caption);
    m_caption->setVisible(!caption.isEmpty());
}

void TovraCombo::addItem(const QString &text, const QVariant &itemData)
{
    m_combo->addItem(text, itemData);
}

void TovraCombo::clear()
{
    m_combo->clear();
}

int TovraCombo::count() const
{
    return m_combo->count();
}

QString TovraCombo::itemText(int index) const
{
    return m_combo->itemText(index);
}

QVariant TovraCombo::itemData(int index) const
{
    return m_combo->itemData(index);
}

int TovraCombo::currentIndex() const
{
    return m_combo->currentIndex();
}

void TovraCombo::setCurrentIndex(int index)
{
    m_combo->setCurrentIndex(index);
}

QString TovraCombo::currentText() const
{
    return m_combo->currentText();
}

QVariant TovraCombo::currentItemData() const
{
    return m_combo->currentData();
}

bool TovraCombo::selectByItemData(const QVariant &data)
{
    // Keys come as numbers from one caller and as text from another ("12" vs 12),
    // so compare by value, not by type.
    for (int i = 0; i < m_combo->count(); ++i) {
        const QVariant item = m_combo->itemData(i);
        if (item == data || (item.isValid() && data.isValid() && item.toString() == data.toString())) {
            m_combo->setCurrentIndex(i);
            return true;
        }
    }
    return false;
}

} // namespace tovradocs::Internal
