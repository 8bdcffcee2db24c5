#include "plugin/dynamic_proc.h"

namespace {
unsigned generation = 1;
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
    ++generation;
}

unsigned DynamicProcGeneration()
{
    return generation;
}
