// Module handles and exports. The plugin finds a few functions by name at run
// time (GetProcAddress), as it must for functions that older systems lack; the
// table below is what the simulated system DLLs export that way.
#include <algorithm>
#include <cctype>
#include <cstring>

#include <winsim/winsim.h>

#include "calls.h"
#include "handles.h"
#include "pathname.h"
#include "sim.h"

using namespace winsim::detail;

namespace {

struct SystemModule {
    const char* name;  // lower case
    std::uintptr_t handle;
};

constexpr SystemModule kModules[] = {
    {"kernel32.dll", 0x7FF80000}, {"advapi32.dll", 0x7FF90000}, {"user32.dll", 0x7FFA0000},
    {"shell32.dll", 0x7FFB0000},  {"comctl32.dll", 0x7FFC0000}, {"ole32.dll", 0x7FFD0000},
};

template <typename F>
FARPROC AsFarProc(F* f)
{
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(f));
}

struct Export {
    const char* module;
    const char* function;
    FARPROC address;
    DWORD sinceMajor = 0;  // the first Windows major version whose DLL exports it
};

const std::vector<Export>& Exports()
{
    static const std::vector<Export> exports = {
        {"advapi32.dll", "AdjustTokenPrivileges", AsFarProc(&AdjustTokenPrivileges)},
        {"kernel32.dll", "GetLongPathNameW", AsFarProc(&GetLongPathNameW)},
        {"kernel32.dll", "BackupSeek", AsFarProc(&BackupSeek)},
        {"kernel32.dll", "SetThreadErrorMode", AsFarProc(&SetThreadErrorMode), 6},
        {"kernel32.dll", "GetFinalPathNameByHandleW", AsFarProc(&GetFinalPathNameByHandleW), 6},
        {"kernel32.dll", "Wow64DisableWow64FsRedirection", AsFarProc(&Wow64DisableWow64FsRedirection), 5},
        {"kernel32.dll", "Wow64RevertWow64FsRedirection", AsFarProc(&Wow64RevertWow64FsRedirection), 5},
        {"comctl32.dll", "LoadIconWithScaleDown", AsFarProc(&LoadIconWithScaleDown), 6},
    };
    return exports;
}

std::string Lower(std::string s)
{
    for (auto& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

const SystemModule* ByName(LPCWSTR name)
{
    std::string n = Lower(Narrow(ToU16(name)));
    if (n.find('.') == std::string::npos)
        n += ".dll";
    for (const auto& m : kModules)
        if (n == m.name)
            return &m;
    return nullptr;
}

const SystemModule* ByHandle(HMODULE h)
{
    for (const auto& m : kModules)
        if (reinterpret_cast<std::uintptr_t>(h) == m.handle)
            return &m;
    return nullptr;
}

}  // namespace

extern "C" HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName)
{
    WINSIM_ENTER("GetModuleHandleW", ToU16(lpModuleName), nullptr);
    if (!lpModuleName)
        return reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(0x00400000));  // the host's exe
    if (auto m = ByName(lpModuleName))
        return reinterpret_cast<HMODULE>(m->handle);
    return Fail(ERROR_MOD_NOT_FOUND, HMODULE{});
}

extern "C" HMODULE WINAPI LoadLibraryW(LPCWSTR lpLibFileName)
{
    // System DLLs are always loaded in this world; loading one again only
    // returns its handle (reference counts are not modelled).
    WINSIM_ENTER("LoadLibraryW", ToU16(lpLibFileName), nullptr);
    if (!lpLibFileName)
        return Fail(ERROR_INVALID_PARAMETER, HMODULE{});
    // A 32-bit process with its redirector off would load the 64-bit DLL of
    // System32 and fail (ERROR_BAD_EXE_FORMAT).
    if (TheWorld().process.wow64 && RedirectionDisabledOnThisThread()) {
        NoteMisuse("LoadLibraryW with the file-system redirector off");
        return Fail(ERROR_BAD_EXE_FORMAT, HMODULE{});
    }
    if (auto m = ByName(lpLibFileName))
        return reinterpret_cast<HMODULE>(m->handle);
    return Fail(ERROR_MOD_NOT_FOUND, HMODULE{});
}

extern "C" FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName)
{
    WINSIM_ENTER("GetProcAddress", Widen(lpProcName ? lpProcName : ""), nullptr);
    const SystemModule* m = ByHandle(hModule);
    if (!m)
        return Fail(ERROR_MOD_NOT_FOUND, FARPROC{});
    if (!lpProcName)
        return Fail(ERROR_PROC_NOT_FOUND, FARPROC{});
    if (TheWorld().process.hiddenExports.count({m->name, lpProcName}))
        return Fail(ERROR_PROC_NOT_FOUND, FARPROC{});
    for (const auto& e : Exports())
        if (std::strcmp(e.module, m->name) == 0 && std::strcmp(e.function, lpProcName) == 0 &&
            TheWorld().process.major >= e.sinceMajor)
            return e.address;
    return Fail(ERROR_PROC_NOT_FOUND, FARPROC{});
}

extern "C" DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize)
{
    WINSIM_ENTER("GetModuleFileNameW", {}, 0);
    std::u16string path;
    if (hModule == winsim::PluginModule())
        path = TheWorld().process.modulePath;
    else if (!hModule)
        path = u"C:\\Program Files\\FileManager\\FILEMANAGER64.EXE";
    else if (auto m = ByHandle(hModule))
        path = u"C:\\Windows\\system32\\" + Widen(m->name);
    else
        return Fail(ERROR_MOD_NOT_FOUND, DWORD{0});
    if (nSize == 0 || !lpFilename)
        return Fail(ERROR_INSUFFICIENT_BUFFER, DWORD{0});
    // Since Windows Vista a short buffer gets the truncated path with a zero, the
    // result is nSize and the last error ERROR_INSUFFICIENT_BUFFER.
    if (path.size() >= nSize) {
        std::copy_n(path.begin(), nSize - 1, lpFilename);
        lpFilename[nSize - 1] = 0;
        return Fail(ERROR_INSUFFICIENT_BUFFER, nSize);
    }
    std::copy(path.begin(), path.end(), lpFilename);
    lpFilename[path.size()] = 0;
    return static_cast<DWORD>(path.size());
}
