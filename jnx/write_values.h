// What the three writers share: the edit values turned into the numbers and bytes to
// write (all validated before any file is touched), and the map block serialised.
#pragma once
#include <string>
#include <vector>

#include "jnx/document.h"
#include "edit/editor_values.h"
#include "jnx/writer_settings.h"
#include "platform/binary_file.h"

namespace jnx {

struct WriteValues {
    std::int32_t productId = 0;
    Bytes groupName;                  // zstring to write
    std::vector<std::int32_t> scales;  // one per level
    std::vector<std::int32_t> zooms;   // one per level
};

enum class ScaleRule { WithPriority, ChoiceOnly };

// Fills values for every level of doc. An empty product-ID text keeps the stored value as
// it is (it may not fit 16 bits); a group text that is empty or equal to the stored name
// keeps the stored bytes; levels without controls keep their Scale and Zoom. Zoom numbers
// come from the window only in the editor in group-preset mode.
bool ResolveWriteValues(const JnxDocument& doc, const EditorValues& window, const WriterSettings& settings,
                        ScaleRule rule, WriteValues& values, std::string& error);

// BlockVersion .. last JnxLevelInfo, then zero padding up to exactly 1024 bytes.
// Fails when the block would need 1024 bytes or more.
bool BuildMapBlock(const JnxMapInfo& info, const std::vector<JnxLevelInfo>& levels, Bytes& out,
                   std::string& error);

// Appends a little-endian int32 / raw bytes.
void AppendI32(Bytes& out, std::int32_t value);
void AppendBytes(Bytes& out, const Bytes& bytes);

// The bits of a check value that belong to a tile of dataSize bytes: a tile shorter than
// four bytes has its value run into whatever follows it, which differs between files.
std::uint32_t CheckMask(std::int32_t dataSize);

// Index of the first check point whose int32, read at Offset + shift, differs from the
// recorded value (or cannot be read); points.size() when all hold. Only points whose
// Offset lies below limit are read: the writers never touch bytes beyond it.
std::size_t FirstBrokenCheckPoint(const platform::BinaryFile& file, const std::vector<CheckPoint>& points,
                                  std::int64_t shift, std::int64_t limit);

}  // namespace jnx
