#pragma once

#include <QObject>
#include <QPointer>

class QKeyEvent;
class QWidget;

namespace tovradocs::Internal {

// The keys every window shares: F1 opens the window's help topic, Enter moves
// to the next control, Ctrl+P shows the focused control's tool tip and Ctrl+Q
// has the host speak it. It watches the key presses of the window and of every
// control inside it (not of other windows, dialogs included). Lives as a child
// of the window; UI thread only.
class KeyHandler : public QObject
{
    Q_OBJECT

public:
    explicit KeyHandler(QWidget *window);
    ~KeyHandler() override;

    static KeyHandler *install(QWidget *window);

    // A control with this property true gets Enter itself instead of moving on.
    static constexpr const char *kKeepsEnter = "tovraKeepsEnter";

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool handleKey(QWidget *receiver, QKeyEvent *event);
    bool showHelp();
    bool moveFocusOn(QWidget *receiver);
    QWidget *activeControl() const;
    QString windowName() const;

    QPointer<QWidget> m_window;
};

} // namespace tovradocs::Internal
