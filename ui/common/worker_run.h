// Long work of the windows runs on a worker thread while a progress dialog with a Cancel
// button shows, and the window's event loop keeps running (it repaints and can be moved).
// The caller waits for the work like for a modal dialog, so its command code stays in
// one piece; it must refuse other commands while it waits (its "running" state).
#pragma once
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>

#include "jnx/progress.h"

class QProgressBar;
class QWidget;

namespace ui {

// What the worker reports and the dialog reads; every call is safe from either thread.
class WorkerReport : public jnx::BusyObserver {
public:
    void Progress(std::int64_t done, std::int64_t total) override {
        bytesDone_ = done;
        bytesTotal_ = total;
    }
    bool CancelRequested() const override { return cancel_; }

    // Whole files (maps) of the run: done of total; the byte count starts again per file.
    void Steps(int done, int total) {
        stepsDone_ = done;
        if (total >= 0) stepsTotal_ = total;
        bytesDone_ = 0;
        bytesTotal_ = 0;
    }
    void Cancel() { cancel_ = true; }

    // 0 to 1: the files done plus the share of the current one copied.
    double Fraction() const;
    int StepsDone() const { return stepsDone_; }
    int StepsTotal() const { return stepsTotal_; }

private:
    std::atomic<std::int64_t> bytesDone_{0}, bytesTotal_{0};
    std::atomic<int> stepsDone_{0}, stepsTotal_{0};
    std::atomic<bool> cancel_{false};
};

// Runs work on a worker thread with a progress dialog over parent (object name
// "workProgress", found by tests) and returns once work has returned. mirror, when given,
// shows the progress too.
void RunWithProgress(QWidget* parent, const QString& label, WorkerReport& report, const std::function<void()>& work,
                     QProgressBar* mirror = nullptr);

}  // namespace ui
