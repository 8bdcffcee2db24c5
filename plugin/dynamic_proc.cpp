#include "plugin/dynamic_proc.h"

#include <atomic>

namespace {
std::atomic<unsigned> generation{1};
}

FARPROC FindProc(const WCHAR* module, const char* name)
{
    HMODULE m = GetModuleHandleW(module);
    if (!m)
        m = LoadLibraryW(module);  // kept loaded for the process's life
    return m ? GetProcAddress(m, name) : nullptr;
}

void ForgetDynamicProcs()
{
    generation.fetch_add(1, std::memory_order_acq_rel);
}

unsigned DynamicProcGeneration()
{
    return generation.load(std::memory_order_acquire);
}
