// The DLL's entry point: only the genuine plugin has one. Tests call
// OnProcessAttach and OnProcessDetach themselves.
#include <windows.h>

#include "plugin/plugin_state.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        OnProcessAttach(instance);
        break;
    case DLL_PROCESS_DETACH:
        OnProcessDetach();
        break;
    default:
        break;
    }
    return TRUE;
}
