#include "fault_sweep.h"

#include <algorithm>
#include <map>
#include <sstream>

namespace {

// Release calls are not swept: on a handle the plugin owns they do not fail
// on Windows, and a simulated failure would leave the resource open by
// construction. The last BackupRead of a context (bAbort TRUE, logged as
// "abort") is such a release.
bool IsReleaseCall(const winsim::Call& call)
{
    static const char* const kReleases[] = {"CloseHandle", "FindClose", "UnmapViewOfFile", "HeapFree",
                                            "LocalFree",   "DestroyIcon", "RemoveVectoredExceptionHandler",
                                            "CoTaskMemFree", "DeleteObject", "FreeLibrary"};
    for (const char* r : kReleases)
        if (call.function == r)
            return true;
    return call.function == "BackupRead" && call.argument == u"abort";
}

std::string Describe(const SweepScenario& s, const winsim::Call& call, int occurrence)
{
    std::ostringstream out;
    out << s.name << ": " << call.function << " #" << occurrence;
    if (!call.argument.empty())
        out << " (" << winsim::Narrow(call.argument) << ")";
    out << " failing with " << SweepErrorFor(call.function);
    return out.str();
}

// One run from a fresh world; returns what broke, empty when nothing did.
std::string RunOnce(const SweepScenario& s, const winsim::Call* fault, int occurrence,
                    std::vector<winsim::Call>* log = nullptr)
{
    FreshSweepWorld();
    s.arrange();
    winsim::ClearCallLog();
    Host().messages.clear();
    Host().progress.clear();
    if (fault)
        winsim::FailCall(fault->function, SweepErrorFor(fault->function), occurrence);
    std::string problems;
    long long result = 0;
    try {
        result = s.act();
    } catch (...) {
        problems += " an exception reached the host;";
    }
    if (log)
        *log = winsim::CallLog();
    if (std::find(s.allowed.begin(), s.allowed.end(), result) == s.allowed.end())
        problems += " result " + std::to_string(result) + " is not one the design allows;";
    if (Host().messages.size() > s.maxMessages) {
        problems += " " + std::to_string(Host().messages.size()) + " messages (at most " +
                    std::to_string(s.maxMessages) + "):";
        for (const auto& m : Host().messages)
            problems += " \"" + U8(m) + "\"";
        problems += ";";
    }
    if (s.verify) {
        std::string v = s.verify(result, fault);
        if (!v.empty())
            problems += " " + v + ";";
    }
    OnProcessDetach();
    for (const auto& leak : winsim::Leaks())
        problems += " left open: " + leak + ";";
    return problems;
}

}  // namespace

void FreshSweepWorld()
{
    winsim::Reset();
    winsim::AddVolume(u'C');
    winsim::AddDirectory(u"C:\\plugins");
    Host() = HostRecorder{};
    OnProcessAttach(winsim::PluginModule());
}

DWORD SweepErrorFor(const std::string& function)
{
    static const std::map<std::string, DWORD> kErrors = {
        {"HeapAlloc", ERROR_NOT_ENOUGH_MEMORY},
        {"LocalAlloc", ERROR_NOT_ENOUGH_MEMORY},
        {"CreateFileMappingW", ERROR_NOT_ENOUGH_MEMORY},
        {"MapViewOfFile", ERROR_NOT_ENOUGH_MEMORY},
        {"AddVectoredExceptionHandler", ERROR_NOT_ENOUGH_MEMORY},
        {"WriteFile", ERROR_DISK_FULL},
        {"FlushViewOfFile", ERROR_DISK_FULL},
        {"GetProcAddress", ERROR_PROC_NOT_FOUND},
        {"LoadLibraryW", ERROR_MOD_NOT_FOUND},
        {"GetModuleHandleW", ERROR_MOD_NOT_FOUND},
        {"MultiByteToWideChar", ERROR_NO_UNICODE_TRANSLATION},
        {"WideCharToMultiByte", ERROR_INSUFFICIENT_BUFFER},
        {"FindNextFileW", ERROR_NO_MORE_FILES},
        {"SHGetFileInfoW", ERROR_FILE_NOT_FOUND},
    };
    auto it = kErrors.find(function);
    return it == kErrors.end() ? ERROR_ACCESS_DENIED : it->second;
}

SweepResult RunFaultSweep(const SweepScenario& s)
{
    SweepResult out;
    std::vector<winsim::Call> calls;
    if (std::string clean = RunOnce(s, nullptr, 0, &calls); !clean.empty())
        out.failures.push_back(s.name + " without a fault:" + clean);
    std::map<std::string, int> seen;
    for (const auto& call : calls) {
        int occurrence = ++seen[call.function];
        if (IsReleaseCall(call))
            continue;
        std::string problems = RunOnce(s, &call, occurrence);
        ++out.callsSwept;
        out.functions.insert(call.function);
        if (!problems.empty())
            out.failures.push_back(Describe(s, call, occurrence) + ":" + problems);
    }
    return out;
}

void ExpectSweepsClean(const std::vector<SweepScenario>& scenarios)
{
    std::size_t total = 0;
    for (const auto& s : scenarios) {
        SweepResult r = RunFaultSweep(s);
        total += r.callsSwept;
        std::string functions;
        for (const auto& f : r.functions)
            functions += " " + f;
        std::printf("[  SWEPT   ] %4zu calls: %s:%s\n", r.callsSwept, s.name.c_str(), functions.c_str());
        for (const auto& f : r.failures)
            ADD_FAILURE() << f;
    }
    // Left in the test's output: how many platform calls were failed.
    std::printf("[  SWEPT   ] %zu platform calls failed one at a time over %zu scenarios\n", total,
                scenarios.size());
    ::testing::Test::RecordProperty("calls_swept", static_cast<int>(total));
}
