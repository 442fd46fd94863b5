#include "operations/save_map.h"

#include "check/level_resolution.h"
#include "jnx/modif.h"
#include "jnx/regenerate.h"

namespace operations {

edit::EditRequest FitScalesOf(const jnx::JnxDocument& doc, const std::string& source, const edit::EditRequest& request,
                              std::vector<int>* notFitted) {
    if (!request.fitScalesFactor) return request;
    // Without the file the tiles whose size only their header tells are left out of the
    // measure; a level of nothing else stays unknown.
    platform::BinaryFile file;
    platform::Error ignored;
    const bool open = !source.empty() && file.Open(source, platform::BinaryFile::Mode::Read, ignored);
    const std::vector<check::LevelResolution> measured = check::MeasureLevels(doc, open ? &file : nullptr);
    std::vector<std::int32_t> native;
    for (std::size_t k = 0; k < measured.size(); ++k) {
        native.push_back(measured[k].NativeScale(*request.fitScalesFactor));
        if (native.back() <= 0 && notFitted != nullptr) notFitted->push_back(static_cast<int>(k) + 1);
    }
    return edit::WithFittedScales(request, doc, native);
}

SaveOutcome SaveMap(const jnx::JnxDocument& doc, const std::string& source, const edit::EditRequest& request,
                    const jnx::WriterSettings& settings, jnx::BusyObserver* observer, const platform::FileLock* held) {
    SaveOutcome outcome;
    edit::ResolvedEdit resolved;
    const edit::EditRequest fitted = FitScalesOf(doc, source, request, &outcome.levelsNotFitted);
    if (!edit::ResolveEdit(fitted, doc, source, settings, edit::Purpose::Save, resolved, outcome.error)) return outcome;
    outcome.road = resolved.road;
    // The writers leave the values they wrote in the document they are given; the caller's
    // stays as it was read.
    jnx::JnxDocument work = doc;
    const bool ok = resolved.road == edit::Road::Patch
                        ? jnx::ModifJNX(work, resolved.values, source, outcome.error, observer, held)
                        : jnx::RegenerateJnx(work, resolved.values, resolved.version, source, resolved.outputPath,
                                             settings, outcome.error, observer, held);
    if (ok) outcome.output = resolved.outputPath;
    return outcome;
}

}  // namespace operations
