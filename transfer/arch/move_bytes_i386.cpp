// MoveBytesOrFault for 32-bit Windows (cdecl: the arguments on the stack, C
// names with a leading underscore). edi and esi belong to the caller, so they
// wait in eax and edx: the routine stays a leaf that never moves the stack
// pointer.
#include "transfer/move_bytes.h"

asm(R"(
    .text
    .globl _MoveBytesOrFault
    .def _MoveBytesOrFault; .scl 2; .type 32; .endef
_MoveBytesOrFault:
    movl %edi, %eax
    movl %esi, %edx
    movl 4(%esp), %edi
    movl 8(%esp), %esi
    movl 12(%esp), %ecx
    .globl _MoveBytesFaultAt
_MoveBytesFaultAt:
    rep movsb
    .globl _MoveBytesResume
_MoveBytesResume:
    movl %eax, %edi
    movl %edx, %esi
    movl %ecx, %eax
    ret
)");
