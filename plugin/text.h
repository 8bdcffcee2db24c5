// UTF-16 strings as Windows passes them. WCHAR is wchar_t with the Windows SDK
// and char16_t under winsim; both are 16 bits.
#pragma once

#include <windows.h>

#include <optional>
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

// A string the host handed over in the system's ANSI code page, as UTF-16:
// empty for null; nothing when the system cannot convert it.
inline std::optional<WString> FromHostAnsi(const char* s)
{
    if (!s || !*s)
        return WString();
    const int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
    if (n <= 0)
        return std::nullopt;
    WString wide(static_cast<std::size_t>(n), WCHAR{});
    if (MultiByteToWideChar(CP_ACP, 0, s, -1, wide.data(), n) != n)
        return std::nullopt;
    wide.resize(static_cast<std::size_t>(n) - 1);  // the terminating zero
    return wide;
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
