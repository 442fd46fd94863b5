// The core's errors in the user's language: the English template of the code is the
// source text of context "platform::Error" in the translations.
#pragma once
#include <QString>

#include "platform/error.h"

namespace ui {

inline constexpr const char* kErrorContext = "platform::Error";

// The error worded in the installed language, its cause included.
QString ErrorMessage(const platform::Error& error);

}  // namespace ui
