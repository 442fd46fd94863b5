#include "support/jnx_builder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

namespace fixture {
namespace {

void PutI32(Bytes& out, std::int32_t v) {
    auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(u >> (8 * i)));
}

void PutZ(Bytes& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

void SetI32(Bytes& out, std::int64_t pos, std::int32_t v) {
    auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i) out[std::size_t(pos + i)] = std::uint8_t(u >> (8 * i));
}

}  // namespace

BuiltJnx BuildJnx(const JnxRecipe& recipe) {
    BuiltJnx built;
    Bytes& out = built.bytes;
    const auto levelCount = static_cast<std::int32_t>(recipe.levels.size());

    PutI32(out, recipe.version);
    PutI32(out, recipe.zeroedFields[0]);
    for (auto b : recipe.bounds) PutI32(out, b);
    PutI32(out, levelCount);
    PutI32(out, recipe.zeroedFields[1]);
    PutI32(out, recipe.productId);
    for (const int i : {2, 3, 4}) PutI32(out, recipe.zeroedFields[std::size_t(i)]);
    if (recipe.version == 4) PutI32(out, recipe.drawOrder);

    std::vector<std::int64_t> tableOffsetFields;
    for (const auto& level : recipe.levels) {
        PutI32(out, static_cast<std::int32_t>(level.tiles.size()));
        tableOffsetFields.push_back(std::int64_t(out.size()));
        PutI32(out, 0);
        built.scalePositions.push_back(std::int64_t(out.size()));
        PutI32(out, level.scale);
        if (recipe.version == 4) {
            PutI32(out, level.extra);
            PutZ(out, level.tableCopyrightSet ? level.tableCopyright : level.copyright);
        }
    }

    built.blockStart = std::int64_t(out.size());
    if (recipe.withMapBlock) {
        PutI32(out, recipe.blockVersion);
        PutZ(out, recipe.guid);
        built.groupNamePos = std::int64_t(out.size());
        PutZ(out, recipe.groupName);
        out.insert(out.end(), recipe.reserved.begin(), recipe.reserved.end());
        PutZ(out, recipe.mapTitle);
        PutI32(out, levelCount);
        for (std::size_t i = 0; i < recipe.levels.size(); ++i) {
            const auto& level = recipe.levels[i];
            for (const std::string* text : {&level.name, &level.description, &level.copyright}) PutZ(out, *text);
            if (!(recipe.lastZoomMissing && i + 1 == recipe.levels.size())) PutI32(out, level.zoom);
        }
    }
    const auto blockLength = std::int64_t(out.size()) - built.blockStart;
    const std::int64_t gap = recipe.gap < 0 ? 1024 - blockLength : recipe.gap;
    if (gap < 0) throw std::runtime_error("fixture block longer than 1024 bytes");
    out.resize(out.size() + std::size_t(gap), 0);

    built.firstTableOffset = std::int64_t(out.size());
    std::vector<std::int64_t> dataOffsetFields;
    std::vector<const TileRecipe*> tiles;
    for (std::size_t i = 0; i < recipe.levels.size(); ++i) {
        built.tableOffsets.push_back(std::int64_t(out.size()));
        SetI32(out, tableOffsetFields[i], static_cast<std::int32_t>(out.size()));
        for (const auto& tile : recipe.levels[i].tiles) {
            for (auto b : tile.bounds) PutI32(out, b);
            out.insert(out.end(), tile.aux.begin(), tile.aux.end());
            PutI32(out, static_cast<std::int32_t>(tile.data.size()));
            dataOffsetFields.push_back(std::int64_t(out.size()));
            PutI32(out, 0);
            tiles.push_back(&tile);
        }
    }
    out.insert(out.end(), recipe.signature.begin(), recipe.signature.end());

    built.dataOffsets.assign(tiles.size(), 0);
    std::vector<std::size_t> order(tiles.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    if (recipe.reverseDataOrder) std::reverse(order.begin(), order.end());
    for (auto t : order) {
        built.dataOffsets[t] = std::int64_t(out.size());
        SetI32(out, dataOffsetFields[t], static_cast<std::int32_t>(out.size()));
        out.insert(out.end(), tiles[t]->data.begin(), tiles[t]->data.end());
    }
    out.insert(out.end(), recipe.trailer.begin(), recipe.trailer.end());
    return built;
}

Bytes MakeTileData(int seed, std::size_t size) {
    if (size < 4) size = 4;
    Bytes data(size);
    // Starts like a JPEG's APP0 segment after FF D8, so it looks like a stored tile.
    const std::uint8_t head[] = {0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0};
    std::mt19937 rng(static_cast<unsigned>(seed) * 2654435761u + 1u);
    for (std::size_t i = 0; i < size; ++i) data[i] = i < sizeof head ? head[i] : std::uint8_t(rng());
    data[size - 2] = 0xFF, data[size - 1] = 0xD9;
    // Make the first four bytes differ between seeds so check values tell tiles apart.
    data[2] = std::uint8_t(seed), data[3] = std::uint8_t(seed >> 8);
    return data;
}

JnxRecipe SimpleRecipe(int version, int levels, int tilesPerLevel) {
    JnxRecipe recipe;
    recipe.version = version;
    const std::int32_t scales[] = {76437, 19109, 4777, 1194, 298, 75, 75, 75};
    int seed = 1;
    for (int i = 0; i < levels; ++i) {
        LevelRecipe level;
        level.scale = scales[i % 8], level.zoom = i + 1;
        level.name = "Level " + std::to_string(i + 1);
        level.copyright = "(c) Test " + std::string(std::size_t(i), 'x');
        for (int j = 0; j < tilesPerLevel; ++j, ++seed)
            level.tiles.push_back(
                {MakeTileData(seed, 20 + std::size_t((seed * 37) % 300)), {seed, seed + 1, seed + 2, seed + 3}});
        recipe.levels.push_back(level);
    }
    return recipe;
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

void WriteWithHole(const std::string& path, const BuiltJnx& built, std::size_t fromTile, std::int64_t to) {
    const std::int64_t from = built.dataOffsets.at(fromTile);
    Bytes front(built.bytes.begin(), built.bytes.begin() + std::ptrdiff_t(from));
    for (std::size_t t = 0; t < built.dataOffsets.size(); ++t) {
        if (built.dataOffsets[t] < from) continue;
        const auto field = std::size_t(built.firstTableOffset) + t * 28 + 24;
        SetI32(front, std::int64_t(field), std::int32_t(std::uint32_t(built.dataOffsets[t] - from + to)));
    }
    WriteBytes(path, front);
    std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
    out.seekp(to);
    out.write(reinterpret_cast<const char*>(built.bytes.data() + from), std::streamsize(std::int64_t(built.bytes.size()) - from));
    if (!out) throw std::runtime_error("cannot write " + path);
}

Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TempDir::TempDir() {
    static std::random_device rd;
    for (;;) {
        auto candidate = std::filesystem::temp_directory_path() / ("tessaly-test-" + std::to_string(rd()));
        std::error_code ec;
        if (std::filesystem::create_directory(candidate, ec)) {
            path_ = candidate.string();
            return;
        }
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::vector<std::string> TempDir::list() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace fixture
