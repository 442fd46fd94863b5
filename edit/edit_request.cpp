#include "edit/edit_request.h"

#include "jnx/codec.h"
#include "jnx/records.h"
#include "platform/text.h"

namespace edit {

using platform::Error;
using platform::ErrorCode;
using platform::Fail;
using platform::Trim;

namespace {

// Product ID, draw order and zoom number are 16-bit fields, one range on every road: a
// draw order the unit does not take (it draws 0 to 100) is written all the same, and the
// device check warns of it.
bool ParseShort(const std::string& text, std::optional<std::int16_t>& out, ErrorCode code, Error& error) {
    const std::string trimmed = Trim(text);
    if (trimmed.empty()) return true;
    out = platform::ParseInt16(trimmed);
    return out || Fail(error, Error(code).Other(trimmed));
}

}  // namespace

bool ParseProductId(const std::string& text, EditRequest& request, Error& error) {
    return ParseShort(text, request.productId, ErrorCode::BadProductId, error);
}

bool ParseDrawOrder(const std::string& text, EditRequest& request, Error& error) {
    return ParseShort(text, request.drawOrder, ErrorCode::BadDrawOrder, error);
}

bool ParseZoomNumber(const std::string& text, std::size_t level, EditRequest& request, Error& error) {
    auto& zoom = request.levels.at(level).zoom;
    if (ParseShort(text, zoom, ErrorCode::BadZoomNumber, error)) return true;
    error.Level(std::int64_t(level) + 1);
    return false;
}

// A blank name is no name: an empty box keeps the stored name in both windows (the batch
// panel's boxes start empty), so an empty option keeps it too, on every road alike.
void ParseGroupName(const std::string& text, EditRequest& request) {
    const std::string trimmed = Trim(text);
    request.groupName = trimmed.empty() ? std::nullopt : std::optional<std::string>(trimmed);
}

bool ValidateRequest(const EditRequest& request, Error& error) {
    if (request.targetVersion && *request.targetVersion != 3 && *request.targetVersion != 4)
        return Fail(error, Error(ErrorCode::BadTargetVersion));
    if (request.groupName && jnx::EncodeText(*request.groupName, true).size() > std::size_t(jnx::kMaxZstring))
        return Fail(error, Error(ErrorCode::GroupTooLong));
    return true;
}

}  // namespace edit
