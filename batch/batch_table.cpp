#include "batch/batch_table.h"

#include <algorithm>
#include <map>

#include "platform/fs.h"

namespace batch {

BatchRow::BatchRow() { (*this)[kSelected] = "0"; }

std::size_t BatchTable::CheckedCount() const {
    return static_cast<std::size_t>(
        std::count_if(rows.begin(), rows.end(), [](const BatchRow& row) { return row.Checked(); }));
}

std::vector<std::pair<std::string, std::size_t>> CrowdedFolders(const BatchTable& table) {
    std::map<std::string, std::size_t> counts;
    for (const auto& row : table.rows) ++counts[platform::ParentFolder(row.FullFileName())];
    std::vector<std::pair<std::string, std::size_t>> crowded;
    for (const auto& [folder, count] : counts) {
        if (count > static_cast<std::size_t>(jnx::device::kMaxFiles)) crowded.emplace_back(folder, count);
    }
    return crowded;
}

void SelectAll(BatchTable& table) {
    for (auto& row : table.rows) row.SetChecked(true);
}

void SelectNone(BatchTable& table) {
    for (auto& row : table.rows) row.SetChecked(false);
}

void SelectObsolete(BatchTable& table) {
    for (auto& row : table.rows) row.SetChecked(row.Obsolete());
}

namespace {

// Characters of UTF-8 text: every byte that does not continue a sequence.
std::size_t CharacterCount(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(
        text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

}  // namespace

std::size_t ColumnWidth(const BatchTable& table, int column) {
    std::size_t width = static_cast<std::size_t>(kFields[static_cast<std::size_t>(column)].width);
    for (const auto& row : table.rows) width = std::max(width, CharacterCount(row[column]));
    return width;
}

}  // namespace batch
