#include "controls/tovratext.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace tovradocs::Internal {

TovraText::TovraText(QWidget *parent)
    : QWidget(parent)
    , m_caption(new QLabel(this))
    , m_edit(new QLineEdit(this))
{
    m_caption->setObjectName(QStringLiteral("caption"));
    m_edit->setObjectName(QStringLiteral("text"));
    m_caption->setBuddy(m_edit); // "&Name" captions give the edit a shortcut
    m_caption->hide();
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_caption);
    layout->addWidget(m_edit, 1);
    setFocusProxy(m_edit);
    connect(m_edit, &QLineEdit::textChanged, this, &TovraText::textChanged);
}

QString TovraText::caption() const
{
    return m_caption->text();
}

void TovraText::setCaption(const QString &caption)
{
    m_caption->setText(caption);
    m_caption->setVisible(!caption.isEmpty());
}

QString TovraText::text() const
{
    return m_edit->text();
}

void TovraText::setText(const QString &text)
{
    m_edit->setText(text);
}

} // namespace tovradocs::Internal
