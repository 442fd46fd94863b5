// Arbitrary bytes, read as an MBTiles file as an import reads it.
#include "fuzz/fuzz_input_file.h"
#include "fuzz/fuzz_tile_source.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::InputFile input(data, size);
    if (input.path().empty()) return 0;
    platform::Error error;
    fuzzing::WalkTileSource(convert::OpenMbtiles(input.path(), error), input.path(), error);
    return 0;
}
