#include "operations/merge_maps.h"

#include "compose/merge_write.h"

namespace operations {

MergeOutcome MergeMaps(std::vector<compose::MergeSource> sources, const edit::EditRequest& request,
                       const compose::MergeFolderRule& folder, compose::LevelOrder order, bool tableLoaded,
                       jnx::BusyObserver* busy, compose::MergeProgress* progress) {
    MergeOutcome outcome;
    jnx::JnxDocument doc;
    if (!compose::LoadMergeSources(sources, doc, outcome.error, busy, progress)) return outcome;
    const compose::MergePlanning planning = compose::PlanMerge(sources, request, folder, tableLoaded, order);
    if (planning.outcome != compose::MergePlanning::Outcome::Planned) {
        if (planning.outcome == compose::MergePlanning::Outcome::Refused) outcome.result = MergeOutcome::Result::Refused;
        outcome.error = planning.error;
        return outcome;
    }
    if (progress) progress->Writing();
    if (compose::WriteMerge(planning.plan, doc, outcome.output, outcome.error, busy))
        outcome.result = MergeOutcome::Result::Written;
    return outcome;
}

}  // namespace operations
