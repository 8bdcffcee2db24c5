#!/usr/bin/env bash
# Answers whether this machine's kernel executes i386 programs: it writes a
# 96-byte static i386 ELF program that only calls exit(42) through int 0x80,
# and runs it. Exit 0 when the program ran and answered 42; 1 otherwise, with
# the reason on standard output. Some kernels are built or booted with IA-32
# emulation off: there execve of an i386 program fails with ENOEXEC, and no
# 32-bit Wine (nor debootstrap --arch=i386) can run.
# TARNWICK_ASSUME_NO_I386=1 answers "no" without asking (to try test.sh's
# static-only 32-bit section on a machine that does run i386 code).
set -u
if [ "${TARNWICK_ASSUME_NO_I386:-}" = 1 ]; then
    echo "TARNWICK_ASSUME_NO_I386=1 is set"
    exit 1
fi
probe=$(mktemp)
trap 'rm -f "$probe"' EXIT
{
    # ELF header: 32-bit, little-endian, version 1; an executable (2) for
    # i386 (3); entry 0x08048054; program headers at 52, one of 32 bytes.
    printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'
    printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'
    printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'
    # One loadable segment: the whole 96 bytes at 0x08048000, read and execute.
    printf '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'
    printf '\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'
    # mov eax, 1 (exit); mov ebx, 42; int 0x80
    printf '\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80'
} >"$probe"
chmod +x "$probe"
"$probe" 2>/dev/null
rc=$?
if [ $rc -eq 42 ]; then
    exit 0
fi
echo "an i386 program could not run here (exit status $rc; a kernel with IA-32 emulation off refuses it with ENOEXEC)"
exit 1
