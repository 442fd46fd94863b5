// What the batch window's message boxes say, in the installed language: titles, the
// commands' summaries, the delete question and the merge failure.
#pragma once
#include <QString>
#include <cstddef>
#include <utility>
#include <vector>

#include "batch/batch_commands.h"


namespace batchui {

// "Updated OK: n\r\nCreated OK: n\r\nErrors: n\r\n".
QString SaveSummaryText(int updated, int created, int errors);
// "Extracted OK: n\r\nErrors: n\r\n".
QString SplitSummaryText(int extracted, int errors);
QString DeleteSummaryText(int errors);
QString DeleteConfirmText(std::size_t count);
// "Error merging files." with the reason on the next line.
QString MergeFailureText(const QString& reason);

// The results list of a command: each map and what was done to it (updated / created NAME
// / split into NAMES / deleted / failed: the reason), in table order.
std::vector<std::pair<QString, QString>> ResultLines(const batch::BatchSummary& summary);
// Said after a summary that a cancel cut short.
QString CancelledRunText();
// A merge that was cancelled.
QString MergeCancelledText();
// A folder read that was cancelled.
QString ScanCancelledText(std::size_t listed);

}  // namespace batchui
