// 16-bit wide strings: UTF-16 text as the Parts store it (UTF-16LE on disk).
#pragma once

#include <string>
#include <string_view>

namespace mvwin {

std::u16string Utf8ToUtf16(std::string_view text);
// Unpaired surrogates become U+FFFD rather than invalid UTF-8.
std::string Utf16ToUtf8(std::u16string_view text);
std::size_t WideLength(const char16_t* text);

}  // namespace mvwin
