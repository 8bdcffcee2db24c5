// The settings file beside the plugin, the language file it names, and the
// two things loaded from them: the message table and StreamFilter.
#pragma once

#include <optional>
#include <vector>

#include "config/messages.h"
#include "plugin/text.h"
#include "streams/stream_ids.h"

inline constexpr const WCHAR* kSettingsFileName = TEXT("TC_wfx_NTFSTarnwick.ini");
inline constexpr const WCHAR* kSettingsSection = TEXT("wfx_NTFSTarnwick");
inline constexpr const WCHAR* kLanguageKey = TEXT("Language");
inline constexpr const WCHAR* kStreamTypesKey = TEXT("StreamTypes");
// Line 0 of every language file, compared exactly (case and blanks included).
inline constexpr const WCHAR* LanguageFileHeader = TEXT("wfx_Tarnwick language file");

// The directory of the plugin's own module file, ending in a backslash; empty
// when it cannot be determined.
WString PluginFolder();
// The settings file beside the plugin.
WString SettingsFileBesidePlugin();
// The settings file in use: the one beside the plugin when it exists, else
// the one in the folder the host suggests (FsSetDefaultParams) when that
// exists, else the one beside the plugin (none yet: the defaults).
WString SettingsFilePath();
// Where the host's suggested settings name (its DefaultIniName, a path)
// puts this plugin's settings file: the same folder, the plugin's own name.
WString SuggestedSettingsFile(const WString& defaultIniName);

// "StreamTypes" as written: decimal with an optional minus sign, or hexadecimal
// after "0x", "0X" or "$". Missing or not a number: -1.
int ParseStreamTypes(const std::optional<WString>& value);
// Bits 0 to 9 select the kinds of those ordinals; bits 10 to 31 are ignored.
TStreamIds StreamTypesToFilter(int streamTypes);

// Applies a language file's lines to a message table, if line 0 is the
// header: lines 2 to 19 as they stand, lines 20 and 21 only when not empty;
// a file with fewer lines applies those it has.
void ApplyLanguageLines(const std::vector<WString>& lines, MessageTable& table);

// Reads the settings file and the language file into new settings (the
// defaults where they say nothing) and publishes them whole. Never fails
// towards its caller.
void LoadSettings();
