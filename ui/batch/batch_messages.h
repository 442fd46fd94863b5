// What the batch window's message boxes say, in the installed language: titles, the
// commands' summaries, the delete question and the merge failure.
#pragma once
#include <QString>
#include <cstddef>


namespace batchui {

// Refusals and the folder message.
QString WarningTitle();
// After a delete.
QString InformationTitle();
// After a save or a split.
QString SummaryTitle();
// "Updated OK: n\r\nCreated OK: n\r\nErrors: n\r\n".
QString SaveSummaryText(int updated, int created, int errors);
// "Extracted OK: n\r\nErrors: n\r\n".
QString SplitSummaryText(int extracted, int errors);
QString DeleteSummaryText(int errors);
QString DeleteConfirmTitle();
// A merge that failed.
QString ErrorTitle();
QString DeleteConfirmText(std::size_t count);
// "Error merging files." with the reason on the next line.
QString MergeFailureText(const QString& reason);

}  // namespace batchui
