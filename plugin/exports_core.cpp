// The exports that connect the plugin to the host: initialisation, the root's
// name, and the ANSI entry points that the interface requires by name only.
#include "config/settings.h"
#include "plugin/host_interface.h"
#include "plugin/operation.h"
#include "plugin/paths.h"

#include <algorithm>
#include "plugin/plugin_state.h"
#include "plugin/privileges.h"

namespace {

int InitializePlugin(int pluginNr, tProgressProcW progress, tLogProcW log, tRequestProcW request)
{
    PluginStateData& s = PluginState();
    s.PluginNr = pluginNr;
    s.ProgressProc = progress;
    s.LogProc = log;
    s.RequestProc = request;
    // Without the privileges the plugin still works, with the user's own rights.
    EnablePrivilege(true, TEXT("SeBackupPrivilege"));
    EnablePrivilege(true, TEXT("SeRestorePrivilege"));
    s.Disabled = !IsNtPlatform();
    if (!s.Disabled)
        LoadSettings();
    return 0;
}

}  // namespace

extern "C" int WINAPI FsInitW(int PluginNr, tProgressProcW pProgressProc, tLogProcW pLogProc,
                              tRequestProcW pRequestProc)
{
    try {
        return InitializePlugin(PluginNr, pProgressProc, pLogProc, pRequestProc);
    } catch (...) {
        PluginState().Disabled = true;
        return 1;
    }
}

extern "C" int WINAPI FsInit(int, tProgressProc, tLogProc, tRequestProc)
{
    return 1;  // the wide entry points do all the work; nothing is stored
}

extern "C" HANDLE WINAPI FsFindFirst(char*, WIN32_FIND_DATAA*)
{
    return INVALID_HANDLE_VALUE;
}

extern "C" BOOL WINAPI FsFindNext(HANDLE, WIN32_FIND_DATAA*)
{
    return FALSE;
}

extern "C" void WINAPI FsGetDefRootName(char* DefRootName, int maxlen)
{
    if (maxlen < 1)
        return;
    CopyTruncated(std::string_view("NTFS - Tarnwick"), DefRootName, static_cast<std::size_t>(maxlen));
}

// The host names the place it suggests for settings, after FsInitW. The
// plugin's folder is commonly under Program Files, which a standard user
// cannot write: settings then live there instead.
extern "C" void WINAPI FsSetDefaultParams(FsDefaultParamStruct* dps)
{
    try {
        if (!dps || dps->size < static_cast<int>(sizeof(FsDefaultParamStruct)))
            return;
        // The host's buffer need not end in a zero.
        char name[MAX_PATH + 1] = {};
        std::copy(dps->DefaultIniName, dps->DefaultIniName + MAX_PATH, name);
        const std::optional<WString> wide = FromHostAnsi(name);
        if (!wide || wide->empty())
            return;
        SetSuggestedSettingsFileName(SuggestedSettingsFile(*wide));
        // Settings beside the plugin win; without them, read them again from
        // the suggested folder.
        if (!PluginState().Disabled && !FileExistsLong(SettingsFileBesidePlugin()))
            LoadSettings();
    } catch (...) {
    }
}

// The host encloses each operation in a start and an end on the thread that
// runs it.
extern "C" void WINAPI FsStatusInfoW(WCHAR* RemoteDir, int InfoStartEnd, int InfoOperation)
{
    try {
        if (InfoStartEnd == FS_STATUS_START)
            BeginOperation(FromHost(RemoteDir), InfoOperation);
        else if (InfoStartEnd == FS_STATUS_END)
            EndOperation();
    } catch (...) {
        // Without the record every export works as for a host that never
        // calls this: nothing is lost, only made less atomic.
    }
}

extern "C" void WINAPI FsStatusInfo(char* RemoteDir, int InfoStartEnd, int InfoOperation)
{
    try {
        WString dir = FromHostAnsi(RemoteDir).value_or(WString());
        FsStatusInfoW(dir.data(), InfoStartEnd, InfoOperation);
    } catch (...) {
    }
}
