// FsPutFileW: a local file copied into the plugin's file system, as a file of
// a directory or as a named stream of a file, through the mapped copy engine.
#include "transfer/upload.h"

#include <algorithm>

#include "config/messages.h"
#include "fileops/delete_tree.h"
#include "plugin/host_bridge.h"
#include "plugin/paths.h"
#include "plugin/plugin_state.h"
#include "plugin/redirection.h"
#include "streams/stream_kinds.h"
#include "transfer/host_copy.h"
#include "transfer/system_error.h"
#include "transfer/transfer_exports.h"

namespace {

// The host's RemoteName buffer holds 260 characters with the null.
constexpr std::size_t kRemoteNameCapacity = 260;

// Only a target that cannot be created or mapped is worth a message. The host
// still hears the failure: after an edit it would otherwise delete its
// temporary copy, the only one that holds the user's changes.
OutcomeAnswer AnswerFor(TCopyOutcome outcome)
{
    switch (outcome) {
    case coSourceOpenFailed:
        return {std::nullopt, FS_FILE_NOTFOUND};
    case coSourceSizeFailed:
    case coSourceMappingFailed:
    case coSourceViewFailed:
        return {std::nullopt, FS_FILE_READERROR};
    case coTargetCreateFailed:
    case coTargetMappingFailed:
        return {Msg::WriteError, FS_FILE_WRITEERROR};
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

// Position, counted from 1, of the last backslash; 0 without one.
std::size_t LastBackslashPosition(const WString& s)
{
    std::size_t i = s.rfind('\\');
    return i == WString::npos ? 0 : i + 1;
}

int PutFile(const WCHAR* localName, WCHAR* remoteName, int copyFlags)
{
    const WString local = localName;
    const WString remote = remoteName;
    if (LastBackslashPosition(remote) <= 2) {
        ShowHostMessage(Message(Msg::NoCopyToRoot));
        return FS_FILE_NOTSUPPORTED;
    }
    if (!FileExistsLong(local))
        return FS_FILE_NOTFOUND;
    std::optional<UploadTarget> target = ResolveUploadTarget(remote);
    if (!target)
        return FS_FILE_NOTFOUND;
    if (target->Special) {
        ShowHostMessage(Message(Msg::NotSupported));
        return FS_FILE_NOTSUPPORTED;
    }
    const bool targetExists = FileExistsLong(target->Path);
    if (targetExists && !(copyFlags & FS_COPYFLAGS_OVERWRITE)) {
        CopyTruncated(WStringView(target->ReportedName), remoteName, kRemoteNameCapacity);
        return FS_FILE_EXISTS;
    }

    // A new file gets a name Windows' own rules accept: the long form that
    // creates it would skip them and leave a file Explorer cannot open.
    if (!targetExists && !IsStreamPath(target->Path) && !IsNameWindowsAccepts(NamePart(target->Path))) {
        SetLastError(ERROR_INVALID_NAME);
        ReportSystemError(Msg::WriteError);
        return FS_FILE_WRITEERROR;
    }
    // A file copied or moved onto itself (another letter case, its short
    // name, another of its names) is already where it is to go; a move must
    // not then delete it.
    if (targetExists && SameFile(local, target->Path))
        return FS_FILE_OK;

    const WCHAR* targetName = target->Path.c_str();
    MappedCopyOptions options;
    options.clearing.beforeTargetCreate = true;
    options.clearing.beforeTargetMapping = true;
    // A move deletes its source: the copy must be on the disk first.
    options.durable = (copyFlags & FS_COPYFLAGS_MOVE) != 0;
    auto copy = [&] { return MappedCopy(local, target->Path, localName, targetName, options); };
    if (std::optional<int> failed = CopyForHost(copy, localName, targetName, false, AnswerFor))
        return *failed;
    if ((copyFlags & FS_COPYFLAGS_MOVE) && !DeleteFileOrDirectoryLong(local)) {
        ReportSystemError(Msg::DeleteError);
        return FS_FILE_WRITEERROR;
    }
    return FS_FILE_OK;
}

}  // namespace

std::optional<UploadTarget> ResolveUploadTarget(const WString& remoteName)
{
    const std::size_t k = LastBackslashPosition(remoteName);
    const WString p = PluginToLocalPath(remoteName);
    WString n = k >= 1 && k - 1 <= p.size() ? p.substr(k - 1) : WString();
    const WString d = k >= 2 ? p.substr(0, std::min(k - 2, p.size())) : WString();

    const bool isDirectory = DirectoryExistsLong(d);
    if (!isDirectory && !FileExistsLong(d))
        return std::nullopt;

    UploadTarget t;
    // The entries of a file's folder without a name of their own.
    if (std::optional<TStreamId> kind = isDirectory ? std::nullopt : KindOfUnnamedEntry(n)) {
        t.ReportedName = TEXT("\\") + d + TEXT("\\") + n;
        if (*kind == TStreamId::siStandard)
            t.Path = d;
        else
            t.Special = true;
        return t;
    }

    const bool namedWithColon = !n.empty() && n.front() == ':';
    if (namedWithColon)
        n.erase(0, 1);
    // A name the host cannot show with colons: "_name_$DATA".
    if (n.find(':') == WString::npos && n.find('$') != WString::npos && std::count(n.begin(), n.end(), '_') == 2)
        std::replace(n.begin(), n.end(), WCHAR('_'), WCHAR(':'));

    if (namedWithColon || !isDirectory) {
        const auto colons = std::count(n.begin(), n.end(), ':');
        if (colons == 0)
            t.Path = d + TEXT(":") + n + TEXT(":$DATA");
        else if (colons == 1 && n.front() == ':')
            t.Path = d + n + TEXT(":$DATA");
        else if (colons == 1)
            t.Path = d + TEXT(":") + n;
        else
            t.Path = d + n;
        t.ReportedName = TEXT("\\") + t.Path;
    } else {
        // An ordinary file: the host's own name, underscores and all.
        t.Path = p;
        t.ReportedName = TEXT("\\") + d + TEXT("\\") + n;
    }
    return t;
}

extern "C" int WINAPI FsPutFileW(WCHAR* LocalName, WCHAR* RemoteName, int CopyFlags)
{
    if (PluginState().Disabled)
        return FS_FILE_OK;
    try {
        if (!LocalName || !RemoteName)
            return FS_FILE_READERROR;
        FileSystemRedirectionOff redirection;
        return PutFile(LocalName, RemoteName, CopyFlags);
    } catch (...) {
        // A fault in a mapped view included: the views and mappings are
        // released by then.
        return FS_FILE_READERROR;
    }
}

// Copies in both directions may run on the host's background thread: every
// export is safe beside the others, and each operation's record is its
// thread's own. No BG_ASK_USER: there is no connection to ask about.
extern "C" int WINAPI FsGetBackgroundFlags()
{
    return BG_DOWNLOAD | BG_UPLOAD;
}
