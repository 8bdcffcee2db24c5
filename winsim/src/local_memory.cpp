#include "local_memory.h"

#include <cstdlib>
#include <cstring>
#include <map>

#include "calls.h"
#include "handles.h"
#include "sim.h"

namespace winsim::detail {

namespace {

std::map<void*, SIZE_T>& Blocks()
{
    static std::map<void*, SIZE_T> blocks;
    return blocks;
}

}  // namespace

HLOCAL AllocateLocal(SIZE_T bytes)
{
    void* block = std::calloc(bytes == 0 ? 1 : bytes, 1);
    if (!block)
        return nullptr;
    Blocks()[block] = bytes;
    return static_cast<HLOCAL>(block);
}

void ResetLocalMemory()
{
    for (auto& [block, size] : Blocks())
        std::free(block);
    Blocks().clear();
}

std::vector<std::string> LocalMemoryLeaks()
{
    std::vector<std::string> leaks;
    for (const auto& [block, size] : Blocks())
        leaks.push_back("local memory block of " + std::to_string(size) + " bytes (release with LocalFree)");
    return leaks;
}

}  // namespace winsim::detail

using namespace winsim::detail;

extern "C" HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes)
{
    WINSIM_ENTER("LocalAlloc", {}, HLOCAL{});
    if (uFlags & ~LPTR)
        return Fail(ERROR_INVALID_PARAMETER, HLOCAL{});  // movable blocks are not modelled
    HLOCAL block = AllocateLocal(uBytes);
    return block ? block : Fail(ERROR_NOT_ENOUGH_MEMORY, HLOCAL{});
}

extern "C" HLOCAL WINAPI LocalFree(HLOCAL hMem)
{
    // Success is a null result; a block that is not allocated is handed back
    // with ERROR_INVALID_HANDLE.
    WINSIM_ENTER("LocalFree", {}, hMem);
    if (!hMem)
        return nullptr;
    auto it = Blocks().find(static_cast<void*>(hMem));
    if (it == Blocks().end()) {
        NoteMisuse("LocalFree of a block that is not allocated");
        return Fail(ERROR_INVALID_HANDLE, hMem);
    }
    std::free(it->first);
    Blocks().erase(it);
    return nullptr;
}
