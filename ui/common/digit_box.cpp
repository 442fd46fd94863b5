#include "ui/common/digit_box.h"

#include <QApplication>
#include <QKeyEvent>

namespace ui {

DigitBox::DigitBox(int limit, QWidget* parent) : QLineEdit(parent), limit_(limit) {
    setAlignment(Qt::AlignCenter);
    // The limit is enforced by Filter: a maximum length here would cut pasted text
    // before its non-digits are removed.
    connect(this, &QLineEdit::textEdited, this, &DigitBox::OnEdited);
}

QString DigitBox::Filter(const QString& text, int limit) {
    QString digits;
    for (QChar c : text) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) digits.append(c);
        if (digits.size() >= limit) break;
    }
    return digits;
}

void DigitBox::keyPressEvent(QKeyEvent* event) {
    const QString typed = event->text();
    const bool printable = typed.size() == 1 && typed.at(0).isPrint();
    if (printable) {
        const QChar c = typed.at(0);
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            QApplication::beep();
            event->accept();
            return;
        }
        if (text().size() - selectedText().size() >= limit_) {
            event->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

void DigitBox::OnEdited(const QString& edited) {
    const QString kept = Filter(edited, limit_);
    if (kept == edited) return;
    // Keep the cursor after the same digits it followed before the filtering.
    const int cursor = Filter(edited.left(cursorPosition()), limit_).size();
    setText(kept);
    setCursorPosition(cursor);
}

}  // namespace ui
