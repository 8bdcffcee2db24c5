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

// The stream's own name in a stream path: after the stream colon (the one
// after the drive colon), up to ":$DATA". A name listed without its type
// (":name", as a name too long for the record is) is the whole rest; any
// other type there leaves no name.
WString StreamName(const WString& streamPath)
{
    std::size_t driveColon = streamPath.find(':');
    if (driveColon == WString::npos)
        return {};
    std::size_t streamColon = streamPath.find(':', driveColon + 1);
    if (streamColon == WString::npos)
        return {};
    WString rest = streamPath.substr(streamColon + 1);
    std::size_t type = rest.find(TEXT(":$DATA"));
    if (type != WString::npos)
        return rest.substr(0, type);
    return rest.find(':') == WString::npos ? rest : WString();
}

// The special stream a stream path names ("C:\d\f.txt::$EA_DATA"): the
// file and the kind; nothing for an entry of no kind the listing shows.
struct SpecialStream {
    WString File;
    TStreamId Kind;
};

std::optional<SpecialStream> SpecialStreamOf(const WString& streamPath)
{
    std::size_t at = streamPath.find(TEXT("::"));
    std::optional<TStreamId> kind = KindOfUnnamedEntry(WStringView(streamPath).substr(at));
    if (!kind)
        return std::nullopt;
    return SpecialStream{streamPath.substr(0, at), *kind};
}

// An entry of a directory that is neither a stream nor "::$DATA" reaches
// FsGetFileW only when the listing showed it as a file: a link to a
// directory. Copying through it would copy (and a move delete) its target.
bool NamesDirectoryLink(const WString& remote, const ResolvedStreamPath& source)
{
    if (source.IsStream || EqualsAsciiNoCase(EntryName(remote), TEXT("::$DATA")))
        return false;
    return InspectLocal(source.Path).Kind == LocalKind::DirectoryLink;
}

int GetFile(WCHAR* remoteName, WCHAR* localName, int copyFlags)
{
    const WString remote = remoteName;
    const ResolvedStreamPath source = ResolveStreamPath(remote);
    if (NamesDirectoryLink(remote, source))
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
    std::optional<SpecialStream> special;
    if (source.IsStream && NamesUnnamedStream(source.Path)) {
        // A special stream: its body as the backup API gives it.
        special = SpecialStreamOf(source.Path);
        if (!special)
            return FS_FILE_READERROR;
        copy = [&] { return BackupStreamCopy(special->File, special->Kind, target, remoteName, localName, move); };
    } else {
        // The stream is read as the listing read it, so that what it showed
        // can be copied: past an ACL for an elevated user, and beside a
        // program that writes the file.
        MappedCopyOptions options;
        options.clearing.beforeSourceMapping = true;
        options.durable = move;
        options.sourceAsListed = true;
        copy = [&, options] { return MappedCopy(source.Path, target, remoteName, localName, options); };
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
    ResolvedStreamPath r = ResolveStreamPath(remoteName);
    if (r.IsStream) {
        // "::$EA_DATA", "::" and the other kinds have no name of their own:
        // the host's proposal stays.
        if (!NamesUnnamedStream(r.Path)) {
            WString stream = StreamName(r.Path);
            if (!stream.empty())
                name = stream;
        }
    } else if (EntryName(remoteName) == TEXT("::$DATA")) {
        name = NamePart(r.Path);
    }
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
