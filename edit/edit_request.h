// EditRequest: what the user asks of a map, typed once at the edge it came in by (a
// window's controls, the command line's options), checked by ValidateRequest, and fitted
// to each file by ResolveEdit (edit/resolve_edit.h). An empty optional keeps what the file
// holds.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "jnx/device_limits.h"
#include "platform/error.h"

namespace edit {

struct LevelRequest {
    std::optional<std::int32_t> scale;  // the scale of the zoom row chosen for the level
    bool priority = false;              // drawn one below that scale, before the row's own takes over
    std::optional<std::int16_t> zoom;   // the zoom number the level is listed under (group presets)

    bool operator==(const LevelRequest&) const = default;
};

struct EditRequest {
    std::optional<std::int16_t> productId;
    std::optional<std::string> groupName;   // UTF-8, as typed without the blanks around it
    std::optional<std::int16_t> drawOrder;  // kept, or 25 where a file gets its first (version 4, merge)
    std::optional<int> targetVersion;       // 3 or 4
    std::array<LevelRequest, jnx::device::kMaxLevels> levels{};  // index k is level k + 1
    bool replaceSource = false;  // a file written anew takes its source's place and name
    // Fit every level's scale to its imagery under this threshold factor (the device
    // profile's): f × 198.12 × the level's ground metres per pixel. It wins over a scale
    // chosen for a level in the same request; zoom numbers still apply.
    std::optional<double> fitScalesFactor;

    bool operator==(const EditRequest&) const = default;
};

// The edges' one reading of what a person typed, so that every window and command refuses
// a value with the same code. Blank text asks for nothing: the stored value stays.
bool ParseProductId(const std::string& text, EditRequest& request, platform::Error& error);
bool ParseDrawOrder(const std::string& text, EditRequest& request, platform::Error& error);
bool ParseZoomNumber(const std::string& text, std::size_t level, EditRequest& request, platform::Error& error);
void ParseGroupName(const std::string& text, EditRequest& request);

// Checks what does not depend on a file: the target version and the group name's length.
// Every road calls it before it touches a file.
bool ValidateRequest(const EditRequest& request, platform::Error& error);

}  // namespace edit
