// The host's directory listings: FsFindFirstW opens a listing of one folder
// and delivers its first entry, FsFindNextW the next one, FsFindClose ends it.
//   "\"                  one folder per local NTFS drive
//   a drive or directory the directory's own streams, then its entries, every
//                        entry shown as a folder (files included)
//   a file               its streams, shown as files
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "listing/entries.h"
#include "plugin/text.h"
#include "plugin/win_owner.h"
#include "streams/stream_finder.h"

enum class ListingKind : std::int32_t {
    DriveList = 1,
    PlainDirectory = 2,
    StreamsOfFile = 3,
    DirectoryWithStreams = 4,
};

// What the host holds between FsFindFirstW and FsFindClose, as an opaque
// handle (never null, never INVALID_HANDLE_VALUE).
struct ListingHandle {
    ListingKind Kind;
    std::int32_t Index = 0;     // the entry last delivered, counted from 0
    WString Letters;            // DriveList: the NTFS drive letters
    UniqueFind DirHandle;       // the directory search
    TFindStreamData Cursor;     // DirectoryWithStreams: the directory's own streams
    std::vector<WIN32_FIND_DATAW> Streams;  // StreamsOfFile: every entry, read at the start
    EntryTimes Times;           // of the file or directory, given to every stream entry
    bool StreamsActive = false; // DirectoryWithStreams: streams are still being delivered
    // DirectoryWithStreams: the first directory entry, found when the listing
    // began and delivered right after the last stream.
    std::optional<WIN32_FIND_DATAW> PendingEntry;
};

extern "C" {
HANDLE WINAPI FsFindFirstW(WCHAR* Path, WIN32_FIND_DATAW* FindData);
BOOL WINAPI FsFindNextW(HANDLE Hdl, WIN32_FIND_DATAW* FindData);
int WINAPI FsFindClose(HANDLE Hdl);
}
