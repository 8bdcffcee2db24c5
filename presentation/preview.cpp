#include "presentation/preview.h"

#include <algorithm>

#include "plugin/paths.h"

namespace {

// The host's RemoteName buffer holds at least MAX_PATH - 1 characters and the
// terminating zero.
constexpr std::size_t kPreviewNameCapacity = 259;

}  // namespace

extern "C" int WINAPI FsGetPreviewBitmapW(WCHAR* RemoteName, int, int, HBITMAP* ReturnedBitmap)
{
    // Not gated: the answer is the same before FsInitW and while disabled.
    if (ReturnedBitmap)
        *ReturnedBitmap = nullptr;
    if (!RemoteName)
        return FS_BITMAP_NONE;
    try {
        const WString remote(RemoteName);
        ResolvedStreamPath target = ResolveStreamPath(remote);
        // The local or stream path is never longer than the plugin path it came
        // from, so it also fits a buffer that holds no more than the host's text.
        const std::size_t capacity = std::min(kPreviewNameCapacity, remote.size() + 1);
        CopyTruncated(WStringView(target.Path), RemoteName, capacity);
        return FS_BITMAP_EXTRACT_YOURSELF;
    } catch (...) {
        return FS_BITMAP_NONE;
    }
}

extern "C" int WINAPI FsGetPreviewBitmap(char*, int, int, HBITMAP*)
{
    return FS_BITMAP_NONE;  // the ANSI form touches nothing
}
