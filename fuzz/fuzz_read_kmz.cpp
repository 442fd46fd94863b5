// Arbitrary bytes, read as a KMZ archive and as a KML document, must fail cleanly with a
// message of the source, or give overlays that lie north-up inside the map's range.
#include <cstdlib>

#include "convert/kml_reader.h"
#include "convert/tile_source.h"
#include "fuzz/fuzz_input_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::InputFile input(data, size);
    if (input.path().empty()) return 0;
    platform::Error error;
    if (auto source = convert::OpenGroundOverlays(input.path(), error)) {
        std::vector<int> levels;
        if (!source->Zooms(levels, error)) std::abort();
        for (int level : levels) {
            const auto visit = [&](const convert::TileKey& key, std::int64_t, const convert::Bytes&,
                                   const convert::ReadImageBytes&, platform::Error&) {
                const convert::JnxBounds b = source->Bounds(key);
                if (!(b[0] > b[2] && b[1] > b[3])) std::abort();
                return true;
            };
            if (!source->Survey(level, visit, error) && error.file.empty()) std::abort();
        }
    } else if (!error || error.file.empty()) {
        std::abort();
    }

    std::size_t at = 0;
    const convert::ReadKmlChunk read = [&](char* buffer, std::size_t n, std::size_t& got, platform::Error&) {
        got = std::min(n, size - at);
        std::copy(data + at, data + at + got, buffer);
        at += got;
        return true;
    };
    convert::KmlDocument doc;
    platform::Error kmlError;
    if (convert::ReadKml("fuzz.kml", read, doc, kmlError)) {
        for (const auto& folder : doc.folders)
            for (const auto& overlay : folder.overlays)
                if (overlay.href.empty() || !(overlay.bounds[0] > overlay.bounds[2])) std::abort();
    } else if (kmlError.file != "fuzz.kml") {
        std::abort();
    }
    return 0;
}
