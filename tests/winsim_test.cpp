// winsim itself: the platform behaviours the plugin relies on, as Windows
// shows them. Each row is something real Windows was observed to do.
#include <thread>

#include "host_fixture.h"

namespace {

class WinsimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        winsim::Reset();
        winsim::AddVolume(u'C');
        winsim::AddFile(u"C:\\dir\\file.txt", "hello");
        winsim::AddFile(u"C:\\dir\\ro.txt", "ro", FILE_ATTRIBUTE_READONLY);
        winsim::AddDirectory(u"C:\\dir\\sub");
    }
    void TearDown() override
    {
        auto leaks = winsim::Leaks();
        EXPECT_TRUE(leaks.empty()) << leaks.size() << " left, first: " << (leaks.empty() ? "" : leaks[0]);
    }
};

struct OpenCase {
    const char16_t* path;
    DWORD access;
    DWORD disposition;
    DWORD flags;
    bool opens;
    DWORD error;  // the last error after the call, success or not
};

TEST_F(WinsimTest, CreateFileDispositionsAndErrors)
{
    const DWORD R = GENERIC_READ, W = GENERIC_WRITE, B = FILE_FLAG_BACKUP_SEMANTICS;
    const OpenCase cases[] = {
        {u"C:\\dir\\file.txt", R, OPEN_EXISTING, 0, true, ERROR_SUCCESS},
        {u"C:\\dir\\file.txt", R, OPEN_ALWAYS, 0, true, ERROR_ALREADY_EXISTS},
        {u"C:\\dir\\file.txt", R, CREATE_NEW, 0, false, ERROR_FILE_EXISTS},
        {u"C:\\dir\\missing.txt", R, OPEN_EXISTING, 0, false, ERROR_FILE_NOT_FOUND},
        {u"C:\\nodir\\missing.txt", R, OPEN_EXISTING, 0, false, ERROR_PATH_NOT_FOUND},
        {u"C:\\nodir\\missing.txt", W, CREATE_ALWAYS, 0, false, ERROR_PATH_NOT_FOUND},
        {u"C:\\dir\\file.txt\\x", R, OPEN_EXISTING, 0, false, ERROR_PATH_NOT_FOUND},
        {u"Q:\\x.txt", R, OPEN_EXISTING, 0, false, ERROR_PATH_NOT_FOUND},
        {u"C:\\dir\\ro.txt", R, OPEN_EXISTING, 0, true, ERROR_SUCCESS},
        {u"C:\\dir\\ro.txt", W, OPEN_EXISTING, 0, false, ERROR_ACCESS_DENIED},
        {u"C:\\dir\\ro.txt", W, CREATE_ALWAYS, 0, false, ERROR_ACCESS_DENIED},
        {u"C:\\dir\\sub", R, OPEN_EXISTING, 0, false, ERROR_ACCESS_DENIED},  // no backup semantics
        {u"C:\\dir\\sub", 0, OPEN_EXISTING, 0, false, ERROR_ACCESS_DENIED},
        {u"C:\\dir\\sub", R, OPEN_EXISTING, B, true, ERROR_SUCCESS},
        {u"C:\\", R, OPEN_EXISTING, B, true, ERROR_SUCCESS},
        {u"\\\\?\\C:\\dir\\file.txt", R, OPEN_EXISTING, 0, true, ERROR_SUCCESS},
        {u"\\\\?\\C:\\dir\\..\\dir\\file.txt", R, OPEN_EXISTING, 0, false, ERROR_INVALID_NAME},
        {u"\\\\?\\C:/dir/file.txt", R, OPEN_EXISTING, 0, false, ERROR_INVALID_NAME},
        {u"C:/dir/./sub/../file.txt", R, OPEN_EXISTING, 0, true, ERROR_SUCCESS},  // Win32 parsing
        {u"C:\\dir\\file.txt. ", R, OPEN_EXISTING, 0, true, ERROR_SUCCESS},       // trailing dots and blanks
        {u"C:\\dir\\file.txt\\", R, OPEN_EXISTING, 0, false, ERROR_INVALID_NAME},
        {u"C:\\dir\\fi*e.txt", R, OPEN_EXISTING, 0, false, ERROR_INVALID_NAME},
        {u"C:\\dir\\file.txt::$DATA", R, OPEN_EXISTING, 0, true, ERROR_SUCCESS},
        {u"C:\\dir\\file.txt:s:$DATA", R, OPEN_EXISTING, 0, false, ERROR_FILE_NOT_FOUND},
        {u"C:\\dir\\file.txt::$EA_DATA", R, OPEN_EXISTING, 0, false, ERROR_INVALID_NAME},
        {u"C:\\dir\\file.txt::", R, OPEN_EXISTING, 0, false, ERROR_INVALID_NAME},
        {u"", R, OPEN_EXISTING, 0, false, ERROR_PATH_NOT_FOUND},
        {u"C:\\dir\\file.txt", R, 0, 0, false, ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : cases) {
        SetLastError(0xdeadbeef);
        HANDLE h = CreateFileW(c.path, c.access, FILE_SHARE_READ, nullptr, c.disposition, c.flags, nullptr);
        DWORD error = GetLastError();
        EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.opens) << "for " << U8(c.path);
        EXPECT_EQ(error, c.error) << "for " << U8(c.path);
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
}

TEST_F(WinsimTest, CreatingAStreamCreatesItAndTheFileWhenMissing)
{
    HANDLE h = CreateFileW(u"C:\\dir\\new.txt:s", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(h, "abc", 3, &written, nullptr));
    CloseHandle(h);
    EXPECT_EQ(winsim::Contents(u"C:\\dir\\new.txt").value_or("?"), "");
    EXPECT_EQ(winsim::Contents(u"C:\\dir\\new.txt:S").value_or("?"), "abc") << "stream names ignore case";
}

struct ShareCase {
    DWORD firstAccess, firstShare, secondAccess, secondShare;
    bool secondOpens;
};

TEST_F(WinsimTest, SharingModesAreCheckedBothWays)
{
    const DWORD R = GENERIC_READ, W = GENERIC_WRITE, SR = FILE_SHARE_READ, SW = FILE_SHARE_WRITE,
                SD = FILE_SHARE_DELETE;
    const ShareCase cases[] = {
        {R, SR, R, SR, true},           {R, SR, W, SR | SW, false},   {R, SR | SW, W, SR | SW, true},
        {W, SR, R, SR, false},          {W, SR | SW, R, SR | SW, true}, {R, 0, R, SR, false},
        {0, 0, R, SR, true},            {R, SR, 0, 0, true},          {R, SR, DELETE, SR, false},
        {R, SR | SD, DELETE, SR, true}, {R, SR, R, 0, false},
    };
    for (const auto& c : cases) {
        HANDLE first = CreateFileW(u"C:\\dir\\file.txt", c.firstAccess, c.firstShare, nullptr, OPEN_EXISTING, 0,
                                   nullptr);
        ASSERT_NE(first, INVALID_HANDLE_VALUE);
        SetLastError(0xdeadbeef);
        HANDLE second = CreateFileW(u"C:\\dir\\file.txt", c.secondAccess, c.secondShare, nullptr, OPEN_EXISTING, 0,
                                    nullptr);
        EXPECT_EQ(second != INVALID_HANDLE_VALUE, c.secondOpens)
            << std::hex << "first " << c.firstAccess << "/" << c.firstShare << ", second " << c.secondAccess << "/"
            << c.secondShare;
        if (second != INVALID_HANDLE_VALUE)
            CloseHandle(second);
        else
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        CloseHandle(first);
    }
}

TEST_F(WinsimTest, GetFileSizeLeavesTheLastErrorOnSuccess)
{
    winsim::AddFile(u"C:\\empty.txt", "");
    winsim::AddPatternFile(u"C:\\big.bin", 5ull << 30);
    HANDLE empty = CreateFileW(u"C:\\empty.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE big = CreateFileW(u"C:\\big.bin", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD high = 7;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetFileSize(empty, &high), 0u);
    EXPECT_EQ(high, 0u);
    EXPECT_EQ(GetLastError(), 0xdeadbeefu);
    EXPECT_EQ(GetFileSize(big, &high), 1u << 30);
    EXPECT_EQ(high, 1u);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetFileSize(reinterpret_cast<HANDLE>(0x4444), nullptr), INVALID_FILE_SIZE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    char buffer[4];
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(big, buffer, 4, &got, nullptr));
    EXPECT_EQ(static_cast<std::uint8_t>(buffer[3]), winsim::PatternByte(1, 3));
    CloseHandle(empty);
    CloseHandle(big);
}

TEST_F(WinsimTest, GetFileAttributesOfEveryKindOfEntry)
{
    const std::pair<const char16_t*, DWORD> cases[] = {
        {u"C:\\", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
        {u"\\\\?\\C:\\", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
        {u"C:\\dir", FILE_ATTRIBUTE_DIRECTORY},
        {u"C:\\dir\\", FILE_ATTRIBUTE_DIRECTORY},
        {u"C:\\dir\\file.txt", FILE_ATTRIBUTE_ARCHIVE},
        {u"C:\\dir\\ro.txt", FILE_ATTRIBUTE_READONLY},
        {u"C:\\dir\\file.txt\\", INVALID_FILE_ATTRIBUTES},
        {u"C:\\dir\\missing", INVALID_FILE_ATTRIBUTES},
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(GetFileAttributesW(path), expected) << "for " << U8(path);
    winsim::SetAttributes(u"C:\\dir\\file.txt", 0);
    EXPECT_EQ(GetFileAttributesW(u"C:\\dir\\file.txt"), FILE_ATTRIBUTE_NORMAL) << "no attribute reads as NORMAL";
}

TEST_F(WinsimTest, DirectorySearchesReturnDotEntriesOutsideARootOnly)
{
    auto names = [](const char16_t* pattern) {
        std::vector<std::string> out;
        WIN32_FIND_DATAW d{};
        HANDLE h = FindFirstFileW(pattern, &d);
        if (h == INVALID_HANDLE_VALUE)
            return std::vector<std::string>{"error " + std::to_string(GetLastError())};
        do
            out.push_back(winsim::Narrow(d.cFileName));
        while (FindNextFileW(h, &d));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
        FindClose(h);
        return out;
    };
    EXPECT_EQ(names(u"C:\\dir\\*.*"), (std::vector<std::string>{".", "..", "file.txt", "ro.txt", "sub"}));
    EXPECT_EQ(names(u"C:\\*"), (std::vector<std::string>{"dir"}));
    EXPECT_EQ(names(u"C:\\dir\\*.txt"), (std::vector<std::string>{"file.txt", "ro.txt"}));
    EXPECT_EQ(names(u"C:\\dir\\FILE.TXT"), (std::vector<std::string>{"file.txt"}));
    EXPECT_EQ(names(u"C:\\dir\\sub\\*"), (std::vector<std::string>{".", ".."}));
    EXPECT_EQ(names(u"C:\\dir\\nothing*"), (std::vector<std::string>{"error 2"}));
    EXPECT_EQ(names(u"C:\\nodir\\*"), (std::vector<std::string>{"error 3"}));
    EXPECT_EQ(names(u"C:\\dir\\file.txt\\*"), (std::vector<std::string>{"error 267"}));
}

TEST_F(WinsimTest, JunctionsLeadToTheirTarget)
{
    winsim::AddFile(u"C:\\target\\inside.txt", "x");
    winsim::AddJunction(u"C:\\dir\\link", u"C:\\target");
    EXPECT_EQ(GetFileAttributesW(u"C:\\dir\\link") & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
              FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
    EXPECT_EQ(winsim::Contents(u"C:\\dir\\link\\inside.txt").value_or("?"), "x");
}

// Without FILE_FLAG_OPEN_REPARSE_POINT an open reaches a link's target (a
// reparse tag that no filter handles cannot be opened at all); with it, the
// link itself. A search reports the tag in dwReserved0, and the final path of
// what an open reached is the target's.
TEST_F(WinsimTest, OpensFollowLinksUnlessTheLinkItselfIsAskedFor)
{
    winsim::AddVolume(u'D');
    winsim::AddFile(u"D:\\target\\inside.txt", "x");
    winsim::AddJunction(u"C:\\dir\\junction", u"D:\\target");
    winsim::AddDirectorySymlink(u"C:\\dir\\dirlink", u"D:\\target");
    winsim::AddFileSymlink(u"C:\\dir\\filelink", u"D:\\target\\inside.txt");
    winsim::AddReparseFile(u"C:\\dir\\app.exe", IO_REPARSE_TAG_APPEXECLINK);
    const struct {
        const char16_t* path;
        DWORD flags;
        DWORD tag;           // dwReserved0 of a search for the path itself
        const char16_t* reached;  // GetFinalPathNameByHandleW; null: the open fails
        DWORD error;
    } cases[] = {
        {u"C:\\dir\\junction", FILE_FLAG_BACKUP_SEMANTICS, IO_REPARSE_TAG_MOUNT_POINT, u"\\\\?\\D:\\target", 0},
        {u"C:\\dir\\junction", FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, IO_REPARSE_TAG_MOUNT_POINT,
         u"\\\\?\\C:\\dir\\junction", 0},
        {u"C:\\dir\\dirlink", FILE_FLAG_BACKUP_SEMANTICS, IO_REPARSE_TAG_SYMLINK, u"\\\\?\\D:\\target", 0},
        {u"C:\\dir\\filelink", 0, IO_REPARSE_TAG_SYMLINK, u"\\\\?\\D:\\target\\inside.txt", 0},
        {u"C:\\dir\\filelink", FILE_FLAG_OPEN_REPARSE_POINT, IO_REPARSE_TAG_SYMLINK, u"\\\\?\\C:\\dir\\filelink", 0},
        {u"C:\\dir\\app.exe", 0, IO_REPARSE_TAG_APPEXECLINK, nullptr, ERROR_CANT_ACCESS_FILE},
        {u"C:\\dir\\app.exe", FILE_FLAG_OPEN_REPARSE_POINT, IO_REPARSE_TAG_APPEXECLINK, u"\\\\?\\C:\\dir\\app.exe", 0},
        {u"C:\\", FILE_FLAG_BACKUP_SEMANTICS, 0, u"\\\\?\\C:\\", 0},
    };
    for (const auto& c : cases) {
        WIN32_FIND_DATAW found{};
        HANDLE search = FindFirstFileW(c.path, &found);
        if (search != INVALID_HANDLE_VALUE) {
            EXPECT_EQ(found.dwReserved0, c.tag) << U8(c.path);
            FindClose(search);
        }
        SetLastError(0xdeadbeef);
        HANDLE h = CreateFileW(c.path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, c.flags, nullptr);
        if (!c.reached) {
            EXPECT_EQ(h, INVALID_HANDLE_VALUE) << U8(c.path);
            EXPECT_EQ(GetLastError(), c.error) << U8(c.path);
            continue;
        }
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << U8(c.path) << ": error " << GetLastError();
        WCHAR reached[MAX_PATH] = {};
        DWORD n = GetFinalPathNameByHandleW(h, reached, MAX_PATH, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        EXPECT_EQ(std::u16string(reached, n), c.reached) << U8(c.path) << " flags 0x" << std::hex << c.flags;
        CloseHandle(h);
    }
}

// Several names, one file: the data and the streams belong to the file, a
// delete removes one name, and ReplaceFileW renames the replacement into one
// name, which splits the file from its other names.
TEST_F(WinsimTest, HardLinksAreNamesOfOneFile)
{
    winsim::AddStream(u"C:\\dir\\file.txt", u"s", "stream");
    winsim::AddHardLink(u"C:\\dir\\sub\\other.txt", u"C:\\dir\\file.txt");
    EXPECT_EQ(winsim::Contents(u"C:\\dir\\sub\\other.txt:s"), "stream");
    HANDLE h = CreateFileW(u"C:\\dir\\sub\\other.txt", FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    BY_HANDLE_FILE_INFORMATION info{};
    EXPECT_TRUE(GetFileInformationByHandle(h, &info));
    EXPECT_EQ(info.nNumberOfLinks, 2u);
    CloseHandle(h);
    // A stream deleted through one name is gone from the other.
    EXPECT_TRUE(DeleteFileW(u"C:\\dir\\file.txt:s"));
    EXPECT_FALSE(winsim::Exists(u"C:\\dir\\sub\\other.txt:s"));
    // The first name deleted: the other keeps the file.
    EXPECT_TRUE(DeleteFileW(u"C:\\dir\\file.txt"));
    EXPECT_EQ(winsim::Contents(u"C:\\dir\\sub\\other.txt"), "hello");

    winsim::AddFile(u"C:\\dir\\a.txt", "old");
    winsim::AddStream(u"C:\\dir\\a.txt", u"s", "kept");
    winsim::AddHardLink(u"C:\\dir\\b.txt", u"C:\\dir\\a.txt");
    winsim::AddFile(u"C:\\dir\\new.txt", "new");
    EXPECT_TRUE(ReplaceFileW(u"C:\\dir\\a.txt", u"C:\\dir\\new.txt", nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(winsim::Contents(u"C:\\dir\\a.txt"), "new");
    EXPECT_EQ(winsim::Contents(u"C:\\dir\\a.txt:s"), "kept");
    EXPECT_EQ(winsim::Contents(u"C:\\dir\\b.txt"), "old") << "the other name keeps the old file";
    EXPECT_FALSE(winsim::Exists(u"C:\\dir\\new.txt"));
}

// Opening a file to overwrite it deletes its named streams; cutting it does not.
TEST_F(WinsimTest, OverwritingAFileDeletesItsStreamsTruncatingDoesNot)
{
    const struct {
        DWORD disposition;
        bool streamsStay;
    } cases[] = {{CREATE_ALWAYS, false}, {TRUNCATE_EXISTING, true}, {OPEN_ALWAYS, true}};
    for (const auto& c : cases) {
        winsim::AddFile(u"C:\\dir\\o.txt", "data");
        winsim::AddStream(u"C:\\dir\\o.txt", u"s", "stream");
        HANDLE h = CreateFileW(u"C:\\dir\\o.txt", GENERIC_WRITE, 0, nullptr, c.disposition, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        CloseHandle(h);
        EXPECT_EQ(winsim::Exists(u"C:\\dir\\o.txt:s"), c.streamsStay) << "disposition " << c.disposition;
    }
}

// Writes stay in the cache until FlushFileBuffers: a device pulled out keeps
// only what was flushed.
TEST_F(WinsimTest, AWriteReachesTheMediumOnlyWhenFlushed)
{
    for (bool flush : {false, true}) {
        winsim::AddFile(u"C:\\dir\\w.txt", "before");
        HANDLE h = CreateFileW(u"C:\\dir\\w.txt", GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD done = 0;
        EXPECT_TRUE(WriteFile(h, "after", 5, &done, nullptr));
        if (flush)
            EXPECT_TRUE(FlushFileBuffers(h));
        CloseHandle(h);
        winsim::PullOutDevice(u'C');
        EXPECT_EQ(winsim::Contents(u"C:\\dir\\w.txt"), flush ? "after" : "before");
    }
}

TEST_F(WinsimTest, FaultsHitTheNthCallAndAreLogged)
{
    winsim::FailCall("GetFileAttributesW", ERROR_NOT_READY, 2);
    SetLastError(0xdeadbeef);
    EXPECT_NE(GetFileAttributesW(u"C:\\dir"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW(u"C:\\dir"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_READY));
    EXPECT_NE(GetFileAttributesW(u"C:\\dir"), INVALID_FILE_ATTRIBUTES) << "one failure, then normal again";
    auto log = winsim::CallLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[1].function, "GetFileAttributesW");
    EXPECT_EQ(U8(log[1].argument), "C:\\dir");
    winsim::FailAlways("GetFileAttributesW", ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetFileAttributesW(u"C:\\dir"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW(u"C:\\dir"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(WinsimTest, TheLastErrorBelongsToEachThread)
{
    SetLastError(111);
    DWORD other = 0;
    std::thread t([&] {
        SetLastError(222);
        other = GetLastError();
    });
    t.join();
    EXPECT_EQ(GetLastError(), 111u);
    EXPECT_EQ(other, 222u);
}

TEST_F(WinsimTest, LeaksAndMisusesAreReported)
{
    HANDLE h = CreateFileW(u"C:\\dir\\file.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    void* block = HeapAlloc(GetProcessHeap(), 0, 10);
    EXPECT_EQ(winsim::Leaks().size(), 2u);
    CloseHandle(h);
    HeapFree(GetProcessHeap(), 0, block);
    EXPECT_TRUE(winsim::Leaks().empty());
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(winsim::Leaks().size(), 1u) << "a double close is reported";
    winsim::Reset();
}

TEST_F(WinsimTest, CodePagesConvertAsWindowsDoes)
{
    struct Case {
        UINT codePage;
        std::string bytes;
        const char16_t* text;
    };
    const Case cases[] = {
        {1252, "\x80\x9F\xE9", u"€Ÿé"},
        {1251, "\xC0\xFF\xA8\xB8", u"АяЁё"},
        {CP_UTF8, "\xE2\x82\xAC", u"€"},
        {CP_UTF8, "a\xC3\x28", u"a\xFFFD("},
    };
    for (const auto& c : cases) {
        WCHAR out[16] = {};
        int n = MultiByteToWideChar(c.codePage, 0, c.bytes.data(), static_cast<int>(c.bytes.size()), out, 16);
        EXPECT_EQ(U8(std::u16string(out, n > 0 ? n : 0)), U8(c.text)) << "code page " << c.codePage;
    }
    SetLastError(0xdeadbeef);
    WCHAR out[4];
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xC3\x28", 2, out, 4), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abcdef", 6, out, 4), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST_F(WinsimTest, ModuleFileNameTruncatesLikeWindowsSinceVista)
{
    winsim::SetModulePath(u"C:\\p\\plugin.wfx64");
    WCHAR buffer[8];
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetModuleFileNameW(winsim::PluginModule(), buffer, 8), 8u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(U8(buffer), "C:\\p\\pl");
    WCHAR full[64];
    EXPECT_EQ(GetModuleFileNameW(winsim::PluginModule(), full, 64), 17u);
    EXPECT_EQ(U8(full), "C:\\p\\plugin.wfx64");
}

TEST_F(WinsimTest, EnvironmentReferencesExpandLikeWindows)
{
    winsim::SetEnvironment(u"Home", u"C:\\h");
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"%HOME%\\x", u"C:\\h\\x"}, {u"%home%%HOME%", u"C:\\hC:\\h"}, {u"%NONE%\\x", u"%NONE%\\x"},
        {u"100%", u"100%"},          {u"%NONE%HOME%", u"%NONEC:\\h"},  {u"%%", u"%%"},
    };
    for (const auto& [in, out] : cases) {
        WCHAR buffer[64] = {};
        DWORD n = ExpandEnvironmentStringsW(in, buffer, 64);
        EXPECT_EQ(U8(buffer), U8(out)) << "for " << U8(in);
        EXPECT_EQ(n, std::u16string(out).size() + 1) << "for " << U8(in);
    }
}

}  // namespace
