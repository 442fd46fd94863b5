// The batch commands' reports, as the worker thread gives them, turned into the progress
// of a ui::WorkerReport: one step per map.
#pragma once
#include "batch/batch_commands.h"
#include "batch/folder_scan.h"
#include "compose/merge_plan.h"
#include "ui/common/worker_run.h"

namespace batchui {

class BatchWork : public ui::WorkerReport,
                  public batch::BatchObserver,
                  public batch::ScanObserver,
                  public compose::MergeProgress {
public:
    void Started(int total) override { Steps(0, total); }
    void FileDone(int done) override { Steps(done, -1); }
    void FolderStarted(const std::string& /*folder*/, int fileCount) override { Steps(0, fileCount); }
    void FileDone() override { Steps(StepsDone() + 1, -1); }
    void SourceLoaded(int loaded, int total) override { Steps(loaded, total); }
    void Writing() override { Steps(0, 0); }  // the bar counts the merged file's bytes
};

}  // namespace batchui
