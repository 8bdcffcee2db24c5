// Moving bytes between two mapped views when a page may fail underneath: a
// removed medium, a failing disk or a file cut short by another program turns
// an access to a view into an access violation or an in-page error. GCC has no
// __try; a vectored exception handler recognises a fault on the moving
// instruction by its address alone and lets the thread continue after it
// (move_bytes.h), so the system's dispatch always completes.
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
