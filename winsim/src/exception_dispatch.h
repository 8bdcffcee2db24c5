// How a fault in simulated memory becomes a Windows exception: winsim makes
// the pages of a view unreadable (as when the medium under a mapped file is
// gone), and the SIGSEGV/SIGBUS that an access raises is dispatched to the
// registered vectored exception handlers with the code Windows would give.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

namespace winsim::detail {

// Accesses in [begin, begin + size) raise the exception `code`.
void RegisterFaultingRange(void* begin, std::size_t size, DWORD code);
void UnregisterFaultingRange(void* begin);
void ResetExceptionHandlers();
std::vector<std::string> ExceptionHandlerLeaks();

}  // namespace winsim::detail
