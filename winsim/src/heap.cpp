#include "heap.h"

#include <cstdlib>
#include <cstring>

#include "calls.h"
#include "handles.h"

namespace winsim::detail {

namespace {

std::map<void*, SIZE_T>& Blocks()
{
    static std::map<void*, SIZE_T> blocks;
    return blocks;
}

HANDLE ProcessHeap()
{
    return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x00A40000));
}

}  // namespace

void ResetHeap()
{
    for (auto& [block, size] : Blocks())
        std::free(block);
    Blocks().clear();
}

std::vector<std::string> HeapLeaks()
{
    std::vector<std::string> leaks;
    for (const auto& [block, size] : Blocks())
        leaks.push_back("heap block of " + std::to_string(size) + " bytes (release with HeapFree)");
    return leaks;
}

}  // namespace winsim::detail

using namespace winsim::detail;

extern "C" HANDLE WINAPI GetProcessHeap()
{
    return ProcessHeap();
}

extern "C" LPVOID WINAPI HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes)
{
    // Without HEAP_GENERATE_EXCEPTIONS a failed HeapAlloc returns null and, as
    // documented, does not set the last error: an injected fault leaves it too.
    WorldLock lock(WorldMutex());
    if (Enter("HeapAlloc"))
        return nullptr;
    if (hHeap != ProcessHeap())
        return nullptr;
    // A request the address space cannot hold fails rather than wrapping.
    if (dwBytes > (static_cast<SIZE_T>(1) << 40))
        return nullptr;
    void* block = std::malloc(dwBytes == 0 ? 1 : dwBytes);
    if (!block)
        return nullptr;
    if (dwFlags & HEAP_ZERO_MEMORY)
        std::memset(block, 0, dwBytes);
    Blocks()[block] = dwBytes;
    return block;
}

extern "C" BOOL WINAPI HeapFree(HANDLE hHeap, DWORD, LPVOID lpMem)
{
    WINSIM_ENTER("HeapFree", {}, FALSE);
    if (lpMem == nullptr)
        return TRUE;
    auto it = Blocks().find(lpMem);
    if (hHeap != ProcessHeap() || it == Blocks().end()) {
        NoteMisuse("HeapFree of a block that is not allocated");
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    }
    std::free(lpMem);
    Blocks().erase(it);
    return TRUE;
}
