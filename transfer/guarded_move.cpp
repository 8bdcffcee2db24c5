#include "transfer/guarded_move.h"

#include <atomic>
#include <cstring>
#include <stdexcept>

namespace {

// The jump buffer of the move running on this thread; null outside a move.
thread_local void** volatile armedJump = nullptr;

LONG WINAPI OnMoveFault(EXCEPTION_POINTERS* info)
{
    void** jump = armedJump;
    DWORD code = info->ExceptionRecord->ExceptionCode;
    if (!jump || (code != EXCEPTION_ACCESS_VIOLATION && code != EXCEPTION_IN_PAGE_ERROR))
        return EXCEPTION_CONTINUE_SEARCH;
    armedJump = nullptr;
    __builtin_longjmp(jump, 1);
}

}  // namespace

FaultGuard::FaultGuard() : handler_(AddVectoredExceptionHandler(1, OnMoveFault))
{
    if (!handler_)
        throw std::runtime_error("the fault handler for mapped views cannot be registered");
}

// Not inlined: the jump buffer must belong to a frame that is live for the
// whole move and holds nothing that needs unwinding.
__attribute__((noinline)) bool MoveBytesGuarded(void* target, const void* source, std::size_t n)
{
    void* jump[5];
    if (__builtin_setjmp(jump) != 0)
        return false;
    armedJump = jump;
    // The compiler must neither drop the arming as a dead store nor move the
    // copy out from between arming and disarming.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    std::memcpy(target, source, n);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    armedJump = nullptr;
    return true;
}
