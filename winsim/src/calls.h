// The call log and fault injection. Every simulated API that the plugin calls
// begins with Enter(name, argument): the call is logged, and if a test armed a
// fault for it, Enter returns the error to fail with.
#pragma once

#include "sim.h"

namespace winsim::detail {

std::optional<DWORD> Enter(const char* function, std::u16string_view argument = {});
void ResetCalls();

}  // namespace winsim::detail

// The common opening of a simulated API: take the world's lock, log the call,
// and return the failure result with the injected error if one is armed.
#define WINSIM_ENTER(name, argument, failure)                          \
    ::winsim::detail::WorldLock winsimLock(::winsim::detail::WorldMutex()); \
    if (auto injected = ::winsim::detail::Enter(name, argument))       \
    return ::winsim::detail::Fail(*injected, failure)
