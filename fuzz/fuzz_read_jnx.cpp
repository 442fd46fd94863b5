// Quick and full reads of arbitrary bytes must fail cleanly or succeed with a model
// whose arrays agree with its counts.
#include <cstdlib>

#include "fuzz/fuzz_input_file.h"
#include "jnx/reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::InputFile input(data, size);
    if (input.path().empty()) return 0;
    for (bool full : {false, true}) {
        jnx::JnxDocument doc;
        std::int32_t total = 0;
        platform::Error error;
        if (!jnx::ReadJnx(doc, input.path(), total, error, full ? jnx::ReadDepth::Full : jnx::ReadDepth::Quick)) {
            if (!error || error.file.empty()) std::abort();  // every failure says why, and of which file
            continue;
        }
        const auto levels = std::size_t(doc.Header.LevelCount);
        if (doc.Levels.size() != levels || doc.LevelInfos.size() != levels || doc.LevelExtras.size() != levels)
            std::abort();
        if (full && (doc.Previews.size() != levels || doc.CheckPointsTiles.size() != levels ||
                     doc.Tiles.size() != doc.CheckPointsImages.size() || doc.Tiles.size() != std::size_t(total)))
            std::abort();
    }
    return 0;
}
