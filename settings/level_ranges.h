// Which level the device draws at each row of the zoom table, and so the rows where each
// level of a map is seen at all. A level shows while the device is zoomed in to its scale
// or closer, and a finer level takes over where one qualifies.
#pragma once
#include <cstdint>
#include <vector>

#include "settings/settings.h"

namespace settings {

// The level (index into scales) drawn at a row: the smallest scale that is still at least
// factor × the row's StandardScale (factor: the device family's, scale_model.h). Of equal
// scales the first level wins, as it is the one read first; the others are never drawn.
// -1 when no level qualifies or the row is not in the table.
int LevelDrawnAt(const std::vector<ZoomLevelEntry>& table, const std::vector<std::int32_t>& scales, int row,
                 double factor = 1.0);

struct LevelRange {
    int coarsestRow = -1;  // rows where the level is drawn; -1 when it never is
    int finestRow = -1;
    // A never-drawn level is hidden by the level drawn at the coarsest row where it would
    // qualify; -1 when it qualifies at no row at all (its scale is below every row's).
    int coveredBy = -1;
    bool Shown() const { return coarsestRow >= 0; }
};

// One range per scale, for a table whose rows ascend by scale.
std::vector<LevelRange> LevelRanges(const std::vector<ZoomLevelEntry>& table, const std::vector<std::int32_t>& scales,
                                    double factor = 1.0);
// The coarsest row where a level of this scale qualifies on its own (other levels aside);
// -1 when it qualifies at no row.
int CoarsestQualifyingRow(const std::vector<ZoomLevelEntry>& table, double scale, double factor = 1.0);

}  // namespace settings
