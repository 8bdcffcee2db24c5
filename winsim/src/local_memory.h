// The local heap (LocalAlloc / LocalFree): blocks are tracked so that a test
// sees a system-allocated buffer, such as FormatMessageW's, that was never freed.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

namespace winsim::detail {

// A block as the system allocates it for a caller (FORMAT_MESSAGE_ALLOCATE_BUFFER).
HLOCAL AllocateLocal(SIZE_T bytes);
void ResetLocalMemory();
std::vector<std::string> LocalMemoryLeaks();

}  // namespace winsim::detail
