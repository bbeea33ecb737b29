#include "controls/tovracheck.h"

#include <QCheckBox>
#include <QHBoxLayout>

namespace tovradocs::Internal {

TovraCheck::TovraCheck(QWidget *parent)
    : QWidget(parent)
    , m_check(new QCheckBox(this))
{
    m_check->setObjectName(QStringLiteral("check"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_check);
    setFocusProxy(m_check);
    connect(m_check, &QCheckBox::toggled, this, &TovraCheck::toggled);
}

QString TovraCheck::caption() const
{
    return m_check->text();
}

void TovraCheck::setCaption(const QString &caption)
{
    m_check->setText(caption);
}

bool TovraCheck::isChecked() const
{
    return m_check->isChecked();
}

void TovraCheck::setChecked(bool checked)
{
    m_check->setChecked(checked);
}

} // namespace tovradocs::Internal
