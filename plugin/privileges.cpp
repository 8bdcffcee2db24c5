#include "plugin/privileges.h"

#include <stdexcept>

#include "plugin/dynamic_proc.h"
#include "plugin/win_owner.h"

namespace {

using AdjustTokenPrivilegesFn = BOOL WINAPI(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES, PDWORD);

DynamicProc<AdjustTokenPrivilegesFn>& AdjustTokenPrivilegesProc()
{
    static DynamicProc<AdjustTokenPrivilegesFn> proc(TEXT("advapi32.dll"), "AdjustTokenPrivileges");
    return proc;
}

}  // namespace

bool IsNtPlatform()
{
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExW(&info))
        throw std::runtime_error("GetVersionExW failed");
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

bool EnablePrivilege(bool enable, const WCHAR* privilegeName)
{
    if (!IsNtPlatform())
        return true;  // nothing to enable before the NT family
    AdjustTokenPrivilegesFn* adjust = AdjustTokenPrivilegesProc().Get();

    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &raw))
        return false;
    UniqueKernelHandle token(raw);

    TOKEN_PRIVILEGES privileges{};
    if (!LookupPrivilegeValueW(nullptr, privilegeName, &privileges.Privileges[0].Luid))
        return false;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;

    // AdjustTokenPrivileges succeeds even when the token lacks the privilege;
    // only the last error (ERROR_NOT_ALL_ASSIGNED) tells.
    adjust(token.Get(), FALSE, &privileges, sizeof(privileges), nullptr, nullptr);
    return GetLastError() == ERROR_SUCCESS;
}
