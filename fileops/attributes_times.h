// Attributes and times of drives, directories and files. A stream has none of
// its own: both exports report success for a stream and change nothing. Both
// act on the plain local path, so the system's ordinary length limit applies.
#pragma once

#include <windows.h>

#include "plugin/text.h"

// Sets the given times (null: left as they are) of a file or directory at a
// plain local path, through one handle opened with FILE_WRITE_ATTRIBUTES,
// shared with everyone, with backup semantics and on the link itself. Each
// time is rounded to the nearest millisecond through the calendar form first.
// False, with nothing set, when a time has no calendar form, the entry
// cannot be opened, or the system refuses.
bool SetEntryTimes(const WString& path, const FILETIME* creation, const FILETIME* lastAccess,
                   const FILETIME* lastWrite);

// The attribute bits the host's FsSetAttrW changes; every other bit of the
// entry stays as it was.
constexpr DWORD kHostAttributeBits =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

// A drive ("C:") as its volume's root ("C:\"): a bare drive names the drive's
// current directory, which an attribute or time change must never reach.
WString DriveAsRoot(WString localPath);

extern "C" {
BOOL WINAPI FsSetAttrW(WCHAR* RemoteName, int NewAttr);
BOOL WINAPI FsSetTimeW(WCHAR* RemoteName, FILETIME* CreationTime, FILETIME* LastAccessTime,
                       FILETIME* LastWriteTime);
}
