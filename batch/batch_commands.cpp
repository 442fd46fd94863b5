// The save validation pass, which the batch commands share.
#include "batch/batch_commands.h"

#include <cctype>

#include "edit/resolve_edit.h"
#include "platform/fs.h"
#include "platform/text.h"

namespace batch {

namespace {

bool HasValidJnxName(const std::string& name) {
    const std::string trimmed = platform::Trim(name);
    if (trimmed.empty()) return false;
    std::string ext = platform::ExtensionOf(trimmed);
    for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ext == "JNX";
}

}  // namespace

platform::Error ValidateSave(const BatchTable& table, const edit::EditRequest& request) {
    using platform::Error;
    using platform::ErrorCode;
    if (table.empty()) return Error(ErrorCode::RefuseNoFolder);
    int count = 0;
    for (const auto& row : table.rows) {
        if (!row.Checked()) continue;
        if (row.Erroneous()) return Error(ErrorCode::RefuseErroneousChecked);
        if (!HasValidJnxName(row.FileName())) return Error(ErrorCode::RefuseInvalidFilename);
        ++count;
    }
    if (count == 0) return Error(ErrorCode::RefuseNoneChecked);
    // Values that cannot be stored must stop the run before the first file.
    platform::Error invalid;
    if (!edit::ValidateRequest(request, invalid)) return invalid;
    return {};
}

}  // namespace batch
