// The built-in code-page converter: UTF-8 by the own coder, Windows-1252 through the C library's
// iconv. It follows the host platform's two-call convention (size query, then conversion) and its
// error codes, so the text exceptions of the string codec come out as they would there.
#include "codec/code_page.h"
#include "codec/utf8.h"

#include <cerrno>
#include <iconv.h>
#include <limits>

namespace zeq {

namespace {

constexpr int64_t kMaxUnits = std::numeric_limits<int32_t>::max();
const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// An iconv conversion descriptor, opened on first use and reused; reset before every conversion.
class IconvHandle {
public:
    IconvHandle(const char* to, const char* from) : to_(to), from_(from) {}
    ~IconvHandle() {
        if (cd_ != kNoConverter) iconv_close(cd_);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;

    // The descriptor in its initial state, or kNoConverter when the C library lacks the encoding.
    iconv_t get() {
        if (cd_ == kNoConverter) cd_ = iconv_open(to_, from_);
        if (cd_ != kNoConverter) iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        return cd_;
    }

private:
    const char* to_;
    const char* from_;
    iconv_t cd_ = kNoConverter;
};

IconvHandle& cp1252ToUtf16() {
    static IconvHandle handle("UTF-16LE", "WINDOWS-1252");
    return handle;
}

IconvHandle& utf16ToCp1252() {
    static IconvHandle handle("WINDOWS-1252", "UTF-16LE");
    return handle;
}

// Runs `cd` over the whole input. With destination null, the output goes to a scratch area and
// is only counted. Returns the bytes produced, or -1 with `error` set. On a character that the
// target cannot represent, `replaceUnmappable` decides: false fails with kErrorNoUnicodeTranslation, true
// writes '?' and skips the character (a UTF-16 unit, or a surrogate pair).
int64_t runIconv(iconv_t cd, const char* source, size_t sourceBytes, char* destination, size_t capacity,
                 bool replaceUnmappable, uint32_t& error) {
    char scratch[1024];
    char* in = const_cast<char*>(source);
    size_t inLeft = sourceBytes;
    int64_t produced = 0;
    const bool counting = destination == nullptr;
    char* out = counting ? scratch : destination;
    size_t outLeft = counting ? sizeof scratch : capacity;

    auto emit = [&](char c) -> bool {
        if (outLeft == 0) {
            if (!counting) return false;
            out = scratch;
            outLeft = sizeof scratch;
        }
        *out++ = c;
        --outLeft;
        ++produced;
        return true;
    };

    while (inLeft > 0) {
        const size_t outBefore = outLeft;
        const size_t result = iconv(cd, &in, &inLeft, &out, &outLeft);
        produced += static_cast<int64_t>(outBefore - outLeft);
        if (produced > kMaxUnits * 2) {
            error = kErrorInvalidParameter;
            return -1;
        }
        if (result != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) {
            if (!counting) {
                error = kErrorInsufficientBuffer;
                return -1;
            }
            out = scratch;
            outLeft = sizeof scratch;
            continue;
        }
        if ((errno == EILSEQ || errno == EINVAL) && replaceUnmappable) {
            // The unit at `in` has no mapping (or is an unpaired surrogate): one '?' stands for it.
            size_t skip = 2;
            if (inLeft >= 4) {
                const auto* unit = reinterpret_cast<const unsigned char*>(in);
                const unsigned high = unit[0] | (unit[1] << 8), low = unit[2] | (unit[3] << 8);
                if (high >= 0xD800 && high <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF) skip = 4;
            }
            if (skip > inLeft) skip = inLeft;
            if (!emit('?')) {
                error = kErrorInsufficientBuffer;
                return -1;
            }
            in += skip;
            inLeft -= skip;
            continue;
        }
        error = errno == EILSEQ || errno == EINVAL ? kErrorNoUnicodeTranslation : kErrorInvalidParameter;
        return -1;
    }
    return produced;
}

class BuiltinConverter : public CodePageConverter {
public:
    int32_t toUtf16(CodePage page, const char* source, int32_t sourceLength, char16_t* destination,
                    int32_t capacity, uint32_t& error) override {
        if (!source || sourceLength < 0 || (destination && capacity <= 0) || (!destination && capacity != 0)) {
            error = kErrorInvalidParameter;
            return 0;
        }
        int64_t units;
        if (page == CodePage::Utf8) {
            units = utf8::toUtf16(source, static_cast<size_t>(sourceLength), nullptr);
            if (units < 0) {
                error = kErrorNoUnicodeTranslation;
                return 0;
            }
            if (destination) {
                if (units > capacity) {
                    error = kErrorInsufficientBuffer;
                    return 0;
                }
                utf8::toUtf16(source, static_cast<size_t>(sourceLength), destination);
            }
        } else {
            const iconv_t cd = cp1252ToUtf16().get();
            if (cd == kNoConverter) {
                error = kErrorInvalidParameter;
                return 0;
            }
            const int64_t bytes = runIconv(cd, source, static_cast<size_t>(sourceLength),
                                           reinterpret_cast<char*>(destination),
                                           static_cast<size_t>(capacity) * sizeof(char16_t), false, error);
            if (bytes < 0) return 0;
            units = bytes / 2;
        }
        if (units > kMaxUnits) {
            error = kErrorInvalidParameter;
            return 0;
        }
        if (units == 0) error = kErrorInvalidParameter;  // nothing to convert is an invalid request there
        return static_cast<int32_t>(units);
    }

    int32_t fromUtf16(CodePage page, const char16_t* source, int32_t sourceLength, char* destination,
                      int32_t capacity, uint32_t& error) override {
        if (!source || sourceLength < 0 || (destination && capacity <= 0) || (!destination && capacity != 0)) {
            error = kErrorInvalidParameter;
            return 0;
        }
        int64_t bytes;
        if (page == CodePage::Utf8) {
            bytes = utf8::fromUtf16(source, static_cast<size_t>(sourceLength), nullptr);
            if (destination) {
                if (bytes > capacity) {
                    error = kErrorInsufficientBuffer;
                    return 0;
                }
                utf8::fromUtf16(source, static_cast<size_t>(sourceLength), destination);
            }
        } else {
            const iconv_t cd = utf16ToCp1252().get();
            if (cd == kNoConverter) {
                error = kErrorInvalidParameter;
                return 0;
            }
            bytes = runIconv(cd, reinterpret_cast<const char*>(source),
                             static_cast<size_t>(sourceLength) * sizeof(char16_t), destination,
                             static_cast<size_t>(capacity), true, error);
            if (bytes < 0) return 0;
        }
        if (bytes > kMaxUnits) {
            error = kErrorInvalidParameter;
            return 0;
        }
        if (bytes == 0) error = kErrorInvalidParameter;
        return static_cast<int32_t>(bytes);
    }
};

}  // namespace

CodePageConverter& builtinCodePageConverter() {
    static BuiltinConverter converter;
    return converter;
}

}  // namespace zeq
