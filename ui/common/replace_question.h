// The one question a window asks before a command writes over files at the names it
// chooses for its outputs (NAME_new.jnx, NAME_Level2.jnx, OUT_Part03.jnx): every file the
// command writes listed at once, those already there marked, No preferred.
#pragma once
#include <string>
#include <vector>

#include "ui/common/message_presenter.h"

namespace ui {

// paths: every file the command will write. True when nothing stands at any of them, or
// the user agreed to replace what does.
bool MayReplaceFiles(MessagePresenter& presenter, const std::vector<std::string>& paths);

}  // namespace ui
