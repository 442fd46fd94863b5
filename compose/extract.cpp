#include "compose/extract.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "edit/user_input.h"
#include "platform/staged_file.h"
#include "jnx/write_values.h"
#include "platform/fs.h"
#include "platform/gather_read.h"
#include "platform/le.h"

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

}  // namespace

std::string LevelFilePath(const std::string& sourcePath, int level, const std::array<std::string, 5>& levelDirs) {
    const std::string name = platform::BaseNameOf(sourcePath) + "_Level" + std::to_string(level) + ".jnx";
    std::string sourceFolder = platform::ParentFolder(sourcePath);
    if (sourceFolder.empty()) sourceFolder = ".";
    std::string folder = sourceFolder;
    if (level >= 1 && level <= 5) {
        const std::string dir = platform::NormalizeSeparators(jnx::Trim(levelDirs[std::size_t(level - 1)]));
        if (!dir.empty()) {
            std::string wanted = ReplaceCurrent(dir, sourceFolder);
            if (wanted.front() != '/') wanted = platform::JoinPath(sourceFolder, wanted);
            platform::CreateFolderPath(wanted);
            // A folder that cannot be made (a missing drive on the system the settings
            // came from) sends the file beside its source instead.
            if (platform::FolderExists(wanted)) folder = wanted;
        }
    }
    return platform::JoinPath(folder, name);
}

bool ExtractLevel(jnx::JnxDocument& doc, const jnx::EditorValues& window, const std::string& sourcePath,
                  const std::string& destinationPath, int level, bool changeVersion, int targetVersion,
                  const jnx::WriterSettings& settings, std::string& errorText, jnx::BusyObserver* observer) {
    jnx::BusyScope busy(observer);
    std::string error;
    if (level < 1 || std::size_t(level) > doc.Levels.size() || doc.Levels.size() != doc.LevelInfos.size() ||
        doc.Levels.size() != doc.LevelExtras.size()) {
        errorText = "Level " + std::to_string(level) + " does not exist in the file";
        return false;
    }
    const std::size_t index = std::size_t(level - 1);
    const std::size_t first = doc.FirstTileOf(index);
    const std::size_t count = std::size_t(std::max(0, doc.Levels[index].TileCount));
    if (count == 0) {
        errorText = "Level " + std::to_string(level) + " has no tiles";
        return false;
    }
    if (first + count > doc.Tiles.size()) {
        errorText = "The file was not read with its tile tables";
        return false;
    }
    const int version = changeVersion && (targetVersion == 3 || targetVersion == 4) ? targetVersion
                                                                                     : doc.Header.Version;

    jnx::WriteValues values;
    if (!jnx::ResolveWriteValues(doc, window, settings, jnx::ScaleRule::ChoiceOnly, values, errorText))
        return false;

    jnx::JnxMapInfo info = doc.MapInfo;
    info.GroupName = values.groupName;
    info.InfoLevelCount = 1;
    jnx::JnxLevelInfo levelInfo = doc.LevelInfos[index];
    levelInfo.Zoom = values.zooms[index];
    Bytes block;
    if (!jnx::BuildMapBlock(info, {levelInfo}, block, errorText)) return false;

    jnx::JnxHeader header = doc.Header;
    header.Version = version;
    header.LevelCount = 1;
    header.ProductId = values.productId;
    header.ZeroedField5 = 0;
    Bytes front(jnx::kHeaderSize);
    jnx::StoreHeader(header, front.data());
    if (version == 4) jnx::AppendI32(front, doc.Header.DrawOrder);
    const std::size_t levelEntryPos = front.size();
    jnx::JnxLevel entry = doc.Levels[index];
    entry.Scale = values.scales[index];
    front.resize(front.size() + jnx::kLevelEntrySize);
    if (version == 4) {
        jnx::AppendI32(front, doc.LevelExtras[index].Extra);
        jnx::AppendBytes(front, doc.LevelExtras[index].Copyright);
    }
    jnx::AppendBytes(front, block);
    const std::int64_t tableOffset = std::int64_t(front.size());
    std::int64_t dataOffset = tableOffset + std::int64_t(count) * jnx::kTileEntrySize;
    entry.TableOffset = static_cast<std::int32_t>(tableOffset);
    jnx::StoreLevel(entry, &front[levelEntryPos]);

    std::vector<jnx::JnxTile> tiles(doc.Tiles.begin() + std::ptrdiff_t(first),
                                    doc.Tiles.begin() + std::ptrdiff_t(first + count));
    for (auto& tile : tiles) {
        if (tile.DataSize <= 0) {
            errorText = "A tile of level " + std::to_string(level) + " has no image data";
            return false;
        }
        tile.DataOffset = static_cast<std::int32_t>(std::min<std::int64_t>(dataOffset, INT32_MAX));
        dataOffset += tile.DataSize;
        if (dataOffset > INT32_MAX - 8) {
            errorText = "The level is too large for one file";
            return false;
        }
        std::uint8_t raw[jnx::kTileEntrySize];
        jnx::StoreTile(tile, raw);
        front.insert(front.end(), raw, raw + jnx::kTileEntrySize);
    }

    platform::BinaryFile source;
    if (!source.Open(sourcePath, platform::BinaryFile::Mode::Read, error)) {
        errorText = error;
        return false;
    }
    jnx::StagedFile out(destinationPath);
    if (!out.Create(error) || !out.File().WriteAt(0, front.data(), front.size(), error)) {
        errorText = error;
        return false;
    }
    // Images back to back in the source go over in one kernel-side copy.
    std::size_t t = 0;
    while (t < count) {
        const auto& src = doc.Tiles[first + t];
        std::int64_t runLength = src.DataSize;
        std::size_t next = t + 1;
        while (next < count && doc.Tiles[first + next].DataOffset == std::int64_t(src.DataOffset) + runLength) {
            runLength += doc.Tiles[first + next].DataSize;
            ++next;
        }
        if (!out.File().CopyFrom(source, src.DataOffset, tiles[t].DataOffset, runLength, settings.blockSize, error)) {
            errorText = error;
            return false;
        }
        t = next;
    }
    static const std::uint8_t kTrailer[] = {'B', 'i', 'r', 'd', 's', 'E', 'y', 'e'};
    if (!out.File().WriteAt(dataOffset, kTrailer, sizeof kTrailer, error)) {
        errorText = error;
        return false;
    }

    // Every offset written must point at the bytes it stood for in the source: the first
    // tile entry for the table, and for each image the check value the reader took from
    // the source (only the bytes that belong to a tile shorter than four). A source that
    // changed since it was read fails here too.
    std::uint8_t got[4];
    if (!out.File().ReadAt(tableOffset, got, 4, error) ||
        std::memcmp(got, &front[std::size_t(tableOffset)], 4) != 0) {
        errorText = "Verification of the tile table failed";
        return false;
    }
    std::vector<std::int64_t> offsets(count);
    for (std::size_t i = 0; i < count; ++i) offsets[i] = tiles[i].DataOffset;
    std::vector<std::uint8_t> heads(count * 4);
    bool same = doc.CheckPointsImages.size() == doc.Tiles.size() &&
                platform::GatherReads(out.File(), dataOffset + std::int64_t(sizeof kTrailer), offsets, 4, heads.data(),
                                      error);
    for (std::size_t i = 0; same && i < count; ++i) {
        const std::uint32_t mask = jnx::CheckMask(tiles[i].DataSize);
        same = (static_cast<std::uint32_t>(platform::LoadI32(&heads[4 * i])) & mask) ==
               (static_cast<std::uint32_t>(doc.CheckPointsImages[first + i].Value) & mask);
    }
    if (!same) {
        errorText = "Verification of the tile images failed";
        return false;
    }
    if (!out.Publish(error)) {
        errorText = error;
        return false;
    }

    doc.Header.LevelCount = 1;
    doc.Header.ZeroedField5 = 0;
    doc.Header.ProductId = values.productId;
    doc.Levels[index].Scale = values.scales[index];
    doc.MapInfo.GroupName = values.groupName;
    doc.MapInfo.InfoLevelCount = 1;
    doc.LevelInfos[index].Zoom = levelInfo.Zoom;
    doc.Padding.assign(block.begin() + std::ptrdiff_t(jnx::MapBlockLength(info, {levelInfo})), block.end());
    return true;
}

}  // namespace compose
