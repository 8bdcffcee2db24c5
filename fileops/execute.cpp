#include "fileops/execute.h"

#include <shellapi.h>

#include <optional>

#include "config/ini.h"
#include "config/language_path.h"
#include "config/messages.h"
#include "config/settings.h"
#include "config/settings_dialog.h"
#include "fileops/create_directory.h"
#include "fileops/delete_tree.h"
#include "plugin/dynamic_proc.h"
#include "plugin/host_bridge.h"
#include "plugin/host_interface.h"
#include "plugin/paths.h"
#include "plugin/plugin_state.h"
#include "plugin/redirection.h"
#include "plugin/win_owner.h"
#include "transfer/system_error.h"

namespace {

constexpr WStringView kOpen = TEXT("open");
constexpr WStringView kProperties = TEXT("properties");
// What the host's RemoteName buffer of FsExecuteFileW holds, with the null.
constexpr std::size_t kMaxHostPath = MAX_PATH;

bool Launched(HINSTANCE result)
{
    return reinterpret_cast<INT_PTR>(result) > 32;
}

using GetFinalPathFn = DWORD WINAPI(HANDLE, LPWSTR, DWORD, DWORD);
DynamicProc<GetFinalPathFn> getFinalPath(TEXT("kernel32.dll"), "GetFinalPathNameByHandleW");

// Where a link to a directory leads, as the host is to go there: the plugin
// path of a local target ("\D:\target"), a share as it is. The system
// resolves the link (relative targets, mount points given by volume name).
std::optional<WString> LinkTarget(const WString& link)
{
    GetFinalPathFn* finalPath = getFinalPath.TryGet();
    if (!finalPath)
        return std::nullopt;
    UniqueFile target(CreateFileW(ToLongPath(link).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!target)
        return std::nullopt;
    WCHAR buffer[kMaxHostPath + 8];
    const DWORD n = finalPath(target.Get(), buffer, kMaxHostPath + 8, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0 || n >= kMaxHostPath + 8)
        return std::nullopt;
    WString path(buffer, n);
    constexpr WStringView kUnc = TEXT("\\\\?\\UNC\\");
    constexpr WStringView kLong = TEXT("\\\\?\\");
    if (path.compare(0, kUnc.size(), kUnc) == 0)
        path = TEXT("\\\\") + path.substr(kUnc.size());
    else if (path.compare(0, kLong.size(), kLong) == 0)
        path = TEXT("\\") + path.substr(kLong.size());
    // The host's buffer holds MAX_PATH characters with the null.
    if (path.size() >= kMaxHostPath)
        return std::nullopt;
    return path;
}

int OpenEntry(HWND mainWin, const WString& remoteName, WCHAR* remoteBuffer)
{
    if (remoteName.size() < 2)
        return FS_EXEC_ERROR;
    ResolvedStreamPath target = ResolveStreamPath(remoteName);
    if (target.IsStream) {
        ShowHostMessage(Message(Msg::NoExecStream));
        return FS_EXEC_ERROR;
    }
    // A link to a directory is listed as a file, so that no recursion goes
    // through it; Enter still takes the user to its target.
    if (!target.Path.empty() && InspectLocal(target.Path).Kind == LocalKind::DirectoryLink) {
        std::optional<WString> destination = LinkTarget(target.Path);
        if (!destination || !remoteBuffer)
            return FS_EXEC_ERROR;
        CopyTruncated(WStringView(*destination), remoteBuffer, kMaxHostPath);
        return FS_EXEC_SYMLINK;
    }
    WString directory = DirectoryPart(target.Path);
    FileSystemRedirectionBackOn shell;
    if (Launched(ShellExecuteW(mainWin, kOpen.data(), target.Path.c_str(), nullptr, directory.c_str(),
                               SW_SHOWNORMAL)))
        return FS_EXEC_OK;
    ShowHostMessage(Message(Msg::CantRun));
    return FS_EXEC_ERROR;
}

int ShowProperties(HWND mainWin, const WString& remoteName)
{
    if (remoteName.size() < 2)
        return FS_EXEC_ERROR;
    ResolvedStreamPath target = ResolveStreamPath(remoteName);
    if (target.IsStream) {
        ShowHostMessage(Message(Msg::NotImplemented));
        return FS_EXEC_OK;
    }
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_INVOKEIDLIST;
    info.hwnd = mainWin;
    info.lpVerb = kProperties.data();
    info.lpFile = target.Path.c_str();
    info.nShow = SW_SHOW;
    FileSystemRedirectionBackOn shell;
    if (ShellExecuteExW(&info))
        return FS_EXEC_OK;
    ReportSystemError(Msg::CantRun, TEXT(": "));
    return FS_EXEC_ERROR;
}

int Launch(HWND mainWin, const WString& remoteName, const WString& line)
{
    // The whole line is the file name: the shell is asked for nothing else.
    WString directory = PluginToLocalPath(remoteName);
    FileSystemRedirectionBackOn shell;
    if (Launched(ShellExecuteW(mainWin, kOpen.data(), line.c_str(), nullptr, directory.c_str(), SW_SHOWNORMAL)))
        return FS_EXEC_OK;
    ShowHostMessage(Message(Msg::CantRun));
    return FS_EXEC_ERROR;
}

// The typed commands run in the current plugin directory, which must be a
// directory (not a file's stream list, not a drive without a medium). The
// process's current directory is not changed for it: it is shared by every
// thread of the host, its background copies among them, and the arguments
// are made absolute before they are used.
bool CommandsCanRunIn(const WString& currentDir)
{
    return DirectoryExistsLong(currentDir);
}

int RunTypedCommand(HWND mainWin, const WString& remoteName, const WString& line)
{
    TypedCommand command = ParseCommandLine(line);
    if (command.Action == TypedCommand::Kind::Launch)
        return Launch(mainWin, remoteName, line);

    WString currentDir = PluginToLocalPath(remoteName);
    WString argument = ResolveCommandArgument(currentDir, command.Argument);
    if (command.Action == TypedCommand::Kind::Delete) {
        // "del" and "rmdir" alike: a file (or stream) is deleted, anything
        // else removed as an empty directory.
        bool isFile = FileExistsLong(argument);
        if (!CommandsCanRunIn(currentDir))
            return FS_EXEC_ERROR;
        bool ok = isFile ? DeleteFileOrDirectoryLong(argument) : RemoveDirectoryLong(argument);
        if (!ok)
            ReportSystemError(Msg::DeleteError, TEXT(": "));
        return FS_EXEC_OK;
    }
    if (!CommandsCanRunIn(currentDir))
        return FS_EXEC_ERROR;
    if (!CreateDirectoryPathLong(argument))
        ReportSystemError(Msg::WriteError, TEXT(": "));
    return FS_EXEC_OK;
}

int ExecuteFile(HWND mainWin, const WString& remoteName, const WString& verb, WCHAR* remoteBuffer)
{
    WString lowerVerb = LowerCaseVerb(verb);
    if (remoteName == TEXT("\\")) {
        // The plugin's root: its properties are the settings dialog.
        // A window of the system's own, and its file-open dialog: as the
        // process would have them.
        FileSystemRedirectionBackOn dialog;
        if (lowerVerb == kProperties && ShowSettingsDialog(mainWin))
            LoadSettings();
        return FS_EXEC_OK;
    }
    if (lowerVerb == kOpen)
        return OpenEntry(mainWin, remoteName, remoteBuffer);
    if (lowerVerb == kProperties)
        return ShowProperties(mainWin, remoteName);

    std::size_t space = lowerVerb.find(' ');
    WStringView command = space == WString::npos ? WStringView() : WStringView(lowerVerb).substr(0, space);
    if (command == TEXT("chmod")) {
        ShowHostMessage(Message(Msg::NotImplemented));
        return FS_EXEC_ERROR;
    }
    if (command != TEXT("quote"))
        return FS_EXEC_ERROR;
    // The command line in the letter case the user typed.
    return RunTypedCommand(mainWin, remoteName, verb.substr(space + 1));
}

}  // namespace

WString LowerCaseVerb(WStringView verb)
{
    WString lower(verb);
    if (!lower.empty())
        CharLowerBuffW(lower.data(), static_cast<DWORD>(lower.size()));
    return lower;
}

TypedCommand ParseCommandLine(WStringView line)
{
    TypedCommand command;
    std::size_t space = line.find(' ');
    if (space == WStringView::npos)
        return command;
    WString word = LowerCaseVerb(line.substr(0, space));
    WStringView argument = TrimBlanks(line.substr(space + 1));
    if (!argument.empty() && argument.front() == '"')
        argument.remove_prefix(1);
    if (!argument.empty() && argument.back() == '"')
        argument.remove_suffix(1);
    if (word == TEXT("del") || word == TEXT("rmdir"))
        command.Action = TypedCommand::Kind::Delete;
    else if (word == TEXT("mkdir"))
        command.Action = TypedCommand::Kind::MakeDirectory;
    else
        return command;
    command.Argument = WString(argument);
    return command;
}

WString ResolveCommandArgument(WStringView currentDirectory, WStringView argument)
{
    // Nothing typed stays nothing: it must not become the current directory.
    // "\\?\..." and UNC paths are absolute as they stand.
    if (argument.empty() || currentDirectory.empty() || argument.substr(0, 2) == TEXT("\\\\") ||
        IsDrivePath(argument))
        return WString(argument);
    WString folder(currentDirectory);
    if (folder.back() != '\\')
        folder += '\\';
    return MakeAbsoluteTo(folder, argument);
}

extern "C" int WINAPI FsExecuteFileW(HWND MainWin, WCHAR* RemoteName, WCHAR* Verb)
{
    if (PluginState().Disabled)
        return FS_EXEC_OK;
    try {
        FileSystemRedirectionOff redirection;
        return ExecuteFile(MainWin, FromHost(RemoteName), FromHost(Verb), RemoteName);
    } catch (...) {
        // Also the empty name of "quote mkdir" with nothing after the word.
        return FS_EXEC_ERROR;
    }
}
