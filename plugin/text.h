// UTF-16 strings as Windows passes them. WCHAR is wchar_t with the Windows SDK
// and char16_t under winsim; both are 16 bits.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

using WString = std::basic_string<WCHAR>;
using WStringView = std::basic_string_view<WCHAR>;

// Upper case of the ASCII letters only, as the plugin compares fixed names
// ("NTFS", "::$DATA") with what the system returns.
inline WCHAR AsciiUpper(WCHAR c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<WCHAR>(c - ('a' - 'A')) : c;
}

inline bool EqualsAsciiNoCase(WStringView a, WStringView b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiUpper(a[i]) != AsciiUpper(b[i]))
            return false;
    return true;
}

// A string the host handed over, which may be null.
inline WString FromHost(const WCHAR* s)
{
    return s ? WString(s) : WString();
}

// Copies text into a caller's buffer of `capacity` characters, truncating and
// always terminating; nothing is written when the capacity is below 1.
template <typename Char>
void CopyTruncated(std::basic_string_view<Char> text, Char* buffer, std::size_t capacity)
{
    if (!buffer || capacity < 1)
        return;
    std::size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
    for (std::size_t i = 0; i < n; ++i)
        buffer[i] = text[i];
    buffer[n] = 0;
}
