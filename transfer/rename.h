// Renaming, moving and copying inside the plugin's file system: refused with a
// message, whether or not the plugin is enabled; nothing is touched.
#pragma once

#include "plugin/host_interface.h"

extern "C" int WINAPI FsRenMovFileW(WCHAR* OldName, WCHAR* NewName, BOOL Move, BOOL OverWrite,
                                    RemoteInfoStruct* ri);
