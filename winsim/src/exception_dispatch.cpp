// Vectored exception handlers over POSIX signals. The handlers see the
// faulting thread's registers (from the signal's ucontext) as a CONTEXT, and a
// handler that answers EXCEPTION_CONTINUE_EXECUTION resumes the thread with the
// registers it left there: the signal handler writes them back and returns,
// so the dispatch completes as it does on Windows. The signal handler runs on
// the faulting thread's own stack (no SA_ONSTACK) and without blocking the
// signal (SA_NODEFER), so that a test's handler may also leave by a long jump.
// Faults outside the registered ranges go to whatever handler was installed
// before (the sanitizers' or the default), as a crash should.
#include "exception_dispatch.h"

#include <signal.h>
#include <ucontext.h>

#include <atomic>
#include <cstring>
#include <mutex>

#include "calls.h"
#include "sim.h"

// AddressSanitizer, when linked in: the stack frames that a long jump out of
// the handler skips must lose their poisoning.
extern "C" void __asan_handle_no_return() __attribute__((weak));

namespace winsim::detail {

namespace {

constexpr int kSlots = 64;

struct Range {
    std::atomic<std::uintptr_t> begin{0};
    std::atomic<std::uintptr_t> end{0};
    std::atomic<DWORD> code{0};
};

Range ranges[kSlots];
// In call order. A handle is the registration's number, not its slot: the
// slots shift as handlers come and go.
struct Registration {
    std::atomic<PVECTORED_EXCEPTION_HANDLER> fn{nullptr};
    std::atomic<std::uintptr_t> id{0};
};
Registration handlers[kSlots];
std::uintptr_t nextId = 0x1000;

void Move(Registration& to, const Registration& from)
{
    to.fn.store(from.fn.load());
    to.id.store(from.id.load());
}

struct sigaction previousSegv;
struct sigaction previousBus;

// The x64 registers between the signal's ucontext and Windows' CONTEXT.
struct RegisterMap {
    DWORD64 CONTEXT::*field;
    int greg;
};
constexpr RegisterMap kRegisters[] = {
    {&CONTEXT::Rax, REG_RAX}, {&CONTEXT::Rcx, REG_RCX}, {&CONTEXT::Rdx, REG_RDX}, {&CONTEXT::Rbx, REG_RBX},
    {&CONTEXT::Rsp, REG_RSP}, {&CONTEXT::Rbp, REG_RBP}, {&CONTEXT::Rsi, REG_RSI}, {&CONTEXT::Rdi, REG_RDI},
    {&CONTEXT::R8, REG_R8},   {&CONTEXT::R9, REG_R9},   {&CONTEXT::R10, REG_R10}, {&CONTEXT::R11, REG_R11},
    {&CONTEXT::R12, REG_R12}, {&CONTEXT::R13, REG_R13}, {&CONTEXT::R14, REG_R14}, {&CONTEXT::R15, REG_R15},
    {&CONTEXT::Rip, REG_RIP},
};

void ToContext(const ucontext_t& from, CONTEXT& to)
{
    for (const RegisterMap& r : kRegisters)
        to.*r.field = static_cast<DWORD64>(from.uc_mcontext.gregs[r.greg]);
    to.EFlags = static_cast<DWORD>(from.uc_mcontext.gregs[REG_EFL]);
}

void FromContext(const CONTEXT& from, ucontext_t& to)
{
    for (const RegisterMap& r : kRegisters)
        to.uc_mcontext.gregs[r.greg] = static_cast<greg_t>(from.*r.field);
    to.uc_mcontext.gregs[REG_EFL] = static_cast<greg_t>(from.EFlags);
}

bool FindRange(std::uintptr_t address, DWORD& code)
{
    for (auto& r : ranges) {
        std::uintptr_t b = r.begin.load(std::memory_order_acquire);
        if (b != 0 && address >= b && address < r.end.load(std::memory_order_acquire)) {
            code = r.code.load(std::memory_order_acquire);
            return true;
        }
    }
    return false;
}

void PassOn(int signal, siginfo_t* info, void* context)
{
    const struct sigaction& previous = signal == SIGBUS ? previousBus : previousSegv;
    if ((previous.sa_flags & SA_SIGINFO) && previous.sa_sigaction) {
        previous.sa_sigaction(signal, info, context);
        return;
    }
    if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN && previous.sa_handler) {
        previous.sa_handler(signal);
        return;
    }
    // The default action: returning re-runs the access, which now kills the
    // process, as an unhandled exception ends a Windows process.
    signal == SIGBUS ? sigaction(SIGBUS, &previousBus, nullptr) : sigaction(SIGSEGV, &previousSegv, nullptr);
}

void OnFault(int signal, siginfo_t* info, void* context)
{
    auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    DWORD code = 0;
    if (!FindRange(address, code)) {
        PassOn(signal, info, context);
        return;
    }
    auto* thread = static_cast<ucontext_t*>(context);
    CONTEXT registers{};
    ToContext(*thread, registers);
    EXCEPTION_RECORD record{};
    record.ExceptionCode = code;
    record.ExceptionAddress = reinterpret_cast<PVOID>(registers.Rip);
    record.NumberParameters = code == EXCEPTION_IN_PAGE_ERROR ? 3 : 2;
    record.ExceptionInformation[0] = 0;  // read or write is not told apart
    record.ExceptionInformation[1] = address;
    record.ExceptionInformation[2] = 0xC000009D;  // STATUS_DEVICE_NOT_CONNECTED
    EXCEPTION_POINTERS pointers{&record, &registers};
    for (auto& slot : handlers) {
        PVECTORED_EXCEPTION_HANDLER h = slot.fn.load(std::memory_order_acquire);
        if (!h)
            continue;
        // A handler that leaves by a long jump skips the frames between here
        // and its jump buffer: AddressSanitizer must forget their poisoning.
        if (__asan_handle_no_return)
            __asan_handle_no_return();
        if (h(&pointers) == EXCEPTION_CONTINUE_EXECUTION) {
            FromContext(registers, *thread);
            return;
        }
    }
    PassOn(signal, info, context);
}

void InstallOnce()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action;
        std::memset(&action, 0, sizeof(action));
        action.sa_sigaction = OnFault;
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        sigaction(SIGSEGV, &action, &previousSegv);
        sigaction(SIGBUS, &action, &previousBus);
    });
}

}  // namespace

void RegisterFaultingRange(void* begin, std::size_t size, DWORD code)
{
    InstallOnce();
    for (auto& r : ranges) {
        if (r.begin.load() == 0) {
            r.code.store(code);
            r.end.store(reinterpret_cast<std::uintptr_t>(begin) + size);
            r.begin.store(reinterpret_cast<std::uintptr_t>(begin), std::memory_order_release);
            return;
        }
    }
}

void UnregisterFaultingRange(void* begin)
{
    for (auto& r : ranges)
        if (r.begin.load() == reinterpret_cast<std::uintptr_t>(begin))
            r.begin.store(0, std::memory_order_release);
}

void ResetExceptionHandlers()
{
    for (auto& slot : handlers) {
        slot.fn.store(nullptr);
        slot.id.store(0);
    }
}

std::vector<std::string> ExceptionHandlerLeaks()
{
    std::vector<std::string> leaks;
    for (auto& slot : handlers)
        if (slot.fn.load())
            leaks.push_back("vectored exception handler (release with RemoveVectoredExceptionHandler)");
    return leaks;
}

}  // namespace winsim::detail

using namespace winsim::detail;

extern "C" PVOID WINAPI AddVectoredExceptionHandler(ULONG First, PVECTORED_EXCEPTION_HANDLER Handler)
{
    WINSIM_ENTER("AddVectoredExceptionHandler", {}, PVOID{});
    if (!Handler)
        return nullptr;
    InstallOnce();
    if (handlers[kSlots - 1].fn.load())
        return Fail(ERROR_NOT_ENOUGH_MEMORY, PVOID{});
    int at = 0;
    if (First) {
        for (int i = kSlots - 1; i > 0; --i)
            Move(handlers[i], handlers[i - 1]);
    } else {
        while (handlers[at].fn.load())
            ++at;
    }
    std::uintptr_t id = nextId;
    nextId += 0x10;
    handlers[at].id.store(id);
    handlers[at].fn.store(Handler, std::memory_order_release);
    return reinterpret_cast<PVOID>(id);
}

extern "C" ULONG WINAPI RemoveVectoredExceptionHandler(PVOID Handle)
{
    WINSIM_ENTER("RemoveVectoredExceptionHandler", {}, ULONG{0});
    auto id = reinterpret_cast<std::uintptr_t>(Handle);
    for (int i = 0; i < kSlots; ++i) {
        if (id != 0 && handlers[i].id.load() == id && handlers[i].fn.load()) {
            for (int j = i; j + 1 < kSlots; ++j)
                Move(handlers[j], handlers[j + 1]);
            handlers[kSlots - 1].fn.store(nullptr);
            handlers[kSlots - 1].id.store(0);
            return 1;
        }
    }
    return 0;
}
