// The merge command of the batch window, present when the merge writer is built.
#include "ui/batch/batch_window.h"

#if TESSALY_BATCH_MERGE
#include <QProgressBar>

#include "compose/merge_plan.h"
#include "compose/merge_write.h"
#include "edit/user_input.h"
#include "ui/batch/batch_messages.h"
#include "ui/batch/batch_panel.h"

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

int Number(const std::string& text) { return jnx::ParseInt32(text).value_or(0); }

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
    compose::MergePanel values;
    values.targetVersion = panel_->Values(false).targetVersion;
    values.productIdText = panel_->ProductIdText();
    values.groupText = panel_->FamilyGroupText();
    values.drawOrderText = panel_->Values(false).drawOrderText;
    for (int k = 0; k < compose::kMaxMergeLevels; ++k) {
        values.levelScale[static_cast<std::size_t>(k)] = panel_->LevelScaleChoice(k);
        values.levelPriority[static_cast<std::size_t>(k)] = panel_->LevelPriority(k);
    }
    const bool loaded = !table_.rows.empty();
    const QString warning = WarningTitle();
    if (auto refusal = compose::ValidateMerge(sources, values, loaded)) {
        presenter_.Information(warning, MergeRefusalText(*refusal));
        return;
    }

    SetRunning(true);
    jnx::JnxDocument doc;
    MergeBar bar(ProgressBar1);
    bar.SourceLoaded(0, static_cast<int>(sources.size()));
    if (auto failure = compose::LoadMergeSources(sources, doc, this, &bar)) {
        SetRunning(false);
        presenter_.Plain(QString(), MergeFailureText(*failure));
        return;
    }
    const std::string folder = table_.folder;
    const compose::MergePlanning planning =
        compose::PlanMerge(sources, values, {settings_.MergeDir(), folder}, loaded);
    if (planning.outcome != compose::MergePlanning::Outcome::Planned) {
        SetRunning(false);
        if (planning.outcome == compose::MergePlanning::Outcome::Refused)
            presenter_.Information(warning, MergeRefusalText(planning.refusal));
        else
            presenter_.Plain(QString(), MergeFailureText(planning.failure));
        return;
    }
    std::string output;
    compose::MergeFailure failure;
    const bool written = compose::WriteMerge(planning.plan, doc, output, failure, this);
    if (!written) {
        SetRunning(false);
        presenter_.Plain(QString(), MergeFailureText(failure));
        return;
    }
    ResetWindow();
    LoadRows(folder, false);
    SetRunning(false);
    presenter_.Plain(QString(), tr("Merged OK."));
}

}  // namespace batchui
#endif
