// The host's custom columns about the streams of a file or directory: the
// field table, the values from one walk over the streams, and the type text.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <optional>

#include "plugin/paths.h"
#include "plugin/text.h"

// The fields, by FieldIndex.
enum ContentField : int {
    cfHasStream = 0,
    cfStreamsCount = 1,
    cfStream = 2,
    cfAllStreamsOneLine = 3,
    cfType = 4,
    // After the five of the design: how much a file hides in its named
    // streams, and its Mark of the Web.
    cfStreamsSize = 5,
    cfZone = 6,
    cfZoneHostUrl = 7,
    cfZoneReferrerUrl = 8,
    kContentFieldCount = 9,
};

struct ContentFieldInfo {
    const char* Name;
    const char* Units;
    int Type;
    int Flags = 0;  // FsContentGetSupportedFieldFlags
};

// The zones of ZoneId 0 to 4, as the "Zone" field's choices.
inline constexpr const char* kZoneNames[] = {"Local machine", "Local intranet", "Trusted sites", "Internet",
                                             "Restricted sites"};

// The field of an index; null outside the table.
const ContentFieldInfo* ContentFieldAt(int fieldIndex);

struct StreamColumns {
    int Count = 0;     // streams of the kinds in force, unnamed ones included
    WString Chosen;    // the name of the stream at the wanted position (1-based)
    WString Joined;    // the names of the named streams, separated by "; "
    bool Stopped = false;  // the host stopped the walk: no value at all
};

// One walk over the streams of a local path with StreamFilter. A path that
// cannot be opened gives the empty result. A set `stop` ends the walk early.
StreamColumns EnumerateStreamColumns(const WString& local, long long wanted,
                                     const std::atomic<bool>* stop = nullptr);

// The total size in bytes of the named data streams of a file or directory,
// whatever the filter; nothing when its streams cannot be read or the walk
// was stopped.
std::optional<std::int64_t> NamedStreamsSize(const WString& local, const std::atomic<bool>* stop = nullptr);

// Whether a field's value needs the file opened (a walk over its streams, or
// its Mark of the Web): with CONTENT_DELAYIFSLOW such a field is computed in
// the host's background call instead.
bool FieldOpensTheFile(int fieldIndex);

// ":notes:$DATA" becomes "notes": a ":$DATA" that ends the name is cut off,
// then a leading colon.
WString CleanStreamName(WStringView name);

// The "Type" column: "<Stream>" for a stream entry, the extension of a file,
// "<Dir>" for a directory, "?" for what does not exist (texts of the message
// table where it has them).
WString TypeText(const PluginEntry& entry);

// The extension of the last path component, without its dot; empty when it
// has none.
WString ExtensionOf(WStringView path);
