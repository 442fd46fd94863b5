// BatchTable: one row of text fields per JNX file of the scanned folder, the table the
// batch grid binds to and the batch commands walk. Qt-free: the command line uses it too.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "check/findings.h"
#include "jnx/device_limits.h"
#include "platform/error.h"

namespace batch {

// Column positions, in field order.
enum Column : int {
    kSelected = 0,
    kGroupID,
    kGroupName,
    kNumLevels,
    kZoomLevel1,  // .. kZoomLevel1 + 4
    kTotalTiles = kZoomLevel1 + jnx::device::kMaxLevels,
    kJNXVersion,
    kDrawOrder,
    kPriority1,  // .. kPriority1 + 4
    kFilename = kPriority1 + jnx::device::kMaxLevels,
    kFullFileName,
    kNeedTMP,
    kWithBug,
    kColumnCount
};
static_assert(kColumnCount == 21);


struct FieldSpec {
    const char* name;
    int width;      // declared width in characters; longer values are kept whole (see ColumnWidth)
    bool unicode;   // the group name is Unicode text, the rest single-byte
};

// clang-format off
inline constexpr std::array<FieldSpec, kColumnCount> kFields{{
    {"Selected", 10, false},
    {"GroupID", 10, false},
    {"GroupName", 100, true},
    {"NumLevels", 100, false},
    {"ZoomLevel1", 100, false}, {"ZoomLevel2", 100, false}, {"ZoomLevel3", 100, false},
    {"ZoomLevel4", 100, false}, {"ZoomLevel5", 100, false},
    {"TotalTiles", 100, false},
    {"JNXVersion", 10, false},
    {"DrawOrder", 10, false},
    {"Priority1", 1, false}, {"Priority2", 1, false}, {"Priority3", 1, false},
    {"Priority4", 1, false}, {"Priority5", 1, false},
    {"Filename", 100, false},
    {"fullFileName", 200, false},
    {"NeedTMP", 1, false},
    {"WithBug", 1, false},
}};
// clang-format on

inline constexpr const char* kYes = "S";
inline constexpr const char* kNo = "N";
inline constexpr const char* kErroneousGroupID = "??";
inline constexpr const char* kErroneousGroupName = "ERROR AL CARGAR";

// One file of the folder. Every field is text; numbers are their decimal text.
struct BatchRow {
    std::array<std::string, kColumnCount> fields;
    // What the device check finds in the file's tables, the tile tables included (no
    // tile image is read for it). Empty also for a file that could not be read.
    std::vector<check::Finding> device;
    // Why the file could not be read (an erroneous row); no error otherwise.
    platform::Error readError;
    // Where the map lies: its header's north, east, south, west in JNX units (degrees ×
    // 2^31 / 180). Empty when the file could not be read.
    std::optional<std::array<std::int32_t, 4>> bounds;

    BatchRow();  // Selected "0", everything else empty

    std::string& operator[](int column) { return fields[static_cast<std::size_t>(column)]; }
    const std::string& operator[](int column) const { return fields[static_cast<std::size_t>(column)]; }

    // The Selected field: "1" checked, "0" not.
    bool Checked() const { return (*this)[kSelected] == "1"; }
    void SetChecked(bool checked) { (*this)[kSelected] = checked ? "1" : "0"; }

    // The file could not be read ("??" in GroupID).
    bool Erroneous() const { return (*this)[kGroupID] == kErroneousGroupID; }
    // Only regeneration repairs the file (NeedTMP or WithBug is "S"); drawn red.
    bool Obsolete() const { return (*this)[kNeedTMP] == kYes || (*this)[kWithBug] == kYes; }
    // Priority flag of level index 0..4 ("S").
    bool Prioritised(int levelIndex) const { return (*this)[kPriority1 + levelIndex] == kYes; }

    const std::string& FullFileName() const { return (*this)[kFullFileName]; }
    const std::string& FileName() const { return (*this)[kFilename]; }
};

struct BatchTable {
    std::string folder;       // the folder that was loaded
    bool recursive = false;   // subfolders were included
    std::vector<BatchRow> rows;

    bool empty() const { return rows.empty(); }
    std::size_t size() const { return rows.size(); }
    std::size_t CheckedCount() const;
};

// The folders of the table that hold more maps than a unit loads, with their counts.
std::vector<std::pair<std::string, std::size_t>> CrowdedFolders(const BatchTable& table);

// Selection commands of the grid.
void SelectAll(BatchTable& table);
void SelectNone(BatchTable& table);
// Checks the obsolete rows and clears all others.
void SelectObsolete(BatchTable& table);

// Characters needed to show a column whole: the declared width, or more when a value is
// longer (names are never cut, since a cut name would address a different file).
std::size_t ColumnWidth(const BatchTable& table, int column);

}  // namespace batch
