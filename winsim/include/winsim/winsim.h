// The test side of winsim: building a world for the plugin to run in, injecting
// failures into platform calls, and reading what the plugin did.
//
// Everything here is for tests only. The plugin never includes this header; it
// sees winsim only through the ordinary Win32 declarations of <windows.h>.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace winsim {

// ---------------------------------------------------------------- the world
// Throws away every volume, handle, fault and log entry and starts again with a
// default process: Windows 6.1.7601 of the NT family, both backup privileges held
// by the token (not enabled), ANSI code page 1252, no volumes, no environment
// variables, the plugin module at C:\plugins\NTFSTarnwick.wfx64 (the volume C: is
// not created by Reset: a test adds the volumes it wants).
void Reset();

// A volume on a drive letter with the given file-system name ("NTFS", "ntfs",
// "FAT32"). Its root directory exists at once.
void AddVolume(WCHAR letter, std::u16string_view fileSystem = u"NTFS");

// Creates a directory and any missing parents. The path is an absolute local path.
void AddDirectory(std::u16string_view path);
// Creates (or replaces the contents of) a file; parents are created as needed.
void AddFile(std::u16string_view path, std::string_view contents = {},
             DWORD attributes = FILE_ATTRIBUTE_ARCHIVE);
// A file of any size whose bytes are a deterministic pattern (PatternByte) and are
// never materialised: a 5 GiB file costs no memory until bytes are written to it.
void AddPatternFile(std::u16string_view path, std::uint64_t size, std::uint32_t seed = 1);
// A junction (mount point) at path, a new directory entry that leads to the
// existing directory target. Walks through it reach the target's entries.
void AddJunction(std::u16string_view path, std::u16string_view target);
// A symbolic link to a directory: a junction with the tag of a symbolic link.
void AddDirectorySymlink(std::u16string_view path, std::u16string_view target);
// A named data stream on an existing file or directory; name without colons.
void AddStream(std::u16string_view path, std::u16string_view streamName, std::string_view contents);
// The byte at an offset of a pattern file made with the given seed.
std::uint8_t PatternByte(std::uint32_t seed, std::uint64_t offset);

bool Exists(std::u16string_view path);
// The contents of a file, or of a stream when the path has a ":name" suffix;
// nullopt when it does not exist. Only for contents that fit in memory.
std::optional<std::string> Contents(std::u16string_view path);
DWORD Attributes(std::u16string_view path);  // INVALID_FILE_ATTRIBUTES when missing
void SetAttributes(std::u16string_view path, DWORD attributes);
// Every open of this file or directory fails with ERROR_ACCESS_DENIED, as for an
// entry whose security descriptor denies the caller, and so does its directory
// search; only an open with backup semantics and the backup privilege enabled
// (for writing: the restore privilege) passes, as on Windows.
void DenyAccess(std::u16string_view path);
// An 8.3 alias for the last component of an existing entry, answered by
// GetLongPathNameW and accepted by every path lookup.
void SetShortName(std::u16string_view path, std::u16string_view shortName);

// A symbolic link to a file at path (a new entry with a reparse point of tag
// IO_REPARSE_TAG_SYMLINK). Opening it reaches the target; the target need not exist.
void AddFileSymlink(std::u16string_view path, std::u16string_view target);
// A second name (a hard link) at path for the existing file at existing, on the
// same volume: one file, its data and its streams reached by both names.
void AddHardLink(std::u16string_view path, std::u16string_view existing);
// A file carrying a reparse point of a tag that no filter of the system
// handles (an AppExecLink, a WSL link, a deduplicated file without the
// feature): opening it fails with ERROR_CANT_ACCESS_FILE unless the reparse
// point itself is asked for (FILE_FLAG_OPEN_REPARSE_POINT).
void AddReparseFile(std::u16string_view path, DWORD tag, std::string_view contents = {});

// The three times of an existing entry.
struct EntryTimes {
    FILETIME creation;
    FILETIME lastAccess;
    FILETIME lastWrite;
};
EntryTimes Times(std::u16string_view path);
void SetTimes(std::u16string_view path, const EntryTimes& times);

// ---------------------------------------------------------------- the process
// The plugin's own module handle, as DllMain would receive it.
HMODULE PluginModule();
void SetModulePath(std::u16string_view path);
void SetEnvironment(std::u16string_view name, std::u16string_view value);
void SetCurrentDirectory(std::u16string_view path);
// Which privileges the process token holds (a held privilege can be enabled).
void SetPrivilegesHeld(bool backup, bool restore);
// The process is 32-bit on 64-bit Windows: every file call of a thread whose
// redirector is on sees C:\Windows\System32 as C:\Windows\SysWOW64 (the test's
// own calls here are never redirected). RedirectionDisabled: the calling
// thread's redirector is off (left off after an export, it is a leak).
void SetWow64(bool wow64);
bool RedirectionDisabled();
// The process runs as an elevated administrator: "\\?\C:" (the volume
// device) opens, and reads see the raw volume.
void SetElevated(bool elevated);
bool PrivilegeEnabled(std::u16string_view name);
void SetPlatform(DWORD platformId, DWORD major = 6, DWORD minor = 1, DWORD build = 7601);
// The system's ANSI code page: 1252 (Western), 1251 (Cyrillic) or 65001 (UTF-8).
void SetAnsiCodePage(UINT codePage);
// Makes GetProcAddress fail for one export, as on a system that lacks it.
void HideExport(std::string_view module, std::string_view function);

// ---------------------------------------------------------------- icons
// An icon group resource of the plugin module with one image per edge length
// (16 and 32 for the plugin's own icons), as its resource script builds it.
void AddIconResource(std::u16string_view name, std::vector<int> edges);
// What an icon handle stands for, while it has not been destroyed.
struct IconInfo {
    std::string loader;     // the call that made it: "LoadIconWithScaleDown", "LoadImageW", "SHGetFileInfoW"
    std::u16string origin;  // the resource name, or the full path the shell gave the icon for
    int width = 0;
    int height = 0;
    int imageEdge = 0;      // the resource image it was drawn from; 0 for the shell's icons
};
std::optional<IconInfo> DescribeIcon(HICON icon);

// ---------------------------------------------------------------- faults
// The nth call (1 = the next one) of the named function from now on fails with
// the given error and the function's own failure result.
void FailCall(std::string_view function, DWORD error, int nth = 1);
// Every call of the named function from now on fails, until Reset.
void FailAlways(std::string_view function, DWORD error);
// Runs `action` once, on the calling thread, as the nth call (1 = the next
// one) of the named function from now on enters, before the call does its
// work: what another thread or the host would do at that moment.
void BeforeCall(std::string_view function, int nth, std::function<void()> action);

// ---------------------------------------------------------------- the call log
struct Call {
    std::string function;
    std::u16string argument;  // the path or name the call was given, if any
};
std::vector<Call> CallLog();
void ClearCallLog();
std::size_t CountCalls(std::string_view function);

// What the plugin left behind: open handles and heap blocks, one line each.
// A test that ends with anything here has leaked.
std::vector<std::string> Leaks();

// ---------------------------------------------------------------- backup streams
// What BackupRead reports for a file or directory, in Windows' order: the
// security descriptor (when the caller asks for security through a handle that
// may read it, READ_CONTROL or GENERIC_READ: no privilege needed), EA data, the unnamed data stream (files only, also
// when empty), the named streams in creation order, the object identifier, the
// reparse data of a junction, then the streams added with AddBackupStream.
void SetEaData(std::u16string_view path, std::uint64_t size);
void SetObjectId(std::u16string_view path);
// Makes an existing file sparse (FILE_ATTRIBUTE_SPARSE_FILE) with these
// allocated ranges (offset, length) of its data; the rest reads as zeros.
// BackupRead then gives, as MS-BKUP describes it, a DATA header with
// STREAM_SPARSE_ATTRIBUTE whose size is not the stream's length (0 here),
// then one SPARSE_BLOCK stream per range: an 8-byte offset and the bytes.
void MakeSparse(std::u16string_view path, std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges);
// A named data stream of any size whose bytes are a pattern, never materialised.
void AddPatternStream(std::u16string_view path, std::u16string_view streamName, std::uint64_t size,
                      std::uint32_t seed = 1);
struct BackupStreamSpec {
    DWORD id = 0;
    DWORD attributes = 0;
    std::u16string name;
    std::uint64_t size = 0;
    // The name length the header announces, when it differs from the name's
    // UTF-16 bytes: the bytes are cut or padded with zeros to it, so odd
    // lengths can be made. A length beyond what follows is a corrupt header:
    // BackupRead delivers the bytes the stream really holds.
    std::optional<DWORD> nameBytes;
};
// A further stream of any identifier (kinds NTFS has no object for here, and
// identifiers of 10 and more), after all the others.
void AddBackupStream(std::u16string_view path, const BackupStreamSpec& entry);
// Bytes BackupRead has delivered (headers, names and bodies alike) since the
// last ResetBackupCounters.
std::uint64_t BackupBytesRead();
void ResetBackupCounters();

// ---------------------------------------------------------------- file mappings
// The volume has this many bytes left: a file mapping that would extend a file
// further fails with ERROR_DISK_FULL. Without a call a volume has room for anything.
void SetFreeSpace(WCHAR letter, std::uint64_t bytes);
// The device of a volume pulled out and put back (a USB stick, a lost
// share): every stream keeps only what reached the medium, that is what was
// written before its last FlushFileBuffers; what was only in the cache (file
// writes, views written back by UnmapViewOfFile or FlushViewOfFile) is gone,
// and nobody is told.
void PullOutDevice(WCHAR letter);
// The medium under a file (or stream) goes away: every view mapped from now on
// that reaches at or beyond fromOffset has pages that cannot be read or
// written; touching them raises exceptionCode to the vectored exception
// handlers (EXCEPTION_IN_PAGE_ERROR as on a removed medium, or
// EXCEPTION_ACCESS_VIOLATION). The path may name a file that does not exist
// yet (in an existing folder): the rule holds for whatever file has that path
// when a view is mapped.
void FaultViews(std::u16string_view path, DWORD exceptionCode = EXCEPTION_IN_PAGE_ERROR,
                std::uint64_t fromOffset = 0);
// Bytes of all views mapped now, and the most mapped at once since Reset.
std::uint64_t MappedViewBytes();
std::uint64_t PeakMappedViewBytes();
// What a file's (or stream's) contents cost in memory, and a slice of them:
// for files too large to read whole with Contents.
std::uint64_t ResidentBytes(std::u16string_view path);
std::uint64_t Size(std::u16string_view path);
std::string ReadBytes(std::u16string_view path, std::uint64_t offset, std::size_t count);

// ---------------------------------------------------------------- drives
// A drive letter substituted onto a directory of another volume (subst): its
// target is "\??\" + target, its volume is the target's.
void AddSubstDrive(WCHAR letter, std::u16string_view target);
// A network drive mapped to \\server\share; the server reports fileSystem.
// UNC paths below the share ("\\server\share\x", "\\?\UNC\server\share\x")
// reach the same volume.
void AddNetworkDrive(WCHAR letter, std::u16string_view share, std::u16string_view fileSystem = u"NTFS");
// A removable drive (an optical drive) without a medium: QueryDosDeviceW
// answers, every volume query fails with ERROR_NOT_READY. Querying it while
// the error mode lacks SEM_FAILCRITICALERRORS would raise the system's
// critical-error dialog: Leaks() reports that.
void AddEmptyRemovableDrive(WCHAR letter);
UINT ErrorMode();

// ---------------------------------------------------------------- the clock
// The local wall-clock time GetLocalTime returns from now on.
void SetLocalTime(const SYSTEMTIME& local);

// UTF-8 for messages in test output.
std::string Narrow(std::u16string_view text);

// ---------------------------------------------------------------- windows and dialogs
// A dialog template among the plugin's resources, as the resource compiler
// puts it into the DLL: DialogBoxParamW finds it by its identifier and makes
// its controls with their texts. Controls are listed in template (tab) order.
struct DialogControl {
    int id;
    std::u16string text;
};
void AddDialogTemplate(int id, std::u16string caption, std::vector<DialogControl> controls);

// The host's main window: a visible top-level window on the one monitor.
HWND MainWindow();
// The screen's density in pixels per inch (96 after Reset).
void SetScreenDpi(int dpi);
// The user drags a shown dialog to a monitor of another density: the screen
// now has that density, and the dialog gets WM_DPICHANGED with the rectangle
// the system suggests (its rectangle scaled).
void MoveDialogToDpi(HWND dialog, int dpi);

// What the user does while a modal dialog is shown: called once, after the
// dialog procedure has handled WM_INITDIALOG, with the dialog's window. If the
// dialog is still open when the script returns, the user closes it with the
// close box. Without a script the close box is used at once.
void SetDialogScript(std::function<void(HWND dialog)> script);
struct DialogRecord {
    HWND owner;
    int templateId;    // the resource identifier the dialog was created from
    INT_PTR result;    // what DialogBoxParamW returned
};
std::vector<DialogRecord> Dialogs();

// Inside a script: the dialog's title or a control's text, as the window shows it.
std::u16string WindowText(HWND window);
std::u16string DialogItemText(HWND dialog, int id);
bool DialogItemChecked(HWND dialog, int id);
// Where a window was last placed (screen coordinates for the dialog, client
// coordinates of the dialog for a control).
RECT WindowRect(HWND window);
// The user's actions: typing into an edit field, ticking a check box (the box
// changes state; the dialog is told nothing until a button is pressed),
// pressing a push button (WM_COMMAND with BN_CLICKED), the close box (WM_CLOSE,
// which the dialog manager turns into IDCANCEL when the procedure leaves it).
void TypeDialogItemText(HWND dialog, int id, std::u16string_view text);
void TickDialogItem(HWND dialog, int id, bool checked);
void ClickDialogButton(HWND dialog, int id);
void PressCloseBox(HWND dialog);
bool DialogOpen(HWND dialog);

struct MessageBoxRecord {
    HWND owner;
    std::u16string text;
    std::u16string caption;
    UINT type;
};
// Every MessageBoxW shown; each is answered with IDOK.
std::vector<MessageBoxRecord> MessageBoxes();

struct OpenFileRecord {
    HWND owner;
    std::u16string title;
    std::u16string filter;  // NUL separators shown as "|", the final double NUL dropped
    std::u16string initialDir;
    std::u16string fileName;  // the buffer's contents when the dialog opened
    std::u16string defaultExtension;
    DWORD flags;
    DWORD maxFile;
};
// Every GetOpenFileNameW shown.
std::vector<OpenFileRecord> OpenFileDialogs();
// How the following file-open dialogs answer: the chosen file's full path, or
// nullopt for Cancel (the default).
void SetOpenFileAnswer(std::optional<std::u16string> path);

// ---------------------------------------------------------------- the shell's launches
struct ShellCall {
    std::string function;  // "ShellExecuteW" or "ShellExecuteExW"
    HWND owner;
    std::u16string verb;
    std::u16string file;
    std::u16string parameters;
    std::u16string directory;
    int show;
    ULONG mask;        // ShellExecuteExW only
    DWORD structSize;  // ShellExecuteExW only
    bool zeroElsewhere;  // ShellExecuteExW: every field not named above was zero
};
// Every launch asked of the shell, in order.
std::vector<ShellCall> ShellCalls();
// A program the shell finds on the search path by its bare name ("notepad.exe").
void AddProgram(std::u16string_view name);
// Every later launch fails with this system error (ShellExecuteW answers with
// the matching SE_ERR_ value), until Reset. Without it a launch succeeds when
// the file exists (relative names in the given directory) or is a program.
void FailShellExecute(DWORD error);
// The process's current directory.
std::u16string CurrentDirectory();

}  // namespace winsim
