// The process token and the privileges it holds. A privilege the token does not
// hold cannot be enabled: AdjustTokenPrivileges then still returns TRUE, with
// the last error ERROR_NOT_ALL_ASSIGNED.
#include "calls.h"
#include "handles.h"
#include "pathname.h"
#include "sim.h"

using namespace winsim::detail;

namespace {

struct PrivilegeName {
    const char16_t* name;
    DWORD luid;
};

// The well-known LUIDs of Windows (SE_BACKUP_PRIVILEGE is 17, and so on).
constexpr PrivilegeName kPrivileges[] = {
    {u"SeSecurityPrivilege", 8},  {u"SeTakeOwnershipPrivilege", 9}, {u"SeBackupPrivilege", 17},
    {u"SeRestorePrivilege", 18},  {u"SeShutdownPrivilege", 19},     {u"SeDebugPrivilege", 20},
    {u"SeChangeNotifyPrivilege", 23},
};

HANDLE CurrentProcessPseudoHandle()
{
    return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));
}

}  // namespace

extern "C" HANDLE WINAPI GetCurrentProcess()
{
    return CurrentProcessPseudoHandle();
}

extern "C" BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, PHANDLE TokenHandle)
{
    WINSIM_ENTER("OpenProcessToken", {}, FALSE);
    if (ProcessHandle != CurrentProcessPseudoHandle())
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (!TokenHandle)
        return Fail(ERROR_NOACCESS, FALSE);
    auto token = std::make_shared<TokenObject>();
    token->access = DesiredAccess;
    *TokenHandle = Insert(token);
    return TRUE;
}

extern "C" BOOL WINAPI LookupPrivilegeValueW(LPCWSTR lpSystemName, LPCWSTR lpName, PLUID lpLuid)
{
    WINSIM_ENTER("LookupPrivilegeValueW", ToU16(lpName), FALSE);
    if (lpSystemName && *lpSystemName)
        return Fail(ERROR_BAD_NETPATH, FALSE);  // no other machines in this world
    if (!lpName || !lpLuid)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    for (const auto& p : kPrivileges) {
        if (EqualsNoCase(p.name, lpName)) {
            lpLuid->LowPart = p.luid;
            lpLuid->HighPart = 0;
            return TRUE;
        }
    }
    return Fail(ERROR_NO_SUCH_PRIVILEGE, FALSE);
}

extern "C" BOOL WINAPI AdjustTokenPrivileges(HANDLE TokenHandle, BOOL DisableAllPrivileges,
                                             PTOKEN_PRIVILEGES NewState, DWORD, PTOKEN_PRIVILEGES,
                                             PDWORD)
{
    WINSIM_ENTER("AdjustTokenPrivileges", {}, FALSE);
    auto token = LookupAs<TokenObject>(TokenHandle);
    if (!token)
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (!(token->access & TOKEN_ADJUST_PRIVILEGES))
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    auto& process = TheWorld().process;
    if (DisableAllPrivileges) {
        process.enabledPrivileges.clear();
        return Fail(ERROR_SUCCESS, TRUE);
    }
    if (!NewState)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    bool all = true;
    for (DWORD i = 0; i < NewState->PrivilegeCount; ++i) {
        const auto& entry = NewState->Privileges[i];
        const PrivilegeName* known = nullptr;
        for (const auto& p : kPrivileges)
            if (p.luid == entry.Luid.LowPart && entry.Luid.HighPart == 0)
                known = &p;
        bool held = known && ((known->luid == 17 && process.holdsBackup) ||
                              (known->luid == 18 && process.holdsRestore) || known->luid == 23);
        if (!held) {
            all = false;
            continue;
        }
        if (entry.Attributes & SE_PRIVILEGE_ENABLED)
            process.enabledPrivileges.insert(Upcase(known->name));
        else
            process.enabledPrivileges.erase(Upcase(known->name));
    }
    // Documented: the function succeeds in both cases; only the last error tells
    // whether every privilege was adjusted.
    return Fail(all ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED, TRUE);
}
