// Conversions between the ANSI code pages and UTF-16. Modelled: Windows-1252,
// Windows-1251 and UTF-8 (65001), with CP_ACP standing for the world's ANSI
// code page. Undecodable UTF-8 becomes U+FFFD unless MB_ERR_INVALID_CHARS asks
// for failure, as on Windows Vista and later.
#include <array>

#include "calls.h"
#include "sim.h"

using namespace winsim::detail;

namespace {

// Bytes 0x80..0x9F of Windows-1252; 0xA0..0xFF are Latin-1. The five holes map
// to the C1 control of the same value, as MultiByteToWideChar does.
constexpr std::array<char16_t, 32> k1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Bytes 0x80..0xBF of Windows-1251; 0xC0..0xFF are U+0410..U+044F.
constexpr std::array<char16_t, 64> k1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

char16_t SingleByteToWide(UINT cp, unsigned char b)
{
    if (b < 0x80)
        return b;
    if (cp == 1252)
        return b < 0xA0 ? k1252High[b - 0x80] : b;
    return b < 0xC0 ? k1251High[b - 0x80] : static_cast<char16_t>(0x0410 + (b - 0xC0));
}

bool WideToSingleByte(UINT cp, char16_t c, unsigned char& out)
{
    if (c < 0x80) {
        out = static_cast<unsigned char>(c);
        return true;
    }
    for (unsigned b = 0x80; b <= 0xFF; ++b) {
        if (SingleByteToWide(cp, static_cast<unsigned char>(b)) == c) {
            out = static_cast<unsigned char>(b);
            return true;
        }
    }
    return false;
}

// Windows' best-fit mapping (flags without WC_NO_BEST_FIT_CHARS): a character
// the code page lacks becomes a look-alike, silently, without the used-default
// flag. Letters with marks become their base letter ("Ł" -> "L" under 1252,
// "é" -> "e" under 1251), the infinity sign the digit eight. The part of the
// tables the tests meet.
bool BestFit(char16_t c, unsigned char& out)
{
    static const struct {
        char16_t from, to;
        char base;
        bool caseRuns;  // upper and lower case alternate from `from` on
    } kRuns[] = {
        {0x00C0, 0x00C5, 'A', false}, {0x00C7, 0x00C7, 'C', false}, {0x00C8, 0x00CB, 'E', false},
        {0x00CC, 0x00CF, 'I', false}, {0x00D1, 0x00D1, 'N', false}, {0x00D2, 0x00D6, 'O', false},
        {0x00D8, 0x00D8, 'O', false}, {0x00D9, 0x00DC, 'U', false}, {0x00DD, 0x00DD, 'Y', false},
        {0x00E0, 0x00E5, 'a', false}, {0x00E7, 0x00E7, 'c', false}, {0x00E8, 0x00EB, 'e', false},
        {0x00EC, 0x00EF, 'i', false}, {0x00F1, 0x00F1, 'n', false}, {0x00F2, 0x00F6, 'o', false},
        {0x00F8, 0x00F8, 'o', false}, {0x00F9, 0x00FC, 'u', false}, {0x00FD, 0x00FD, 'y', false},
        {0x0100, 0x0105, 'A', true},  {0x0106, 0x010D, 'C', true},  {0x010E, 0x0111, 'D', true},
        {0x0112, 0x011B, 'E', true},  {0x0139, 0x0142, 'L', true},  {0x0143, 0x0148, 'N', true},
        {0x014C, 0x0151, 'O', true},  {0x0154, 0x0159, 'R', true},  {0x015A, 0x0161, 'S', true},
        {0x0162, 0x0167, 'T', true},  {0x0168, 0x0173, 'U', true},  {0x0179, 0x017E, 'Z', true},
    };
    // The Latin Extended-A runs pair each capital with its small letter.
    for (const auto& r : kRuns) {
        if (c < r.from || c > r.to)
            continue;
        const bool small = r.caseRuns && (c - r.from) % 2 == 1;
        out = static_cast<unsigned char>(small ? r.base - 'A' + 'a' : r.base);
        return true;
    }
    if (c == 0x221E) {
        out = '8';
        return true;
    }
    return false;
}

// Decodes UTF-8; false on the first invalid sequence when strict.
bool DecodeUtf8(const unsigned char* s, std::size_t n, bool strict, std::u16string& out)
{
    for (std::size_t i = 0; i < n;) {
        unsigned char c = s[i];
        if (c < 0x80) {
            out += c;
            ++i;
            continue;
        }
        int len = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
        char32_t cp = len == 4 ? c & 0x07 : len == 3 ? c & 0x0F : c & 0x1F;
        bool ok = len > 0 && i + len <= n;
        for (int k = 1; ok && k < len; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if (ok && ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp < 0xE000))) ||
                   (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))))
            ok = false;
        if (!ok) {
            if (strict)
                return false;
            out += u'\xFFFD';
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += len;
    }
    return true;
}

UINT Effective(UINT cp)
{
    return cp == CP_ACP ? TheWorld().process.ansiCodePage : cp;
}

}  // namespace

extern "C" UINT WINAPI GetACP()
{
    WorldLock lock(WorldMutex());
    return TheWorld().process.ansiCodePage;
}

extern "C" int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                                          LPWSTR lpWideCharStr, int cchWideChar)
{
    WINSIM_ENTER("MultiByteToWideChar", {}, 0);
    UINT cp = Effective(CodePage);
    if (!lpMultiByteStr || cbMultiByte == 0 || cchWideChar < 0 || (cp != 1252 && cp != 1251 && cp != CP_UTF8))
        return Fail(ERROR_INVALID_PARAMETER, 0);
    const auto* s = reinterpret_cast<const unsigned char*>(lpMultiByteStr);
    std::size_t n = cbMultiByte < 0 ? std::char_traits<char>::length(lpMultiByteStr) + 1
                                    : static_cast<std::size_t>(cbMultiByte);
    std::u16string out;
    if (cp == CP_UTF8) {
        if (!DecodeUtf8(s, n, dwFlags & MB_ERR_INVALID_CHARS, out))
            return Fail(ERROR_NO_UNICODE_TRANSLATION, 0);
    } else {
        for (std::size_t i = 0; i < n; ++i)
            out += SingleByteToWide(cp, s[i]);
    }
    if (cchWideChar == 0)
        return static_cast<int>(out.size());
    if (out.size() > static_cast<std::size_t>(cchWideChar))
        return Fail(ERROR_INSUFFICIENT_BUFFER, 0);
    std::copy(out.begin(), out.end(), lpWideCharStr);
    return static_cast<int>(out.size());
}

extern "C" int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                                          LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                                          LPBOOL lpUsedDefaultChar)
{
    WINSIM_ENTER("WideCharToMultiByte", {}, 0);
    UINT cp = Effective(CodePage);
    if (!lpWideCharStr || cchWideChar == 0 || cbMultiByte < 0 || (cp != 1252 && cp != 1251 && cp != CP_UTF8))
        return Fail(ERROR_INVALID_PARAMETER, 0);
    // A size with nowhere to write is refused, not written through.
    if (!lpMultiByteStr && cbMultiByte != 0)
        return Fail(ERROR_INVALID_PARAMETER, 0);
    if (cp == CP_UTF8 && (dwFlags & WC_NO_BEST_FIT_CHARS))
        return Fail(ERROR_INVALID_FLAGS, 0);
    if (cp == CP_UTF8 && (lpDefaultChar || lpUsedDefaultChar))
        return Fail(ERROR_INVALID_PARAMETER, 0);
    std::size_t n = cchWideChar < 0 ? std::char_traits<char16_t>::length(lpWideCharStr) + 1
                                    : static_cast<std::size_t>(cchWideChar);
    std::string out;
    bool usedDefault = false;
    if (cp == CP_UTF8) {
        for (std::size_t i = 0; i < n; ++i) {
            char32_t c = lpWideCharStr[i];
            if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && lpWideCharStr[i + 1] >= 0xDC00 &&
                lpWideCharStr[i + 1] < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (lpWideCharStr[i + 1] - 0xDC00);
                ++i;
            } else if (c >= 0xD800 && c < 0xE000) {
                c = 0xFFFD;  // a lone surrogate
            }
            if (c < 0x80) {
                out += static_cast<char>(c);
            } else if (c < 0x800) {
                out += static_cast<char>(0xC0 | (c >> 6));
                out += static_cast<char>(0x80 | (c & 0x3F));
            } else if (c < 0x10000) {
                out += static_cast<char>(0xE0 | (c >> 12));
                out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (c & 0x3F));
            } else {
                out += static_cast<char>(0xF0 | (c >> 18));
                out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
                out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (c & 0x3F));
            }
        }
    } else {
        for (std::size_t i = 0; i < n; ++i) {
            unsigned char b;
            if (!WideToSingleByte(cp, lpWideCharStr[i], b) &&
                ((dwFlags & WC_NO_BEST_FIT_CHARS) || !BestFit(lpWideCharStr[i], b))) {
                b = lpDefaultChar ? static_cast<unsigned char>(*lpDefaultChar) : '?';
                usedDefault = true;
            }
            out += static_cast<char>(b);
        }
    }
    if (lpUsedDefaultChar)
        *lpUsedDefaultChar = usedDefault ? TRUE : FALSE;
    if (cbMultiByte == 0)
        return static_cast<int>(out.size());
    if (out.size() > static_cast<std::size_t>(cbMultiByte))
        return Fail(ERROR_INSUFFICIENT_BUFFER, 0);
    std::copy(out.begin(), out.end(), lpMultiByteStr);
    return static_cast<int>(out.size());
}
