// Bytes of text files in each encoding the plugin reads, for building
// settings and language files in tests.
#pragma once

#include <winsim/winsim.h>

#include <string>
#include <string_view>

inline std::string Utf16Bytes(std::u16string_view text, bool bigEndian, bool bom = true)
{
    std::string out;
    auto put = [&](char16_t c) {
        char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    };
    if (bom)
        put(0xFEFF);
    for (char16_t c : text)
        put(c);
    return out;
}

inline std::string Utf8Bytes(std::u16string_view text, bool bom = true)
{
    return (bom ? std::string("\xEF\xBB\xBF") : std::string()) + winsim::Narrow(text);
}
