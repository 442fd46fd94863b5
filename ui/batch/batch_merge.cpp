// The merge command of the batch window, present when the merge writer is built.
#include "ui/batch/batch_window.h"

#include <QProgressBar>

#include "compose/merge_plan.h"
#include "compose/merge_write.h"
#include "edit/user_input.h"
#include "ui/batch/batch_messages.h"
#include "ui/batch/batch_panel.h"
#include "ui/common/error_message.h"

namespace batchui {

namespace {

class MergeBar : public compose::MergeProgress {
public:
    explicit MergeBar(QProgressBar* bar) : bar_(bar) {}
    void SourceLoaded(int loaded, int total) override {
        bar_->setRange(0, std::max(1, total));
        bar_->setValue(std::min(loaded, bar_->maximum()));
        bar_->repaint();
    }

private:
    QProgressBar* bar_;
};

int Number(const std::string& text) { return edit::ParseInt32(text).value_or(0); }

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
    jnx::JnxDocument doc;
    MergeBar bar(ProgressBar1);
    bar.SourceLoaded(0, static_cast<int>(sources.size()));
    if (!compose::LoadMergeSources(sources, doc, error, this, &bar)) {
        SetRunning(false);
        presenter_.Plain(ErrorTitle(), MergeFailureText(ui::ErrorMessage(error)));
        return;
    }
    const std::string folder = table_.folder;
    const compose::MergePlanning planning =
        compose::PlanMerge(sources, request, {settings_.MergeDir(), folder}, loaded);
    if (planning.outcome != compose::MergePlanning::Outcome::Planned) {
        SetRunning(false);
        if (planning.outcome == compose::MergePlanning::Outcome::Refused)
            presenter_.Information(warning, ui::ErrorMessage(planning.error));
        else
            presenter_.Plain(ErrorTitle(), MergeFailureText(ui::ErrorMessage(planning.error)));
        return;
    }
    std::string output;
    const bool written = compose::WriteMerge(planning.plan, doc, output, error, this);
    if (!written) {
        SetRunning(false);
        presenter_.Plain(ErrorTitle(), MergeFailureText(ui::ErrorMessage(error)));
        return;
    }
    ResetWindow();
    LoadRows(folder, false);
    SetRunning(false);
    presenter_.Plain(InformationTitle(), tr("Merged OK."));
}

}  // namespace batchui
