#include "convert/import_jnx.h"

#include "convert/import_plan.h"
#include "jnx/reader.h"
#include "jnx/write_values.h"
#include "platform/le.h"
#include "platform/new_file.h"

namespace convert {

namespace {

using platform::Error;
using platform::ErrorCode;
using platform::Fail;

// Tile bodies are gathered into writes of this size: one write per tile would cost more
// in system calls than the copying itself.
constexpr std::size_t kWriteChunk = std::size_t(4) << 20;

// The second pass: each tile must be the one planned, byte for byte as far as the plan
// knows it, or the source has changed since it was planned.
bool CopyTiles(TileSource& source, const std::string& sourcePath, const ImportPlan& plan, platform::BinaryFile& out,
               std::int64_t& position, Error& error, const ImportProgress& progress) {
    const Error changed = Error(ErrorCode::FileChangedWhileRead).File(sourcePath);
    const auto total = std::int64_t(plan.tiles.size());
    std::size_t next = 0;
    jnx::Bytes buffer;
    buffer.reserve(kWriteChunk);
    const auto flush = [&](Error& e) {
        if (!buffer.empty() && !out.WriteAt(position, buffer.data(), buffer.size(), e)) return false;
        position += std::int64_t(buffer.size());
        buffer.clear();
        return true;
    };
    for (std::size_t k = 0; k < plan.zooms.size(); ++k) {
        const std::size_t levelEnd = next + std::size_t(plan.front.levels[k].TileCount);
        const auto visit = [&](const TileKey& key, const std::uint8_t* data, std::size_t size, Error& e) {
            if (next == levelEnd) return Fail(e, changed);
            const PlannedTile& planned = plan.tiles[next];
            if (!(planned.key == key) || std::int64_t(size) != planned.size || size < 6 || data[0] != 0xFF ||
                data[1] != 0xD8 || platform::LoadI32(data + 2) != planned.head)
                return Fail(e, changed);
            // Stored without its FF D8, as every JNX tile is.
            if (buffer.size() + size > kWriteChunk && !flush(e)) return false;
            if (size - 2 > kWriteChunk) {
                if (!out.WriteAt(position, data + 2, size - 2, e)) return false;
                position += std::int64_t(size - 2);
            } else {
                buffer.insert(buffer.end(), data + 2, data + size);
            }
            ++next;
            if (progress && next % 256 == 0) progress("writing", std::int64_t(next), total);
            return true;
        };
        if (!source.Copy(plan.zooms[k], visit, error)) return false;
        if (next != levelEnd) return Fail(error, changed);
    }
    return flush(error);
}

// The map read back as the reader of every other command reads it: the structure sound,
// every tile where the plan put it, and each image starting with the bytes it was given.
bool ReadsBackAsPlanned(const ImportPlan& plan, const std::string& path, Error& error) {
    jnx::JnxDocument doc;
    std::int32_t total = 0;
    if (!jnx::ReadJnx(doc, path, total, error, jnx::ReadDepth::Full)) return false;
    const jnx::FrontPart& front = plan.front;
    bool same = !doc.NeedsRegeneration && doc.Header.Version == front.header.Version &&
                doc.Header.Bounds == front.header.Bounds && doc.Levels.size() == front.levels.size() &&
                doc.Tiles.size() == front.tiles.size() && doc.CheckPointsImages.size() == front.tiles.size();
    for (std::size_t k = 0; same && k < front.levels.size(); ++k)
        same = doc.Levels[k].TileCount == front.levels[k].TileCount && doc.Levels[k].Scale == front.levels[k].Scale;
    for (std::size_t i = 0; same && i < front.tiles.size(); ++i) {
        const jnx::JnxTile& meant = front.tiles[i];
        const jnx::JnxTile& read = doc.Tiles[i];
        const std::uint32_t mask = jnx::CheckMask(meant.DataSize);
        same = read.TileBounds == meant.TileBounds && read.TileAux == meant.TileAux &&
               read.DataSize == meant.DataSize && doc.jpgOffset[i] == meant.DataOffset &&
               (std::uint32_t(doc.CheckPointsImages[i].Value) & mask) == (std::uint32_t(plan.tiles[i].head) & mask);
    }
    return same || Fail(error, Error(ErrorCode::WrittenImagesDiffer));
}

}  // namespace

bool ImportTiles(const std::string& sourcePath, const std::string& outPath, const ImportOptions& options,
                 ImportResult& result, Error& error, const ImportProgress& progress) {
    std::unique_ptr<TileSource> source;
    if (!OpenTileSource(sourcePath, source, error)) return false;
    ImportPlan plan;
    if (!PlanImport(*source, sourcePath, options, plan, error, progress)) return false;
    jnx::Bytes front;
    if (!jnx::BuildFrontPart(plan.front, front, error)) return false;

    platform::NewFile out(outPath);
    if (!out.Create(error) || !out.File().WriteAt(0, front.data(), front.size(), error)) return false;
    std::int64_t position = std::int64_t(front.size());
    if (!CopyTiles(*source, sourcePath, plan, out.File(), position, error, progress) ||
        !out.File().WriteAt(position, jnx::kTrailer, sizeof jnx::kTrailer, error))
        return false;
    const auto verify = [&](platform::BinaryFile&, Error& e) { return ReadsBackAsPlanned(plan, out.TemporaryPath(), e); };
    if (!out.Publish(error, verify)) return false;
    result.zooms = plan.zooms;
    result.tiles = std::int64_t(plan.tiles.size());
    result.length = position + std::int64_t(sizeof jnx::kTrailer);
    return true;
}

}  // namespace convert
