// Arbitrary bytes, read as a mobile app's SQLite tile store as an import reads it: every
// query ends within its bound, the flags of its info table are read or refused, and the
// source fails with a message of the file or gives tiles on its zoom's grid.
#include <cstdlib>

#include "convert/tile_source.h"
#include "fuzz/fuzz_input_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::InputFile input(data, size);
    if (input.path().empty()) return 0;
    platform::Error error;
    const auto source = convert::OpenTileStore(input.path(), error);
    if (!source) {
        if (error.file != input.path()) std::abort();
        return 0;
    }
    const auto named = [&](bool ok) {
        if (!ok && error.file != input.path()) std::abort();
        return ok;
    };
    std::vector<int> zooms;
    convert::SourceTexts texts;
    if (!named(source->Zooms(zooms, error)) || !named(source->Texts(texts, error))) return 0;
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
    return 0;
}
