// What the device check finds: each finding has a stable code (the name scripts match on),
// a severity fixed by its code, where it applies, and the values its wording names. The
// wording is made only at the edge, from the code's English template (translated by the
// windows), as errors are.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace check {

// Info: worth knowing, never a reason for a check to fail.
enum class Severity { Info, Warning, Error };

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
    ScaleFarFromImagery,
    DeviceMapsOverBudget,
    DeviceImagesOverBudget,
    ProductIdGroupsDiffer,
    MapGuidDuplicate,
    DrawOrderOverlap,
    LevelsNotCoarseToFine,
};
inline constexpr FindingCode kLastFindingCode = FindingCode::LevelsNotCoarseToFine;

struct Finding {
    FindingCode code = FindingCode::LevelsOverLimit;
    std::int64_t level = 0;  // 1-based; 0 when the finding is about the whole map
    std::int64_t tile = 0;   // 1-based within its level; 0 when about no one tile
    std::int64_t a = 0, b = 0, c = 0, d = 0;  // the numbers its wording names: {a} ... {d}
    std::string text;        // a name or figures its wording names: {text}
    int variant = 0;         // which of the code's wordings applies (see FindingTemplate)
};

// The English wording of a finding, with the placeholders {a} {b} {c} {d} {text}. Every
// template is marked for the translation tools under the context "check::Finding".
const char* FindingTemplate(FindingCode code, int variant);

// What the numbers of a finding are, so that each edge can show them its way: counts and
// sizes grouped in a window's language, identifiers (product IDs, draw orders) never,
// and degrees, held as millionths, with six decimals.
enum class NumberKind { Count, Identifier, Millionths };
NumberKind NumberKindOf(FindingCode code);

// The finding worded: its template, translated by translate when given, filled in with
// its numbers as number words them (by default plain, "12345", "-0.500000").
using FindingTranslator = std::function<std::string(const char* english)>;
using NumberWording = std::function<std::string(std::int64_t value, NumberKind kind)>;
std::string FindingText(const Finding& finding, const FindingTranslator& translate = {},
                        const NumberWording& number = {});

const char* CodeName(FindingCode code);  // "levels_over_5", ...
Severity SeverityOf(FindingCode code);
const char* SeverityName(Severity severity);  // "info", "warning", "error"

bool HasErrors(const std::vector<Finding>& findings);
// How many findings are of severity.
std::size_t CountOf(const std::vector<Finding>& findings, Severity severity);

}  // namespace check
