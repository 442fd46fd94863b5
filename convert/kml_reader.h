// What an import takes from a KML document: its ground overlays, folder by folder, the
// documents it links to, and the few texts and numbers that a KMZ written here carries. Read as a stream, so that a
// large document costs only what is kept of it; anything an import could not place
// north-up at its own bounds is refused here.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "convert/web_tiles.h"
#include "platform/error.h"

namespace convert {

struct KmlOverlay {
    std::string href;
    JnxBounds bounds{};
};

struct KmlFolder {
    std::map<std::string, std::string> data;  // ExtendedData, by name
    std::vector<KmlOverlay> overlays;
};

struct KmlDocument {
    std::string name;
    std::map<std::string, std::string> data;
    std::vector<KmlFolder> folders;  // overlays outside any folder are in a folder of their own
    // The hrefs of its NetworkLinks, as written: relative, never a URL or an absolute path.
    std::vector<std::string> links;
    // What reading it took, for a budget over every document an archive links together.
    std::int64_t elements = 0;
    std::uint64_t bytes = 0;
};

// Gives up to n more bytes of the document into buffer; 0 at its end.
using ReadKmlChunk = std::function<bool(char* buffer, std::size_t n, std::size_t& got, platform::Error& error)>;

// path names the source in messages.
bool ReadKml(const std::string& path, const ReadKmlChunk& read, KmlDocument& doc, platform::Error& error);

}  // namespace convert
