// Directory searches. A search takes a snapshot of the matching entries when it
// starts. In a directory other than a root, Windows returns "." and ".." first;
// a root has neither. The other entries come in NTFS's order, by upcased name.
#include <algorithm>

#include "calls.h"
#include "handles.h"
#include "pathname.h"
#include "sim.h"

using namespace winsim::detail;

namespace {

struct FindObject : Object {
    std::vector<WIN32_FIND_DATAW> entries;
    std::size_t next = 0;
    std::string Describe() const override { return "directory search"; }
    const char* Closer() const override { return "FindClose"; }
};

// Windows' wildcard match: '*' any run, '?' one character, case-insensitive;
// "*.*" matches every name, with or without a dot.
bool Matches(std::u16string_view pattern, std::u16string_view name)
{
    if (pattern == u"*.*")
        pattern = u"*";
    std::size_t p = 0, n = 0, starP = std::u16string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || Upcase(pattern[p]) == Upcase(name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (starP != std::u16string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

WIN32_FIND_DATAW EntryOf(const Node& node, std::u16string_view name)
{
    WIN32_FIND_DATAW d{};
    d.dwFileAttributes = node.EffectiveAttributes();
    d.ftCreationTime = node.created;
    d.ftLastAccessTime = node.accessed;
    d.ftLastWriteTime = node.written;
    std::uint64_t size = node.data ? node.data->data.Size() : 0;
    d.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    d.nFileSizeLow = static_cast<DWORD>(size);
    if (node.attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        d.dwReserved0 = node.reparseTag;
    std::size_t n = std::min<std::size_t>(name.size(), MAX_PATH - 1);
    std::copy_n(name.begin(), n, d.cFileName);
    std::size_t s = std::min<std::size_t>(node.shortName.size(), 13);
    std::copy_n(node.shortName.begin(), s, d.cAlternateFileName);
    return d;
}

}  // namespace

extern "C" HANDLE WINAPI FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData)
{
    WINSIM_ENTER("FindFirstFileW", ToU16(lpFileName), INVALID_HANDLE_VALUE);
    if (!lpFileName || !lpFindFileData)
        return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    std::u16string full(lpFileName);
    bool verbatim = full.rfind(u"\\\\?\\", 0) == 0;
    std::size_t cut = verbatim ? full.rfind(u'\\') : full.find_last_of(u"\\/");
    std::u16string directory, pattern;
    if (cut == std::u16string::npos || (verbatim && cut < 4)) {
        // "name" or "C:name": relative to a current directory.
        std::size_t colon = full.size() >= 2 && full[1] == u':' ? 2 : 0;
        directory = full.substr(0, colon);
        if (directory.empty())
            directory = TheWorld().process.currentDirectory;
        pattern = full.substr(colon);
    } else {
        directory = full.substr(0, cut + 1);
        pattern = full.substr(cut + 1);
    }
    if (pattern.empty())
        return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);  // "C:\" or "dir\" searches for nothing
    for (WCHAR c : pattern)
        if (c == u':' || c == u'<' || c == u'>' || c == u'|' || c == u'"' || c < 0x20)
            return Fail(ERROR_INVALID_NAME, INVALID_HANDLE_VALUE);

    ResolvedPath r = Resolve(directory.c_str());
    if (r.error != 0)
        return Fail(r.error, INVALID_HANDLE_VALUE);
    if (!r.node)
        return Fail(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);
    std::shared_ptr<Node> dir = FollowLink(r.node);
    if (!dir)
        return Fail(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);
    if (!dir->directory)
        return Fail(ERROR_DIRECTORY, INVALID_HANDLE_VALUE);
    if (dir->denyAccess)
        return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);

    auto search = std::make_shared<FindObject>();
    if (r.node->parent) {
        if (Matches(pattern, u"."))
            search->entries.push_back(EntryOf(*r.node, u"."));
        if (Matches(pattern, u".."))
            search->entries.push_back(EntryOf(*r.node->parent, u".."));
    }
    for (const auto& [key, child] : dir->children)
        if (Matches(pattern, child->name) || (!child->shortName.empty() && Matches(pattern, child->shortName)))
            search->entries.push_back(EntryOf(*child, child->name));
    if (search->entries.empty())
        return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
    *lpFindFileData = search->entries[0];
    search->next = 1;
    return Insert(search);
}

extern "C" BOOL WINAPI FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData)
{
    WINSIM_ENTER("FindNextFileW", {}, FALSE);
    auto search = LookupAs<FindObject>(hFindFile);
    if (!search)
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (!lpFindFileData)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (search->next >= search->entries.size())
        return Fail(ERROR_NO_MORE_FILES, FALSE);
    *lpFindFileData = search->entries[search->next++];
    return TRUE;
}

extern "C" BOOL WINAPI FindClose(HANDLE hFindFile)
{
    WINSIM_ENTER("FindClose", {}, FALSE);
    if (!LookupAs<FindObject>(hFindFile)) {
        NoteMisuse("FindClose on a handle that is no open search");
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    }
    Remove(hFindFile);
    return TRUE;
}
