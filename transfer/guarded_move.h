// Moving bytes between two mapped views when a page may fail underneath: a
// removed medium or a failing disk turns an access to a view into an access
// violation or an in-page error. GCC has no __try, so a vectored exception
// handler jumps back to the start of the move, for the move's own thread only
// and only while the move runs.
#pragma once

#include <cstddef>

#include "plugin/win_owner.h"

// Keeps the handler registered for its lifetime.
class FaultGuard {
public:
    // Throws when the handler cannot be registered: the bytes must not move
    // unguarded.
    FaultGuard();

private:
    UniqueVectoredHandler handler_;
};

// Copies n bytes; false when a page of either side could not be read or
// written (some bytes may have moved). Needs a live FaultGuard.
bool MoveBytesGuarded(void* target, const void* source, std::size_t n);
