// A test double of Windows' backup API for the programs that load the genuine
// DLL under Wine, whose BackupRead answers ERROR_NOT_SUPPORTED. It is never
// part of the plugin: the command-line host installs it into the loaded DLL
// by pointing the DLL's imports of BackupRead and GetProcAddress (through
// which the plugin finds BackupSeek) at this layer.
//
// For a file or directory it serves the published WIN32_STREAM_ID sequence
// built from what Wine holds: the security descriptor (owner, group and DACL
// as GetFileSecurityW gives them), for a file the unnamed data stream, and
// every file named "entry:name:$DATA" beside the entry (Wine keeps such a
// name as a file of its own) as the named stream ":name:$DATA". Bodies are
// read only when asked for; a read stops at the end of the current stream and
// a seek never crosses into the next header, as BackupRead and BackupSeek do.
#pragma once

#include <windows.h>

namespace backup_layer {

// Points the module's imports at the layer; false when the module imports
// neither function.
bool Install(HMODULE module);

}  // namespace backup_layer
