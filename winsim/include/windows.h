// winsim's <windows.h>: the subset of the Win32 SDK that the plugin uses, with
// Windows' own type widths, constants and error codes. The native build puts
// winsim/include ahead of the system headers, so production code includes
// <windows.h> and compiles unchanged against either this or MinGW's SDK.
//
// Widths follow the Windows LLP64 model, not Linux: DWORD and LONG are 32 bits,
// WCHAR is 16 bits (char16_t). Never size anything by sizeof(wchar_t).
//
// One header per concept under win/.
#pragma once

#include "win/types.h"
#include "win/errors.h"
#include "win/core.h"
#include "win/find.h"
#include "win/volume.h"
#include "win/backup.h"
#include "win/mapping.h"
#include "win/exceptions.h"
#include "win/fileops.h"
#include "win/filetime.h"
#include "win/clock.h"
#include "win/shellexec.h"
#include "win/ui.h"
#include "win/icons.h"
