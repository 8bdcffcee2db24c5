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

BOOL SetAttributes(const WCHAR* remoteName, int newAttr)
{
    if (PluginState().Disabled)
        return kPluginTrue;
    ResolvedStreamPath target = ResolveStreamPath(FromHost(remoteName));
    if (target.IsStream)
        return kPluginTrue;
    FileSystemRedirectionOff redirection;
    // The system's own result is passed on. Bits it does not know are its
    // business: it drops most of them and refuses a few (the directory bit on
    // a file).
    return SetFileAttributesW(PlainPathOrLong(DriveAsRoot(target.Path)).c_str(), static_cast<DWORD>(newAttr));
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
