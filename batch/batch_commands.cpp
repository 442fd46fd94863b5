// The save validation pass, which the batch commands share.
#include "batch/batch_commands.h"

#include <algorithm>
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

Selection Normalised(const BatchTable& table, const Selection& selection) {
    Selection rows;
    for (const std::size_t i : selection)
        if (i < table.rows.size()) rows.push_back(i);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

platform::Error ValidateSave(const BatchTable& table, const Selection& selection, const edit::EditRequest& request) {
    using platform::Error;
    using platform::ErrorCode;
    if (table.empty()) return Error(ErrorCode::RefuseNoFolder);
    const Selection rows = Normalised(table, selection);
    for (const std::size_t i : rows) {
        const MapRow& row = table.rows[i];
        if (row.Erroneous()) return Error(ErrorCode::RefuseErroneousChecked);
        if (!HasValidJnxName(row.fileName)) return Error(ErrorCode::RefuseInvalidFilename);
    }
    if (rows.empty()) return Error(ErrorCode::RefuseNoneChecked);
    // Values that cannot be stored must stop the run before the first file.
    platform::Error invalid;
    if (!edit::ValidateRequest(request, invalid)) return invalid;
    return {};
}

}  // namespace batch
