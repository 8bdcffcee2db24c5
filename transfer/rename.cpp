#include "transfer/rename.h"

#include "config/messages.h"
#include "plugin/host_bridge.h"

extern "C" int WINAPI FsRenMovFileW(WCHAR*, WCHAR*, BOOL, BOOL, RemoteInfoStruct*)
{
    // Not gated: the user is told even while the plugin is disabled. The host
    // hears FS_FILE_OK, so it reports no error of its own on top.
    try {
        ShowHostMessage(Message(Msg::NotSupported));
    } catch (...) {
    }
    return FS_FILE_OK;
}
