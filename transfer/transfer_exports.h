// The host's calls that copy out of and into the plugin's file system.
#pragma once

#include "plugin/host_interface.h"

extern "C" {
// Copies a stream (or the file itself, through "::$DATA") to a local file
// whose name the plugin derives and writes back into LocalName (1,023
// characters with the null).
int WINAPI FsGetFileW(WCHAR* RemoteName, WCHAR* LocalName, int CopyFlags, RemoteInfoStruct* ri);
// Copies a local file into a directory as a file, or into a file as a named
// stream. RemoteName (260 characters with the null) receives the target's
// name when it exists already.
int WINAPI FsPutFileW(WCHAR* LocalName, WCHAR* RemoteName, int CopyFlags);
// Both directions may run on the host's background thread, without asking
// the user first: the plugin needs no connection.
int WINAPI FsGetBackgroundFlags();
}
