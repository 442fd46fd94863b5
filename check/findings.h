// What the device check finds: each finding has a stable code (the name scripts match on),
// a severity fixed by its code, and where it applies.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace check {

enum class Severity { Warning, Error };

enum class FindingCode {
    LevelsOverLimit,
    TilesOverLimit,
    FileOverLimit,
    DrawOrderRange,
    ZoomDuplicate,
    ScaleDuplicate,
    ProductIdCopy,
    BoundsInvalid,
    TileOutsideBounds,
    TileHasSoi,
    TileNotJpeg,
    TileProgressive,
    TileSizeMismatch,
    FolderOverLimit,
};

struct Finding {
    FindingCode code = FindingCode::LevelsOverLimit;
    std::int64_t level = 0;  // 1-based; 0 when the finding is about the whole map
    std::int64_t tile = 0;   // 1-based within its level; 0 when about no one tile
    std::string message;
};

const char* CodeName(FindingCode code);  // "levels_over_5", ...
Severity SeverityOf(FindingCode code);
const char* SeverityName(Severity severity);  // "warning", "error"

bool HasErrors(const std::vector<Finding>& findings);

}  // namespace check
