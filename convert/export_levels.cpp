#include "convert/export_levels.h"

#include <algorithm>

namespace convert {

using platform::Error;
using platform::ErrorCode;
using platform::Fail;

bool LevelsToExport(const jnx::JnxDocument& doc, const std::string& path, const std::vector<int>& wanted,
                    std::vector<std::size_t>& levels, Error& error) {
    levels.clear();
    for (int k : wanted) {
        if (k < 1 || std::size_t(k) > doc.Levels.size())
            return Fail(error, Error(ErrorCode::NoSuchLevel).File(path).Level(k));
    }
    for (std::size_t k = 1; k <= doc.Levels.size(); ++k) {
        if (!wanted.empty() && std::find(wanted.begin(), wanted.end(), int(k)) == wanted.end()) continue;
        if (doc.Levels[k - 1].TileCount > 0) levels.push_back(k - 1);
    }
    return !levels.empty() || Fail(error, Error(ErrorCode::NoTilesToCopy).File(path));
}

}  // namespace convert
