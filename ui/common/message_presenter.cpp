#include "ui/common/message_presenter.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <QTreeWidget>
#include <algorithm>

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

// The list goes into the box's grid below the text, wide enough for a path and its outcome.
void AddResultsList(QMessageBox& box, const std::vector<std::pair<QString, QString>>& results,
                    const QStringList& header) {
    auto* layout = qobject_cast<QGridLayout*>(box.layout());
    if (layout == nullptr) return;
    auto* list = new QTreeWidget(&box);
    list->setObjectName(QStringLiteral("results"));
    list->setRootIsDecorated(false);
    list->setColumnCount(2);
    list->setHeaderLabels(header.size() == 2
                              ? header
                              : QStringList{QCoreApplication::translate("ui::Results", "Map"),
                                            QCoreApplication::translate("ui::Results", "What was done")});
    for (const auto& [map, outcome] : results) {
        auto* item = new QTreeWidgetItem(list, {map, outcome});
        item->setToolTip(0, map);
        item->setToolTip(1, outcome);
    }
    list->resizeColumnToContents(0);
    list->setMinimumSize(640, std::min(400, 60 + 22 * int(results.size())));
    // Between the text and the buttons: the buttons move one row down.
    auto* buttons = box.findChild<QDialogButtonBox*>();
    const int at = buttons ? layout->indexOf(buttons) : -1;
    if (at < 0) {
        layout->addWidget(list, layout->rowCount(), 0, 1, layout->columnCount());
        return;
    }
    int row = 0, column = 0, rows = 0, columns = 0;
    layout->getItemPosition(at, &row, &column, &rows, &columns);
    layout->removeWidget(buttons);
    layout->addWidget(list, row, 0, 1, layout->columnCount());
    layout->addWidget(buttons, row + 1, column, rows, columns);
}

}  // namespace

QString MessageTitle(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Warning:
            return QCoreApplication::translate("ui::MessagePresenter", "Warning");
        case MessageIcon::Critical:
            return QCoreApplication::translate("ui::MessagePresenter", "Error");
        case MessageIcon::Question:
            return QCoreApplication::translate("ui::MessagePresenter", "Question");
        case MessageIcon::Information:
            break;
    }
    return QCoreApplication::translate("ui::MessagePresenter", "Information");
}

MessageAnswer QtMessagePresenter::Show(const Message& message) {
    QWidget* parent = parent_ ? parent_ : QApplication::activeWindow();
    QMessageBox box(parent);
    box.setWindowTitle(MessageTitle(message.icon));
    box.setText(message.text);
    switch (message.icon) {
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
    if (!message.results.empty()) AddResultsList(box, message.results, message.resultsHeader);
    MakeRoomForTitle(box);
    const int pressed = box.exec();
    if (message.buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    return pressed == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

}  // namespace ui
