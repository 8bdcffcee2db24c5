// FsDeleteFileW, FsRemoveDirW and FsMkDirW: thin shells over the delete and
// create helpers. Every failure inside becomes FALSE; nothing reaches the host.
#include "fileops/delete_create_exports.h"

#include "config/messages.h"
#include "fileops/create_directory.h"
#include "fileops/delete_tree.h"
#include "plugin/host_bridge.h"
#include "plugin/operation.h"
#include "plugin/paths.h"
#include "plugin/plugin_state.h"
#include "plugin/redirection.h"
#include "streams/stream_finder.h"
#include "streams/stream_ids.h"
#include "transfer/system_error.h"

#include <vector>

namespace {

bool DeleteEntry(const WString& remoteName)
{
    const PluginEntry entry = ResolvePluginPath(remoteName);
    // Deleted from the folder above it (F8 on a file), a file goes as a whole
    // through FsRemoveDirW or not at all: its streams are not deleted one by
    // one first (they belong to the file, so to every name it has, and a file
    // another program holds would lose them and stay).
    if (entry.IsStreamEntry() && EntryGoesWithItsFolder(OwnerFolder(remoteName)))
        return true;
    switch (entry.Kind) {
    case EntryKind::UnnamedData:
        // "::$DATA" is the file itself: that entry never deletes the file.
        return true;
    case EntryKind::SpecialStream:
        // The special streams go with their file, when its folder is removed.
        // Nothing is deleted through them: on Windows "f.txt::" names the file
        // itself, and the host asks for every entry of a file's folder.
        return true;
    case EntryKind::NamedStream: {
        // The outcome is reported: a move out of a stream must not claim the
        // stream is gone when it is not. A stream (or file) that is already
        // absent is gone all the same.
        SetLastError(ERROR_SUCCESS);
        if (DeleteFileOrDirectoryLong(entry.StreamPath))
            return true;
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    case EntryKind::Root:
    case EntryKind::Drive:
    case EntryKind::Local:
        break;
    }
    SetLastError(ERROR_SUCCESS);
    return DeleteFileOrDirectoryLong(entry.LocalPath);
}

// At the end of a move out of the plugin, the host removes each folder whose
// entries all answered FS_FILE_OK. That is not enough: a filter may have
// hidden streams, or one may have come since the listing. A file (or a
// directory with streams of its own) goes only when every stream that holds
// data was copied complete in this operation; otherwise the user is told
// which were not.
bool EveryDataStreamWasCopied(const WString& local)
{
    std::set<WString> copied;
    WithOperation([&](HostOperation& op) { copied = op.CopiedComplete; });
    TStreamIds data;
    data.Add(TStreamId::siStandard);
    data.Add(TStreamId::siAlternate);
    TFindStreamData cursor;
    const bool linkItself = InspectLocal(local).Kind == LocalKind::FileLink;
    std::vector<WString> missing;
    if (StreamFindFirst(ToLongPath(local), data, cursor, linkItself)) {
        do {
            const std::optional<WString> name = cursor.StreamID == TStreamId::siStandard
                                                    ? std::optional<WString>(WString())
                                                    : DataStreamOfEntry(cursor.Name);
            if (name && !copied.count(StreamKey(local, *name)))
                missing.push_back(name->empty() ? WString(TEXT("::$DATA")) : TEXT(":") + *name + TEXT(":$DATA"));
        } while (StreamFindNext(cursor));
        const DWORD end = GetLastError();
        StreamFindClose(cursor);
        if (end != ERROR_NO_MORE_FILES) {
            SetLastError(end);
            return false;  // what the file holds cannot be told
        }
    } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
        return false;
    }
    if (missing.empty())
        return true;
    WString text = Message(Msg::DeleteError) + TEXT("\r\n");
    for (std::size_t i = 0; i < missing.size(); ++i)
        text += (i == 0 ? WString() : WString(TEXT(", "))) + missing[i];
    ShowHostMessage(text);
    SetLastError(ERROR_DIR_NOT_EMPTY);
    return false;
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
    if (OperationMovesOut() && !EveryDataStreamWasCopied(r.Path))
        return false;
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
    if (CreateDirectoryPathLong(local))
        return true;
    // A name Windows refuses (a trailing dot or space, a device name) is
    // told, with the system's reason.
    if (GetLastError() == ERROR_INVALID_NAME)
        ReportSystemError(Msg::WriteError);
    return false;
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
