#include "fileops/delete_tree.h"

#include "fileops/create_directory.h"
#include "plugin/paths.h"
#include "plugin/win_owner.h"

namespace {

constexpr DWORD kAllAttributes = 0x1FF;

bool IsDriveLetter(WCHAR c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Windows' wildcard match ('*' any run, '?' one character), ignoring the case
// of ASCII letters; "", "*" and "*.*" match every name.
bool MatchesMask(WStringView mask, WStringView name)
{
    static constexpr WCHAR kStarDotStar[] = {'*', '.', '*'};
    if (mask.empty() || mask == WStringView(kStarDotStar, 1) || mask == WStringView(kStarDotStar, 3))
        return true;
    std::size_t m = 0, n = 0, starM = WStringView::npos, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == '?' || AsciiUpper(mask[m]) == AsciiUpper(name[n]))) {
            ++m;
            ++n;
        } else if (m < mask.size() && mask[m] == '*') {
            starM = m++;
            starN = n;
        } else if (starM != WStringView::npos) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

bool MatchesAnyMask(WStringView masks, WStringView name)
{
    std::size_t start = 0;
    for (;;) {
        std::size_t end = masks.find(';', start);
        WStringView mask = masks.substr(start, end == WStringView::npos ? WStringView::npos : end - start);
        if (MatchesMask(mask, name))
            return true;
        if (end == WStringView::npos)
            return false;
        start = end + 1;
    }
}

bool IsDotOrDotDot(const WCHAR* name)
{
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

}  // namespace

bool RemoveDirectoryLong(const WString& path)
{
    WString p = path;
    if (p.empty() || p.back() != '\\')
        p += '\\';
    return RemoveDirectoryW(ToLongPath(p).c_str()) != FALSE;
}

bool DeleteFileOrDirectoryLong(const WString& path)
{
    if (DirectoryExistsLong(path))
        return RemoveDirectoryLong(path);
    return DeleteFileW(ToLongPath(path).c_str()) != FALSE;
}

bool ListDirectoryEntries(const WString& pattern, DWORD attributeFilter, std::vector<WString>& list,
                          bool withDirectory)
{
    WString directory = DirectoryPart(pattern);
    WString masks = NamePart(pattern);
    if (!directory.empty() && directory.back() != '\\')
        directory += '\\';

    WIN32_FIND_DATAW data{};
    UniqueFind search(FindFirstFileW(PlainPathOrLong(directory + TEXT("*")).c_str(), &data));
    if (!search)
        return false;
    for (;;) {
        if (!IsDotOrDotDot(data.cFileName)) {
            DWORD attributes = data.dwFileAttributes;
            if ((attributes & attributeFilter) == (attributes & kAllAttributes) &&
                MatchesAnyMask(masks, data.cFileName))
                list.push_back(withDirectory ? directory + data.cFileName : WString(data.cFileName));
        }
        if (!FindNextFileW(search.Get(), &data))
            return GetLastError() == ERROR_NO_MORE_FILES;
    }
}

bool DeleteDirectoryTree(const WString& directory, bool stopOnFailure, const ConfirmEntryFn& confirmEntry)
{
    if (directory.empty())
        return false;
    WString base = RemoveTrailingBackslash(directory);
    const bool root = NamesVolumeRoot(base);

    // A link given as the tree itself is removed as a link, like one inside it.
    DWORD own = root ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(PlainPathOrLong(base).c_str());
    if (own != INVALID_FILE_ATTRIBUTES && (own & FILE_ATTRIBUTE_DIRECTORY) && (own & FILE_ATTRIBUTE_REPARSE_POINT))
        return RemoveDirectoryLong(base);

    // The whole list first: deleting while a search runs would disturb it.
    std::vector<WString> names;
    ListDirectoryEntries(base + TEXT("\\*.*"), kAllAttributes, names, false);

    bool result = true;
    for (const WString& name : names) {
        WString full = base + TEXT("\\") + name;
        DWORD attributes = GetFileAttributesW(PlainPathOrLong(full).c_str());
        bool ok;
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            // A junction or directory symbolic link: descending would delete
            // another directory's contents. Only the link goes.
            ok = !confirmEntry || confirmEntry(full, attributes);
            if (ok)
                ok = RemoveDirectoryLong(full);
        } else if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            ok = DeleteDirectoryTree(full, stopOnFailure, confirmEntry);
        } else {
            ok = !confirmEntry || confirmEntry(full, attributes);
            if (ok)
                ok = SetFileAttributesW(PlainPathOrLong(full).c_str(), FILE_ATTRIBUTE_NORMAL) != FALSE;
            if (ok)
                ok = DeleteFileOrDirectoryLong(full);
        }
        if (!ok) {
            result = false;
            if (stopOnFailure)
                break;
        }
    }
    if (!result)
        return false;
    // A bare drive ("E:") would reach that drive's current directory through
    // the plain path; a volume root keeps its attributes and cannot be
    // removed anyway (RemoveDirectoryW refuses it and says why).
    if (!root && SetFileAttributesW(PlainPathOrLong(base).c_str(), FILE_ATTRIBUTE_NORMAL) == FALSE)
        return false;
    // RemoveDirectoryLong adds the backslash that keeps a bare drive ("E:")
    // from naming that drive's current directory.
    return RemoveDirectoryLong(base);
}

bool NamesVolumeRoot(WStringView path)
{
    if (path.size() < 2 || !IsDriveLetter(path[0]) || path[1] != ':')
        return false;
    // GetFullPathNameW's rules: "." stays, ".." climbs, trailing dots and
    // blanks of a component are dropped, empty components vanish.
    int depth = 0;
    std::size_t start = 2;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of(TEXT("\\/"), start);
        if (end == WStringView::npos)
            end = path.size();
        WStringView part = path.substr(start, end - start);
        if (part == TEXT("..")) {
            if (depth > 0)
                --depth;
        } else if (part != TEXT(".")) {
            while (!part.empty() && (part.back() == '.' || part.back() == ' '))
                part.remove_suffix(1);
            if (!part.empty())
                ++depth;
        }
        start = end + 1;
    }
    return depth == 0;
}
