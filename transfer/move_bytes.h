// The one instruction that moves bytes between two mapped views, and how a
// fault on it is survived. A view's page may fail underneath (a removed medium,
// a file cut short by another program, a full disk), and the system reports
// that as an access violation or an in-page error on the moving instruction.
// The exception handler then points the faulting thread past that instruction
// and lets it continue: the system's dispatch completes as usual, nothing is
// unwound, and no state is needed to recognise the fault but the instruction's
// address.
//
// Each architecture and calling convention has its own short routine; the
// build picks the one for the target (transfer/arch/).
#pragma once

#include <windows.h>

#include <cstddef>

extern "C" {
// Moves n bytes from source to target with one "rep movsb"; answers how many
// were left unmoved: 0 when all moved, more when a page faulted and the
// handler resumed the routine.
std::size_t MoveBytesOrFault(void* target, const void* source, std::size_t n);
// The routine's moving instruction, and the instruction after it.
extern const char MoveBytesFaultAt[];
extern const char MoveBytesResume[];
}

// When the faulting thread stands on MoveBytesOrFault's moving instruction:
// moves it to the instruction after it (which answers the count left) and
// says so. Any other context is left alone.
bool ResumeAfterMoveFault(CONTEXT& context);
