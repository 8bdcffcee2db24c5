#include "plugin/host_bridge.h"

#include "plugin/operation.h"
#include "plugin/plugin_state.h"
#include "plugin/redirection.h"

void ShowHostMessage(const WString& text)
{
    const PluginStateData& s = PluginState();
    const tRequestProcW request = s.RequestProc.load();
    if (!request)
        return;
    // The host asks about every failure of an operation itself (with a "skip
    // all"): the plugin's own message, with its reason, comes once.
    bool shownBefore = false;
    WithOperation([&](HostOperation& op) {
        shownBefore = op.MessageShown;
        op.MessageShown = true;
    });
    if (shownBefore)
        return;
    // The host takes non-const pointers but does not write to the text; a copy
    // keeps the message table's own string out of its reach all the same.
    WString copy = text;
    // The host's own code (its message box, and whatever libraries that
    // loads) runs with the redirector as the host set it.
    FileSystemRedirectionBackOn host;
    request(s.PluginNr.load(), RT_MsgOK, nullptr, copy.data(), nullptr, 0);
}

bool ReportProgress(const WCHAR* sourceName, const WCHAR* targetName, int percentDone)
{
    const PluginStateData& s = PluginState();
    const tProgressProcW progress = s.ProgressProc.load();
    if (!progress)
        return false;
    FileSystemRedirectionBackOn host;
    return progress(s.PluginNr.load(), const_cast<WCHAR*>(sourceName), const_cast<WCHAR*>(targetName),
                          percentDone) == 1;
}
