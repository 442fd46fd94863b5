// What the KMZ writers share: their KML's texts and boxes, and one way of writing an archive: into the publish step's
// temporary, through its descriptor, so that the zip library makes no file of its own beside it (which a killed export
// would leave behind under a name no clean-up knows, too long for a long target's folder); and one check that it reads
// back as an import reads it.
#pragma once
#include <zip.h>

#include <cstdint>
#include <string>

#include "convert/web_tiles.h"
#include "platform/binary_file.h"
#include "platform/error.h"

namespace convert {

// A map's text as XML 1.0 can hold it: control bytes and the non-characters U+FFFE and
// U+FFFF left out, tab and line breaks as references, so that they come back as they were.
std::string KmlText(const std::string& text);
// A LatLonBox or LatLonAltBox at bounds, with the digits that round back to JNX units.
std::string KmlBox(const char* element, const JnxBounds& bounds);

// The archive's file as the zip library sees it. failed: the file itself refused a read
// or a write, and error says why.
struct ArchiveFile {
    platform::BinaryFile* file = nullptr;
    platform::Error error;
    bool failed = false;
    std::int64_t size = 0, readAt = 0, writeAt = 0;
    zip_error_t zerror{};
};

// A new, empty archive over target.file; null, with error naming shownAs, when the
// library refuses. target must outlive the archive.
zip_t* CreateArchive(ArchiveFile& target, const std::string& shownAs, platform::Error& error);

platform::Error ArchiveCannotWrite(const std::string& shownAs, zip_t* archive);

// Adds a member; a JPEG is stored as it is (it does not shrink, and deflating it would
// only cost time), a text deflated. The source is the archive's from then on.
bool AddMember(zip_t* archive, const std::string& name, zip_source_t* source, bool compress, const std::string& shownAs,
               platform::Error& error);

// Writes the archive and ends it, written or not. A failure says why: a member's own
// failure (memberFailed, with memberError, both read once the members are written) first,
// then the file's, then the library's.
bool CloseArchive(zip_t* archive, ArchiveFile& target, const std::string& shownAs, const bool& memberFailed,
                  const platform::Error& memberError, platform::Error& error);

// Ends an archive unwritten, after a failure of the caller's.
void DiscardArchive(zip_t* archive, ArchiveFile& target);

// The archive as an import would read it: sound, overlays + 1 members, and its doc.kml
// well-formed with exactly that many ground overlays.
bool ArchiveReadsBack(const std::string& path, const std::string& shownAs, std::int64_t overlays,
                      platform::Error& error);

}  // namespace convert
