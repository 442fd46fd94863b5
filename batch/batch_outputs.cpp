// The files a batch save or split would write, found before it starts so that the user
// is asked once.
#include <algorithm>

#include "batch/batch_commands.h"
#include "edit/resolve_edit.h"
#include "operations/split_map.h"
#include "platform/fs.h"

namespace batch {

std::vector<int> LevelsOf(const std::vector<int>& chosen, int count) {
    std::vector<int> levels;
    std::copy_if(chosen.begin(), chosen.end(), std::back_inserter(levels), [count](int k) { return k <= count; });
    return levels;
}

std::vector<std::string> SaveOutputsInTheWay(const BatchTable& table, const Selection& selection,
                                             const edit::EditRequest& request) {
    std::vector<std::string> taken;
    // Replacing the source names no other file.
    if (request.replaceSource) return taken;
    for (const std::size_t i : Normalised(table, selection)) {
        const MapRow& row = table.rows[i];
        if (row.Erroneous()) continue;
        // As edit::ResolveEdit decides once the file is read: a file that keeps its version
        // and needs no rewrite is patched in place.
        const bool newVersion = request.targetVersion && *request.targetVersion != row.version;
        if (!newVersion && !row.needsRegeneration) continue;
        const std::string output = edit::NewFilePath(row.path);
        if (platform::NameTaken(output)) taken.push_back(output);
    }
    return taken;
}

std::vector<std::string> SplitOutputsOf(const BatchTable& table, const Selection& selection,
                                        const std::vector<int>& levels,
                                        const std::array<std::string, jnx::device::kMaxLevels>& levelDirs) {
    std::vector<std::string> outputs;
    for (const std::size_t i : Normalised(table, selection)) {
        const MapRow& row = table.rows[i];
        if (row.Erroneous()) continue;
        const int count = std::min(row.levelCount, jnx::device::kMaxLevels);
        for (const std::string& output : operations::SplitOutputs(row.path, LevelsOf(levels, count), levelDirs))
            outputs.push_back(output);
    }
    return outputs;
}

}  // namespace batch
