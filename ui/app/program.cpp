#include "ui/app/program.h"

#include "ui/batch/batch_window.h"

namespace ui {

void LinkBatchWindow(EditorWindow& editor, const settings::Settings& settings, MessagePresenter& presenter) {
    editor.openBatch = [&editor, &settings, &presenter] {
        // A new window per showing: it starts from its empty state every time.
        batchui::BatchWindow batch(settings, editor.Tables(), presenter, &editor);
        batch.exec();
    };
}

}  // namespace ui
