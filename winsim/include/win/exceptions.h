// Structured exceptions as far as the plugin meets them: vectored exception
// handlers, and the two codes of a mapped view whose pages cannot be read or
// written (an access violation, an in-page error on a removed medium).
#pragma once

#include "win/types.h"

typedef void* PVOID;

#define EXCEPTION_ACCESS_VIOLATION (static_cast<DWORD>(0xC0000005L))
#define EXCEPTION_IN_PAGE_ERROR (static_cast<DWORD>(0xC0000006L))
#define EXCEPTION_CONTINUE_SEARCH 0
#define EXCEPTION_CONTINUE_EXECUTION (-1)
#define EXCEPTION_EXECUTE_HANDLER 1
#define EXCEPTION_MAXIMUM_PARAMETERS 15

typedef struct _EXCEPTION_RECORD {
    DWORD ExceptionCode;
    DWORD ExceptionFlags;
    struct _EXCEPTION_RECORD* ExceptionRecord;
    PVOID ExceptionAddress;
    DWORD NumberParameters;
    ULONG_PTR ExceptionInformation[EXCEPTION_MAXIMUM_PARAMETERS];
} EXCEPTION_RECORD, *PEXCEPTION_RECORD;

// The integer registers of an x64 thread, by Windows' names (the machine is
// x86-64). A handler that answers EXCEPTION_CONTINUE_EXECUTION resumes the
// thread with the registers as it left them, as on Windows.
typedef struct _CONTEXT {
    DWORD ContextFlags;
    DWORD EFlags;
    DWORD64 Rax, Rcx, Rdx, Rbx, Rsp, Rbp, Rsi, Rdi;
    DWORD64 R8, R9, R10, R11, R12, R13, R14, R15;
    DWORD64 Rip;
} CONTEXT, *PCONTEXT;

typedef struct _EXCEPTION_POINTERS {
    PEXCEPTION_RECORD ExceptionRecord;
    PCONTEXT ContextRecord;
} EXCEPTION_POINTERS, *PEXCEPTION_POINTERS;

typedef LONG(WINAPI* PVECTORED_EXCEPTION_HANDLER)(struct _EXCEPTION_POINTERS* ExceptionInfo);

extern "C" {
// A fault in memory that winsim made unreadable (a view of a file whose
// medium is gone) reaches these handlers as on Windows, with the faulting
// thread's registers; a handler may change them and continue execution. Any other fault is none of winsim's business.
PVOID WINAPI AddVectoredExceptionHandler(ULONG First, PVECTORED_EXCEPTION_HANDLER Handler);
ULONG WINAPI RemoveVectoredExceptionHandler(PVOID Handle);
}
