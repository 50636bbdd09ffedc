// Conversions between the active 8-bit code page and UTF-8, through UTF-16 in the two-call form
// of the host platform's converter, with its failures mapped to the string codec's text exceptions.
#include "codec/code_page.h"
#include "codec/utf8.h"

#include <cstring>
#include <limits>
#include <memory>

namespace zeq {

namespace {

CodePage g_activePage = CodePage::Utf8;
CodePageConverter* g_converter = nullptr;  // null: the built-in converter

// A failed size query: the three codes the platform names, anything else the step's own text.
[[noreturn]] void throwSizeQueryFailure(uint32_t error, const char* otherwise) {
    switch (error) {
    case kErrorInvalidParameter: throw "ERROR_INVALID_PARAMETER";
    case kErrorInsufficientBuffer: throw "ERROR_INSUFFICIENT_BUFFER";
    case kErrorInvalidFlags: throw "ERROR_INVALID_FLAGS";
    default: throw otherwise;
    }
}

// NUL-terminated 8-bit text (length counts the terminator) in `page` -> UTF-16 with terminator.
std::u16string toUtf16(CodePage page, const char* text, int32_t length) {
    CodePageConverter& converter = codePageConverter();
    uint32_t error = 0;
    const int32_t units = converter.toUtf16(page, text, length, nullptr, 0, error);
    if (units <= 0) throwSizeQueryFailure(error, "error wsize");
    std::u16string wide(static_cast<size_t>(units), u'\0');
    error = 0;
    const int32_t written = converter.toUtf16(page, text, length, wide.data(), units, error);
    if (written <= 0 || written > units) throw "error convert";
    wide.resize(static_cast<size_t>(written));
    return wide;
}

// UTF-16 with terminator -> 8-bit text in `page`, cut at its first NUL.
std::string fromUtf16(CodePage page, const std::u16string& wide) {
    CodePageConverter& converter = codePageConverter();
    const auto length = static_cast<int32_t>(wide.size());
    uint32_t error = 0;
    const int32_t bytes = converter.fromUtf16(page, wide.data(), length, nullptr, 0, error);
    if (bytes <= 0) throwSizeQueryFailure(error, "error size");
    std::string text(static_cast<size_t>(bytes), '\0');
    error = 0;
    const int32_t written = converter.fromUtf16(page, wide.data(), length, text.data(), bytes, error);
    if (written <= 0 || written > bytes) throw "error convert";
    text.resize(std::strlen(text.c_str()));
    return text;
}

// The first n bytes of `from` text -> `to` text, through UTF-16; the result ends at its first NUL.
std::string convert(CodePage from, CodePage to, const std::string& text, size_t n) {
    if (n >= static_cast<size_t>(std::numeric_limits<int32_t>::max())) throw "ERROR_INVALID_PARAMETER";
    // With the built-in converter, UTF-8 to UTF-8 comes back byte for byte once it is valid, so
    // validation alone gives the same result and failure without the round trip.
    if (from == CodePage::Utf8 && to == CodePage::Utf8 && g_converter == nullptr) {
        if (!utf8::isValid(text.data(), n)) throw "error wsize";
        return text.substr(0, std::strlen(text.c_str()));
    }
    return fromUtf16(to, toUtf16(from, text.c_str(), static_cast<int32_t>(n + 1)));
}

}  // namespace

void setActiveCodePage(CodePage page) { g_activePage = page; }
CodePage activeCodePage() { return g_activePage; }

void setCodePageConverter(CodePageConverter* converter) { g_converter = converter; }
CodePageConverter& codePageConverter() { return g_converter ? *g_converter : builtinCodePageConverter(); }

// 8-bit text of the host ends at its first NUL. UTF-8 read from a file is converted whole, so
// invalid bytes after a NUL inside it are refused rather than dropped unseen.
std::string activeToUtf8(const std::string& text) {
    return convert(g_activePage, CodePage::Utf8, text, std::strlen(text.c_str()));
}
std::string utf8ToActive(const std::string& utf8) { return convert(CodePage::Utf8, g_activePage, utf8, utf8.size()); }

}  // namespace zeq
