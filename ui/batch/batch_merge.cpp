// The merge command of the batch window, present when the merge writer is built.
#include "ui/batch/batch_window.h"

#include "compose/merge_plan.h"
#include "compose/merge_write.h"
#include "ui/batch/batch_messages.h"
#include "ui/batch/batch_panel.h"
#include "ui/batch/batch_work.h"
#include "ui/common/error_message.h"
#include "platform/text.h"

namespace batchui {

namespace {

int Number(const std::string& text) { return platform::ParseInt32(text).value_or(0); }

}  // namespace

void BatchWindow::OnMerge() {
    if (running_) return;
    std::vector<compose::MergeSource> sources;
    for (const auto& row : table_.rows) {
        if (!row.Checked()) continue;
        compose::MergeSource s;
        s.path = row.FullFileName();
        s.erroneous = row.Erroneous();
        s.version = Number(row[batch::kJNXVersion]);
        s.levelCount = Number(row[batch::kNumLevels]);
        s.totalTiles = Number(row[batch::kTotalTiles]);
        sources.push_back(std::move(s));
    }
    const edit::EditorValues request = panel_->Request(false);
    const bool loaded = !table_.rows.empty();
    const QString warning = WarningTitle();
    platform::Error error;
    if (!compose::ValidateMerge(sources, request, error, loaded)) {
        presenter_.Information(warning, ui::ErrorMessage(error));
        return;
    }

    SetRunning(true);
    const std::string folder = table_.folder;
    const compose::MergeFolderRule rule{settings_.MergeDir(), folder};
    bool sourcesRead = false, written = false;
    compose::MergePlanning planning;
    std::string output;
    RunWork(tr("Merging the checked maps"), [&](BatchWork& report) {
        jnx::JnxDocument doc;
        report.SourceLoaded(0, static_cast<int>(sources.size()));
        sourcesRead = compose::LoadMergeSources(sources, doc, error, &report, &report);
        if (!sourcesRead) return;
        planning = compose::PlanMerge(sources, request, rule, loaded);
        if (planning.outcome != compose::MergePlanning::Outcome::Planned) return;
        report.Steps(0, 0);  // from here on the bar counts the merged file's bytes
        written = compose::WriteMerge(planning.plan, doc, output, error, &report);
    });
    const bool cancelled = error.code == platform::ErrorCode::Cancelled;
    if (cancelled) {
        SetRunning(false);
        presenter_.Information(InformationTitle(), MergeCancelledText());
        return;
    }
    if (!sourcesRead) {
        SetRunning(false);
        presenter_.Plain(ErrorTitle(), MergeFailureText(ui::ErrorMessage(error)));
        return;
    }
    if (planning.outcome != compose::MergePlanning::Outcome::Planned) {
        SetRunning(false);
        if (planning.outcome == compose::MergePlanning::Outcome::Refused)
            presenter_.Information(warning, ui::ErrorMessage(planning.error));
        else
            presenter_.Plain(ErrorTitle(), MergeFailureText(ui::ErrorMessage(planning.error)));
        return;
    }
    if (!written) {
        SetRunning(false);
        presenter_.Plain(ErrorTitle(), MergeFailureText(ui::ErrorMessage(error)));
        return;
    }
    ResetWindow();
    LoadRows(folder, false);
    SetRunning(false);
    presenter_.Plain(InformationTitle(), tr("Merged OK.") + QLatin1Char('\n') + QString::fromStdString(output));
}

}  // namespace batchui
