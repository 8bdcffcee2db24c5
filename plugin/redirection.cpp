#include "plugin/redirection.h"

#include "plugin/dynamic_proc.h"

namespace {

using DisableFn = BOOL WINAPI(PVOID*);
using RevertFn = BOOL WINAPI(PVOID);

// kernel32 is loaded in every process: finding these never loads a library.
DynamicProc<DisableFn>& Disable()
{
    static DynamicProc<DisableFn> proc(TEXT("kernel32.dll"), "Wow64DisableWow64FsRedirection");
    return proc;
}

DynamicProc<RevertFn>& Revert()
{
    static DynamicProc<RevertFn> proc(TEXT("kernel32.dll"), "Wow64RevertWow64FsRedirection");
    return proc;
}

// The guard in force on this thread, innermost first.
thread_local FileSystemRedirectionOff* current = nullptr;

}  // namespace

FileSystemRedirectionOff::FileSystemRedirectionOff() : outer_(current)
{
    DWORD error = GetLastError();
    DisableFn* disable = Disable().TryGet();
    RevertFn* revert = Revert().TryGet();
    // Both or neither: a redirector that cannot be put back is not touched.
    off_ = disable && revert && disable(&old_);
    current = this;
    SetLastError(error);
}

FileSystemRedirectionOff::~FileSystemRedirectionOff()
{
    DWORD error = GetLastError();
    if (off_)
        Revert().TryGet()(old_);
    current = outer_;
    SetLastError(error);
}

FileSystemRedirectionBackOn::FileSystemRedirectionBackOn()
{
    FileSystemRedirectionOff* off = current;
    if (!off || !off->off_)
        return;
    DWORD error = GetLastError();
    if (Revert().TryGet()(off->old_))
        off_ = off;
    SetLastError(error);
}

FileSystemRedirectionBackOn::~FileSystemRedirectionBackOn()
{
    if (!off_)
        return;
    DWORD error = GetLastError();
    off_->off_ = Disable().TryGet()(&off_->old_);
    SetLastError(error);
}
