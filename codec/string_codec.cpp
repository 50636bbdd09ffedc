// "String": text in the active code page, written as a length prefix and its UTF-8 bytes without
// a terminator.
#include "codec/code_page.h"
#include "codec/codec.h"

#include <stdexcept>

namespace zeq {

void StringCodec::encode(ProtocolBuffer& pb, const void* value) {
    if (!value) throw std::invalid_argument("encode::object is NULL");
    // Converted before anything is written, so a failing conversion or an overlong text leaves
    // the buffer as it was.
    const std::string utf8 = activeToUtf8(*static_cast<const std::string*>(value));
    encodeLength(static_cast<uint32_t>(utf8.size()), pb.buffer);
    pb.buffer.appendBytes(utf8.data(), static_cast<int32_t>(utf8.size()), false);
}

bool StringCodec::decode(ProtocolBuffer& pb, void* out) {
    const auto n = static_cast<int32_t>(decodeLength(pb.buffer));
    // Checked against the bytes present ("position + length") before anything is allocated;
    // a length of 0 at the very end of the data is the empty string.
    const uint8_t* bytes = pb.buffer.readView(n);
    auto& text = *static_cast<std::string*>(out);
    if (n == 0) {
        text.clear();
        return true;
    }
    text = utf8ToActive(std::string(reinterpret_cast<const char*>(bytes), static_cast<size_t>(n)));
    return true;
}

}  // namespace zeq
