#include "jnx/reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>

#include "jnx/codec.h"
#include "platform/binary_file.h"
#include "platform/gather_read.h"
#include "platform/le.h"

namespace jnx {
namespace {

constexpr const char* kErrPastEnd = "Read past the end of the file";
constexpr const char* kErrOverflow = "Arithmetic overflow";
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
// Shortest possible version 4 level entry: 12 bytes, Extra, and an empty Copyright.
constexpr std::int64_t kMinV4LevelEntry = kLevelEntrySize + 4 + 1;

bool FitsInt32(std::int64_t v) { return v >= kInt32Min && v <= kInt32Max; }

// Reads the front of the file sequentially through a buffer, so the many small fields
// (zstrings, level entries, tile entries) cost a handful of system calls. Every read is
// checked against the file length before anything is fetched.
class Cursor {
public:
    Cursor(const platform::BinaryFile& file, std::int64_t length) : file_(file), length_(length) {}

    std::int64_t Position() const { return pos_; }
    void Seek(std::int64_t pos) { pos_ = pos; }

    bool Read(void* out, std::int64_t n, std::string& error) {
        if (!Available(n)) {
            error = kErrPastEnd;
            return false;
        }
        auto* dst = static_cast<std::uint8_t*>(out);
        while (n > 0) {
            if (!InBuffer() && !Fill(error)) return false;
            const std::int64_t offset = pos_ - bufStart_;
            const std::int64_t take = std::min<std::int64_t>(n, std::int64_t(buf_.size()) - offset);
            std::memcpy(dst, buf_.data() + offset, std::size_t(take));
            dst += take;
            pos_ += take;
            n -= take;
        }
        return true;
    }

    bool ReadI32(std::int32_t& value, std::string& error) {
        std::uint8_t raw[4];
        if (!Read(raw, 4, error)) return false;
        value = platform::LoadI32(raw);
        return true;
    }

    // Bytes up to and including the next 0 byte. A text that runs to the end of the
    // file, or past the longest text the format allows, is refused.
    bool ReadZeroTerminated(Bytes& out, std::string& error) {
        out.clear();
        for (;;) {
            if (pos_ >= length_) {
                error = kErrPastEnd;
                return false;
            }
            if (!InBuffer() && !Fill(error)) return false;
            const std::uint8_t* begin = buf_.data() + (pos_ - bufStart_);
            const std::uint8_t* end = buf_.data() + buf_.size();
            const auto* zero = static_cast<const std::uint8_t*>(std::memchr(begin, 0, std::size_t(end - begin)));
            const std::uint8_t* stop = zero ? zero + 1 : end;
            if (std::int64_t(out.size()) + (stop - begin) > kMaxZstring) {
                error = "Text field longer than 32767 bytes";
                return false;
            }
            out.insert(out.end(), begin, stop);
            pos_ += stop - begin;
            if (zero) return true;
        }
    }

    bool Available(std::int64_t n) const { return n >= 0 && pos_ >= 0 && pos_ <= length_ && n <= length_ - pos_; }

private:
    bool InBuffer() const { return pos_ >= bufStart_ && pos_ < bufStart_ + std::int64_t(buf_.size()); }

    bool Fill(std::string& error) {
        // Start small, since a quick read needs only the first kilobyte or so, and grow
        // for the tile tables.
        chunk_ = buf_.empty() ? kFirstChunk : std::min(chunk_ * 4, kMaxChunk);
        const std::int64_t n = std::min(chunk_, length_ - pos_);
        buf_.resize(std::size_t(n));
        bufStart_ = pos_;
        if (!file_.ReadAt(pos_, buf_.data(), buf_.size(), error)) {
            buf_.clear();
            return false;
        }
        return true;
    }

    static constexpr std::int64_t kFirstChunk = 8 * 1024;
    static constexpr std::int64_t kMaxChunk = 512 * 1024;

    const platform::BinaryFile& file_;
    std::int64_t length_;
    std::int64_t pos_ = 0;
    Bytes buf_;
    std::int64_t bufStart_ = 0;
    std::int64_t chunk_ = 0;
};

Bytes WithJpegStart(const Bytes& data) {
    Bytes out;
    out.reserve(data.size() + 2);
    out.push_back(0xFF);
    out.push_back(0xD8);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// The tile of a level shown as its preview (1-based): the square of half the rounded
// side length, so it lies towards the middle of a square level rather than at a corner.
std::int64_t PreviewTileOf(std::int32_t tileCount) {
    const auto r = std::llround(std::sqrt(double(tileCount)));
    const auto k = r / 2;
    return k == 0 ? 1 : k * k;
}

bool TrailerIsValid(const platform::BinaryFile& file, std::int64_t start, std::int64_t length,
                    std::string& error, bool& valid) {
    static constexpr char kMark[] = "BirdsEye";
    constexpr std::int64_t kMarkLength = 8;
    constexpr std::int64_t kLongTrailer = 796;
    valid = false;
    if (length == kLongTrailer) {
        std::uint8_t tail[kMarkLength];
        if (!file.ReadAt(start + length - kMarkLength, tail, sizeof tail, error)) return false;
        valid = std::memcmp(tail, kMark, kMarkLength) == 0;
        return true;
    }
    // Only "BirdsEye", optionally followed by one 0 byte, decodes to the mark; a longer
    // trailer cannot, so it is not read at all.
    if (length > kMarkLength + 1) return true;
    Bytes trailer(static_cast<std::size_t>(length));
    if (!file.ReadAt(start, trailer.data(), trailer.size(), error)) return false;
    valid = DecodeText(trailer, true) == kMark;
    return true;
}

bool Fail(std::string& errorText, const std::string& text) {
    errorText = text;
    return false;
}

}  // namespace

bool ReadJnx(JnxDocument& doc, const std::string& path, std::int32_t& totalTiles, std::string& errorText,
             bool readTiles, BusyObserver* observer) {
    BusyScope busy(observer);
    ResetJnxDocument(doc);
    doc.OffsetShift = 0;

    std::string error;
    platform::BinaryFile file;
    if (!file.Open(path, platform::BinaryFile::Mode::Read, error)) return Fail(errorText, error);
    std::int64_t fileLength = 0;
    if (!file.Size(fileLength, error)) return Fail(errorText, error);
    doc.FileLength = fileLength;
    Cursor in(file, fileLength);

    // Header and level table.
    std::uint8_t headerBytes[kHeaderSize];
    if (!in.Read(headerBytes, kHeaderSize, error)) return Fail(errorText, error);
    doc.Header = LoadHeader(headerBytes);
    doc.Header.ZeroedField1 = doc.Header.ZeroedField2 = doc.Header.ZeroedField3 = 0;
    doc.Header.ZeroedField4 = doc.Header.ZeroedField5 = 0;
    const int version = doc.Header.Version;
    if (version != 3 && version != 4) return Fail(errorText, kErrVersion);
    if (version == 4) {
        if (!in.ReadI32(doc.Header.DrawOrder, error)) return Fail(errorText, error);
    } else {
        doc.Header.DrawOrder = kDefaultDrawOrder;
    }

    const std::int32_t levelCount = doc.Header.LevelCount;
    const std::int64_t minEntry = version == 4 ? kMinV4LevelEntry : kLevelEntrySize;
    if (levelCount <= 0) return Fail(errorText, "Level count out of range: " + std::to_string(levelCount));
    if (!in.Available(std::int64_t(levelCount) * minEntry)) return Fail(errorText, kErrPastEnd);
    doc.Levels.resize(std::size_t(levelCount));
    doc.LevelExtras.resize(std::size_t(levelCount));
    for (std::int32_t i = 0; i < levelCount; ++i) {
        std::uint8_t entry[kLevelEntrySize];
        if (!in.Read(entry, kLevelEntrySize, error)) return Fail(errorText, error);
        doc.Levels[std::size_t(i)] = LoadLevel(entry);
        if (version == 4) {
            auto& extra = doc.LevelExtras[std::size_t(i)];
            if (!in.ReadI32(extra.Extra, error) || !in.ReadZeroTerminated(extra.Copyright, error))
                return Fail(errorText, error);
        }
    }

    std::int64_t tileSum = 0;
    for (std::int32_t i = 0; i < levelCount; ++i) {
        const std::int32_t count = doc.Levels[std::size_t(i)].TileCount;
        if (count < 0)
            return Fail(errorText, "Tile count out of range in level " + std::to_string(i + 1) + ": " +
                                       std::to_string(count));
        tileSum += count;
    }
    if (tileSum > kInt32Max) return Fail(errorText, kErrOverflow);
    totalTiles = static_cast<std::int32_t>(tileSum);
    // The tables of all levels must fit in what follows the level table.
    if (!in.Available(tileSum * kTileEntrySize)) return Fail(errorText, kErrPastEnd);

    // Map description block.
    const std::int64_t blockStart = in.Position();
    doc.BlockStart = blockStart;
    const std::int64_t firstTable = doc.Levels[0].TableOffset;
    std::int32_t blockVersion = 0;
    if (!in.ReadI32(blockVersion, error)) return Fail(errorText, error);
    doc.LevelInfos.resize(std::size_t(levelCount));

    if (blockVersion == kMapBlockVersion) {
        JnxMapInfo& info = doc.MapInfo;
        info.BlockVersion = blockVersion;
        if (!in.ReadZeroTerminated(info.MapGuid, error)) return Fail(errorText, error);
        doc.GroupNamePos = static_cast<std::int32_t>(in.Position());
        if (!in.ReadZeroTerminated(info.GroupName, error) ||
            !in.Read(info.ReservedBytes.data(), std::int64_t(info.ReservedBytes.size()), error) ||
            !in.ReadZeroTerminated(info.MapTitle, error) || !in.ReadI32(info.InfoLevelCount, error))
            return Fail(errorText, error);

        // The per-level entries are read for the levels of the level table, whatever
        // InfoLevelCount claims.
        std::int64_t length = 14 + TextLength(info.MapGuid) + TextLength(info.GroupName) + TextLength(info.MapTitle);
        bool zoomMissing = false;
        for (std::int32_t i = 0; i < levelCount; ++i) {
            auto& level = doc.LevelInfos[std::size_t(i)];
            if (!in.ReadZeroTerminated(level.Name, error) || !in.ReadZeroTerminated(level.Description, error) ||
                !in.ReadZeroTerminated(level.Copyright, error))
                return Fail(errorText, error);
            length += 3 + TextLength(level.Name) + TextLength(level.Description) + TextLength(level.Copyright);
            // Some producers end the block without the last Zoom: the 4 bytes would
            // reach into the first tile table.
            if (i + 1 == levelCount && in.Position() + 4 > firstTable) {
                level.Zoom = 255;
                zoomMissing = true;
            } else {
                if (!in.ReadI32(level.Zoom, error)) return Fail(errorText, error);
                length += 4;
            }
        }

        const std::int64_t gap = firstTable - in.Position();
        if (gap > 0 && !in.Available(gap)) return Fail(errorText, kErrPastEnd);
        if (gap >= 0 && length + gap == kMapBlockSpan) {
            doc.Padding.resize(std::size_t(gap));
            if (gap > 0 && !in.Read(doc.Padding.data(), gap, error)) return Fail(errorText, error);
            doc.OffsetShift = 0;
            doc.NeedsRegeneration = false;
        } else {
            const std::int64_t padding = kMapBlockSpan - length - (zoomMissing ? 4 : 0);
            if (padding < 0) return Fail(errorText, "Map block too long: its padding would be negative");
            const std::int64_t shift = kMapBlockSpan - (length + gap);
            if (!FitsInt32(shift)) return Fail(errorText, kErrOverflow);
            if (gap > 0) in.Seek(firstTable);
            doc.Padding.assign(std::size_t(padding), 0);
            doc.OffsetShift = static_cast<std::int32_t>(shift);
            doc.NeedsRegeneration = true;
        }
    } else {
        // No map description block: describe the file with a default one, which a
        // rewrite will put in.
        in.Seek(blockStart);
        JnxMapInfo& info = doc.MapInfo;
        info = JnxMapInfo{};
        info.BlockVersion = kMapBlockVersion;
        info.MapGuid = EncodeText(NewGuidText(), true);
        info.GroupName = EncodeText("BirdsEye Satellite Imagery Subscription", true);
        info.ReservedBytes = {0, 0, 0};
        info.MapTitle = EncodeText("You map title", true);
        info.InfoLevelCount = levelCount;
        doc.GroupNamePos = static_cast<std::int32_t>(blockStart + 4 + std::int64_t(info.MapGuid.size()));
        for (std::int32_t i = 0; i < levelCount; ++i) {
            auto& level = doc.LevelInfos[std::size_t(i)];
            level.Name = EncodeText("Layer 1 name", true);
            level.Description = EncodeText("Layer 1 name", true);
            level.Copyright = EncodeText("Copyright", true);
            level.Zoom = i + 1;
        }
        const std::int64_t length = MapBlockLength(info, doc.LevelInfos);
        const std::int64_t gap = firstTable - blockStart;
        if (gap > 0) {
            if (!in.Available(gap)) return Fail(errorText, kErrPastEnd);
            in.Seek(firstTable);
        }
        const std::int64_t padding = kMapBlockSpan - length;
        if (padding < 0) return Fail(errorText, "Map block too long: its padding would be negative");
        const std::int64_t shift = kMapBlockSpan - gap;
        if (!FitsInt32(shift)) return Fail(errorText, kErrOverflow);
        doc.Padding.assign(std::size_t(padding), 0);
        doc.OffsetShift = static_cast<std::int32_t>(shift);
        doc.NeedsRegeneration = true;
    }

    // The level table's copy of each copyright always follows the block's.
    for (std::int32_t i = 0; i < levelCount; ++i) {
        doc.LevelExtras[std::size_t(i)].Extra = 2;
        doc.LevelExtras[std::size_t(i)].Copyright = doc.LevelInfos[std::size_t(i)].Copyright;
    }

    if (!readTiles) return true;

    // Tile tables, read where the reader stands; their placement is checked at the end.
    if (!in.Available(tileSum * kTileEntrySize)) return Fail(errorText, kErrPastEnd);
    if (tileSum == 0) return Fail(errorText, "The file holds no tiles");
    // Table offsets and image offsets are int32 in the model; a file this long cannot
    // be described by them.
    if (in.Position() + tileSum * kTileEntrySize > kInt32Max) return Fail(errorText, kErrOverflow);
    doc.Tiles.reserve(std::size_t(tileSum));
    doc.TileOffset.resize(std::size_t(levelCount));
    for (std::int32_t i = 0; i < levelCount; ++i) {
        doc.TileOffset[std::size_t(i)] = static_cast<std::int32_t>(in.Position());
        for (std::int32_t j = 0; j < doc.Levels[std::size_t(i)].TileCount; ++j) {
            std::uint8_t entry[kTileEntrySize];
            if (!in.Read(entry, kTileEntrySize, error)) return Fail(errorText, error);
            doc.Tiles.push_back(LoadTile(entry));
        }
    }

    const std::int64_t tablesEnd = in.Position();
    // Signature section: whatever lies between the tables and the first tile's data.
    const std::int64_t signatureLength = std::int64_t(doc.Tiles[0].DataOffset) - in.Position();
    if (signatureLength < 0) return Fail(errorText, kErrSignature);
    if (signatureLength > 0) {
        if (!in.Available(signatureLength)) return Fail(errorText, kErrPastEnd);
        doc.Signature.resize(std::size_t(signatureLength));
        if (!file.ReadAt(in.Position(), doc.Signature.data(), doc.Signature.size(), error))
            return Fail(errorText, error);
    }

    // Tile data: every tile must lie inside the file; only one preview per level is
    // read, the other images are not needed to check the file.
    const std::size_t tileCount = doc.Tiles.size();
    doc.jpgOffset.resize(tileCount);
    doc.Previews.resize(std::size_t(levelCount));
    std::size_t highest = 0;
    std::size_t t = 0;
    for (std::int32_t i = 0; i < levelCount; ++i) {
        const std::int32_t count = doc.Levels[std::size_t(i)].TileCount;
        const std::int64_t preview = PreviewTileOf(count);
        for (std::int32_t j = 1; j <= count; ++j, ++t) {
            const JnxTile& tile = doc.Tiles[t];
            if (tile.DataSize <= 0)
                return Fail(errorText, "Tile " + std::to_string(t + 1) + " has no image data");
            if (tile.DataOffset < 0 || std::int64_t(tile.DataOffset) + tile.DataSize > fileLength)
                return Fail(errorText, "Tile " + std::to_string(t + 1) + " lies outside the file");
            // Image data inside the header, block or tables would be overwritten by any
            // rewrite of the front part; such a file cannot be kept intact.
            if (tile.DataOffset < tablesEnd)
                return Fail(errorText, "Tile " + std::to_string(t + 1) + " lies before the end of the tile tables");
            if (std::int64_t(tile.DataOffset) + tile.DataSize > kInt32Max) return Fail(errorText, kErrOverflow);
            doc.jpgOffset[t] = tile.DataOffset;
            if (j == preview) {
                Bytes data(static_cast<std::size_t>(tile.DataSize));
                if (!file.ReadAt(tile.DataOffset, data.data(), data.size(), error)) return Fail(errorText, error);
                doc.Previews[std::size_t(i)] = WithJpegStart(data);
            }
            if (tile.DataOffset > doc.Tiles[highest].DataOffset) highest = t;
        }
    }

    // Trailer: from the end of the last image in the file to the end of the file.
    const std::int64_t trailerStart = std::int64_t(doc.Tiles[highest].DataOffset) + doc.Tiles[highest].DataSize;
    const std::int64_t trailerLength = fileLength - trailerStart;
    if (trailerLength <= 0) return Fail(errorText, kErrPastEnd);
    bool trailerValid = false;
    if (!TrailerIsValid(file, trailerStart, trailerLength, error, trailerValid)) return Fail(errorText, error);

    // Check points, which the writers read back in their output.
    doc.CheckPointsTiles.resize(std::size_t(levelCount));
    for (std::int32_t i = 0; i < levelCount; ++i) {
        CheckPoint& point = doc.CheckPointsTiles[std::size_t(i)];
        point.Offset = doc.Levels[std::size_t(i)].TableOffset;
        std::uint8_t raw[4];
        if (!file.ReadAt(point.Offset, raw, sizeof raw, error)) return Fail(errorText, error);
        point.Value = platform::LoadI32(raw);
    }
    doc.CheckPointsImages.resize(tileCount);
    {
        // Visit the images in file order, so the reads go forwards through the file.
        std::vector<std::uint32_t> order(tileCount);
        std::iota(order.begin(), order.end(), 0u);
        const auto byOffset = [&](std::uint32_t a, std::uint32_t b) {
            return doc.Tiles[a].DataOffset < doc.Tiles[b].DataOffset;
        };
        if (!std::is_sorted(order.begin(), order.end(), byOffset)) std::stable_sort(order.begin(), order.end(), byOffset);
        std::vector<std::int64_t> offsets(tileCount);
        for (std::size_t i = 0; i < tileCount; ++i) offsets[i] = doc.Tiles[order[i]].DataOffset;
        std::vector<std::uint8_t> values(tileCount * 4);
        if (!platform::GatherReads(file, fileLength, offsets, 4, values.data(), error)) return Fail(errorText, error);
        for (std::size_t i = 0; i < tileCount; ++i) {
            CheckPoint& point = doc.CheckPointsImages[order[i]];
            point.Offset = doc.Tiles[order[i]].DataOffset;
            point.Value = platform::LoadI32(values.data() + 4 * i);
        }
    }

    if (!trailerValid) return Fail(errorText, kErrTrailer);
    for (std::int32_t i = 0; i < levelCount; ++i) {
        if (doc.CheckPointsTiles[std::size_t(i)].Offset != doc.TileOffset[std::size_t(i)])
            return Fail(errorText, kErrTablePlacement);
    }
    return true;
}

}  // namespace jnx
