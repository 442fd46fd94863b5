// Ground overlays of a KMZ archive, or of a KML file with its images beside it, as the
// tiles of an import. Each overlay is a tile at its own bounds; overlays of one ground
// resolution make a level. A KMZ that this program wrote names its levels, their scales
// and zooms, and is read back by them. A super-overlay spreads its overlays over many
// documents joined by NetworkLinks; the links are followed inside the source only, and
// every overlay they reach is levelled alike, whatever document holds it.
#include <zip.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <deque>
#include <optional>
#include <unordered_set>

#include "convert/kml_reader.h"
#include "convert/kmz_names.h"
#include "convert/tile_source.h"
#include "platform/binary_file.h"
#include "platform/fs.h"
#include "platform/text.h"

namespace convert {

namespace {

using platform::Error;
using platform::ErrorCode;
using platform::Fail;

// No picture of a tile is this large; a member claiming more is refused before it is
// inflated, so a hostile archive cannot make the import hold gigabytes.
constexpr std::uint64_t kMaxImage = std::uint64_t(64) << 20;
// Overlays whose resolutions differ by less than this make one level.
constexpr double kSameResolution = 0.01;
// A super-overlay takes a document a tile, over every level of its pyramid: one whose
// finest level fills five device levels takes about 70 000. Links lead from a level to the
// next, so a pyramid of 24 levels is as deep as one goes. Over all documents together the
// KML read is bounded at four times what one document may hold: over twice what such a
// pyramid takes at some 60 elements a document, and seconds of work however small the
// archive that inflates to it.
constexpr std::size_t kMaxDocuments = std::size_t(1) << 18;
constexpr int kMaxLinkDepth = 32;
constexpr std::int64_t kMaxWalkElements = 10000000;
constexpr std::uint64_t kMaxWalkBytes = std::uint64_t(512) << 20;

// A picture held whole in memory, offered the way the inspection reads a tile: its head,
// and further bytes on request. image must outlive it.
struct HeldImage {
    explicit HeldImage(const Bytes& image)
        : head(image.begin(), image.begin() + std::ptrdiff_t(std::min(image.size(), kHeadRead))),
          more([&image](std::int64_t offset, std::size_t n, Bytes& out, Error&) {
              const auto from = std::size_t(std::clamp<std::int64_t>(offset, 0, std::int64_t(image.size())));
              out.assign(image.begin() + std::ptrdiff_t(from),
                         image.begin() + std::ptrdiff_t(std::min(image.size(), from + n)));
              return true;
          }) {}
    Bytes head;
    ReadImageBytes more;
};

Error Bad(const std::string& path, std::string why) {
    return Error(ErrorCode::ConvertBadSource).File(path).Detail(std::move(why));
}

// An href as written in the document named from, as a name inside the source; nothing
// where it climbs out of the source.
std::optional<std::string> Resolve(const std::string& from, const std::string& href) {
    const std::size_t slash = from.rfind('/');
    const std::string joined = slash == std::string::npos ? href : from.substr(0, slash + 1) + href;
    std::vector<std::string> parts;
    for (std::size_t start = 0; start <= joined.size();) {
        const std::size_t end = std::min(joined.find('/', start), joined.size());
        const std::string part = joined.substr(start, end - start);
        if (part == "..") {
            if (parts.empty()) return std::nullopt;
            parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string name;
    for (const std::string& part : parts) name += (name.empty() ? "" : "/") + part;
    return name;
}

// Where the KML and its images are read from; names are relative to the source.
class Members {
public:
    virtual ~Members() = default;
    // The name of the map's own document.
    virtual bool Root(std::string& root, Error& error) = 0;
    virtual bool ReadDocument(const std::string& name, KmlDocument& doc, Error& error) = 0;
    virtual bool Has(const std::string& name) = 0;
    virtual bool Image(const std::string& href, Bytes& out, Error& error) = 0;
};

class ZipMembers : public Members {
public:
    ZipMembers(std::string path, zip_t* archive) : path_(std::move(path)), archive_(archive) {}
    ~ZipMembers() override { zip_discard(archive_); }

    bool Root(std::string& root, Error& error) override {
        zip_int64_t index = zip_name_locate(archive_, "doc.kml", ZIP_FL_NOCASE);
        // Other writers name the document as they like; the first one is the map's.
        for (zip_int64_t i = 0; index < 0 && i < zip_get_num_entries(archive_, 0); ++i) {
            const char* name = zip_get_name(archive_, zip_uint64_t(i), 0);
            std::string extension = name ? platform::ExtensionOf(name) : "";
            std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
            if (extension == "kml") index = i;
        }
        if (index < 0) return Fail(error, Bad(path_, "it holds no KML document"));
        const char* found = zip_get_name(archive_, zip_uint64_t(index), 0);
        root = found ? found : "";
        return true;
    }

    bool Has(const std::string& name) override { return zip_name_locate(archive_, name.c_str(), 0) >= 0; }

    bool ReadDocument(const std::string& name, KmlDocument& doc, Error& error) override {
        const zip_int64_t index = zip_name_locate(archive_, name.c_str(), 0);
        if (index < 0) return Fail(error, Bad(path_, "its document " + name + " is missing"));
        zip_file_t* file = zip_fopen_index(archive_, zip_uint64_t(index), 0);
        if (!file) return Fail(error, Bad(path_, std::string("its KML cannot be read: ") + zip_strerror(archive_)));
        const ReadKmlChunk read = [&](char* buffer, std::size_t n, std::size_t& got, Error& e) {
            const zip_int64_t count = zip_fread(file, buffer, n);
            if (count < 0) return Fail(e, Bad(path_, std::string("its KML cannot be read: ") + zip_file_strerror(file)));
            got = std::size_t(count);
            return true;
        };
        const bool ok = ReadKml(path_, read, doc, error);
        zip_fclose(file);
        return ok;
    }

    bool Image(const std::string& href, Bytes& out, Error& error) override {
        const zip_int64_t index = zip_name_locate(archive_, href.c_str(), 0);
        zip_stat_t stat;
        if (index < 0 || zip_stat_index(archive_, zip_uint64_t(index), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE))
            return Fail(error, Bad(path_, "its image " + href + " is missing"));
        if (stat.size > kMaxImage) return Fail(error, Bad(path_, "its image " + href + " inflates beyond 64 MiB"));
        zip_file_t* file = zip_fopen_index(archive_, zip_uint64_t(index), 0);
        if (!file) return Fail(error, Bad(path_, "its image " + href + " cannot be read: " + zip_strerror(archive_)));
        // Read on to the member's end: only there does the zip library compare the CRC, and
        // a failure after the first bytes is told by the next read, not the one that met it.
        out.resize(std::size_t(stat.size));
        std::size_t got = 0;
        std::uint8_t beyond = 0;
        zip_int64_t count = 1;
        while (count > 0 && got < out.size()) {
            count = zip_fread(file, out.data() + got, out.size() - got);
            if (count > 0) got += std::size_t(count);
        }
        if (count >= 0) count = zip_fread(file, &beyond, 1);
        const std::string why = count < 0 ? zip_file_strerror(file) : "it is not as long as the archive says";
        zip_fclose(file);
        if (count != 0 || got != out.size())
            return Fail(error, Bad(path_, "its image " + href + " is damaged: " + why));
        return true;
    }

private:
    std::string path_;
    zip_t* archive_;
};

class FileMembers : public Members {
public:
    explicit FileMembers(std::string path) : path_(std::move(path)), folder_(platform::ParentFolder(path_)) {}

    bool Root(std::string& root, Error&) override {
        root = platform::FileNameOf(path_);
        return true;
    }

    bool Has(const std::string& name) override {
        std::filesystem::path found;
        Error ignored;
        return Locate(name, found, ignored);
    }

    bool ReadDocument(const std::string& name, KmlDocument& doc, Error& error) override {
        // The file the user named is read even where it is a link to elsewhere; only what
        // it leads to must lie beside it.
        std::filesystem::path found = path_;
        if (name != platform::FileNameOf(path_) && !Locate(name, found, error)) return false;
        platform::BinaryFile file;
        std::int64_t size = 0, at = 0;
        if (!file.Open(found.string(), platform::BinaryFile::Mode::Read, error) || !file.Size(size, error))
            return false;
        const ReadKmlChunk read = [&](char* buffer, std::size_t n, std::size_t& got, Error& e) {
            got = std::size_t(std::min<std::int64_t>(std::int64_t(n), size - at));
            if (!file.ReadAt(at, buffer, got, e)) return false;
            at += std::int64_t(got);
            return true;
        };
        return ReadKml(path_, read, doc, error);
    }

    bool Image(const std::string& href, Bytes& out, Error& error) override {
        std::filesystem::path path;
        if (!Locate(href, path, error)) return false;
        platform::BinaryFile file;
        std::int64_t size = 0;
        if (!file.Open(path.string(), platform::BinaryFile::Mode::Read, error) || !file.Size(size, error)) return false;
        if (std::uint64_t(size) > kMaxImage) return Fail(error, Bad(path_, "its image " + href + " is larger than 64 MiB"));
        out.resize(std::size_t(size));
        return file.ReadAt(0, out.data(), out.size(), error);
    }

private:
    // A file is opened where its links lead, and only inside the KML's folder: a link in
    // there may point anywhere, as "../" may, and is refused alike.
    bool Locate(const std::string& name, std::filesystem::path& path, Error& error) const {
        std::error_code noFolder, noFile;
        const std::filesystem::path folder = std::filesystem::canonical(folder_.empty() ? "." : folder_, noFolder);
        path = std::filesystem::canonical(platform::JoinPath(folder_, name), noFile);
        if (noFolder || noFile) return Fail(error, Bad(path_, "its file " + name + " is missing"));
        const auto [inFolder, inPath] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
        if (inFolder != folder.end() || inPath == path.end())
            return Fail(error, Bad(path_, "its file " + name + " lies outside the source"));
        return true;
    }

    std::string path_;
    std::string folder_;
};

struct Level {
    std::vector<KmlOverlay> overlays;
    double degreesPerPixel = 0;
    std::optional<std::int32_t> scale;  // as kept by this program's export
    int zoom = 0;
};

std::optional<std::int32_t> Kept(const std::map<std::string, std::string>& data, const char* name) {
    const auto found = data.find(name);
    if (found == data.end()) return std::nullopt;
    return platform::ParseInt32(found->second);
}

class GroundOverlays : public TileSource {
public:
    GroundOverlays(std::string path, std::unique_ptr<Members> members)
        : path_(std::move(path)), members_(std::move(members)) {}

    bool Load(Error& error) {
        std::string root;
        if (!members_->Root(root, error) || !members_->ReadDocument(root, doc_, error) || !Walk(root, error))
            return false;
        std::vector<KmlFolder*> withOverlays;
        for (auto& folder : folders_)
            if (!folder.overlays.empty()) withOverlays.push_back(&folder);
        const bool kept = !withOverlays.empty() && std::all_of(withOverlays.begin(), withOverlays.end(), [](auto* f) {
            return Kept(f->data, kmz::kScale) && Kept(f->data, kmz::kZoom);
        });
        if (kept) {
            for (auto* folder : withOverlays)
                levels_.push_back({std::move(folder->overlays), 0, Kept(folder->data, kmz::kScale),
                                   *Kept(folder->data, kmz::kZoom)});
            return true;
        }
        return GroupByResolution(withOverlays, error);
    }

    bool Zooms(std::vector<int>& zooms, Error&) override {
        zooms.clear();
        for (std::size_t k = 0; k < levels_.size(); ++k) zooms.push_back(int(k));
        return true;
    }

    bool Texts(SourceTexts& texts, Error&) override {
        const auto group = doc_.data.find(kmz::kGroup);
        const auto title = doc_.data.find(kmz::kTitle);
        texts.name = group != doc_.data.end() ? group->second : doc_.name;
        texts.description = title != doc_.data.end() ? title->second : "";
        if (const auto copyright = doc_.data.find(kmz::kCopyright); copyright != doc_.data.end())
            texts.attribution = copyright->second;
        return true;
    }

    std::string Describe(const TileKey& key) const override { return "overlay " + Overlay(key).href; }

    JnxBounds Bounds(const TileKey& key) const override { return Overlay(key).bounds; }
    std::int32_t Scale(int zoom, double centreDegrees) const override {
        const Level& level = levels_[std::size_t(zoom)];
        return level.scale ? *level.scale : ScaleForResolution(level.degreesPerPixel, centreDegrees);
    }
    int ShownZoom(int zoom) const override { return levels_[std::size_t(zoom)].zoom; }
    bool OnWebGrid() const override { return false; }

    bool Survey(int zoom, const SurveyVisitor& visit, Error& error) override {
        return EachImage(zoom, error, [&](const TileKey& key, const Bytes& image) {
            const HeldImage held(image);
            return visit(key, std::int64_t(image.size()), held.head, held.more, error);
        });
    }

    bool Copy(int zoom, const CopyVisitor& visit, Error& error) override {
        return EachImage(zoom, error,
                         [&](const TileKey& key, const Bytes& image) { return visit(key, image.data(), image.size(), error); });
    }

private:
    // Takes the overlays of the root and of every document it links to, near or far. A
    // document reached twice would give its tiles twice, or is a cycle: either is refused.
    bool Walk(const std::string& root, Error& error) {
        struct Pending {
            std::string name;
            int depth = 0;
        };
        std::unordered_set<std::string> seen{root};
        std::deque<Pending> pending;
        std::int64_t elements = 0;
        std::uint64_t bytes = 0;
        const auto limit = [&](const std::string& why) {
            return Fail(error, Error(ErrorCode::ConvertSourceLimit).File(path_).Detail(why));
        };
        const auto take = [&](KmlDocument& doc, const std::string& name, int depth) {
            elements += doc.elements;
            bytes += doc.bytes;
            if (elements > kMaxWalkElements || bytes > kMaxWalkBytes)
                return limit("its KML documents hold more than " + std::to_string(kMaxWalkElements) +
                             " elements or 512 MiB together");
            for (auto& folder : doc.folders) {
                for (auto& overlay : folder.overlays) {
                    const auto image = Resolve(name, overlay.href);
                    if (!image)
                        return Fail(error,
                                    Bad(path_, "a GroundOverlay's image " + overlay.href + " lies outside the source"));
                    overlay.href = *image;
                }
                folders_.push_back(std::move(folder));
            }
            doc.folders.clear();
            for (const std::string& href : doc.links) {
                const auto target = Resolve(name, href);
                if (!target) return Fail(error, Bad(path_, "a NetworkLink leads to " + href + ", outside the source"));
                std::string extension = platform::ExtensionOf(*target);
                std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
                if (extension != "kml")
                    return Fail(error, Bad(path_, "a NetworkLink leads to " + href + ", which is no KML document"));
                if (depth + 1 > kMaxLinkDepth)
                    return limit("its NetworkLinks lead more than " + std::to_string(kMaxLinkDepth) +
                                 " documents deep");
                if (!seen.insert(*target).second)
                    return Fail(error, Bad(path_, "its NetworkLinks lead to " + *target + " twice, or in a circle"));
                if (seen.size() > kMaxDocuments)
                    return limit("its NetworkLinks lead to more than " + std::to_string(kMaxDocuments) + " documents");
                // Looked for at once, so that what waits to be read is only what the source holds.
                if (!members_->Has(*target))
                    return Fail(error, Bad(path_, "a NetworkLink leads to " + *target + ", which is missing"));
                pending.push_back({*target, depth + 1});
            }
            doc.links.clear();
            return true;
        };
        if (!take(doc_, root, 0)) return false;
        while (!pending.empty()) {
            const Pending next = std::move(pending.front());
            pending.pop_front();
            KmlDocument doc;
            if (!members_->ReadDocument(next.name, doc, error)) {
                if (error.file == path_) error.detail = next.name + ": " + error.detail;
                return false;
            }
            if (!take(doc, next.name, next.depth)) return false;
        }
        return true;
    }

    const KmlOverlay& Overlay(const TileKey& key) const { return levels_[std::size_t(key.zoom)].overlays[key.x]; }

    template <typename Each>
    bool EachImage(int zoom, Error& error, const Each& each) {
        Bytes image;
        const Level& level = levels_[std::size_t(zoom)];
        for (std::size_t i = 0; i < level.overlays.size(); ++i) {
            if (!members_->Image(level.overlays[i].href, image, error)) return false;
            if (!each(TileKey{zoom, std::uint32_t(i), 0}, image)) return false;
        }
        return true;
    }

    // A KMZ from elsewhere says nothing of levels: its overlays are sorted by how many
    // degrees of longitude a pixel of their picture covers, which takes each picture's width.
    bool GroupByResolution(const std::vector<KmlFolder*>& folders, Error& error) {
        std::vector<std::pair<double, KmlOverlay>> sized;
        std::map<std::string, std::int64_t> refused;
        Bytes image;
        for (auto* folder : folders) {
            for (auto& overlay : folder->overlays) {
                if (!members_->Image(overlay.href, image, error)) return false;
                TileImage info;
                const HeldImage held(image);
                if (!InspectTile(held.head, std::int64_t(image.size()), held.more, info, error)) return false;
                if (info.format != ImageFormat::Jpeg || info.width == 0) {
                    ++refused[FormatName(info.format)];
                    continue;
                }
                const double wide = Degrees(overlay.bounds[1]) - Degrees(overlay.bounds[3]);
                sized.emplace_back(wide / info.width, std::move(overlay));
            }
        }
        if (!refused.empty()) {
            std::string formats;
            std::int64_t total = 0;
            for (const auto& [format, count] : refused) {
                formats += (formats.empty() ? "" : ", ") + std::to_string(count) + " " + format;
                total += count;
            }
            return Fail(error, Error(ErrorCode::ConvertNotJpeg).File(path_).Value(total).Detail(formats));
        }
        std::vector<double> resolutions;
        for (const auto& entry : sized) resolutions.push_back(entry.first);
        std::sort(resolutions.rbegin(), resolutions.rend());
        for (double r : resolutions) {
            if (levels_.empty() || r < levels_.back().degreesPerPixel * (1 - kSameResolution)) {
                Level& level = levels_.emplace_back();
                level.degreesPerPixel = r;
                level.zoom = int(std::clamp(std::lround(ZoomForResolution(r)), 0L, long(kMaxWebZoom)));
            }
        }
        for (auto& [r, overlay] : sized) {
            for (auto& level : levels_) {
                if (r >= level.degreesPerPixel * (1 - kSameResolution)) {
                    level.overlays.push_back(std::move(overlay));
                    break;
                }
            }
        }
        return true;
    }

    std::string path_;
    std::unique_ptr<Members> members_;
    KmlDocument doc_;                 // the root, for the map's texts
    std::vector<KmlFolder> folders_;  // of every document
    std::vector<Level> levels_;
};

}  // namespace

std::unique_ptr<TileSource> OpenGroundOverlays(const std::string& path, Error& error) {
    std::string extension = platform::ExtensionOf(path);
    std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
    std::unique_ptr<Members> members;
    if (extension == "kml") {
        members = std::make_unique<FileMembers>(path);
    } else {
        // Looked at first without waiting, as a pipe under a KMZ name would hold the open
        // for ever; the archive is then read through that very descriptor.
        platform::BinaryFile probe;
        if (!probe.Open(path, platform::BinaryFile::Mode::Read, error)) return nullptr;
        const int fd = ::dup(probe.Descriptor());
        int code = fd < 0 ? ZIP_ER_OPEN : 0;
        zip_t* archive = fd < 0 ? nullptr : zip_fdopen(fd, 0, &code);
        if (!archive && fd >= 0) ::close(fd);
        if (!archive) {
            zip_error_t zerror;
            zip_error_init_with_code(&zerror, code);
            const std::string why = zip_error_strerror(&zerror);
            zip_error_fini(&zerror);
            platform::Fail(error, Bad(path, "it is no zip archive (" + why + ")"));
            return nullptr;
        }
        members = std::make_unique<ZipMembers>(path, archive);
    }
    auto source = std::make_unique<GroundOverlays>(path, std::move(members));
    if (!source->Load(error)) return nullptr;
    return source;
}

}  // namespace convert
