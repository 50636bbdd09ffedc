#pragma once
// The active 8-bit code page: a host service that strings are converted from and to.
// UTF-8 by default (conversion then only validates); Windows-1252 through iconv.
#include <string>

namespace zeq {

enum class CodePage { Utf8, Windows1252 };

void setActiveCodePage(CodePage page);
CodePage activeCodePage();

// 8-bit text (up to its first NUL) in the active code page -> UTF-8. Text exceptions as the
// string codec documents ("error wsize" for invalid input, "error convert", ...).
std::string activeToUtf8(const std::string& text);
// UTF-8 -> the active code page; characters without a mapping become '?'.
std::string utf8ToActive(const std::string& utf8);

}  // namespace zeq
