// Decoding never fails on any bytes; encoding what was decoded as UTF-8 gives valid UTF-8.
#include <cstdlib>

#include "jnx/codec.h"
#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const jnx::Bytes bytes(data, data + size);
    for (bool utf8 : {true, false}) {
        const std::string text = jnx::DecodeText(bytes, utf8);
        if (!platform::IsValidUtf8(text)) std::abort();
        const jnx::Bytes encoded = jnx::EncodeText(text, utf8);
        if (encoded.empty() || encoded.back() != 0) std::abort();
        if (utf8 && jnx::DecodeText(encoded, true) != text) std::abort();
    }
    return 0;
}
