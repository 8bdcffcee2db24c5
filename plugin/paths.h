// The host names every object by a plugin path: a backslash and a local path
// ("\C:\dir\file"), with a stream entry's name as the last component below a
// file ("\C:\dir\file\:name:$DATA"). These conversions are pure string work;
// only the two probes ask the file system.
#pragma once

#include <windows.h>

#include <optional>

#include "plugin/text.h"
#include "streams/stream_ids.h"

// Drops the one leading backslash of a plugin path that has at least two
// characters; anything else is returned unchanged.
WString PluginToLocalPath(WStringView path);

// The path without its one trailing backslash, if it has one.
WString RemoveTrailingBackslash(WStringView path);

// The path up to and including its last "\" or ":"; empty when it has neither.
WString DirectoryPart(WStringView path);
// The path after its last "\" or ":"; all of it when it has neither.
WString NamePart(WStringView path);

// "/" as "\\": a path typed with forward slashes, as Windows accepts them.
WString WithBackslashes(WStringView path);

// The last component of a plugin path, after its last backslash (one trailing
// backslash dropped first): a stream entry's name below a file ("::$DATA",
// ":name:$DATA", "::$SECURITY_DESCRIPTOR").
WString EntryName(WStringView pluginPath);

struct ResolvedStreamPath {
    WString Path;   // a local path, or a stream path when IsStream
    bool IsStream;  // a stream other than the unnamed data stream
};

// A plugin path as a local path, or as a stream path ("C:\dir\file:name:$DATA")
// when it names a stream. "::$DATA" is the file itself.
ResolvedStreamPath ResolveStreamPath(WStringView pluginPath);

// What a plugin path names, decided here once for every export: the root,
// a drive, a local entry (a directory, a file or a link: InspectLocal tells
// them apart by the entry's own attributes), or an entry of a file's (or
// directory's) folder: its unnamed data stream ("::$DATA", the file itself),
// a named stream, or a special stream.
enum class EntryKind { Root, Drive, Local, UnnamedData, NamedStream, SpecialStream };
struct PluginEntry {
    EntryKind Kind = EntryKind::Root;
    // The drive ("C:"), directory or file; for a stream, the file it belongs to.
    WString LocalPath;
    // A named or special stream's own path ("C:\d\f.txt:s:$DATA",
    // "C:\d\f.txt::$EA_DATA"); LocalPath for every other kind.
    WString StreamPath;
    // A named stream's name ("s" for ":s:$DATA" and ":s"); empty when the
    // entry names another type (":s:$OTHER") and for every other kind.
    WString StreamName;
    // A special stream's kind, when it is one the listing shows.
    std::optional<TStreamId> SpecialKind;

    bool IsStreamEntry() const
    {
        return Kind == EntryKind::UnnamedData || Kind == EntryKind::NamedStream || Kind == EntryKind::SpecialStream;
    }
};
PluginEntry ResolvePluginPath(WStringView pluginPath);

// A local path that names a stream of a file: a colon after the drive's
// ("C:\f.txt:s:$DATA", "\\server\share\f.txt:s").
bool IsStreamPath(WStringView localPath);

// The file a stream path belongs to ("C:\\f.txt" for "C:\\f.txt:s:$DATA"); a path
// that names no stream as it is. Encryption and the like are the file's.
WString FileOfStreamPath(WStringView localPath);

// A stream path whose stream has no name of its own ("C:\f.txt::$EA_DATA",
// "C:\f.txt::"): one of the special streams the backup API reports, which
// no file call reaches by that name.
bool NamesUnnamedStream(WStringView streamPath);

// The long-path form, the one that lifts MAX_PATH and the name parsing of
// Win32: "\\?\" in front ("C:\d" -> "\\?\C:\d"), a share as
// "\\?\UNC\server\share\...", a bare drive as its root directory
// ("C:" -> "\\?\C:\", never the volume device); a path already in that
// form stays as it is.
WString ToLongPath(WStringView path);

// For the calls that take a plain path (directory searches, time lookups,
// attributes): the path as it is while it fits MAX_PATH, which is all a plain
// path reaches; its long-path form beyond, and for a name the plain form
// would not reach (a component with a trailing dot or space, which Win32
// drops, or a reserved device name, which it takes for the device).
WString PlainPathOrLong(WStringView path);

// What a local path (never a stream path) names, from the entry's own
// attributes and reparse tag, never from whether an open happened to succeed.
// A link is a reparse point that names another object (a junction or volume
// mount point, a symbolic link to a directory or a file) or that no filter
// opens as data (an AppExecLink): the host must never recurse or copy
// through one. A cloud or deduplicated file is a reparse point too, but its
// filter serves its data: it is a file.
enum class LocalKind { Missing, Directory, File, DirectoryLink, FileLink };
struct LocalEntry {
    LocalKind Kind = LocalKind::Missing;
    DWORD Attributes = INVALID_FILE_ATTRIBUTES;
    DWORD ReparseTag = 0;
};
LocalEntry InspectLocal(const WString& localPath);

// Whether a directory entry with these attributes and this reparse tag (the
// search's dwReserved0) is a link in the sense above.
bool IsLinkEntry(DWORD attributes, DWORD reparseTag);

// The data stream an entry of a file's (or directory's) folder names: "" for
// "::$DATA" (any letter case), "name" for ":name:$DATA" or ":name"; nothing
// for the special entries ("::$EA_DATA", "::") and anything else.
std::optional<WString> DataStreamOfEntry(WStringView entryName);

// The plugin folder an entry's plugin path lies in: "\C:\d\f.txt" for
// "\C:\d\f.txt\:s:$DATA" (one trailing backslash ignored).
WString OwnerFolder(WStringView pluginPath);

// A reserved device name (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, in any
// letter case), alone or with an extension ("nul.txt"): Win32 opens the
// device, not a file, for such a name in any folder.
bool IsReservedDeviceName(WStringView name);

// A name Win32's own rules accept for a new file, made from any text: every
// character a file name may not hold (control characters and
// " * / : < > ? \ |) becomes "_", trailing dots and spaces (which Win32 drops)
// become "_", and a reserved device name gets a "_" in front. Empty stays empty.
WString SafeFileName(WStringView name);

// What the system knows of a file or directory by its handle (its names'
// count, volume and index, attributes), through an open that only reads
// attributes, shared with everyone; nothing when it cannot be opened.
std::optional<BY_HANDLE_FILE_INFORMATION> FileInformation(const WString& path);

// Whether two local paths (never streams) name one existing file, whatever
// the letter case, short names or hard links: by the file's identity.
bool SameFile(const WString& a, const WString& b);

// Whether Windows' own name rules accept a name for a new file or directory
// (the rules "\\?\" paths skip): not empty, none of the characters a file
// name may not hold, no trailing dot or space, no reserved device name.
// Explorer and most programs cannot open or delete what breaks them.
bool IsNameWindowsAccepts(WStringView name);

// True for files and existing streams; false for directories and drive roots.
bool FileExistsLong(const WString& path);
// True for directories and drive roots.
bool DirectoryExistsLong(const WString& path);
