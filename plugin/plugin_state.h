// The process-wide state of the plugin's connection to the host, and the
// settings in force. The host calls every export from any of its threads
// (the window, its background copies, delayed columns, icons), so nothing
// here is a plain field written by one call and read by another: the
// connection's fields are atomic, and the settings are one immutable value
// that a reload replaces whole.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>

#include "config/messages.h"
#include "plugin/host_interface.h"
#include "streams/stream_ids.h"

struct PluginStateData {
    std::atomic<int> PluginNr{-1};
    std::atomic<tProgressProcW> ProgressProc{nullptr};
    std::atomic<tLogProcW> LogProc{nullptr};  // kept, never called: the plugin writes no log
    std::atomic<tRequestProcW> RequestProc{nullptr};
    std::atomic<bool> Disabled{true};
    HMODULE Module = nullptr;  // the plugin's own module, for its folder; set at load only
};

PluginStateData& PluginState();

// What the settings file and its language file give, read whole before it is
// published: a call that starts with one keeps it to its end, so no reader
// ever sees the texts of one reload beside the filter of another.
struct SettingsSnapshot {
    MessageTable Messages;
    TStreamIds StreamFilter;
};

// The settings in force (empty texts and no kinds until the first load).
std::shared_ptr<const SettingsSnapshot> CurrentSettings();
// A reload takes a ticket before it reads the files, and publishes with it:
// of two reloads that overlap, the one that read last stays in force, never
// the slower one that read the older files.
std::uint64_t SettingsReadTicket();
// Puts `next` in force at once for every call that starts after this one,
// unless a reload with a later ticket was published already.
void PublishSettings(SettingsSnapshot next, std::uint64_t ticket);
// The same with a ticket taken now (settings made in memory).
void PublishSettings(SettingsSnapshot next);

// The settings file in the folder the host suggests for settings
// (FsSetDefaultParams); empty until the host names one.
WString SuggestedSettingsFileName();
void SetSuggestedSettingsFileName(WString file);

// Library load and unload (DllMain's process attach and detach). Attach closes
// the gate and forgets the callbacks; detach releases the strings and every
// function pointer looked up at run time.
void OnProcessAttach(HMODULE module);
void OnProcessDetach();
