#include "check/device_roots.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <set>

#include "jnx/codec.h"
#include "jnx/reader.h"
#include "platform/binary_file.h"
#include "platform/fs.h"
#include "platform/le.h"

namespace check {
namespace {

// A version 3 file has no draw order of its own; units stack it as this one.
constexpr std::int32_t kVersion3DrawOrder = 30;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool IsJpegName(const std::string& name) {
    const std::string lower = Lower(name);
    return EndsWith(lower, ".jpg") || EndsWith(lower, ".jpeg");
}

// The subfolder of folder with this name in any case; "" when there is none.
std::string ChildFolder(const std::string& folder, const std::string& name) {
    std::vector<platform::FolderEntry> entries;
    platform::Error ignored;
    if (folder.empty() || !platform::ListFolder(folder, entries, ignored)) return {};
    for (const auto& entry : entries)
        if (entry.isFolder && Lower(platform::FileNameOf(entry.path)) == Lower(name)) return entry.path;
    return {};
}

std::uint16_t U16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }

struct MapFacts {
    std::string file;  // its name, as findings list it
    std::int32_t productId = 0;
    bool hasGroup = false;  // version 3 files carry no group name
    std::string group, guid;
    std::int32_t drawOrder = 0;
    std::array<std::int32_t, 4> bounds{};  // north, east, south, west
};

bool Overlap(const MapFacts& a, const MapFacts& b) {
    // Sharing an edge is not overlapping: neighbouring maps are cut that way.
    return a.bounds[2] < b.bounds[0] && b.bounds[2] < a.bounds[0] && a.bounds[3] < b.bounds[1] &&
           b.bounds[3] < a.bounds[1];
}

Finding& Add(std::vector<Finding>& out, FindingCode code) {
    Finding& f = out.emplace_back();
    f.code = code;
    return f;
}

void JudgeTogether(const std::vector<MapFacts>& maps, std::vector<Finding>& out) {
    std::map<std::int32_t, std::map<std::string, std::vector<std::string>>> groupsById;
    std::map<std::string, std::vector<std::string>> byGuid;
    for (const MapFacts& map : maps) {
        if (map.hasGroup) groupsById[map.productId][map.group].push_back(map.file);
        if (!map.guid.empty()) byGuid[map.guid].push_back(map.file);
    }
    for (const auto& [id, groups] : groupsById) {
        if (groups.size() < 2) continue;
        std::string text;
        for (const auto& [group, files] : groups)
            for (const std::string& file : files) text += (text.empty() ? "" : ", ") + file + " (\"" + group + "\")";
        Finding& f = Add(out, FindingCode::ProductIdGroupsDiffer);
        f.a = id, f.text = text;
    }
    for (const auto& [guid, files] : byGuid) {
        if (files.size() < 2) continue;
        std::string text;
        for (const std::string& file : files) text += (text.empty() ? "" : ", ") + file;
        Add(out, FindingCode::MapGuidDuplicate).text = text + " (" + guid + ")";
    }
    for (std::size_t i = 0; i < maps.size(); ++i) {
        for (std::size_t j = i + 1; j < maps.size(); ++j) {
            if (maps[i].drawOrder != maps[j].drawOrder || !Overlap(maps[i], maps[j])) continue;
            Finding& f = Add(out, FindingCode::DrawOrderOverlap);
            f.a = maps[i].drawOrder, f.text = maps[i].file + ", " + maps[j].file;
        }
    }
}

}  // namespace

std::int64_t CountKmzImages(const std::string& path) {
    platform::BinaryFile file;
    platform::Error error;
    std::int64_t length = 0;
    if (!file.Open(path, platform::BinaryFile::Mode::Read, error) || !file.Size(length, error)) return -1;
    // The end record sits in the last 22 bytes plus a comment of up to 65535.
    constexpr std::int64_t kEndRecord = 22;
    if (length < kEndRecord) return -1;
    const std::int64_t tail = std::min<std::int64_t>(length, kEndRecord + 65535);
    std::vector<std::uint8_t> end(static_cast<std::size_t>(tail));
    if (!file.ReadAt(length - tail, end.data(), end.size(), error)) return -1;
    std::int64_t at = tail - kEndRecord;
    while (at >= 0 && platform::LoadU32(&end[std::size_t(at)]) != 0x06054b50) --at;
    if (at < 0) return -1;
    const std::uint8_t* record = &end[std::size_t(at)];
    const std::uint32_t directorySize = platform::LoadU32(record + 12), directoryAt = platform::LoadU32(record + 16);
    // ZIP64 archives (over 4 GiB) are not Custom Maps, and the directory of even 500
    // images is a few kilobytes: a larger one is no Custom Map either.
    constexpr std::uint32_t kMaxDirectory = 16 << 20;
    if (std::int64_t(directoryAt) + directorySize > length || directorySize > kMaxDirectory) return -1;
    std::vector<std::uint8_t> directory(directorySize);
    if (!file.ReadAt(directoryAt, directory.data(), directory.size(), error)) return -1;
    constexpr std::size_t kEntryHead = 46;
    std::int64_t images = 0;
    for (std::size_t p = 0; p + kEntryHead <= directory.size();) {
        const std::uint8_t* entry = &directory[p];
        if (platform::LoadU32(entry) != 0x02014b50) return -1;
        const std::size_t name = U16(entry + 28), extra = U16(entry + 30), comment = U16(entry + 32);
        if (p + kEntryHead + name > directory.size()) return -1;
        if (IsJpegName(std::string(reinterpret_cast<const char*>(entry + kEntryHead), name))) ++images;
        p += kEntryHead + name + extra + comment;
    }
    return images;
}

bool CheckDeviceRoots(const std::vector<std::string>& roots, const settings::DeviceProfile& profile,
                      DeviceRootsReport& report, platform::Error& error) {
    std::vector<MapFacts> facts;
    for (const std::string& root : roots) {
        std::vector<platform::FolderEntry> entries;
        if (!platform::ListFolder(root, entries, error)) return false;
        const std::string garmin = ChildFolder(root, "Garmin");
        if (const std::string birdsEye = ChildFolder(garmin, "BirdsEye"); !birdsEye.empty()) {
            if (!platform::ListFolder(birdsEye, entries, error)) return false;
            for (const auto& entry : entries) {
                if (entry.isFolder || Lower(platform::ExtensionOf(entry.path)) != "jnx") continue;
                report.maps.push_back(entry.path);
                jnx::JnxDocument doc;
                std::int32_t tiles = 0;
                platform::Error unread;
                if (!jnx::ReadJnx(doc, entry.path, tiles, unread, jnx::ReadDepth::Quick)) {
                    report.unreadable.push_back(entry.path);
                    continue;
                }
                MapFacts& map = facts.emplace_back();
                map.file = entry.path;
                map.productId = doc.Header.ProductId;
                map.hasGroup = doc.Header.Version >= 4;
                map.group = jnx::DecodeText(doc.MapInfo.GroupName, true);
                map.guid = jnx::DecodeText(doc.MapInfo.MapGuid, true);
                map.drawOrder = doc.Header.Version == 3 ? kVersion3DrawOrder : doc.Header.DrawOrder;
                map.bounds = doc.Header.Bounds;
            }
        }
        if (const std::string custom = ChildFolder(garmin, "CustomMaps"); !custom.empty()) {
            if (!platform::ListFolder(custom, entries, error)) return false;
            for (const auto& entry : entries) {
                if (entry.isFolder) continue;
                if (IsJpegName(entry.path)) {
                    ++report.images;
                } else if (Lower(platform::ExtensionOf(entry.path)) == "kmz") {
                    const std::int64_t images = CountKmzImages(entry.path);
                    if (images < 0)
                        report.unreadable.push_back(entry.path);
                    else
                        report.images += images;
                }
            }
        }
    }
    if (std::int64_t(report.maps.size()) > profile.maxMaps) {
        Finding& f = Add(report.findings, FindingCode::DeviceMapsOverBudget);
        f.a = std::int64_t(report.maps.size()), f.b = profile.maxMaps, f.text = profile.name;
    }
    if (report.images > profile.maxImages) {
        Finding& f = Add(report.findings, FindingCode::DeviceImagesOverBudget);
        f.a = report.images, f.b = profile.maxImages, f.text = profile.name;
    }
    JudgeTogether(facts, report.findings);
    return true;
}

}  // namespace check
