#include "transfer/guarded_move.h"

#include <stdexcept>
#include <type_traits>

#include "transfer/move_bytes.h"

namespace {

// The instruction pointer of a thread's registers: Rip on x64, Eip on x86.
template <typename Context>
auto& InstructionPointer(Context& context)
{
    if constexpr (requires { context.Rip; })
        return context.Rip;
    else
        return context.Eip;
}

}  // namespace

bool ResumeAfterMoveFault(CONTEXT& context)
{
    auto& ip = InstructionPointer(context);
    using Address = std::remove_reference_t<decltype(ip)>;
    if (ip != reinterpret_cast<Address>(MoveBytesFaultAt))
        return false;
    ip = reinterpret_cast<Address>(MoveBytesResume);
    return true;
}

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
