#include "config/text_file.h"

#include <algorithm>
#include <climits>

#include "plugin/paths.h"
#include "plugin/win_owner.h"

namespace {

// Settings and language files are a few hundred bytes; anything far larger is
// not one of them and is refused rather than read into memory.
constexpr LONGLONG kMaxTextFileSize = 64ll * 1024 * 1024;

WString DecodeWithCodePage(UINT codePage, DWORD flags, const char* data, std::size_t size)
{
    if (size == 0)
        return {};
    int n = MultiByteToWideChar(codePage, flags, data, static_cast<int>(size), nullptr, 0);
    if (n <= 0)
        throw TextFileError("text cannot be decoded");
    WString text(static_cast<std::size_t>(n), WCHAR{});
    if (MultiByteToWideChar(codePage, flags, data, static_cast<int>(size), text.data(), n) != n)
        throw TextFileError("text cannot be decoded");
    return text;
}

WString DecodeUtf16(const std::string& bytes, std::size_t start, bool bigEndian)
{
    std::size_t count = bytes.size() - start;
    if (count % 2 != 0)
        throw TextFileError("UTF-16 text of odd length");
    WString text(count / 2, WCHAR{});
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto b0 = static_cast<unsigned char>(bytes[start + 2 * i]);
        auto b1 = static_cast<unsigned char>(bytes[start + 2 * i + 1]);
        text[i] = static_cast<WCHAR>(bigEndian ? (b0 << 8) | b1 : (b1 << 8) | b0);
    }
    return text;
}

bool StartsWith(const std::string& bytes, const char* mark, std::size_t n)
{
    return bytes.size() >= n && bytes.compare(0, n, mark, n) == 0;
}

}  // namespace

std::string ReadWholeFile(const WString& path, bool missingIsEmpty)
{
    UniqueFile file(CreateFileW(PlainPathOrLong(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        DWORD error = GetLastError();
        if (missingIsEmpty && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND))
            return {};
        throw TextFileError("file cannot be opened");
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 || size.QuadPart > kMaxTextFileSize)
        throw TextFileError("file size cannot be read or is too large");
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &got, nullptr))
            throw TextFileError("file cannot be read");
        if (got == 0)
            break;  // the file shrank while being read: take what is there
        done += got;
    }
    bytes.resize(done);
    return bytes;
}

DecodedText DecodeText(const std::string& bytes)
{
    if (bytes.size() > static_cast<std::size_t>(INT_MAX))
        throw TextFileError("text too large");
    if (StartsWith(bytes, "\xEF\xBB\xBF", 3))
        return {DecodeWithCodePage(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data() + 3, bytes.size() - 3),
                TextEncoding::Utf8};
    if (StartsWith(bytes, "\xFF\xFE", 2))
        return {DecodeUtf16(bytes, 2, false), TextEncoding::Utf16LE};
    if (StartsWith(bytes, "\xFE\xFF", 2))
        return {DecodeUtf16(bytes, 2, true), TextEncoding::Utf16BE};
    const bool beyondAscii =
        std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    if (beyondAscii) {
        try {
            return {DecodeWithCodePage(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), bytes.size()),
                    TextEncoding::Utf8WithoutMark};
        } catch (const TextFileError&) {
            // Not UTF-8: the ANSI code page it was written in.
        }
    }
    return {DecodeWithCodePage(CP_ACP, 0, bytes.data(), bytes.size()), TextEncoding::Ansi};
}

std::vector<WString> SplitLines(WStringView text)
{
    std::vector<WString> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            lines.emplace_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < text.size())
        lines.emplace_back(text.substr(start));
    return lines;
}

std::vector<WString> ReadTextLines(const WString& path)
{
    return SplitLines(DecodeText(ReadWholeFile(path, false)).Text);
}

namespace {

std::string EncodeUtf16(WStringView text, bool bigEndian)
{
    std::string bytes = bigEndian ? std::string("\xFE\xFF", 2) : std::string("\xFF\xFE", 2);
    bytes.reserve(2 + 2 * text.size());
    for (WCHAR c : text) {
        auto hi = static_cast<char>((c >> 8) & 0xFF);
        auto lo = static_cast<char>(c & 0xFF);
        bytes += bigEndian ? hi : lo;
        bytes += bigEndian ? lo : hi;
    }
    return bytes;
}

// WideCharToMultiByte into a string; usedDefault (when not null) tells whether
// a character had no byte of its own in the code page. Best-fit look-alikes
// ("Ł" as "L") are refused: they would change the text without a word.
std::string EncodeWithCodePage(UINT codePage, WStringView text, BOOL* usedDefault)
{
    if (text.empty())
        return {};
    if (text.size() > static_cast<std::size_t>(INT_MAX / 4))
        throw TextFileError("text too large");
    int length = static_cast<int>(text.size());
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    int n = WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        throw TextFileError("text cannot be encoded");
    std::string bytes(static_cast<std::size_t>(n), '\0');
    if (WideCharToMultiByte(codePage, flags, text.data(), length, bytes.data(), n, nullptr, usedDefault) != n)
        throw TextFileError("text cannot be encoded");
    return bytes;
}

// UTF-8 holds every character but a lone surrogate, which becomes U+FFFD.
bool HasLoneSurrogate(WStringView text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const WCHAR c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            ++i;
        else if (c >= 0xD800 && c < 0xE000)
            return true;
    }
    return false;
}

}  // namespace

std::string EncodeText(WStringView text, TextEncoding& encoding)
{
    // UTF-16 holds everything; an encoding that would change the text gives
    // way to the next that does not: ANSI to UTF-8, UTF-8 to UTF-16 LE.
    if (encoding == TextEncoding::Ansi) {
        // With UTF-8 as the ANSI code page the text is UTF-8 (and the call
        // refuses the used-default flag).
        if (GetACP() == CP_UTF8) {
            if (!HasLoneSurrogate(text))
                return EncodeWithCodePage(CP_ACP, text, nullptr);
        } else {
            BOOL usedDefault = FALSE;
            std::string bytes = EncodeWithCodePage(CP_ACP, text, &usedDefault);
            if (!usedDefault)
                return bytes;
        }
        encoding = TextEncoding::Utf8;
    }
    if ((encoding == TextEncoding::Utf8 || encoding == TextEncoding::Utf8WithoutMark) && HasLoneSurrogate(text))
        encoding = TextEncoding::Utf16LE;
    switch (encoding) {
    case TextEncoding::Utf16LE:
        return EncodeUtf16(text, false);
    case TextEncoding::Utf16BE:
        return EncodeUtf16(text, true);
    case TextEncoding::Utf8WithoutMark:
        return EncodeWithCodePage(CP_UTF8, text, nullptr);
    case TextEncoding::Utf8:
    case TextEncoding::Ansi:
        break;
    }
    return "\xEF\xBB\xBF" + EncodeWithCodePage(CP_UTF8, text, nullptr);
}

void WriteWholeFile(const WString& path, const std::string& bytes)
{
    // The bytes go to a file beside it first, which one rename then puts in
    // its place: a write that fails (a full disk) leaves the file as it was,
    // where truncating it first would leave it empty.
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        throw TextFileError("file cannot be replaced", ERROR_ACCESS_DENIED);
    const WString fresh = path + TEXT(".new");
    UniqueFile file(CreateFileW(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (!file)
        throw TextFileError("file cannot be created", GetLastError());
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        DWORD written = 0;
        ok = WriteFile(file.Get(), bytes.data() + done, chunk, &written, nullptr) && written != 0;
        done += written;
    }
    ok = file.Close() && ok;
    bool replaced = false;
    // The file keeps its hidden and system attributes.
    constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                            FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    if (ok && attributes != INVALID_FILE_ATTRIBUTES && (attributes & kKept))
        ok = SetFileAttributesW(fresh.c_str(), attributes & kKept) != FALSE;
    // ReplaceFileW keeps what the file is beside its bytes (its DACL, named
    // streams, object identifier, creation time); a rename over it would
    // not. Where it is refused (a first write, a file system without it),
    // the rename.
    if (ok && attributes != INVALID_FILE_ATTRIBUTES)
        replaced = ReplaceFileW(path.c_str(), fresh.c_str(), nullptr, 0, nullptr, nullptr) != FALSE;
    if (ok && !replaced)
        ok = MoveFileExW(fresh.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    if (!ok) {
        const DWORD error = GetLastError();
        DeleteFileW(fresh.c_str());
        throw TextFileError("file cannot be written", error);
    }
}
