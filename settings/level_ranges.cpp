#include "settings/level_ranges.h"

namespace settings {

namespace {
bool Qualifies(double scale, std::int32_t standardScale, double factor) { return scale >= factor * standardScale; }
}  // namespace

int LevelDrawnAt(const std::vector<ZoomLevelEntry>& table, const std::vector<std::int32_t>& scales, int row,
                 double factor) {
    if (row < 0 || row >= static_cast<int>(table.size())) return -1;
    const std::int32_t zoom = table[static_cast<std::size_t>(row)].StandardScale;
    int drawn = -1;
    for (std::size_t i = 0; i < scales.size(); ++i) {
        if (!Qualifies(scales[i], zoom, factor)) continue;
        // Strictly smaller, so that of equal scales the first one stays.
        if (drawn < 0 || scales[i] < scales[static_cast<std::size_t>(drawn)]) drawn = static_cast<int>(i);
    }
    return drawn;
}

std::vector<LevelRange> LevelRanges(const std::vector<ZoomLevelEntry>& table, const std::vector<std::int32_t>& scales,
                                    double factor) {
    std::vector<LevelRange> ranges(scales.size());
    for (int row = 0; row < static_cast<int>(table.size()); ++row) {
        const int drawn = LevelDrawnAt(table, scales, row, factor);
        const std::int32_t zoom = table[static_cast<std::size_t>(row)].StandardScale;
        if (drawn >= 0) {
            LevelRange& range = ranges[static_cast<std::size_t>(drawn)];
            if (range.finestRow < 0) range.finestRow = row;
            range.coarsestRow = row;
        }
        // Rows ascend, so the last row where a level qualifies is its coarsest one.
        for (std::size_t i = 0; i < scales.size(); ++i)
            if (Qualifies(scales[i], zoom, factor) && static_cast<int>(i) != drawn) ranges[i].coveredBy = drawn;
    }
    for (LevelRange& range : ranges)
        if (range.Shown()) range.coveredBy = -1;
    return ranges;
}

int CoarsestQualifyingRow(const std::vector<ZoomLevelEntry>& table, double scale, double factor) {
    int coarsest = -1;
    for (int row = 0; row < static_cast<int>(table.size()); ++row)
        if (Qualifies(scale, table[static_cast<std::size_t>(row)].StandardScale, factor)) coarsest = row;
    return coarsest;
}

}  // namespace settings
