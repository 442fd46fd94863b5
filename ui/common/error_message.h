// The core's errors in the user's language: the English template of the code is the
// source text of context "platform::Error" in the translations. The templates live in
// the core, out of lupdate's sight: lupdate marks that context vanished and lrelease
// would then leave it out, so after an lupdate run its entries are made current again
// (the ui_editor test that walks every code notices one missing).
#pragma once
#include <QString>

#include "platform/error.h"

namespace ui {

inline constexpr const char* kErrorContext = "platform::Error";

// The error worded in the installed language, its cause included.
QString ErrorMessage(const platform::Error& error);

}  // namespace ui
