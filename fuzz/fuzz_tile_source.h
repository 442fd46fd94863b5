// What a fuzz target asks of any tile source it opened from arbitrary bytes: every
// query ends within its bound, and each either fails with a message of the file or
// gives tiles on its zoom's grid. A few zooms and tiles of each reach every query.
#pragma once
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "convert/tile_source.h"

namespace fuzzing {

inline void WalkTileSource(const std::unique_ptr<convert::TileSource>& source, const std::string& path,
                           platform::Error& error) {
    if (!source) {
        if (error.file != path) std::abort();
        return;
    }
    const auto named = [&](bool ok) {
        if (!ok && error.file != path) std::abort();
        return ok;
    };
    std::vector<int> zooms;
    convert::SourceTexts texts;
    if (!named(source->Zooms(zooms, error)) || !named(source->Texts(texts, error))) return;
    for (std::size_t k = 0; k < zooms.size() && k < 2; ++k) {
        const int zoom = zooms[k];
        int seen = 0;
        const auto onGrid = [&](const convert::TileKey& key) {
            const std::uint32_t side = std::uint32_t(1) << zoom;
            if (key.zoom != zoom || key.x >= side || key.y >= side) std::abort();
            return ++seen < 16;
        };
        const auto survey = [&](const convert::TileKey& key, std::int64_t size, const convert::Bytes& head,
                                const convert::ReadImageBytes& more, platform::Error& e) {
            if (size < 0 || head.size() > std::size_t(size)) std::abort();
            convert::Bytes rest;
            return onGrid(key) && more(size / 2, 64, rest, e);
        };
        if (!named(source->Survey(zoom, survey, error))) continue;
        seen = 0;
        const auto copy = [&](const convert::TileKey& key, const std::uint8_t*, std::size_t, platform::Error&) {
            return onGrid(key);
        };
        named(source->Copy(zoom, copy, error));
    }
}

}  // namespace fuzzing
