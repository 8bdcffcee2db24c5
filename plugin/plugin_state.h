// The process-wide state of the plugin's connection to the host. Written at
// load, by FsInitW and by a settings reload; only read everywhere else. The
// host calls from its own threads; the plugin starts none and takes no lock.
#pragma once

#include <windows.h>

#include "config/messages.h"
#include "plugin/host_interface.h"
#include "streams/stream_ids.h"

struct PluginStateData {
    int PluginNr = -1;
    tProgressProcW ProgressProc = nullptr;
    tLogProcW LogProc = nullptr;  // kept, never called: the plugin writes no log
    tRequestProcW RequestProc = nullptr;
    bool Disabled = true;
    TStreamIds StreamFilter;
    MessageTable Messages;
    HMODULE Module = nullptr;  // the plugin's own module, for its folder
    // The settings file in the folder the host suggests for settings
    // (FsSetDefaultParams); empty until the host names one.
    WString SuggestedSettingsFile;
};

PluginStateData& PluginState();

// Library load and unload (DllMain's process attach and detach). Attach closes
// the gate and forgets the callbacks; detach releases the strings and every
// function pointer looked up at run time.
void OnProcessAttach(HMODULE module);
void OnProcessDetach();
