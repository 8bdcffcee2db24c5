#include "listing/listing.h"

#include <memory>
#include <mutex>
#include <set>

#include "listing/drives.h"
#include "plugin/host_interface.h"
#include "plugin/paths.h"
#include "plugin/plugin_state.h"
#include "plugin/redirection.h"
#include "streams/stream_kinds.h"

namespace {

// The listings the host holds. A value the host hands back is used only when
// it is one of these, so a handle closed twice or never opened is refused
// instead of freed twice. The host may list on its background threads.
class OpenListings {
public:
    HANDLE Add(std::unique_ptr<ListingHandle> listing)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // Registered first: should the set fail to grow, the listing is
        // still owned here and released on the way out.
        open_.insert(listing.get());
        return reinterpret_cast<HANDLE>(listing.release());
    }

    ListingHandle* Find(HANDLE h)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = open_.find(reinterpret_cast<ListingHandle*>(h));
        return it == open_.end() ? nullptr : *it;
    }

    std::unique_ptr<ListingHandle> Take(HANDLE h)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = open_.find(reinterpret_cast<ListingHandle*>(h));
        if (it == open_.end())
            return nullptr;
        std::unique_ptr<ListingHandle> listing(*it);
        open_.erase(it);
        return listing;
    }

private:
    std::mutex mutex_;
    std::set<ListingHandle*> open_;
};

OpenListings& Listings()
{
    // Never destroyed: handles the host did not close are not released at unload.
    static auto* listings = new OpenListings;
    return *listings;
}

HANDLE NoEntries(DWORD error)
{
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

WString WithoutTrailingBackslash(WString s)
{
    if (!s.empty() && s.back() == '\\')
        s.pop_back();
    return s;
}

// The directory search runs on the plain path while it fits MAX_PATH.
WString SearchPattern(const WString& localPath)
{
    return PlainPathOrLong(localPath + TEXT("\\*.*"));
}

void DeliverStream(WIN32_FIND_DATAW& FindData, const ListingHandle& h)
{
    StreamToFindData(FindData, h.Cursor);
    WriteTimes(FindData, h.Times);
}

HANDLE ListDrives(WIN32_FIND_DATAW& FindData)
{
    auto h = std::make_unique<ListingHandle>();
    h->Kind = ListingKind::DriveList;
    h->Letters = NtfsDriveLetters();
    if (h->Letters.empty())
        return NoEntries(ERROR_NO_MORE_FILES);
    DriveToFindData(FindData, h->Letters[0]);
    return Listings().Add(std::move(h));
}

// A file's streams are read whole before the first is delivered: a walk that
// fails part-way fails the listing, since the host takes a listing that ends
// for the whole folder (and a move then removes the file). A file that cannot
// be opened fails with the finder's reason; only a file none of whose
// streams passes the filter is an empty folder.
HANDLE ListFile(const WString& local, TStreamIds filter, bool linkItself, WIN32_FIND_DATAW& FindData)
{
    auto h = std::make_unique<ListingHandle>();
    h->Kind = ListingKind::StreamsOfFile;
    if (!GetEntryTimes(local, h->Times))
        h->Times = EntryTimes{};
    std::vector<ListedStream> streams;
    if (!ReadListedStreams(ToLongPath(local), filter, linkItself, streams)) {
        const DWORD error = GetLastError();
        return NoEntries(error == ERROR_FILE_NOT_FOUND ? ERROR_NO_MORE_FILES : error);
    }
    for (const ListedStream& stream : streams) {
        WIN32_FIND_DATAW entry{};
        StreamToFindData(entry, stream);
        WriteTimes(entry, h->Times);
        h->Streams.push_back(entry);
    }
    FindData = h->Streams.front();
    return Listings().Add(std::move(h));
}

HANDLE ListDirectory(const WString& local, TStreamIds filter, WIN32_FIND_DATAW& FindData)
{
    auto h = std::make_unique<ListingHandle>();
    if (StreamFindFirst(ToLongPath(local), filter, h->Cursor)) {
        // The directory's own streams come first, then its entries. Both
        // searches have their first result at hand now; the directory's is
        // kept and delivered after the last stream, so every stream and every
        // entry is delivered exactly once.
        h->Kind = ListingKind::DirectoryWithStreams;
        h->StreamsActive = true;
        if (!GetEntryTimes(local, h->Times))
            h->Times = EntryTimes{};
        WIN32_FIND_DATAW first{};
        h->DirHandle.Reset(FindFirstFileW(SearchPattern(local).c_str(), &first));
        if (h->DirHandle) {
            h->PendingEntry = first;
        } else if (DWORD error = GetLastError(); error != ERROR_FILE_NOT_FOUND) {
            // A search that fails (an ACL that backup semantics passed, a
            // vanished directory) must not leave a folder that looks empty
            // but for its streams: the listing fails as a plain one would.
            StreamFindClose(h->Cursor);
            return NoEntries(error);
        }
        DeliverStream(FindData, *h);
        return Listings().Add(std::move(h));
    }
    // The directory search runs on the plain local path.
    h->Kind = ListingKind::PlainDirectory;
    h->DirHandle.Reset(FindFirstFileW(SearchPattern(local).c_str(), &FindData));
    if (!h->DirHandle)
        return INVALID_HANDLE_VALUE;  // with FindFirstFileW's error
    FindData.dwFileAttributes = DirectoryEntryAttributes(FindData);
    return Listings().Add(std::move(h));
}

HANDLE FindFirst(const WCHAR* Path, TStreamIds filter, WIN32_FIND_DATAW& FindData)
{
    const WString path = FromHost(Path);
    if (!Path || path == TEXT("\\"))
        return ListDrives(FindData);
    if (path.size() < 2)
        return NoEntries(ERROR_NO_MORE_FILES);
    const WString local = WithoutTrailingBackslash(PluginToLocalPath(path));
    switch (InspectLocal(local).Kind) {
    case LocalKind::File:
        return ListFile(local, filter, false, FindData);
    case LocalKind::FileLink:
        // The link's own streams, never its target's.
        return ListFile(local, filter, true, FindData);
    default:
        // A directory, or a link to one that the user named himself: its
        // target's entries, as Windows shows them.
        return ListDirectory(local, filter, FindData);
    }
}

// The next directory entry; the system's own result is passed on.
BOOL NextDirectoryEntry(ListingHandle& h, WIN32_FIND_DATAW& FindData)
{
    BOOL found;
    if (h.PendingEntry) {
        FindData = *h.PendingEntry;
        h.PendingEntry.reset();
        found = TRUE;
    } else if (!h.DirHandle) {
        return FALSE;  // the search could not be started
    } else {
        found = FindNextFileW(h.DirHandle.Get(), &FindData);
    }
    if (found)
        FindData.dwFileAttributes = DirectoryEntryAttributes(FindData);
    return found;
}

BOOL FindNext(ListingHandle& h, WIN32_FIND_DATAW& FindData)
{
    ++h.Index;
    switch (h.Kind) {
    case ListingKind::DriveList:
        if (h.Index < 0 || static_cast<std::size_t>(h.Index) >= h.Letters.size()) {
            // The end of the list, as FindNextFileW ends a directory's.
            SetLastError(ERROR_NO_MORE_FILES);
            return FALSE;
        }
        DriveToFindData(FindData, h.Letters[static_cast<std::size_t>(h.Index)]);
        return kPluginTrue;
    case ListingKind::PlainDirectory:
        return NextDirectoryEntry(h, FindData);
    case ListingKind::StreamsOfFile:
        if (h.Index < 0 || static_cast<std::size_t>(h.Index) >= h.Streams.size()) {
            SetLastError(ERROR_NO_MORE_FILES);
            return FALSE;
        }
        FindData = h.Streams[static_cast<std::size_t>(h.Index)];
        return kPluginTrue;
    case ListingKind::DirectoryWithStreams:
        if (h.StreamsActive && StreamFindNext(h.Cursor)) {
            DeliverStream(FindData, h);
            return kPluginTrue;
        }
        // Once the streams are over the cursor is not asked again.
        h.StreamsActive = false;
        return NextDirectoryEntry(h, FindData);
    }
    return FALSE;
}

void Close(ListingHandle& h)
{
    switch (h.Kind) {
    case ListingKind::DriveList:
        break;
    case ListingKind::PlainDirectory:
        h.DirHandle.Reset();
        break;
    case ListingKind::StreamsOfFile:
        break;
    case ListingKind::DirectoryWithStreams:
        StreamFindClose(h.Cursor);
        h.DirHandle.Reset();
        break;
    }
}

bool IsHostHandle(HANDLE h)
{
    return h != nullptr && h != INVALID_HANDLE_VALUE;
}

}  // namespace

extern "C" HANDLE WINAPI FsFindFirstW(WCHAR* Path, WIN32_FIND_DATAW* FindData)
{
    if (!FindData)
        return NoEntries(ERROR_INVALID_PARAMETER);
    *FindData = WIN32_FIND_DATAW{};
    // A settings change applies from the next listing on.
    const TStreamIds filter = CurrentSettings()->StreamFilter;
    if (PluginState().Disabled)
        return NoEntries(ERROR_NO_MORE_FILES);
    try {
        FileSystemRedirectionOff redirection;
        return FindFirst(Path, filter, *FindData);
    } catch (...) {
        // A handle created on the way was released as it unwound.
        return NoEntries(ERROR_GEN_FAILURE);
    }
}

extern "C" BOOL WINAPI FsFindNextW(HANDLE Hdl, WIN32_FIND_DATAW* FindData)
{
    if (!FindData)
        return FALSE;
    *FindData = WIN32_FIND_DATAW{};
    if (PluginState().Disabled || !IsHostHandle(Hdl))
        return FALSE;
    // Only handles are used from here on: the redirector does not apply.
    try {
        ListingHandle* h = Listings().Find(Hdl);
        return h ? FindNext(*h, *FindData) : FALSE;
    } catch (...) {
        return FALSE;
    }
}

extern "C" int WINAPI FsFindClose(HANDLE Hdl)
{
    if (PluginState().Disabled || !IsHostHandle(Hdl))
        return 0;
    try {
        if (std::unique_ptr<ListingHandle> h = Listings().Take(Hdl))
            Close(*h);
    } catch (...) {
    }
    return 0;
}
