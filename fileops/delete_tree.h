// Deleting on the file system: one file, stream or empty directory, and whole
// directory trees. Shared by the delete exports, the transfers and the typed
// commands. Every helper takes local or stream paths, never plugin paths, and
// leaves the cause of a failure in the thread's last error.
#pragma once

#include <functional>
#include <vector>

#include "plugin/text.h"

// The path without one final backslash.

// RemoveDirectoryW on the long-path form with a trailing backslash
// ("C:\dir" -> "\\?\C:\dir\"). Removes only an empty directory (or a link).
bool RemoveDirectoryLong(const WString& path);

// A directory is removed with RemoveDirectoryLong (only when empty); anything
// else, a stream path included, is deleted with DeleteFileW on the long-path form.
bool DeleteFileOrDirectoryLong(const WString& path);

// Fills `list` with the names of a directory's entries. `pattern` is a
// directory and masks ("C:\dir\*.*"; several masks separated by ";"); an entry
// is kept when its attributes within `attributeFilter` are all it has within
// 0x1FF and its name matches a mask. With `withDirectory` each name is
// prefixed with the directory. Hidden, system and link entries are all seen.
// True when the enumeration ran to its end.
bool ListDirectoryEntries(const WString& pattern, DWORD attributeFilter, std::vector<WString>& list,
                          bool withDirectory);

// Decides, for one entry that is not a directory, whether it may be deleted.
using ConfirmEntryFn = std::function<bool(const WString& fullPath, DWORD attributes)>;

// Deletes a directory with everything inside it, depth first, clearing
// read-only, hidden and system attributes on the way. An entry that cannot be
// deleted stays, and so do the directories that hold it (false); with
// `stopOnFailure` the walk ends there. A junction or directory symbolic link
// is removed as a link: its target's contents are never touched.
bool DeleteDirectoryTree(const WString& directory, bool stopOnFailure, const ConfirmEntryFn& confirmEntry);

// Whether a local path names a volume's root directory ("C:", "C:\",
// "C:\dir\.."), after Win32's own normalisation of "." and ".." components.
bool NamesVolumeRoot(WStringView path);
