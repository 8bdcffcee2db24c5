// The end-to-end suite's side of the command-line host: runs
// C:\tarnwick\tarnwick-host.exe on a copy of the genuine DLL and reads what it
// printed. Windows programs only (built with MinGW, run under Wine).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace e2e {

struct HostRun {
    DWORD exitCode = 0;
    std::vector<std::string> lines;

    bool Has(const std::string& line) const;
    // The lines that begin with prefix, without it.
    std::vector<std::string> After(const std::string& prefix) const;
    // The first such line, or "(none)".
    std::string First(const std::string& prefix) const;
    // The export the DLL lacks, or empty.
    std::string MissingExport() const;
    std::string Text() const;  // every line, for failure messages
};

// Runs the host with the plugin and the arguments (each quoted for the
// command line) and waits for it.
// abortAt: the host answers "abort" to that progress report (0: never);
// options: further host options, put in front of the plugin.
HostRun RunHost(const std::wstring& plugin, const std::vector<std::wstring>& arguments, int abortAt = 0,
                const std::vector<std::wstring>& options = {});

// The genuine DLL of this program's own architecture: the .wfx64 for a 64-bit
// program, the .wfx for a 32-bit one (the host loads only its own kind).
const wchar_t* GenuineDllName();

// UTF-8 of a UTF-16 string, and back.
std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& utf8);

// Files through Win32, as the tests make and inspect them.
void WriteBytes(const std::wstring& path, const std::string& bytes);
std::optional<std::string> ReadBytes(const std::wstring& path);

}  // namespace e2e
