#include "component/keyhandler.h"

#include "component/hostlink.h"
#include "component/windowutils.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace tovradocs::Internal {

namespace {

// Controls where Enter means something of its own: multi-line text, and
// controls that say so (the library's page grid views a page). Buttons and
// lists move on like the rest; left to them, Enter would reach the dialog's
// default button and save by accident.
bool keepsEnter(const QWidget *focus)
{
    if (const auto *text = qobject_cast<const QTextEdit *>(focus))
        return !text->isReadOnly();
    if (const auto *plain = qobject_cast<const QPlainTextEdit *>(focus))
        return !plain->isReadOnly();
    return focus->property(KeyHandler::kKeepsEnter).toBool();
}

} // namespace

KeyHandler::KeyHandler(QWidget *window)
    : QObject(window)
    , m_window(window)
{
    // Application-wide, because key presses go to the focused control, not the window.
    if (qApp)
        qApp->installEventFilter(this);
}

KeyHandler::~KeyHandler()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

KeyHandler *KeyHandler::install(QWidget *window)
{
    if (!window)
        return nullptr;
    if (auto *existing = window->findChild<KeyHandler *>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    return new KeyHandler(window);
}

bool KeyHandler::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || !m_window || !watched->isWidgetType())
        return false;
    auto *receiver = static_cast<QWidget *>(watched);
    // isAncestorOf stops at window borders, so dialogs opened from this window keep their own keys.
    if (receiver != m_window && !m_window->isAncestorOf(receiver))
        return false;
    return handleKey(receiver, static_cast<QKeyEvent *>(event));
}

bool KeyHandler::handleKey(QWidget *receiver, QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_F1:
        return mods == Qt::NoModifier && showHelp();
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return mods == Qt::NoModifier && moveFocusOn(receiver);
    case Qt::Key_P:
    case Qt::Key_Q: {
        if (mods != Qt::ControlModifier)
            return false;
        QWidget *control = activeControl();
        if (!control)
            return false;
        DataLink *link = dataLink();
        try {
            if (link && event->key() == Qt::Key_P) {
                // Compound controls carry the tip on the outer widget.
                QString tip;
                for (QWidget *w = control; w && tip.isEmpty(); w = w->isWindow() ? nullptr : w->parentWidget())
                    tip = w->toolTip();
                link->PassMessage(tip, 0);
            } else if (link) {
                link->SpeakControlText(control);
            }
        } catch (...) {
            // A failed tip or speech is no reason to bother the user.
        }
        return true;
    }
    default:
        return false;
    }
}

bool KeyHandler::showHelp()
{
    qint32 id = 0;
    if (const auto *identified = dynamic_cast<const HelpIdentified *>(m_window.data()))
        id = identified->GetWindowID();
    else // windows whose number is a compile-time constant carry it as a property
        id = m_window->property("windowID").toInt();
    if (id <= 0)
        return false;
    trapErrors(windowName(), [&] {
        if (DataLink *link = dataLink())
            link->ShowHelp(QStringLiteral("W") + QString::number(id) + QStringLiteral(".htm"));
    });
    return true;
}

bool KeyHandler::moveFocusOn(QWidget *receiver)
{
    QWidget *focus = activeControl();
    if (focus && keepsEnter(focus))
        return false;
    QWidget *target = focus ? focus : receiver;
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &tab);
    return true;
}

QWidget *KeyHandler::activeControl() const
{
    QWidget *focus = QApplication::focusWidget();
    if (focus && (focus == m_window || m_window->isAncestorOf(focus)))
        return focus;
    focus = m_window->focusWidget();
    return focus && focus != m_window ? focus : nullptr;
}

QString KeyHandler::windowName() const
{
    return m_window->objectName().isEmpty() ? QString::fromLatin1(m_window->metaObject()->className())
                                            : m_window->objectName();
}

} // namespace tovradocs::Internal
