// A folder of web-map tiles, Z/X/Y.jpg. Other files (a tile tool's metadata, thumbnails)
// are no tiles and are passed over; image files under tile names are tiles whatever their
// format, so that PNG tiles are refused rather than left out unnoticed.
#include <algorithm>
#include <cctype>

#include "convert/tile_source.h"
#include "platform/binary_file.h"
#include "platform/fs.h"

namespace convert {

namespace {

using platform::Error;
using platform::ErrorCode;

// A folder or file name that is a tile number: digits only, few enough to be one.
std::optional<std::uint32_t> NumberOf(const std::string& name) {
    if (name.empty() || name.size() > 9 || !std::all_of(name.begin(), name.end(), [](unsigned char c) {
            return std::isdigit(c);
        }))
        return std::nullopt;
    return static_cast<std::uint32_t>(std::stoul(name));
}

bool IsImageExtension(std::string extension) {
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* known : {"jpg", "jpeg", "png", "webp", "gif", "tif", "tiff"}) {
        if (extension == known) return true;
    }
    return false;
}

struct Numbered {
    std::uint32_t number;
    std::string path;
};

// The entries of folder named by a number, in numeric order: folders or image files.
bool NumberedEntries(const std::string& folder, bool folders, std::vector<Numbered>& out, Error& error) {
    std::vector<platform::FolderEntry> entries;
    if (!platform::ListFolder(folder, entries, error)) return false;
    out.clear();
    for (const auto& entry : entries) {
        if (entry.isFolder != folders) continue;
        if (!folders && !IsImageExtension(platform::ExtensionOf(entry.path))) continue;
        const std::string name = folders ? platform::FileNameOf(entry.path) : platform::BaseNameOf(entry.path);
        const auto number = NumberOf(name);
        // "03" beside "3" would be a second zoom 3, or a second tile at one place: only
        // the one way of writing a number is taken.
        if (number && name != std::to_string(*number))
            return platform::Fail(error, Error(ErrorCode::ConvertBadSource).File(entry.path).Detail(
                                             "its name is no tile number as written without leading zeros"));
        if (number) out.push_back({*number, entry.path});
    }
    std::stable_sort(out.begin(), out.end(), [](const Numbered& a, const Numbered& b) { return a.number < b.number; });
    return true;
}

class TileFolder : public TileSource {
public:
    explicit TileFolder(std::string path) : path_(std::move(path)) {}

    bool Zooms(std::vector<int>& zooms, Error& error) override {
        std::vector<Numbered> entries;
        if (!NumberedEntries(path_, true, entries, error)) return false;
        zooms.clear();
        for (const auto& entry : entries) {
            if (entry.number > std::uint32_t(kMaxWebZoom))
                return platform::Fail(error, Error(ErrorCode::ConvertBadSource).File(path_).Detail(
                                                 "it holds a zoom " + std::to_string(entry.number) + " folder, beyond " +
                                                 std::to_string(kMaxWebZoom)));
            if (zooms.empty() || zooms.back() != int(entry.number)) zooms.push_back(int(entry.number));
        }
        return true;
    }

    bool Texts(SourceTexts& texts, Error&) override {
        texts.name = platform::FileNameOf(path_);
        return true;
    }

    std::string Describe(const TileKey& key) const override {
        return std::to_string(key.zoom) + "/" + std::to_string(key.x) + "/" + std::to_string(key.y);
    }

    bool Survey(int zoom, const SurveyVisitor& visit, Error& error) override {
        Bytes head;
        return EachTile(zoom, error, [&](const TileKey& key, platform::BinaryFile& file, std::int64_t size) {
            head.resize(std::size_t(std::min<std::int64_t>(size, std::int64_t(kHeadRead))));
            if (!file.ReadAt(0, head.data(), head.size(), error)) return false;
            const ReadImageBytes more = [&](std::int64_t offset, std::size_t n, Bytes& out, Error& e) {
                out.resize(std::size_t(std::clamp<std::int64_t>(size - offset, 0, std::int64_t(n))));
                return file.ReadAt(offset, out.data(), out.size(), e);
            };
            return visit(key, size, head, more, error);
        });
    }

    bool Copy(int zoom, const CopyVisitor& visit, Error& error) override {
        Bytes data;
        return EachTile(zoom, error, [&](const TileKey& key, platform::BinaryFile& file, std::int64_t size) {
            data.resize(std::size_t(size));
            return file.ReadAt(0, data.data(), data.size(), error) && visit(key, data.data(), data.size(), error);
        });
    }

private:
    // One column folder listed at a time, so memory follows a column's height, not the map's.
    template <typename Each>
    bool EachTile(int zoom, Error& error, const Each& each) {
        std::vector<Numbered> columns, rows;
        const std::string zoomFolder = platform::JoinPath(path_, std::to_string(zoom));
        if (!NumberedEntries(zoomFolder, true, columns, error)) return false;
        const std::uint32_t side = std::uint32_t(1) << zoom;
        for (const auto& column : columns) {
            if (!NumberedEntries(column.path, false, rows, error)) return false;
            for (const auto& row : rows) {
                if (column.number >= side || row.number >= side)
                    return platform::Fail(error, Error(ErrorCode::ConvertBadSource).File(path_).Detail(
                                                     row.path + " lies outside the grid of zoom " + std::to_string(zoom)));
                platform::BinaryFile file;
                std::int64_t size = 0;
                if (!file.Open(row.path, platform::BinaryFile::Mode::Read, error) || !file.Size(size, error)) return false;
                if (!each(TileKey{zoom, column.number, row.number}, file, size)) return false;
            }
        }
        return true;
    }

    std::string path_;
};

}  // namespace

std::unique_ptr<TileSource> OpenTileFolder(const std::string& path, Error&) { return std::make_unique<TileFolder>(path); }

bool OpenTileSource(const std::string& path, std::unique_ptr<TileSource>& source, Error& error) {
    if (platform::FolderExists(path)) {
        source = OpenTileFolder(path, error);
    } else if (!platform::FileExists(path)) {
        return platform::Fail(error, Error(ErrorCode::CannotOpen).File(path).Detail("No such file or directory"));
    } else {
        std::string extension = platform::ExtensionOf(path);
        std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
        bool store = false;
        if (extension == "kmz" || extension == "kml")
            source = OpenGroundOverlays(path, error);
        else if (!IsTileStore(path, store, error))
            return false;
        else
            source = store ? OpenTileStore(path, error) : OpenMbtiles(path, error);
    }
    return source != nullptr;
}

}  // namespace convert
