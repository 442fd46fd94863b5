// Make a map ready for the device without losing a pixel: each finding of the
// device check that can be mended losslessly is mended in a new file beside the
// source (or where the request says), which the device check judges again
// before it is published. A level over the unit's tile limit has its tiles
// joined 2 x 2 (else 4 x 4) through their JPEG coefficients; progressive tiles
// are written as baseline; tiles that keep their FF D8 lose it; the product
// ID's copy is put in step; a draw order outside the unit's range is clamped.
// The rest is reported, never guessed at. The one road the command line takes.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "check/findings.h"
#include "convert/jpeg_join.h"
#include "jnx/device_limits.h"
#include "jnx/progress.h"
#include "platform/error.h"
#include "settings/settings.h"

namespace operations {

struct FitRequest {
    std::string source;
    std::string output;      // empty: NAME_fit.jnx beside the source, a name the program chose
    bool overwrite = false;  // a file at the chosen name may be replaced
    // The tiles a level may hold: the unit's, unless a caller has a smaller
    // budget.
    std::int32_t tilesPerLevel = jnx::device::kMaxTilesPerLevel;
    // The length a file may have: the unit's, unless a caller has a smaller budget. A
    // map that is still over either when joined is written as volumes
    // OUT_Part01.jnx, OUT_Part02.jnx, ... as an import cuts them.
    std::int64_t fileLength = jnx::device::kMaxFileLength;
    convert::FillColour fill;  // where a joined tile lacks a neighbour inside its box
    // Groups whose tiles cannot be joined losslessly (their tables or sampling differ)
    // are decoded and encoded again at this JPEG quality, 1 to 100; 0: such a level
    // stays as it is.
    int reencodeQuality = 0;
    // A device family's zoom rows and threshold factor: with both, each level's scale
    // is also judged against its imagery, as check does for that family.
    const std::vector<settings::ZoomLevelEntry>* zoomRows = nullptr;
    std::optional<double> scaleFactor;
};

struct FitRepair {
    enum class Kind { JoinedLevel, Baseline, StrippedSoi, ProductIdCopy, DrawOrder };
    Kind kind = Kind::JoinedLevel;
    std::int64_t level = 0;   // JoinedLevel
    std::int64_t before = 0;  // JoinedLevel: tiles; DrawOrder: the value
    std::int64_t after = 0;   // JoinedLevel: tiles; DrawOrder: the value; Baseline,
                              // StrippedSoi: tiles
    int factor = 0;           // JoinedLevel: 2 (2 x 2) or 4 (4 x 4)
    std::int64_t reencoded = 0;  // JoinedLevel: joined tiles decoded and encoded again, lossy
};

struct FitOutcome {
    enum class Result {
        Written,     // output holds the mended map
        Ready,       // the source had nothing to mend; nothing written
        Unmendable,  // nothing the source lacks can be mended losslessly; nothing
                     // written
        Failed,      // error says why; nothing written
    };
    Result result = Result::Failed;
    std::string output;                // the file written, or the first volume
    std::vector<std::string> outputs;  // every file written: output alone, or each volume
    std::vector<FitRepair> repairs;
    // Why a finding stays: a level whose tiles cannot be joined, a tile libjpeg
    // cannot read.
    std::vector<platform::Error> notes;
    // What the device check still finds: in the output when written, else in the
    // source.
    std::vector<check::Finding> left;
    platform::Error error;

    bool Ok() const { return result != Result::Failed; }
    // Ready for the device, as written or as it was.
    bool Ready() const { return Ok() && !check::HasErrors(left); }
};

// NAME_fit.jnx beside source.
std::string FitOutputPath(const std::string& source);

FitOutcome FitMap(const FitRequest& request, jnx::BusyObserver* observer = nullptr);

}  // namespace operations
