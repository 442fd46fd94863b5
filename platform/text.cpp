#include "platform/text.h"

#include <charconv>
#include <cstdint>
#include <limits>

namespace platform {
namespace {

// The characters of 0x80..0x9F; 0 where the code page leaves the byte undefined.
constexpr char32_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 88-8F
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 98-9F
};

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Decodes one well-formed sequence at pos. Returns its length, or 0 when the bytes there
// are not a shortest-form encoding of a scalar value.
std::size_t DecodeOne(const std::string& s, std::size_t pos, char32_t& c) {
    const auto byteAt = [&](std::size_t i) { return static_cast<std::uint8_t>(s[i]); };
    const std::uint8_t lead = byteAt(pos);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        c = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        c = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        c = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        c = lead & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (s.size() - pos < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const std::uint8_t b = byteAt(pos + i);
        if ((b & 0xC0) != 0x80) return 0;
        c = (c << 6) | (b & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    return length;
}

// Length of the longest prefix at pos that could still begin a valid sequence, at least
// one byte, so that a broken sequence is replaced by one U+FFFD and decoding moves on.
std::size_t BrokenLength(const std::string& s, std::size_t pos) {
    const auto lead = static_cast<std::uint8_t>(s[pos]);
    std::size_t expected = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    std::size_t n = 1;
    while (n < expected && pos + n < s.size() && (static_cast<std::uint8_t>(s[pos + n]) & 0xC0) == 0x80) ++n;
    if (lead < 0xC2 || lead > 0xF4) return 1;
    return n;
}

}  // namespace

bool IsValidUtf8(const std::string& bytes) {
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        char32_t c = 0;
        const std::size_t n = DecodeOne(bytes, pos, c);
        if (n == 0) return false;
        pos += n;
    }
    return true;
}

std::string Windows1252ToUtf8(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto b = static_cast<std::uint8_t>(ch);
        if (b < 0x80) {
            out.push_back(ch);
        } else if (b < 0xA0) {
            const char32_t c = kHighControls[b - 0x80];
            AppendUtf8(out, c != 0 ? c : kReplacement);
        } else {
            AppendUtf8(out, b);  // 0xA0..0xFF equal their Latin-1 code points
        }
    }
    return out;
}

std::string Utf8ToWindows1252(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        char32_t c = 0;
        std::size_t n = DecodeOne(text, pos, c);
        if (n == 0) {
            out.push_back('?');
            pos += BrokenLength(text, pos);
            continue;
        }
        pos += n;
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        char mapped = '?';
        for (int i = 0; i < 32; ++i) {
            if (kHighControls[i] != 0 && kHighControls[i] == c) {
                mapped = static_cast<char>(0x80 + i);
                break;
            }
        }
        out.push_back(mapped);
    }
    return out;
}

std::string SanitizeUtf8(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size());
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        char32_t c = 0;
        const std::size_t n = DecodeOne(bytes, pos, c);
        if (n == 0) {
            AppendUtf8(out, kReplacement);
            pos += BrokenLength(bytes, pos);
        } else {
            out.append(bytes, pos, n);
            pos += n;
        }
    }
    return out;
}

namespace {

std::optional<std::int64_t> ParseWhole(const std::string& text, std::int64_t low, std::int64_t high) {
    const std::string t = Trim(text);
    if (t.empty()) return std::nullopt;
    const char* first = t.data();
    const char* last = t.data() + t.size();
    // from_chars takes a '-' but not a '+'; a lone sign is no number.
    if (*first == '+') {
        ++first;
        if (first == last || *first == '-') return std::nullopt;
    }
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last) return std::nullopt;
    if (value < low || value > high) return std::nullopt;
    return value;
}

}  // namespace

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::optional<std::int16_t> ParseInt16(const std::string& text) {
    const auto value = ParseWhole(text, std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max());
    if (!value) return std::nullopt;
    return static_cast<std::int16_t>(*value);
}

std::optional<std::int32_t> ParseInt32(const std::string& text) {
    const auto value = ParseWhole(text, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max());
    if (!value) return std::nullopt;
    return static_cast<std::int32_t>(*value);
}

}  // namespace platform
