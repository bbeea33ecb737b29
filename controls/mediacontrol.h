#pragma once

#include <QWidget>

class QToolButton;

namespace tovradocs::Internal {

// A transport bar of three buttons: 0 stop, 1 play or pause, 2 restart from the
// beginning. It reports the button pressed and keeps a state number that its
// owner sets (2 reads as playing, so button 1 then shows pause). The buttons
// are "cmdButton_0" .. "cmdButton_2". UI thread only.
class MediaControl : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int State READ state WRITE setState)

public:
    enum Button { StopButton = 0, PlayButton = 1, RewindButton = 2 };

    explicit MediaControl(QWidget *parent = nullptr);

    int state() const { return m_state; }
    void setState(int state);
    QToolButton *button(int index) const;
    // What a press of the button does; the owner acts on ButtonClick.
    void click(int index);

    QSize sizeHint() const override;

Q_SIGNALS:
    void ButtonClick(int button);

private:
    void refreshPlayButton();

    QToolButton *m_buttons[3] = {};
    int m_state = 0;
};

} // namespace tovradocs::Internal
