#include "transfer/guarded_move.h"

#include <stdexcept>

#include "transfer/move_bytes.h"

namespace {

// Runs inside the system's exception dispatch, on any thread that faults while
// the guard lives: it allocates nothing, reads no thread-local state and
// leaves every other exception to the handlers after it.
LONG WINAPI OnMoveFault(EXCEPTION_POINTERS* info)
{
    DWORD code = info->ExceptionRecord->ExceptionCode;
    if ((code == EXCEPTION_ACCESS_VIOLATION || code == EXCEPTION_IN_PAGE_ERROR) &&
        ResumeAfterMoveFault(*info->ContextRecord))
        return EXCEPTION_CONTINUE_EXECUTION;
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

FaultGuard::FaultGuard() : handler_(AddVectoredExceptionHandler(1, OnMoveFault))
{
    if (!handler_)
        throw std::runtime_error("the fault handler for mapped views cannot be registered");
}

bool MoveBytesGuarded(void* target, const void* source, std::size_t n)
{
    return MoveBytesOrFault(target, source, n) == 0;
}
