#include "convert/jpeg_join.h"

// clang-format off
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE declared first
#include <jpeglib.h>
// clang-format on

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

namespace convert {
namespace {

using platform::Error;
using platform::ErrorCode;
using platform::Fail;

// What the coefficients of one image may take: a 16-megapixel tile at 4:4:4 and
// some. libjpeg refuses a larger one (it has no backing store to fall back on).
constexpr long kMaxMemory = 128L << 20;
// No encoder writes hundreds of scans; a hostile image of endless tiny ones
// costs time without end.
constexpr int kMaxScans = 500;
// The largest side a frame header can state.
constexpr long kMaxSide = 65500;
// The largest side of a tile worked on; JNX tiles are 256 to 1024 pixels wide.
constexpr JDIMENSION kMaxTileSide = 4096;

// libjpeg's errors end in a jump back to the guarded function that called it.
// Between a guard's setjmp and any jump to it only C calls and trivially
// destructible locals live, so the jump skips no destructor.
struct Trap {
    jpeg_error_mgr manager;  // first, so libjpeg's pointer to it is a pointer to the trap
    jpeg_progress_mgr progress;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

Trap& TrapOf(j_common_ptr cinfo) { return *reinterpret_cast<Trap*>(cinfo->err); }

[[noreturn]] void JumpOut(j_common_ptr cinfo) {
    (*cinfo->err->format_message)(cinfo, TrapOf(cinfo).message);
    std::longjmp(TrapOf(cinfo).jump, 1);
}

// Warnings (a missing end marker, a corrupt stretch of data) leave an image
// that decodes; the copy shows what the source shows.
void IgnoreWarning(j_common_ptr, int) {}

void LimitScans(j_common_ptr cinfo) {
    if (!cinfo->is_decompressor) return;
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number <= kMaxScans) return;
    std::snprintf(TrapOf(cinfo).message, sizeof TrapOf(cinfo).message, "more than %d scans", kMaxScans);
    std::longjmp(TrapOf(cinfo).jump, 1);
}

// What two pieces must share to be joined.
struct Shape {
    long width = 0, height = 0;
    int components = 0;
    J_COLOR_SPACE space = JCS_UNKNOWN;
    int maxH = 1, maxV = 1;
    std::array<int, MAX_COMPONENTS> h{}, v{};
    std::array<std::array<UINT16, DCTSIZE2>, MAX_COMPONENTS> quant{};
    // The coefficient arrays as libjpeg allocates them: whole MCUs of blocks.
    std::array<JDIMENSION, MAX_COMPONENTS> blocksWide{}, blocksHigh{};
};

JDIMENSION RoundUp(JDIMENSION n, int multiple) {
    return (n + JDIMENSION(multiple) - 1) / JDIMENSION(multiple) * JDIMENSION(multiple);
}

// A decoder, an encoder and what libjpeg gave them; all released with it.
struct Session {
    Trap trap{};
    jpeg_decompress_struct in{};
    jpeg_compress_struct out{};
    bool haveIn = false, haveOut = false;
    jvirt_barray_ptr* sourceBlocks = nullptr;  // the piece read last
    std::array<jvirt_barray_ptr, MAX_COMPONENTS> joined{};
    unsigned char* written = nullptr;
    unsigned long writtenSize = 0;
    std::vector<std::uint8_t> withSoi;

    Session() {
        jpeg_std_error(&trap.manager);
        trap.manager.error_exit = JumpOut;
        trap.manager.emit_message = IgnoreWarning;
        trap.progress.progress_monitor = LimitScans;
    }
    ~Session() {
        if (haveIn) jpeg_destroy_decompress(&in);
        if (haveOut) jpeg_destroy_compress(&out);
        std::free(written);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
};

// A fresh decoder for each piece, so that no table of one piece stands in for a
// table another lacks.
bool NewDecoder(Session& s) {
    if (s.haveIn) {
        jpeg_destroy_decompress(&s.in);
        s.haveIn = false;
    }
    s.in = jpeg_decompress_struct{};
    s.in.err = &s.trap.manager;
    s.haveIn = true;  // a zeroed struct is safe to destroy
    if (setjmp(s.trap.jump)) return false;
    jpeg_create_decompress(&s.in);
    s.in.mem->max_memory_to_use = kMaxMemory;
    s.in.progress = &s.trap.progress;
    return true;
}

bool NewEncoder(Session& s) {
    s.out.err = &s.trap.manager;
    s.haveOut = true;
    if (setjmp(s.trap.jump)) return false;
    jpeg_create_compress(&s.out);
    s.out.mem->max_memory_to_use = kMaxMemory;
    jpeg_mem_dest(&s.out, &s.written, &s.writtenSize);
    return true;
}

bool DecodeCoefficients(Session& s, const std::uint8_t* data, std::size_t size) {
    if (setjmp(s.trap.jump)) return false;
    jpeg_mem_src(&s.in, data, static_cast<unsigned long>(size));
    jpeg_read_header(&s.in, TRUE);
    // Refused before its coefficients take memory: a few bytes may claim any size.
    if (s.in.image_width > kMaxTileSide || s.in.image_height > kMaxTileSide) {
        std::snprintf(s.trap.message, sizeof s.trap.message, "%u x %u pixels, more than a map tile has",
                      s.in.image_width, s.in.image_height);
        return false;
    }
    s.sourceBlocks = jpeg_read_coefficients(&s.in);
    return true;
}

bool Unreadable(const JpegPiece& piece, const char* why, Error& error) {
    return Fail(error, Error(ErrorCode::JpegUnreadable).Value(piece.number).Detail(why));
}

// Reads a piece's coefficients into s.in, putting back the start marker a map
// strips.
bool ReadPiece(Session& s, const JpegPiece& piece, Error& error) {
    if (piece.size < 2) return Unreadable(piece, "it has no image data", error);
    const std::uint8_t* data = piece.data;
    std::size_t size = piece.size;
    if (data[0] != 0xFF || data[1] != 0xD8) {
        s.withSoi.assign({0xFF, 0xD8});
        s.withSoi.insert(s.withSoi.end(), data, data + size);
        data = s.withSoi.data();
        size = s.withSoi.size();
    }
    if (!NewDecoder(s) || !DecodeCoefficients(s, data, size)) return Unreadable(piece, s.trap.message, error);
    return true;
}

bool ShapeOf(const jpeg_decompress_struct& in, const JpegPiece& piece, Shape& shape, Error& error) {
    shape = Shape{};
    shape.width = long(in.image_width);
    shape.height = long(in.image_height);
    shape.components = in.num_components;
    shape.space = in.jpeg_color_space;
    shape.maxH = in.max_h_samp_factor;
    shape.maxV = in.max_v_samp_factor;
    for (int c = 0; c < in.num_components; ++c) {
        const jpeg_component_info& comp = in.comp_info[c];
        const JQUANT_TBL* table = comp.quant_table;
        if (table == nullptr && comp.quant_tbl_no >= 0 && comp.quant_tbl_no < NUM_QUANT_TBLS)
            table = in.quant_tbl_ptrs[comp.quant_tbl_no];
        if (table == nullptr) return Unreadable(piece, "a component has no quantisation table", error);
        shape.h[std::size_t(c)] = comp.h_samp_factor;
        shape.v[std::size_t(c)] = comp.v_samp_factor;
        std::copy(std::begin(table->quantval), std::end(table->quantval), shape.quant[std::size_t(c)].begin());
        shape.blocksWide[std::size_t(c)] = RoundUp(comp.width_in_blocks, comp.h_samp_factor);
        shape.blocksHigh[std::size_t(c)] = RoundUp(comp.height_in_blocks, comp.v_samp_factor);
    }
    return true;
}

// What differs between two pieces, for the refusal; nullptr when nothing does.
const char* Difference(const Shape& a, const Shape& b) {
    if (a.width != b.width || a.height != b.height) return "sizes";
    if (a.components != b.components || a.space != b.space) return "colour components";
    for (std::size_t c = 0; c < std::size_t(a.components); ++c) {
        if (a.h[c] != b.h[c] || a.v[c] != b.v[c]) return "sampling factors";
    }
    for (std::size_t c = 0; c < std::size_t(a.components); ++c) {
        if (a.quant[c] != b.quant[c]) return "quantisation tables";
    }
    return nullptr;
}

bool StartJoined(Session& s, const Shape& shape, int cols, int rows) {
    if (setjmp(s.trap.jump)) return false;
    jpeg_copy_critical_parameters(&s.in, &s.out);
    s.out.image_width = JDIMENSION(shape.width * cols);
    s.out.image_height = JDIMENSION(shape.height * rows);
    s.out.optimize_coding = TRUE;
    for (int c = 0; c < shape.components; ++c) {
        const auto k = std::size_t(c);
        s.joined[k] = (*s.out.mem->request_virt_barray)(reinterpret_cast<j_common_ptr>(&s.out), JPOOL_IMAGE, TRUE,
                                                        shape.blocksWide[k] * JDIMENSION(cols),
                                                        shape.blocksHigh[k] * JDIMENSION(rows), JDIMENSION(shape.v[k]));
    }
    (*s.out.mem->realize_virt_arrays)(reinterpret_cast<j_common_ptr>(&s.out));
    return true;
}

bool CopyPiece(Session& s, const Shape& shape, int col, int row) {
    if (setjmp(s.trap.jump)) return false;
    const auto in = reinterpret_cast<j_common_ptr>(&s.in);
    const auto out = reinterpret_cast<j_common_ptr>(&s.out);
    for (std::size_t c = 0; c < std::size_t(shape.components); ++c) {
        const JDIMENSION wide = shape.blocksWide[c], high = shape.blocksHigh[c];
        for (JDIMENSION r = 0; r < high; ++r) {
            JBLOCKARRAY from = (*s.in.mem->access_virt_barray)(in, s.sourceBlocks[c], r, 1, FALSE);
            JBLOCKARRAY to = (*s.out.mem->access_virt_barray)(out, s.joined[c], JDIMENSION(row) * high + r, 1, TRUE);
            std::memcpy(to[0] + JDIMENSION(col) * wide, from[0], wide * sizeof(JBLOCK));
        }
    }
    return true;
}

// The quantised DC coefficient that decodes to a uniform block of sample value
// v: the DC term is eight times the mean level-shifted sample.
JCOEF UniformDc(int v, UINT16 quant) {
    const double q = quant == 0 ? 1.0 : double(quant);
    return JCOEF(std::clamp(std::lround(8.0 * (v - 128) / q), -2047L, 2047L));
}

bool FillValues(const Shape& shape, FillColour fill, std::array<int, MAX_COMPONENTS>& values) {
    const double r = fill.r, g = fill.g, b = fill.b;
    auto sample = [](double x) { return int(std::clamp(std::lround(x), 0L, 255L)); };
    if (shape.space == JCS_YCbCr && shape.components == 3) {
        values[0] = sample(0.299 * r + 0.587 * g + 0.114 * b);
        values[1] = sample(-0.168736 * r - 0.331264 * g + 0.5 * b + 128);
        values[2] = sample(0.5 * r - 0.418688 * g - 0.081312 * b + 128);
    } else if (shape.space == JCS_GRAYSCALE && shape.components == 1) {
        values[0] = sample(0.299 * r + 0.587 * g + 0.114 * b);
    } else if (shape.space == JCS_RGB && shape.components == 3) {
        values[0] = fill.r, values[1] = fill.g, values[2] = fill.b;
    } else {
        return false;
    }
    return true;
}

bool FillPiece(Session& s, const Shape& shape, const std::array<JCOEF, MAX_COMPONENTS>& dc, int col, int row) {
    if (setjmp(s.trap.jump)) return false;
    const auto out = reinterpret_cast<j_common_ptr>(&s.out);
    for (std::size_t c = 0; c < std::size_t(shape.components); ++c) {
        const JDIMENSION wide = shape.blocksWide[c], high = shape.blocksHigh[c];
        for (JDIMENSION r = 0; r < high; ++r) {
            JBLOCKARRAY to = (*s.out.mem->access_virt_barray)(out, s.joined[c], JDIMENSION(row) * high + r, 1, TRUE);
            for (JDIMENSION k = 0; k < wide; ++k) to[0][JDIMENSION(col) * wide + k][0] = dc[c];
        }
    }
    return true;
}

bool WriteJoined(Session& s) {
    if (setjmp(s.trap.jump)) return false;
    jpeg_write_coefficients(&s.out, s.joined.data());
    jpeg_finish_compress(&s.out);
    return true;
}

bool WriteRewritten(Session& s) {
    if (setjmp(s.trap.jump)) return false;
    jpeg_copy_critical_parameters(&s.in, &s.out);
    s.out.optimize_coding = TRUE;
    jpeg_write_coefficients(&s.out, s.sourceBlocks);
    jpeg_finish_compress(&s.out);
    return true;
}

bool CannotJoin(const std::string& why, Error& error) {
    return Fail(error, Error(ErrorCode::JpegCannotJoin).Detail(why));
}

}  // namespace

bool JoinJpegTiles(const std::vector<JpegPiece>& pieces, int cols, int rows, FillColour fill,
                   std::vector<std::uint8_t>& out, Error& error) {
    if (cols < 1 || rows < 1 || pieces.size() != std::size_t(cols) * std::size_t(rows))
        return CannotJoin("the group is not " + std::to_string(cols) + " x " + std::to_string(rows) + " tiles", error);
    Session s;
    if (!NewEncoder(s)) return CannotJoin(s.trap.message, error);
    Shape first;
    const JpegPiece* firstPiece = nullptr;
    bool missing = false;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const JpegPiece& piece = pieces[i];
        if (!piece.Present()) {
            missing = true;
            continue;
        }
        Shape shape;
        if (!ReadPiece(s, piece, error) || !ShapeOf(s.in, piece, shape, error)) return false;
        if (firstPiece == nullptr) {
            first = shape;
            firstPiece = &piece;
            // Blocks of one tile next to another's must meet at an MCU's edge.
            if ((cols > 1 && first.width % (8L * first.maxH) != 0) ||
                (rows > 1 && first.height % (8L * first.maxV) != 0))
                return CannotJoin("tiles of " + std::to_string(first.width) + " x " + std::to_string(first.height) +
                                      " pixels are not whole MCUs of " + std::to_string(8 * first.maxH) + " x " +
                                      std::to_string(8 * first.maxV),
                                  error);
            if (first.width * cols > kMaxSide || first.height * rows > kMaxSide)
                return CannotJoin("the joined image would be larger than a JPEG can be", error);
            if (!StartJoined(s, first, cols, rows)) return CannotJoin(s.trap.message, error);
        } else if (const char* what = Difference(first, shape)) {
            return Fail(error, Error(ErrorCode::JpegJoinMismatch)
                                   .Other(std::to_string(firstPiece->number))
                                   .Value(piece.number)
                                   .Detail(what));
        }
        if (!CopyPiece(s, first, int(i % std::size_t(cols)), int(i / std::size_t(cols))))
            return CannotJoin(s.trap.message, error);
    }
    if (firstPiece == nullptr) return CannotJoin("the group has no tile", error);
    if (missing) {
        std::array<int, MAX_COMPONENTS> values{};
        if (!FillValues(first, fill, values)) return CannotJoin("no fill colour for the tiles' colour space", error);
        std::array<JCOEF, MAX_COMPONENTS> dc{};
        for (std::size_t c = 0; c < std::size_t(first.components); ++c) dc[c] = UniformDc(values[c], first.quant[c][0]);
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            if (!pieces[i].Present() &&
                !FillPiece(s, first, dc, int(i % std::size_t(cols)), int(i / std::size_t(cols))))
                return CannotJoin(s.trap.message, error);
        }
    }
    if (!WriteJoined(s)) return CannotJoin(s.trap.message, error);
    out.assign(s.written, s.written + s.writtenSize);
    return true;
}

bool RewriteAsBaseline(const JpegPiece& piece, std::vector<std::uint8_t>& out, Error& error) {
    Session s;
    if (!NewEncoder(s)) return CannotJoin(s.trap.message, error);
    if (!ReadPiece(s, piece, error)) return false;
    if (!WriteRewritten(s)) return Unreadable(piece, s.trap.message, error);
    out.assign(s.written, s.written + s.writtenSize);
    return true;
}

}  // namespace convert
