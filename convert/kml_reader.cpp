#include "convert/kml_reader.h"

#include <expat.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

namespace convert {

namespace {

using platform::Error;
using platform::ErrorCode;
using platform::Fail;

// No element the import keeps holds more text than this, and no sane document nests so
// deep; beyond either the document is refused rather than held.
constexpr std::size_t kMaxText = 4096;
constexpr int kMaxDepth = 64;
constexpr std::size_t kChunk = 64 * 1024;
// The largest KMZ written here, of a map at the device's limits (5 levels of 50 000 tiles,
// 9 elements an overlay), stays within these; they keep a hostile document (an archive
// that inflates a few megabytes into gigabytes of empty elements) to a moment and a few
// megabytes.
constexpr std::uint64_t kMaxDocument = std::uint64_t(256) << 20;
constexpr std::int64_t kMaxElements = 2500000;
// The parser holds a tag, comment or text it has not seen the end of, and reads it again
// from its start with every chunk: one beyond this would take time in its square.
constexpr std::int64_t kMaxToken = std::int64_t(1) << 20;
// A super-overlay's document links to its four quarters; a root may link to every tile of
// its top level. Beyond this a document is no map's.
constexpr std::size_t kMaxLinks = 100000;

struct Parse {
    const std::string* path = nullptr;
    KmlDocument* doc = nullptr;
    std::string problem;  // the first, which stops the parse
    ErrorCode problemCode = ErrorCode::ConvertBadSource;

    // The elements we are in, by the little a parent must tell: a document may hold
    // millions, and each costs only a byte.
    enum class Kind : std::uint8_t { Other, Icon, LatLonBox, Data, Document, Link };
    std::vector<Kind> open;
    // Indices into doc->folders of the folders we are in; SIZE_MAX for one that holds
    // nothing yet, which takes no room until it does.
    std::vector<std::size_t> folders;
    std::size_t looseFolder = SIZE_MAX;  // where overlays outside folders go
    std::int64_t elements = 0;
    std::string text;
    std::string dataName;
    bool inOverlay = false;
    KmlOverlay overlay;
    std::optional<double> north, south, east, west;
    double rotation = 0;
    bool inLink = false;
    std::string linkHref;

    KmlFolder& Current() {
        std::size_t& index = folders.empty() ? looseFolder : folders.back();
        if (index == SIZE_MAX) {
            index = doc->folders.size();
            doc->folders.emplace_back();
        }
        return doc->folders[index];
    }
    Kind Parent() const { return open.size() >= 2 ? open[open.size() - 2] : Kind::Other; }
};

const char* LocalName(const char* name) {
    const char* bar = std::strrchr(name, '|');
    if (bar) return bar + 1;
    const char* colon = std::strchr(name, ':');
    return colon ? colon + 1 : name;
}

Parse::Kind KindOf(std::string_view name) {
    using Kind = Parse::Kind;
    return name == "Icon"                    ? Kind::Icon
           : name == "LatLonBox"             ? Kind::LatLonBox
           : name == "Data"                  ? Kind::Data
           : name == "Document"              ? Kind::Document
           : name == "Link" || name == "Url" ? Kind::Link
                                             : Kind::Other;
}

void Stop(Parse& p, XML_Parser parser, std::string why, ErrorCode code = ErrorCode::ConvertBadSource) {
    if (p.problem.empty()) {
        p.problem = std::move(why);
        p.problemCode = code;
    }
    XML_StopParser(parser, XML_FALSE);
}

std::optional<double> Number(const std::string& text) {
    const char* start = text.c_str();
    char* end = nullptr;
    const double value = std::strtod(start, &end);
    while (end && (*end == ' ' || *end == '\n' || *end == '\t' || *end == '\r')) ++end;
    if (end == start || !end || *end != '\0' || !std::isfinite(value)) return std::nullopt;
    return value;
}

bool External(const std::string& href) {
    const std::string wrapped = "/" + href + "/";
    return href.find("://") != std::string::npos || href.front() == '/' || href.front() == '\\' ||
           wrapped.find("/../") != std::string::npos;
}

std::string Trimmed(const std::string& text) {
    std::size_t start = 0, end = text.size();
    while (start < end && std::isspace(static_cast<unsigned char>(text[start]))) ++start;
    while (end > start && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    return text.substr(start, end - start);
}

void EndLink(Parse& p, XML_Parser parser) {
    p.inLink = false;
    if (p.linkHref.empty()) return Stop(p, parser, "a NetworkLink names no document");
    // Where a link leads is found against its own document by the source; here only what
    // could never lie inside the source is turned away.
    if (p.linkHref.find("://") != std::string::npos || p.linkHref.front() == '/' || p.linkHref.front() == '\\')
        return Stop(p, parser, "a NetworkLink leads to " + p.linkHref + ", outside the source");
    p.doc->links.push_back(std::move(p.linkHref));
}

struct Handlers {
    Parse* p;
    XML_Parser parser;
};

void OnStart(void* user, const XML_Char* rawName, const XML_Char** attributes) {
    auto& h = *static_cast<Handlers*>(user);
    Parse& p = *h.p;
    const std::string_view name = LocalName(rawName);
    p.open.push_back(KindOf(name));
    p.text.clear();
    if (int(p.open.size()) > kMaxDepth)
        return Stop(p, h.parser, "its elements nest deeper than " + std::to_string(kMaxDepth), ErrorCode::ConvertSourceLimit);
    if (++p.elements > kMaxElements)
        return Stop(p, h.parser, "its KML holds more than " + std::to_string(kMaxElements) + " elements",
                    ErrorCode::ConvertSourceLimit);
    if (name == "Folder") {
        p.folders.push_back(SIZE_MAX);
    } else if (name == "GroundOverlay") {
        if (p.inOverlay) return Stop(p, h.parser, "a GroundOverlay lies inside another");
        p.inOverlay = true;
        p.overlay = KmlOverlay{};
        p.north = p.south = p.east = p.west = std::nullopt;
        p.rotation = 0;
    } else if (name == "LatLonQuad" && p.inOverlay) {
        return Stop(p, h.parser, "a GroundOverlay is placed by four corners (LatLonQuad), not north-up");
    } else if (name == "NetworkLink") {
        if (p.inLink || p.inOverlay)
            return Stop(p, h.parser, "a NetworkLink lies inside a GroundOverlay or another link");
        if (p.doc->links.size() >= kMaxLinks)
            return Stop(p, h.parser, "its KML holds more than " + std::to_string(kMaxLinks) + " NetworkLinks",
                        ErrorCode::ConvertSourceLimit);
        p.inLink = true;
        p.linkHref.clear();
    } else if (name == "Data") {
        p.dataName.clear();
        for (const XML_Char** a = attributes; a && *a; a += 2) {
            if (std::strcmp(LocalName(a[0]), "name") == 0) p.dataName = a[1];
        }
    }
}

void OnText(void* user, const XML_Char* text, int length) {
    auto& h = *static_cast<Handlers*>(user);
    Parse& p = *h.p;
    if (p.text.size() + std::size_t(length) > kMaxText)
        return Stop(p, h.parser, "an element of its KML holds a text longer than " + std::to_string(kMaxText) + " bytes",
                    ErrorCode::ConvertSourceLimit);
    p.text.append(text, std::size_t(length));
}

void EndOverlay(Parse& p, XML_Parser parser) {
    p.inOverlay = false;
    const auto& o = p.overlay;
    if (o.href.empty()) return Stop(p, parser, "a GroundOverlay has no image");
    if (!p.north || !p.south || !p.east || !p.west)
        return Stop(p, parser, "the GroundOverlay of " + o.href + " lacks a LatLonBox with north, south, east and west");
    if (std::fabs(p.rotation) > 1e-9)
        return Stop(p, parser, "the GroundOverlay of " + o.href + " is rotated; only north-up overlays are imported");
    if (!(*p.north > *p.south && *p.east > *p.west && *p.north <= 90 && *p.south >= -90 && *p.west >= -180 &&
          *p.east <= 180))
        return Stop(p, parser, "the LatLonBox of " + o.href + " is no area of the map");
    p.overlay.bounds = {JnxUnits(*p.north), JnxUnits(*p.east), JnxUnits(*p.south), JnxUnits(*p.west)};
    p.Current().overlays.push_back(std::move(p.overlay));
}

void OnEnd(void* user, const XML_Char* rawName) {
    auto& h = *static_cast<Handlers*>(user);
    Parse& p = *h.p;
    using Kind = Parse::Kind;
    const std::string_view name = LocalName(rawName);
    const Kind parent = p.Parent();
    if (name == "Folder") {
        if (!p.folders.empty()) p.folders.pop_back();
    } else if (name == "GroundOverlay") {
        EndOverlay(p, h.parser);
    } else if (name == "NetworkLink") {
        EndLink(p, h.parser);
    } else if (p.inLink && name == "href" && parent == Kind::Link) {
        p.linkHref = Trimmed(p.text);
    } else if (p.inOverlay && name == "href" && parent == Kind::Icon) {
        p.overlay.href = Trimmed(p.text);
        if (!p.overlay.href.empty() && External(p.overlay.href))
            Stop(p, h.parser, "a GroundOverlay's image " + p.overlay.href + " lies outside the source");
    } else if (p.inOverlay && parent == Kind::LatLonBox) {
        const auto value = Number(p.text);
        if (name == "north" || name == "south" || name == "east" || name == "west" || name == "rotation") {
            if (!value) return Stop(p, h.parser, "a LatLonBox's " + std::string(name) + " is no number");
            if (name == "north") p.north = value;
            else if (name == "south") p.south = value;
            else if (name == "east") p.east = value;
            else if (name == "west") p.west = value;
            else p.rotation = *value;
        }
    } else if (name == "value" && parent == Kind::Data && !p.dataName.empty()) {
        auto& data = p.folders.empty() ? p.doc->data : p.Current().data;
        data[p.dataName] = p.text;
    } else if (name == "name" && parent == Kind::Document && p.doc->name.empty()) {
        p.doc->name = p.text;
    }
    p.text.clear();
    if (!p.open.empty()) p.open.pop_back();
}

}  // namespace

bool ReadKml(const std::string& path, const ReadKmlChunk& read, KmlDocument& doc, Error& error) {
    doc = KmlDocument{};
    Parse parse;
    parse.path = &path;
    parse.doc = &doc;
    XML_Parser parser = XML_ParserCreateNS(nullptr, '|');
    if (!parser) return Fail(error, Error(ErrorCode::ConvertBadSource).File(path).Detail("no memory to read its KML"));
    Handlers handlers{&parse, parser};
    XML_SetUserData(parser, &handlers);
    XML_SetElementHandler(parser, OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser, OnText);
    std::vector<char> buffer(kChunk);
    bool ok = true;
    std::uint64_t fed = 0;
    for (;;) {
        std::size_t got = 0;
        if (!read(buffer.data(), buffer.size(), got, error)) {
            ok = false;
            break;
        }
        fed += got;
        if (fed > kMaxDocument) {
            ok = Fail(error, Error(ErrorCode::ConvertSourceLimit).File(path).Detail("its KML is longer than 256 MiB"));
            break;
        }
        if (XML_Parse(parser, buffer.data(), int(got), got == 0) != XML_STATUS_OK) {
            const std::string why = !parse.problem.empty()
                                        ? parse.problem
                                        : "its KML is not well-formed XML (" +
                                              std::string(XML_ErrorString(XML_GetErrorCode(parser))) + " at line " +
                                              std::to_string(XML_GetCurrentLineNumber(parser)) + ")";
            ok = Fail(error, Error(parse.problem.empty() ? ErrorCode::ConvertBadSource : parse.problemCode)
                                 .File(path)
                                 .Detail(why));
            break;
        }
        // Where the parser stands is the start of what it still holds unfinished.
        if (std::int64_t(fed) - XML_GetCurrentByteIndex(parser) > kMaxToken) {
            ok = Fail(error, Error(ErrorCode::ConvertSourceLimit).File(path).Detail(
                                 "a tag or comment of its KML is longer than 1 MiB"));
            break;
        }
        if (got == 0) break;
    }
    XML_ParserFree(parser);
    doc.elements = parse.elements;
    doc.bytes = fed;
    return ok;
}

}  // namespace convert
