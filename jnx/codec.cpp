#include "jnx/codec.h"

#include "platform/guid.h"
#include "platform/text.h"

namespace jnx {

Bytes EncodeText(const std::string& text, bool utf8) {
    if (text.empty()) return Bytes{0};
    // Text inside the program is UTF-8 already; bytes that are not are made valid so a
    // file never receives a broken sequence.
    const std::string encoded = utf8 ? platform::SanitizeUtf8(text) : platform::Utf8ToWindows1252(text);
    Bytes out(encoded.begin(), encoded.end());
    out.push_back(0);
    return out;
}

std::string DecodeText(const Bytes& bytes, bool utf8) {
    if (utf8) {
        std::string text = platform::SanitizeUtf8(std::string(bytes.begin(), bytes.end()));
        if (!text.empty() && text.back() == '\0') text.pop_back();
        return text;
    }
    std::string ansi;
    ansi.reserve(bytes.size());
    for (const std::uint8_t b : bytes) {
        if (b != 0) ansi.push_back(static_cast<char>(b));
    }
    return platform::Windows1252ToUtf8(ansi);
}

std::string NewGuidText() {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const auto bytes = platform::NewGuidBytes();
    std::string text;
    text.reserve(36);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text.push_back('-');
        text.push_back(kHex[bytes[i] >> 4]);
        text.push_back(kHex[bytes[i] & 0x0F]);
    }
    return text;
}

}  // namespace jnx
