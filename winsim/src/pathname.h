// How Win32 turns a path string into a volume, directory components and a
// stream: the normalisation of ordinary paths (GetFullPathNameW's rules) and the
// verbatim "\\?\" form, then the walk down the volume's tree.
#pragma once

#include "sim.h"

namespace winsim::detail {

struct ResolvedPath {
    DWORD error = 0;  // non-zero: the string names nothing at all (and why)
    Volume* volume = nullptr;
    std::vector<std::u16string> components;  // below the volume root
    bool trailingSlash = false;               // the string ended in a backslash
    bool volumeDevice = false;                // "\\?\C:" without a backslash: the volume itself
    // A ":name" or ":name:$DATA" suffix naming a named data stream.
    bool hasStream = false;
    std::u16string streamName;
    // A "::$DATA" suffix: the unnamed data stream, named explicitly.
    bool explicitUnnamed = false;

    // Results of the walk (when error is 0).
    std::shared_ptr<Node> node;    // the entry itself, when it exists
    std::shared_ptr<Node> parent;  // the directory that holds or would hold it, when it exists
    // Why node is null: ERROR_FILE_NOT_FOUND when only the last component is
    // missing, ERROR_PATH_NOT_FOUND when a directory on the way is.
    DWORD missing = 0;

    bool IsRoot() const { return error == 0 && components.empty() && !volumeDevice; }
    // The local path that was resolved, "C:\dir\file" (stream suffix excluded).
    std::u16string LocalPath() const;
};

// The path as given to a Win32 call. Wildcards are refused unless allowed (the
// search calls pass the pattern's directory and pattern separately).
ResolvedPath Resolve(const WCHAR* path, bool allowWildcardsInLast = false);

std::u16string ToU16(const WCHAR* s);

// The directory a directory link leads to (the node itself when it is no
// link, null when the target is gone).
// The redirector's state on the calling thread: true while a
// Wow64DisableWow64FsRedirection has not been reverted.
bool& RedirectionDisabledOnThisThread();
// SetThreadErrorMode's mode of the calling thread.
DWORD& ThreadErrorMode();

// Resolve for the test side of winsim: a test names entries of any length, as
// MAX_PATH limits the plugin's ordinary paths, not the world a test builds.
ResolvedPath ResolveForTest(std::u16string_view path);

std::shared_ptr<Node> FollowLink(const std::shared_ptr<Node>& node);

}  // namespace winsim::detail
