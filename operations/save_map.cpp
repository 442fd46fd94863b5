#include "operations/save_map.h"

#include "jnx/modif.h"
#include "jnx/regenerate.h"

namespace operations {

SaveOutcome SaveMap(const jnx::JnxDocument& doc, const std::string& source, const edit::EditRequest& request,
                    const jnx::WriterSettings& settings, jnx::BusyObserver* observer, const platform::FileLock* held) {
    SaveOutcome outcome;
    edit::ResolvedEdit resolved;
    if (!edit::ResolveEdit(request, doc, source, settings, edit::Purpose::Save, resolved, outcome.error))
        return outcome;
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
