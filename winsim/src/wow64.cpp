// The file-system redirector of a 32-bit process on 64-bit Windows: per
// thread, on until disabled, back as it was when the old value is reverted.
// In a process that is not WOW64 the calls fail with ERROR_INVALID_FUNCTION,
// as 64-bit Windows answers a 64-bit process.
#include <winsim/winsim.h>

#include "calls.h"
#include "handles.h"
#include "pathname.h"
#include "sim.h"

using namespace winsim::detail;

namespace {
// The old values handed out: "was on" and "was already off".
PVOID const kWasOn = reinterpret_cast<PVOID>(static_cast<std::uintptr_t>(0x1));
PVOID const kWasOff = reinterpret_cast<PVOID>(static_cast<std::uintptr_t>(0x2));
}  // namespace

extern "C" BOOL WINAPI Wow64DisableWow64FsRedirection(PVOID* OldValue)
{
    WINSIM_ENTER("Wow64DisableWow64FsRedirection", {}, FALSE);
    if (!TheWorld().process.wow64)
        return Fail(ERROR_INVALID_FUNCTION, FALSE);
    if (!OldValue)
        return Fail(ERROR_NOACCESS, FALSE);
    bool& disabled = RedirectionDisabledOnThisThread();
    *OldValue = disabled ? kWasOff : kWasOn;
    disabled = true;
    return TRUE;
}

extern "C" BOOL WINAPI Wow64RevertWow64FsRedirection(PVOID OldValue)
{
    WINSIM_ENTER("Wow64RevertWow64FsRedirection", {}, FALSE);
    if (!TheWorld().process.wow64)
        return Fail(ERROR_INVALID_FUNCTION, FALSE);
    if (OldValue != kWasOn && OldValue != kWasOff) {
        NoteMisuse("Wow64RevertWow64FsRedirection with a value Wow64DisableWow64FsRedirection did not give");
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    }
    RedirectionDisabledOnThisThread() = OldValue == kWasOff;
    return TRUE;
}

namespace winsim {

void SetWow64(bool wow64)
{
    WorldLock lock(WorldMutex());
    TheWorld().process.wow64 = wow64;
    RedirectionDisabledOnThisThread() = false;
}

bool RedirectionDisabled()
{
    return RedirectionDisabledOnThisThread();
}

}  // namespace winsim
