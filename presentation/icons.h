// Icons for the host's entries: every stream gets the plugin's own
// "FILESTREAM" icon, files (shown as folders) and drives get the shell's icon,
// directories and everything else the host's default. Extracted only in the
// host's second, background call; nothing is kept between calls.
#pragma once

#include <windows.h>

#include "plugin/text.h"
#include "plugin/win_owner.h"

// An icon resource of the plugin's own module at edge x edge pixels. Windows
// 6.0 and later scale a larger image down (LoadIconWithScaleDown, looked up in
// comctl32.dll at its first call); earlier systems use LoadImageW.
UniqueIcon LoadResourceIcon(const WCHAR* name, int edge);

// The shell's icon for a plain path, small (16) or large (32); empty when the
// shell gives none.
UniqueIcon GetShellIcon(const WString& path, bool small);

// An entry that is not a directory exists at the plain path. Locked entries
// (found only by a directory search) count; a link to a file counts when its
// target can be opened, a link to a directory never.
bool FileExistsPlain(const WString& path);

extern "C" int WINAPI FsExtractCustomIconW(WCHAR* RemoteName, int ExtractFlags, HICON* TheIcon);
