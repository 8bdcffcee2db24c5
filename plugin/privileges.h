// The backup and restore privileges that let the plugin read every stream and
// security descriptor, whatever the files' own permissions say.
#pragma once

#include <windows.h>

// Whether the system is of the NT family (VER_PLATFORM_WIN32_NT). Raises an
// error when the version cannot be read.
bool IsNtPlatform();

// Switches one privilege of the process token on or off. True only when the
// token held it and it was adjusted; a token without it gives false. Raises
// MissingProcError when AdjustTokenPrivileges cannot be found at all.
bool EnablePrivilege(bool enable, const WCHAR* privilegeName);
