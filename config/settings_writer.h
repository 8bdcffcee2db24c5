// Writing the settings file, which only the settings dialog does.
#pragma once

#include "plugin/text.h"

// Sets "Language" and "StreamTypes" (in decimal) in the plugin's section of the
// settings file at path and writes the whole file back: existing keys keep
// their place, a missing key goes to the end of its section, a missing section
// to the end of the file; lines end in CR LF; the file keeps the encoding it
// was read in, with its byte-order mark, and a new file is written in the
// system's ANSI code page. Raises TextFileError when the file cannot be read,
// decoded or written; nothing is written then.
void WriteSettingsFile(const WString& path, WStringView language, int streamTypes);
