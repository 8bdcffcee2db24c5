// The form in which the settings dialog stores the language file: relative to
// the plugin's folder when both lie on the same drive or share, else the full
// path. Reading resolves it back against the plugin's folder.
#pragma once

#include "plugin/text.h"

// folder ends in a backslash. "..\" once for each of the folder's directories
// that the path does not share, then the path's own remaining directories and
// its file name. A path on another drive or share, a path without a drive part
// (already relative), and any path when the folder is empty stay as they are.
WString RelativeTo(WStringView folder, WStringView path);

WString RelativeToPluginFolder(WStringView path);
