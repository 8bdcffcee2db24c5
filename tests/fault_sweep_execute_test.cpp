// The fault sweep over FsExecuteFileW: opening, properties and the typed
// commands. At most one message, a result the host knows, nothing left open,
// and a typed delete takes nothing but what it names.
#include "fault_sweep.h"
#include "fileops/execute.h"

namespace {

void ArrangeExecute()
{
    winsim::AddFile(u"C:\\d\\f.txt", "file data");
    winsim::AddStream(u"C:\\d\\f.txt", u"s", "stream data");
    winsim::AddFile(u"C:\\d\\gone.txt", "to be deleted");
    winsim::AddDirectory(u"C:\\d\\empty");
    FsInitW(7, HostProgress, HostLog, HostRequest);
}

long long Execute(const char16_t* remote, const char16_t* verb)
{
    std::u16string r = remote, v = verb;
    return FsExecuteFileW(nullptr, r.data(), v.data());
}

std::string OthersKept(long long, const winsim::Call*)
{
    if (winsim::Contents(u"C:\\d\\f.txt") != std::optional<std::string>("file data") ||
        winsim::Contents(u"C:\\d\\f.txt:s") != std::optional<std::string>("stream data"))
        return "a file the command did not name was touched";
    return {};
}

std::vector<SweepScenario> ExecuteScenarios()
{
    const std::vector<long long> results = {FS_EXEC_OK, FS_EXEC_ERROR};
    return {
        {"FsExecuteFileW open on a file", ArrangeExecute, [] { return Execute(u"\\C:\\d\\f.txt", u"open"); },
         {FS_EXEC_OK, FS_EXEC_ERROR, FS_EXEC_YOURSELF}, 1, OthersKept},
        {"FsExecuteFileW open on the unnamed data stream", ArrangeExecute,
         [] { return Execute(u"\\C:\\d\\f.txt\\::$DATA", u"open"); }, {FS_EXEC_OK, FS_EXEC_ERROR, FS_EXEC_YOURSELF},
         1, OthersKept},
        {"FsExecuteFileW properties of a stream", ArrangeExecute,
         [] { return Execute(u"\\C:\\d\\f.txt\\:s:$DATA", u"properties"); }, results, 1, OthersKept},
        {"FsExecuteFileW quote del", ArrangeExecute,
         [] { return Execute(u"\\C:\\d", u"quote del gone.txt"); }, results, 1, OthersKept},
        {"FsExecuteFileW quote rmdir", ArrangeExecute,
         [] { return Execute(u"\\C:\\d", u"quote rmdir empty"); }, results, 1, OthersKept},
        {"FsExecuteFileW quote mkdir", ArrangeExecute,
         [] { return Execute(u"\\C:\\d", u"quote mkdir \"new\\deeper\""); }, results, 1, OthersKept},
        {"FsExecuteFileW quote launch", ArrangeExecute,
         [] { return Execute(u"\\C:\\d", u"quote notepad f.txt"); }, results, 1, OthersKept},
    };
}

TEST(FaultSweep, Execute)
{
    ExpectSweepsClean(ExecuteScenarios());
}

}  // namespace
