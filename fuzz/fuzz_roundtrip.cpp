// Whatever the reader accepts, the regeneration must turn into a file that reads back
// with the same tiles, in both target versions.
#include <unistd.h>

#include <cstdlib>

#include "fuzz/fuzz_input_file.h"
#include "edit/resolve_edit.h"
#include "jnx/reader.h"
#include "jnx/regenerate.h"
#include "platform/binary_file.h"

namespace {

bool TileBytes(const std::string& path, const jnx::JnxDocument& doc, std::size_t t, std::string& out) {
    platform::BinaryFile file;
    platform::Error error;
    if (!file.Open(path, platform::BinaryFile::Mode::Read, error)) return false;
    out.resize(std::size_t(doc.Tiles[t].DataSize));
    return file.ReadAt(doc.Tiles[t].DataOffset, out.data(), out.size(), error);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1 << 20) return 0;
    fuzzing::InputFile input(data, size);
    if (input.path().empty()) return 0;
    jnx::JnxDocument source;
    std::int32_t total = 0;
    platform::Error error;
    if (!jnx::ReadJnx(source, input.path(), total, error, jnx::ReadDepth::Full)) return 0;

    for (int version : {3, 4}) {
        jnx::JnxDocument doc;
        if (!jnx::ReadJnx(doc, input.path(), total, error, jnx::ReadDepth::Full)) std::abort();  // same bytes, same answer
        const std::string out = input.path() + ".out.jnx";
        jnx::WriterSettings settings;
        settings.blockSize = 4096;
        edit::EditRequest request;
        request.targetVersion = version;
        edit::ResolvedEdit resolved;
        platform::Error writeError;
        if (!edit::ResolveEdit(request, doc, input.path(), settings, edit::Purpose::Save, resolved, writeError) ||
            !jnx::RegenerateJnx(doc, resolved.values, resolved.version, input.path(), out, settings, writeError)) {
            unlink(out.c_str());
            continue;  // refusals (a block too long for 1024 bytes, offsets beyond int32) are fine
        }
        jnx::JnxDocument back;
        if (!jnx::ReadJnx(back, out, total, error, jnx::ReadDepth::Full)) std::abort();
        if (back.Tiles.size() != source.Tiles.size()) std::abort();
        for (std::size_t t = 0; t < source.Tiles.size(); ++t) {
            std::string a, b;
            if (!TileBytes(input.path(), source, t, a) || !TileBytes(out, back, t, b) || a != b) std::abort();
        }
        unlink(out.c_str());
    }
    return 0;
}
