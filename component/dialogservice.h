#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QDialog;
class QInputDialog;
class QWidget;

namespace tovradocs::Internal {

// Every message box, question, input box, file/folder/font/colour dialog and
// modal window of the component goes through here. Production shows Qt
// dialogs; tests install a DialogResponder that records each prompt and
// answers it without a nested event loop.

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Answer { Ok, Cancel, Yes, No };
enum class Severity { Plain, Information, Question, Warning, Critical };

struct Prompt
{
    enum Kind { Message, Input, OpenFile, SaveFile, Folder, Font, Color, Modal };
    Kind kind = Message;
    QString text;   // message, input prompt; the dialog's objectName for Modal
    QString title;
    QString filter; // file dialogs: "Description (*.a *.b);;..." as Qt takes it
    QString initial; // default input text, initial file or folder
    QWidget *owner = nullptr; // the window the prompt was parented to
};

class DialogResponder
{
public:
    virtual ~DialogResponder() = default;
    virtual Answer answerMessage(const Prompt &prompt) = 0;
    // nullopt: the user cancelled.
    virtual std::optional<QString> answerText(const Prompt &prompt) = 0;
    virtual std::optional<QFont> answerFont(const Prompt &prompt, const QFont &initial) = 0;
    virtual std::optional<QColor> answerColor(const Prompt &prompt, const QColor &initial) = 0;
    // Drives an already built modal dialog (fill fields, click buttons) and
    // returns its result code as exec() would.
    virtual int answerModal(QDialog *dialog) = 0;
};

class DialogService
{
public:
    // Tests only; nullptr restores the real dialogs. Not owned.
    static void setResponder(DialogResponder *responder);
    static DialogResponder *responder();

    static Answer message(QWidget *parent, const QString &text, const QString &title = QString(),
                          Buttons buttons = Buttons::Ok, Severity severity = Severity::Plain);
    static std::optional<QString> input(QWidget *parent, const QString &prompt,
                                        const QString &title, const QString &initial = QString());
    static QString openFile(QWidget *parent, const QString &title, const QString &filter,
                            const QString &initial = QString());
    static QString saveFile(QWidget *parent, const QString &title, const QString &filter,
                            const QString &initial = QString());
    static QString folder(QWidget *parent, const QString &title, const QString &initial = QString());
    static std::optional<QFont> font(QWidget *parent, const QFont &initial, const QString &title = QString());
    static std::optional<QColor> color(QWidget *parent, const QColor &initial, const QString &title = QString());
    // Shows a dialog modally and returns its result (QDialog::Accepted or Rejected).
    static int showModal(QDialog *dialog);
    // The dialog input() shows when no responder answers.
    static std::unique_ptr<QInputDialog> inputDialog(QWidget *parent, const QString &prompt,
                                                     const QString &title, const QString &initial);
    // The least width at which a dialog's title bar shows title uncut.
    static int titleWidth(const QString &title);
};

// A responder for tests: answers from queues filled in advance, records every
// prompt in order. An unexpected prompt is answered with Cancel/nullopt and
// recorded, so a test can assert on it.
class ScriptedResponder : public DialogResponder
{
public:
    ScriptedResponder();
    ~ScriptedResponder() override;

    void pushAnswer(Answer answer);
    void pushText(std::optional<QString> text);
    void pushFont(std::optional<QFont> font);
    void pushColor(std::optional<QColor> color);
    // The script runs on the dialog; its return value is the dialog's result.
    void pushModal(std::function<int(QDialog *)> script);

    QList<Prompt> prompts() const;
    void clearPrompts();
    // Prompts asked while their queue was empty.
    int unexpected() const;

    Answer answerMessage(const Prompt &prompt) override;
    std::optional<QString> answerText(const Prompt &prompt) override;
    std::optional<QFont> answerFont(const Prompt &prompt, const QFont &initial) override;
    std::optional<QColor> answerColor(const Prompt &prompt, const QColor &initial) override;
    int answerModal(QDialog *dialog) override;

private:
    struct Private;
    Private *d;
};

// Installs a responder for the lifetime of the guard.
class ResponderGuard
{
public:
    explicit ResponderGuard(DialogResponder *r) { DialogService::setResponder(r); }
    ~ResponderGuard() { DialogService::setResponder(nullptr); }
};

} // namespace tovradocs::Internal
