// MoveBytesOrFault for x64 Windows: target in rcx, source in rdx, count in r8.
// rdi and rsi belong to the caller there, so they wait in r9 and r10 (which do
// not): the routine stays a leaf that never moves the stack pointer, so the
// system unwinds through it without unwind data of its own.
#include "transfer/move_bytes.h"

asm(R"(
    .text
    .globl MoveBytesOrFault
    .def MoveBytesOrFault; .scl 2; .type 32; .endef
MoveBytesOrFault:
    movq %rdi, %r9
    movq %rsi, %r10
    movq %rcx, %rdi
    movq %rdx, %rsi
    movq %r8, %rcx
    .globl MoveBytesFaultAt
MoveBytesFaultAt:
    rep movsb
    .globl MoveBytesResume
MoveBytesResume:
    movq %rcx, %rax
    movq %r9, %rdi
    movq %r10, %rsi
    ret
)");
