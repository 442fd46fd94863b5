#include "operations/split_map.h"

#include "compose/extract.h"
#include "edit/resolve_edit.h"

namespace operations {

std::vector<std::string> SplitOutputs(const std::string& source, const std::vector<int>& levels,
                                      const LevelFolders& levelFolders) {
    std::vector<std::string> outputs;
    for (int level : levels) outputs.push_back(compose::LevelFilePath(source, level, levelFolders, true));
    return outputs;
}

SplitOutcome SplitMap(const jnx::JnxDocument& doc, const std::string& source, const edit::EditRequest& request,
                      const std::vector<int>& levels, const LevelFolders& levelFolders,
                      const jnx::WriterSettings& settings, jnx::BusyObserver* observer) {
    SplitOutcome outcome;
    edit::ResolvedEdit resolved;
    if (!edit::ResolveEdit(request, doc, source, settings, edit::Purpose::Split, resolved, outcome.error))
        return outcome;
    std::vector<std::string> outputs;
    for (int level : levels) outputs.push_back(compose::LevelFilePath(source, level, levelFolders));
    for (std::size_t i = 0; i < levels.size(); ++i) {
        if (!compose::ExtractLevel(doc, resolved.values, resolved.version, source, outputs[i], levels[i], settings,
                                   outcome.error, observer)) {
            outcome.failedLevel = levels[i];
            outcome.failedOutput = outputs[i];
            return outcome;
        }
        outcome.written.push_back(outputs[i]);
    }
    return outcome;
}

}  // namespace operations
