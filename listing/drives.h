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

// A calendar reading as a file time, in whatever zone the reading is.
FILETIME CalendarFileTime(const SYSTEMTIME& reading);

// The host's record for a drive, already zero-filled: a folder named "X:",
// all three times now, in UTC.
void DriveToFindData(WIN32_FIND_DATAW& FindData, WCHAR Letter);
