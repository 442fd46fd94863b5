// Device-check findings as check and fit list them in their --json output: one object per
// finding, with its code, severity, level and tile where it has them, and its message.
#pragma once
#include <vector>

#include "check/findings.h"
#include "cli/json.h"

namespace cli {

// Writes key: [ ... ] into the object json is in.
void JsonFindings(JsonWriter& json, const char* key, const std::vector<check::Finding>& findings);

}  // namespace cli
