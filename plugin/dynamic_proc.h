// Functions found by name at their first use (GetProcAddress) and kept for
// later calls, for the few that some supported systems lack.
#pragma once

#include <windows.h>

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

template <typename Fn>
class DynamicProc {
public:
    DynamicProc(const WCHAR* module, const char* name) : module_(module), name_(name) {}

    // The function, or null when the system lacks it.
    Fn* TryGet()
    {
        if (generation_ != DynamicProcGeneration() || !resolved_) {
            proc_ = reinterpret_cast<Fn*>(reinterpret_cast<void*>(FindProc(module_, name_)));
            resolved_ = true;
            generation_ = DynamicProcGeneration();
        }
        return proc_;
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
    Fn* proc_ = nullptr;
    bool resolved_ = false;
    unsigned generation_ = 0;
};
