#include "check/findings.h"

#include <algorithm>
#include <array>
#include <utility>

namespace check {
namespace {

struct CodeInfo {
    FindingCode code;
    const char* name;
    Severity severity;
};

// The names are what scripts and the manual match on: they never change.
constexpr std::array kCodes = {
    CodeInfo{FindingCode::LevelsOverLimit, "levels_over_5", Severity::Warning},
    CodeInfo{FindingCode::TilesOverLimit, "tiles_over_50000", Severity::Error},
    CodeInfo{FindingCode::FileOverLimit, "file_over_4gib", Severity::Error},
    CodeInfo{FindingCode::DrawOrderRange, "draw_order_range", Severity::Warning},
    CodeInfo{FindingCode::ZoomDuplicate, "zoom_duplicate", Severity::Warning},
    CodeInfo{FindingCode::ScaleDuplicate, "scale_duplicate", Severity::Warning},
    CodeInfo{FindingCode::ProductIdCopy, "product_id_copy", Severity::Warning},
    CodeInfo{FindingCode::BoundsInvalid, "bounds_invalid", Severity::Error},
    CodeInfo{FindingCode::TileOutsideBounds, "tile_outside_bounds", Severity::Warning},
    CodeInfo{FindingCode::TileHasSoi, "tile_has_soi", Severity::Warning},
    CodeInfo{FindingCode::TileNotJpeg, "tile_not_jpeg", Severity::Error},
    CodeInfo{FindingCode::TileProgressive, "tile_progressive", Severity::Warning},
    CodeInfo{FindingCode::TileSizeMismatch, "tile_size_mismatch", Severity::Warning},
    CodeInfo{FindingCode::FolderOverLimit, "folder_over_250_files", Severity::Warning},
};

const CodeInfo& InfoOf(FindingCode code) {
    return *std::find_if(kCodes.begin(), kCodes.end(), [code](const CodeInfo& info) { return info.code == code; });
}

}  // namespace

const char* CodeName(FindingCode code) { return InfoOf(code).name; }

Severity SeverityOf(FindingCode code) { return InfoOf(code).severity; }

const char* SeverityName(Severity severity) { return severity == Severity::Error ? "error" : "warning"; }

bool HasErrors(const std::vector<Finding>& findings) {
    return std::any_of(findings.begin(), findings.end(),
                       [](const Finding& f) { return SeverityOf(f.code) == Severity::Error; });
}

}  // namespace check
