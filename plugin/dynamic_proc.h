// Functions found by name at their first use (GetProcAddress) and kept for
// later calls, for the few that some supported systems lack.
#pragma once

#include <windows.h>

#include <atomic>
#include <stdexcept>

// Raised when a looked-up function does not exist; the calling export turns it
// into its failure result.
class MissingProcError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Resolves a function of a system module, loading the module when it is not
// loaded yet; null when it cannot be found.
FARPROC FindProc(const WCHAR* module, const char* name);

// Every cached lookup is resolved again after this (called at unload).
void ForgetDynamicProcs();
unsigned DynamicProcGeneration();

// The host calls some exports from its background thread while the main
// thread runs others, so two threads may resolve the same function at once:
// both find the same address, and the address is published before the
// generation that marks it valid, so no thread ever sees a stale or missing one.
template <typename Fn>
class DynamicProc {
public:
    DynamicProc(const WCHAR* module, const char* name) : module_(module), name_(name) {}

    // The function, or null when the system lacks it.
    Fn* TryGet()
    {
        const unsigned current = DynamicProcGeneration();
        if (generation_.load(std::memory_order_acquire) != current) {
            proc_.store(reinterpret_cast<Fn*>(reinterpret_cast<void*>(FindProc(module_, name_))),
                        std::memory_order_relaxed);
            generation_.store(current, std::memory_order_release);
        }
        return proc_.load(std::memory_order_relaxed);
    }

    Fn* Get()
    {
        Fn* f = TryGet();
        if (!f)
            throw MissingProcError(name_);
        return f;
    }

private:
    const WCHAR* module_;
    const char* name_;
    std::atomic<Fn*> proc_{nullptr};
    // The generation proc_ was resolved in; 0 is none (generations start at 1).
    std::atomic<unsigned> generation_{0};
};
