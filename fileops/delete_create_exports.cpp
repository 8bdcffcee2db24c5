// FsDeleteFileW, FsRemoveDirW and FsMkDirW: thin shells over the delete and
// create helpers. Every failure inside becomes FALSE; nothing reaches the host.
#include "fileops/delete_create_exports.h"

#include "config/messages.h"
#include "fileops/create_directory.h"
#include "fileops/delete_tree.h"
#include "plugin/host_bridge.h"
#include "plugin/paths.h"
#include "plugin/plugin_state.h"
#include "plugin/redirection.h"

namespace {

bool DeleteEntry(const WString& remoteName)
{
    ResolvedStreamPath r = ResolveStreamPath(remoteName);
    if (r.IsStream) {
        // The special streams go with their file, when its folder is removed.
        // Nothing is deleted through them: on Windows "f.txt::" names the file
        // itself, and the host asks for every entry of a file's folder.
        if (NamesUnnamedStream(r.Path))
            return true;
        // The outcome is reported: a move out of a stream must not claim the
        // stream is gone when it is not. A stream (or file) that is already
        // absent is gone all the same.
        SetLastError(ERROR_SUCCESS);
        if (DeleteFileOrDirectoryLong(r.Path))
            return true;
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    // "::$DATA" is the file itself: that entry never deletes the file.
    if (remoteName.find(TEXT("::")) != WString::npos)
        return true;
    SetLastError(ERROR_SUCCESS);
    return DeleteFileOrDirectoryLong(r.Path);
}

bool RemoveEntry(const WString& remoteName)
{
    ResolvedStreamPath r = ResolveStreamPath(remoteName);
    if (r.IsStream)
        return true;
    // One keystroke on a drive entry must never empty a volume.
    if (NamesVolumeRoot(r.Path)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    // A file goes with all its streams; its attributes are left as they are,
    // so a read-only file stays.
    if (FileExistsLong(r.Path))
        return DeleteFileOrDirectoryLong(r.Path);
    return DeleteDirectoryTree(r.Path, false, nullptr);
}

bool MakeDirectory(const WString& pluginPath)
{
    WString local = RemoveTrailingBackslash(PluginToLocalPath(pluginPath));
    WString parent = RemoveTrailingBackslash(DirectoryPart(local));
    if (FileExistsLong(parent)) {
        ShowHostMessage(Message(Msg::NoDirInFile));
        return false;
    }
    return CreateDirectoryPathLong(local);
}

}  // namespace

extern "C" BOOL WINAPI FsDeleteFileW(WCHAR* RemoteName)
{
    if (PluginState().Disabled)
        return kPluginTrue;
    try {
        FileSystemRedirectionOff redirection;
        return PluginBool(RemoteName && DeleteEntry(RemoteName));
    } catch (...) {
        return FALSE;
    }
}

extern "C" BOOL WINAPI FsRemoveDirW(WCHAR* RemoteName)
{
    if (PluginState().Disabled)
        return kPluginTrue;
    try {
        FileSystemRedirectionOff redirection;
        return PluginBool(RemoteName && RemoveEntry(RemoteName));
    } catch (...) {
        return FALSE;
    }
}

extern "C" BOOL WINAPI FsMkDirW(WCHAR* Path)
{
    if (PluginState().Disabled)
        return kPluginTrue;
    try {
        FileSystemRedirectionOff redirection;
        return PluginBool(Path && MakeDirectory(Path));
    } catch (...) {
        return FALSE;
    }
}
