// The desktop program put together: the two windows know nothing of each other, the
// program links the editor's batch button to the batch window.
#pragma once

#include "settings/settings.h"
#include "ui/common/message_presenter.h"
#include "ui/editor/editor_window.h"

namespace ui {

// The editor's batch command shows a modal batch window over the editor's tables.
void LinkBatchWindow(EditorWindow& editor, const settings::Settings& settings, MessagePresenter& presenter);

}  // namespace ui
