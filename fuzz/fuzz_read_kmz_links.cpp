// Arbitrary documents, linked as a super-overlay links them: the input is cut at each zero
// byte into the KML documents of a small archive (doc.kml first, then documents in the
// folders a super-overlay uses), beside a picture in each folder. Whatever the links say,
// the walk ends within its budgets and fails with a message of the archive, or gives
// overlays that lie north-up.
#include <zip.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "convert/tile_source.h"
#include "fuzz/fuzz_input_file.h"

namespace {

const char* const kNames[] = {"doc.kml", "0/0/0.kml", "1/0/0.kml", "1/0/1.kml", "1/1/0.kml", "a.kml", "a/b/c.kml"};
const char* const kPictures[] = {"0.jpg", "0/0/0.jpg", "1/0/0.jpg", "1/0/1.jpg", "1/1/0.jpg", "a/b/0.jpg"};

// Enough of a JPEG for its frame header to be read: 16 by 16 pixels.
const std::uint8_t kPicture[] = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00, 0x10, 0x00, 0x10, 0x03, 0x01,
                                 0x22, 0x00, 0x02, 0x11, 0x01, 0x03, 0x11, 0x01, 0xFF, 0xDA, 0x00, 0x0C, 0x03,
                                 0x01, 0x00, 0x02, 0x11, 0x03, 0x11, 0x00, 0x3F, 0x00, 0x12, 0x34, 0xFF, 0xD9};

bool Add(zip_t* archive, const std::string& name, const void* data, std::size_t size) {
    zip_source_t* source = zip_source_buffer(archive, data, size, 0);
    if (!source) return false;
    const zip_int64_t index = zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE);
    if (index < 0) {
        zip_source_free(source);
        return false;
    }
    zip_set_file_compression(archive, zip_uint64_t(index), ZIP_CM_STORE, 0);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::InputFile input(nullptr, 0);
    if (input.path().empty()) return 0;
    std::vector<std::string> documents(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] != 0)
            documents.back().push_back(char(data[i]));
        else if (documents.size() < std::size(kNames))
            documents.emplace_back();
    }
    int code = 0;
    zip_t* archive = zip_open(input.path().c_str(), ZIP_TRUNCATE, &code);
    if (!archive) return 0;
    bool built = true;
    for (std::size_t i = 0; i < documents.size(); ++i)
        built = built && Add(archive, kNames[i], documents[i].data(), documents[i].size());
    for (const char* picture : kPictures) built = built && Add(archive, picture, kPicture, sizeof kPicture);
    if (!built || zip_close(archive) != 0) {
        zip_discard(archive);
        return 0;
    }

    platform::Error error;
    const auto source = convert::OpenGroundOverlays(input.path(), error);
    if (!source) {
        if (error.file != input.path()) std::abort();
        return 0;
    }
    std::vector<int> levels;
    if (!source->Zooms(levels, error)) std::abort();
    for (int level : levels) {
        const auto visit = [&](const convert::TileKey& key, std::int64_t, const convert::Bytes&,
                               const convert::ReadImageBytes&, platform::Error&) {
            const convert::JnxBounds b = source->Bounds(key);
            if (!(b[0] > b[2] && b[1] > b[3])) std::abort();
            return true;
        };
        if (!source->Survey(level, visit, error) && error.file != input.path()) std::abort();
    }
    return 0;
}
