#include "controls/mediacontrol.h"

#include <QHBoxLayout>
#include <QStyle>
#include <QToolButton>

namespace tovradocs::Internal {

MediaControl::MediaControl(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("MediaControl"));
    setAutoFillBackground(true);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(4);
    static const char *const tips[] = {"Stop", "Play / Pause", "Restart"};
    const QStyle::StandardPixmap icons[] = {QStyle::SP_MediaStop, QStyle::SP_MediaPlay,
                                            QStyle::SP_MediaSkipBackward};
    row->addStretch();
    for (int i = 0; i < 3; ++i) {
        auto *button = new QToolButton(this);
        button->setObjectName(QStringLiteral("cmdButton_") + QString::number(i));
        button->setToolTip(QString::fromLatin1(tips[i]));
        button->setIcon(style()->standardIcon(icons[i]));
        button->setIconSize(QSize(24, 24));
        button->setAutoRaise(true);
        connect(button, &QToolButton::clicked, this, [this, i] { click(i); });
        row->addWidget(button);
        m_buttons[i] = button;
    }
    row->addStretch();
}

void MediaControl::setState(int state)
{
    m_state = state;
    refreshPlayButton();
}

QToolButton *MediaControl::button(int index) const
{
    return index >= 0 && index < 3 ? m_buttons[index] : nullptr;
}

void MediaControl::click(int index)
{
    if (index < 0 || index > 2)
        return;
    Q_EMIT ButtonClick(index);
}

QSize MediaControl::sizeHint() const
{
    return {3 * 36 + 8, 36};
}

void MediaControl::refreshPlayButton()
{
    m_buttons[PlayButton]->setIcon(style()->standardIcon(
        m_state == 2 ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
}

} // namespace tovradocs::Internal
