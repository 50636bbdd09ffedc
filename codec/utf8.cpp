// Strict UTF-8 decoding and UTF-16 -> UTF-8 encoding.
#include "codec/utf8.h"

#include <cstring>

namespace zeq::utf8 {

namespace {

bool continuation(uint8_t b) { return (b & 0xC0) == 0x80; }

}  // namespace

int decodeOne(const uint8_t* s, size_t n, uint32_t& codePoint) {
    const uint8_t a = s[0];
    if (a < 0x80) {
        codePoint = a;
        return 1;
    }
    // Lead bytes and the range allowed for the second byte, which excludes overlong forms
    // (E0, F0), surrogates (ED) and values above U+10FFFF (F4).
    int length;
    uint8_t low = 0x80, high = 0xBF;
    if (a >= 0xC2 && a <= 0xDF) {
        length = 2;
        codePoint = a & 0x1F;
    } else if (a >= 0xE0 && a <= 0xEF) {
        length = 3;
        codePoint = a & 0x0F;
        if (a == 0xE0) low = 0xA0;
        if (a == 0xED) high = 0x9F;
    } else if (a >= 0xF0 && a <= 0xF4) {
        length = 4;
        codePoint = a & 0x07;
        if (a == 0xF0) low = 0x90;
        if (a == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (n < static_cast<size_t>(length)) return 0;
    if (s[1] < low || s[1] > high) return 0;
    codePoint = (codePoint << 6) | (s[1] & 0x3F);
    for (int i = 2; i < length; ++i) {
        if (!continuation(s[i])) return 0;
        codePoint = (codePoint << 6) | (s[i] & 0x3F);
    }
    return length;
}

bool isValid(const char* text, size_t n) {
    const auto* s = reinterpret_cast<const uint8_t*>(text);
    size_t i = 0;
    while (i < n) {
        // Runs of ASCII, eight bytes at a time: the common case for names.
        while (i + 8 <= n) {
            uint64_t word;
            std::memcpy(&word, s + i, 8);
            if (word & 0x8080808080808080ull) break;
            i += 8;
        }
        if (i >= n) break;
        uint32_t codePoint;
        const int length = decodeOne(s + i, n - i, codePoint);
        if (length == 0) return false;
        i += static_cast<size_t>(length);
    }
    return true;
}

int64_t toUtf16(const char* text, size_t n, char16_t* out) {
    const auto* s = reinterpret_cast<const uint8_t*>(text);
    int64_t units = 0;
    for (size_t i = 0; i < n;) {
        uint32_t codePoint;
        const int length = decodeOne(s + i, n - i, codePoint);
        if (length == 0) return -1;
        i += static_cast<size_t>(length);
        if (codePoint >= 0x10000) {
            if (out) {
                codePoint -= 0x10000;
                out[units] = static_cast<char16_t>(0xD800 + (codePoint >> 10));
                out[units + 1] = static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
            }
            units += 2;
        } else {
            if (out) out[units] = static_cast<char16_t>(codePoint);
            units += 1;
        }
    }
    return units;
}

int64_t fromUtf16(const char16_t* s, size_t n, char* out) {
    int64_t bytes = 0;
    auto put = [&](uint32_t b) {
        if (out) out[bytes] = static_cast<char>(b);
        ++bytes;
    };
    for (size_t i = 0; i < n; ++i) {
        uint32_t codePoint = s[i];
        if (codePoint >= 0xD800 && codePoint <= 0xDFFF) {
            const bool paired = codePoint <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF;
            if (paired) {
                codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (s[i + 1] - 0xDC00);
                ++i;
            } else {
                codePoint = 0xFFFD;
            }
        }
        if (codePoint < 0x80) {
            put(codePoint);
        } else if (codePoint < 0x800) {
            put(0xC0 | (codePoint >> 6));
            put(0x80 | (codePoint & 0x3F));
        } else if (codePoint < 0x10000) {
            put(0xE0 | (codePoint >> 12));
            put(0x80 | ((codePoint >> 6) & 0x3F));
            put(0x80 | (codePoint & 0x3F));
        } else {
            put(0xF0 | (codePoint >> 18));
            put(0x80 | ((codePoint >> 12) & 0x3F));
            put(0x80 | ((codePoint >> 6) & 0x3F));
            put(0x80 | (codePoint & 0x3F));
        }
    }
    return bytes;
}

}  // namespace zeq::utf8
