#include "ui/common/message_presenter.h"

#include <QApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

namespace ui {

namespace {

// A box as narrow as a short text gets its title clipped by the window manager; the
// room for the title bar's buttons is a guess, as no window manager tells it.
void MakeRoomForTitle(QMessageBox& box) {
    auto* layout = qobject_cast<QGridLayout*>(box.layout());
    if (layout == nullptr) return;
    const int width = box.fontMetrics().horizontalAdvance(box.windowTitle()) + 160;
    layout->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), layout->rowCount(), 0, 1,
                    layout->columnCount());
}

}  // namespace

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
        box.setDefaultButton(message.preferred == MessageAnswer::No ? QMessageBox::No : QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    MakeRoomForTitle(box);
    const int pressed = box.exec();
    if (message.buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    return pressed == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

}  // namespace ui
