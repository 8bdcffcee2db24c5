#include "plugin/dynamic_proc.h"

#include <atomic>

#include "plugin/redirection.h"

namespace {
std::atomic<unsigned> generation{1};
}

FARPROC FindProc(const WCHAR* module, const char* name)
{
    HMODULE m = GetModuleHandleW(module);
    if (!m) {
        // A 32-bit process loads its system DLLs through the redirector.
        FileSystemRedirectionBackOn redirected;
        m = LoadLibraryW(module);  // kept loaded for the process's life
    }
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
