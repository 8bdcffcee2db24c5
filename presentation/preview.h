// Previews: the host draws them itself from the file or stream an entry
// stands for; the plugin only names it.
#pragma once

#include "plugin/host_interface.h"

extern "C" {
int WINAPI FsGetPreviewBitmapW(WCHAR* RemoteName, int width, int height, HBITMAP* ReturnedBitmap);
int WINAPI FsGetPreviewBitmap(char* RemoteName, int width, int height, HBITMAP* ReturnedBitmap);
}
