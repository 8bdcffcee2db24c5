// Attributes and times of drives, directories and files. A stream has none of
// its own: both exports report success for a stream and change nothing. Both
// act on the plain local path, so the system's ordinary length limit applies.
#pragma once

#include <windows.h>

#include "plugin/text.h"

// Which of the three times SetEntryTime sets.
enum class TimeKind : int {
    LastAccess = 0,
    LastWrite = 1,
    Creation = 2,
};

// Sets one time of the file at a plain local path through a handle of its own
// (GENERIC_WRITE, so read-only files and directories fail). The time is
// rounded to the nearest millisecond through the calendar form first. False
// when the file cannot be opened, the time has no calendar form, or the
// system refuses it.
bool SetEntryTime(const WString& path, TimeKind kind, const FILETIME& time);

// A drive ("C:") as its volume's root ("C:\"): a bare drive names the drive's
// current directory, which an attribute or time change must never reach.
WString DriveAsRoot(WString localPath);

extern "C" {
BOOL WINAPI FsSetAttrW(WCHAR* RemoteName, int NewAttr);
BOOL WINAPI FsSetTimeW(WCHAR* RemoteName, FILETIME* CreationTime, FILETIME* LastAccessTime,
                       FILETIME* LastWriteTime);
}
