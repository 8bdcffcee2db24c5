// The root of the plugin's file system: one folder per NTFS volume that is
// mounted on a drive letter.
#pragma once

#include <windows.h>

#include "plugin/text.h"

// The file-system name of the volume on a drive ("NTFS", "FAT32"), or empty
// when the volume cannot be queried (no medium, no drive). Critical-error
// dialogs are switched off for the query.
WString VolumeFileSystemName(WCHAR Letter);

// The letters, A to Z in order, of the drives that are local NTFS volumes:
// drives whose DOS device target holds a colon or a question mark (a
// substituted drive "\??\C:\path", a network drive) are left out.
WString NtfsDriveLetters();

// A local wall-clock reading as a file time, not converted to UTC: the file
// time holds the local clock reading.
FILETIME LocalClockFileTime(const SYSTEMTIME& local);

// The host's record for a drive, already zero-filled: a folder named "X:",
// all three times the local clock's reading.
void DriveToFindData(WIN32_FIND_DATAW& FindData, WCHAR Letter);
