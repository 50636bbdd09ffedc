// Loading a scene file for inspection, with one clear message per failure.
#include "tools/zeq/inspect_load.h"

#include "format/file_io.h"
#include "tools/zeq/command.h"

#include <new>
#include <string>

namespace zeq::inspect {
namespace {

// The packet header at the start of the data, as far as it is present.
struct Header {
    bool complete = false;
    bool compressed = false;
    int32_t size = 0;         // 2 or 4 bytes
    int64_t bodyLength = 0;   // the body length it declares
};

Header readHeader(const ByteBuffer& bytes) {
    Header header;
    const uint8_t* h = bytes.data();
    const int32_t n = bytes.length();
    if (n < 2) return header;
    if (h[0] & 0x80) {
        if (n < 4) return header;
        header.size = 4;
        header.compressed = true;
        header.bodyLength = (int64_t(h[0] & 0x7F) << 24) | (int64_t(h[1]) << 16) | (int64_t(h[2]) << 8) | h[3];
    } else {
        header.size = 2;
        header.compressed = (h[0] & 0x40) != 0;
        header.bodyLength = (int64_t(h[0] & 0x3F) << 8) | h[1];
    }
    header.complete = true;
    return header;
}

// Whether two bytes open a zlib stream: deflate method, a window of at most 32 KiB and the header
// check bits that make the pair a multiple of 31.
bool isZlibHeader(uint8_t cmf, uint8_t flg) {
    return (cmf & 0x0F) == 8 && (cmf >> 4) <= 7 && ((cmf << 8) | flg) % 31 == 0;
}

// Whether a stored (uncompressed) body starts with a null map followed by major version 2; only
// judged when the bytes are present.
bool storedBodyLooksRight(const uint8_t* body, int64_t available) {
    if (available < 1) return true;
    const uint8_t b = body[0];
    int64_t mapBytes;
    if (b & 0x80) {
        if (b & 0x40) {
            if (available < 3) return true;
            mapBytes = 3 + ((int64_t(b & 0x3F) << 16) | (int64_t(body[1]) << 8) | body[2]);
        } else {
            mapBytes = 1 + (b & 0x3F);
        }
    } else {
        mapBytes = 1 + (b >> 5);
    }
    if (available < mapBytes + 2) return true;
    return body[mapBytes] == 0 && body[mapBytes + 1] == kMajorVersion;
}

// Finds what is wrong with the frame before the body is decoded: data that is no Zeq packet at
// all, and a body that runs past the end of the file. Both would otherwise surface as a less
// telling decoding error. Returns an empty text when the frame looks sound.
std::string checkFrame(const ByteBuffer& bytes) {
    const Header header = readHeader(bytes);
    if (!header.complete) return {};  // the decoder reports short data itself
    const uint8_t* body = bytes.data() + header.size;
    const int64_t available = bytes.length() - header.size;
    if (header.compressed) {
        if (available >= 2 && !isZlibHeader(body[0], body[1])) {
            return "not a Zeq file (no zlib stream after the packet header)";
        }
    } else if (!storedBodyLooksRight(body, available)) {
        return "not a Zeq file (no version 2 data after the packet header)";
    }
    if (header.bodyLength > available) {
        return "truncated: the packet declares " + std::to_string(header.bodyLength) + " body bytes, the file holds " +
               std::to_string(available);
    }
    return {};
}

}  // namespace

LoadedScene loadScene(const std::string& name, ByteBuffer& bytes) {
    if (const std::string problem = checkFrame(bytes); !problem.empty()) throw cli::CommandError(name, problem);
    LoadedScene scene;
    try {
        scene.file = decodeSceneFile(bytes, &scene.packet);
    } catch (const FormatError& e) {
        throw cli::CommandError(name, e.what());
    } catch (const std::bad_alloc&) {
        throw cli::CommandError(name, "out of memory while decoding");
    }
    return scene;
}

LoadedScene loadScene(const std::string& path) {
    ByteBuffer bytes;
    try {
        bytes = readFileBytes(path);
    } catch (const FileError& e) {
        throw cli::CommandError(path, e.reason);
    }
    return loadScene(path, bytes);
}

}  // namespace zeq::inspect
