#include "ui/common/command_keys.h"

#include <QAbstractButton>
#include <QEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QWidget>

namespace ui {

namespace {

class CommandKeys : public QObject {
public:
    explicit CommandKeys(QWidget* window) : QObject(window), window_(window) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ShortcutOverride && qobject_cast<QLineEdit*>(watched)) {
            const auto* key = static_cast<QKeyEvent*>(event);
            // A plain key (Delete, a letter) is the box's: only chords reach the commands.
            if (!(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
                return QObject::eventFilter(watched, event);
            const QKeySequence pressed(key->keyCombination());
            for (const QAbstractButton* button : window_->findChildren<QAbstractButton*>()) {
                // Not accepted: the shortcut map, not the box, has the key.
                if (!button->shortcut().isEmpty() && button->shortcut() == pressed && button->isVisible()) {
                    event->ignore();
                    return true;
                }
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget* window_;
};

}  // namespace

void LetCommandKeysThrough(QWidget* window) {
    auto* filter = new CommandKeys(window);
    for (QLineEdit* box : window->findChildren<QLineEdit*>()) box->installEventFilter(filter);
}

}  // namespace ui
