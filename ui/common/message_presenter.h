// Message boxes go through this interface so that the windows can be driven by tests
// without a modal loop: the real presenter shows a QMessageBox, the recording one
// writes down what was asked and answers from a prepared list.
#pragma once
#include <QString>
#include <QStringList>
#include <deque>
#include <utility>
#include <vector>

class QWidget;

namespace ui {

// What a box is says both its icon and its title, so no box can pair one with the other's:
// an error "Error", a refusal (a command that will not run as asked) "Warning", a
// question "Question", a result "Information".
enum class MessageIcon { Information, Warning, Critical, Question };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

// The title of a box of that kind, in the windows' language.
QString MessageTitle(MessageIcon icon);

struct Message {
    MessageIcon icon = MessageIcon::Information;
    MessageButtons buttons = MessageButtons::Ok;
    QString text;
    // The button Enter presses in a Yes/No box; No where Yes cannot be undone.
    MessageAnswer preferred = MessageAnswer::Yes;
    // A results list under the text: each map and what was done to it.
    std::vector<std::pair<QString, QString>> results{};
    // The list's two column captions, when it lists something else than maps and results.
    QStringList resultsHeader{};
};

class MessagePresenter {
public:
    virtual ~MessagePresenter() = default;
    // Shows the box and returns the button pressed (Ok for an OK-only box).
    virtual MessageAnswer Show(const Message& message) = 0;

    // A result; with Yes/No when the result offers a next step.
    MessageAnswer Information(const QString& text, MessageButtons buttons = MessageButtons::Ok) {
        return Show({MessageIcon::Information, buttons, text});
    }
    void Refusal(const QString& text) { Show({MessageIcon::Warning, MessageButtons::Ok, text}); }
    void Error(const QString& text) { Show({MessageIcon::Critical, MessageButtons::Ok, text}); }
    bool Question(const QString& text, MessageAnswer preferred = MessageAnswer::Yes) {
        return Show({MessageIcon::Question, MessageButtons::YesNo, text, preferred}) == MessageAnswer::Yes;
    }
};

// QMessageBox over the given window, or over the active window when parent is null.
class QtMessagePresenter : public MessagePresenter {
public:
    explicit QtMessagePresenter(QWidget* parent = nullptr) : parent_(parent) {}
    MessageAnswer Show(const Message& message) override;

private:
    QWidget* parent_;
};

// Records every box; answers Yes/No boxes from `answers` in order, then `defaultAnswer`.
class RecordingMessagePresenter : public MessagePresenter {
public:
    std::vector<Message> shown;
    std::deque<MessageAnswer> answers;
    MessageAnswer defaultAnswer = MessageAnswer::No;

    MessageAnswer Show(const Message& message) override {
        shown.push_back(message);
        if (message.buttons == MessageButtons::Ok) return MessageAnswer::Ok;
        if (answers.empty()) return defaultAnswer;
        MessageAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    const Message* last() const { return shown.empty() ? nullptr : &shown.back(); }
    void clear() { shown.clear(); }
};

}  // namespace ui
