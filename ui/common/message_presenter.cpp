#include "ui/common/message_presenter.h"

#include <QApplication>
#include <QMessageBox>

namespace ui {

MessageAnswer QtMessagePresenter::Show(const Message& message) {
    QWidget* parent = parent_ ? parent_ : QApplication::activeWindow();
    QMessageBox box(parent);
    box.setWindowTitle(message.title.isEmpty() ? QApplication::applicationName() : message.title);
    box.setText(message.text);
    switch (message.icon) {
        case MessageIcon::None: box.setIcon(QMessageBox::NoIcon); break;
        case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
        case MessageIcon::Warning: box.setIcon(QMessageBox::Warning); break;
        case MessageIcon::Critical: box.setIcon(QMessageBox::Critical); break;
        case MessageIcon::Question: box.setIcon(QMessageBox::Question); break;
    }
    if (message.buttons == MessageButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int pressed = box.exec();
    if (message.buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    return pressed == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

}  // namespace ui
