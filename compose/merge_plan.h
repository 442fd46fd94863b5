// Merge planning: checks the files chosen for a merge and builds the plan of the one
// output file (header, map description block, level list, output folder). Nothing here
// writes a file; refusals and failures come back as errors for the caller to show.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "edit/edit_request.h"
#include "jnx/device_limits.h"
#include "jnx/document.h"
#include "jnx/progress.h"
#include "jnx/records.h"
#include "platform/error.h"

namespace compose {

// What a quick read of a source gives the plan.
struct MergeSourceContent {
    jnx::JnxHeader Header;
    std::vector<jnx::JnxLevel> Levels;
    std::vector<jnx::JnxLevelExtra> LevelExtras;
    jnx::JnxMapInfo MapInfo;
    std::vector<jnx::JnxLevelInfo> LevelInfos;
};

// One file taken part, in the order it goes into the result. The batch window fills the
// first five fields from its row; the CLI from a quick read. content comes from a quick
// read (LoadMergeSources, or MergeContentOf after the caller's own read).
struct MergeSource {
    std::string path;
    bool erroneous = false;        // the row's file could not be read ("??")
    int version = 0;               // JNXVersion
    int levelCount = 0;            // NumLevels
    std::int64_t totalTiles = 0;   // TotalTiles
    std::optional<MergeSourceContent> content;
};

// Where the result goes: mergeDir is Merge/Dir as written ("$CURRENT" matched exactly,
// "\" taken as "/"); currentFolder is the folder the window shows.
struct MergeFolderRule {
    std::string mergeDir;
    std::string currentFolder;
};

// The order of the merged file's levels: as the files give them, one file after the
// other, or from the coarsest (largest Scale) to the finest, as producers write them and
// as viewers that take the last matching level need them.
enum class LevelOrder { AsGiven, CoarseToFine };

// Where one of the merged file's levels comes from: the source's place in the plan and
// the level's place in that source, both 0-based.
struct PlannedLevel {
    std::size_t source = 0;
    std::size_t level = 0;

    bool operator==(const PlannedLevel&) const = default;
};

// One source as the writer will meet it again: what it must still hold when it is read in full.
struct MergePlanSource {
    std::string path;
    std::vector<std::int32_t> levelTileCounts;
    std::array<std::int32_t, 4> bounds{};
};

struct MergePlan {
    int SelectedCount = 0;
    int LevelTotal = 0;            // N
    std::int64_t TileTotal = 0;    // T
    int ResultVersion = 0;
    jnx::JnxHeader Header;         // LevelCount = N; DrawOrder is written only in version 4
    jnx::JnxMapInfo MapInfo;       // InfoLevelCount = N
    std::vector<jnx::JnxLevel> Levels;            // TableOffset is set by the writer
    std::vector<jnx::JnxLevelExtra> LevelExtras;  // version 4 only
    std::vector<jnx::JnxLevelInfo> LevelInfos;
    std::string TargetFolder;
    std::vector<MergePlanSource> Sources;
    std::vector<PlannedLevel> LevelSources;  // one per level, in the order written
};

struct MergePlanning {
    enum class Outcome { Planned, Refused, Failed };
    Outcome outcome = Outcome::Failed;
    platform::Error error;  // Refused (a Refuse... code) or Failed
    MergePlan plan;         // Planned
};

// The checks made before any file is read (count, erroneous files, version rule, level
// limit, then the request's own values). tableLoaded false = the window has no folder loaded. The request's per-level
// choices count over the merged file's levels, in order.
bool ValidateMerge(const std::vector<MergeSource>& sources, const edit::EditRequest& request, platform::Error& refusal,
                   bool tableLoaded = true);

// The content a quick read left in doc.
MergeSourceContent MergeContentOf(const jnx::JnxDocument& doc);

// Quick-reads every source that has no content yet, in order, and stops at the first that
// fails (that failure is returned; the sources read so far keep their content).
class MergeProgress {
public:
    virtual ~MergeProgress() = default;
    virtual void SourceLoaded(int loaded, int total) { (void)loaded, (void)total; }
    // Every source is read and planned; from here on the merged file is written.
    virtual void Writing() {}
};
bool LoadMergeSources(std::vector<MergeSource>& sources, jnx::JnxDocument& doc, platform::Error& error,
                      jnx::BusyObserver* busy = nullptr, MergeProgress* progress = nullptr);

// The output folder (not created here).
std::string MergeTargetFolder(const MergeFolderRule& rule);

// Validation, then the plan from the sources' content. A source without content fails
// as a Loading failure; one whose content disagrees with its row (changed on disk since
// the scan) fails too. The request's level numbers count over the levels as given; the
// order is applied last, to the scales the request leaves (equal scales keep their order).
MergePlanning PlanMerge(const std::vector<MergeSource>& sources, const edit::EditRequest& request,
                        const MergeFolderRule& folder, bool tableLoaded = true, LevelOrder order = LevelOrder::AsGiven);

}  // namespace compose
