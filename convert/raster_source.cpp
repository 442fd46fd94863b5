// A raster is warped to latitude and longitude tile by tile: each tile asks GDAL's warper
// for just the source window under it, so memory stays bounded whatever the raster's size.
// The survey pass encodes the tiles on the converters' shared pool, each thread with its own
// GDAL handles (a GDAL dataset is not to be shared between threads), and spools them in
// order to an unnamed temporary file; the copy pass reads them back from there in the same
// order, so that no tile is encoded twice and no more than the pool's window is held.
#include "convert/raster_source.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal.h>
#include <gdal_alg.h>
#include <gdal_utils.h>
#include <gdalwarper.h>
#include <jpeglib.h>
#include <ogr_srs_api.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include "convert/import_plan.h"
#include "convert/ordered_work.h"
#include "platform/fs.h"
#include "settings/scale_model.h"

namespace convert {

namespace {

using platform::Error;
using platform::ErrorCode;
using platform::Fail;

constexpr double kPi = 3.14159265358979323846;
constexpr int kTileSizes[] = {256, 512, 1024};
// What an import holds whatever the raster's size: GDAL's block cache, shared by the whole
// program, and the warpers' buffers, shared out among the workers.
constexpr GIntBig kMaxBlockCache = GIntBig(128) << 20;
constexpr double kWarpMemory = 192.0 * 1024 * 1024;
constexpr double kLeastWarpMemory = 16.0 * 1024 * 1024;
// The warper's transform is approximated to within this many pixels between exact points.
constexpr double kApproxError = 0.125;

// GDAL reports through a handler that prints by default; the reason is taken from it here.
struct QuietGdal {
    QuietGdal() {
        CPLPushErrorHandler(CPLQuietErrorHandler);
        CPLErrorReset();
    }
    ~QuietGdal() { CPLPopErrorHandler(); }
    QuietGdal(const QuietGdal&) = delete;
    QuietGdal& operator=(const QuietGdal&) = delete;
};

std::string GdalWhy(const char* otherwise) {
    const char* message = CPLGetLastErrorMsg();
    return message && *message ? message : otherwise;
}

struct CloseDataset {
    void operator()(void* dataset) const { GDALClose(dataset); }
};
using Dataset = std::unique_ptr<void, CloseDataset>;

GDALResampleAlg GdalResampling(Resampling r) {
    switch (r) {
        case Resampling::Nearest:
            return GRA_NearestNeighbour;
        case Resampling::Bilinear:
            return GRA_Bilinear;
        case Resampling::Cubic:
            return GRA_Cubic;
        case Resampling::CubicSpline:
            return GRA_CubicSpline;
        case Resampling::Lanczos:
            return GRA_Lanczos;
        case Resampling::Average:
            return GRA_Average;
        case Resampling::Mode:
            return GRA_Mode;
    }
    return GRA_Cubic;
}

std::string LatLonWkt() {
    OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
    char* wkt = nullptr;
    std::string text;
    if (OSRImportFromEPSG(srs, 4326) == OGRERR_NONE && OSRExportToWkt(srs, &wkt) == OGRERR_NONE) text = wkt;
    CPLFree(wkt);
    OSRDestroySpatialReference(srs);
    return text;
}

// How the source's bands become a tile's colours and its transparency.
struct BandUse {
    std::vector<int> colour;  // 3 bands, or 1 for grey
    int alpha = 0;            // 0: none
    bool palette = false;     // expanded to red, green, blue and alpha first
    std::optional<double> noData;
};

// One level's pixel grid in degrees: tiles are cut from it, north-west first.
struct Grid {
    double west = 0, north = 0, dx = 0, dy = 0;
    int width = 0, height = 0;
};

// A level as the source makes it: its grid, and the overview its pixels are read from
// (-1: the raster itself).
struct LevelGrid {
    int zoom = 0;
    Grid grid;
    int overview = -1;
};

// What an import learns of the raster before it warps a tile.
struct Layout {
    BandUse bands;
    std::string srcWkt;             // empty: the source's own
    std::vector<LevelGrid> levels;  // every level the source offers, coarsest first
    int tileSize = 0;
    std::string copyright;
};

// One opening of the source, or of one of its overviews: its palette expanded where it has
// one, and a transformer whose destination is moved tile by tile. The transformer's
// projection objects belong to the thread that made them, so a thread that takes the
// input over makes its own.
struct Input {
    Dataset source;
    Dataset expanded;
    void* transformer = nullptr;
    std::thread::id owner;

    Input() = default;
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;
    ~Input() {
        if (transformer) GDALDestroyGenImgProjTransformer(transformer);
    }
    GDALDatasetH Get() const { return expanded ? expanded.get() : source.get(); }

    bool Bind(const char* const* transformOptions) {
        if (transformer && owner == std::this_thread::get_id()) return true;
        if (transformer) GDALDestroyGenImgProjTransformer(transformer);
        transformer = GDALCreateGenImgProjTransformer2(Get(), nullptr, const_cast<char**>(transformOptions));
        owner = std::this_thread::get_id();
        return transformer != nullptr;
    }
};

// A worker's own GDAL handles (a dataset is not to be shared between threads): its
// openings by overview, and the tile the warper writes into.
struct Worker {
    std::map<int, std::unique_ptr<Input>> inputs;
    Dataset tile;
    std::vector<std::uint8_t> pixels, rgb;
};

// Which worker each thread of one run of the pool has taken.
struct Claims {
    std::mutex mutex;
    std::map<std::thread::id, Worker*> byThread;
};

// An encoder error must not end the program: libjpeg's default handler calls exit().
struct JpegErrors {
    jpeg_error_mgr base;
    std::jmp_buf escape;
};

void OnJpegError(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->escape, 1); }

// Baseline, Huffman-coded JPEG, which the devices decode; 4:2:0 unless asked otherwise.
bool EncodeJpeg(const std::uint8_t* rgb, int width, int height, const RasterOptions& options, Bytes& out) {
    jpeg_compress_struct encoder{};
    JpegErrors errors{};
    encoder.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = OnJpegError;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (setjmp(errors.escape)) {
        jpeg_destroy_compress(&encoder);
        std::free(buffer);
        return false;
    }
    jpeg_create_compress(&encoder);
    jpeg_mem_dest(&encoder, &buffer, &size);
    encoder.image_width = JDIMENSION(width);
    encoder.image_height = JDIMENSION(height);
    encoder.input_components = 3;
    encoder.in_color_space = JCS_RGB;
    jpeg_set_defaults(&encoder);
    jpeg_set_quality(&encoder, options.quality, TRUE);
    if (options.fullChroma) {
        for (int c = 0; c < encoder.num_components; ++c)
            encoder.comp_info[c].h_samp_factor = encoder.comp_info[c].v_samp_factor = 1;
    }
    jpeg_start_compress(&encoder, TRUE);
    while (encoder.next_scanline < encoder.image_height) {
        JSAMPROW line = const_cast<JSAMPROW>(rgb + std::size_t(encoder.next_scanline) * std::size_t(width) * 3);
        jpeg_write_scanlines(&encoder, &line, 1);
    }
    jpeg_finish_compress(&encoder);
    out.assign(buffer, buffer + size);
    jpeg_destroy_compress(&encoder);
    std::free(buffer);
    return true;
}

struct Spooled {
    TileKey key;
    std::int64_t offset = 0;
    std::size_t size = 0;
};

class RasterSource : public TileSource {
public:
    RasterSource(std::string path, RasterOptions options, FillColour fill, Layout layout)
        : path_(std::move(path)),
          options_(options),
          fill_(fill),
          bands_(std::move(layout.bands)),
          srcWkt_(std::move(layout.srcWkt)),
          levels_(std::move(layout.levels)),
          tileSize_(layout.tileSize),
          copyright_(std::move(layout.copyright)) {}

    ~RasterSource() override {
        if (spool_) std::fclose(spool_);
    }

    bool Start(Error& error) {
        spool_ = std::tmpfile();
        if (!spool_)
            return Fail(error, Error(ErrorCode::CannotWrite).File("a temporary file").Detail(std::strerror(errno)));
        dstOption_ = "DST_SRS=" + LatLonWkt();
        srcOption_ = "SRC_SRS=" + srcWkt_;
        // The raster opened once here, so that one that cannot be opened again fails before the plan.
        return AddWorker(error) && InputOf(*workers_.front(), -1, error);
    }

    bool Zooms(std::vector<int>& zooms, Error&) override {
        zooms.clear();
        for (const LevelGrid& level : levels_) zooms.push_back(level.zoom);
        return true;
    }

    bool Texts(SourceTexts& texts, Error&) override {
        texts = SourceTexts{};
        texts.attribution = copyright_;
        return true;
    }

    std::string Describe(const TileKey& key) const override {
        return "zoom " + std::to_string(key.zoom) + ", column " + std::to_string(key.x) + ", row " +
               std::to_string(key.y);
    }

    JnxBounds Bounds(const TileKey& key) const override {
        const Grid grid = GridOf(key.zoom);
        const int x0 = int(key.x) * tileSize_, y0 = int(key.y) * tileSize_;
        const int x1 = std::min(x0 + tileSize_, grid.width), y1 = std::min(y0 + tileSize_, grid.height);
        const auto lat = [](double d) { return JnxUnits(std::clamp(d, -90.0, 90.0)); };
        const auto lon = [](double d) { return JnxUnits(std::clamp(d, -180.0, 180.0)); };
        return {lat(grid.north - y0 * grid.dy), lon(grid.west + x1 * grid.dx), lat(grid.north - y1 * grid.dy),
                lon(grid.west + x0 * grid.dx)};
    }

    std::int32_t Scale(int zoom, double centreDegrees) const override {
        return settings::NativeScale(settings::GroundMetresPerPixel(GridOf(zoom).dx, centreDegrees));
    }
    bool OnWebGrid() const override { return false; }
    void WatchStop(std::function<bool()> stopAsked) override { stopAsked_ = std::move(stopAsked); }

    bool Survey(int zoom, const SurveyVisitor& visit, Error& error) override {
        const LevelGrid& level = LevelOf(zoom);
        const Grid& grid = level.grid;
        const GDALResampleAlg resampling =
            GdalResampling(zoom == levels_.back().zoom ? options_.finest : options_.coarser);
        const int columns = (grid.width + tileSize_ - 1) / tileSize_, rows = (grid.height + tileSize_ - 1) / tileSize_;
        std::vector<Spooled>& spooled = spooled_[zoom];
        spooled.clear();
        std::vector<Bytes> encoded(SlotsFor(WorkerCount()));
        Claims claims;
        OrderedTasks tasks;
        tasks.count = std::int64_t(columns) * rows;
        tasks.slots = encoded.size();
        tasks.make = [&](std::int64_t index, std::size_t slot, Error& e) {
            const QuietGdal quiet;
            Worker* worker = WorkerOfThisThread(claims, e);
            Input* input = worker ? InputOf(*worker, level.overview, e) : nullptr;
            return input && MakeTile(*worker, *input, grid, resampling, int(index % columns) * tileSize_,
                                     int(index / columns) * tileSize_, encoded[slot], e);
        };
        tasks.take = [&](std::int64_t index, std::size_t slot, Error& e) {
            // As often as a window of tiles is taken: a warp may be slow, the question is not.
            if (index % std::int64_t(tasks.slots) == 0 && stopAsked_ && stopAsked_())
                return Fail(e, Error(ErrorCode::Cancelled));
            const Bytes& image = encoded[slot];
            if (image.empty()) return true;  // wholly outside the raster's data
            const TileKey key{zoom, std::uint32_t(index % columns), std::uint32_t(index / columns)};
            if (!Put(image, e)) return false;
            spooled.push_back({key, spoolEnd_ - std::int64_t(image.size()), image.size()});
            const Bytes head(image.begin(), image.begin() + std::ptrdiff_t(std::min(image.size(), kHeadRead)));
            const ReadImageBytes more = [&image](std::int64_t offset, std::size_t n, Bytes& out, Error&) {
                const auto from = std::size_t(std::clamp<std::int64_t>(offset, 0, std::int64_t(image.size())));
                out.assign(image.begin() + std::ptrdiff_t(from),
                           image.begin() + std::ptrdiff_t(std::min(image.size(), from + n)));
                return true;
            };
            return visit(key, std::int64_t(image.size()), head, more, e);
        };
        return RunInOrder(tasks, error);
    }

    bool Copy(int zoom, const CopyVisitor& visit, Error& error) override {
        Bytes image;
        for (const Spooled& tile : spooled_[zoom]) {
            image.resize(tile.size);
            std::size_t got = 0;
            while (got < image.size()) {
                const ssize_t n = ::pread(fileno(spool_), image.data() + got, image.size() - got,
                                          off_t(tile.offset + std::int64_t(got)));
                if (n <= 0)
                    return Fail(error, Error(ErrorCode::CannotRead)
                                           .File("a temporary file")
                                           .Detail(n < 0 ? std::strerror(errno) : "it ends early"));
                got += std::size_t(n);
            }
            if (!visit(tile.key, image.data(), image.size(), error)) return false;
        }
        return true;
    }

private:
    std::array<const char*, 3> TransformOptions() const {
        return {dstOption_.c_str(), srcWkt_.empty() ? nullptr : srcOption_.c_str(), nullptr};
    }

    Error Unreadable(std::string why) const {
        return Error(ErrorCode::ConvertRasterUnreadable).File(path_).Detail(std::move(why));
    }
    Error Unsupported(std::string why) const {
        return Error(ErrorCode::ConvertRasterUnsupported).File(path_).Detail(std::move(why));
    }

    const LevelGrid& LevelOf(int zoom) const {
        const auto found =
            std::find_if(levels_.begin(), levels_.end(), [zoom](const LevelGrid& level) { return level.zoom == zoom; });
        return found != levels_.end() ? *found : levels_.back();
    }
    const Grid& GridOf(int zoom) const { return LevelOf(zoom).grid; }

    bool AddWorker(Error& error) {
        auto& worker = *workers_.emplace_back(std::make_unique<Worker>());
        const int outBands = int(bands_.colour.size()) + 1;
        worker.tile.reset(
            GDALCreate(GDALGetDriverByName("MEM"), "", tileSize_, tileSize_, outBands, GDT_Byte, nullptr));
        if (worker.tile) return true;
        workers_.pop_back();
        return Fail(error, Unsupported("no tile can be made in memory: " + GdalWhy("")));
    }

    // A thread of the pool keeps the worker it first takes for the whole run, so that its
    // transformer is made once and no worker is ever in two threads at once; workers outlive
    // the run, with their openings, for the next level's threads.
    Worker* WorkerOfThisThread(Claims& claims, Error& error) {
        const std::lock_guard lock(claims.mutex);
        const auto thread = std::this_thread::get_id();
        if (const auto found = claims.byThread.find(thread); found != claims.byThread.end()) return found->second;
        const std::size_t next = claims.byThread.size();
        if (next == workers_.size() && !AddWorker(error)) return nullptr;
        return claims.byThread[thread] = workers_[next].get();
    }

    // The worker's opening of the raster or of one of its overviews, opened at first use.
    Input* InputOf(Worker& worker, int overview, Error& error) const {
        std::unique_ptr<Input>& input = worker.inputs[overview];
        if (!input) {
            input = std::make_unique<Input>();
            const std::string level = "OVERVIEW_LEVEL=" + std::to_string(overview);
            const char* openOptions[] = {overview >= 0 ? level.c_str() : nullptr, nullptr};
            input->source.reset(
                GDALOpenEx(path_.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, openOptions, nullptr));
            if (!input->source) {
                input.reset();
                Fail(error, Unreadable(GdalWhy("it cannot be opened again")));
                return nullptr;
            }
            if (bands_.palette) {
                const char* args[] = {"-of", "VRT", "-expand", "rgba", nullptr};
                GDALTranslateOptions* translate = GDALTranslateOptionsNew(const_cast<char**>(args), nullptr);
                input->expanded.reset(GDALTranslate("", input->source.get(), translate, nullptr));
                GDALTranslateOptionsFree(translate);
                if (!input->expanded) {
                    input.reset();
                    Fail(error, Unsupported("its palette cannot be expanded: " + GdalWhy("")));
                    return nullptr;
                }
            }
        }
        if (!input->Bind(TransformOptions().data())) {
            Fail(error, Unsupported("it cannot be warped to latitude and longitude: " + GdalWhy("")));
            return nullptr;
        }
        return input.get();
    }

    bool Put(const Bytes& image, Error& error) {
        std::size_t put = 0;
        while (put < image.size()) {
            const ssize_t n = ::pwrite(fileno(spool_), image.data() + put, image.size() - put, off_t(spoolEnd_));
            if (n <= 0)
                return Fail(error, Error(ErrorCode::CannotWrite)
                                       .File("a temporary file")
                                       .Detail(n < 0 ? std::strerror(errno) : "nothing was written"));
            put += std::size_t(n);
            spoolEnd_ += n;
        }
        return true;
    }

    // Warps the tile whose north-west pixel is (x0, y0) of the grid; out stays empty where no
    // pixel of it holds data. Pixels partly or wholly without data are laid over the fill.
    bool MakeTile(Worker& worker, Input& input, const Grid& grid, GDALResampleAlg resampling, int x0, int y0,
                  Bytes& out, Error& error) const {
        const int width = std::min(tileSize_, grid.width - x0), height = std::min(tileSize_, grid.height - y0);
        double where[6] = {grid.west + x0 * grid.dx, grid.dx, 0, grid.north - y0 * grid.dy, 0, -grid.dy};
        GDALSetGenImgProjTransformerDstGeoTransform(input.transformer, where);
        void* approx = GDALCreateApproxTransformer(GDALGenImgProjTransform, input.transformer, kApproxError);
        const int colours = int(bands_.colour.size());
        GDALWarpOptions* options = GDALCreateWarpOptions();
        options->hSrcDS = input.Get();
        options->hDstDS = worker.tile.get();
        options->nBandCount = colours;
        options->panSrcBands = static_cast<int*>(CPLMalloc(sizeof(int) * std::size_t(colours)));
        options->panDstBands = static_cast<int*>(CPLMalloc(sizeof(int) * std::size_t(colours)));
        for (int b = 0; b < colours; ++b) {
            options->panSrcBands[b] = bands_.colour[std::size_t(b)];
            options->panDstBands[b] = b + 1;
        }
        if (bands_.noData) {
            options->padfSrcNoDataReal = static_cast<double*>(CPLMalloc(sizeof(double) * std::size_t(colours)));
            std::fill_n(options->padfSrcNoDataReal, colours, *bands_.noData);
            options->papszWarpOptions = CSLSetNameValue(options->papszWarpOptions, "UNIFIED_SRC_NODATA", "YES");
        }
        options->nSrcAlphaBand = bands_.alpha;
        options->nDstAlphaBand = colours + 1;
        options->eResampleAlg = resampling;
        options->eWorkingDataType = GDT_Byte;
        options->dfWarpMemoryLimit = std::max(kLeastWarpMemory, kWarpMemory / double(WorkerCount()));
        options->pfnTransformer = GDALApproxTransform;
        options->pTransformerArg = approx;
        options->papszWarpOptions = CSLSetNameValue(options->papszWarpOptions, "INIT_DEST", "0");
        GDALWarpOperationH operation = GDALCreateWarpOperation(options);
        bool ok = operation && GDALChunkAndWarpImage(operation, 0, 0, width, height) == CE_None;
        if (operation) GDALDestroyWarpOperation(operation);
        GDALDestroyWarpOptions(options);
        GDALDestroyApproxTransformer(approx);

        const int bands = colours + 1;
        worker.pixels.resize(std::size_t(width) * std::size_t(height) * std::size_t(bands));
        ok = ok && GDALDatasetRasterIO(worker.tile.get(), GF_Read, 0, 0, width, height, worker.pixels.data(), width,
                                       height, GDT_Byte, bands, nullptr, bands, width * bands, 1) == CE_None;
        if (!ok)
            return Fail(error, Unreadable("the tile " +
                                          Describe({0, std::uint32_t(x0 / tileSize_), std::uint32_t(y0 / tileSize_)}) +
                                          " cannot be warped: " + GdalWhy("GDAL gave no reason")));
        const std::size_t count = std::size_t(width) * std::size_t(height);
        worker.rgb.resize(count * 3);
        bool any = false;
        const unsigned fill[3] = {fill_.r, fill_.g, fill_.b};
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t* p = &worker.pixels[i * std::size_t(bands)];
            const unsigned a = p[colours];
            any = any || a != 0;
            for (int c = 0; c < 3; ++c) {
                const unsigned v = p[colours == 3 ? c : 0];
                worker.rgb[i * 3 + std::size_t(c)] = std::uint8_t((v * a + fill[c] * (255 - a) + 127) / 255);
            }
        }
        out.clear();
        if (!any) return true;
        if (!EncodeJpeg(worker.rgb.data(), width, height, options_, out))
            return Fail(error, Unsupported("a tile cannot be encoded as JPEG"));
        return true;
    }

    std::string path_;
    RasterOptions options_;
    FillColour fill_;
    BandUse bands_;
    std::string srcWkt_;  // empty: the source's own
    std::string dstOption_, srcOption_;
    std::vector<LevelGrid> levels_;
    int tileSize_;
    std::string copyright_;
    std::vector<std::unique_ptr<Worker>> workers_;
    std::FILE* spool_ = nullptr;
    std::int64_t spoolEnd_ = 0;
    std::map<int, std::vector<Spooled>> spooled_;
    std::function<bool()> stopAsked_;
};

bool ChooseBands(GDALDatasetH dataset, const std::string& path, BandUse& use, Error& error) {
    const int count = GDALGetRasterCount(dataset);
    if (count == 0)
        return Fail(error,
                    Error(ErrorCode::ConvertRasterUnreadable)
                        .File(path)
                        .Detail("it holds no raster bands (a container of several rasters is opened one by one)"));
    for (int b = 1; b <= count; ++b) {
        GDALRasterBandH band = GDALGetRasterBand(dataset, b);
        if (GDALGetRasterDataType(band) != GDT_Byte)
            return Fail(
                error,
                Error(ErrorCode::ConvertRasterUnsupported)
                    .File(path)
                    .Detail(std::string("its band ") + std::to_string(b) + " holds " +
                            GDALGetDataTypeName(GDALGetRasterDataType(band)) +
                            " values; only 8-bit bands become tiles (gdal_translate -ot Byte -scale makes them so)"));
        if (GDALGetRasterColorInterpretation(band) == GCI_AlphaBand && !use.alpha)
            use.alpha = b;
        else if (use.colour.size() < 3)
            use.colour.push_back(b);
    }
    GDALRasterBandH first = GDALGetRasterBand(dataset, 1);
    if (GDALGetRasterColorTable(first)) {
        use = BandUse{{1, 2, 3}, 4, true, std::nullopt};
        return true;
    }
    if (use.colour.size() == 2) use.colour.resize(1);
    int has = 0;
    const double noData = GDALGetRasterNoDataValue(GDALGetRasterBand(dataset, use.colour.front()), &has);
    if (has) use.noData = noData;
    return true;
}

std::once_flag registered;


// Coarser levels cover the finest one's area exactly, with pixels stretched by less than a
// pixel over the level where the finest one's size does not divide, so that no level
// reaches beyond the others with a blank margin.
Grid Reduced(const Grid& finest, int width, int height) {
    Grid grid = finest;
    grid.width = std::max(1, width);
    grid.height = std::max(1, height);
    grid.dx = finest.dx * finest.width / grid.width;
    grid.dy = finest.dy * finest.height / grid.height;
    return grid;
}

// An overview's index and how many of the raster's pixels each of its pixels spans.
struct Overview {
    int index = 0;
    double across = 1, down = 1;
};

std::vector<Overview> OverviewsOf(GDALDatasetH dataset) {
    std::vector<Overview> found;
    GDALRasterBandH band = GDALGetRasterBand(dataset, 1);
    const int width = GDALGetRasterXSize(dataset), height = GDALGetRasterYSize(dataset);
    for (int i = 0; i < GDALGetOverviewCount(band); ++i) {
        GDALRasterBandH overview = GDALGetOverview(band, i);
        if (!overview || GDALGetRasterBandXSize(overview) <= 0 || GDALGetRasterBandYSize(overview) <= 0) continue;
        const Overview o{i, double(width) / GDALGetRasterBandXSize(overview),
                         double(height) / GDALGetRasterBandYSize(overview)};
        if (o.across > 1 && o.down > 1) found.push_back(o);
    }
    std::sort(found.begin(), found.end(), [](const Overview& a, const Overview& b) { return a.across < b.across; });
    return found;
}

// Whether the raster's outline crosses the 180th meridian: along its edges, the longitude
// jumps by more than half a turn between neighbouring points. A raster in latitude and
// longitude reaching past 180 degrees does not wrap, and is caught by its extent instead.
bool CrossesAntimeridian(void* transformer, int width, int height) {
    constexpr int kSteps = 64;
    std::vector<double> x, y, z;
    for (int i = 0; i <= kSteps; ++i) x.push_back(double(width) * i / kSteps), y.push_back(0);
    for (int i = 0; i <= kSteps; ++i) x.push_back(width), y.push_back(double(height) * i / kSteps);
    for (int i = kSteps; i >= 0; --i) x.push_back(double(width) * i / kSteps), y.push_back(height);
    for (int i = kSteps; i >= 0; --i) x.push_back(0), y.push_back(double(height) * i / kSteps);
    z.assign(x.size(), 0.0);
    std::vector<int> ok(x.size(), 0);
    GDALGenImgProjTransform(transformer, FALSE, int(x.size()), x.data(), y.data(), z.data(), ok.data());
    for (std::size_t i = 1; i < x.size(); ++i)
        if (ok[i] && ok[i - 1] && std::abs(x[i] - x[i - 1]) > 180) return true;
    return false;
}

int NearestZoom(double degreesPerPixel) {
    return int(std::clamp(std::lround(ZoomForResolution(degreesPerPixel)), 0L, long(kMaxWebZoom)));
}

// Each level is half the resolution of the next, read from the coarsest overview that still
// holds its resolution; or, asked for, the overviews are the levels, each but one whose
// nearest zoom a finer level has already taken.
std::vector<LevelGrid> LevelsOf(const Grid& finest, const std::vector<Overview>& overviews,
                                const ImportOptions& options) {
    const int count = options.zooms.empty() ? std::clamp(options.raster.levels, 1, kMaxWebZoom + 1) : kMaxWebZoom + 1;
    const int finestZoom = NearestZoom(finest.dx);
    std::vector<LevelGrid> levels{{finestZoom, finest, -1}};
    if (options.raster.overviews) {
        for (const Overview& o : overviews) {
            if (int(levels.size()) >= count) break;
            const Grid grid =
                Reduced(finest, int(std::lround(finest.width / o.across)), int(std::lround(finest.height / o.down)));
            const int zoom = NearestZoom(grid.dx);
            if (zoom < levels.back().zoom) levels.push_back({zoom, grid, o.index});
        }
    } else {
        for (int zoom = finestZoom - 1; zoom >= std::max(0, finestZoom - count + 1); --zoom) {
            const int factor = 1 << std::min(finestZoom - zoom, 30);
            LevelGrid level{
                zoom, Reduced(finest, (finest.width + factor - 1) / factor, (finest.height + factor - 1) / factor), -1};
            for (const Overview& o : overviews)
                if (o.across <= factor && o.down <= factor) level.overview = o.index;
            levels.push_back(level);
        }
    }
    std::reverse(levels.begin(), levels.end());
    return levels;
}

bool Inspect(const std::string& path, const ImportOptions& options, Layout& layout, Error& error) {
    std::call_once(registered, [] { GDALAllRegister(); });
    if (GDALGetCacheMax64() > kMaxBlockCache) GDALSetCacheMax64(kMaxBlockCache);
    const QuietGdal quiet;
    const auto refuse = [&](ErrorCode code, std::string why) {
        return Fail(error, Error(code).File(path).Detail(std::move(why)));
    };
    Dataset dataset(GDALOpenEx(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
    if (!dataset) return refuse(ErrorCode::ConvertRasterUnreadable, GdalWhy("GDAL reads no raster format from it"));
    layout = Layout{};
    if (!ChooseBands(dataset.get(), path, layout.bands, error)) return false;

    const int width = GDALGetRasterXSize(dataset.get()), height = GDALGetRasterYSize(dataset.get());
    double gt[6];
    const bool hasTransform = GDALGetGeoTransform(dataset.get(), gt) == CE_None;
    const int controlPoints = GDALGetGCPCount(dataset.get());
    if (!hasTransform && controlPoints < 3)
        return refuse(ErrorCode::ConvertRasterNotGeoreferenced, "it has neither a geotransform nor control points");
    // A north-up tile carries no turn; one that moves the rows by less than half a pixel
    // over the whole raster is rounding, not rotation.
    if (hasTransform &&
        (std::abs(gt[2]) * height > 0.5 * std::abs(gt[1]) || std::abs(gt[4]) * width > 0.5 * std::abs(gt[5]))) {
        const double degrees = std::atan2(std::abs(gt[4]), std::abs(gt[1])) * 180.0 / kPi;
        char turn[64];
        std::snprintf(turn, sizeof turn, "its rows turn by %.3g degrees", degrees);
        return refuse(ErrorCode::ConvertRasterRotated, turn);
    }
    OGRSpatialReferenceH srs = hasTransform ? GDALGetSpatialRef(dataset.get()) : GDALGetGCPSpatialRef(dataset.get());
    if (!srs) {
        // A world file says where, not in which system; coordinates that can only be
        // degrees are taken as latitude and longitude, as such pictures commonly are.
        const double east = gt[0] + gt[1] * width, south = gt[3] + gt[5] * height;
        const bool degrees = hasTransform && std::min(gt[0], east) >= -180 && std::max(gt[0], east) <= 180 &&
                             std::min(gt[3], south) >= -90 && std::max(gt[3], south) <= 90;
        if (!degrees) return refuse(ErrorCode::ConvertRasterNotGeoreferenced, "it names no coordinate system");
        layout.srcWkt = LatLonWkt();
    }

    const std::string dstOption = "DST_SRS=" + LatLonWkt(), srcOption = "SRC_SRS=" + layout.srcWkt;
    const char* transformOptions[] = {dstOption.c_str(), layout.srcWkt.empty() ? nullptr : srcOption.c_str(), nullptr};
    void* transformer = GDALCreateGenImgProjTransformer2(dataset.get(), nullptr, const_cast<char**>(transformOptions));
    if (!transformer)
        return refuse(ErrorCode::ConvertRasterUnsupported,
                      "its coordinate system cannot be transformed to latitude and longitude: " + GdalWhy(""));
    double out[6];
    int pixels = 0, lines = 0;
    double extent[4];
    const CPLErr suggested =
        GDALSuggestedWarpOutput2(dataset.get(), GDALGenImgProjTransform, transformer, out, &pixels, &lines, extent, 0);
    const bool across = CrossesAntimeridian(transformer, width, height);
    GDALDestroyGenImgProjTransformer(transformer);
    // Its two sides would need a map whose bounds wrap, which the header's rectangle cannot
    // say; the warp would otherwise spread it over the whole width of the world.
    if (across)
        return refuse(ErrorCode::ConvertRasterUnsupported,
                      "it reaches across the 180th meridian; warp each side to a raster of its own "
                      "(gdalwarp -t_srs EPSG:4326 -te ...) and import each as a map");
    if (suggested != CE_None || pixels <= 0 || lines <= 0 || out[1] <= 0 || out[5] >= 0)
        return refuse(
            ErrorCode::ConvertRasterUnsupported,
            "where it lies in latitude and longitude cannot be worked out: " + GdalWhy("GDAL gave no reason"));
    // A little beyond the poles or the antimeridian is the warp's margin; more is a raster
    // across the 180th meridian.
    const double slack = 2 * out[1];
    if (extent[0] < -180 - slack || extent[2] > 180 + slack)
        return refuse(ErrorCode::ConvertRasterUnsupported,
                      "it reaches beyond 180 degrees of longitude; warp each side to a raster of its own "
                      "(gdalwarp -t_srs EPSG:4326 -te ...) and import each as a map");
    if (extent[1] < -90 - slack || extent[3] > 90 + slack)
        return refuse(ErrorCode::ConvertRasterUnsupported, "it reaches beyond the pole");

    const Grid finest{out[0], out[3], out[1], -out[5], pixels, lines};
    layout.levels = LevelsOf(finest, OverviewsOf(dataset.get()), options);
    // The tile size is fitted to the finest level that will be made.
    const LevelGrid* finestMade = &layout.levels.back();
    for (const LevelGrid& level : layout.levels)
        if (std::binary_search(options.zooms.begin(), options.zooms.end(), level.zoom)) finestMade = &level;
    const std::int64_t madeWidth = finestMade->grid.width, madeHeight = finestMade->grid.height;
    layout.tileSize = options.raster.tileSize;
    if (layout.tileSize == 0) {
        layout.tileSize = kTileSizes[std::size(kTileSizes) - 1];
        for (int size : kTileSizes) {
            if (((madeWidth + size - 1) / size) * ((madeHeight + size - 1) / size) <= options.limits.tilesPerLevel) {
                layout.tileSize = size;
                break;
            }
        }
    }
    const char* copyright = GDALGetMetadataItem(dataset.get(), "TIFFTAG_COPYRIGHT", nullptr);
    layout.copyright = copyright ? copyright : "";
    return true;
}


}  // namespace

std::optional<Resampling> ResamplingNamed(const std::string& name) {
    static const std::map<std::string, Resampling> names{{"near", Resampling::Nearest},
                                                         {"nearest", Resampling::Nearest},
                                                         {"bilinear", Resampling::Bilinear},
                                                         {"cubic", Resampling::Cubic},
                                                         {"cubicspline", Resampling::CubicSpline},
                                                         {"lanczos", Resampling::Lanczos},
                                                         {"average", Resampling::Average},
                                                         {"mode", Resampling::Mode}};
    const auto found = names.find(name);
    if (found == names.end()) return std::nullopt;
    return found->second;
}

bool IsRasterFile(const std::string& path) {
    std::error_code failed;
    if (!std::filesystem::is_regular_file(path, failed)) return false;
    std::string extension = platform::ExtensionOf(path);
    std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
    if (extension == "kmz" || extension == "kml" || extension == "mbtiles") return false;
    // GDAL reads MBTiles too, but as tiles to copy they are the tile sources' own.
    char magic[16] = {};
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        const std::size_t got = std::fread(magic, 1, sizeof magic, file);
        std::fclose(file);
        if (got == sizeof magic && std::memcmp(magic, "SQLite format 3", 16) == 0) return false;
    }
    static const char* const kRasterExtensions[] = {"tif",  "tiff", "vrt", "jp2", "j2k", "png", "jpg",
                                                    "jpeg", "gif",  "img", "ecw", "sid", "bmp", "webp"};
    if (std::find(std::begin(kRasterExtensions), std::end(kRasterExtensions), extension) != std::end(kRasterExtensions))
        return true;
    std::call_once(registered, [] { GDALAllRegister(); });
    const QuietGdal quiet;
    return GDALIdentifyDriverEx(path.c_str(), GDAL_OF_RASTER, nullptr, nullptr) != nullptr;
}


bool PlanRaster(const std::string& path, const ImportOptions& options, RasterPlan& plan, Error& error) {
    Layout layout;
    if (!Inspect(path, options, layout, error)) return false;
    plan = RasterPlan{};
    plan.tileSize = layout.tileSize;
    // The zooms the import takes of those the source offers, as it chooses them.
    std::vector<LevelGrid> taken;
    if (options.zooms.empty()) {
        const std::size_t keep = std::min(layout.levels.size(), std::size_t(kDefaultZoomCount));
        taken.assign(layout.levels.end() - std::ptrdiff_t(keep), layout.levels.end());
    }
    for (int zoom : options.zooms) {
        const auto found = std::find_if(layout.levels.begin(), layout.levels.end(),
                                        [zoom](const LevelGrid& level) { return level.zoom == zoom; });
        if (found == layout.levels.end())
            return Fail(error, Error(ErrorCode::ConvertNoSuchZoom).File(path).Value(zoom));
        taken.push_back(*found);
    }
    // The map's scales are taken at the middle latitude of its bounds, as the import takes them.
    const Grid& whole = layout.levels.back().grid;
    const auto lat = [](double d) { return Degrees(JnxUnits(std::clamp(d, -90.0, 90.0))); };
    const double centre = (lat(whole.north) + lat(whole.north - whole.height * whole.dy)) / 2.0;
    for (std::size_t k = 0; k < taken.size(); ++k) {
        const Grid& grid = taken[k].grid;
        RasterLevel& level = plan.levels.emplace_back();
        level.zoom = taken[k].zoom;
        level.width = grid.width;
        level.height = grid.height;
        level.columns = (grid.width + plan.tileSize - 1) / plan.tileSize;
        level.rows = (grid.height + plan.tileSize - 1) / plan.tileSize;
        level.degreesPerPixel = grid.dx;
        level.metresPerPixel = settings::GroundMetresPerPixel(grid.dx, centre);
        level.scale = k < options.scales.size() && options.scales[k]
                          ? *options.scales[k]
                          : FamilyScale(settings::NativeScale(level.metresPerPixel), options.scaleFactor);
        level.overview = taken[k].overview;
        plan.volumes = plan.volumes || level.Tiles() > options.limits.tilesPerLevel;
    }
    return true;
}

std::unique_ptr<TileSource> OpenRaster(const std::string& path, const ImportOptions& options, Error& error) {
    Layout layout;
    if (!Inspect(path, options, layout, error)) return nullptr;
    auto source = std::make_unique<RasterSource>(path, options.raster, options.fill, std::move(layout));
    const QuietGdal quiet;
    if (!source->Start(error)) return nullptr;
    return source;
}

}  // namespace convert
