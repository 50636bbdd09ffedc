#pragma once
// The codec interface and the primitive codecs: fixed-width numbers, "Bool", "String", "ByteArray",
// and the decorator that makes any value optional.
//
// Value model: a codec encodes from and decodes into a caller-owned object of its value type
// (int32_t for "Int", std::string for "String", ByteBuffer for "ByteArray", TArray<T> for arrays,
// the record structure for records). A null value pointer means "no value"; only the optional
// decorator accepts it.
#include "codec/byte_buffer.h"
#include "codec/null_map.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace zeq {

// The memory that the arrays decoded from one buffer may take (2 GiB). Arrays of records take
// about as much memory as the data they come from plus some bytes per record, so no genuine file
// comes near it; a small crafted file whose many records leave every optional field absent would
// otherwise take many times its inflated size.
inline constexpr int64_t kMaxDecodedSize = int64_t(2) << 30;

// A decoding that would take more memory than its buffer's limit: the data claim more elements
// than any genuine file holds.
class DecodeLimitError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The pair that codecs receive: the value stream and the presence bits of optional values.
struct ProtocolBuffer {
    ByteBuffer buffer;
    NullMap nullMap;
    // The memory that arrays decoded from here may take, and what they have taken so far.
    int64_t decodedLimit = kMaxDecodedSize;
    int64_t decodedBytes = 0;

    // Charges `bytes` of decoded values; DecodeLimitError when the total would pass the limit.
    void chargeDecoded(int64_t bytes) {
        if (bytes > decodedLimit - decodedBytes) {
            throw DecodeLimitError("decoded records would take more than " + std::to_string(decodedLimit >> 20) +
                                   " MiB of memory");
        }
        decodedBytes += bytes;
    }
};

class ICodec {
public:
    virtual ~ICodec() = default;
    // Appends one value. `value` points to an object of the codec's value type, or is null.
    virtual void encode(ProtocolBuffer& pb, const void* value) = 0;
    // Reads one value into *out (an object of the codec's value type). Returns false when the
    // value is absent, which only an optional decorator reports; *out is then left unchanged.
    virtual bool decode(ProtocolBuffer& pb, void* out) = 0;
};

// Decodes one value into a new allocation owned by the caller; null when the value is absent.
template <class T>
std::unique_ptr<T> decodeNew(ICodec& codec, ProtocolBuffer& pb) {
    auto value = std::make_unique<T>();
    if (!codec.decode(pb, value.get())) return nullptr;
    return value;
}

// Fixed-width values: `byteWidth` bytes of the in-memory value, written in reverse order
// (big-endian on the wire on a little-endian host).
class PrimitiveCodec : public ICodec {
public:
    void encode(ProtocolBuffer& pb, const void* value) override;
    bool decode(ProtocolBuffer& pb, void* out) override;
    virtual int32_t byteWidth() const = 0;
};

class ByteCodec : public PrimitiveCodec { public: int32_t byteWidth() const override { return 1; } };      // int8_t
class ShortCodec : public PrimitiveCodec { public: int32_t byteWidth() const override { return 2; } };     // int16_t
class UShortCodec : public PrimitiveCodec { public: int32_t byteWidth() const override { return 2; } };    // uint16_t
class IntCodec : public PrimitiveCodec { public: int32_t byteWidth() const override { return 4; } };       // int32_t
class UIntCodec : public PrimitiveCodec { public: int32_t byteWidth() const override { return 4; } };      // uint32_t ("Uint", "ULong")
class LongCodec : public PrimitiveCodec { public: int32_t byteWidth() const override { return 8; } };      // int64_t
class FloatCodec : public PrimitiveCodec { public: int32_t byteWidth() const override { return 4; } };     // float
class DoubleCodec : public PrimitiveCodec { public: int32_t byteWidth() const override { return 8; } };    // double ("Number")
class BooleanCodec : public ICodec {                                                                     // bool
public:
    void encode(ProtocolBuffer& pb, const void* value) override;
    bool decode(ProtocolBuffer& pb, void* out) override;
};

// "String": std::string holding text in the active 8-bit code page; on the wire a length prefix
// and the UTF-8 bytes (up to the first NUL), no terminator.
class StringCodec : public ICodec {
public:
    void encode(ProtocolBuffer& pb, const void* value) override;
    bool decode(ProtocolBuffer& pb, void* out) override;
};

// "ByteArray": a ByteBuffer; on the wire a length prefix and data[0 .. length).
class ByteArrayCodec : public ICodec {
public:
    void encode(ProtocolBuffer& pb, const void* value) override;
    bool decode(ProtocolBuffer& pb, void* out) override;
};

// Wraps a codec (not owned) and records one presence bit per value in the null map.
class OptionalCodecDecorator : public ICodec {
public:
    explicit OptionalCodecDecorator(ICodec* inner) : inner_(inner) {}
    void encode(ProtocolBuffer& pb, const void* value) override;
    bool decode(ProtocolBuffer& pb, void* out) override;
    ICodec* inner() const { return inner_; }

private:
    ICodec* inner_;
};

}  // namespace zeq
