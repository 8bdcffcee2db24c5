// The file-system redirector: on 64-bit Windows every file call of a 32-bit
// process goes to SysWOW64 when it names %windir%\System32, so the 32-bit
// plugin would list, copy from and delete in another folder than the one the
// user sees. The exports turn it off around their own file-system work. The
// calls exist from Windows XP x64 on and are found at run time; in a 64-bit
// process, or where they are missing, the guard does nothing.
#pragma once

#include <windows.h>

// Turns the redirector off for the calling thread while it lives, and back to
// what it was on every way out (keeping the last error).
class FileSystemRedirectionOff {
public:
    FileSystemRedirectionOff();
    ~FileSystemRedirectionOff();
    FileSystemRedirectionOff(const FileSystemRedirectionOff&) = delete;
    FileSystemRedirectionOff& operator=(const FileSystemRedirectionOff&) = delete;

private:
    friend class FileSystemRedirectionBackOn;
    PVOID old_ = nullptr;
    bool off_ = false;
    FileSystemRedirectionOff* outer_ = nullptr;
};

// Inside a FileSystemRedirectionOff: the redirector as it was, for library
// loads (a 32-bit process must load the 32-bit system DLLs) and shell calls
// (the shell finds its own way). Does nothing outside one.
class FileSystemRedirectionBackOn {
public:
    FileSystemRedirectionBackOn();
    ~FileSystemRedirectionBackOn();
    FileSystemRedirectionBackOn(const FileSystemRedirectionBackOn&) = delete;
    FileSystemRedirectionBackOn& operator=(const FileSystemRedirectionBackOn&) = delete;

private:
    FileSystemRedirectionOff* off_ = nullptr;
};
