// Merge writing: the one output file of a MergePlan. The images are streamed level by
// level in the plan's order while their offsets are learnt; the front part (header, level table,
// map block, padding, tile tables) goes into the space reserved for it. The file is
// written under a temporary name in the output folder, read back, and only then
// published as <yyyymmddhhmmss>join.jnx; on any failure nothing is left under either name.
#pragma once
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include "compose/merge_plan.h"
#include "jnx/document.h"
#include "jnx/progress.h"

namespace compose {

struct MergeWriteOptions {
    // The moment that names the file; nothing = the local time when the file is published.
    std::optional<std::tm> stamp;
    // Largest piece of tile data copied at once.
    std::int64_t copyChunk = std::int64_t(8) << 20;
};

// "20240131154502join.jnx" for attempt 1; attempt n > 1 adds "-n" before ".jnx", so a
// second merge within the same second does not replace the first.
std::string MergeFileName(const std::tm& when, int attempt = 1);

// Writes and publishes the merged file. doc is the caller's model: every source is read
// into it in full just before its images are copied, so afterwards it holds the source
// of the last level. On success outputPath is the published file; on failure failure says why and
// no file of the merge exists.
bool WriteMerge(const MergePlan& plan, jnx::JnxDocument& doc, std::string& outputPath, platform::Error& error,
                jnx::BusyObserver* busy = nullptr, const MergeWriteOptions& options = {});

}  // namespace compose
