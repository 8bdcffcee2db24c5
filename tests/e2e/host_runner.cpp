#include "tests/e2e/host_runner.h"

#include <stdexcept>

namespace e2e {

namespace {

const wchar_t kHost[] = L"C:\\tarnwick\\tarnwick-host.exe";

// Quoting that CommandLineToArgvW undoes: backslashes double only before a
// quote (or the closing quote).
std::wstring Quote(const std::wstring& argument)
{
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') {
            out.append(backslashes * 2 + 1, L'\\');
            out += c;
        } else {
            out.append(backslashes, L'\\');
            out += c;
        }
        backslashes = 0;
    }
    out.append(backslashes * 2, L'\\');
    out += L'"';
    return out;
}

}  // namespace

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string& utf8)
{
    if (utf8.empty())
        return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

bool HostRun::Has(const std::string& line) const
{
    for (const auto& l : lines)
        if (l == line)
            return true;
    return false;
}

std::vector<std::string> HostRun::After(const std::string& prefix) const
{
    std::vector<std::string> result;
    for (const auto& l : lines)
        if (l.rfind(prefix, 0) == 0)
            result.push_back(l.substr(prefix.size()));
    return result;
}

std::string HostRun::First(const std::string& prefix) const
{
    auto all = After(prefix);
    return all.empty() ? "(none)" : all.front();
}

std::string HostRun::MissingExport() const
{
    return After("export missing: ").empty() ? std::string() : After("export missing: ").front();
}

std::string HostRun::Text() const
{
    std::string all = "host exit " + std::to_string(exitCode) + ", output:";
    for (const auto& l : lines)
        all += "\n    " + l;
    return all;
}

const wchar_t* GenuineDllName()
{
    return sizeof(void*) == 8 ? L"NTFSTarnwick.wfx64" : L"NTFSTarnwick.wfx";
}

HostRun RunHost(const std::wstring& plugin, const std::vector<std::wstring>& arguments, int abortAt,
                const std::vector<std::wstring>& options)
{
    // Wine has no backup API: the host serves it from Wine's files, so that
    // the DLL's stream walk runs end to end.
    std::wstring command = Quote(kHost) + L" --backup-from-files";
    if (abortAt != 0)
        command += L" --abort-at " + std::to_wstring(abortAt);
    for (const auto& o : options)
        command += L" " + Quote(o);
    command += L" " + Quote(plugin);
    for (const auto& a : arguments)
        command += L" " + Quote(a);

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        throw std::runtime_error("CreatePipe failed");
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                             nullptr);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process{};
    std::wstring mutableCommand = command;
    BOOL started = CreateProcessW(kHost, mutableCommand.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                  &startup, &process);
    DWORD startError = GetLastError();
    CloseHandle(writeEnd);
    if (nul != INVALID_HANDLE_VALUE)
        CloseHandle(nul);
    HostRun run;
    if (!started) {
        CloseHandle(readEnd);
        run.exitCode = 0xffffffff;
        run.lines.push_back("cannot start the host: error " + std::to_string(startError));
        return run;
    }
    std::string output;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0)
        output.append(buffer, got);
    CloseHandle(readEnd);
    WaitForSingleObject(process.hProcess, 60000);
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);

    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos)
            end = output.size();
        std::string line = output.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        run.lines.push_back(line);
        start = end + 1;
    }
    return run;
}

void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot write " + Utf8(path) + ": error " + std::to_string(GetLastError()));
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
}

std::optional<std::string> ReadBytes(const std::wstring& path)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(h);
    return bytes;
}

}  // namespace e2e
