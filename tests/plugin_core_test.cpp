// The plugin's connection to the host: load, FsInitW, the privileges, the
// small exports that only answer the host, and the two bridges to the user.
#include <atomic>
#include <cstring>
#include <thread>

#include "config/messages.h"
#include "host_fixture.h"
#include "plugin/dynamic_proc.h"
#include "plugin/host_bridge.h"
#include "plugin/privileges.h"

namespace {

using CoreTest = PluginTest;

TEST_F(CoreTest, LoadLeavesTheGateClosedAndEverythingEmpty)
{
    const PluginStateData& s = PluginState();
    EXPECT_EQ(s.PluginNr, -1);
    EXPECT_TRUE(s.Disabled);
    EXPECT_EQ(s.ProgressProc, nullptr);
    EXPECT_EQ(s.LogProc, nullptr);
    EXPECT_EQ(s.RequestProc, nullptr);
    const auto settings = CurrentSettings();
    EXPECT_TRUE(settings->StreamFilter.Empty());
    for (std::size_t line = 0; line < settings->Messages.size(); ++line)
        EXPECT_TRUE(settings->Messages[line].empty())
            << "slot of line " << line << ": " << U8(settings->Messages[line]);
}

TEST_F(CoreTest, InitStoresTheCallbacksEnablesPrivilegesAndLoadsSettings)
{
    SetLastError(0xdeadbeef);
    EXPECT_EQ(InitPlugin(42), 0);
    const PluginStateData& s = PluginState();
    EXPECT_EQ(s.PluginNr, 42);
    EXPECT_EQ(s.ProgressProc, &HostProgress);
    EXPECT_EQ(s.LogProc, &HostLog);
    EXPECT_EQ(s.RequestProc, &HostRequest);
    EXPECT_FALSE(s.Disabled);
    EXPECT_TRUE(winsim::PrivilegeEnabled(u"SeBackupPrivilege"));
    EXPECT_TRUE(winsim::PrivilegeEnabled(u"SeRestorePrivilege"));
    EXPECT_EQ(StreamFilterInForce().Bits(), 0x3FF) << "no settings file: all ten kinds";
    EXPECT_EQ(U8(Message(Msg::NoDirInFile)), "You cann't create directories inside files.");

    ShowHostMessage(u"hello");
    ASSERT_EQ(Host().messages.size(), 1u);
    EXPECT_EQ(U8(Host().messages[0]), "hello");
    EXPECT_EQ(Host().messagePluginNrs[0], 42) << "callbacks get the host's plugin number back";
}

TEST_F(CoreTest, AdjustTokenPrivilegesIsLookedUpOnceAndKept)
{
    ASSERT_EQ(InitPlugin(), 0);
    std::size_t lookups = 0;
    for (const auto& call : winsim::CallLog())
        lookups += call.function == "GetProcAddress" && call.argument == u"AdjustTokenPrivileges";
    EXPECT_EQ(lookups, 1u) << "two privileges, one lookup";
    EXPECT_EQ(winsim::CountCalls("AdjustTokenPrivileges"), 2u);
}

TEST_F(CoreTest, ATokenWithoutThePrivilegesStillGivesAnActivePlugin)
{
    winsim::SetPrivilegesHeld(false, false);
    EXPECT_EQ(InitPlugin(), 0);
    EXPECT_FALSE(PluginState().Disabled);
    EXPECT_FALSE(winsim::PrivilegeEnabled(u"SeBackupPrivilege"));
}

TEST_F(CoreTest, EnablePrivilegeIsTrueOnlyWhenTheTokenHeldIt)
{
    winsim::SetPrivilegesHeld(true, false);
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(EnablePrivilege(true, u"SeBackupPrivilege"));
    EXPECT_FALSE(EnablePrivilege(true, u"SeRestorePrivilege"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ALL_ASSIGNED));
    EXPECT_FALSE(EnablePrivilege(true, u"SeNoSuchPrivilege"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SUCH_PRIVILEGE));
    EXPECT_TRUE(EnablePrivilege(false, u"SeBackupPrivilege"));
    EXPECT_FALSE(winsim::PrivilegeEnabled(u"SeBackupPrivilege"));
}

TEST_F(CoreTest, EnablePrivilegeFailsWhenTheTokenCannotBeOpened)
{
    winsim::FailCall("OpenProcessToken", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(EnablePrivilege(true, u"SeBackupPrivilege"));
    winsim::FailCall("LookupPrivilegeValueW", ERROR_NO_SUCH_PRIVILEGE);
    EXPECT_FALSE(EnablePrivilege(true, u"SeBackupPrivilege"));  // the token is closed again (TearDown checks)
}

TEST_F(CoreTest, InitFailsWhenAdjustTokenPrivilegesDoesNotExist)
{
    winsim::HideExport("advapi32.dll", "AdjustTokenPrivileges");
    EXPECT_EQ(InitPlugin(5), 1);
    EXPECT_TRUE(PluginState().Disabled);
    EXPECT_EQ(PluginState().RequestProc, &HostRequest) << "the callbacks stay stored";
    EXPECT_EQ(PluginState().PluginNr, 5);
}

TEST_F(CoreTest, InitFailsWhenTheVersionCannotBeRead)
{
    winsim::FailAlways("GetVersionExW", ERROR_INVALID_PARAMETER);
    EXPECT_EQ(InitPlugin(), 1);
    EXPECT_TRUE(PluginState().Disabled);
}

TEST_F(CoreTest, OnASystemOutsideTheNtFamilyTheGateStaysClosed)
{
    winsim::SetPlatform(VER_PLATFORM_WIN32_WINDOWS, 4, 10, 2222);
    EXPECT_EQ(InitPlugin(), 0);
    EXPECT_TRUE(PluginState().Disabled);
    EXPECT_TRUE(Message(Msg::NoDirInFile).empty()) << "settings are not loaded";
    EXPECT_EQ(winsim::CountCalls("CreateFileW"), 0u);
    EXPECT_EQ(winsim::CountCalls("OpenProcessToken"), 0u) << "no privileges to enable";
}

TEST_F(CoreTest, ASecondInitRepeatsEveryStep)
{
    winsim::SetPlatform(VER_PLATFORM_WIN32_WINDOWS, 4, 10, 2222);
    ASSERT_EQ(InitPlugin(1), 0);
    ASSERT_TRUE(PluginState().Disabled);
    winsim::SetPlatform(VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(InitPlugin(2), 0);
    EXPECT_FALSE(PluginState().Disabled);
    EXPECT_EQ(PluginState().PluginNr, 2);
    EXPECT_EQ(U8(Message(Msg::NotSupported)), "Not Supported");
}

TEST_F(CoreTest, UnloadForgetsCachedLookups)
{
    ASSERT_EQ(InitPlugin(), 0);
    OnProcessDetach();
    OnProcessAttach(winsim::PluginModule());
    winsim::HideExport("advapi32.dll", "AdjustTokenPrivileges");
    EXPECT_EQ(InitPlugin(), 1) << "a reloaded plugin looks the function up again";
}

TEST(FsGetDefRootName, CopiesAtMostMaxlenMinusOneCharacters)
{
    struct Case {
        int maxlen;
        const char* expected;  // null: the buffer is not touched
    };
    const Case cases[] = {
        {100, "NTFS - Tarnwick"}, {16, "NTFS - Tarnwick"}, {15, "NTFS - Tarnwic"}, {5, "NTFS"},
        {1, ""},                  {0, nullptr},            {-1, nullptr},           {-100000, nullptr},
    };
    for (const auto& c : cases) {
        char buffer[128];
        std::memset(buffer, 'x', sizeof(buffer));
        FsGetDefRootName(buffer, c.maxlen);
        if (c.expected) {
            EXPECT_STREQ(buffer, c.expected) << "maxlen " << c.maxlen;
            std::size_t end = std::strlen(c.expected) + 1;
            for (std::size_t i = end; i < sizeof(buffer); ++i)
                ASSERT_EQ(buffer[i], 'x') << "written past the text at " << i << " with maxlen " << c.maxlen;
        } else {
            EXPECT_EQ(buffer[0], 'x') << "maxlen " << c.maxlen << " must write nothing";
        }
    }
    FsGetDefRootName(nullptr, 10);  // no crash
}

TEST_F(CoreTest, TheAnsiEntryPointsAnswerWithoutDoingAnything)
{
    EXPECT_EQ(FsInit(3, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(PluginState().PluginNr, -1) << "FsInit stores nothing";
    WIN32_FIND_DATAA data{};
    SetLastError(0xdeadbeef);
    EXPECT_EQ(FsFindFirst(const_cast<char*>("\\"), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), 0xdeadbeefu) << "FsFindFirst sets no last error";
    EXPECT_EQ(FsFindFirst(nullptr, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(FsFindNext(INVALID_HANDLE_VALUE, &data), FALSE);
    EXPECT_EQ(FsFindNext(reinterpret_cast<HANDLE>(0x1234), nullptr), FALSE);
    FsSetDefaultParams(nullptr);
    FsDefaultParamStruct params{};
    params.size = sizeof(params) - 1;  // an older, shorter record
    FsSetDefaultParams(&params);
    EXPECT_EQ(winsim::CallLog().size(), 0u) << "none of them touches the system";
}

TEST_F(CoreTest, InitWithoutCallbacksWorksAndTheBridgesStaySilent)
{
    EXPECT_EQ(FsInitW(0, nullptr, nullptr, nullptr), 0);
    EXPECT_FALSE(PluginState().Disabled);
    ShowHostMessage(u"nobody listens");
    EXPECT_FALSE(ReportProgress(nullptr, nullptr, 100));
}

TEST_F(CoreTest, BridgesDoNothingBeforeInit)
{
    ShowHostMessage(u"nobody listens");
    EXPECT_FALSE(ReportProgress(u"a", u"b", 50)) << "no callback: the operation continues";
    EXPECT_TRUE(Host().messages.empty());
    EXPECT_TRUE(Host().progress.empty());
}

TEST_F(CoreTest, OnlyAProgressAnswerOfExactlyOneAborts)
{
    ASSERT_EQ(InitPlugin(9), 0);
    const std::pair<int, bool> answers[] = {{0, false}, {1, true}, {2, false}, {-1, false}, {100, false}};
    for (const auto& [answer, aborts] : answers) {
        Host().answer = [answer = answer](const ProgressReport&) { return answer; };
        EXPECT_EQ(ReportProgress(u"src", u"dst", 30), aborts) << "host answered " << answer;
    }
    ASSERT_EQ(Host().progress.size(), 5u);
    EXPECT_EQ(U8(Host().progress[0].source), "src");
    EXPECT_EQ(U8(Host().progress[0].target), "dst");
    EXPECT_EQ(Host().progress[0].percent, 30);
}

}  // namespace

// The host's background icon thread and its main thread may reach a function
// found at run time together, also right after the cache was forgotten: each
// sees the function, never a null or stale one.
TEST(DynamicProcTest, ThreadsResolvingTogetherAllSeeTheFunction)
{
    winsim::Reset();
    using BackupSeekFn = BOOL WINAPI(HANDLE, DWORD, DWORD, LPDWORD, LPDWORD, LPVOID*);
    for (int round = 0; round < 50; ++round) {
        DynamicProc<BackupSeekFn> proc(TEXT("kernel32.dll"), "BackupSeek");
        ForgetDynamicProcs();
        std::atomic<int> missing{0};
        auto resolve = [&] {
            for (int i = 0; i < 200; ++i)
                if (proc.TryGet() != &BackupSeek)
                    ++missing;
        };
        std::thread other(resolve);
        resolve();
        other.join();
        EXPECT_EQ(missing.load(), 0) << "round " << round;
    }
}
