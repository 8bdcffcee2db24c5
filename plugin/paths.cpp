#include "plugin/paths.h"

#include <optional>

#include "plugin/win_owner.h"
#include "streams/stream_kinds.h"

namespace {

// A plugin path is finished by dropping its leading backslash and one
// trailing backslash.
WString Finish(WStringView pluginPath)
{
    return RemoveTrailingBackslash(PluginToLocalPath(pluginPath));
}

bool EndsWithUnnamedDataStream(WStringView p)
{
    static constexpr WCHAR kSuffix[] = {':', ':', '$', 'D', 'A', 'T', 'A'};
    constexpr std::size_t n = sizeof(kSuffix) / sizeof(kSuffix[0]);
    // Nine characters at least: "\X" in front of "::$DATA" is not a file.
    if (p.size() < 9)
        return false;
    return EqualsAsciiNoCase(p.substr(p.size() - n), WStringView(kSuffix, n));
}

}  // namespace

WString RemoveTrailingBackslash(WStringView path)
{
    if (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);
    return WString(path);
}

namespace {

std::size_t LastDelimiter(WStringView path)
{
    return path.find_last_of(TEXT("\\:"));
}

}  // namespace

WString DirectoryPart(WStringView path)
{
    std::size_t cut = LastDelimiter(path);
    return cut == WStringView::npos ? WString() : WString(path.substr(0, cut + 1));
}

WString NamePart(WStringView path)
{
    std::size_t cut = LastDelimiter(path);
    return WString(cut == WStringView::npos ? path : path.substr(cut + 1));
}

WString WithBackslashes(WStringView path)
{
    WString s(path);
    for (WCHAR& c : s)
        if (c == '/')
            c = '\\';
    return s;
}

WString EntryName(WStringView pluginPath)
{
    WStringView p = pluginPath;
    if (!p.empty() && p.back() == '\\')
        p.remove_suffix(1);
    std::size_t cut = p.rfind('\\');
    return WString(cut == WStringView::npos ? p : p.substr(cut + 1));
}

WString PluginToLocalPath(WStringView path)
{
    if (path.size() >= 2 && path[0] == '\\')
        return WString(path.substr(1));
    return WString(path);
}

ResolvedStreamPath ResolveStreamPath(WStringView p)
{
    std::size_t colon = p.find(':');
    // A colon at the third character is the drive's ("\C:"); the stream's, if
    // any, comes after it.
    if (colon == 2)
        colon = p.find(':', 3);
    if (colon == WStringView::npos)
        return {Finish(p), false};
    // A trailing backslash is dropped from every other entry, so it is
    // dropped before this test too: "\C:\dir\file\::$DATA\" is the file
    // itself, not a stream path that deletes the whole file.
    WStringView q = p;
    if (!q.empty() && q.back() == '\\')
        q.remove_suffix(1);
    if (EndsWithUnnamedDataStream(q))
        return {Finish(q.substr(0, q.size() - 7)), false};
    // Drop the backslash between the file's name and the stream entry's name.
    // A path typed with the stream joined to the file ("\C:\dir\file:s") has
    // no such backslash: dropping the character there would name another
    // file. Nor is the backslash after a single top-level name dropped: that
    // would make "\x\:s" into the drive path "x:s".
    // Nor the backslash of a drive's root: "\C:\:s:$DATA" is a stream of the
    // root directory, "C:\:s:$DATA" ("C::s" would be relative to C:'s current
    // directory).
    WString joined(p);
    const bool rootOfDrive = colon == 4 && p[2] == ':';
    if (colon >= 1 && p[colon - 1] == '\\' && colon != 3 && !rootOfDrive)
        joined.erase(colon - 1, 1);
    return {Finish(joined), true};
}

PluginEntry ResolvePluginPath(WStringView pluginPath)
{
    PluginEntry e;
    const ResolvedStreamPath r = ResolveStreamPath(pluginPath);
    if (!r.IsStream) {
        e.LocalPath = r.Path;
        e.StreamPath = r.Path;
        WStringView q = pluginPath;
        if (!q.empty() && q.back() == '\\')
            q.remove_suffix(1);
        if (EndsWithUnnamedDataStream(q))
            e.Kind = EntryKind::UnnamedData;
        else if (r.Path.empty())
            e.Kind = EntryKind::Root;
        else if (r.Path.size() == 2 && r.Path[1] == ':' && AsciiUpper(r.Path[0]) >= 'A' && AsciiUpper(r.Path[0]) <= 'Z')
            e.Kind = EntryKind::Drive;
        else
            e.Kind = EntryKind::Local;
        return e;
    }
    e.StreamPath = r.Path;
    e.LocalPath = FileOfStreamPath(r.Path);
    const WStringView stream = WStringView(r.Path).substr(e.LocalPath.size());  // ":s:$DATA", "::$EA_DATA"
    if (stream.substr(0, 2) == TEXT("::")) {
        e.Kind = EntryKind::SpecialStream;
        e.SpecialKind = KindOfUnnamedEntry(stream);
        return e;
    }
    e.Kind = EntryKind::NamedStream;
    // Up to ":$DATA"; a name listed without its type (a name too long for
    // the record) is the whole rest; any other type leaves no name.
    const WStringView rest = stream.empty() ? stream : stream.substr(1);  // "x:" has no stream colon after its drive
    const std::size_t type = rest.find(TEXT(":$DATA"));
    if (type != WStringView::npos)
        e.StreamName = WString(rest.substr(0, type));
    else if (rest.find(':') == WStringView::npos)
        e.StreamName = WString(rest);
    return e;
}

bool IsStreamPath(WStringView localPath)
{
    const std::size_t from = localPath.size() >= 2 && localPath[1] == ':' ? 2 : 0;
    return localPath.find(':', from) != WStringView::npos;
}

WString FileOfStreamPath(WStringView localPath)
{
    // Past a long-path prefix and the drive's colon.
    const bool prefixed = localPath.substr(0, 4) == TEXT("\\\\?\\") || localPath.substr(0, 4) == TEXT("\\\\.\\");
    std::size_t from = prefixed ? 4 : 0;
    if (localPath.size() >= from + 2 && localPath[from + 1] == ':')
        from += 2;
    return WString(localPath.substr(0, localPath.find(':', from)));
}

bool NamesUnnamedStream(WStringView streamPath)
{
    return streamPath.find(TEXT("::")) != WStringView::npos;
}

WString ToLongPath(WStringView path)
{
    // Already a long path or a device path: nothing to add.
    if (path.substr(0, 4) == TEXT("\\\\?\\") || path.substr(0, 4) == TEXT("\\\\.\\"))
        return WString(path);
    // A share: "\\server\share\x" is "\\?\UNC\server\share\x".
    if (path.substr(0, 2) == TEXT("\\\\"))
        return WString(TEXT("\\\\?\\UNC\\")) + WString(path.substr(2));
    WString s = TEXT("\\\\?\\");
    s += path;
    // "\\?\C:" is the volume itself (raw sectors, for administrators);
    // the root directory is "\\?\C:\".
    if (path.size() == 2 && path[1] == ':')
        s += '\\';
    return s;
}

namespace {

// A component the plain form would change or divert: "x." reaches "x", "CON"
// the console. A path with "." or ".." components keeps its plain form, whose
// parsing resolves them.
bool PlainFormMissesAName(WStringView path)
{
    if (path.substr(0, 4) == TEXT("\\\\?\\") || path.substr(0, 4) == TEXT("\\\\.\\"))
        return false;
    bool misses = false;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of(TEXT("\\/"), start);
        if (end == WStringView::npos)
            end = path.size();
        const WStringView part = path.substr(start, end - start);
        if (part == TEXT(".") || part == TEXT(".."))
            return false;
        const bool drive = start == 0 && part.size() == 2 && part[1] == ':';
        if (!part.empty() && !drive &&
            (part.back() == '.' || part.back() == ' ' || IsReservedDeviceName(part)))
            misses = true;
        start = end + 1;
    }
    return misses;
}

}  // namespace

WString PlainPathOrLong(WStringView path)
{
    // MAX_PATH counts the terminating zero.
    if (path.size() < MAX_PATH && !PlainFormMissesAName(path))
        return WString(path);
    return ToLongPath(path);
}

bool FileExistsLong(const WString& path)
{
    // A drive root ("C:", "C:\") is never a file: the file system is not asked.
    if (path.size() <= 3)
        return false;
    // No access rights, only the right to query; without backup semantics a
    // directory cannot be opened this way, which is what tells it apart.
    UniqueFile file(CreateFileW(ToLongPath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    return file.Valid();
}

bool DirectoryExistsLong(const WString& path)
{
    WString p = path;
    if (p.empty() || p.back() != '\\')
        p += '\\';
    DWORD attributes = GetFileAttributesW(ToLongPath(p).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsLinkEntry(DWORD attributes, DWORD reparseTag)
{
    // The name-surrogate bit of a reparse tag marks the kinds that stand for
    // another named object; an AppExecLink has no such bit, and no filter
    // opens it as data.
    constexpr DWORD kNameSurrogate = 0x20000000;
    constexpr DWORD kAppExecLink = 0x8000001B;
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           ((reparseTag & kNameSurrogate) != 0 || reparseTag == kAppExecLink);
}

LocalEntry InspectLocal(const WString& localPath)
{
    LocalEntry entry;
    const WString path = RemoveTrailingBackslash(localPath);
    // A drive's root directory: a bare "C:" would name the drive's current
    // directory.
    const bool root = path.size() == 2 && path[1] == ':';
    entry.Attributes = GetFileAttributesW(PlainPathOrLong(root ? path + TEXT("\\") : path).c_str());
    if (entry.Attributes == INVALID_FILE_ATTRIBUTES)
        return entry;  // with the system's error
    if (!root && (entry.Attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        // Only a search reports the tag without opening (and so following) it.
        WIN32_FIND_DATAW data{};
        UniqueFind search(FindFirstFileW(PlainPathOrLong(path).c_str(), &data));
        if (search)
            entry.ReparseTag = data.dwReserved0;
    }
    const bool link = IsLinkEntry(entry.Attributes, entry.ReparseTag);
    if (entry.Attributes & FILE_ATTRIBUTE_DIRECTORY)
        entry.Kind = link ? LocalKind::DirectoryLink : LocalKind::Directory;
    else
        entry.Kind = link ? LocalKind::FileLink : LocalKind::File;
    return entry;
}

bool IsReservedDeviceName(WStringView name)
{
    WStringView base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.remove_suffix(1);
    static constexpr const char* kDevices[] = {"CON", "PRN", "AUX", "NUL"};
    auto equals = [&](const char* device) {
        std::size_t i = 0;
        for (; device[i] != 0; ++i)
            if (i >= base.size() || AsciiUpper(base[i]) != static_cast<WCHAR>(device[i]))
                return false;
        return i == base.size();
    };
    for (const char* device : kDevices)
        if (equals(device))
            return true;
    if (base.size() == 4 && base[3] >= '1' && base[3] <= '9') {
        const WString prefix = {AsciiUpper(base[0]), AsciiUpper(base[1]), AsciiUpper(base[2])};
        return prefix == TEXT("COM") || prefix == TEXT("LPT");
    }
    return false;
}

WString SafeFileName(WStringView name)
{
    WString safe(name);
    static constexpr WStringView kRefused = TEXT("\"*/:<>?\\|");
    for (WCHAR& c : safe)
        if (c < 32 || kRefused.find(c) != WStringView::npos)
            c = '_';
    for (std::size_t i = safe.size(); i > 0 && (safe[i - 1] == '.' || safe[i - 1] == ' '); --i)
        safe[i - 1] = '_';
    if (IsReservedDeviceName(safe))
        safe.insert(safe.begin(), '_');
    return safe;
}

std::optional<BY_HANDLE_FILE_INFORMATION> FileInformation(const WString& path)
{
    UniqueFile file(CreateFileW(ToLongPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !GetFileInformationByHandle(file.Get(), &info))
        return std::nullopt;
    return info;
}

bool SameFile(const WString& a, const WString& b)
{
    if (IsStreamPath(a) || IsStreamPath(b))
        return false;
    const std::optional<BY_HANDLE_FILE_INFORMATION> x = FileInformation(a);
    const std::optional<BY_HANDLE_FILE_INFORMATION> y = x ? FileInformation(b) : std::nullopt;
    return x && y && x->dwVolumeSerialNumber == y->dwVolumeSerialNumber &&
           x->nFileIndexHigh == y->nFileIndexHigh && x->nFileIndexLow == y->nFileIndexLow;
}

std::optional<WString> DataStreamOfEntry(WStringView entryName)
{
    if (entryName.size() < 2 || entryName[0] != ':')
        return std::nullopt;
    if (entryName[1] == ':')
        return EqualsAsciiNoCase(entryName, TEXT("::$DATA")) ? std::optional<WString>(WString())
                                                                 : std::nullopt;
    WStringView name = entryName.substr(1);
    constexpr WStringView kData = TEXT(":$DATA");
    if (name.size() > kData.size() && EqualsAsciiNoCase(name.substr(name.size() - kData.size()), kData))
        name.remove_suffix(kData.size());
    if (name.empty() || name.find(':') != WStringView::npos)
        return std::nullopt;
    return WString(name);
}

WString OwnerFolder(WStringView pluginPath)
{
    const WString path = RemoveTrailingBackslash(pluginPath);
    const std::size_t slash = path.rfind('\\');
    return slash == WString::npos ? WString() : path.substr(0, slash);
}

bool IsNameWindowsAccepts(WStringView name)
{
    return !name.empty() && SafeFileName(name) == name;
}
