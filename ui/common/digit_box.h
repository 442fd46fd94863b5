// A text box for small numbers: typed characters other than digits are dropped with a
// beep, pasted or dropped text keeps only its digits, and the box never holds more than
// `limit` characters.
#pragma once
#include <QLineEdit>

namespace ui {

class DigitBox : public QLineEdit {
    Q_OBJECT
public:
    DigitBox(int limit, QWidget* parent = nullptr);
    int limit() const { return limit_; }

    // What the box keeps of a text: its digits, at most `limit` of them.
    static QString Filter(const QString& text, int limit);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnEdited(const QString& text);
    int limit_;
};

}  // namespace ui
