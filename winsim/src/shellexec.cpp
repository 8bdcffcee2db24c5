// ShellExecuteW and ShellExecuteExW record what they were asked and answer as
// the shell would: a file that exists (or a program on the search path) opens,
// anything else fails with "file not found"; a test can make every launch fail
// with a chosen error. SetCurrentDirectoryW changes the process-wide current
// directory by Windows' rules.
#include <winsim/winsim.h>

#include <set>

#include "calls.h"
#include "pathname.h"
#include "shellexec.h"
#include "sim.h"

using namespace winsim::detail;

namespace {

struct ShellState {
    std::vector<winsim::ShellCall> calls;
    std::set<std::u16string> programs;  // upper case
    std::optional<DWORD> failure;
};

ShellState& Shell()
{
    static ShellState state;
    return state;
}

// What ShellExecuteW returns for a system error.
INT_PTR ShellExecuteCode(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
        return SE_ERR_FNF;
    case ERROR_PATH_NOT_FOUND:
        return SE_ERR_PNF;
    case ERROR_ACCESS_DENIED:
        return SE_ERR_ACCESSDENIED;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return SE_ERR_OOM;
    case ERROR_SHARING_VIOLATION:
        return SE_ERR_SHARE;
    case ERROR_NO_ASSOCIATION:
        return SE_ERR_NOASSOC;
    default:
        return error <= 32 ? static_cast<INT_PTR>(error) : SE_ERR_ACCESSDENIED;
    }
}

// A name with a drive ("C:\x", "C:") or a UNC name is not looked for in the
// given directory.
bool IsAbsolute(const std::u16string& p)
{
    return (p.size() >= 2 && p[1] == u':') || (p.size() >= 2 && p[0] == u'\\' && p[1] == u'\\');
}

// The error of a launch of file, 0 when the shell finds something to open.
DWORD LaunchError(const std::u16string& file, const std::u16string& directory)
{
    if (Shell().failure)
        return *Shell().failure;
    // A name of nothing but blanks names no file.
    if (file.find_first_not_of(u' ') == std::u16string::npos)
        return ERROR_FILE_NOT_FOUND;
    if (Shell().programs.count(Upcase(file)))
        return 0;
    std::u16string full = file;
    if (!IsAbsolute(file) && !directory.empty())
        full = directory + (directory.back() == u'\\' ? u"" : u"\\") + file;
    ResolvedPath r = Resolve(full.c_str());
    if (r.error != 0)
        return r.error == ERROR_INVALID_NAME ? ERROR_FILE_NOT_FOUND : r.error;
    if (!r.node)
        return r.missing;
    if (r.hasStream && !r.node->FindNamed(r.streamName))
        return ERROR_FILE_NOT_FOUND;
    return 0;
}

}  // namespace

namespace winsim::detail {

void ResetShellExecute()
{
    Shell() = ShellState{};
}

}  // namespace winsim::detail

extern "C" HINSTANCE WINAPI ShellExecuteW(HWND hwnd, LPCWSTR lpOperation, LPCWSTR lpFile, LPCWSTR lpParameters,
                                          LPCWSTR lpDirectory, INT nShowCmd)
{
    WINSIM_ENTER("ShellExecuteW", ToU16(lpFile), reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(SE_ERR_ACCESSDENIED)));
    Shell().calls.push_back({"ShellExecuteW", hwnd, ToU16(lpOperation), ToU16(lpFile), ToU16(lpParameters),
                             ToU16(lpDirectory), nShowCmd, 0, 0, true});
    DWORD error = LaunchError(ToU16(lpFile), ToU16(lpDirectory));
    if (error != 0) {
        SetLastError(error);
        return reinterpret_cast<HINSTANCE>(ShellExecuteCode(error));
    }
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));
}

extern "C" BOOL WINAPI ShellExecuteExW(SHELLEXECUTEINFOW* info)
{
    WINSIM_ENTER("ShellExecuteExW", info ? ToU16(info->lpFile) : std::u16string(), FALSE);
    if (!info || info->cbSize != sizeof(SHELLEXECUTEINFOW))
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    bool zero = !info->hInstApp && !info->lpIDList && !info->lpClass && !info->hkeyClass && !info->dwHotKey &&
                !info->hIcon && !info->hProcess;
    Shell().calls.push_back({"ShellExecuteExW", info->hwnd, ToU16(info->lpVerb), ToU16(info->lpFile),
                             ToU16(info->lpParameters), ToU16(info->lpDirectory), info->nShow, info->fMask,
                             info->cbSize, zero});
    DWORD error = LaunchError(ToU16(info->lpFile), ToU16(info->lpDirectory));
    if (error != 0) {
        info->hInstApp = reinterpret_cast<HINSTANCE>(ShellExecuteCode(error));
        return Fail(error, FALSE);
    }
    info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));
    return TRUE;
}

extern "C" BOOL WINAPI SetCurrentDirectoryW(LPCWSTR lpPathName)
{
    WINSIM_ENTER("SetCurrentDirectoryW", ToU16(lpPathName), FALSE);
    if (!lpPathName || !*lpPathName)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    // The current directory has a length limit of its own (below): a longer
    // path is refused for that, not as a path that was not found.
    ResolvedPath r = ResolveForTest(ToU16(lpPathName));
    if (r.error != 0)
        return Fail(r.error, FALSE);
    if (r.volumeDevice)
        return Fail(ERROR_DIRECTORY, FALSE);
    if (!r.node)
        return Fail(r.missing, FALSE);
    // A file or a stream is no directory: "The directory name is invalid."
    if (!r.node->directory || r.hasStream || r.explicitUnnamed)
        return Fail(ERROR_DIRECTORY, FALSE);
    auto target = FollowLink(r.node);
    if (!target)
        return Fail(ERROR_FILE_NOT_FOUND, FALSE);
    if (r.node->denyAccess || target->denyAccess)
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    std::u16string path = r.LocalPath();
    // The current directory is held with its trailing backslash in a buffer
    // of MAX_PATH characters.
    if (path.size() + 2 > MAX_PATH)
        return Fail(ERROR_FILENAME_EXCED_RANGE, FALSE);
    winsim::SetCurrentDirectory(path);
    return TRUE;
}

extern "C" DWORD WINAPI GetCurrentDirectoryW(DWORD nBufferLength, LPWSTR lpBuffer)
{
    WINSIM_ENTER("GetCurrentDirectoryW", {}, DWORD{0});
    const std::u16string& cwd = TheWorld().process.currentDirectory;
    if (!lpBuffer || nBufferLength <= cwd.size())
        return static_cast<DWORD>(cwd.size() + 1);
    std::copy(cwd.begin(), cwd.end(), lpBuffer);
    lpBuffer[cwd.size()] = 0;
    return static_cast<DWORD>(cwd.size());
}

namespace winsim {

std::vector<ShellCall> ShellCalls()
{
    WorldLock lock(WorldMutex());
    return Shell().calls;
}

void AddProgram(std::u16string_view name)
{
    WorldLock lock(WorldMutex());
    Shell().programs.insert(Upcase(name));
}

void FailShellExecute(DWORD error)
{
    WorldLock lock(WorldMutex());
    Shell().failure = error;
}

std::u16string CurrentDirectory()
{
    WorldLock lock(WorldMutex());
    return TheWorld().process.currentDirectory;
}

}  // namespace winsim
