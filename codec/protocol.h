#pragma once
// The protocol: the registry that binds descriptor keys to codecs, and the packet frame
// (header, null map, value stream, zlib compression).
#include "codec/codec.h"
#include "codec/codec_info.h"

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace zeq {

// The exception type of this layer that the exporter's error handling recognises.
class ProtocolException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class IProtocol {
public:
    virtual ~IProtocol() = default;
    virtual void registerCodec(const ICodecInfo& descriptor, ICodec* codec) = 0;
    virtual ICodec* getCodec(const ICodecInfo& descriptor) = 0;
    virtual std::unique_ptr<TypeCodecInfo> makeTypeInfo(const std::string& typeName) = 0;
    virtual void encodePacket(ByteBuffer& out, ProtocolBuffer& pb, bool compress) = 0;
    virtual bool decodePacket(ByteBuffer& in, ProtocolBuffer& pb) = 0;
};

// Why the last decodePacket returned false.
enum class PacketError {
    None,
    TooShort,        // fewer bytes than the header needs
    Truncated,       // the declared body runs past the end of the input
    Corrupted,       // the zlib stream is damaged or ends early
    TooLarge,        // inflation would exceed kMaxInflatedSize
};
const char* packetErrorText(PacketError error);  // "corrupted compressed data", ...

class Protocol : public IProtocol {
public:
    // The largest packet body that decodePacket inflates (1 GiB).
    static constexpr int64_t kMaxInflatedSize = int64_t(1) << 30;

    // Registers the primitive codecs and their optional forms.
    Protocol();
    ~Protocol() override;
    Protocol(const Protocol&) = delete;
    Protocol& operator=(const Protocol&) = delete;

    // Binds descriptor.key() to `codec` (replacing an earlier binding). The codec is not taken
    // over: hand it to adopt() or create it with make<>() so that it lives as long as the protocol.
    void registerCodec(const ICodecInfo& descriptor, ICodec* codec) override;
    // The codec registered under the key; null when there is none.
    ICodec* getCodec(const ICodecInfo& descriptor) override;
    ICodec* getCodec(const std::string& key) const;
    std::unique_ptr<TypeCodecInfo> makeTypeInfo(const std::string& typeName) override;
    // Frames pb as one packet appended to `out`: header, then the null map and the value bytes,
    // zlib-compressed when `compress` is set (on the calling thread). An uncompressed body must be shorter than 16384 bytes
    // (only the two-byte header can mark a body as stored); a longer one throws ProtocolException, as
    // does a body longer than maxInflatedSize(), which no reader would inflate. `out` and pb are then
    // left as they were.
    void encodePacket(ByteBuffer& out, ProtocolBuffer& pb, bool compress) override;
    // Reads the packet at the start of `in` into pb. Returns false, leaving pb as it was, when the
    // packet is cut short, its compressed body is damaged or inflates beyond maxInflatedSize();
    // lastPacketError() tells which. A body too short for its null map fails with the
    // std::out_of_range of the read. The arrays decoded from pb may take maxDecodedSize() bytes.
    bool decodePacket(ByteBuffer& in, ProtocolBuffer& pb) override;

    // Hands a codec to the protocol, which keeps it alive until it is destroyed.
    ICodec* adopt(std::unique_ptr<ICodec> codec);
    template <class C, class... Args>
    C* make(Args&&... args) {
        auto codec = std::make_unique<C>(std::forward<Args>(args)...);
        C* raw = codec.get();
        adopt(std::move(codec));
        return raw;
    }

    // Changes whenever a codec is registered; codecs that cache lookups compare it.
    uint64_t generation() const { return generation_; }
    PacketError lastPacketError() const { return lastError_; }
    // Bytes the null map took at the front of the body of the last packet decodePacket read: the
    // count read, whichever of the equivalent forms the writer chose.
    int32_t lastNullMapBytes() const { return lastNullMapBytes_; }
    // Bytes of the last packet's compressed body that follow the end of its zlib stream, which
    // inflating leaves alone.
    int32_t lastUnusedBodyBytes() const { return lastUnusedBodyBytes_; }
    // The inflation limit of decodePacket: kMaxInflatedSize unless lowered (tests of the limit).
    int64_t maxInflatedSize() const { return maxInflatedSize_; }
    void setMaxInflatedSize(int64_t bytes) { maxInflatedSize_ = bytes; }
    // The memory limit decodePacket gives the buffer it fills: kMaxDecodedSize unless lowered.
    int64_t maxDecodedSize() const { return maxDecodedSize_; }
    void setMaxDecodedSize(int64_t bytes) { maxDecodedSize_ = bytes; }
    const std::map<std::string, ICodec*>& registry() const { return registry_; }

private:
    std::map<std::string, ICodec*> registry_;
    std::vector<std::unique_ptr<ICodec>> owned_;
    uint64_t generation_ = 0;
    PacketError lastError_ = PacketError::None;
    int32_t lastNullMapBytes_ = 0;
    int32_t lastUnusedBodyBytes_ = 0;
    int64_t maxInflatedSize_ = kMaxInflatedSize;
    int64_t maxDecodedSize_ = kMaxDecodedSize;
};

}  // namespace zeq
