#include "convert/jpeg_splice.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <span>

namespace convert {
namespace {

// Grey or YCbCr; RGB, CMYK and the like go through libjpeg.
constexpr int kMaxComponents = 3;
constexpr int kMaxBlocksInMcu = 10;  // libjpeg refuses more
constexpr int kMaxTileSide = 4096;   // as the libjpeg path refuses larger
constexpr long kMaxSide = 65500;     // the largest side a frame header can state
// The libjpeg path holds the joined image's blocks (128 bytes each) within this
// and refuses a larger group; the splice refuses it too, so that the two ways
// differ in their speed alone.
constexpr std::uint64_t kMaxBlockBytes = std::uint64_t(128) << 20;
// Quantised DC values of 8-bit samples lie well within this; libjpeg keeps them
// in 16 bits and codes differences of 11 bits at most, so past it is for libjpeg
// to judge.
constexpr int kMaxDc = 2047;
// Codes (and the bits of the value that follows an AC code) up to this long are
// looked up at once; longer ones are decoded a length at a time.
constexpr int kFastBits = 12;
// Runs of AC codes are looked up this many bits at a time; four lookups fit in
// what the reader holds.
constexpr int kRunBits = 13;
constexpr int kDcBits = 9;
static_assert(kRunBits >= kFastBits && 4 * kRunBits <= 56);
// The reader loads eight bytes at a time and notices the data's end only after
// an MCU: ten blocks of at most 64 codes of 16 bits and their 11 bits of value.
constexpr std::size_t kPadding = kMaxBlocksInMcu * 64 * 27 / 8 + 64;
// Buffers kept between groups are given back past this size.
constexpr std::size_t kKeptBuffer = std::size_t(16) << 20;

std::uint16_t Big16(const std::uint8_t* p) { return std::uint16_t((p[0] << 8) | p[1]); }

// The 64 bits from bit `at` of bits (the first 57 of them whole).
std::uint64_t Window(const std::uint8_t* bits, std::uint64_t at) {
    std::uint64_t v;
    std::memcpy(&v, bits + (at >> 3), sizeof v);
    if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
    return v << (at & 7);
}

struct HuffmanTable {
    bool defined = false;
    std::array<std::uint8_t, 16> counts{};  // codes of each length, 1 to 16 bits
    std::array<std::uint8_t, 256> values{};
    int total = 0;

    friend bool operator==(const HuffmanTable&, const HuffmanTable&) = default;
};

using QuantTable = std::array<std::uint8_t, 64>;  // as stored, in zigzag order

struct Component {
    int id = 0, h = 1, v = 1, quant = 0, dc = 0, ac = 0;
};

// What a piece's headers say, as far as a splice needs it.
struct Header {
    std::array<std::optional<QuantTable>, 4> quant{};
    std::array<HuffmanTable, 2> dc{}, ac{};  // baseline has two of each
    int width = 0, height = 0, count = 0;
    std::array<Component, kMaxComponents> components{};
    int maxH = 1, maxV = 1;
    bool jfif = false;
    // The last JFIF marker's version, density unit and densities, as read.
    std::array<std::uint8_t, 7> jfifFields{};
    std::size_t scan = 0;  // where the coded data begins
};

bool ParseQuant(const std::uint8_t* p, std::size_t n, Header& header) {
    while (n > 0) {
        // 16-bit tables are no baseline's.
        if ((p[0] >> 4) != 0 || (p[0] & 15) > 3 || n < 65) return false;
        QuantTable& table = header.quant[p[0] & 15].emplace();
        std::copy_n(p + 1, 64, table.begin());
        if (std::count(table.begin(), table.end(), 0) != 0) return false;
        p += 65, n -= 65;
    }
    return true;
}

bool ParseHuffman(const std::uint8_t* p, std::size_t n, Header& header) {
    while (n > 0) {
        if (n < 17 || (p[0] >> 4) > 1 || (p[0] & 15) > 1) return false;
        HuffmanTable& table = ((p[0] >> 4) == 0 ? header.dc : header.ac)[p[0] & 15];
        table = HuffmanTable{};
        table.defined = true;
        std::copy_n(p + 1, 16, table.counts.begin());
        for (std::uint8_t c : table.counts) table.total += c;
        if (table.total > 256 || n < 17 + std::size_t(table.total)) return false;
        std::copy_n(p + 17, table.total, table.values.begin());
        p += 17 + table.total, n -= 17 + std::size_t(table.total);
    }
    return true;
}

bool ParseFrame(const std::uint8_t* p, std::size_t n, Header& header) {
    if (n < 6 || p[0] != 8) return false;
    header.height = Big16(p + 1), header.width = Big16(p + 3), header.count = p[5];
    if ((header.count != 1 && header.count != 3) || n != 6 + 3 * std::size_t(header.count)) return false;
    if (header.width < 1 || header.height < 1 || header.width > kMaxTileSide || header.height > kMaxTileSide)
        return false;
    int blocks = 0;
    for (int c = 0; c < header.count; ++c) {
        Component& comp = header.components[std::size_t(c)];
        const std::uint8_t* q = p + 6 + 3 * c;
        comp.id = q[0], comp.h = q[1] >> 4, comp.v = q[1] & 15, comp.quant = q[2];
        if (comp.h < 1 || comp.h > 4 || comp.v < 1 || comp.v > 4 || comp.quant > 3) return false;
        for (int d = 0; d < c; ++d)
            if (header.components[std::size_t(d)].id == comp.id) return false;
        header.maxH = std::max(header.maxH, comp.h), header.maxV = std::max(header.maxV, comp.v);
        blocks += comp.h * comp.v;
    }
    // One component is coded block by block, whatever its sampling says.
    if (header.count == 1 && (header.maxH != 1 || header.maxV != 1)) return false;
    // Whole MCUs, so that every tile's MCU rows line up with its neighbours'.
    return blocks <= kMaxBlocksInMcu && header.width % (8 * header.maxH) == 0 && header.height % (8 * header.maxV) == 0;
}

// One scan of every component in frame order, sequential.
bool ParseScan(const std::uint8_t* p, std::size_t n, Header& header) {
    if (n < 1 || p[0] != header.count || n != 4 + 2 * std::size_t(header.count)) return false;
    for (int c = 0; c < header.count; ++c) {
        Component& comp = header.components[std::size_t(c)];
        const std::uint8_t* q = p + 1 + 2 * c;
        if (q[0] != comp.id || (q[1] >> 4) > 1 || (q[1] & 15) > 1) return false;
        comp.dc = q[1] >> 4, comp.ac = q[1] & 15;
        if (!header.quant[std::size_t(comp.quant)] || !header.dc[std::size_t(comp.dc)].defined ||
            !header.ac[std::size_t(comp.ac)].defined)
            return false;
    }
    const std::uint8_t* tail = p + 1 + 2 * header.count;
    return tail[0] == 0 && tail[1] == 63 && tail[2] == 0;
}

// Up to the scan's coded data; false for anything but the plainest baseline
// header, and for what libjpeg would take as other than grey or YCbCr.
bool ParseHeader(const std::uint8_t* data, std::size_t size, Header& header) {
    header = Header{};
    std::size_t at = size >= 2 && data[0] == 0xFF && data[1] == 0xD8 ? 2 : 0;
    bool frame = false;
    for (;;) {
        if (size - at < 4 || data[at] != 0xFF) return false;
        const std::uint8_t marker = data[at + 1];
        const std::size_t length = Big16(data + at + 2);
        if (length < 2 || length > size - at - 2) return false;
        const std::uint8_t* body = data + at + 4;
        const std::size_t n = length - 2;
        at += 2 + length;
        if (marker == 0xDB) {
            if (!ParseQuant(body, n, header)) return false;
        } else if (marker == 0xC4) {
            if (!ParseHuffman(body, n, header)) return false;
        } else if (marker == 0xC0) {
            if (frame || !ParseFrame(body, n, header)) return false;
            frame = true;
        } else if (marker == 0xDD) {
            if (n != 2 || Big16(body) != 0) return false;  // restart markers: libjpeg's to handle
        } else if (marker == 0xDA) {
            if (!frame || !ParseScan(body, n, header)) return false;
            header.scan = at;
            const auto& c = header.components;
            return header.count == 1 || header.jfif || c[0].id != 'R' || c[1].id != 'G' || c[2].id != 'B';
        } else if (marker == 0xE0) {
            if (n >= 14 && std::memcmp(body, "JFIF", 5) == 0) {
                header.jfif = true;
                std::copy_n(body + 5, 7, header.jfifFields.begin());
            }
        } else if (marker == 0xEE) {
            if (n >= 5 && std::memcmp(body, "Adobe", 5) == 0) return false;  // it may say RGB
        } else if (marker < 0xE1 || (marker > 0xEF && marker != 0xFE)) {
            return false;
        }
    }
}

bool CodedAlike(const Header& a, const Header& b) {
    if (a.width != b.width || a.height != b.height || a.count != b.count) return false;
    for (std::size_t c = 0; c < std::size_t(a.count); ++c) {
        const Component &x = a.components[c], &y = b.components[c];
        if (x.h != y.h || x.v != y.v || a.quant[std::size_t(x.quant)] != b.quant[std::size_t(y.quant)] ||
            a.dc[std::size_t(x.dc)] != b.dc[std::size_t(y.dc)] || a.ac[std::size_t(x.ac)] != b.ac[std::size_t(y.ac)])
            return false;
    }
    return true;
}

// A Huffman table made ready to decode and to encode.
struct Coder {
    // By the next kFastBits bits: the bits taken << 8 | what. For a DC table,
    // what is the symbol; for an AC table, how far the coefficient index moves,
    // 0 at the end of the block, and the bits taken include the value's. 0: not
    // looked up at once.
    std::array<std::uint16_t, 1 << kFastBits> fast{};
    // For a DC table, the same by fewer bits: DC codes are short, and a small
    // table leaves the cache to the AC ones.
    std::array<std::uint16_t, 1 << kDcBits> dcFast{};
    // For an AC table, by the next kRunBits bits: the codes (and values) that
    // lie whole within them, up to and with an end of block. Bits 0-3: the bits
    // they take; 4: the last ends the block; 5-11: how far they move the
    // coefficient index (past 63, no further codes are taken). 0: the first is
    // not looked up at once.
    std::array<std::uint16_t, 1 << kRunBits> runs{};
    std::array<std::int32_t, 17> maxCode{};  // by length, the last code
    std::array<std::int32_t, 17> offset{};   // code + offset: where its symbol is
    std::array<std::uint8_t, 256> values{};
    std::array<std::uint16_t, 256> code{};  // by symbol
    std::array<std::uint8_t, 256> size{};   // by symbol; 0: it has no code
};

std::uint16_t FastEntry(bool dc, int symbol, int length) {
    if (dc) return std::uint16_t(length << 8 | symbol);
    const int run = symbol >> 4, bits = symbol & 15;
    if (symbol == 0x00) return std::uint16_t(length << 8);
    if (symbol == 0xF0) return std::uint16_t(length << 8 | 16);
    if (bits == 0 || bits > 10 || length + bits > kFastBits) return 0;
    return std::uint16_t((length + bits) << 8 | (run + 1));
}

constexpr unsigned kRunEnds = 1u << 4;

void BuildRuns(Coder& coder) {
    constexpr unsigned kMask = (1u << kRunBits) - 1;
    for (unsigned index = 0; index <= kMask; ++index) {
        unsigned used = 0, moved = 0, ends = 0;
        // A code is whole when it ends before the zeros shifted in.
        for (unsigned one; moved < 64 && ends == 0 &&
                           (one = coder.fast[((index << used) & kMask) >> (kRunBits - kFastBits)]) != 0 &&
                           used + (one >> 8) <= kRunBits;) {
            used += one >> 8, moved += one & 0xFF;
            ends = (one & 0xFF) == 0 ? kRunEnds : 0;
        }
        coder.runs[index] = std::uint16_t(used | ends | moved << 5);
    }
}

// False for a table libjpeg refuses (a code of all ones, or past its length), a
// symbol twice, and a DC table with a difference 8-bit samples cannot have.
bool BuildCoder(const HuffmanTable& table, bool dc, Coder& coder) {
    int code = 0, k = 0;
    for (int length = 1; length <= 16; ++length) {
        coder.offset[std::size_t(length)] = k - code;
        for (int i = 0; i < table.counts[std::size_t(length) - 1]; ++i, ++k, ++code) {
            if (code >= (1 << length)) return false;
            const std::uint8_t symbol = table.values[std::size_t(k)];
            if ((dc && symbol > 11) || coder.size[symbol] != 0) return false;
            coder.code[symbol] = std::uint16_t(code), coder.size[symbol] = std::uint8_t(length);
            if (length > kFastBits) continue;
            const std::uint16_t entry = FastEntry(dc, symbol, length);
            const int spread = kFastBits - length;
            std::fill_n(coder.fast.begin() + (code << spread), 1 << spread, entry);
            if (dc && length <= kDcBits)
                std::fill_n(coder.dcFast.begin() + (code << (kDcBits - length)), 1 << (kDcBits - length), entry);
        }
        coder.maxCode[std::size_t(length)] = code - 1;
        if (code >= (1 << length)) return false;
        code <<= 1;
    }
    coder.values = table.values;
    if (!dc) BuildRuns(coder);
    return true;
}

// The symbol of the code at the start of window, and the code's length; -1
// when the bits are no code.
int SlowDecode(const Coder& coder, std::uint64_t window, int& length) {
    for (length = 1; length <= 16; ++length) {
        const auto code = std::int32_t(window >> (64 - length));
        if (code <= coder.maxCode[std::size_t(length)])
            return coder.values[std::size_t(code + coder.offset[std::size_t(length)])];
    }
    return -1;
}

// The coded bits, read from a register that is topped up eight bytes at a time
// and looked at from its top.
class BitReader {
public:
    BitReader() = default;
    explicit BitReader(const std::uint8_t* bits) : base_(bits), next_(bits) {}

    // At least 56 bits at hand afterwards. The bits of the last byte loaded but
    // not counted are already in place, so loading them again changes nothing.
    void Refill() {
        bits_ |= Window(next_, 0) >> count_;
        next_ += (63 - count_) >> 3;
        count_ |= 56;
    }
    std::uint64_t Bits() const { return bits_; }
    template <int n>
    unsigned Peek() const {
        return unsigned(bits_ >> (64 - n));
    }
    void Skip(int n) {
        bits_ <<= n;
        count_ -= n;
    }
    std::uint64_t Position() const { return std::uint64_t(next_ - base_) * 8 - std::uint64_t(count_); }

private:
    const std::uint8_t* base_ = nullptr;
    const std::uint8_t* next_ = nullptr;
    std::uint64_t bits_ = 0;
    int count_ = 0;
};

inline bool DecodeDc(const Coder& coder, BitReader& in, int& diff) {
    in.Refill();
    const std::uint64_t bits = in.Bits();
    const unsigned entry = coder.dcFast[in.Peek<kDcBits>()];
    int length = int(entry >> 8), symbol = int(entry & 0xFF);
    if (entry == 0 && (symbol = SlowDecode(coder, bits, length)) < 0) return false;
    diff = 0;
    if (symbol != 0) {
        const auto value = int((bits << length) >> (64 - symbol));
        diff = value < (1 << (symbol - 1)) ? value - (1 << symbol) + 1 : value;
    }
    in.Skip(length + symbol);
    return true;
}

// Past one block's AC codes, a run of them at a time while the run stays
// inside the block, else one at a time; false for a code that is none, a run
// past the block's end, or a symbol no encoder writes.
inline bool SkipAc(const Coder& coder, BitReader& in) {
    int k = 1;
    for (;;) {
        in.Refill();
        // A code not looked up at once moves nothing until it is decoded below.
        for (int step = 0; step < 4; ++step) {
            const unsigned run = coder.runs[in.Peek<kRunBits>()];
            const int moved = int(run >> 5);
            if (k + moved < 64) {
                in.Skip(int(run & 15));
                k += moved;
                if ((run & kRunEnds) != 0) return true;
                continue;
            }
            const unsigned one = coder.fast[in.Peek<kFastBits>()];
            in.Skip(int(one >> 8));
            if ((one & 0xFF) == 0) return true;
            k += int(one & 0xFF);
            if (k >= 64) return k == 64;
        }
        if (coder.runs[in.Peek<kRunBits>()] != 0) continue;
        in.Refill();
        int length = 0;
        const int symbol = SlowDecode(coder, in.Bits(), length);
        const int run = symbol >> 4, size = symbol & 15;
        if (symbol < 0 || size > 10 || (size == 0 && symbol != 0 && symbol != 0xF0)) return false;
        in.Skip(length + size);
        if (symbol == 0) return true;
        k += size == 0 ? 16 : run + 1;
        if (k >= 64) return k == 64;
    }
}

// Coders for the tables last seen on this thread: a map's tiles share a few.
// Room is made between groups only, so that no coder a group holds goes while
// it is joined.
class CoderCache {
public:
    const Coder* Get(const HuffmanTable& table, bool dc) {
        for (const Entry& e : entries_)
            if (e.dc == dc && e.table == table) return e.coder.get();
        auto coder = std::make_unique<Coder>();
        if (!BuildCoder(table, dc, *coder)) return nullptr;
        entries_.push_back({table, dc, std::move(coder)});
        return entries_.back().coder.get();
    }
    // A group uses four tables at most.
    void MakeRoom() {
        if (entries_.size() > 8) entries_.clear();
    }

private:
    struct Entry {
        HuffmanTable table;
        bool dc = false;
        std::unique_ptr<Coder> coder;
    };
    std::vector<Entry> entries_;
};

// One block of an MCU in coding order.
struct BlockCoding {
    const Coder* dc = nullptr;
    const Coder* ac = nullptr;
    std::size_t component = 0;
    bool first = false;  // the component's first block in the MCU
};

struct RowMarks {
    std::uint64_t start = 0;  // the row's first bit
    // Where the first DC difference of each component lies, and the DC values
    // it and the row's last block of that component stand for.
    std::array<std::uint64_t, kMaxComponents> dcFrom{}, dcTo{};
    std::array<int, kMaxComponents> firstDc{}, lastDc{};
};

struct Walked {
    std::vector<std::uint8_t> bits;  // the coded data with FF 00 read as FF, then kPadding zeros
    std::vector<RowMarks> rows;      // one per MCU row, then one whose start is the end
};

// The coded data from `from` to what closes it; false unless that is the end
// marker or the end of the bytes (restart markers, a second scan).
bool Unstuff(const std::uint8_t* data, std::size_t size, std::size_t from, std::vector<std::uint8_t>& bits) {
    bits.clear();
    bits.reserve(size - from + kPadding);
    std::size_t at = from;
    while (at < size) {
        const void* ff = std::memchr(data + at, 0xFF, size - at);
        const std::size_t end = ff == nullptr ? size : std::size_t(static_cast<const std::uint8_t*>(ff) - data);
        bits.insert(bits.end(), data + at, data + end);
        if (end + 1 < size && data[end + 1] == 0x00) {
            bits.push_back(0xFF);
            at = end + 2;
            continue;
        }
        std::size_t marker = end + 1;
        while (marker < size && data[marker] == 0xFF) ++marker;  // fill bytes
        if (marker < size && data[marker] != 0xD9) return false;
        break;
    }
    bits.resize(bits.size() + kPadding, 0);
    return true;
}

bool WalkScan(const std::vector<BlockCoding>& mcu, int mcuCols, int mcuRows, Walked& walked) {
    BitReader in(walked.bits.data());
    const std::uint64_t total = std::uint64_t(walked.bits.size() - kPadding) * 8;
    std::array<int, kMaxComponents> dc{};
    walked.rows.resize(std::size_t(mcuRows) + 1);
    for (std::size_t r = 0; r < std::size_t(mcuRows); ++r) {
        RowMarks& marks = walked.rows[r];
        marks.start = in.Position();
        for (const BlockCoding& b : mcu) {
            if (b.first) marks.dcFrom[b.component] = in.Position();
            int diff = 0;
            if (!DecodeDc(*b.dc, in, diff)) return false;
            dc[b.component] += diff;
            if (dc[b.component] > kMaxDc || dc[b.component] < -kMaxDc) return false;
            if (b.first) marks.dcTo[b.component] = in.Position(), marks.firstDc[b.component] = dc[b.component];
            if (!SkipAc(*b.ac, in)) return false;
        }
        for (int m = 1; m < mcuCols && in.Position() <= total; ++m) {
            for (const BlockCoding& b : mcu) {
                int diff = 0;
                if (!DecodeDc(*b.dc, in, diff) || !SkipAc(*b.ac, in)) return false;
                dc[b.component] += diff;
                if (dc[b.component] > kMaxDc || dc[b.component] < -kMaxDc) return false;
            }
        }
        if (in.Position() > total) return false;  // the data ends before the image does
        marks.lastDc = dc;
    }
    walked.rows.back().start = in.Position();
    return true;
}

// The joined scan before its FF bytes are stuffed.
class BitWriter {
public:
    explicit BitWriter(std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}

    void Reserve(std::uint64_t bits) {
        const std::size_t needed = used_ + std::size_t(bits / 8) + 16;
        if (bytes_.size() < needed) bytes_.resize(std::max(needed, bytes_.size() * 2));
    }
    // value: n bits, n at most 32; room reserved.
    void Put(std::uint32_t value, int n) {
        acc_ = (acc_ << n) | value;
        count_ += n;
        if (count_ >= 32) {
            count_ -= 32;
            const auto word = std::uint32_t(acc_ >> count_);
            const std::uint8_t be[4] = {std::uint8_t(word >> 24), std::uint8_t(word >> 16), std::uint8_t(word >> 8),
                                        std::uint8_t(word)};
            std::memcpy(bytes_.data() + used_, be, 4);
            used_ += 4;
        }
    }
    void Copy(const std::uint8_t* bits, std::uint64_t from, std::uint64_t to) {
        for (; to - from >= 32; from += 32) Put(std::uint32_t(Window(bits, from) >> 32), 32);
        if (from < to) Put(std::uint32_t(Window(bits, from) >> (64 - (to - from))), int(to - from));
    }
    bool PutDc(const Coder& coder, int diff) {
        const int category = std::bit_width(unsigned(std::abs(diff)));
        if (category > 11 || coder.size[std::size_t(category)] == 0) return false;
        Put(coder.code[std::size_t(category)], coder.size[std::size_t(category)]);
        Put(unsigned(diff < 0 ? diff - 1 : diff) & ((1u << category) - 1), category);
        return true;
    }
    // Pads the last byte with ones; returns the bytes written.
    std::size_t Finish() {
        const int pad = (8 - count_ % 8) % 8;
        Put((1u << pad) - 1, pad);
        for (; count_ >= 8; count_ -= 8) bytes_[used_++] = std::uint8_t(acc_ >> (count_ - 8));
        return used_;
    }

private:
    std::vector<std::uint8_t>& bytes_;
    std::size_t used_ = 0;
    std::uint64_t acc_ = 0;
    int count_ = 0;
};

void PutMarker(std::vector<std::uint8_t>& out, std::uint8_t marker, std::size_t length) {
    out.insert(out.end(), {0xFF, marker, std::uint8_t(length >> 8), std::uint8_t(length)});
}

// A baseline header for the joined image in the pieces' own tables. Its JFIF
// marker is the one libjpeg would write for the first piece, so that the image
// differs from the libjpeg path's in its scan alone; with it, three components
// read as YCbCr, as they did in each piece.
void WriteHeader(const Header& h, int width, int height, std::vector<std::uint8_t>& out) {
    std::array<std::uint8_t, 7> fields = {1, 1, 0, 0, 1, 0, 1};
    if (h.jfif) {
        if (h.jfifFields[0] == 1) std::copy_n(h.jfifFields.begin(), 2, fields.begin());
        std::copy_n(h.jfifFields.begin() + 2, 5, fields.begin() + 2);
    }
    out.assign({0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0});
    out.insert(out.end(), fields.begin(), fields.end());
    out.insert(out.end(), {0, 0});
    const auto used = [&](int Component::*table, int id) {
        for (int c = 0; c < h.count; ++c)
            if (h.components[std::size_t(c)].*table == id) return c;
        return -1;
    };
    for (int q = 0; q < 4; ++q) {
        if (used(&Component::quant, q) < 0) continue;
        PutMarker(out, 0xDB, 67);
        out.push_back(std::uint8_t(q));
        out.insert(out.end(), h.quant[std::size_t(q)]->begin(), h.quant[std::size_t(q)]->end());
    }
    PutMarker(out, 0xC0, 8 + 3 * std::size_t(h.count));
    out.insert(out.end(), {8, std::uint8_t(height >> 8), std::uint8_t(height), std::uint8_t(width >> 8),
                           std::uint8_t(width), std::uint8_t(h.count)});
    for (const Component& c : std::span(h.components.data(), std::size_t(h.count)))
        out.insert(out.end(), {std::uint8_t(c.id), std::uint8_t(c.h << 4 | c.v), std::uint8_t(c.quant)});
    for (int cls = 0; cls < 2; ++cls) {
        for (int id = 0; id < 2; ++id) {
            if (used(cls == 0 ? &Component::dc : &Component::ac, id) < 0) continue;
            const HuffmanTable& t = (cls == 0 ? h.dc : h.ac)[std::size_t(id)];
            PutMarker(out, 0xC4, 19 + std::size_t(t.total));
            out.push_back(std::uint8_t(cls << 4 | id));
            out.insert(out.end(), t.counts.begin(), t.counts.end());
            out.insert(out.end(), t.values.begin(), t.values.begin() + t.total);
        }
    }
    PutMarker(out, 0xDA, 6 + 2 * std::size_t(h.count));
    out.push_back(std::uint8_t(h.count));
    for (const Component& c : std::span(h.components.data(), std::size_t(h.count)))
        out.insert(out.end(), {std::uint8_t(c.id), std::uint8_t(c.dc << 4 | c.ac)});
    out.insert(out.end(), {0, 63, 0});
}

// Appends bytes with a zero after each FF, as coded data must have it.
void Stuff(const std::uint8_t* bytes, std::size_t size, std::vector<std::uint8_t>& out) {
    out.reserve(out.size() + size + size / 128 + 16);
    std::size_t at = 0;
    while (at < size) {
        const void* ff = std::memchr(bytes + at, 0xFF, size - at);
        const std::size_t end = ff == nullptr ? size : std::size_t(static_cast<const std::uint8_t*>(ff) - bytes) + 1;
        out.insert(out.end(), bytes + at, bytes + end);
        if (ff != nullptr) out.push_back(0x00);
        at = end;
    }
}

// What a thread keeps from one group to the next, so that a run of groups
// allocates nothing once warm.
struct Scratch {
    std::vector<Header> headers;
    std::vector<Walked> walked;
    std::vector<std::uint8_t> scan;
    CoderCache coders;

    void Trim() {
        for (Walked& w : walked)
            if (w.bits.capacity() > kKeptBuffer) w.bits = {};
        if (scan.capacity() > kKeptBuffer) scan = {};
    }
};

bool Splice(Scratch& s, const std::vector<JpegPiece>& pieces, int cols, int rows, FillColour fill,
            std::vector<std::uint8_t>& out) {
    if (cols < 1 || rows < 1 || pieces.size() != std::size_t(cols) * std::size_t(rows)) return false;
    s.headers.resize(pieces.size());
    const Header* first = nullptr;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (!pieces[i].Present()) continue;
        if (!ParseHeader(pieces[i].data, pieces[i].size, s.headers[i])) return false;
        if (first == nullptr)
            first = &s.headers[i];
        else if (!CodedAlike(*first, s.headers[i]))
            return false;
    }
    if (first == nullptr) return false;
    const Header& h = *first;
    if (long(h.width) * cols > kMaxSide || long(h.height) * rows > kMaxSide) return false;

    std::vector<BlockCoding> mcu;
    std::array<const Coder*, kMaxComponents> dcCoders{};
    s.coders.MakeRoom();
    for (std::size_t c = 0; c < std::size_t(h.count); ++c) {
        const Component& comp = h.components[c];
        const Coder* dc = s.coders.Get(h.dc[std::size_t(comp.dc)], true);
        const Coder* ac = dc == nullptr ? nullptr : s.coders.Get(h.ac[std::size_t(comp.ac)], false);
        if (ac == nullptr) return false;
        dcCoders[c] = dc;
        for (int b = 0; b < comp.h * comp.v; ++b) mcu.push_back({dc, ac, c, b == 0});
    }
    const int mcuCols = h.width / (8 * h.maxH), mcuRows = h.height / (8 * h.maxV);
    const std::uint64_t blocks = std::uint64_t(mcuCols) * std::uint64_t(mcuRows) * mcu.size() * pieces.size();
    if (blocks * 128 > kMaxBlockBytes) return false;

    s.walked.resize(pieces.size());
    std::uint64_t codedBits = 0;
    bool missing = false;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (!pieces[i].Present()) {
            missing = true;
            continue;
        }
        Walked& w = s.walked[i];
        if (!Unstuff(pieces[i].data, pieces[i].size, s.headers[i].scan, w.bits) || !WalkScan(mcu, mcuCols, mcuRows, w))
            return false;
        codedBits += w.rows.back().start;
    }
    std::array<int, kMaxComponents> fillDc{};
    if (missing) {
        const std::array<int, 3> samples = FillYCbCr(fill);
        for (std::size_t c = 0; c < std::size_t(h.count); ++c)
            fillDc[c] = UniformDc(samples[c], (*h.quant[std::size_t(h.components[c].quant)])[0]);
    }

    BitWriter writer(s.scan);
    writer.Reserve(codedBits);
    // The DC values each block's difference is taken from: they run on from
    // tile to tile and from row to row of the joined image.
    std::array<int, kMaxComponents> last{};
    for (int row = 0; row < rows * mcuRows; ++row) {
        const std::size_t r = std::size_t(row % mcuRows);
        for (int col = 0; col < cols; ++col) {
            const std::size_t i = std::size_t(row / mcuRows) * std::size_t(cols) + std::size_t(col);
            if (!pieces[i].Present()) {
                writer.Reserve(std::uint64_t(mcuCols) * mcu.size() * 64);
                for (int m = 0; m < mcuCols; ++m) {
                    for (const BlockCoding& b : mcu) {
                        if (!writer.PutDc(*b.dc, fillDc[b.component] - last[b.component]) || b.ac->size[0] == 0)
                            return false;
                        last[b.component] = fillDc[b.component];
                        writer.Put(b.ac->code[0], b.ac->size[0]);
                    }
                }
                continue;
            }
            const Walked& w = s.walked[i];
            const RowMarks& marks = w.rows[r];
            writer.Reserve(w.rows[r + 1].start - marks.start + 128);
            std::uint64_t from = marks.start;
            for (std::size_t c = 0; c < std::size_t(h.count); ++c) {
                writer.Copy(w.bits.data(), from, marks.dcFrom[c]);
                if (!writer.PutDc(*dcCoders[c], marks.firstDc[c] - last[c])) return false;
                from = marks.dcTo[c];
            }
            writer.Copy(w.bits.data(), from, w.rows[r + 1].start);
            last = marks.lastDc;
        }
    }
    const std::size_t scanBytes = writer.Finish();
    WriteHeader(h, h.width * cols, h.height * rows, out);
    Stuff(s.scan.data(), scanBytes, out);
    out.insert(out.end(), {0xFF, 0xD9});
    return true;
}

}  // namespace

bool SpliceJpegTiles(const std::vector<JpegPiece>& pieces, int cols, int rows, FillColour fill,
                     std::vector<std::uint8_t>& out) {
    thread_local Scratch scratch;
    const bool spliced = Splice(scratch, pieces, cols, rows, fill, out);
    scratch.Trim();
    return spliced;
}

std::array<int, 3> FillYCbCr(FillColour fill) {
    const double r = fill.r, g = fill.g, b = fill.b;
    auto sample = [](double x) { return int(std::clamp(std::lround(x), 0L, 255L)); };
    return {sample(0.299 * r + 0.587 * g + 0.114 * b), sample(-0.168736 * r - 0.331264 * g + 0.5 * b + 128),
            sample(0.5 * r - 0.418688 * g - 0.081312 * b + 128)};
}

int UniformDc(int v, int quant) {
    const double q = quant == 0 ? 1.0 : double(quant);
    return int(std::clamp(std::lround(8.0 * (v - 128) / q), -2047L, 2047L));
}

}  // namespace convert
