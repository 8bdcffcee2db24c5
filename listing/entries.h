// Directory entries as the listing shows them.
#pragma once

#include <windows.h>

#include "plugin/paths.h"
#include "plugin/text.h"

// Every directory entry is shown as a folder, files included, so that the
// host offers to enter it: the directory bit is set, the sparse and
// reparse-point bits and everything the host does not know are cleared.
constexpr DWORD kDirectoryEntryAttributeMask = 0x79F7;
constexpr DWORD MaskDirectoryEntryAttributes(DWORD attributes)
{
    return (attributes & kDirectoryEntryAttributeMask) | FILE_ATTRIBUTE_DIRECTORY;
}

// An entry as the listing shows it: a link (a junction, a mount point, a
// symbolic link to a directory) is a file to the host, keeping its reparse
// bit, so that no recursion of the host (a delete or move of the folder
// above) goes through it into its target. A file link stays a folder: what
// is entered is the link's own streams.
DWORD DirectoryEntryAttributes(const WIN32_FIND_DATAW& entry);

struct EntryTimes {
    FILETIME Creation{};
    FILETIME LastAccess{};
    FILETIME LastWrite{};
};

// The times of a file or directory, from a directory search for the path
// itself (the plain local path, no wildcard). False when it finds nothing.
bool GetEntryTimes(const WString& LocalPath, EntryTimes& Times);

void WriteTimes(WIN32_FIND_DATAW& FindData, const EntryTimes& Times);
