#include "config/language_path.h"

#include "plugin/paths.h"

#include <shlobj.h>

#include <vector>

#include "config/settings.h"
#include "plugin/dynamic_proc.h"

namespace {

bool IsAsciiLetter(WCHAR c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsDigit(WCHAR c)
{
    return c >= '0' && c <= '9';
}

bool IsMachineNameChar(WCHAR c)
{
    return IsAsciiLetter(c) || IsDigit(c) || c == '-' || c == '.' || c == '_';
}

bool IsForbiddenInShare(WCHAR c)
{
    static constexpr WStringView kForbidden = TEXT("\"'*+,/:;<=>?[]|");
    return kForbidden.find(c) != WStringView::npos;
}

// The length of a "\\machine\share" prefix, 0 when the path has none.
std::size_t UncPrefixLength(WStringView p)
{
    if (p.size() < 2 || p[0] != '\\' || p[1] != '\\')
        return 0;
    std::size_t i = 2;
    bool nonDigit = false;
    while (i < p.size() && IsMachineNameChar(p[i])) {
        nonDigit = nonDigit || !IsDigit(p[i]);
        ++i;
    }
    if (i == 2 || !nonDigit || i >= p.size() || p[i] != '\\')
        return 0;
    std::size_t shareStart = ++i;
    while (i < p.size() && p[i] != '\\') {
        if (IsForbiddenInShare(p[i]))
            return 0;
        ++i;
    }
    return i > shareStart ? i : 0;
}

WString ExpandEnvironment(WStringView text)
{
    WString source(text);
    DWORD needed = ExpandEnvironmentStringsW(source.c_str(), nullptr, 0);
    if (needed == 0)
        return source;
    WString out(needed, WCHAR{});
    DWORD written = ExpandEnvironmentStringsW(source.c_str(), out.data(), needed);
    if (written == 0 || written > needed)
        return source;  // the expansion failed or the variables changed meanwhile
    out.resize(written - 1);
    return out;
}

using GetLongPathNameWFn = DWORD WINAPI(LPCWSTR, LPWSTR, DWORD);

// The long form through the shell's parser: for paths with "::", and where
// GetLongPathNameW does not exist. Empty when the shell does not know the path.
WString LongFormThroughShell(const WString& path)
{
    IShellFolder* desktop = nullptr;
    if (FAILED(SHGetDesktopFolder(&desktop)) || !desktop)
        return {};
    WString name = path;
    ULONG eaten = 0;
    LPITEMIDLIST pidl = nullptr;
    HRESULT hr = desktop->ParseDisplayName(nullptr, nullptr, name.data(), &eaten, &pidl, nullptr);
    desktop->Release();
    if (FAILED(hr) || !pidl)
        return {};
    WCHAR buffer[MAX_PATH + 1] = {};
    BOOL ok = SHGetPathFromIDListW(pidl, buffer);
    CoTaskMemFree(pidl);
    return ok ? WString(buffer) : WString();
}

WString LongForm(const WString& path)
{
    static DynamicProc<GetLongPathNameWFn> getLongPathName(TEXT("kernel32.dll"), "GetLongPathNameW");
    GetLongPathNameWFn* fn = getLongPathName.TryGet();
    if (path.find(TEXT("::")) != WString::npos || !fn)
        return LongFormThroughShell(path);
    WCHAR buffer[MAX_PATH] = {};
    DWORD n = fn(path.c_str(), buffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return {};
    return WString(buffer, n);
}

}  // namespace

bool IsUncPath(WStringView path)
{
    return UncPrefixLength(path) > 0;
}

bool IsDrivePath(WStringView path)
{
    if (path.size() >= 4 && path.substr(0, 4) == TEXT("\\\\.\\"))
        path.remove_prefix(4);
    return path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == ':' && path[2] == '\\';
}

WString DrivePart(WStringView path)
{
    if (path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':')
        return WString(path.substr(0, 2));
    if (std::size_t n = UncPrefixLength(path))
        return WString(path.substr(0, n));
    return {};
}

WString CanonicalisePath(WStringView path)
{
    std::size_t colon = path.find(':');
    std::size_t slash = path.find('\\');
    // 1-based positions, 0 when absent, as the rule is stated.
    std::size_t i = colon == WStringView::npos ? 0 : colon + 1;
    std::size_t k = slash == WStringView::npos ? 0 : slash + 1;
    bool rooted = k != 0 && k == i + 1;
    std::size_t prefixLength;
    if (rooted)
        prefixLength = (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') ? 2 : k;
    else
        prefixLength = i;
    WStringView prefix = path.substr(0, prefixLength);
    WStringView rest = path.substr(prefixLength);

    std::vector<WString> kept;
    std::size_t start = 0;
    for (std::size_t j = 0; j <= rest.size(); ++j) {
        if (j != rest.size() && rest[j] != '\\')
            continue;
        WString piece(rest.substr(start, j - start));
        start = j + 1;
        if (piece == TEXT("."))
            continue;
        if (piece == TEXT("..")) {
            if (kept.empty()) {
                if (!rooted)
                    kept.push_back(piece);  // a relative path may climb above its start
                continue;                    // a rooted one cannot climb above its root
            }
            if (!rooted && kept.back() == TEXT(".."))
                kept.push_back(piece);
            else
                kept.pop_back();
            continue;
        }
        kept.push_back(piece);
    }
    // Empty pieces that come to the front once the "." or ".." before them
    // are gone would join into a root or a network prefix: ".\\\srv\x" is
    // not "\\srv\x", nor is "\..\\srv\x". Only as many as the path began
    // with stay; a lone trailing one is kept.
    std::size_t leadingEmpty = 0;
    while (leadingEmpty + 1 < kept.size() && kept[leadingEmpty].empty())
        ++leadingEmpty;
    std::size_t ownLeadingEmpty = 0;
    while (ownLeadingEmpty < rest.size() && rest[ownLeadingEmpty] == '\\')
        ++ownLeadingEmpty;
    if (leadingEmpty > ownLeadingEmpty)
        kept.erase(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(leadingEmpty - ownLeadingEmpty));
    WString out(prefix);
    for (std::size_t j = 0; j < kept.size(); ++j) {
        if (j > 0)
            out += '\\';
        out += kept[j];
    }
    if (prefix.empty() && out.empty())
        return TEXT(".");
    return out;
}

WString MakeAbsoluteTo(WStringView folder, WStringView path)
{
    if (IsUncPath(path) || IsDrivePath(path) || folder.empty())
        return CanonicalisePath(path);
    WString f = CanonicalisePath(folder);
    WString t = CanonicalisePath(path);
    WString folderDrive = DrivePart(f);
    WString textDrive = DrivePart(t);
    if (!textDrive.empty()) {
        if (!EqualsAsciiNoCase(textDrive, folderDrive))
            return t;
        // "C:lang\x.lng" on the plugin's own drive is relative to the plugin's
        // folder, not a name to put behind it.
        t.erase(0, textDrive.size());
    } else if (t.size() >= 1 && t[0] == '\\' && (t.size() == 1 || t[1] != '\\')) {
        return CanonicalisePath(folderDrive + t);
    }
    return CanonicalisePath(f + t);
}

WString ResolveLanguagePath(WStringView text)
{
    if (text.empty())
        return {};
    WString absolute = MakeAbsoluteTo(PluginFolder(), ExpandEnvironment(WithBackslashes(text)));
    WString longForm = LongForm(absolute);
    return longForm.empty() ? absolute : longForm;
}
