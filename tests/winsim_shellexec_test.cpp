// winsim's shell launches and current directory, against what Windows does.
#include "host_fixture.h"

namespace {

class WinsimShell : public PluginTest {};

TEST_F(WinsimShell, SetCurrentDirectoryFollowsWindowsRules)
{
    winsim::AddFile(u"C:\\d\\f.txt", "x");
    winsim::AddStream(u"C:\\d\\f.txt", u"s", "y");
    winsim::AddDirectory(u"C:\\d\\sub");
    winsim::AddDirectory(u"C:\\locked");
    winsim::DenyAccess(u"C:\\locked");
    std::u16string deep = u"C:";
    for (int i = 0; i < 30; ++i)
        deep += u"\\directory";
    winsim::AddDirectory(deep);
    struct Case {
        std::u16string path;
        DWORD error;  // 0: succeeds
        const char16_t* current;
    };
    const Case cases[] = {
        {u"C:\\d", 0, u"C:\\d"},
        {u"C:\\d\\", 0, u"C:\\d"},
        {u"sub", 0, u"C:\\d\\sub"},  // relative to the directory before
        {u"..", 0, u"C:\\d"},
        {u"C:\\", 0, u"C:\\"},
        {u"\\\\?\\C:\\d\\sub", 0, u"C:\\d\\sub"},
        {u"C:\\d\\f.txt", ERROR_DIRECTORY, nullptr},
        {u"C:\\d\\f.txt:s", ERROR_DIRECTORY, nullptr},
        {u"C:\\d\\missing", ERROR_FILE_NOT_FOUND, nullptr},
        {u"C:\\missing\\deeper", ERROR_PATH_NOT_FOUND, nullptr},
        {u"C:\\locked", ERROR_ACCESS_DENIED, nullptr},
        {u"", ERROR_INVALID_PARAMETER, nullptr},
        {deep, ERROR_FILENAME_EXCED_RANGE, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.path));
        std::u16string before = winsim::CurrentDirectory();
        SetLastError(0xdeadbeef);
        BOOL ok = SetCurrentDirectoryW(c.path.c_str());
        if (c.error == 0) {
            EXPECT_TRUE(ok);
            EXPECT_EQ(U8(winsim::CurrentDirectory()), U8(c.current));
        } else {
            EXPECT_FALSE(ok);
            EXPECT_EQ(GetLastError(), c.error);
            EXPECT_EQ(U8(winsim::CurrentDirectory()), U8(before)) << "a failure leaves it as it was";
        }
    }
    WCHAR buffer[MAX_PATH];
    EXPECT_EQ(GetCurrentDirectoryW(MAX_PATH, buffer), 8u);
    EXPECT_EQ(U8(buffer), "C:\\d\\sub");
    EXPECT_EQ(GetCurrentDirectoryW(2, buffer), 9u) << "too small: the size needed, the NUL included";
}

TEST_F(WinsimShell, LaunchesSucceedAboveThirtyTwoAndRecordTheirArguments)
{
    winsim::AddFile(u"C:\\d\\f.txt", "x");
    winsim::AddProgram(u"notepad.exe");
    struct Case {
        const char16_t* file;
        const char16_t* directory;
        INT_PTR result;  // 0: success (above 32)
    };
    const Case cases[] = {
        {u"C:\\d\\f.txt", u"C:\\d\\", 0},
        {u"f.txt", u"C:\\d", 0},  // relative to the given directory
        {u"NOTEPAD.EXE", u"C:\\", 0},
        {u"notepad.exe readme.txt", u"C:\\d", SE_ERR_FNF},
        {u"C:\\d\\missing.txt", nullptr, SE_ERR_FNF},
        {u"C:\\nowhere\\x.txt", nullptr, SE_ERR_PNF},
        {u"C:", u"C:", 0},  // a drive is not looked for in the directory
        {u"   ", u"C:\\d", SE_ERR_FNF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.file));
        auto result = reinterpret_cast<INT_PTR>(
            ShellExecuteW(winsim::MainWindow(), u"open", c.file, nullptr, c.directory, SW_SHOWNORMAL));
        if (c.result == 0)
            EXPECT_GT(result, 32);
        else
            EXPECT_EQ(result, c.result);
    }
    auto calls = winsim::ShellCalls();
    ASSERT_EQ(calls.size(), std::size(cases));
    EXPECT_EQ(calls[1].function, "ShellExecuteW");
    EXPECT_EQ(U8(calls[1].verb), "open");
    EXPECT_EQ(U8(calls[1].file), "f.txt");
    EXPECT_EQ(U8(calls[1].directory), "C:\\d");
    EXPECT_EQ(calls[1].show, SW_SHOWNORMAL);
    EXPECT_EQ(calls[1].owner, winsim::MainWindow());

    winsim::FailShellExecute(ERROR_NO_ASSOCIATION);
    EXPECT_EQ(reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, u"open", u"C:\\d\\f.txt", nullptr, nullptr, 1)),
              SE_ERR_NOASSOC);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_INVOKEIDLIST;
    info.lpVerb = u"properties";
    info.lpFile = u"C:\\d\\f.txt";
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(ShellExecuteExW(&info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_ASSOCIATION));
}

TEST_F(WinsimShell, ShellExecuteExChecksItsStructure)
{
    winsim::AddFile(u"C:\\d\\f.txt", "x");
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_INVOKEIDLIST;
    info.lpVerb = u"properties";
    info.lpFile = u"C:\\d\\f.txt";
    info.nShow = SW_SHOW;
    EXPECT_TRUE(ShellExecuteExW(&info));
    EXPECT_GT(reinterpret_cast<INT_PTR>(info.hInstApp), 32);
    info.lpFile = u"C:\\d\\gone.txt";
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(ShellExecuteExW(&info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    info.cbSize = 4;
    EXPECT_FALSE(ShellExecuteExW(&info));
    auto calls = winsim::ShellCalls();
    ASSERT_EQ(calls.size(), 2u) << "a structure of the wrong size is refused before anything is asked";
    EXPECT_TRUE(calls[0].zeroElsewhere);
    EXPECT_EQ(calls[0].mask, static_cast<ULONG>(SEE_MASK_INVOKEIDLIST));
}

}  // namespace
