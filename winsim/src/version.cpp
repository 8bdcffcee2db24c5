// The system's version and platform.
#include "calls.h"
#include "sim.h"

using namespace winsim::detail;

extern "C" BOOL WINAPI GetVersionExW(LPOSVERSIONINFOW lpVersionInformation)
{
    WINSIM_ENTER("GetVersionExW", {}, FALSE);
    if (!lpVersionInformation)
        return Fail(ERROR_NOACCESS, FALSE);
    // The caller must say which structure it passes; OSVERSIONINFOEXW is 284 bytes.
    DWORD size = lpVersionInformation->dwOSVersionInfoSize;
    if (size != sizeof(OSVERSIONINFOW) && size != 284)
        return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
    const auto& p = TheWorld().process;
    lpVersionInformation->dwMajorVersion = p.major;
    lpVersionInformation->dwMinorVersion = p.minor;
    lpVersionInformation->dwBuildNumber = p.build;
    lpVersionInformation->dwPlatformId = p.platformId;
    lpVersionInformation->szCSDVersion[0] = 0;
    return TRUE;
}
