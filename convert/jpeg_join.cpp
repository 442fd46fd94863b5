#include "convert/jpeg_join.h"

// clang-format off
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE declared first
#include <jpeglib.h>
// clang-format on

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <span>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <string>

#include "convert/jpeg_splice.h"

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
// The most pixels a group decoded for re-encoding may have: 4 x 4 tiles of 1024.
constexpr std::uint64_t kMaxReencodedPixels = std::uint64_t(16) << 20;

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

// The piece as libjpeg reads it, with the start marker a map strips put back (in the
// session's buffer). size: at least 2.
std::span<const std::uint8_t> WithStartMarker(Session& s, const JpegPiece& piece) {
    if (piece.data[0] == 0xFF && piece.data[1] == 0xD8) return {piece.data, piece.size};
    s.withSoi.assign({0xFF, 0xD8});
    s.withSoi.insert(s.withSoi.end(), piece.data, piece.data + piece.size);
    return s.withSoi;
}

// Reads a piece's coefficients into s.in.
bool ReadPiece(Session& s, const JpegPiece& piece, Error& error) {
    if (piece.size < 2) return Unreadable(piece, "it has no image data", error);
    const auto whole = WithStartMarker(s, piece);
    if (!NewDecoder(s) || !DecodeCoefficients(s, whole.data(), whole.size()))
        return Unreadable(piece, s.trap.message, error);
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

bool FillValues(const Shape& shape, FillColour fill, std::array<int, MAX_COMPONENTS>& values) {
    const std::array<int, 3> ycc = FillYCbCr(fill);
    if ((shape.space == JCS_YCbCr && shape.components == 3) ||
        (shape.space == JCS_GRAYSCALE && shape.components == 1)) {
        std::copy(ycc.begin(), ycc.end(), values.begin());
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

// Optimal Huffman tables are made from symbol counts taken here rather than by
// libjpeg's own counting pass, which looks at each of a block's 63 coefficients
// one branch at a time and was most of a join's time; the tables, and so the
// bytes written, are the ones libjpeg's pass would make.

// clang-format off
constexpr std::array<int, DCTSIZE2> kNaturalOrder = {
     0,  1,  8, 16,  9,  2,  3, 10, 17, 24, 32, 25, 18, 11,  4,  5,
    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13,  6,  7, 14, 21, 28,
    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};
// clang-format on

// For each row of a block and each pattern of non-zero coefficients in it,
// where those coefficients fall in zigzag order.
struct ZigzagBits {
    std::array<std::array<std::uint64_t, 256>, DCTSIZE> rows{};
    ZigzagBits() {
        std::array<int, DCTSIZE2> zigzagOf{};
        for (int k = 0; k < DCTSIZE2; ++k) zigzagOf[std::size_t(kNaturalOrder[std::size_t(k)])] = k;
        for (std::size_t r = 0; r < DCTSIZE; ++r)
            for (unsigned pattern = 0; pattern < 256; ++pattern)
                for (std::size_t c = 0; c < DCTSIZE; ++c)
                    if (pattern & (1u << c)) rows[r][pattern] |= std::uint64_t(1) << zigzagOf[r * DCTSIZE + c];
    }
};

// What the encoder would count for each table it uses.
struct SymbolCounts {
    std::array<std::array<long, 257>, NUM_HUFF_TBLS> dc{}, ac{};
    bool tooLarge = false;  // a coefficient no baseline code can carry
};

void CountBlock(const JCOEF* block, int& lastDc, long* dc, long* ac, bool& tooLarge) {
    static const ZigzagBits zigzag;
    const int diff = block[0] - lastDc;
    lastDc = block[0];
    const int dcBits = std::bit_width(unsigned(std::abs(diff)));
    if (dcBits > 11) tooLarge = true;
    ++dc[std::min(dcBits, 16)];
    std::uint64_t present = 0;
#ifdef __SSE2__
    // Two rows' zero tests at once, packed to a byte per coefficient.
    const __m128i zero = _mm_setzero_si128();
    for (std::size_t r = 0; r < DCTSIZE; r += 2) {
        const __m128i upper = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + r * DCTSIZE));
        const __m128i lower = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + (r + 1) * DCTSIZE));
        const auto zeros =
            unsigned(_mm_movemask_epi8(_mm_packs_epi16(_mm_cmpeq_epi16(upper, zero), _mm_cmpeq_epi16(lower, zero))));
        present |= zigzag.rows[r][~zeros & 0xFF] | zigzag.rows[r + 1][(~zeros >> 8) & 0xFF];
    }
#else
    for (std::size_t r = 0; r < DCTSIZE; ++r) {
        unsigned pattern = 0;
        for (std::size_t c = 0; c < DCTSIZE; ++c) pattern |= unsigned(block[r * DCTSIZE + c] != 0) << c;
        present |= zigzag.rows[r][pattern];
    }
#endif
    present &= ~std::uint64_t(1);
    int last = 0;
    while (present != 0) {
        const int k = std::countr_zero(present);
        present &= present - 1;
        int run = k - last - 1;
        for (; run > 15; run -= 16) ++ac[0xF0];
        const int bits = std::bit_width(unsigned(std::abs(int(block[kNaturalOrder[std::size_t(k)]]))));
        if (bits > 10) tooLarge = true;
        ++ac[(run << 4) + std::min(bits, 15)];
        last = k;
    }
    if (last != DCTSIZE2 - 1) ++ac[0];
}

// Code lengths for the counts, limited to 16 bits, one code point kept out so
// that no code is all ones: the construction libjpeg itself uses.
void OptimalTable(const std::array<long, 257>& counts, JHUFF_TBL& table) {
    std::array<long, 257> freq = counts;
    freq[256] = 1;
    std::array<int, 257> codesize{}, others{};
    others.fill(-1);
    // Only the symbols counted take part, in the same order, so ties break alike.
    std::array<int, 257> live{};
    std::size_t liveCount = 0;
    for (int i = 0; i <= 256; ++i)
        if (freq[std::size_t(i)] != 0) live[liveCount++] = i;
    const auto symbols = std::span(live.data(), liveCount);
    for (;;) {
        int c1 = -1, c2 = -1;
        long v = 1000000000L;
        for (int i : symbols)
            if (freq[std::size_t(i)] != 0 && freq[std::size_t(i)] <= v) v = freq[std::size_t(i)], c1 = i;
        v = 1000000000L;
        for (int i : symbols)
            if (freq[std::size_t(i)] != 0 && freq[std::size_t(i)] <= v && i != c1) v = freq[std::size_t(i)], c2 = i;
        if (c2 < 0) break;
        freq[std::size_t(c1)] += freq[std::size_t(c2)];
        freq[std::size_t(c2)] = 0;
        ++codesize[std::size_t(c1)];
        while (others[std::size_t(c1)] >= 0) c1 = others[std::size_t(c1)], ++codesize[std::size_t(c1)];
        others[std::size_t(c1)] = c2;
        ++codesize[std::size_t(c2)];
        while (others[std::size_t(c2)] >= 0) c2 = others[std::size_t(c2)], ++codesize[std::size_t(c2)];
    }
    constexpr int kMaxLength = 32;  // 257 symbols cannot need longer codes
    std::array<int, kMaxLength + 1> bits{};
    for (int size : codesize)
        if (size != 0) ++bits[std::size_t(std::min(size, kMaxLength))];
    for (int i = kMaxLength; i > 16; --i) {
        while (bits[std::size_t(i)] > 0) {
            int j = i - 2;
            while (bits[std::size_t(j)] == 0) --j;
            bits[std::size_t(i)] -= 2;
            ++bits[std::size_t(i) - 1];
            bits[std::size_t(j) + 1] += 2;
            --bits[std::size_t(j)];
        }
    }
    int longest = 16;
    while (bits[std::size_t(longest)] == 0) --longest;
    --bits[std::size_t(longest)];
    for (std::size_t i = 0; i <= 16; ++i) table.bits[i] = UINT8(bits[i]);
    int p = 0;
    for (int length = 1; length <= kMaxLength; ++length)
        for (int symbol = 0; symbol < 256; ++symbol)
            if (codesize[std::size_t(symbol)] == length) table.huffval[p++] = UINT8(symbol);
    table.sent_table = FALSE;
}

// With whole MCUs every block of the scan is a stored one; else libjpeg adds
// blocks at the edges, and its own counting pass is left to count them.
bool WholeMcus(const jpeg_compress_struct& out, int& maxH, int& maxV) {
    maxH = maxV = 1;
    for (int c = 0; c < out.num_components; ++c)
        maxH = std::max(maxH, out.comp_info[c].h_samp_factor), maxV = std::max(maxV, out.comp_info[c].v_samp_factor);
    return out.image_width % JDIMENSION(8 * maxH) == 0 && out.image_height % JDIMENSION(8 * maxV) == 0;
}

// Counts the blocks of blocks (one array per component) in the order one
// baseline scan of out codes them, and installs optimal tables for them; false
// with optimise_coding left on when that cannot be done here.
bool InstallOptimalTables(jpeg_compress_struct& out, jvirt_barray_ptr* blocks, j_common_ptr owner) {
    int maxH = 1, maxV = 1;
    if (out.num_components > MAX_COMPS_IN_SCAN || !WholeMcus(out, maxH, maxV)) return false;
    SymbolCounts counts;
    const bool interleaved = out.num_components > 1;
    const JDIMENSION mcuCols = out.image_width / JDIMENSION(8 * maxH);
    const JDIMENSION mcuRows = out.image_height / JDIMENSION(8 * maxV);
    for (int c = 0; c < out.num_components; ++c) {
        const jpeg_component_info& comp = out.comp_info[c];
        if (comp.dc_tbl_no < 0 || comp.dc_tbl_no >= NUM_HUFF_TBLS || comp.ac_tbl_no < 0 ||
            comp.ac_tbl_no >= NUM_HUFF_TBLS)
            return false;
        long* dc = counts.dc[std::size_t(comp.dc_tbl_no)].data();
        long* ac = counts.ac[std::size_t(comp.ac_tbl_no)].data();
        const auto h = JDIMENSION(comp.h_samp_factor), v = JDIMENSION(comp.v_samp_factor);
        // A lone component is coded row by row of its blocks, MCUs of one block.
        const JDIMENSION stripe = interleaved ? v : 1, across = interleaved ? h : mcuCols * h;
        const JDIMENSION stripes = interleaved ? mcuRows : mcuRows * v, columns = interleaved ? mcuCols : 1;
        int lastDc = 0;
        for (JDIMENSION s = 0; s < stripes; ++s) {
            JBLOCKARRAY rows = (*owner->mem->access_virt_barray)(owner, blocks[c], s * stripe, stripe, FALSE);
            for (JDIMENSION m = 0; m < columns; ++m)
                for (JDIMENSION r = 0; r < stripe; ++r)
                    for (JDIMENSION k = 0; k < across; ++k)
                        CountBlock(rows[r][m * across + k], lastDc, dc, ac, counts.tooLarge);
        }
    }
    if (counts.tooLarge) return false;  // libjpeg's pass refuses it in its words
    const auto common = reinterpret_cast<j_common_ptr>(&out);
    for (std::size_t n = 0; n < NUM_HUFF_TBLS; ++n) {
        for (auto [tallies, tables] :
             {std::pair{&counts.dc[n], out.dc_huff_tbl_ptrs}, std::pair{&counts.ac[n], out.ac_huff_tbl_ptrs}}) {
            if (std::all_of(tallies->begin(), tallies->end(), [](long x) { return x == 0; })) continue;
            if (tables[n] == nullptr) tables[n] = jpeg_alloc_huff_table(common);
            OptimalTable(*tallies, *tables[n]);
        }
    }
    out.optimize_coding = FALSE;
    return true;
}

bool WriteJoined(Session& s) {
    if (setjmp(s.trap.jump)) return false;
    InstallOptimalTables(s.out, s.joined.data(), reinterpret_cast<j_common_ptr>(&s.out));
    jpeg_write_coefficients(&s.out, s.joined.data());
    jpeg_finish_compress(&s.out);
    return true;
}

bool WriteRewritten(Session& s) {
    if (setjmp(s.trap.jump)) return false;
    jpeg_copy_critical_parameters(&s.in, &s.out);
    s.out.optimize_coding = TRUE;
    InstallOptimalTables(s.out, s.sourceBlocks, reinterpret_cast<j_common_ptr>(&s.in));
    jpeg_write_coefficients(&s.out, s.sourceBlocks);
    jpeg_finish_compress(&s.out);
    return true;
}

// The size a piece's header states, from a fresh decoder.
bool HeaderSize(Session& s, const std::uint8_t* data, std::size_t size, JDIMENSION& width, JDIMENSION& height) {
    if (setjmp(s.trap.jump)) return false;
    jpeg_mem_src(&s.in, data, static_cast<unsigned long>(size));
    jpeg_read_header(&s.in, TRUE);
    width = s.in.image_width, height = s.in.image_height;
    return true;
}

// Decodes the piece whose header s.in has read into canvas (3 samples a pixel).
bool DecodeInto(Session& s, JSAMPLE* canvas, std::size_t stride) {
    if (setjmp(s.trap.jump)) return false;
    s.in.out_color_space = JCS_RGB;
    jpeg_start_decompress(&s.in);
    while (s.in.output_scanline < s.in.output_height) {
        JSAMPROW row = canvas + std::size_t(s.in.output_scanline) * stride;
        jpeg_read_scanlines(&s.in, &row, 1);
    }
    jpeg_finish_decompress(&s.in);
    return true;
}

bool EncodeCanvas(Session& s, const JSAMPLE* canvas, JDIMENSION width, JDIMENSION height, int quality) {
    if (setjmp(s.trap.jump)) return false;
    s.out.image_width = width;
    s.out.image_height = height;
    s.out.input_components = 3;
    s.out.in_color_space = JCS_RGB;
    jpeg_set_defaults(&s.out);
    jpeg_set_quality(&s.out, quality, TRUE);
    s.out.optimize_coding = TRUE;
    jpeg_start_compress(&s.out, TRUE);
    while (s.out.next_scanline < height) {
        auto row = const_cast<JSAMPROW>(canvas + std::size_t(s.out.next_scanline) * width * 3);
        jpeg_write_scanlines(&s.out, &row, 1);
    }
    jpeg_finish_compress(&s.out);
    return true;
}

bool CannotJoin(const std::string& why, Error& error) {
    return Fail(error, Error(ErrorCode::JpegCannotJoin).Detail(why));
}

}  // namespace

bool JoinJpegTiles(const std::vector<JpegPiece>& pieces, int cols, int rows, FillColour fill,
                   std::vector<std::uint8_t>& out, Error& error) {
    // Tiles coded alike keep their tables as they are rather than being given
    // optimised ones: they were coded with those, so the joined image is about
    // the sum of its parts, and splicing is what makes joining a large level
    // take about as long as copying it.
    return SpliceJpegTiles(pieces, cols, rows, fill, out) ||
           JoinJpegTilesWithLibjpeg(pieces, cols, rows, fill, out, error);
}

bool JoinJpegTilesWithLibjpeg(const std::vector<JpegPiece>& pieces, int cols, int rows, FillColour fill,
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
        for (std::size_t c = 0; c < std::size_t(first.components); ++c)
            dc[c] = JCOEF(UniformDc(values[c], first.quant[c][0]));
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

bool ReencodeJpegTiles(const std::vector<JpegPiece>& pieces, int cols, int rows, FillColour fill, int quality,
                       std::vector<std::uint8_t>& out, Error& error) {
    if (cols < 1 || rows < 1 || pieces.size() != std::size_t(cols) * std::size_t(rows) || quality < 1 || quality > 100)
        return CannotJoin("the group is not " + std::to_string(cols) + " x " + std::to_string(rows) + " tiles", error);
    Session s;
    if (!NewEncoder(s)) return CannotJoin(s.trap.message, error);
    std::vector<JSAMPLE> canvas;
    JDIMENSION width = 0, height = 0;
    std::size_t stride = 0;
    const JpegPiece* firstPiece = nullptr;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const JpegPiece& piece = pieces[i];
        if (!piece.Present()) continue;
        if (piece.size < 2) return Unreadable(piece, "it has no image data", error);
        const auto whole = WithStartMarker(s, piece);
        JDIMENSION w = 0, h = 0;
        if (!NewDecoder(s) || !HeaderSize(s, whole.data(), whole.size(), w, h))
            return Unreadable(piece, s.trap.message, error);
        if (firstPiece == nullptr) {
            // Pixels take far more memory than coefficients: a few header bytes must
            // not claim gigabytes.
            if (w == 0 || h == 0 || w > kMaxTileSide || h > kMaxTileSide ||
                std::uint64_t(w) * std::uint64_t(cols) * h * std::uint64_t(rows) > kMaxReencodedPixels)
                return CannotJoin("the joined image would be larger than " + std::to_string(kMaxReencodedPixels >> 20) +
                                      " megapixels",
                                  error);
            firstPiece = &piece;
            width = w * JDIMENSION(cols), height = h * JDIMENSION(rows);
            stride = std::size_t(width) * 3;
            canvas.resize(stride * height);
            for (std::size_t p = 0; p < canvas.size(); p += 3)
                canvas[p] = fill.r, canvas[p + 1] = fill.g, canvas[p + 2] = fill.b;
        } else if (w * JDIMENSION(cols) != width || h * JDIMENSION(rows) != height) {
            return Fail(error, Error(ErrorCode::JpegJoinMismatch)
                                   .Other(std::to_string(firstPiece->number))
                                   .Value(piece.number)
                                   .Detail("sizes"));
        }
        const std::size_t x = i % std::size_t(cols) * w, y = i / std::size_t(cols) * h;
        if (!DecodeInto(s, canvas.data() + y * stride + x * 3, stride)) return Unreadable(piece, s.trap.message, error);
    }
    if (firstPiece == nullptr) return CannotJoin("the group has no tile", error);
    if (!EncodeCanvas(s, canvas.data(), width, height, quality)) return CannotJoin(s.trap.message, error);
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
