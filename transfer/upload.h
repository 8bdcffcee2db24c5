// Copying in: where a local file dropped on a plugin folder goes.
#pragma once

#include <optional>

#include "plugin/text.h"

struct UploadTarget {
    WString Path;          // the local path or stream path created and written
    WString ReportedName;  // the plugin path the host is told when it exists
    // A special stream ("::$SECURITY_DESCRIPTOR" and the others): the backup
    // API's own data, which no copy writes. Path is empty then.
    bool Special = false;
};

// A file dropped into a directory becomes a file there; dropped into a file
// (shown as a folder), or named with a leading colon, it becomes a named
// stream of that file ("notes.txt" -> "file:notes.txt:$DATA"; "_name_$DATA"
// is ":name:$DATA" spelled without colons). "::$DATA" in a file's folder is
// the file itself: an edit of that entry comes back so. Nothing when the
// receiving folder does not exist.
std::optional<UploadTarget> ResolveUploadTarget(const WString& remoteName);
