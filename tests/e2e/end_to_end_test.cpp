// The genuine plugin end to end: the .wfx64 (or, built for 32 bits, the .wfx)
// that build.sh built, loaded by the
// command-line host as the file manager loads it, acting on real files in a
// scratch folder under C:\scratch. Runs under Wine (test.sh); would run on
// Windows unchanged. Each test copies the DLL into a plugin folder of its own,
// so a settings file or a language file beside it is that test's alone.
//
// A test whose export the DLL does not have is skipped with that reason.
// Wine's BackupRead answers ERROR_NOT_SUPPORTED: the host serves the DLL's
// backup API from Wine's files instead (tools/host/backup_layer.h). Wine keeps
// "f.txt:name:$DATA" as a file of that literal name, which the tests and the
// layer use as the stand-in for a named stream.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/host_runner.h"

namespace {

using e2e::HostRun;
using e2e::ReadBytes;
using e2e::Utf8;
using e2e::WriteBytes;

const std::wstring kGenuineDll = std::wstring(L"C:\\tarnwick\\") + e2e::GenuineDllName();

ULONGLONG Ticks(const FILETIME& t)
{
    return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int counter = 0;
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::wstring parent = L"C:\\scratch";
        CreateDirectoryW(parent.c_str(), nullptr);
        parent += L"\\e2e\\";
        CreateDirectoryW(parent.c_str(), nullptr);
        std::wstring name = e2e::Wide(std::string(info->test_suite_name()) + "." + info->name());
        for (auto& c : name)
            if (c == L'/')
                c = L'_';
        for (;;) {
            folder_ = parent + name + L"." + std::to_wstring(++counter);
            if (CreateDirectoryW(folder_.c_str(), nullptr))
                break;
            ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
        }
        pluginFolder_ = folder_ + L"\\plugin";
        data_ = folder_ + L"\\data";
        ASSERT_TRUE(CreateDirectoryW(pluginFolder_.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW(data_.c_str(), nullptr));
        plugin_ = pluginFolder_ + L"\\" + e2e::GenuineDllName();
        ASSERT_TRUE(CopyFileW(kGenuineDll.c_str(), plugin_.c_str(), TRUE))
            << "the genuine DLL is staged at C:\\tarnwick by the test set-up: error " << GetLastError();
    }

    // Runs the host; skips the test when the DLL lacks an export it needs.
    HostRun Host(const std::vector<std::wstring>& arguments)
    {
        HostRun run = e2e::RunHost(plugin_, arguments);
        EXPECT_TRUE(run.After("fault: ").empty()) << run.Text();
        EXPECT_TRUE(run.Has("FsInitW = 0")) << run.Text();
        return run;
    }

    // The host answering "abort" to the nth progress report of the command.
    HostRun AbortingHost(int nth, const std::vector<std::wstring>& arguments)
    {
        HostRun run = e2e::RunHost(plugin_, arguments, nth);
        EXPECT_TRUE(run.After("fault: ").empty()) << run.Text();
        return run;
    }

    // The plugin path of a local path: a backslash in front.
    static std::wstring Remote(const std::wstring& local) { return L"\\" + local; }

    std::wstring Data(const std::wstring& name) const { return data_ + L"\\" + name; }

    FILETIME Times(const std::wstring& path, int which) const  // 0 creation, 1 access, 2 write
    {
        FILETIME t[3]{};
        HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            GetFileTime(h, &t[0], &t[1], &t[2]);
            CloseHandle(h);
        }
        return t[which];
    }

    // A language file beside the DLL, named in the settings file there.
    void InstallLanguage(const std::string& header, int line, const std::string& text)
    {
        // Lines count from 0: the header, an unused line, then the texts of lines 2 to 21.
        std::string lines = "\xEF\xBB\xBF" + header + "\r\nunused\r\n";
        for (int n = 2; n <= 21; ++n)
            lines += (n == line ? text : "line " + std::to_string(n)) + "\r\n";
        WriteBytes(pluginFolder_ + L"\\test.lng", lines);
        WriteBytes(pluginFolder_ + L"\\TC_wfx_NTFSTarnwick.ini", "[wfx_NTFSTarnwick]\r\nLanguage=test.lng\r\n");
    }

    std::wstring folder_, pluginFolder_, data_, plugin_;
};

#define SKIP_IF_MISSING(run)                                                                  \
    do {                                                                                      \
        if (!(run).MissingExport().empty())                                                   \
            GTEST_SKIP() << "the DLL does not export " << (run).MissingExport() << " yet"; \
    } while (0)

// ------------------------------------------------------------------ loading

TEST_F(EndToEnd, HostLoadsTheGenuineDll)
{
    HostRun run = Host({L"rootname"});
    EXPECT_EQ(run.exitCode, 0u) << run.Text();
    EXPECT_EQ(run.First("root name: "), "NTFS - Tarnwick") << run.Text();
}

TEST_F(EndToEnd, HostRejectsAnUnknownCommand)
{
    // The host's own behaviour.
    HostRun run = Host({L"rootname"});
    ASSERT_EQ(run.exitCode, 0u);
    HostRun usage = e2e::RunHost(plugin_, {L"no-such-command"});
    EXPECT_EQ(usage.First("unknown command: "), "no-such-command") << usage.Text();
    EXPECT_EQ(usage.exitCode, 2u) << usage.Text();
}

// ------------------------------------------------------------------ attributes and times

TEST_F(EndToEnd, AttributesAreSetOnFilesDirectoriesAndNotOnStreams)
{
    const DWORD kShown = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    struct Row {
        const char* name;
        std::wstring target;  // the local entry whose attributes are read back
        std::wstring remote;
        int set;
        DWORD expected;  // read back, masked by kShown
    };
    WriteBytes(Data(L"f.txt"), "file");
    WriteBytes(Data(L"g.txt"), "file");
    WriteBytes(Data(L"h.txt"), "file");
    ASSERT_TRUE(CreateDirectoryW(Data(L"dir").c_str(), nullptr));
    const Row rows[] = {
        {"a file made read-only", Data(L"f.txt"), Remote(Data(L"f.txt")), FILE_ATTRIBUTE_READONLY,
         FILE_ATTRIBUTE_READONLY},
        {"the file through its ::$DATA entry", Data(L"g.txt"), Remote(Data(L"g.txt")) + L"\\::$DATA",
         FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_HIDDEN},
        {"a named stream: nothing changes", Data(L"h.txt"), Remote(Data(L"h.txt")) + L"\\:s:$DATA",
         FILE_ATTRIBUTE_HIDDEN, 0},
        {"a directory made hidden", Data(L"dir"), Remote(Data(L"dir")), FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_HIDDEN},
    };
    for (const Row& row : rows) {
        HostRun run = Host({L"attr", row.remote, std::to_wstring(row.set)});
        SKIP_IF_MISSING(run);
        EXPECT_NE(run.First("FsSetAttrW = "), "0 FALSE") << row.name << "\n" << run.Text();
        EXPECT_EQ(GetFileAttributesW(row.target.c_str()) & kShown, row.expected) << row.name;
    }
    SetFileAttributesW(Data(L"f.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    // The bits the host does not speak of stay as they were.
    WriteBytes(Data(L"i.txt"), "file");
    ASSERT_TRUE(SetFileAttributesW(Data(L"i.txt").c_str(), FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_ARCHIVE));
    const DWORD kept = GetFileAttributesW(Data(L"i.txt").c_str()) & FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    HostRun run = Host({L"attr", Remote(Data(L"i.txt")), std::to_wstring(FILE_ATTRIBUTE_HIDDEN)});
    EXPECT_EQ(GetFileAttributesW(Data(L"i.txt").c_str()) & (FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_HIDDEN),
              kept | FILE_ATTRIBUTE_HIDDEN)
        << run.Text();
}

TEST_F(EndToEnd, WriteTimeIsRoundedToTheMillisecond)
{
    struct Row {
        const char* name;
        const wchar_t* given;
        const char* readBack;  // the write time, as the host prints FILETIMEs
        ULONGLONG fraction;    // 100-ns units after the second
    };
    const Row rows[] = {
        {".1234567 rounds down", L"2021-03-04T05:06:07.1234567", "2021-03-04T05:06:07", 1230000},
        {".1236 rounds up", L"2021-03-04T05:06:07.1236000", "2021-03-04T05:06:07", 1240000},
        {"whole seconds stay", L"2021-03-04T05:06:07", "2021-03-04T05:06:07", 0},
    };
    WriteBytes(Data(L"t.txt"), "time");
    for (const Row& row : rows) {
        const FILETIME accessBefore = Times(Data(L"t.txt"), 1);
        HostRun run = Host({L"time", Remote(Data(L"t.txt")), L"-", L"-", row.given});
        SKIP_IF_MISSING(run);
        EXPECT_EQ(run.First("FsSetTimeW = "), "-1 TRUE") << row.name << "\n" << run.Text();
        FILETIME written = Times(Data(L"t.txt"), 2);
        SYSTEMTIME st{};
        FileTimeToSystemTime(&written, &st);
        char text[64];
        snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u", st.wYear, st.wMonth, st.wDay, st.wHour,
                 st.wMinute, st.wSecond);
        EXPECT_EQ(std::string(text), row.readBack) << row.name;
        EXPECT_EQ(Ticks(written) % 10000000ULL, row.fraction) << row.name;
        EXPECT_EQ(Ticks(Times(Data(L"t.txt"), 1)), Ticks(accessBefore)) << row.name << ": the access time stays";
    }
}

TEST_F(EndToEnd, TimesOfDirectoriesAndStreams)
{
    WriteBytes(Data(L"s.txt"), "stream holder");
    ASSERT_TRUE(CreateDirectoryW(Data(L"dir").c_str(), nullptr));
    struct Row {
        const char* name;
        std::wstring remote;
        const wchar_t* write;
        const char* result;
    };
    const Row rows[] = {
        {"a directory with a time", Remote(Data(L"dir")), L"2020-01-01T00:00:00", "-1 TRUE"},
        {"a directory with no time: nothing to do", Remote(Data(L"dir")), L"-", "-1 TRUE"},
        {"a named stream: nothing to do", Remote(Data(L"s.txt")) + L"\\:s:$DATA", L"2020-01-01T00:00:00", "-1 TRUE"},
    };
    const ULONGLONG before = Ticks(Times(Data(L"s.txt"), 2));
    for (const Row& row : rows) {
        HostRun run = Host({L"time", row.remote, L"-", L"-", row.write});
        SKIP_IF_MISSING(run);
        EXPECT_EQ(run.First("FsSetTimeW = "), row.result) << row.name << "\n" << run.Text();
    }
    EXPECT_EQ(Ticks(Times(Data(L"s.txt"), 2)), before) << "the stream's file keeps its write time";
    SYSTEMTIME st{};
    const FILETIME dirWritten = Times(Data(L"dir"), 2);
    FileTimeToSystemTime(&dirWritten, &st);
    EXPECT_EQ(st.wYear, 2020) << "the directory's write time";
}

// ------------------------------------------------------------------ the refused rename and the language file

TEST_F(EndToEnd, RenameIsRefusedWithAMessageAndTouchesNothing)
{
    WriteBytes(Data(L"f.txt"), "unchanged");
    struct Row {
        const char* name;
        std::wstring from, to;
        const wchar_t* move;
    };
    const Row rows[] = {
        {"a rename of a file", Remote(Data(L"f.txt")), Remote(Data(L"g.txt")), L"1"},
        {"a copy of a file", Remote(Data(L"f.txt")), Remote(Data(L"h.txt")), L"0"},
        {"a rename of a stream", Remote(Data(L"f.txt")) + L"\\:a:$DATA", Remote(Data(L"f.txt")) + L"\\:b:$DATA",
         L"1"},
    };
    for (const Row& row : rows) {
        HostRun run = Host({L"rename", row.from, row.to, row.move});
        SKIP_IF_MISSING(run);
        EXPECT_EQ(run.After("message: "), std::vector<std::string>{"Not Supported (plugin 1)"})
            << row.name << "\n" << run.Text();
        EXPECT_EQ(run.First("FsRenMovFileW = "), "6 FS_FILE_NOTSUPPORTED") << row.name;
    }
    EXPECT_EQ(ReadBytes(Data(L"f.txt")).value_or("missing"), "unchanged");
    EXPECT_FALSE(ReadBytes(Data(L"g.txt")));
    EXPECT_FALSE(ReadBytes(Data(L"h.txt")));
}

TEST_F(EndToEnd, LanguageFileBesideTheDllIsReadAtInit)
{
    struct Row {
        const char* name;
        std::string header;
        std::string expected;
    };
    const Row rows[] = {
        {"a language file", "wfx_Tarnwick language file", "Nicht unterst\xC3\xBCtzt"},
        {"a file without the header is not a language file", "some other file", "Not Supported"},
    };
    for (const Row& row : rows) {
        InstallLanguage(row.header, 19, "Nicht unterst\xC3\xBCtzt");
        HostRun run = Host({L"rename", Remote(Data(L"a")), Remote(Data(L"b"))});
        SKIP_IF_MISSING(run);
        EXPECT_EQ(run.First("message: "), row.expected + " (plugin 1)") << row.name << "\n" << run.Text();
    }
}

// ------------------------------------------------------------------ icons and preview

TEST_F(EndToEnd, IconsFromTheDllAndTheShell)
{
    WriteBytes(Data(L"f.txt"), "icon");
    ASSERT_TRUE(CreateDirectoryW(Data(L"dir").c_str(), nullptr));
    const std::wstring file = Remote(Data(L"f.txt"));
    struct Row {
        const char* name;
        std::wstring remote;
        int flags;
        const char* result;
        const char* icon;  // "16x16", "32x32", "none", or "any" for a shell icon of any size
    };
    const Row rows[] = {
        {"a first call is delayed", file + L"\\:s:$DATA", 1, "3 FS_ICON_DELAYED", "none"},
        {"a stream, small", file + L"\\:s:$DATA", 3, "2 FS_ICON_EXTRACTED_DESTROY", "16x16"},
        {"a stream, large", file + L"\\:s:$DATA", 2, "2 FS_ICON_EXTRACTED_DESTROY", "32x32"},
        {"a special stream", file + L"\\::$EA_DATA", 3, "2 FS_ICON_EXTRACTED_DESTROY", "16x16"},
        {"a nameless stream kind", file + L"\\::", 2, "2 FS_ICON_EXTRACTED_DESTROY", "32x32"},
        {"a file: the shell's icon", file, 3, "2 FS_ICON_EXTRACTED_DESTROY", "any"},
        {"the file's ::$DATA entry: the shell's icon", file + L"\\::$DATA", 2, "2 FS_ICON_EXTRACTED_DESTROY", "any"},
        {"a drive: the shell's icon of its root", L"\\C:", 3, "2 FS_ICON_EXTRACTED_DESTROY", "any"},
        {"a directory: the host's own", Remote(Data(L"dir")), 3, "0 FS_ICON_USEDEFAULT", "none"},
        {"the entry ..", L"\\..", 3, "0 FS_ICON_USEDEFAULT", "none"},
        {"the root", L"\\", 3, "0 FS_ICON_USEDEFAULT", "none"},
        {"a missing file", Remote(Data(L"missing.txt")), 3, "0 FS_ICON_USEDEFAULT", "none"},
    };
    for (const Row& row : rows) {
        HostRun run = Host({L"icon", row.remote, std::to_wstring(row.flags)});
        SKIP_IF_MISSING(run);
        EXPECT_EQ(run.First("FsExtractCustomIconW = "), row.result) << row.name << "\n" << run.Text();
        std::string icon = run.First("icon: ");
        if (std::string(row.icon) == "any") {
            EXPECT_NE(icon, "none") << row.name;
        } else {
            EXPECT_EQ(icon, row.icon) << row.name;
        }
        EXPECT_TRUE(run.After("name now: ").empty()) << row.name << ": the name is only read";
    }
}

TEST_F(EndToEnd, PreviewNamesTheLocalFileOrStream)
{
    const std::wstring local = Data(L"f.txt");
    struct Row {
        const char* name;
        std::wstring remote;
        std::wstring expected;
    };
    const Row rows[] = {
        {"a stream", Remote(local) + L"\\:s:$DATA", local + L":s:$DATA"},
        {"the ::$DATA entry is the file", Remote(local) + L"\\::$DATA", local},
        {"a file", Remote(local), local},
        {"a directory", Remote(data_) + L"\\", data_},
    };
    for (const Row& row : rows) {
        HostRun run = Host({L"preview", row.remote});
        SKIP_IF_MISSING(run);
        EXPECT_EQ(run.First("FsGetPreviewBitmapW = "), "2") << row.name << "\n" << run.Text();
        EXPECT_EQ(run.First("name now: "), Utf8(row.expected)) << row.name;
        EXPECT_TRUE(run.After("bitmap: ").empty()) << row.name << ": no bitmap is returned";
    }
}

// ------------------------------------------------------------------ delete, remove and create

// Under Wine a "stream" is the file that CreateFileW makes of the stream path
// (literally "f.txt:s:$DATA"); on Windows it is the stream. The plugin and the
// test reach it the same way.
TEST_F(EndToEnd, DeleteStreamsFilesAndEmptyDirectories)
{
    WriteBytes(Data(L"f.txt"), "keep me");
    WriteBytes(Data(L"f.txt:s:$DATA"), "stream");
    WriteBytes(Data(L"gone.txt"), "delete me");
    ASSERT_TRUE(CreateDirectoryW(Data(L"empty").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(Data(L"full").c_str(), nullptr));
    WriteBytes(Data(L"full\\x"), "x");
    struct Row {
        const char* name;
        std::wstring remote;
        const char* result;
        std::wstring gone;  // an entry that must be gone afterwards, or empty
    };
    // A success leaves whatever last error the plugin's probes left; a failure
    // carries the error of the failed call.
    const Row rows[] = {
        {"a named stream", Remote(Data(L"f.txt")) + L"\\:s:$DATA", "-1 TRUE", Data(L"f.txt:s:$DATA")},
        {"a missing stream: still TRUE", Remote(Data(L"f.txt")) + L"\\:none:$DATA", "-1 TRUE", L""},
        {"the ::$DATA entry never deletes the file", Remote(Data(L"f.txt")) + L"\\::$DATA", "-1 TRUE", L""},
        {"the ::$data entry, any case", Remote(Data(L"f.txt")) + L"\\::$data", "-1 TRUE", L""},
        {"a file", Remote(Data(L"gone.txt")), "-1 TRUE", Data(L"gone.txt")},
        {"an empty directory", Remote(Data(L"empty")), "-1 TRUE", Data(L"empty")},
        {"a directory that is not empty", Remote(Data(L"full")), "0 FALSE, error 145", L""},
    };
    for (const Row& row : rows) {
        HostRun run = Host({L"del", row.remote});
        SKIP_IF_MISSING(run);
        std::string result = run.First("FsDeleteFileW = ");
        EXPECT_EQ(result.substr(0, std::string(row.result).size()), row.result) << row.name << "\n" << run.Text();
        if (!row.gone.empty()) {
            EXPECT_EQ(GetFileAttributesW(row.gone.c_str()), INVALID_FILE_ATTRIBUTES) << row.name;
        }
    }
    EXPECT_EQ(ReadBytes(Data(L"f.txt")).value_or("missing"), "keep me");
    EXPECT_EQ(ReadBytes(Data(L"full\\x")).value_or("missing"), "x");
}

TEST_F(EndToEnd, RemoveTreesFilesAndNotStreams)
{
    // A tree of every kind of entry, read-only, hidden and system ones included.
    ASSERT_TRUE(CreateDirectoryW(Data(L"tree").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(Data(L"tree\\sub").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(Data(L"tree\\sub\\deeper").c_str(), nullptr));
    WriteBytes(Data(L"tree\\a.txt"), "a");
    WriteBytes(Data(L"tree\\sub\\ro.txt"), "ro");
    WriteBytes(Data(L"tree\\sub\\deeper\\hs.txt"), "hs");
    ASSERT_TRUE(SetFileAttributesW(Data(L"tree\\sub\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesW(Data(L"tree\\sub\\deeper\\hs.txt").c_str(),
                                   FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    ASSERT_TRUE(SetFileAttributesW(Data(L"tree\\sub").c_str(), FILE_ATTRIBUTE_HIDDEN));
    WriteBytes(Data(L"file.txt"), "file with a stream");
    WriteBytes(Data(L"file.txt:s:$DATA"), "stream");
    WriteBytes(Data(L"readonly.txt"), "stays");
    ASSERT_TRUE(SetFileAttributesW(Data(L"readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY));

    struct Row {
        const char* name;
        std::wstring remote;
        const char* result;
        std::wstring gone;
        std::wstring stays;
    };
    const Row rows[] = {
        {"a stream entry: nothing is removed", Remote(Data(L"file.txt")) + L"\\:s:$DATA", "-1 TRUE", L"",
         Data(L"file.txt:s:$DATA")},
        {"a whole tree", Remote(Data(L"tree")), "-1 TRUE", Data(L"tree"), L""},
        {"a file (shown as a folder)", Remote(Data(L"file.txt")), "-1 TRUE", Data(L"file.txt"), L""},
        {"a read-only file stays", Remote(Data(L"readonly.txt")), "0 FALSE", L"", Data(L"readonly.txt")},
    };
    for (const Row& row : rows) {
        HostRun run = Host({L"rmdir", row.remote});
        SKIP_IF_MISSING(run);
        std::string result = run.First("FsRemoveDirW = ");
        EXPECT_EQ(result.substr(0, std::string(row.result).size()), row.result) << row.name << "\n" << run.Text();
        if (!row.gone.empty()) {
            EXPECT_EQ(GetFileAttributesW(row.gone.c_str()), INVALID_FILE_ATTRIBUTES) << row.name;
        }
        if (!row.stays.empty()) {
            EXPECT_NE(GetFileAttributesW(row.stays.c_str()), INVALID_FILE_ATTRIBUTES) << row.name;
        }
    }
    SetFileAttributesW(Data(L"readonly.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(EndToEnd, RemovingATreeLeavesALockedFileAndItsParents)
{
    ASSERT_TRUE(CreateDirectoryW(Data(L"tree").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(Data(L"tree\\locked").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(Data(L"tree\\free").c_str(), nullptr));
    WriteBytes(Data(L"tree\\locked\\held.txt"), "held");
    WriteBytes(Data(L"tree\\locked\\other.txt"), "other");
    WriteBytes(Data(L"tree\\free\\f.txt"), "f");
    WriteBytes(Data(L"tree\\top.txt"), "top");
    // This process holds the file open without delete sharing.
    HANDLE held = CreateFileW(Data(L"tree\\locked\\held.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    HostRun run = Host({L"rmdir", Remote(Data(L"tree"))});
    CloseHandle(held);
    SKIP_IF_MISSING(run);
    EXPECT_EQ(run.First("FsRemoveDirW = ").substr(0, 7), "0 FALSE") << run.Text();
    EXPECT_NE(GetFileAttributesW(Data(L"tree\\locked\\held.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    for (const wchar_t* gone : {L"tree\\locked\\other.txt", L"tree\\free", L"tree\\top.txt"})
        EXPECT_EQ(GetFileAttributesW(Data(gone).c_str()), INVALID_FILE_ATTRIBUTES) << Utf8(gone);
}

TEST_F(EndToEnd, MakeDirectories)
{
    WriteBytes(Data(L"f.txt"), "a file");
    ASSERT_TRUE(CreateDirectoryW(Data(L"have").c_str(), nullptr));
    struct Row {
        const char* name;
        std::wstring remote;
        const char* result;
        std::vector<std::string> messages;
        std::wstring madeDirectory;  // must be a directory afterwards, or empty
    };
    const Row rows[] = {
        {"a chain of missing parents", Remote(Data(L"a\\b\\c")), "-1 TRUE", {}, Data(L"a\\b\\c")},
        {"an existing directory", Remote(Data(L"have")), "-1 TRUE", {}, Data(L"have")},
        {"a trailing backslash", Remote(Data(L"t\\u\\")), "-1 TRUE", {}, Data(L"t\\u")},
        {"inside a file", Remote(Data(L"f.txt\\new")), "0 FALSE",
         {"You cann't create directories inside files. (plugin 1)"}, L""},
        {"directly under the plugin root", L"\\newdir", "0 FALSE", {}, L""},
        {"a drive", L"\\C:", "-1 TRUE", {}, L"C:\\"},
    };
    for (const Row& row : rows) {
        HostRun run = Host({L"mkdir", row.remote});
        SKIP_IF_MISSING(run);
        std::string result = run.First("FsMkDirW = ");
        EXPECT_EQ(result.substr(0, std::string(row.result).size()), row.result) << row.name << "\n" << run.Text();
        EXPECT_EQ(run.After("message: "), row.messages) << row.name;
        if (!row.madeDirectory.empty()) {
            EXPECT_TRUE(GetFileAttributesW(row.madeDirectory.c_str()) & FILE_ATTRIBUTE_DIRECTORY) << row.name;
        }
    }
    EXPECT_EQ(GetFileAttributesW(Data(L"f.txt\\new").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ReadBytes(Data(L"f.txt")).value_or("missing"), "a file");
}

// ------------------------------------------------------------------ listing

TEST_F(EndToEnd, RootListsTheNtfsDrives)
{
    HostRun run = Host({L"list", L"\\"});
    SKIP_IF_MISSING(run);
    // Wine's C: reports NTFS; the prefix has no other drive.
    std::vector<std::string> entries = run.After("entry: ");
    ASSERT_EQ(entries.size(), 1u) << run.Text();
    EXPECT_EQ(entries[0].substr(0, 13), "0x00000090 0 ") << "a drive is a folder of size 0";
    EXPECT_EQ(entries[0].substr(entries[0].size() - 3), " C:");
    EXPECT_EQ(run.First("FsFindClose = "), "0") << run.Text();
}

TEST_F(EndToEnd, DirectoriesListTheirEntriesAsFolders)
{
    WriteBytes(Data(L"a.txt"), "12345");
    WriteBytes(Data(L"b.bin"), std::string(70000, 'b'));
    ASSERT_TRUE(CreateDirectoryW(Data(L"sub").c_str(), nullptr));
    ASSERT_TRUE(SetFileAttributesW(Data(L"b.bin").c_str(), FILE_ATTRIBUTE_HIDDEN));
    struct Row {
        const char* name;
        std::wstring remote;
    };
    const Row rows[] = {
        {"a directory", Remote(data_)},
        {"a directory with a trailing backslash", Remote(data_) + L"\\"},
    };
    for (const Row& row : rows) {
        HostRun run = Host({L"list", row.remote});
        SKIP_IF_MISSING(run);
        // Entries "attributes size time name"; the directory's own streams
        // (names beginning with a colon) come first where they can be read.
        std::vector<std::string> names, sizes, attributes;
        for (const std::string& entry : run.After("entry: ")) {
            std::string name = entry.substr(entry.rfind(' ') + 1);
            if (name[0] == ':')
                continue;
            names.push_back(name);
            attributes.push_back(entry.substr(0, 10));
            sizes.push_back(entry.substr(11, entry.find(' ', 11) - 11));
        }
        // "." and ".." first; the order of the rest is the file system's.
        std::vector<std::string> sorted = names;
        std::vector<int> order{0, 1, 2, 3, 4};
        if (names.size() == 5) {
            std::sort(order.begin() + 2, order.end(), [&](int x, int y) { return names[x] < names[y]; });
            for (int i = 0; i < 5; ++i)
                sorted[i] = names[order[i]];
        }
        EXPECT_EQ(sorted, (std::vector<std::string>{".", "..", "a.txt", "b.bin", "sub"})) << row.name << "\n"
                                                                                        << run.Text();
        if (names.size() == 5) {
            std::vector<std::string> a = attributes, z = sizes;
            for (int i = 0; i < 5; ++i) {
                attributes[i] = a[order[i]];
                sizes[i] = z[order[i]];
            }
            for (const auto& a : attributes)
                EXPECT_TRUE(std::stoul(a, nullptr, 16) & FILE_ATTRIBUTE_DIRECTORY) << row.name << ": " << a;
            EXPECT_TRUE(std::stoul(attributes[3], nullptr, 16) & FILE_ATTRIBUTE_HIDDEN) << row.name;
            EXPECT_EQ(sizes[2], "5") << row.name;
            EXPECT_EQ(sizes[3], "70000") << row.name;
        }
    }
}

TEST_F(EndToEnd, MissingFoldersAreNotListed)
{
    HostRun run = Host({L"list", Remote(Data(L"missing"))});
    SKIP_IF_MISSING(run);
    EXPECT_EQ(run.First("FsFindFirstW: "), "INVALID_HANDLE_VALUE, error 3") << run.Text();
}

// ------------------------------------------------------------------ copying out

// The percentages the host hears: 0, one per 640-KiB view (the bytes copied so
// far in hundredths of the size, at most 100), and 100.
std::vector<std::string> Percents(const HostRun& run)
{
    std::vector<std::string> percents;
    for (const std::string& p : run.After("progress: "))
        percents.push_back(p.substr(0, p.find('%')));
    return percents;
}

TEST_F(EndToEnd, CopyOutTheUnnamedStreamAndNamedStreams)
{
    std::string big(2000000, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7 + i / 1000);
    WriteBytes(Data(L"big.dat"), big);
    WriteBytes(Data(L"f.txt"), "file");
    WriteBytes(Data(L"f.txt:note:$DATA"), "note text");
    const std::wstring out = folder_ + L"\\out";
    ASSERT_TRUE(CreateDirectoryW(out.c_str(), nullptr));
    struct Row {
        const char* name;
        std::wstring remote;
        std::wstring target;  // the local name the plugin derives
        std::string contents;
        std::vector<std::string> percents;
    };
    const Row rows[] = {
        {"::$DATA is the file itself, 3 views", Remote(Data(L"big.dat")) + L"\\::$DATA", out + L"\\big.dat", big,
         {"0", "32", "65", "98", "100", "100"}},
        {"a named stream (Wine: the file of that literal name)", Remote(Data(L"f.txt")) + L"\\:note:$DATA",
         out + L"\\note", "note text", {"0", "9", "100"}},
    };
    for (const Row& row : rows) {
        HostRun run = Host({L"get", row.remote, out + L"\\proposed-by-host"});
        SKIP_IF_MISSING(run);
        EXPECT_EQ(run.First("FsGetFileW = "), "0 FS_FILE_OK") << row.name << "\n" << run.Text();
        EXPECT_EQ(run.First("local name: "), Utf8(row.target)) << row.name;
        EXPECT_TRUE(ReadBytes(row.target) == row.contents) << row.name << ": the copy differs";
        EXPECT_EQ(Percents(run), row.percents) << row.name;
        EXPECT_TRUE(run.After("message: ").empty()) << row.name << "\n" << run.Text();
    }
}

TEST_F(EndToEnd, CopyOutRespectsExistingTargetsAbortsAndMoves)
{
    std::string big(1500000, 'x');
    WriteBytes(Data(L"big.dat"), big);
    WriteBytes(Data(L"s.txt"), "holder");
    WriteBytes(Data(L"s.txt:moved:$DATA"), "moving");
    const std::wstring out = folder_ + L"\\out";
    ASSERT_TRUE(CreateDirectoryW(out.c_str(), nullptr));
    WriteBytes(out + L"\\existing.dat", "old");
    WriteBytes(Data(L"existing.dat"), "new");
    struct Row {
        const char* name;
        std::vector<std::wstring> arguments;
        const char* result;
        std::wstring target;
        std::optional<std::string> targetAfter;  // nullopt: no file
    };
    const Row rows[] = {
        {"an existing target without overwrite",
         {L"get", Remote(Data(L"existing.dat")) + L"\\::$DATA", out + L"\\x"}, "1 FS_FILE_EXISTS",
         out + L"\\existing.dat", "old"},
        {"an existing target with overwrite",
         {L"get", Remote(Data(L"existing.dat")) + L"\\::$DATA", out + L"\\x", L"1"}, "0 FS_FILE_OK",
         out + L"\\existing.dat", "new"},
        {"aborted at the report of 0: nothing is opened",
         {L"--abort-at", L"1", L"get", Remote(Data(L"big.dat")) + L"\\::$DATA", out + L"\\x"}, "5 FS_FILE_USERABORT",
         out + L"\\big.dat", std::nullopt},
        {"a move deletes the stream after the copy",
         {L"get", Remote(Data(L"s.txt")) + L"\\:moved:$DATA", out + L"\\x", L"4"}, "0 FS_FILE_OK",
         out + L"\\moved", "moving"},
    };
    for (const Row& row : rows) {
        const std::vector<std::wstring>& a = row.arguments;
        HostRun run = a[0] == L"--abort-at" ? AbortingHost(std::stoi(a[1]), {a.begin() + 2, a.end()}) : Host(a);
        SKIP_IF_MISSING(run);
        EXPECT_EQ(run.First("FsGetFileW = "), row.result) << row.name << "\n" << run.Text();
        EXPECT_EQ(ReadBytes(row.target), row.targetAfter) << row.name;
    }
    EXPECT_FALSE(ReadBytes(Data(L"s.txt:moved:$DATA"))) << "the moved stream is gone";
    EXPECT_EQ(ReadBytes(Data(L"s.txt")).value_or("missing"), "holder");
}

TEST_F(EndToEnd, CopyOutOfAMissingStreamShowsTheSystemsText)
{
    WriteBytes(Data(L"f.txt"), "file");
    const std::wstring out = folder_ + L"\\out";
    ASSERT_TRUE(CreateDirectoryW(out.c_str(), nullptr));
    HostRun run = Host({L"get", Remote(Data(L"f.txt")) + L"\\:missing:$DATA", out + L"\\x"});
    SKIP_IF_MISSING(run);
    EXPECT_EQ(run.First("FsGetFileW = "), "3 FS_FILE_READERROR") << run.Text();
    std::string message = run.First("message: ");
    EXPECT_EQ(message.substr(0, 33), "Error reading file or stream.\\r\\n") << run.Text();
    EXPECT_FALSE(ReadBytes(out + L"\\missing"));
}

// What the host does next with each answer: a move removes its source and
// an edit's copy-back deletes the temporary copy after FS_FILE_OK, so a
// failure must never be answered so, and a cut copy must not be left to look
// like a whole one.
TEST_F(EndToEnd, KeystrokesKeepTheUsersData)
{
    const std::string big(2 * 1024 * 1024, 'b');
    WriteBytes(Data(L"big.dat"), big);
    WriteBytes(Data(L"f.txt"), "the file");
    WriteBytes(Data(L"f.txt:s:$DATA"), "the stream");
    WriteBytes(Data(L"e.txt"), "before the edit");
    const std::wstring out = folder_ + L"\\out", tmp = folder_ + L"\\tmp";
    ASSERT_TRUE(CreateDirectoryW(out.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(tmp.c_str(), nullptr));
    WriteBytes(tmp + L"\\edited.txt", "the user's edit");
    WriteBytes(tmp + L"\\big.in", big);
    WriteBytes(out + L"\\earlier.dat", "an earlier copy");
    WriteBytes(Data(L"earlier.dat"), "an earlier copy");
    WriteBytes(Data(L"f.txt:CON:$DATA"), "a stream named like a device");
    struct Row {
        const char* name;
        int abortAt;
        std::vector<std::wstring> arguments;
        const char* resultLine;  // "FsGetFileW = 3 ..." and the like
        const char* message;     // the message's start; null: none
        std::wstring gone;       // must not exist afterwards
        std::wstring kept;       // must hold keptBytes afterwards
        std::string keptBytes;
    };
    const Row rows[] = {
        {"F6 of a file another program holds", 0,
         {L"hold", Data(L"f.txt"), L"+", L"get", Remote(Data(L"f.txt")) + L"\\::$DATA", out + L"\\x", L"4"},
         "FsGetFileW = 3 FS_FILE_READERROR", "Error reading file or stream.\\r\\n", out + L"\\f.txt", Data(L"f.txt"),
         "the file"},
        {"F4's copy-back into a stream another program holds", 0,
         {L"hold", Data(L"f.txt:s:$DATA"), L"+", L"put", tmp + L"\\edited.txt",
          Remote(Data(L"f.txt")) + L"\\:s:$DATA", L"1"},
         "FsPutFileW = 4 FS_FILE_WRITEERROR", "Error writing file or stream.\\r\\n", L"", tmp + L"\\edited.txt",
         "the user's edit"},
        {"Esc during a 2 MB copy out", 2, {L"get", Remote(Data(L"big.dat")) + L"\\::$DATA", out + L"\\x"},
         "FsGetFileW = 5 FS_FILE_USERABORT", nullptr, out + L"\\big.dat", Data(L"big.dat"), big},
        {"Esc during a 2 MB copy in", 2, {L"put", tmp + L"\\big.in", Remote(Data(L"f.txt")) + L"\\big.in", L"4"},
         "FsPutFileW = 5 FS_FILE_USERABORT", nullptr, Data(L"f.txt:big.in:$DATA"), tmp + L"\\big.in", big},
        {"F4 on ::$DATA comes back into the file itself", 0,
         {L"put", tmp + L"\\edited.txt", Remote(Data(L"e.txt")) + L"\\::$DATA", L"1"}, "FsPutFileW = 0 FS_FILE_OK",
         nullptr, Data(L"e.txt:$DATA:$DATA"), Data(L"e.txt"), "the user's edit"},
        // An overwrite that does not complete leaves the existing file exactly
        // as it was, and the new file beside it never outlives the call.
        {"Esc during an overwrite of a local file", 2,
         {L"get", Remote(Data(L"big.dat")) + L"\\::$DATA", out + L"\\earlier.dat", L"1"},
         "FsGetFileW = 5 FS_FILE_USERABORT", nullptr, out + L"\\earlier.dat.~tnw00", out + L"\\earlier.dat",
         "an earlier copy"},
        {"Esc during an overwrite of a file in a directory", 2,
         {L"put", tmp + L"\\big.in", Remote(Data(L"earlier.dat")), L"1"}, "FsPutFileW = 5 FS_FILE_USERABORT", nullptr,
         Data(L"earlier.dat.~tnw00"), Data(L"earlier.dat"), "an earlier copy"},
        // A host that keeps the entry's colons in its proposal: the copy is a
        // file of a name Windows can hold, never a stream or a device.
        {"F5 of a stream named CON", 0, {L"get", Remote(Data(L"f.txt")) + L"\\:CON:$DATA", out + L"\\:CON:$DATA"},
         "FsGetFileW = 0 FS_FILE_OK", nullptr, out + L"\\:CON:$DATA", out + L"\\_CON",
         "a stream named like a device"},
        // F8 on a file from the folder above: the file goes as a whole or
        // not at all, never its streams one by one.
        {"F8 of a file another program holds", 0,
         {L"hold", Data(L"f.txt"), L"+", L"status", L"start", Remote(data_), L"8", L"+", L"del",
          Remote(Data(L"f.txt")) + L"\\:s:$DATA", L"+", L"rmdir", Remote(Data(L"f.txt")), L"+", L"status", L"end",
          Remote(data_), L"8"},
         "FsRemoveDirW = 0 FALSE, error 32", nullptr, L"", Data(L"f.txt:s:$DATA"), "the stream"},
        // A log another program writes, sharing reading and writing: its
        // streams are copied as the listing read them.
        {"F5 of a file another program writes", 0,
         {L"hold", Data(L"f.txt"), L"3", L"+", L"get", Remote(Data(L"f.txt")) + L"\\::$DATA", tmp + L"\\x"},
         "FsGetFileW = 0 FS_FILE_OK", nullptr, L"", tmp + L"\\f.txt", "the file"},
        // A name Windows' own rules refuse is not made through the long form.
        {"F7 of a name that ends in a dot", 0, {L"mkdir", Remote(Data(L"name."))}, "FsMkDirW = 0 FALSE, error 123",
         "Error writing file or stream.\\r\\n", Data(L"name."), Data(L"f.txt"), "the file"},
        {"F6 between two panels of the plugin", 0,
         {L"rename", Remote(Data(L"f.txt")), Remote(out + L"\\f.txt"), L"1"}, "FsRenMovFileW = 6 FS_FILE_NOTSUPPORTED",
         "Not Supported", out + L"\\f.txt", Data(L"f.txt"), "the file"},
    };
    for (const Row& row : rows) {
        HostRun run = row.abortAt ? AbortingHost(row.abortAt, row.arguments) : Host(row.arguments);
        SKIP_IF_MISSING(run);
        EXPECT_TRUE(run.Has(row.resultLine)) << row.name << "\n" << run.Text();
        std::vector<std::string> messages = run.After("message: ");
        if (row.message) {
            ASSERT_EQ(messages.size(), 1u) << row.name << "\n" << run.Text();
            EXPECT_EQ(messages[0].substr(0, std::string(row.message).size()), row.message) << row.name;
        } else {
            EXPECT_TRUE(messages.empty()) << row.name << "\n" << run.Text();
        }
        if (!row.gone.empty()) {
            EXPECT_FALSE(ReadBytes(row.gone)) << row.name << ": " << Utf8(row.gone) << " is there";
        }
        EXPECT_EQ(ReadBytes(row.kept), row.keptBytes) << row.name << ": " << Utf8(row.kept);
    }
}

// The file manager runs F5 and F6 on a thread of its own where the plugin
// allows it, while the user keeps browsing on the window thread: the copy
// completes and every listing and column beside it answers.
TEST_F(EndToEnd, CopiesRunInTheBackgroundWhileTheWindowBrowses)
{
    std::string big(3 * 1024 * 1024, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 13 + i / 4096);
    WriteBytes(Data(L"big.dat"), big);
    for (const wchar_t* name : {L"a.txt", L"b.txt", L"c.txt"}) {
        WriteBytes(Data(name), "a file");
        WriteBytes(Data(std::wstring(name) + L":note:$DATA"), "a note");
    }
    const std::wstring out = folder_ + L"\\out", tmp = folder_ + L"\\tmp";
    ASSERT_TRUE(CreateDirectoryW(out.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(tmp.c_str(), nullptr));
    WriteBytes(tmp + L"\\big.in", big);
    const struct {
        const char* name;
        std::vector<std::wstring> arguments;
        const char* resultLine;
        std::wstring target;
    } rows[] = {
        {"F5 out of the plugin", {L"get", Remote(Data(L"big.dat")) + L"\\::$DATA", out + L"\\x"},
         "FsGetFileW = 0 FS_FILE_OK", out + L"\\big.dat"},
        {"F6 into a file as a named stream",
         {L"put", tmp + L"\\big.in", Remote(Data(L"a.txt")) + L"\\big.in", L"4"}, "FsPutFileW = 0 FS_FILE_OK",
         Data(L"a.txt:big.in:$DATA")},
    };
    for (const auto& row : rows) {
        std::vector<std::wstring> arguments = {L"background", Remote(data_)};
        arguments.insert(arguments.end(), row.arguments.begin(), row.arguments.end());
        HostRun run = Host(arguments);
        SKIP_IF_MISSING(run);
        EXPECT_EQ(run.First("FsGetBackgroundFlags = "), "3") << row.name;
        EXPECT_TRUE(run.Has("background thread: ends")) << row.name << "\n" << run.Text();
        EXPECT_TRUE(run.Has(row.resultLine)) << row.name << "\n" << run.Text();
        EXPECT_TRUE(ReadBytes(row.target) == big) << row.name << ": the copy differs";
        EXPECT_TRUE(run.After("message: ").empty()) << row.name << "\n" << run.Text();
        // "N rounds while the copy ran, E entries, D values delayed, 0 failures"
        const std::string window = run.First("window thread: ");
        int rounds = 0, entries = 0, delayed = 0, failures = -1;
        ASSERT_EQ(std::sscanf(window.c_str(), "%d rounds while the copy ran, %d entries, %d values delayed, %d failures",
                              &rounds, &entries, &delayed, &failures),
                  4)
            << row.name << "\n" << run.Text();
        EXPECT_GE(rounds, 1) << row.name;
        EXPECT_GE(entries, 4) << row.name;
        EXPECT_GT(delayed, 0) << row.name << ": the window thread waited for values that open files";
        EXPECT_EQ(failures, 0) << row.name << "\n" << run.Text();
    }
    // The move's source is gone once its copy is complete.
    EXPECT_FALSE(ReadBytes(tmp + L"\\big.in"));
}

// A view whose file is cut underneath faults while the bytes move. The copy
// fails, and the exception dispatch is left complete: after the plugin is
// unloaded the host's own exceptions still reach the host's own handlers.
TEST_F(EndToEnd, ASourceCutUnderneathFailsTheCopyAndLeavesTheProcessSound)
{
    WriteBytes(Data(L"big.dat"), std::string(3 * 1024 * 1024, 'c'));
    const std::wstring out = folder_ + L"\\out";
    ASSERT_TRUE(CreateDirectoryW(out.c_str(), nullptr));
    HostRun run = e2e::RunHost(plugin_, {L"get", Remote(Data(L"big.dat")) + L"\\::$DATA", out + L"\\x"}, 0,
                               {L"--shrink-at", L"2", Data(L"big.dat"), L"--raise-after-unload"});
    SKIP_IF_MISSING(run);
    EXPECT_TRUE(run.Has("shrink: " + Utf8(Data(L"big.dat")) + " cut to 0 bytes")) << run.Text();
    EXPECT_EQ(run.First("FsGetFileW = "), "3 FS_FILE_READERROR") << run.Text();
    EXPECT_TRUE(run.After("fault: ").empty()) << run.Text();
    EXPECT_TRUE(run.Has("after unload: the host's own exception handler ran")) << run.Text();
    EXPECT_EQ(run.exitCode, 0u) << run.Text();
    EXPECT_FALSE(ReadBytes(out + L"\\big.dat")) << "the cut copy is left";
}

// ------------------------------------------------------------------ copying in

TEST_F(EndToEnd, CopyInToDirectoriesAndFileFolders)
{
    const std::wstring in = folder_ + L"\\in";
    ASSERT_TRUE(CreateDirectoryW(in.c_str(), nullptr));
    WriteBytes(in + L"\\n.txt", "new file");
    WriteBytes(in + L"\\notes.txt", "notes");
    WriteBytes(in + L"\\moved.txt", "moved");
    WriteBytes(Data(L"f.txt"), "holder");
    struct Row {
        const char* name;
        std::vector<std::wstring> arguments;
        const char* result;
        std::wstring target;
        std::string contents;
        std::vector<std::string> percents;
    };
    const Row rows[] = {
        {"into a directory: a file", {L"put", in + L"\\n.txt", Remote(Data(L"n.txt"))}, "0 FS_FILE_OK",
         Data(L"n.txt"), "new file", {"0", "8", "100"}},
        {"into a file's folder: a named stream", {L"put", in + L"\\notes.txt", Remote(Data(L"f.txt\\notes.txt"))},
         "0 FS_FILE_OK", Data(L"f.txt:notes.txt:$DATA"), "notes", {"0", "5", "100"}},
        {"a move deletes the local source", {L"put", in + L"\\moved.txt", Remote(Data(L"moved.txt")), L"4"},
         "0 FS_FILE_OK", Data(L"moved.txt"), "moved", {"0", "5", "100"}},
    };
    for (const Row& row : rows) {
        HostRun run = Host(row.arguments);
        SKIP_IF_MISSING(run);
        EXPECT_EQ(run.First("FsPutFileW = "), row.result) << row.name << "\n" << run.Text();
        EXPECT_EQ(ReadBytes(row.target).value_or("missing"), row.contents) << row.name;
        EXPECT_EQ(Percents(run), row.percents) << row.name;
    }
    EXPECT_FALSE(ReadBytes(in + L"\\moved.txt")) << "the moved source is gone";
    EXPECT_EQ(ReadBytes(in + L"\\n.txt").value_or("missing"), "new file") << "a copy keeps its source";
}

TEST_F(EndToEnd, CopyInRefusals)
{
    const std::wstring in = folder_ + L"\\in";
    ASSERT_TRUE(CreateDirectoryW(in.c_str(), nullptr));
    WriteBytes(in + L"\\n.txt", "new");
    WriteBytes(Data(L"n.txt"), "old");
    struct Row {
        const char* name;
        std::vector<std::wstring> arguments;
        const char* result;
        std::vector<std::string> messages;
    };
    const Row rows[] = {
        {"into the plugin's root", {L"put", in + L"\\n.txt", L"\\n.txt"}, "6 FS_FILE_NOTSUPPORTED",
         {"Copying to root directory isn't supported. (plugin 1)"}},
        {"a missing source", {L"put", in + L"\\missing.txt", Remote(Data(L"m.txt"))}, "2 FS_FILE_NOTFOUND", {}},
        {"a missing folder", {L"put", in + L"\\n.txt", Remote(Data(L"nodir\\n.txt"))}, "2 FS_FILE_NOTFOUND", {}},
        {"an existing target without overwrite", {L"put", in + L"\\n.txt", Remote(Data(L"n.txt"))},
         "1 FS_FILE_EXISTS", {}},
    };
    for (const Row& row : rows) {
        HostRun run = Host(row.arguments);
        SKIP_IF_MISSING(run);
        EXPECT_EQ(run.First("FsPutFileW = "), row.result) << row.name << "\n" << run.Text();
        EXPECT_EQ(run.After("message: "), row.messages) << row.name;
        EXPECT_TRUE(run.After("progress: ").empty()) << row.name << ": nothing was copied";
    }
    EXPECT_EQ(ReadBytes(Data(L"n.txt")).value_or("missing"), "old");
}

// ------------------------------------------------------------------ execute and typed commands

TEST_F(EndToEnd, VerbsOnStreamsAndTheRoot)
{
    WriteBytes(Data(L"f.txt"), "file");
    const std::wstring stream = Remote(Data(L"f.txt")) + L"\\:s:$DATA";
    struct Row {
        const char* name;
        std::wstring remote;
        std::wstring verb;
        const char* result;
        std::vector<std::string> messages;
    };
    const Row rows[] = {
        {"open on a stream", stream, L"open", "1", {"You cann't execute file streams. (plugin 1)"}},
        {"properties of a stream", stream, L"properties", "0", {"Not implemented yet. (plugin 1)"}},
        {"chmod with a mode", Remote(Data(L"f.txt")), L"chmod 644", "1", {"Not implemented yet. (plugin 1)"}},
        {"chmod alone", Remote(Data(L"f.txt")), L"chmod", "1", {}},
        {"an unknown verb", Remote(Data(L"f.txt")), L"frobnicate", "1", {}},
        {"open at the root does nothing", L"\\", L"open", "0", {}},
        {"a typed command at the root does nothing", L"\\", L"quote mkdir C:\\scratch\\never", "0", {}},
    };
    for (const Row& row : rows) {
        HostRun run = Host({L"exec", row.remote, row.verb});
        SKIP_IF_MISSING(run);
        EXPECT_EQ(run.First("FsExecuteFileW = "), row.result) << row.name << "\n" << run.Text();
        EXPECT_EQ(run.After("message: "), row.messages) << row.name;
        EXPECT_TRUE(run.After("name now: ").empty()) << row.name << ": the name is never written";
    }
    EXPECT_EQ(GetFileAttributesW(L"C:\\scratch\\never"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(EndToEnd, TypedCommandsDeleteRemoveAndMake)
{
    WriteBytes(Data(L"old.txt"), "old");
    WriteBytes(Data(L"ro.txt"), "read-only");
    ASSERT_TRUE(SetFileAttributesW(Data(L"ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(CreateDirectoryW(Data(L"empty").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(Data(L"full").c_str(), nullptr));
    WriteBytes(Data(L"full\\x"), "x");
    const std::wstring here = Remote(data_);
    struct Row {
        const char* name;
        std::wstring verb;
        const char* result;
        std::string messageStart;  // the beginning of the one message, or empty for none
        std::wstring gone, made;
    };
    const Row rows[] = {
        {"del of a file", L"quote del " + Data(L"old.txt"), "0", "", Data(L"old.txt"), L""},
        {"rmdir of an empty directory", L"quote rmdir " + Data(L"empty"), "0", "", Data(L"empty"), L""},
        {"del of a read-only file", L"quote del " + Data(L"ro.txt"), "0", "Error deleting file or stream.: ", L"",
         L""},
        {"rmdir of a full directory", L"quote rmdir " + Data(L"full"), "0", "Error deleting file or stream.: ", L"",
         L""},
        {"mkdir of a quoted chain with a blank", L"quote mkdir \"" + Data(L"a b\\c") + L"\"", "0", "", L"",
         Data(L"a b\\c")},
        {"MKDIR in capitals", L"QUOTE MKDIR " + Data(L"upper"), "0", "", L"", Data(L"upper")},
        {"mkdir with nothing after it", L"quote mkdir ", "1", "", L"", L""},
    };
    for (const Row& row : rows) {
        HostRun run = Host({L"exec", here, row.verb});
        SKIP_IF_MISSING(run);
        EXPECT_EQ(run.First("FsExecuteFileW = "), row.result) << row.name << "\n" << run.Text();
        std::vector<std::string> messages = run.After("message: ");
        if (row.messageStart.empty()) {
            EXPECT_TRUE(messages.empty()) << row.name << "\n" << run.Text();
        } else {
            ASSERT_EQ(messages.size(), 1u) << row.name << "\n" << run.Text();
            EXPECT_EQ(messages[0].substr(0, row.messageStart.size()), row.messageStart) << row.name;
            EXPECT_GT(messages[0].size(), row.messageStart.size() + 12) << row.name << ": the system's text follows";
        }
        if (!row.gone.empty()) {
            EXPECT_EQ(GetFileAttributesW(row.gone.c_str()), INVALID_FILE_ATTRIBUTES) << row.name;
        }
        if (!row.made.empty()) {
            EXPECT_TRUE(GetFileAttributesW(row.made.c_str()) & FILE_ATTRIBUTE_DIRECTORY) << row.name;
        }
    }
    EXPECT_EQ(ReadBytes(Data(L"ro.txt")).value_or("missing"), "read-only");
    EXPECT_EQ(ReadBytes(Data(L"full\\x")).value_or("missing"), "x");
    SetFileAttributesW(Data(L"ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

// ------------------------------------------------------------------ content columns

TEST_F(EndToEnd, ColumnsFieldsAndDefaultView)
{
    HostRun run = Host({L"fields", L"+", L"view"});
    SKIP_IF_MISSING(run);
    EXPECT_EQ(run.After("field "), (std::vector<std::string>{
                                       "0: Has Stream (boolean), sort order -1",
                                       "1: Streams Count (numeric_32), sort order -1",
                                       "2: Stream (stringw) units 1|2|3|4|5|6|7|8|9|10, sort order -1",
                                       "3: All Streams One Line (stringw), sort order -1",
                                       "4: Type (stringw), sort order 1",
                                       "5: Streams Size (numeric_64), sort order -1",
                                       "6: Zone (multiplechoice) units Local machine|Local intranet|Trusted sites|"
                                       "Internet|Restricted sites, sort order -1",
                                       "7: Zone Host URL (stringw), sort order -1",
                                       "8: Zone Referrer URL (stringw), sort order -1",
                                   }))
        << run.Text();
    EXPECT_EQ(run.First("FsContentGetDefaultViewW = "), "-1 TRUE");
    EXPECT_EQ(run.First("view headers: "), "Type\\nHas Stream\\nStreams Count\\nAll Streams One Line");
    EXPECT_EQ(run.First("view widths: "), "80,-30,-40,-37,50,510");
    EXPECT_EQ(run.First("view options: "), "-1|0");
}

TEST_F(EndToEnd, ColumnsOfFilesDirectoriesAndStreams)
{
    WriteBytes(Data(L"f.txt"), "file");
    WriteBytes(Data(L"noext"), "file");
    ASSERT_TRUE(CreateDirectoryW(Data(L"dir").c_str(), nullptr));
    struct Row {
        const char* name;
        std::wstring remote;
        std::string type;
        const char* hasStream;
        const char* count;  // the descriptor and, for a file, its data
    };
    const Row rows[] = {
        {"a file: its extension", Remote(Data(L"f.txt")), "txt", "boolean 1", "numeric_32 2"},
        {"a file without an extension", Remote(Data(L"noext")), "", "boolean 1", "numeric_32 2"},
        {"a directory", Remote(Data(L"dir")), "<Dir>", "boolean 1", "numeric_32 1"},
        {"a stream entry", Remote(Data(L"f.txt")) + L"\\:s:$DATA", "<Stream>", "boolean 0", "numeric_32 0"},
        {"a missing entry", Remote(Data(L"missing.txt")), "?", "boolean 0", "numeric_32 0"},
    };
    for (const Row& row : rows) {
        HostRun run = Host({L"columns", row.remote});
        SKIP_IF_MISSING(run);
        EXPECT_EQ(run.First("column Type: "), "stringw " + row.type) << row.name << "\n" << run.Text();
        EXPECT_EQ(run.First("column Has Stream: "), row.hasStream) << row.name;
        EXPECT_EQ(run.First("column Streams Count: "), row.count) << row.name;
        // No named stream: nothing to name.
        EXPECT_EQ(run.First("column All Streams One Line: "), "stringw ") << row.name;
    }
}

// The Mark of the Web as a browser writes it, a malformed one, and the size
// a file hides in its named streams.
TEST_F(EndToEnd, ColumnsOfTheMarkOfTheWebAndTheStreamsSize)
{
    WriteBytes(Data(L"dl.zip"), "zip");
    WriteBytes(Data(L"dl.zip:Zone.Identifier:$DATA"),
               "[ZoneTransfer]\r\nZoneId=3\r\nReferrerUrl=https://example.org/downloads\r\n"
               "HostUrl=https://example.org/files/dl.zip\r\n");
    WriteBytes(Data(L"bad.zip"), "zip");
    WriteBytes(Data(L"bad.zip:Zone.Identifier:$DATA"), "[ZoneTransfer]\r\nZoneId=9\r\nHostUrl=\r\n");
    WriteBytes(Data(L"plain.txt"), "text");
    const struct {
        std::wstring remote;
        const char* zone;
        const char* host;
        const char* referrer;
        const char* size;
    } rows[] = {
        {Remote(Data(L"dl.zip")), "multiplechoice Internet", "stringw https://example.org/files/dl.zip",
         "stringw https://example.org/downloads", "numeric_64 111"},
        {Remote(Data(L"bad.zip")), "fieldempty ", "fieldempty ", "fieldempty ", "numeric_64 36"},
        {Remote(Data(L"plain.txt")), "fieldempty ", "fieldempty ", "fieldempty ", "numeric_64 0"},
    };
    for (const auto& row : rows) {
        HostRun run = Host({L"columns", row.remote});
        EXPECT_EQ(run.First("column Zone: "), row.zone) << Utf8(row.remote) << "\n" << run.Text();
        EXPECT_EQ(run.First("column Zone Host URL: "), row.host) << Utf8(row.remote);
        EXPECT_EQ(run.First("column Zone Referrer URL: "), row.referrer) << Utf8(row.remote);
        EXPECT_EQ(run.First("column Streams Size: "), row.size) << Utf8(row.remote);
    }
}

TEST_F(EndToEnd, ColumnTypeTextsComeFromTheLanguageFile)
{
    ASSERT_TRUE(CreateDirectoryW(Data(L"dir").c_str(), nullptr));
    InstallLanguage("wfx_Tarnwick language file", 20, "<Verzeichnis>");
    HostRun run = Host({L"columns", Remote(Data(L"dir"))});
    SKIP_IF_MISSING(run);
    EXPECT_EQ(run.First("column Type: "), "stringw <Verzeichnis>") << run.Text();
}

// ------------------------------------------------------------------ streams
// Wine has no backup API; the host serves the DLL's BackupRead and BackupSeek
// from Wine's files (tools/host/backup_layer.h), so the DLL's own stream walk
// runs: the security descriptor, the unnamed data stream, and each
// "f.txt:name:$DATA" file as the named stream ":name:$DATA".
TEST_F(EndToEnd, StreamsOfAFileAreListed)
{
    WriteBytes(Data(L"f.txt"), "file");
    WriteBytes(Data(L"f.txt:note:$DATA"), "a note");
    const std::wstring out = folder_ + L"\\out";
    ASSERT_TRUE(CreateDirectoryW(out.c_str(), nullptr));
    HostRun run = Host({L"list", Remote(Data(L"f.txt")), L"+", L"columns", Remote(Data(L"f.txt")), L"+", L"list",
                        Remote(data_), L"+", L"get", Remote(Data(L"f.txt")) + L"\\::$SECURITY_DESCRIPTOR",
                        out + L"\\sd.bin", L"+", L"get", Remote(Data(L"f.txt")) + L"\\:note:$DATA", out + L"\\x"});
    SKIP_IF_MISSING(run);
    ASSERT_TRUE(run.Has("backup API: served from Wine's files by the host (Wine has none)")) << run.Text();
    std::vector<std::string> names, attributes;
    for (const std::string& entry : run.After("entry: ")) {
        attributes.push_back(entry.substr(0, 10));
        names.push_back(entry.substr(entry.rfind(' ') + 1));
    }
    // The file's folder, then the data folder: its own descriptor before its entries.
    ASSERT_GE(names.size(), 5u) << run.Text();
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 3),
              (std::vector<std::string>{"::$SECURITY_DESCRIPTOR", "::$DATA", ":note:$DATA"}))
        << run.Text();
    EXPECT_EQ(attributes[0], "0x00000086") << "the descriptor is hidden and system";
    EXPECT_EQ(attributes[1], "0x00000080");
    EXPECT_EQ(names[3], "::$SECURITY_DESCRIPTOR") << "a directory lists its own streams first\n" << run.Text();
    EXPECT_EQ(run.First("column Streams Count: "), "numeric_32 3") << run.Text();
    EXPECT_EQ(run.First("column All Streams One Line: "), "stringw note") << run.Text();
    EXPECT_EQ(run.After("FsGetFileW = "), (std::vector<std::string>{"0 FS_FILE_OK", "0 FS_FILE_OK"})) << run.Text();
    EXPECT_EQ(ReadBytes(out + L"\\note").value_or("missing"), "a note");
    const std::string listed = run.First("entry: 0x00000086 ");
    const std::string size = listed.substr(0, listed.find(' '));
    EXPECT_EQ(std::to_string(ReadBytes(out + L"\\sd.bin").value_or("").size()), size)
        << "the descriptor copied out is the stream the listing showed";
}

}  // namespace
