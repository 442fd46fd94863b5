#include "batch/batch_table.h"

#include <map>

#include "platform/fs.h"

namespace batch {

Selection AllRows(const BatchTable& table) {
    Selection all(table.rows.size());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
    return all;
}

Selection ObsoleteRows(const BatchTable& table) {
    Selection obsolete;
    for (std::size_t i = 0; i < table.rows.size(); ++i)
        if (table.rows[i].Obsolete()) obsolete.push_back(i);
    return obsolete;
}

std::vector<std::pair<std::string, std::size_t>> CrowdedFolders(const BatchTable& table) {
    std::map<std::string, std::size_t> counts;
    for (const auto& row : table.rows) ++counts[platform::ParentFolder(row.path)];
    std::vector<std::pair<std::string, std::size_t>> crowded;
    for (const auto& [folder, count] : counts) {
        if (count > static_cast<std::size_t>(jnx::device::kMaxFiles)) crowded.emplace_back(folder, count);
    }
    return crowded;
}

}  // namespace batch
