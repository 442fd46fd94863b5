// Message boxes go through this interface so that the windows can be driven by tests
// without a modal loop: the real presenter shows a QMessageBox, the recording one
// writes down what was asked and answers from a prepared list.
#pragma once
#include <QString>
#include <deque>
#include <utility>
#include <vector>

class QWidget;

namespace ui {

enum class MessageIcon { None, Information, Warning, Critical, Question };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

struct Message {
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    QString title;  // empty: the application's name
    QString text;
    // The button Enter presses in a Yes/No box; No where Yes cannot be undone.
    MessageAnswer preferred = MessageAnswer::Yes;
    // A results list under the text: each map and what was done to it.
    std::vector<std::pair<QString, QString>> results{};
};

class MessagePresenter {
public:
    virtual ~MessagePresenter() = default;
    // Shows the box and returns the button pressed (Ok for an OK-only box).
    virtual MessageAnswer Show(const Message& message) = 0;

    MessageAnswer Information(const QString& title, const QString& text,
                              MessageButtons buttons = MessageButtons::Ok) {
        return Show({MessageIcon::Information, buttons, title, text});
    }
    MessageAnswer Warning(const QString& title, const QString& text) {
        return Show({MessageIcon::Warning, MessageButtons::Ok, title, text});
    }
    MessageAnswer Error(const QString& title, const QString& text) {
        return Show({MessageIcon::Critical, MessageButtons::Ok, title, text});
    }
    bool Question(const QString& title, const QString& text, MessageAnswer preferred = MessageAnswer::Yes) {
        return Show({MessageIcon::Question, MessageButtons::YesNo, title, text, preferred}) == MessageAnswer::Yes;
    }
    // A box without an icon and with the OK button only.
    void Plain(const QString& title, const QString& text) {
        Show({MessageIcon::None, MessageButtons::Ok, title, text});
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
