#include "component/dialogservice.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <deque>

namespace tovradocs::Internal {

namespace {

DialogResponder *&currentResponder()
{
    static DialogResponder *responder = nullptr;
    return responder;
}

QString dialogTitle(const QString &title)
{
    return title.isEmpty() ? QGuiApplication::applicationDisplayName() : title;
}

QMessageBox::Icon messageIcon(Severity severity)
{
    switch (severity) {
    case Severity::Information: return QMessageBox::Information;
    case Severity::Question: return QMessageBox::Question;
    case Severity::Warning: return QMessageBox::Warning;
    case Severity::Critical: return QMessageBox::Critical;
    case Severity::Plain: break;
    }
    return QMessageBox::NoIcon;
}

QWidget *windowOf(QWidget *widget)
{
    return widget ? widget->window() : nullptr;
}

// When a dialog closes, the window that asked gets the keyboard back; some
// window managers would otherwise raise whichever window they last had.
class Refocus
{
public:
    explicit Refocus(QWidget *parent) : m_window(windowOf(parent)) {}
    ~Refocus()
    {
        if (m_window && m_window->isVisible()) {
            m_window->raise();
            m_window->activateWindow();
        }
    }
    Refocus(const Refocus &) = delete;
    Refocus &operator=(const Refocus &) = delete;

private:
    QPointer<QWidget> m_window;
};

} // namespace

void DialogService::setResponder(DialogResponder *responder) { currentResponder() = responder; }

DialogResponder *DialogService::responder() { return currentResponder(); }

Answer DialogService::message(QWidget *parent, const QString &text, const QString &title,
                              Buttons buttons, Severity severity)
{
    if (DialogResponder *r = responder())
        return r->answerMessage({Prompt::Message, text, title, {}, {}, windowOf(parent)});

    const Refocus refocus(parent);
    QMessageBox box(messageIcon(severity), dialogTitle(title), text, QMessageBox::NoButton, parent);
    box.setTextFormat(Qt::PlainText);
    switch (buttons) {
    case Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case Buttons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Ok: return Answer::Ok;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default:
        // Closing a Yes/No box without a choice means No.
        return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
}

std::optional<QString> DialogService::input(QWidget *parent, const QString &prompt,
                                            const QString &title, const QString &initial)
{
    if (DialogResponder *r = responder())
        return r->answerText({Prompt::Input, prompt, title, {}, initial, windowOf(parent)});

    const Refocus refocus(parent);
    const std::unique_ptr<QInputDialog> dialog = inputDialog(parent, prompt, title, initial);
    if (dialog->exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog->textValue();
}

std::unique_ptr<QInputDialog> DialogService::inputDialog(QWidget *parent, const QString &prompt,
                                                         const QString &title, const QString &initial)
{
    auto dialog = std::make_unique<QInputDialog>(parent);
    dialog->setWindowTitle(dialogTitle(title));
    dialog->setLabelText(prompt);
    dialog->setTextValue(initial);
    // Sized by its prompt alone, the box was narrower than its title, which
    // the window manager then cut ("Enter ... Name").
    // The dialog's layout sets its least size, so the text box carries the width.
    if (auto *edit = dialog->findChild<QLineEdit *>()) {
        const QMargins margins = dialog->layout() ? dialog->layout()->contentsMargins() : QMargins();
        edit->setMinimumWidth(titleWidth(dialog->windowTitle()) - margins.left() - margins.right());
    }
    return dialog;
}

int DialogService::titleWidth(const QString &title)
{
    // Window managers draw titles in a bold face of about the program's size,
    // between an icon on the left and up to four buttons on the right.
    QFont font = QApplication::font();
    font.setBold(true);
    constexpr int kFrameAllowance = 180;
    return QFontMetrics(font).horizontalAdvance(title) + kFrameAllowance;
}

QString DialogService::openFile(QWidget *parent, const QString &title, const QString &filter,
                                const QString &initial)
{
    if (DialogResponder *r = responder())
        return r->answerText({Prompt::OpenFile, {}, title, filter, initial, windowOf(parent)}).value_or(QString());
    return QFileDialog::getOpenFileName(parent, title, initial, filter);
}

QString DialogService::saveFile(QWidget *parent, const QString &title, const QString &filter,
                                const QString &initial)
{
    if (DialogResponder *r = responder())
        return r->answerText({Prompt::SaveFile, {}, title, filter, initial, windowOf(parent)}).value_or(QString());
    return QFileDialog::getSaveFileName(parent, title, initial, filter);
}

QString DialogService::folder(QWidget *parent, const QString &title, const QString &initial)
{
    if (DialogResponder *r = responder())
        return r->answerText({Prompt::Folder, {}, title, {}, initial, windowOf(parent)}).value_or(QString());
    return QFileDialog::getExistingDirectory(parent, title, initial, QFileDialog::ShowDirsOnly);
}

std::optional<QFont> DialogService::font(QWidget *parent, const QFont &initial, const QString &title)
{
    if (DialogResponder *r = responder())
        return r->answerFont({Prompt::Font, {}, title, {}, initial.family(), windowOf(parent)}, initial);

    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, initial, parent, title);
    if (!ok)
        return std::nullopt;
    return chosen;
}

std::optional<QColor> DialogService::color(QWidget *parent, const QColor &initial,
                                           const QString &title)
{
    if (DialogResponder *r = responder())
        return r->answerColor({Prompt::Color, {}, title, {}, initial.name(), windowOf(parent)}, initial);

    const QColor chosen = QColorDialog::getColor(initial, parent, title);
    if (!chosen.isValid())
        return std::nullopt;
    return chosen;
}

int DialogService::showModal(QDialog *dialog)
{
    if (!dialog)
        return QDialog::Rejected;
    if (DialogResponder *r = responder())
        return r->answerModal(dialog);
    const Refocus refocus(dialog->parentWidget());
    return dialog->exec();
}

struct ScriptedResponder::Private
{
    std::deque<Answer> answers;
    std::deque<std::optional<QString>> texts;
    std::deque<std::optional<QFont>> fonts;
    std::deque<std::optional<QColor>> colors;
    std::deque<std::function<int(QDialog *)>> modals;
    QList<Prompt> prompts;
    int unexpected = 0;
};

ScriptedResponder::ScriptedResponder() : d(new Private) {}

ScriptedResponder::~ScriptedResponder()
{
    if (DialogService::responder() == this)
        DialogService::setResponder(nullptr);
    delete d;
}

void ScriptedResponder::pushAnswer(Answer answer) { d->answers.push_back(answer); }
void ScriptedResponder::pushText(std::optional<QString> text) { d->texts.push_back(std::move(text)); }
void ScriptedResponder::pushFont(std::optional<QFont> font) { d->fonts.push_back(std::move(font)); }
void ScriptedResponder::pushColor(std::optional<QColor> color) { d->colors.push_back(std::move(color)); }

void ScriptedResponder::pushModal(std::function<int(QDialog *)> script)
{
    d->modals.push_back(std::move(script));
}

QList<Prompt> ScriptedResponder::prompts() const { return d->prompts; }
void ScriptedResponder::clearPrompts() { d->prompts.clear(); }
int ScriptedResponder::unexpected() const { return d->unexpected; }

Answer ScriptedResponder::answerMessage(const Prompt &prompt)
{
    d->prompts.append(prompt);
    if (d->answers.empty()) {
        ++d->unexpected;
        return Answer::Cancel;
    }
    const Answer answer = d->answers.front();
    d->answers.pop_front();
    return answer;
}

std::optional<QString> ScriptedResponder::answerText(const Prompt &prompt)
{
    d->prompts.append(prompt);
    if (d->texts.empty()) {
        ++d->unexpected;
        return std::nullopt;
    }
    auto text = std::move(d->texts.front());
    d->texts.pop_front();
    return text;
}

std::optional<QFont> ScriptedResponder::answerFont(const Prompt &prompt, const QFont &)
{
    d->prompts.append(prompt);
    if (d->fonts.empty()) {
        ++d->unexpected;
        return std::nullopt;
    }
    auto font = std::move(d->fonts.front());
    d->fonts.pop_front();
    return font;
}

std::optional<QColor> ScriptedResponder::answerColor(const Prompt &prompt, const QColor &)
{
    d->prompts.append(prompt);
    if (d->colors.empty()) {
        ++d->unexpected;
        return std::nullopt;
    }
    auto color = std::move(d->colors.front());
    d->colors.pop_front();
    return color;
}

int ScriptedResponder::answerModal(QDialog *dialog)
{
    d->prompts.append({Prompt::Modal, dialog->objectName(), dialog->windowTitle(), {}, {},
                       windowOf(dialog->parentWidget())});
    if (d->modals.empty()) {
        ++d->unexpected;
        return QDialog::Rejected;
    }
    auto script = std::move(d->modals.front());
    d->modals.pop_front();

    // Shown as exec() would show it, so show events and focus behave the same;
    // the script drives it and the dialog is hidden again if it is still up.
    QPointer<QDialog> guard(dialog);
    dialog->setResult(QDialog::Rejected);
    dialog->show();
    const int result = script(dialog);
    if (guard && guard->isVisible())
        guard->hide();
    return result;
}

} // namespace tovradocs::Internal
