// The host's calls that remove and create entries. A stream is a file to the
// host and a file is a folder: the host deletes streams with FsDeleteFileW and
// drives, directories and files with FsRemoveDirW.
#pragma once

#include "plugin/host_interface.h"

extern "C" {
BOOL WINAPI FsDeleteFileW(WCHAR* RemoteName);
BOOL WINAPI FsRemoveDirW(WCHAR* RemoteName);
BOOL WINAPI FsMkDirW(WCHAR* Path);
}
