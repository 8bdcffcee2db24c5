// winsim's internal model: the process-wide world that every simulated Win32
// call reads and changes. One concept per file:
//   content.*     the bytes of a stream
//   node.*        files, directories and their streams on a volume
//   pathname.*    how Win32 turns a path string into a volume and components
//   handles.*     the handle table and what a handle refers to
//   calls.*       the call log and fault injection
//   lasterror.*   the per-thread last-error value
//   files.*       CreateFileW, ReadFile, WriteFile and the attribute calls
//   heap.*        the process heap
//   modules.*     module handles, GetModuleFileNameW, GetProcAddress
//   environment.* environment variables and ExpandEnvironmentStringsW
//   codepage.*    MultiByteToWideChar / WideCharToMultiByte
//   token.*       the process token and its privileges
//   version.*     GetVersionExW
//   world.*       the test API of winsim.h
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "content.h"
#include "node.h"

namespace winsim::detail {

// Every simulated call runs under this lock: the plugin may call from the host's
// icon thread while a test thread is in another call.
std::recursive_mutex& WorldMutex();
using WorldLock = std::lock_guard<std::recursive_mutex>;

struct Volume {
    WCHAR letter = 0;
    std::u16string fileSystem;
    std::shared_ptr<Node> root;
    // What QueryDosDeviceW reports for the letter: empty for an ordinary
    // volume ("\Device\HarddiskVolumeN"), "\??\C:\path" for a substituted
    // drive, the redirector's path for a network drive.
    std::u16string dosTarget;
    // A removable drive without a medium: every volume query fails.
    bool mediumPresent = true;
    // A network drive's share, "\\server\share": UNC paths below it reach
    // this volume.
    std::u16string share;
};

struct ProcessModel {
    std::u16string modulePath;
    std::map<std::u16string, std::pair<std::u16string, std::u16string>> environment;  // upper name -> (name, value)
    std::u16string currentDirectory;  // absolute, no trailing backslash except at a root
    bool holdsBackup = true;
    // Run as an elevated administrator: the volume devices open.
    bool elevated = false;
    // A 32-bit process on 64-bit Windows: the file-system redirector is on.
    bool wow64 = false;
    bool holdsRestore = true;
    std::set<std::u16string> enabledPrivileges;  // upper-case names
    DWORD platformId = VER_PLATFORM_WIN32_NT;
    DWORD major = 6, minor = 1, build = 7601;
    UINT ansiCodePage = 1252;
    std::set<std::pair<std::string, std::string>> hiddenExports;  // (lower module, function)
    std::map<std::u16string, std::vector<int>> iconResources;     // upper-case name -> image edges
};

struct World {
    std::map<WCHAR, Volume> volumes;  // by upper-case letter
    ProcessModel process;
    std::uint64_t clock = 0;  // FILETIME ticks handed to new and changed entries
    UINT errorMode = 0;       // SetErrorMode
    // The local wall clock (GetLocalTime); unset: the world's clock, as UTC.
    std::optional<SYSTEMTIME> localTime;
};

World& TheWorld();

// The world's clock: each call returns a time one second after the last.
FILETIME Now();
// A new file (with an empty unnamed data stream) or directory in a directory.
std::shared_ptr<Node> NewChild(Node& parent, std::u16string_view name, bool directory);

// Case folding as NTFS compares names: ASCII and Latin-1 letters (a simplification
// of the volume's upcase table, enough for the names tests use).
WCHAR Upcase(WCHAR c);
std::u16string Upcase(std::u16string_view s);
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);

std::u16string Widen(std::string_view utf8);
std::string Narrow(std::u16string_view utf16);

// Sets the calling thread's last error and returns the given failure value.
template <typename T>
T Fail(DWORD error, T result)
{
    ::SetLastError(error);
    return result;
}

}  // namespace winsim::detail
