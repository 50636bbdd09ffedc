#pragma once
// The active 8-bit code page: a host service that strings are converted from and to.
// UTF-8 by default (conversion then only validates); Windows-1252 through iconv.
//
// Conversions run the way the host platform's converter works: every step (8-bit -> UTF-16 and
// UTF-16 -> 8-bit) is a size query followed by the conversion proper into a block of the queried
// size. A failing step is reported as a text exception (the thrown object is the message itself,
// a const char*):
//   size query fails with kErrorInvalidParameter     "ERROR_INVALID_PARAMETER"
//   size query fails with kErrorInsufficientBuffer   "ERROR_INSUFFICIENT_BUFFER"
//   size query fails with kErrorInvalidFlags         "ERROR_INVALID_FLAGS"
//   size query fails otherwise, towards UTF-16       "error wsize"   (e.g. invalid input)
//   size query fails otherwise, from UTF-16          "error size"
//   the conversion proper fails                      "error convert"
#include <cstdint>
#include <string>

namespace zeq {

enum class CodePage { Utf8, Windows1252 };

void setActiveCodePage(CodePage page);
CodePage activeCodePage();

// 8-bit text (up to its first NUL) in the active code page -> UTF-8 (up to the first NUL).
// Invalid input in the active code page: "error wsize".
std::string activeToUtf8(const std::string& text);
// UTF-8 -> the active code page, up to the first NUL; characters without a mapping become '?'.
// Invalid UTF-8 anywhere in `utf8`, after a NUL too: "error wsize".
std::string utf8ToActive(const std::string& utf8);

// Error codes a converter reports, numbered as on the host platform.
enum ConverterError : uint32_t {
    kErrorInvalidParameter = 87,
    kErrorInsufficientBuffer = 122,
    kErrorInvalidFlags = 1004,
    kErrorNoUnicodeTranslation = 1113,  // input invalid in the source encoding
};

// The platform converter, in its two-call form. Called with destination null and capacity 0 it
// returns the number of units the conversion produces (size query); called with a destination it
// converts into it and returns the units written. Sources and results include the terminating NUL
// when the source does. A return of 0 is a failure, with the reason in `error`.
class CodePageConverter {
public:
    virtual ~CodePageConverter() = default;
    // 8-bit text in `page` -> UTF-16; input invalid in `page` fails with kErrorNoUnicodeTranslation.
    virtual int32_t toUtf16(CodePage page, const char* source, int32_t sourceLength, char16_t* destination,
                            int32_t capacity, uint32_t& error) = 0;
    // UTF-16 -> 8-bit text in `page`; characters that `page` cannot represent become '?'.
    virtual int32_t fromUtf16(CodePage page, const char16_t* source, int32_t sourceLength, char* destination,
                              int32_t capacity, uint32_t& error) = 0;
};

// The converter conversions use: the built-in one (own UTF-8 coder, the C library's iconv for
// Windows-1252) unless another was installed. The caller keeps ownership of an installed converter;
// null restores the built-in one.
void setCodePageConverter(CodePageConverter* converter);
CodePageConverter& codePageConverter();
CodePageConverter& builtinCodePageConverter();

}  // namespace zeq
