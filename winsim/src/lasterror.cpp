// The last-error value belongs to the calling thread, as in the TEB on Windows,
// and so does the thread's identifier.
#include <windows.h>

#include <atomic>

namespace {
thread_local DWORD lastError = 0;
std::atomic<DWORD> nextThreadId{0x1000};
thread_local DWORD threadId = 0;
}

// Thread identifiers are never 0 and are unique while the thread runs.
extern "C" DWORD WINAPI GetCurrentThreadId()
{
    if (threadId == 0)
        threadId = nextThreadId.fetch_add(4);
    return threadId;
}

extern "C" DWORD WINAPI GetLastError()
{
    return lastError;
}

extern "C" void WINAPI SetLastError(DWORD dwErrCode)
{
    lastError = dwErrCode;
}
