// File times: SetFileTime, GetFileTime, SystemTimeToFileTime, FileTimeToSystemTime.
#pragma once

#include "win/types.h"

extern "C" {
// A time of 0 leaves that time unchanged, as does a null pointer; Windows 8 and
// later also take 0xFFFFFFFF'FFFFFFFF (stop updating the time through this
// handle) and 0xFFFFFFFF'FFFFFFFE (resume) for the access and write times.
// The handle needs write-attribute access (GENERIC_WRITE carries it).
BOOL WINAPI SetFileTime(HANDLE hFile, const FILETIME* lpCreationTime, const FILETIME* lpLastAccessTime,
                        const FILETIME* lpLastWriteTime);
BOOL WINAPI GetFileTime(HANDLE hFile, LPFILETIME lpCreationTime, LPFILETIME lpLastAccessTime,
                        LPFILETIME lpLastWriteTime);
// Years 1601 to 30827; every field is checked, wDayOfWeek is ignored.
BOOL WINAPI SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, LPFILETIME lpFileTime);
// Any value below 0x80000000'00000000; the largest gives a day in 30828, which
// SystemTimeToFileTime does not take back.
BOOL WINAPI FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime);
}
