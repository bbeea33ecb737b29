#include "controls/tovrasearch.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace tovradocs::Internal {

TovraSearch::TovraSearch(QWidget *parent)
    : QWidget(parent)
    , m_caption(new QLabel(this))
    , m_text(new QLineEdit(this))
    , m_search(new QToolButton(this))
{
    m_caption->setObjectName(QStringLiteral("lblCaption"));
    m_text->setObjectName(QStringLiteral("txtBook"));
    // The name only mirrors the chosen book; typing would desynchronise it from the code.
    m_text->setReadOnly(true);
    m_search->setObjectName(QStringLiteral("cmdSearch"));
    m_search->setText(QStringLiteral("..."));
    m_search->setToolTip(QStringLiteral("Search"));
    m_caption->setBuddy(m_search);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_caption);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_search);

    connect(m_search, &QToolButton::clicked, this, &TovraSearch::searchRequested);
}

QString TovraSearch::caption() const { return m_caption->text(); }

void TovraSearch::setCaption(const QString &caption) { m_caption->setText(caption); }

void TovraSearch::setBook(qint32 code, const QString &name)
{
    const bool changed = code != m_code;
    m_code = code;
    m_name = name;
    m_text->setText(name);
    if (changed)
        Q_EMIT bookChanged(code);
}

} // namespace tovradocs::Internal
