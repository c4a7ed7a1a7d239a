#pragma once
// UTF-8 inside, UTF-16 only at Win32 calls. Lone surrogates survive both ways, so bytes that were
// kept as escapes (see storage/gb18030.h) reach a wide API and come back unchanged.
#include <string>
#include <string_view>

namespace jihe::platform {

// Appends one code point in UTF-8 form; a lone surrogate keeps its 3-byte form.
void AppendUtf8(std::string& out, char32_t codePoint);

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

}  // namespace jihe::platform
