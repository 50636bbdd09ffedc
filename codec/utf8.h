#pragma once
// UTF-8 coding for the built-in code-page converter: strict decoding (as the host platform's
// converter does when told to reject invalid characters) and encoding from UTF-16.
#include <cstddef>
#include <cstdint>

namespace zeq::utf8 {

// Decodes the code point at s[0 .. n) (n > 0); returns the bytes it takes, 0 when the sequence is
// invalid: stray continuation bytes, overlong forms, surrogates, values above U+10FFFF, sequences
// cut short.
int decodeOne(const uint8_t* s, size_t n, uint32_t& codePoint);

// Whether s[0 .. n) is valid UTF-8 throughout.
bool isValid(const char* s, size_t n);

// UTF-8 -> UTF-16. Returns the UTF-16 units produced (written to `out` unless it is null), -1 when
// the input is invalid.
int64_t toUtf16(const char* s, size_t n, char16_t* out);

// UTF-16 -> UTF-8; unpaired surrogates become U+FFFD. Returns the bytes produced (written to `out`
// unless it is null).
int64_t fromUtf16(const char16_t* s, size_t n, char* out);

}  // namespace zeq::utf8
