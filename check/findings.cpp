#include "check/findings.h"

#include <algorithm>
#include <array>
#include <string>
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
    CodeInfo{FindingCode::ScaleFarFromImagery, "scale_far_from_imagery", Severity::Warning},
    CodeInfo{FindingCode::DeviceMapsOverBudget, "device_maps_over_budget", Severity::Warning},
    CodeInfo{FindingCode::DeviceImagesOverBudget, "device_images_over_budget", Severity::Warning},
    CodeInfo{FindingCode::ProductIdGroupsDiffer, "product_id_groups_differ", Severity::Warning},
    CodeInfo{FindingCode::MapGuidDuplicate, "map_guid_duplicate", Severity::Warning},
    CodeInfo{FindingCode::DrawOrderOverlap, "draw_order_overlap", Severity::Warning},
    CodeInfo{FindingCode::LevelsNotCoarseToFine, "levels_not_coarse_to_fine", Severity::Info},
};

// Qt's marker, which the translation tools read from this file; a no-op in the core.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(context, text) text
#endif

struct Wording {
    FindingCode code;
    int variant;
    const char* english;
};

// clang-format off
constexpr Wording kWordings[] = {
    {FindingCode::LevelsOverLimit, 0, QT_TRANSLATE_NOOP("check::Finding", "{a} levels: the unit loads the first {b} and ignores level {c}")},
    {FindingCode::LevelsOverLimit, 1, QT_TRANSLATE_NOOP("check::Finding", "{a} levels: the unit loads the first {b} and ignores levels {c} to {a}")},
    {FindingCode::TilesOverLimit, 0, QT_TRANSLATE_NOOP("check::Finding", "{a} tiles: the unit takes at most {b} per level")},
    {FindingCode::FileOverLimit, 0, QT_TRANSLATE_NOOP("check::Finding", "the file holds {a} bytes: the unit reads files below 4 GiB")},
    {FindingCode::DrawOrderRange, 0, QT_TRANSLATE_NOOP("check::Finding", "draw order {a} lies outside {b} to {c}")},
    {FindingCode::ZoomDuplicate, 0, QT_TRANSLATE_NOOP("check::Finding", "same zoom ({a}) as level {b}")},
    {FindingCode::ScaleDuplicate, 0, QT_TRANSLATE_NOOP("check::Finding", "same scale ({a}) as level {b}")},
    {FindingCode::ScaleDuplicate, 1, QT_TRANSLATE_NOOP("check::Finding", "same scale ({a}, zoom row \"{text}\") as level {b}")},
    {FindingCode::ProductIdCopy, 0, QT_TRANSLATE_NOOP("check::Finding", "the map block's copy of the product ID ({text}) differs from the product ID {a}: desktop software activates the map by the copy")},
    {FindingCode::ProductIdCopy, 1, QT_TRANSLATE_NOOP("check::Finding", "the map block's copy of the product ID ({text}) differs from the product ID {a}, which does not fit 16 bits: desktop software activates the map by the copy")},
    {FindingCode::BoundsInvalid, 0, QT_TRANSLATE_NOOP("check::Finding", "the map's bounds are not an area: north {a}, east {b}, south {c}, west {d}")},
    {FindingCode::TileOutsideBounds, 0, QT_TRANSLATE_NOOP("check::Finding", "the tile lies wholly outside the map's bounds: the unit never shows it")},
    {FindingCode::TileHasSoi, 0, QT_TRANSLATE_NOOP("check::Finding", "the tile begins with FF D8, which the unit adds itself")},
    {FindingCode::TileNotJpeg, 0, QT_TRANSLATE_NOOP("check::Finding", "the tile is not a JPEG image up to its frame header")},
    {FindingCode::TileProgressive, 0, QT_TRANSLATE_NOOP("check::Finding", "the tile is a progressive, lossless or arithmetic-coded JPEG (marker FF {text}): the unit shows baseline JPEG only")},
    {FindingCode::TileSizeMismatch, 0, QT_TRANSLATE_NOOP("check::Finding", "the JPEG is {a} x {b} pixels, the tile table says {c} x {d}")},
    {FindingCode::FolderOverLimit, 0, QT_TRANSLATE_NOOP("check::Finding", "{a} JNX files: a unit loads at most {b} ({c} on firmware before 2011)")},
    {FindingCode::ScaleFarFromImagery, 0, QT_TRANSLATE_NOOP("check::Finding", "scale {a} shows the level from \"{text}\", {c} zoom rows farther out than its imagery calls for (scale {b}): the unit draws many tiles far below their size; save with --fit-scales")},
    {FindingCode::ScaleFarFromImagery, 1, QT_TRANSLATE_NOOP("check::Finding", "scale {a} shows the level from \"{text}\", {c} zoom rows closer in than its imagery calls for (scale {b}): its pixels show magnified; save with --fit-scales")},
    {FindingCode::ScaleFarFromImagery, 2, QT_TRANSLATE_NOOP("check::Finding", "scale {a} lies below every zoom row, so the unit never shows the level; its imagery calls for scale {b}: save with --fit-scales")},
    {FindingCode::DeviceMapsOverBudget, 0, QT_TRANSLATE_NOOP("check::Finding", "{a} maps on the device: units of the profile \"{text}\" load at most {b}")},
    {FindingCode::DeviceImagesOverBudget, 0, QT_TRANSLATE_NOOP("check::Finding", "{a} Custom Maps images on the device: units of the profile \"{text}\" show at most {b}")},
    {FindingCode::ProductIdGroupsDiffer, 0, QT_TRANSLATE_NOOP("check::Finding", "maps with product ID {a} name different groups: {text}")},
    {FindingCode::MapGuidDuplicate, 0, QT_TRANSLATE_NOOP("check::Finding", "maps share one map GUID: {text}")},
    {FindingCode::DrawOrderOverlap, 0, QT_TRANSLATE_NOOP("check::Finding", "overlapping maps share draw order {a}, so the unit stacks them in no set order: {text}")},
    {FindingCode::LevelsNotCoarseToFine, 0, QT_TRANSLATE_NOOP("check::Finding", "scale {a} is larger than that of level {b} ({c}): the levels do not run from the coarsest to the finest, as viewers that take the last matching level need; merge with --coarse-to-fine")},
};
// clang-format on

constexpr std::pair<FindingCode, NumberKind> kNumberKinds[] = {
    {FindingCode::DrawOrderRange, NumberKind::Identifier},
    {FindingCode::ProductIdCopy, NumberKind::Identifier},
    {FindingCode::BoundsInvalid, NumberKind::Millionths},
    {FindingCode::ProductIdGroupsDiffer, NumberKind::Identifier},
    {FindingCode::DrawOrderOverlap, NumberKind::Identifier},
};

std::string PlainNumber(std::int64_t value, NumberKind kind) {
    if (kind != NumberKind::Millionths) return std::to_string(value);
    const std::uint64_t magnitude = value < 0 ? 0 - std::uint64_t(value) : std::uint64_t(value);
    std::string fraction = std::to_string(magnitude % 1000000);
    fraction.insert(0, 6 - fraction.size(), '0');
    return (value < 0 ? "-" : "") + std::to_string(magnitude / 1000000) + "." + fraction;
}

const CodeInfo& InfoOf(FindingCode code) {
    return *std::find_if(kCodes.begin(), kCodes.end(), [code](const CodeInfo& info) { return info.code == code; });
}

}  // namespace

const char* FindingTemplate(FindingCode code, int variant) {
    const char* found = "";
    for (const Wording& wording : kWordings) {
        if (wording.code != code) continue;
        found = wording.english;
        if (wording.variant == variant) break;
    }
    return found;
}

NumberKind NumberKindOf(FindingCode code) {
    for (const auto& [which, kind] : kNumberKinds)
        if (which == code) return kind;
    return NumberKind::Count;
}

std::string FindingText(const Finding& finding, const FindingTranslator& translate, const NumberWording& number) {
    const char* english = FindingTemplate(finding.code, finding.variant);
    const NumberKind kind = NumberKindOf(finding.code);
    const std::string wording = translate ? translate(english) : std::string(english);
    std::string out;
    for (std::size_t i = 0; i < wording.size();) {
        const std::size_t close = wording[i] == '{' ? wording.find('}', i) : std::string::npos;
        const std::string name = close == std::string::npos ? std::string() : wording.substr(i + 1, close - i - 1);
        const std::int64_t* value = name == "a"   ? &finding.a
                                    : name == "b" ? &finding.b
                                    : name == "c" ? &finding.c
                                    : name == "d" ? &finding.d
                                                  : nullptr;
        if (value != nullptr) {
            out += number ? number(*value, kind) : PlainNumber(*value, kind);
        } else if (name == "text") {
            out += finding.text;
        } else {
            out += wording[i++];
            continue;
        }
        i = close + 1;
    }
    return out;
}

const char* CodeName(FindingCode code) { return InfoOf(code).name; }

Severity SeverityOf(FindingCode code) { return InfoOf(code).severity; }

const char* SeverityName(Severity severity) {
    return severity == Severity::Error ? "error" : severity == Severity::Warning ? "warning" : "info";
}

bool HasErrors(const std::vector<Finding>& findings) {
    return std::any_of(findings.begin(), findings.end(),
                       [](const Finding& f) { return SeverityOf(f.code) == Severity::Error; });
}

std::size_t CountOf(const std::vector<Finding>& findings, Severity severity) {
    return std::size_t(std::count_if(findings.begin(), findings.end(),
                                     [severity](const Finding& f) { return SeverityOf(f.code) == severity; }));
}

}  // namespace check
