#include "compose/extract.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "jnx/front_part.h"
#include "jnx/product_id_copy.h"
#include "jnx/write_values.h"
#include "platform/new_file.h"
#include "platform/fs.h"
#include "platform/text.h"

namespace compose {
namespace {

using jnx::Bytes;

// Replaces every "$CURRENT" (in any case) by folder.
std::string ReplaceCurrent(const std::string& text, const std::string& folder) {
    static const std::string kToken = "$CURRENT";
    std::string result;
    std::size_t i = 0;
    while (i < text.size()) {
        const bool match = text.size() - i >= kToken.size() &&
                           std::equal(kToken.begin(), kToken.end(), text.begin() + std::ptrdiff_t(i),
                                      [](char a, char b) { return a == std::toupper(static_cast<unsigned char>(b)); });
        if (match) {
            result += folder;
            i += kToken.size();
        } else {
            result += text[i++];
        }
    }
    return result;
}

// A question asked before anything is written must not make the folders it asks about.
bool CouldMakeFolder(const std::string& folder) {
    std::string standing = folder;
    while (!standing.empty() && !platform::NameTaken(standing)) standing = platform::ParentFolder(standing);
    platform::Error ignored;
    if (standing.empty()) standing = ".";
    return platform::FolderExists(standing) && platform::CanWriteInto(standing, ignored);
}

}  // namespace

std::string LevelFilePath(const std::string& sourcePath, int level,
                          const std::array<std::string, jnx::device::kMaxLevels>& levelDirs, bool planOnly) {
    const std::string name = platform::BaseNameOf(sourcePath) + "_Level" + std::to_string(level) + ".jnx";
    std::string sourceFolder = platform::ParentFolder(sourcePath);
    if (sourceFolder.empty()) sourceFolder = ".";
    std::string folder = sourceFolder;
    if (level >= 1 && level <= jnx::device::kMaxLevels) {
        const std::string dir = platform::NormalizeSeparators(platform::Trim(levelDirs[std::size_t(level - 1)]));
        if (!dir.empty()) {
            std::string wanted = ReplaceCurrent(dir, sourceFolder);
            if (wanted.front() != '/') wanted = platform::JoinPath(sourceFolder, wanted);
            // A folder that cannot be made (a missing drive on the system the settings
            // came from) sends the file beside its source instead.
            platform::Error ignored;
            if (planOnly ? CouldMakeFolder(wanted) : platform::CreateFolderPath(wanted, ignored)) folder = wanted;
        }
    }
    return platform::JoinPath(folder, name);
}

namespace {

using platform::Error;
using platform::ErrorCode;
using platform::Fail;

// The one level as a file of its own: its entry, block entry and tiles, laid out back to back.
bool LevelFrontPart(const jnx::JnxDocument& doc, const jnx::WriteValues& values, int version, std::size_t index,
                    jnx::FrontPart& front, Error& error) {
    const std::size_t first = doc.FirstTileOf(index);
    const std::size_t count = std::size_t(doc.Levels[index].TileCount);
    front.header = doc.Header;
    front.header.Version = version;
    front.header.ProductId = values.productId;
    front.header.DrawOrder = values.drawOrder;
    jnx::JnxLevel entry = doc.Levels[index];
    entry.Scale = values.scales[index];
    front.levels = {entry};
    front.levelCopyrights = {doc.LevelExtras[index].Copyright};
    front.mapInfo = doc.MapInfo;
    front.mapInfo.GroupName = values.groupName;
    front.mapInfo.ReservedBytes =
        jnx::ReservedBytesFor(doc.MapInfo.ReservedBytes, doc.Header.ProductId, values.productId);
    jnx::JnxLevelInfo levelInfo = doc.LevelInfos[index];
    levelInfo.Zoom = values.zooms[index];
    front.levelInfos = {levelInfo};
    front.tiles.assign(doc.Tiles.begin() + std::ptrdiff_t(first), doc.Tiles.begin() + std::ptrdiff_t(first + count));
    if (!jnx::PlaceTilesBackToBack(front, error)) {
        if (error.code == ErrorCode::TileWithoutData) error = Error(ErrorCode::LevelTileWithoutData);
        error.Level(std::int64_t(index) + 1);
        return false;
    }
    return true;
}

// Images back to back in the source go over in one kernel-side copy.
bool CopyImages(const jnx::JnxDocument& doc, std::size_t first, const std::vector<jnx::JnxTile>& placed,
                const platform::BinaryFile& source, platform::BinaryFile& out, std::int64_t chunk,
                jnx::BusyObserver* observer, Error& error) {
    std::int64_t total = 0, copied = 0;
    for (std::size_t i = 0; i < placed.size(); ++i) total += doc.Tiles[first + i].DataSize;
    std::size_t t = 0;
    while (t < placed.size()) {
        const auto& src = doc.Tiles[first + t];
        std::int64_t runLength = src.DataSize;
        std::size_t next = t + 1;
        while (next < placed.size() && doc.Tiles[first + next].DataOffset == std::int64_t(src.DataOffset) + runLength) {
            runLength += doc.Tiles[first + next].DataSize;
            ++next;
        }
        if (jnx::Cancelled(observer)) return Fail(error, Error(ErrorCode::Cancelled));
        if (!out.CopyFrom(source, src.DataOffset, placed[t].DataOffset, runLength, chunk, error,
                          jnx::ReportCopies(observer, copied, total)))
            return false;
        copied += runLength;
        t = next;
    }
    return true;
}

// Every offset written must point at the bytes it stood for in the source: the first
// tile entry for the table, and for each image the check value the reader took from
// the source (only the bytes that belong to a tile shorter than four). A source that
// changed since it was read fails here too.
bool VerifyLevelFile(const jnx::JnxDocument& doc, std::size_t first, const jnx::FrontPart& front,
                     const jnx::Bytes& bytes, const platform::BinaryFile& file, const std::string& path, Error& error) {
    const std::int64_t tablesStart = jnx::TablesStart(front);
    std::uint8_t got[4];
    if (!file.ReadAt(tablesStart, got, 4, error)) return false;
    if (std::memcmp(got, &bytes[std::size_t(tablesStart)], 4) != 0)
        return Fail(error, Error(ErrorCode::WrittenTablesDiffer).File(path));
    std::vector<jnx::ExpectedHead> heads;
    for (std::size_t i = 0; i < front.tiles.size(); ++i)
        heads.push_back({front.tiles[i].DataOffset, front.tiles[i].DataSize, doc.CheckPointsImages[first + i].Value});
    bool match = false;
    if (!jnx::HeadsMatch(file, heads, match, error) || !match)
        return Fail(error, Error(ErrorCode::WrittenImagesDiffer).File(path));
    return true;
}

}  // namespace

bool ExtractLevel(const jnx::JnxDocument& doc, const jnx::WriteValues& values, int version, const std::string& sourcePath,
                  const std::string& destinationPath, int level, const jnx::WriterSettings& settings, Error& error,
                  jnx::BusyObserver* observer) {
    jnx::BusyScope busy(observer);
    if (level < 1 || std::size_t(level) > doc.Levels.size() || doc.Levels.size() != doc.LevelInfos.size() ||
        doc.Levels.size() != doc.LevelExtras.size() || values.scales.size() != doc.Levels.size() ||
        values.zooms.size() != doc.Levels.size())
        return Fail(error, Error(ErrorCode::NoSuchLevel).Level(level));
    if (version != 3 && version != 4) return Fail(error, Error(ErrorCode::BadTargetVersion));
    const std::size_t index = std::size_t(level - 1);
    const std::size_t first = doc.FirstTileOf(index);
    if (doc.Levels[index].TileCount <= 0) return Fail(error, Error(ErrorCode::LevelWithoutTiles).Level(level));
    if (!doc.ReadForWriting() || first + std::size_t(doc.Levels[index].TileCount) > doc.Tiles.size())
        return Fail(error, Error(ErrorCode::NotReadWithTables).File(sourcePath));

    jnx::FrontPart front;
    jnx::Bytes bytes;
    if (!LevelFrontPart(doc, values, version, index, front, error) || !jnx::BuildFrontPart(front, bytes, error))
        return false;
    const std::int64_t dataEnd = front.tiles.back().DataOffset + std::int64_t(front.tiles.back().DataSize);

    platform::BinaryFile source;
    if (!source.Open(sourcePath, platform::BinaryFile::Mode::Read, error)) return false;
    platform::NewFile out(destinationPath, jnx::ChosenNameTarget(settings));
    if (!out.Create(error) || !out.File().WriteAt(0, bytes.data(), bytes.size(), error) ||
        !CopyImages(doc, first, front.tiles, source, out.File(), jnx::CopyChunkFor(observer, settings.blockSize),
                    observer, error) ||
        !out.File().WriteAt(dataEnd, jnx::kTrailer, sizeof jnx::kTrailer, error))
        return false;
    if (jnx::Cancelled(observer)) return Fail(error, Error(ErrorCode::Cancelled).File(destinationPath));
    const auto verify = [&](platform::BinaryFile& file, Error& e) {
        return VerifyLevelFile(doc, first, front, bytes, file, destinationPath, e);
    };
    return out.Publish(error, verify);
}

}  // namespace compose
