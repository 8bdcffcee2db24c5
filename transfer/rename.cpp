#include "transfer/rename.h"

#include "config/messages.h"
#include "plugin/host_bridge.h"

extern "C" int WINAPI FsRenMovFileW(WCHAR*, WCHAR*, BOOL, BOOL, RemoteInfoStruct*)
{
    // Not gated: the user is told even while the plugin is disabled. The host
    // hears that nothing was done: a host that moves between two panels of the
    // plugin removes the source folder after FS_FILE_OK.
    try {
        ShowHostMessage(Message(Msg::NotSupported));
    } catch (...) {
    }
    return FS_FILE_NOTSUPPORTED;
}
