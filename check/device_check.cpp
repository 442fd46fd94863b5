#include "check/device_check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <map>
#include <numeric>
#include <system_error>

#include "check/jpeg_header.h"
#include "check/level_resolution.h"
#include "jnx/device_limits.h"
#include "jnx/product_id_copy.h"
#include "jnx/reader.h"
#include "platform/gather_read.h"
#include "settings/level_ranges.h"

namespace check {
namespace {

namespace device = jnx::device;
using platform::Error;


double Degrees(std::int32_t units) { return double(units) * 180.0 / 2147483648.0; }

std::string Hex2(std::uint8_t b) {
    static const char* kDigits = "0123456789ABCDEF";
    return {kDigits[b >> 4], kDigits[b & 15]};
}

Finding& Add(std::vector<Finding>& out, FindingCode code, std::int64_t level = 0, std::int64_t tile = 0) {
    Finding& f = out.emplace_back();
    f.code = code, f.level = level, f.tile = tile;
    return f;
}

void CheckLevels(const jnx::JnxDocument& doc, std::vector<Finding>& out) {
    const auto count = std::int64_t(doc.Levels.size());
    if (count > device::kMaxLevels) {
        Finding& f = Add(out, FindingCode::LevelsOverLimit);
        f.a = count, f.b = device::kMaxLevels, f.c = device::kMaxLevels + 1;
        f.variant = count == device::kMaxLevels + 1 ? 0 : 1;
    }
    for (std::size_t i = 0; i < doc.Levels.size(); ++i) {
        if (doc.Levels[i].TileCount > device::kMaxTilesPerLevel) {
            Finding& f = Add(out, FindingCode::TilesOverLimit, std::int64_t(i) + 1);
            f.a = doc.Levels[i].TileCount, f.b = device::kMaxTilesPerLevel;
        }
    }
}

// Each repeat is reported at the later level, naming the first that has the value.
template <typename ValueOf, typename NameOf>
void CheckRepeats(std::size_t count, ValueOf valueOf, NameOf nameOf, FindingCode code, std::vector<Finding>& out) {
    std::map<std::int32_t, std::size_t> first;
    for (std::size_t i = 0; i < count; ++i) {
        const auto [at, fresh] = first.emplace(valueOf(i), i);
        if (fresh) continue;
        Finding& f = Add(out, code, std::int64_t(i) + 1);
        f.a = valueOf(i), f.b = std::int64_t(at->second) + 1;
        f.text = nameOf(valueOf(i));
        f.variant = f.text.empty() ? 0 : 1;
    }
}

std::string RowNameOf(const std::vector<settings::ZoomLevelEntry>* rows, std::int32_t scale) {
    if (rows == nullptr) return {};
    const settings::ZoomMatch match = settings::RowForScale(*rows, scale);
    if (match.row < 0 || std::size_t(match.row) >= rows->size()) return {};
    return (*rows)[std::size_t(match.row)].Name;
}

void CheckHeader(const jnx::JnxDocument& doc, const std::vector<settings::ZoomLevelEntry>* zoomRows,
                 std::vector<Finding>& out) {
    if (doc.FileLength > device::kMaxFileLength) Add(out, FindingCode::FileOverLimit).a = doc.FileLength;
    const std::int32_t order = doc.Header.DrawOrder;
    if (doc.Header.Version == 4 && (order < device::kMinDrawOrder || order > device::kMaxDrawOrder)) {
        Finding& f = Add(out, FindingCode::DrawOrderRange);
        f.a = order, f.b = device::kMinDrawOrder, f.c = device::kMaxDrawOrder;
    }
    CheckRepeats(
        doc.LevelInfos.size(), [&](std::size_t i) { return doc.LevelInfos[i].Zoom; },
        [](std::int32_t) { return std::string(); }, FindingCode::ZoomDuplicate, out);
    CheckRepeats(
        doc.Levels.size(), [&](std::size_t i) { return doc.Levels[i].Scale; },
        [&](std::int32_t scale) { return RowNameOf(zoomRows, scale); }, FindingCode::ScaleDuplicate, out);
    const auto& reserved = doc.MapInfo.ReservedBytes;
    if (!jnx::CopyInStep(reserved, doc.Header.ProductId)) {
        Finding& f = Add(out, FindingCode::ProductIdCopy);
        f.a = doc.Header.ProductId;
        f.text = Hex2(reserved[0]) + " " + Hex2(reserved[1]) + " " + Hex2(reserved[2]);
        f.variant = jnx::ProductIdCopy(doc.Header.ProductId) ? 0 : 1;
    }
}

// Reported once, at the first level coarser than the one before it.
void CheckLevelOrder(const jnx::JnxDocument& doc, std::vector<Finding>& out) {
    for (std::size_t i = 1; i < doc.Levels.size(); ++i) {
        if (doc.Levels[i].Scale <= doc.Levels[i - 1].Scale) continue;
        Finding& f = Add(out, FindingCode::LevelsNotCoarseToFine, std::int64_t(i) + 1);
        f.a = doc.Levels[i].Scale, f.b = std::int64_t(i), f.c = doc.Levels[i - 1].Scale;
        return;
    }
}

struct Box {
    double north, east, south, west;
};

Box BoxOf(const std::array<std::int32_t, 4>& bounds) {
    return {Degrees(bounds[0]), Degrees(bounds[1]), Degrees(bounds[2]), Degrees(bounds[3])};
}

void CheckBounds(const jnx::JnxDocument& doc, std::vector<Finding>& out) {
    const Box map = BoxOf(doc.Header.Bounds);
    const bool valid = map.north >= map.south && map.east >= map.west && std::abs(map.north) <= 90 &&
                       std::abs(map.south) <= 90 && std::abs(map.east) <= 180 && std::abs(map.west) <= 180;
    if (!valid) {
        Finding& f = Add(out, FindingCode::BoundsInvalid);
        const auto millionths = [](double degrees) { return std::llround(degrees * 1e6); };
        f.a = millionths(map.north);
        f.b = millionths(map.east);
        f.c = millionths(map.south);
        f.d = millionths(map.west);
        return;  // no tile can be judged against them
    }
    std::size_t t = 0;
    for (std::size_t i = 0; i < doc.Levels.size(); ++i) {
        for (std::int32_t j = 0; j < doc.Levels[i].TileCount && t < doc.Tiles.size(); ++j, ++t) {
            const Box tile = BoxOf(doc.Tiles[t].TileBounds);
            // Touching an edge is inside: neighbouring maps share their borders.
            if (tile.south >= map.north || tile.north <= map.south || tile.west >= map.east || tile.east <= map.west)
                Add(out, FindingCode::TileOutsideBounds, std::int64_t(i) + 1, j + 1);
        }
    }
}

// Rows are about twice apart, so two rows is a level whose pixels show at a quarter of
// their size (sixteen times the tiles drawn) or four times it.
constexpr int kRowsFarFromImagery = 2;

void CheckScales(const jnx::JnxDocument& doc, const std::vector<settings::ZoomLevelEntry>* zoomRows, double factor,
                 const platform::BinaryFile* file, std::vector<Finding>& out) {
    if (zoomRows == nullptr || zoomRows->empty() || doc.Tiles.empty()) return;
    const std::vector<LevelResolution> measured = MeasureLevels(doc, file);
    for (std::size_t k = 0; k < measured.size(); ++k) {
        if (!measured[k].Known()) continue;
        const std::int32_t scale = doc.Levels[k].Scale, native = measured[k].NativeScale(factor);
        const int shown = settings::CoarsestQualifyingRow(*zoomRows, scale, factor);
        const int meant = settings::CoarsestQualifyingRow(*zoomRows, native, factor);
        if (std::abs(shown - meant) < kRowsFarFromImagery) continue;
        Finding& f = Add(out, FindingCode::ScaleFarFromImagery, std::int64_t(k) + 1);
        f.a = scale, f.b = native, f.c = std::abs(shown - meant);
        f.variant = shown < 0 ? 2 : shown > meant ? 0 : 1;
        if (shown >= 0) f.text = (*zoomRows)[std::size_t(shown)].Name;
    }
}

// Level (1-based) and tile within it of every tile, by tile index.
std::vector<std::pair<std::int64_t, std::int64_t>> TilePlaces(const jnx::JnxDocument& doc) {
    std::vector<std::pair<std::int64_t, std::int64_t>> places;
    places.reserve(doc.Tiles.size());
    for (std::size_t i = 0; i < doc.Levels.size(); ++i)
        for (std::int32_t j = 0; j < doc.Levels[i].TileCount; ++j) places.emplace_back(std::int64_t(i) + 1, j + 1);
    places.resize(doc.Tiles.size(), {0, 0});
    return places;
}

constexpr std::size_t kFirstRead = 4096;

void JudgeFrame(const JpegFrame& frame, const jnx::JnxTile& tile, std::int64_t level, std::int64_t number,
                std::vector<Finding>& out) {
    if (frame.status != JpegFrame::Status::Found) {
        Add(out, FindingCode::TileNotJpeg, level, number);
        return;
    }
    if (NeedsBaselineDecoder(frame.marker))
        Add(out, FindingCode::TileProgressive, level, number).text = Hex2(frame.marker);
    const int width = tile.TileAux[0] | (tile.TileAux[1] << 8);
    const int height = tile.TileAux[2] | (tile.TileAux[3] << 8);
    if (frame.width != width || frame.height != height) {
        Finding& f = Add(out, FindingCode::TileSizeMismatch, level, number);
        f.a = frame.width, f.b = frame.height, f.c = width, f.d = height;
    }
}

// One tile's header walk: its first bytes, then a window from wherever the walk goes on,
// so a large segment before the frame header is skipped, never read.
bool WalkTile(platform::ReadAhead& source, const jnx::JnxTile& tile, bool& hasSoi, JpegFrame& frame, Error& error) {
    const auto size = std::size_t(tile.DataSize);
    const std::uint8_t* window = nullptr;
    std::size_t length = std::min(size, kFirstRead);
    if (!source.Get(tile.DataOffset, length, window, error)) return false;
    hasSoi = length >= 2 && window[0] == 0xFF && window[1] == 0xD8;
    // A tile that still carries its start marker is walked from after it: the warning
    // says what is wrong, and the rest of the image may be sound.
    std::size_t at = hasSoi ? 2 : 0;
    const std::uint8_t* begin = window + at;
    length -= at;
    for (;;) {
        frame = WalkToFrame(begin, length);
        if (frame.status != JpegFrame::Status::NeedMore) return true;
        if (frame.resume + frame.needed > size - at) {
            frame = JpegFrame{};  // the image ends first
            return true;
        }
        at += frame.resume;
        length = std::min(size - at, std::max(kFirstRead, frame.needed));
        if (!source.Get(std::int64_t(tile.DataOffset) + std::int64_t(at), length, begin, error)) return false;
    }
}

}  // namespace

std::vector<Finding> CheckStructure(const jnx::JnxDocument& doc, const std::vector<settings::ZoomLevelEntry>* zoomRows,
                                    std::optional<double> scaleFactor, const platform::BinaryFile* file) {
    std::vector<Finding> out;
    CheckLevels(doc, out);
    CheckHeader(doc, zoomRows, out);
    CheckLevelOrder(doc, out);
    if (scaleFactor) CheckScales(doc, zoomRows, *scaleFactor, file, out);
    CheckBounds(doc, out);
    return out;
}

bool CheckTileHeads(const jnx::JnxDocument& doc, const platform::BinaryFile& file, bool deep,
                    std::vector<Finding>& findings, Error& error) {
    // File order, so the reads go forwards through the file.
    std::vector<std::size_t> order(doc.Tiles.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return doc.Tiles[a].DataOffset < doc.Tiles[b].DataOffset; });
    const auto places = TilePlaces(doc);
    std::vector<std::pair<std::size_t, Finding>> found;  // by tile index, so the report follows the levels
    auto note = [&](std::size_t t, std::vector<Finding>&& tileFindings) {
        for (auto& f : tileFindings) found.emplace_back(t, std::move(f));
    };

    if (deep) {
        std::int64_t fileLength = 0;
        if (!file.Size(fileLength, error)) return false;
        platform::ReadAhead source(file, fileLength);
        for (std::size_t t : order) {
            const jnx::JnxTile& tile = doc.Tiles[t];
            if (tile.DataSize <= 0) continue;
            bool hasSoi = false;
            JpegFrame frame;
            if (!WalkTile(source, tile, hasSoi, frame, error)) return false;
            std::vector<Finding> tileFindings;
            if (hasSoi)
                Add(tileFindings, FindingCode::TileHasSoi, places[t].first, places[t].second);
            JudgeFrame(frame, tile, places[t].first, places[t].second, tileFindings);
            note(t, std::move(tileFindings));
        }
    } else {
        std::vector<std::size_t> heads;
        std::vector<std::int64_t> offsets;
        for (std::size_t t : order) {
            if (doc.Tiles[t].DataSize < 2) continue;
            heads.push_back(t);
            offsets.push_back(doc.Tiles[t].DataOffset);
        }
        std::vector<std::uint8_t> bytes(offsets.size() * 2);
        if (doc.ReadForWriting()) {
            // A full read holds each image's first four bytes as its check value (little-endian).
            for (std::size_t k = 0; k < heads.size(); ++k) {
                const auto value = static_cast<std::uint32_t>(doc.CheckPointsImages[heads[k]].Value);
                bytes[2 * k] = std::uint8_t(value);
                bytes[2 * k + 1] = std::uint8_t(value >> 8);
            }
        } else {
            std::int64_t length = 0;
            if (!file.Size(length, error)) return false;
            if (!platform::GatherReads(file, length, offsets, 2, bytes.data(), error)) return false;
        }
        for (std::size_t k = 0; k < heads.size(); ++k) {
            if (bytes[2 * k] == 0xFF && bytes[2 * k + 1] == 0xD8) {
                const std::size_t t = heads[k];
                std::vector<Finding> soi;
                Add(soi, FindingCode::TileHasSoi, places[t].first, places[t].second);
                note(t, std::move(soi));
            }
        }
    }
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [t, f] : found) findings.push_back(std::move(f));
    return true;
}

bool ReadTileFrame(const platform::BinaryFile& file, const jnx::JnxTile& tile, JpegFrame& frame, Error& error) {
    std::int64_t fileLength = 0;
    if (!file.Size(fileLength, error)) return false;
    // One tile alone: no reading ahead beyond what its walk needs.
    platform::ReadAhead source(file, fileLength, std::int64_t(kFirstRead));
    bool hasSoi = false;
    return WalkTile(source, tile, hasSoi, frame, error);
}

MapReport CheckMapFile(const std::string& path, bool deep, const std::vector<settings::ZoomLevelEntry>* zoomRows,
                       std::optional<double> scaleFactor) {
    MapReport report;
    report.path = path;
    jnx::JnxDocument doc;
    std::int32_t total = 0;
    try {
        report.read = jnx::ReadJnx(doc, path, total, report.error, jnx::ReadDepth::Tables);
        if (report.read) {
            platform::BinaryFile file;
            report.read = file.Open(path, platform::BinaryFile::Mode::Read, report.error);
            report.findings = CheckStructure(doc, zoomRows, scaleFactor, report.read ? &file : nullptr);
            report.read = report.read && CheckTileHeads(doc, file, deep, report.findings, report.error);
            if (!report.read && report.error.file.empty()) report.error.file = path;
        }
    } catch (const std::exception& e) {
        // Memory for a hostile table: the map is reported unread, the others still checked.
        report.read = false;
        report.error = Error(platform::ErrorCode::CannotRead).File(path).Detail(e.what());
    }
    if (!report.read) {
        // The offsets cannot address such a file, so the reader refuses it; its length
        // alone says what the user must do.
        std::error_code ec;
        const auto length = std::filesystem::file_size(std::filesystem::path(path), ec);
        if (!ec && std::int64_t(length) > device::kMaxFileLength) {
            report.findings.clear();
            Add(report.findings, FindingCode::FileOverLimit).a = std::int64_t(length);
        }
    }
    return report;
}

}  // namespace check
