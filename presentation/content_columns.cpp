#include "presentation/content_columns.h"

#include <algorithm>

#include "config/messages.h"
#include "plugin/host_interface.h"
#include "plugin/paths.h"
#include "plugin/plugin_state.h"
#include "plugin/win_owner.h"
#include "streams/stream_list.h"
#include "streams/stream_finder.h"

namespace {

constexpr ContentFieldInfo kFields[kContentFieldCount] = {
    {"Has Stream", "", ft_boolean},
    {"Streams Count", "", ft_numeric_32},
    {"Stream", "1|2|3|4|5|6|7|8|9|10", ft_stringw},
    {"All Streams One Line", "", ft_stringw},
    {"Type", "", ft_stringw},
    {"Streams Size", "", ft_numeric_64, contflags_substsize},
    {"Zone", "Local machine|Local intranet|Trusted sites|Internet|Restricted sites", ft_multiplechoice},
    {"Zone Host URL", "", ft_stringw},
    {"Zone Referrer URL", "", ft_stringw},
};


bool IsAbsence(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME;
}

// A directory probe's failures that mean "nothing there" rather than "there,
// but not readable".
bool IsDirectoryAbsence(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_NOT_READY ||
           error == ERROR_BAD_NETPATH || error == ERROR_BAD_NET_NAME || error == ERROR_INVALID_NAME ||
           error == ERROR_BAD_PATHNAME;
}

// A link counts as what it leads to: a file link when its target opens for
// reading (or is busy), a directory link when its target opens as a directory.
bool TargetOpens(const WString& path, DWORD flags)
{
    UniqueFile target(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, flags,
                                  nullptr));
    return target || GetLastError() == ERROR_SHARING_VIOLATION;
}

bool FoundAsFile(const WString& path)
{
    WIN32_FIND_DATAW data{};
    UniqueFind find(FindFirstFileW(path.c_str(), &data));
    return find && !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

const ContentFieldInfo* ContentFieldAt(int fieldIndex)
{
    if (fieldIndex < 0 || fieldIndex >= kContentFieldCount)
        return nullptr;
    return &kFields[fieldIndex];
}

WString CleanStreamName(WStringView name)
{
    static constexpr WStringView kData = TEXT(":$DATA");
    WString out(name);
    for (std::size_t i = 0; i + kData.size() <= out.size(); ++i) {
        if (EqualsAsciiNoCase(WStringView(out).substr(i, kData.size()), kData)) {
            // Only the first occurrence counts, and only when it ends the name.
            if (i + kData.size() == out.size())
                out.resize(i);
            break;
        }
    }
    if (!out.empty() && out[0] == ':')
        out.erase(0, 1);
    return out;
}

bool FieldOpensTheFile(int fieldIndex)
{
    // "Type" looks at attributes only (and opens a link's target).
    return fieldIndex >= 0 && fieldIndex < kContentFieldCount && fieldIndex != cfType;
}

StreamColumns EnumerateStreamColumns(const WString& local, long long wanted, const std::atomic<bool>* stop)
{
    // What the listing shows, counted as it shows it (a sparse stream's
    // blocks are one entry).
    StreamColumns columns;
    std::vector<ListedStream> streams;
    if (!ReadListedStreams(ToLongPath(local), CurrentSettings()->StreamFilter, false, streams, stop)) {
        columns.Stopped = GetLastError() == ERROR_OPERATION_ABORTED && stop && stop->load();
        return columns;
    }
    for (const ListedStream& s : streams) {
        WString name = s.Name.empty() ? WString() : CleanStreamName(s.Name);
        ++columns.Count;
        if (columns.Count == wanted)
            columns.Chosen = name;
        if (!name.empty()) {
            if (!columns.Joined.empty())
                columns.Joined += TEXT("; ");
            columns.Joined += name;
        }
    }
    return columns;
}

std::optional<std::int64_t> NamedStreamsSize(const WString& local, const std::atomic<bool>* stop)
{
    TStreamIds named;
    named.Add(TStreamId::siAlternate);
    std::vector<ListedStream> streams;
    if (!ReadListedStreams(ToLongPath(local), named, false, streams, stop))
        return GetLastError() == ERROR_FILE_NOT_FOUND ? std::optional<std::int64_t>(0) : std::nullopt;
    std::int64_t total = 0;
    for (const ListedStream& s : streams)
        total += s.Size;
    return total;
}

WString ExtensionOf(WStringView path)
{
    std::size_t slash = path.rfind('\\');
    WStringView last = slash == WStringView::npos ? path : path.substr(slash + 1);
    std::size_t dot = last.rfind('.');
    return dot == WStringView::npos ? WString() : WString(last.substr(dot + 1));
}

WString TypeText(const PluginEntry& entry)
{
    if (entry.IsStreamEntry())
        return Message(Msg::StreamType);
    WString s = entry.LocalPath;
    if (s.empty())
        return TEXT("?");

    // One look at the attributes serves every probe below, all on the plain
    // path while it fits MAX_PATH.
    s = PlainPathOrLong(s);
    DWORD attributes = GetFileAttributesW(s.c_str());
    DWORD error = attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : ERROR_SUCCESS;
    bool present = attributes != INVALID_FILE_ATTRIBUTES;
    bool directory = present && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    bool link = present && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);

    bool isFile = present ? !directory && (!link || TargetOpens(s, 0))
                          : !IsAbsence(error) && FoundAsFile(s);
    if (isFile)
        return ExtensionOf(s);
    bool isDirectory = present ? directory && (!link || TargetOpens(s, FILE_FLAG_BACKUP_SEMANTICS))
                               : !IsDirectoryAbsence(error);
    if (isDirectory || directory)
        return Message(Msg::DirType);
    if (present)
        return ExtensionOf(s);  // a file link whose target is gone
    return TEXT("?");
}
