// The merge command of the batch window, present when the merge writer is built.
#include "ui/batch/batch_window.h"

#include <QCheckBox>

#include "compose/merge_plan.h"
#include "operations/merge_maps.h"
#include "ui/batch/batch_messages.h"
#include "ui/batch/batch_model.h"
#include "ui/batch/batch_panel.h"
#include "ui/batch/batch_work.h"
#include "ui/common/error_message.h"

namespace batchui {

void BatchWindow::OnMerge() {
    if (running_) return;
    std::vector<compose::MergeSource> sources;
    for (const std::size_t i : model_->Checked()) {
        const batch::MapRow& row = table_.rows[i];
        compose::MergeSource s;
        s.path = row.path;
        s.erroneous = row.Erroneous();
        s.version = row.version;
        s.levelCount = row.levelCount;
        s.totalTiles = row.totalTiles;
        sources.push_back(std::move(s));
    }
    const bool loaded = !table_.rows.empty();
    edit::EditRequest request;
    platform::Error error;
    if (!panel_->Request(false, request, error) || !compose::ValidateMerge(sources, request, error, loaded)) {
        presenter_.Refusal(ui::ErrorMessage(error));
        return;
    }

    SetRunning(true);
    const std::string folder = table_.folder;
    const compose::MergeFolderRule rule{settings_.MergeDir(), folder};
    const compose::LevelOrder order =
        chkCoarseToFine->isChecked() ? compose::LevelOrder::CoarseToFine : compose::LevelOrder::AsGiven;
    operations::MergeOutcome outcome;
    RunWork(tr("Merging the checked maps"), [&](BatchWork& report) {
        report.SourceLoaded(0, static_cast<int>(sources.size()));
        outcome = operations::MergeMaps(sources, request, rule, order, loaded, &report, &report);
    });
    if (!outcome.Ok()) {
        SetRunning(false);
        if (outcome.error.code == platform::ErrorCode::Cancelled)
            presenter_.Information(MergeCancelledText());
        else if (outcome.result == operations::MergeOutcome::Result::Refused)
            presenter_.Refusal(ui::ErrorMessage(outcome.error));
        else
            presenter_.Error(MergeFailureText(ui::ErrorMessage(outcome.error)));
        return;
    }
    const std::string& output = outcome.output;
    ResetWindow();
    LoadRows(folder, false);
    SetRunning(false);
    presenter_.Information(tr("Merged OK.") + QLatin1Char('\n') + QString::fromStdString(output));
}

}  // namespace batchui
