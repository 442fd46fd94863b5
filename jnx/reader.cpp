#include "jnx/reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>

#include "jnx/codec.h"
#include "jnx/product_id_copy.h"
#include "platform/binary_file.h"
#include "platform/gather_read.h"
#include "platform/le.h"

namespace jnx {
namespace {

using platform::Error;
using platform::ErrorCode;

constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kLargestPreview = 16 << 20;
// Shortest possible version 4 level entry: 12 bytes, Extra, and an empty Copyright.
constexpr std::int64_t kMinV4LevelEntry = kLevelEntrySize + 4 + 1;

// Reads the front of the file sequentially through a buffer, so the many small fields
// (zstrings, level entries, tile entries) cost a handful of system calls. Every read is
// checked against the file length before anything is fetched.
class Cursor {
public:
    explicit Cursor(const platform::BinaryFile& file) : file_(file) {}

    // The length is known only once the file is open; nothing is read before.
    void SetLength(std::int64_t length) { length_ = length; }

    std::int64_t Position() const { return pos_; }
    void Seek(std::int64_t pos) { pos_ = pos; }

    bool Read(void* out, std::int64_t n, Error& error) {
        if (!Available(n)) {
            error = Error(ErrorCode::ReadPastEnd);
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

    bool ReadI32(std::int32_t& value, Error& error) {
        std::uint8_t raw[4];
        if (!Read(raw, 4, error)) return false;
        value = platform::LoadI32(raw);
        return true;
    }

    // Bytes up to and including the next 0 byte. A text that runs to the end of the
    // file, or past the longest text the format allows, is refused.
    bool ReadZeroTerminated(Bytes& out, Error& error) {
        out.clear();
        for (;;) {
            if (pos_ >= length_) {
                error = Error(ErrorCode::ReadPastEnd);
                return false;
            }
            if (!InBuffer() && !Fill(error)) return false;
            const std::uint8_t* begin = buf_.data() + (pos_ - bufStart_);
            const std::uint8_t* end = buf_.data() + buf_.size();
            const auto* zero = static_cast<const std::uint8_t*>(std::memchr(begin, 0, std::size_t(end - begin)));
            const std::uint8_t* stop = zero ? zero + 1 : end;
            if (std::int64_t(out.size()) + (stop - begin) > kMaxZstring) {
                error = Error(ErrorCode::TextTooLong);
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

    bool Fill(Error& error) {
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
    std::int64_t length_ = 0;
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
                    Error& error, bool& valid) {
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

// What the stages of one read share. The stages run in file order and each leaves the
// cursor where the next one starts.
struct ReadState {
    explicit ReadState(JnxDocument& d) : doc(d), in(file) {}

    JnxDocument& doc;
    platform::BinaryFile file;
    std::int64_t length = 0;
    Cursor in;
    std::int64_t tileSum = 0;
    std::int64_t tablesEnd = 0;
    std::size_t lastImage = 0;  // the tile whose data lies furthest into the file
    bool trailerValid = false;
    Error failure;
};

// Every stage reports its failure here and nowhere else, so the type that carries a
// failure out of the reader changes in this one place.
bool Fail(ReadState& r, Error failure) {
    r.failure = std::move(failure);
    return false;
}

bool OpenFile(ReadState& r, const std::string& path) {
    Error error;
    if (!r.file.Open(path, platform::BinaryFile::Mode::Read, error) || !r.file.Size(r.length, error))
        return Fail(r, error);
    r.doc.FileLength = r.length;
    r.in.SetLength(r.length);
    return true;
}

bool ReadHeader(ReadState& r) {
    Error error;
    std::uint8_t bytes[kHeaderSize];
    if (!r.in.Read(bytes, kHeaderSize, error)) return Fail(r, error);
    JnxHeader& header = r.doc.Header;
    header = LoadHeader(bytes);
    header.ZeroedField1 = header.ZeroedField2 = header.ZeroedField3 = 0;
    header.ZeroedField4 = header.ZeroedField5 = 0;
    if (header.Version != 3 && header.Version != 4) return Fail(r, Error(ErrorCode::UnsupportedVersion));
    if (header.Version == 4) {
        if (!r.in.ReadI32(header.DrawOrder, error)) return Fail(r, error);
    } else {
        header.DrawOrder = kDefaultDrawOrder;
    }
    return true;
}

bool ReadLevelTable(ReadState& r) {
    JnxDocument& doc = r.doc;
    const bool v4 = doc.Header.Version == 4;
    const std::int32_t levelCount = doc.Header.LevelCount;
    if (levelCount <= 0) return Fail(r, Error(ErrorCode::LevelCountOutOfRange).Value(levelCount));
    // A count the file cannot hold is refused before anything is allocated for it.
    if (!r.in.Available(std::int64_t(levelCount) * (v4 ? kMinV4LevelEntry : kLevelEntrySize)))
        return Fail(r, Error(ErrorCode::ReadPastEnd));
    doc.Levels.resize(std::size_t(levelCount));
    doc.LevelExtras.resize(std::size_t(levelCount));
    Error error;
    for (std::size_t i = 0; i < doc.Levels.size(); ++i) {
        std::uint8_t entry[kLevelEntrySize];
        if (!r.in.Read(entry, kLevelEntrySize, error)) return Fail(r, error);
        doc.Levels[i] = LoadLevel(entry);
        if (v4) {
            auto& extra = doc.LevelExtras[i];
            if (!r.in.ReadI32(extra.Extra, error) || !r.in.ReadZeroTerminated(extra.Copyright, error))
                return Fail(r, error);
        }
    }
    return true;
}

// totalTiles is the caller's as soon as the counts are known, even if a later stage fails.
bool CountTiles(ReadState& r, std::int32_t& totalTiles) {
    std::int64_t sum = 0;
    for (std::size_t i = 0; i < r.doc.Levels.size(); ++i) {
        const std::int32_t count = r.doc.Levels[i].TileCount;
        if (count < 0)
            return Fail(r, Error(ErrorCode::TileCountOutOfRange).Level(std::int64_t(i) + 1).Value(count));
        sum += count;
    }
    if (sum > kInt32Max) return Fail(r, Error(ErrorCode::ArithmeticOverflow));
    r.tileSum = sum;
    totalTiles = static_cast<std::int32_t>(sum);
    // The tables of all levels must fit in what follows the level table.
    if (!r.in.Available(sum * kTileEntrySize)) return Fail(r, Error(ErrorCode::ReadPastEnd));
    return true;
}

// A block that cannot stay as it lies: a rewrite puts it back with this much padding and
// moves everything after it by shift.
bool PlanRegeneration(ReadState& r, std::int64_t padding, std::int64_t shift) {
    if (padding < 0) return Fail(r, Error(ErrorCode::MapBlockTooLong));
    r.doc.Padding.assign(std::size_t(padding), 0);
    r.doc.OffsetShift = shift;
    r.doc.NeedsRegeneration = true;
    return true;
}

// The per-level entries are read for the levels of the level table, whatever
// InfoLevelCount claims. length grows by what each entry holds.
bool ReadBlockLevels(ReadState& r, std::int64_t& length, bool& zoomMissing) {
    JnxDocument& doc = r.doc;
    const std::int64_t firstTable = doc.Levels[0].TableOffset;
    Error error;
    for (std::size_t i = 0; i < doc.LevelInfos.size(); ++i) {
        auto& level = doc.LevelInfos[i];
        if (!r.in.ReadZeroTerminated(level.Name, error) || !r.in.ReadZeroTerminated(level.Description, error) ||
            !r.in.ReadZeroTerminated(level.Copyright, error))
            return Fail(r, error);
        length += 3 + TextLength(level.Name) + TextLength(level.Description) + TextLength(level.Copyright);
        // Some producers end the block without the last Zoom: the 4 bytes would reach
        // into the first tile table.
        if (i + 1 == doc.LevelInfos.size() && r.in.Position() + 4 > firstTable) {
            level.Zoom = 255;
            zoomMissing = true;
        } else {
            if (!r.in.ReadI32(level.Zoom, error)) return Fail(r, error);
            length += 4;
        }
    }
    return true;
}

bool ReadPresentBlock(ReadState& r) {
    JnxDocument& doc = r.doc;
    JnxMapInfo& info = doc.MapInfo;
    info.BlockVersion = kMapBlockVersion;
    Error error;
    if (!r.in.ReadZeroTerminated(info.MapGuid, error)) return Fail(r, error);
    doc.GroupNamePos = static_cast<std::int32_t>(r.in.Position());
    if (!r.in.ReadZeroTerminated(info.GroupName, error) ||
        !r.in.Read(info.ReservedBytes.data(), std::int64_t(info.ReservedBytes.size()), error) ||
        !r.in.ReadZeroTerminated(info.MapTitle, error) || !r.in.ReadI32(info.InfoLevelCount, error))
        return Fail(r, error);

    std::int64_t length = 14 + TextLength(info.MapGuid) + TextLength(info.GroupName) + TextLength(info.MapTitle);
    bool zoomMissing = false;
    if (!ReadBlockLevels(r, length, zoomMissing)) return false;

    const std::int64_t firstTable = doc.Levels[0].TableOffset;
    const std::int64_t gap = firstTable - r.in.Position();
    if (gap > 0 && !r.in.Available(gap)) return Fail(r, Error(ErrorCode::ReadPastEnd));
    // A block without its last Zoom never stays as it lies: written back it is 4 bytes
    // longer than the file holds.
    if (!zoomMissing && gap >= 0 && length + gap == kMapBlockSpan) {
        doc.Padding.resize(std::size_t(gap));
        if (gap > 0 && !r.in.Read(doc.Padding.data(), gap, error)) return Fail(r, error);
        doc.OffsetShift = 0;
        doc.NeedsRegeneration = false;
        return true;
    }
    if (gap > 0) r.in.Seek(firstTable);
    return PlanRegeneration(r, kMapBlockSpan - length - (zoomMissing ? 4 : 0), kMapBlockSpan - (length + gap));
}

// No map description block: the file is described with a default one, which a rewrite
// will put in.
bool DescribeDefaultBlock(ReadState& r) {
    JnxDocument& doc = r.doc;
    const std::int64_t blockStart = doc.BlockStart;
    r.in.Seek(blockStart);
    JnxMapInfo& info = doc.MapInfo;
    info = JnxMapInfo{};
    info.BlockVersion = kMapBlockVersion;
    info.MapGuid = EncodeText(NewGuidText(), true);
    info.GroupName = EncodeText("BirdsEye Satellite Imagery Subscription", true);
    // A block made here carries the product ID as producers do, so desktop software
    // activates the map under the header's ID once the block is written.
    info.ReservedBytes = ProductIdCopy(doc.Header.ProductId).value_or(ReservedField{0, 0, 0});
    info.MapTitle = EncodeText("You map title", true);
    info.InfoLevelCount = doc.Header.LevelCount;
    doc.GroupNamePos = static_cast<std::int32_t>(blockStart + 4 + std::int64_t(info.MapGuid.size()));
    for (std::size_t i = 0; i < doc.LevelInfos.size(); ++i) {
        auto& level = doc.LevelInfos[i];
        level.Name = EncodeText("Layer 1 name", true);
        level.Description = EncodeText("Layer 1 name", true);
        level.Copyright = EncodeText("Copyright", true);
        level.Zoom = static_cast<std::int32_t>(i) + 1;
    }
    const std::int64_t firstTable = doc.Levels[0].TableOffset;
    const std::int64_t gap = firstTable - blockStart;
    if (gap > 0) {
        if (!r.in.Available(gap)) return Fail(r, Error(ErrorCode::ReadPastEnd));
        r.in.Seek(firstTable);
    }
    return PlanRegeneration(r, kMapBlockSpan - MapBlockLength(info, doc.LevelInfos), kMapBlockSpan - gap);
}

bool ReadMapBlock(ReadState& r) {
    JnxDocument& doc = r.doc;
    doc.BlockStart = r.in.Position();
    std::int32_t blockVersion = 0;
    Error error;
    if (!r.in.ReadI32(blockVersion, error)) return Fail(r, error);
    doc.LevelInfos.resize(doc.Levels.size());
    if (!(blockVersion == kMapBlockVersion ? ReadPresentBlock(r) : DescribeDefaultBlock(r))) return false;

    // The level table's copy of each copyright always follows the block's.
    for (std::size_t i = 0; i < doc.Levels.size(); ++i) {
        doc.LevelExtras[i].Extra = 2;
        doc.LevelExtras[i].Copyright = doc.LevelInfos[i].Copyright;
    }
    return true;
}

// Each level's table must fit between where the level table puts it and the next one
// (or the file's end): a count that runs past them is refused before anything is
// allocated for it, which the sum alone cannot do when a sparse file is long enough for it.
bool CheckTablesFit(ReadState& r) {
    const std::vector<JnxLevel>& levels = r.doc.Levels;
    for (std::size_t i = 0; i < levels.size(); ++i) {
        const std::int64_t end = std::int64_t(levels[i].TableOffset) + std::int64_t(levels[i].TileCount) * kTileEntrySize;
        if (end > r.length) return Fail(r, Error(ErrorCode::ReadPastEnd).Level(std::int64_t(i) + 1));
        if (i + 1 < levels.size() && end > std::int64_t(levels[i + 1].TableOffset))
            return Fail(r, Error(ErrorCode::TablesMisplaced));
    }
    return true;
}

bool CheckTileData(ReadState& r, std::size_t t) {
    const JnxTile& tile = r.doc.Tiles[t];
    const std::int64_t number = std::int64_t(t) + 1;
    if (tile.DataSize <= 0) return Fail(r, Error(ErrorCode::TileWithoutData).Level(number));
    if (std::int64_t(tile.DataOffset) + tile.DataSize > r.length)
        return Fail(r, Error(ErrorCode::TileOutsideFile).Level(number));
    // Image data inside the header, block or tables would be overwritten by any rewrite
    // of the front part; such a file cannot be kept intact.
    if (tile.DataOffset < r.tablesEnd) return Fail(r, Error(ErrorCode::TileInsideTables).Level(number));
    if (std::int64_t(tile.DataOffset) + tile.DataSize > kMaxFileLength)
        return Fail(r, Error(ErrorCode::ArithmeticOverflow));
    return true;
}

// The tables are read where the block ends; their placement is checked last. Each entry
// is judged as it is read, so a table that runs into a hole or into the images stops the
// read at its first entry that describes no image, not after all the entries claimed.
bool ReadTileTables(ReadState& r) {
    JnxDocument& doc = r.doc;
    const std::int64_t tablesLength = r.tileSum * kTileEntrySize;
    if (!r.in.Available(tablesLength)) return Fail(r, Error(ErrorCode::ReadPastEnd));
    if (r.tileSum == 0) return Fail(r, Error(ErrorCode::NoTiles));
    // Offsets are unsigned 32-bit: tables that reach beyond cannot be described by them.
    if (r.in.Position() + tablesLength > kMaxFileLength) return Fail(r, Error(ErrorCode::ArithmeticOverflow));
    if (!CheckTablesFit(r)) return false;
    r.tablesEnd = r.in.Position() + tablesLength;
    constexpr std::int64_t kReservedUpFront = 1 << 20;
    doc.Tiles.reserve(std::size_t(std::min(r.tileSum, kReservedUpFront)));
    doc.TileOffset.resize(doc.Levels.size());
    Error error;
    for (std::size_t i = 0; i < doc.Levels.size(); ++i) {
        doc.TileOffset[i] = static_cast<std::uint32_t>(r.in.Position());
        for (std::int32_t j = 0; j < doc.Levels[i].TileCount; ++j) {
            std::uint8_t entry[kTileEntrySize];
            if (!r.in.Read(entry, kTileEntrySize, error)) return Fail(r, error);
            doc.Tiles.push_back(LoadTile(entry));
            // The first image ends the signature section: before the tables' end there is none.
            if (doc.Tiles.size() == 1 && std::int64_t(doc.Tiles[0].DataOffset) < r.tablesEnd)
                return Fail(r, Error(ErrorCode::BadSignature));
            if (!CheckTileData(r, doc.Tiles.size() - 1)) return false;
        }
    }
    return true;
}

// The signature section: whatever lies between the tables and the first tile's data.
bool ReadSignature(ReadState& r) {
    const std::int64_t length = std::int64_t(r.doc.Tiles[0].DataOffset) - r.tablesEnd;
    if (length < 0) return Fail(r, Error(ErrorCode::BadSignature));
    if (length == 0) return true;
    if (!r.in.Available(length)) return Fail(r, Error(ErrorCode::ReadPastEnd));
    Bytes& signature = r.doc.Signature;
    signature.resize(std::size_t(length));
    Error error;
    if (!r.file.ReadAt(r.tablesEnd, signature.data(), signature.size(), error)) return Fail(r, error);
    return true;
}

// Every tile lies inside the file, as its table entry was checked; only one preview per
// level is read, the other images are not needed to check the file.
bool ReadTileData(ReadState& r) {
    JnxDocument& doc = r.doc;
    doc.jpgOffset.resize(doc.Tiles.size());
    doc.Previews.resize(doc.Levels.size());
    Error error;
    std::size_t t = 0;
    for (std::size_t i = 0; i < doc.Levels.size(); ++i) {
        const std::int32_t count = doc.Levels[i].TileCount;
        const std::int64_t preview = PreviewTileOf(count);
        for (std::int32_t j = 1; j <= count; ++j, ++t) {
            const JnxTile& tile = doc.Tiles[t];
            doc.jpgOffset[t] = tile.DataOffset;
            // A tile image far larger than any the device shows is not loaded just to be
            // previewed: one of 2 GiB would cost 2 GiB of memory.
            if (j == preview && tile.DataSize <= kLargestPreview) {
                Bytes data(static_cast<std::size_t>(tile.DataSize));
                if (!r.file.ReadAt(tile.DataOffset, data.data(), data.size(), error)) return Fail(r, error);
                doc.Previews[i] = WithJpegStart(data);
            }
            if (tile.DataOffset > doc.Tiles[r.lastImage].DataOffset) r.lastImage = t;
        }
    }
    return true;
}

// The trailer runs from the end of the last image in the file to the end of the file.
// A foreign one is reported only once the rest has been checked.
bool ReadTrailer(ReadState& r) {
    const JnxTile& last = r.doc.Tiles[r.lastImage];
    const std::int64_t start = std::int64_t(last.DataOffset) + last.DataSize;
    if (r.length - start <= 0) return Fail(r, Error(ErrorCode::ReadPastEnd));
    Error error;
    if (!TrailerIsValid(r.file, start, r.length - start, error, r.trailerValid)) return Fail(r, error);
    return true;
}

// The check points, which the writers read back in their output. A reader that only
// shows the map needs the tables' points alone: the images' points cost one read each.
bool ReadCheckPoints(ReadState& r, bool imageValues) {
    JnxDocument& doc = r.doc;
    Error error;
    doc.CheckPointsTiles.resize(doc.Levels.size());
    for (std::size_t i = 0; i < doc.Levels.size(); ++i) {
        CheckPoint& point = doc.CheckPointsTiles[i];
        point.Offset = doc.Levels[i].TableOffset;
        std::uint8_t raw[4];
        if (!r.file.ReadAt(point.Offset, raw, sizeof raw, error)) return Fail(r, error);
        point.Value = platform::LoadI32(raw);
    }
    if (!imageValues) return true;

    // Visit the images in file order, so the reads go forwards through the file.
    const std::size_t tileCount = doc.Tiles.size();
    doc.CheckPointsImages.resize(tileCount);
    std::vector<std::uint32_t> order(tileCount);
    std::iota(order.begin(), order.end(), 0u);
    const auto byOffset = [&](std::uint32_t a, std::uint32_t b) {
        return doc.Tiles[a].DataOffset < doc.Tiles[b].DataOffset;
    };
    if (!std::is_sorted(order.begin(), order.end(), byOffset)) std::stable_sort(order.begin(), order.end(), byOffset);
    std::vector<std::int64_t> offsets(tileCount);
    for (std::size_t i = 0; i < tileCount; ++i) offsets[i] = doc.Tiles[order[i]].DataOffset;
    std::vector<std::uint8_t> values(tileCount * 4);
    if (!platform::GatherReads(r.file, r.length, offsets, 4, values.data(), error)) return Fail(r, error);
    for (std::size_t i = 0; i < tileCount; ++i) {
        CheckPoint& point = doc.CheckPointsImages[order[i]];
        point.Offset = doc.Tiles[order[i]].DataOffset;
        point.Value = platform::LoadI32(values.data() + 4 * i);
    }
    return true;
}

bool KeepFront(ReadState& r) {
    Error error;
    r.doc.FrontAsRead.resize(std::size_t(std::min(r.length, r.doc.BlockStart + kMapBlockSpan)));
    if (!r.file.ReadAt(0, r.doc.FrontAsRead.data(), r.doc.FrontAsRead.size(), error)) return Fail(r, error);
    return true;
}

// The two faults of a file whose every part could be read: a foreign trailer, and tables
// other than where the level table says they are.
bool CheckTrailerAndTablePlacement(ReadState& r) {
    if (!r.trailerValid) return Fail(r, Error(ErrorCode::BadTrailer));
    for (std::size_t i = 0; i < r.doc.Levels.size(); ++i) {
        if (r.doc.CheckPointsTiles[i].Offset != r.doc.TileOffset[i]) return Fail(r, Error(ErrorCode::TablesMisplaced));
    }
    return true;
}

}  // namespace

bool ReadJnx(JnxDocument& doc, const std::string& path, std::int32_t& totalTiles, Error& error, ReadDepth depth,
             BusyObserver* observer) {
    BusyScope busy(observer);
    ResetJnxDocument(doc);
    doc.OffsetShift = 0;

    ReadState r(doc);
    const bool readTiles = depth != ReadDepth::Quick;
    const bool ok = OpenFile(r, path) && ReadHeader(r) && ReadLevelTable(r) && CountTiles(r, totalTiles) &&
                    ReadMapBlock(r) &&
                    (!readTiles || (ReadTileTables(r) && ReadSignature(r) && ReadTileData(r) && ReadTrailer(r) &&
                                    ReadCheckPoints(r, depth == ReadDepth::Full) &&
                                    CheckTrailerAndTablePlacement(r) && KeepFront(r)));
    if (!ok) {
        // Every failure names the file, whichever stage found it.
        error = std::move(r.failure);
        if (error.file.empty()) error.file = path;
    }
    return ok;
}

}  // namespace jnx
