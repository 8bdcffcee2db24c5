// MoveBytesOrFault for x86-64 with the System V calling convention (the native
// build): target in rdi, source in rsi, count in rdx. A leaf routine that
// touches neither the stack nor a register the caller keeps.
#include "transfer/move_bytes.h"

asm(R"(
    .text
    .globl MoveBytesOrFault
    .hidden MoveBytesOrFault
    .type MoveBytesOrFault, @function
MoveBytesOrFault:
    movq %rdx, %rcx
    .globl MoveBytesFaultAt
    .hidden MoveBytesFaultAt
MoveBytesFaultAt:
    rep movsb
    .globl MoveBytesResume
    .hidden MoveBytesResume
MoveBytesResume:
    movq %rcx, %rax
    ret
    .size MoveBytesOrFault, . - MoveBytesOrFault
)");
