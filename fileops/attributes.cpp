// FsSetAttrW: the host's attribute changes, passed to the system unchanged.
#include "fileops/attributes_times.h"
#include "plugin/host_interface.h"
#include "plugin/paths.h"
#include "plugin/plugin_state.h"
#include "plugin/redirection.h"

WString DriveAsRoot(WString localPath)
{
    if (localPath.size() == 2 && localPath[1] == ':')
        localPath += '\\';
    return localPath;
}

namespace {

// Attribute bits newer systems know that an attribute change must keep.
constexpr DWORD kNoScrubData = 0x00020000;
constexpr DWORD kPinned = 0x00080000;
constexpr DWORD kUnpinned = 0x00100000;

BOOL SetAttributes(const WCHAR* remoteName, int newAttr)
{
    if (PluginState().Disabled)
        return kPluginTrue;
    ResolvedStreamPath target = ResolveStreamPath(FromHost(remoteName));
    if (target.IsStream)
        return kPluginTrue;
    FileSystemRedirectionOff redirection;
    const WString path = PlainPathOrLong(DriveAsRoot(target.Path));
    // SetFileAttributesW replaces the whole settable set; the host speaks of
    // four bits only. Not-content-indexed, temporary, offline and a cloud
    // file's pinned state stay as they were.
    constexpr DWORD kKept = FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED |
                            kNoScrubData | kPinned | kUnpinned;
    const DWORD current = GetFileAttributesW(path.c_str());
    if (current == INVALID_FILE_ATTRIBUTES)
        return FALSE;
    DWORD wanted = (current & kKept) | (static_cast<DWORD>(newAttr) & kHostAttributeBits);
    if (wanted == 0)
        wanted = FILE_ATTRIBUTE_NORMAL;
    // The system's own result is passed on.
    return SetFileAttributesW(path.c_str(), wanted);
}

}  // namespace

extern "C" BOOL WINAPI FsSetAttrW(WCHAR* RemoteName, int NewAttr)
{
    try {
        return SetAttributes(RemoteName, NewAttr);
    } catch (...) {
        return FALSE;
    }
}
