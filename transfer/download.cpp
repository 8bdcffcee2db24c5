// FsGetFileW: a stream (or a file through its "::$DATA" entry) copied out to
// an ordinary local file through the mapped copy engine.
#include "transfer/download.h"

#include "config/messages.h"
#include "fileops/delete_create_exports.h"
#include "plugin/host_bridge.h"
#include "plugin/operation.h"
#include "plugin/paths.h"
#include "plugin/plugin_state.h"
#include "plugin/redirection.h"
#include "streams/stream_kinds.h"
#include "transfer/backup_copy.h"
#include "transfer/host_copy.h"
#include "transfer/system_error.h"
#include "transfer/transfer_exports.h"

namespace {

// The host's LocalName buffer holds 1,023 characters with the null.
constexpr std::size_t kLocalNameCapacity = 1023;

// Only a stream that cannot be opened or mapped is worth a message. The host
// still hears the failure: on a move it would otherwise remove the file whose
// stream was copied nowhere.
OutcomeAnswer AnswerFor(TCopyOutcome outcome)
{
    switch (outcome) {
    case coSourceOpenFailed:
    case coSourceMappingFailed:
        return {Msg::ReadError, FS_FILE_READERROR};
    case coSourceSizeFailed:
    case coSourceViewFailed:
        return {std::nullopt, FS_FILE_READERROR};
    case coTargetCreateFailed:
    case coTargetMappingFailed:
    case coTargetViewFailed:
        return {std::nullopt, FS_FILE_WRITEERROR};
    case coTargetCommitFailed:
    case coTargetEncryptionFailed:
        return {Msg::WriteError, FS_FILE_WRITEERROR};
    case coAborted:
        return {std::nullopt, FS_FILE_USERABORT};
    case coOk:
        break;
    }
    return {std::nullopt, FS_FILE_OK};
}

// An entry of a directory that is neither a stream nor "::$DATA" reaches
// FsGetFileW only when the listing showed it as a file: a link to a
// directory. Copying through it would copy (and a move delete) its target.
bool NamesDirectoryLink(const PluginEntry& source)
{
    if (source.Kind != EntryKind::Local && source.Kind != EntryKind::Drive)
        return false;
    return InspectLocal(source.LocalPath).Kind == LocalKind::DirectoryLink;
}

int GetFile(WCHAR* remoteName, WCHAR* localName, int copyFlags)
{
    const WString remote = remoteName;
    const PluginEntry source = ResolvePluginPath(remote);
    if (NamesDirectoryLink(source))
        return FS_FILE_NOTSUPPORTED;
    const WString target = DeriveLocalTarget(remote, localName);
    CopyTruncated(WStringView(target), localName, kLocalNameCapacity);
    // A folder the host proposed with a colon in it would make the copy a
    // stream of some file there.
    if (IsStreamPath(target))
        return FS_FILE_WRITEERROR;

    if (FileExistsLong(target) && !(copyFlags & FS_COPYFLAGS_OVERWRITE))
        return FS_FILE_EXISTS;

    // A move deletes its source: the copy must be on the disk first.
    const bool move = (copyFlags & FS_COPYFLAGS_MOVE) != 0;
    CopyEngine copy;
    if (source.Kind == EntryKind::SpecialStream) {
        // A special stream: its body as the backup API gives it; an entry of
        // no kind the listing shows is nothing to copy.
        if (!source.SpecialKind)
            return FS_FILE_READERROR;
        copy = [&] {
            return BackupStreamCopy(source.LocalPath, *source.SpecialKind, target, remoteName, localName, move);
        };
    } else {
        // The stream is read as the listing read it, so that what it showed
        // can be copied: past an ACL for an elevated user, and beside a
        // program that writes the file.
        MappedCopyOptions options;
        options.clearing.beforeSourceMapping = true;
        options.durable = move;
        options.sourceAsListed = true;
        copy = [&, options] { return MappedCopy(source.StreamPath, target, remoteName, localName, options); };
    }
    if (std::optional<int> failed = CopyForHost(copy, remoteName, localName, true, AnswerFor))
        return *failed;

    if (!move)
        return FS_FILE_OK;
    // Moved from the folder above the file: the file goes as a whole at the
    // end (FsRemoveDirW), once every stream of it was copied complete.
    const WString owner = OwnerFolder(remote);
    if (EntryGoesWithItsFolder(owner)) {
        if (std::optional<WString> stream = DataStreamOfEntry(EntryName(remote))) {
            const WString key = StreamKey(ResolveStreamPath(owner).Path, *stream);
            WithOperation([&](HostOperation& op) { op.CopiedComplete.insert(key); });
        }
        return FS_FILE_OK;
    }
    // The copy is complete; a stream that cannot be deleted is told, and the
    // copy still counts.
    if (!FsDeleteFileW(remoteName))
        ReportSystemError(Msg::DeleteError);
    return FS_FILE_OK;
}

}  // namespace

WString DeriveLocalTarget(const WString& remoteName, const WString& localName)
{
    // The host's folder stays; only the name is the plugin's to choose. Hosts
    // propose names for "::$DATA" and ":name:$DATA" in their own ways (the
    // colons kept, "_", "%3A"): the name comes from the entry instead.
    const std::size_t slash = localName.rfind('\\');
    const WString folder = slash == WString::npos ? WString() : localName.substr(0, slash + 1);
    WString name = localName.substr(folder.size());
    // "::$EA_DATA", "::" and the other special kinds have no name of their
    // own: the host's proposal stays.
    const PluginEntry entry = ResolvePluginPath(remoteName);
    if (entry.Kind == EntryKind::NamedStream && !entry.StreamName.empty())
        name = entry.StreamName;
    else if (entry.Kind == EntryKind::UnnamedData && EntryName(remoteName) == TEXT("::$DATA"))
        name = NamePart(entry.LocalPath);  // as the listing spells it: other cases keep the proposal
    // A stream name may hold what a file name may not, and a proposal may
    // keep the entry's colons: the copy never lands in a stream of anything,
    // nor in a name Explorer cannot open.
    return folder + SafeFileName(name);
}

extern "C" int WINAPI FsGetFileW(WCHAR* RemoteName, WCHAR* LocalName, int CopyFlags, RemoteInfoStruct*)
{
    if (PluginState().Disabled)
        return FS_FILE_OK;
    try {
        if (!RemoteName || !LocalName)
            return FS_FILE_READERROR;
        FileSystemRedirectionOff redirection;
        return GetFile(RemoteName, LocalName, CopyFlags);
    } catch (...) {
        // A fault in a mapped view included: the views and mappings are
        // released by then.
        return FS_FILE_READERROR;
    }
}
