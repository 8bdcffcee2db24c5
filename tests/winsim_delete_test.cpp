// winsim's DeleteFileW, RemoveDirectoryW and FormatMessageW against what
// Windows does: each row a refusal Windows gives, with its error code.
#include "host_fixture.h"

namespace {

class WinsimDelete : public ::testing::Test {
protected:
    void SetUp() override
    {
        winsim::Reset();
        winsim::AddVolume(u'C');
        winsim::AddFile(u"C:\\d\\f.txt", "data");
        winsim::AddStream(u"C:\\d\\f.txt", u"s", "stream");
        winsim::AddFile(u"C:\\d\\ro.txt", "x", FILE_ATTRIBUTE_READONLY);
        winsim::AddStream(u"C:\\d\\ro.txt", u"s", "stream");
        winsim::AddDirectory(u"C:\\d\\empty");
        winsim::AddDirectory(u"C:\\d\\full\\sub");
        winsim::AddDirectory(u"C:\\target\\keep");
        winsim::AddJunction(u"C:\\d\\link", u"C:\\target");
    }
    void TearDown() override
    {
        std::string all;
        for (const auto& leak : winsim::Leaks())
            all += "\n  " + leak;
        EXPECT_TRUE(all.empty()) << "left behind:" << all;
    }
};

struct DeleteCase {
    const char16_t* path;
    DWORD error;             // 0: succeeds
    const char16_t* gone;    // what no longer exists afterwards
    const char16_t* stays;   // what still exists afterwards
};

TEST_F(WinsimDelete, DeleteFileWAsWindows)
{
    const DeleteCase cases[] = {
        {u"C:\\d\\f.txt", 0, u"C:\\d\\f.txt", u"C:\\d"},
        {u"\\\\?\\C:\\d\\f.txt", 0, u"C:\\d\\f.txt", u"C:\\d"},
        {u"C:\\d\\f.txt:s:$DATA", 0, u"C:\\d\\f.txt:s", u"C:\\d\\f.txt"},
        {u"C:\\d\\f.txt:s", 0, u"C:\\d\\f.txt:s", u"C:\\d\\f.txt"},
        // The unnamed data stream named explicitly is the file itself.
        {u"C:\\d\\f.txt::$DATA", 0, u"C:\\d\\f.txt", u"C:\\d"},
        {u"C:\\d\\f.txt:missing:$DATA", ERROR_FILE_NOT_FOUND, nullptr, u"C:\\d\\f.txt:s"},
        {u"C:\\d\\missing.txt", ERROR_FILE_NOT_FOUND, nullptr, u"C:\\d"},
        {u"C:\\missing\\f.txt", ERROR_PATH_NOT_FOUND, nullptr, u"C:\\d"},
        {u"C:\\d\\empty", ERROR_ACCESS_DENIED, nullptr, u"C:\\d\\empty"},
        {u"C:\\d\\ro.txt", ERROR_ACCESS_DENIED, nullptr, u"C:\\d\\ro.txt"},
        {u"C:\\d\\ro.txt:s", ERROR_ACCESS_DENIED, nullptr, u"C:\\d\\ro.txt:s"},
        {u"C:\\d\\f.txt\\", ERROR_INVALID_NAME, nullptr, u"C:\\d\\f.txt"},
        {u"C:\\d\\f.txt::$EA_DATA", ERROR_INVALID_NAME, nullptr, u"C:\\d\\f.txt"},
        {u"C:\\", ERROR_ACCESS_DENIED, nullptr, u"C:\\d"},
    };
    for (const auto& c : cases) {
        SetUp();
        SCOPED_TRACE(U8(c.path));
        SetLastError(0xdeadbeef);
        BOOL ok = DeleteFileW(c.path);
        if (c.error == 0) {
            EXPECT_TRUE(ok);
        } else {
            EXPECT_FALSE(ok);
            EXPECT_EQ(GetLastError(), c.error);
        }
        if (c.gone) {
            EXPECT_FALSE(winsim::Exists(c.gone));
        }
        if (c.stays) {
            EXPECT_TRUE(winsim::Exists(c.stays));
        }
    }
}

TEST_F(WinsimDelete, RemoveDirectoryWAsWindows)
{
    const DeleteCase cases[] = {
        {u"C:\\d\\empty", 0, u"C:\\d\\empty", u"C:\\d"},
        {u"\\\\?\\C:\\d\\empty\\", 0, u"C:\\d\\empty", u"C:\\d"},
        {u"C:\\d\\full", ERROR_DIR_NOT_EMPTY, nullptr, u"C:\\d\\full\\sub"},
        {u"C:\\d\\f.txt", ERROR_DIRECTORY, nullptr, u"C:\\d\\f.txt"},
        {u"C:\\d\\missing", ERROR_FILE_NOT_FOUND, nullptr, u"C:\\d"},
        {u"C:\\", ERROR_ACCESS_DENIED, nullptr, u"C:\\d"},
        {u"\\\\?\\C:\\", ERROR_ACCESS_DENIED, nullptr, u"C:\\d"},
        // A junction goes as a link; the directory it leads to keeps its entries.
        {u"C:\\d\\link", 0, u"C:\\d\\link", u"C:\\target\\keep"},
    };
    for (const auto& c : cases) {
        SetUp();
        SCOPED_TRACE(U8(c.path));
        SetLastError(0xdeadbeef);
        BOOL ok = RemoveDirectoryW(c.path);
        if (c.error == 0) {
            EXPECT_TRUE(ok);
        } else {
            EXPECT_FALSE(ok);
            EXPECT_EQ(GetLastError(), c.error);
        }
        if (c.gone) {
            EXPECT_FALSE(winsim::Exists(c.gone));
        }
        if (c.stays) {
            EXPECT_TRUE(winsim::Exists(c.stays));
        }
    }
}

TEST_F(WinsimDelete, ReadOnlyDirectoryAndCurrentDirectoryAreRefused)
{
    winsim::SetAttributes(u"C:\\d\\empty", FILE_ATTRIBUTE_READONLY);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(RemoveDirectoryW(u"C:\\d\\empty"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    winsim::AddDirectory(u"C:\\cwd");
    winsim::SetCurrentDirectory(u"C:\\cwd");
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(RemoveDirectoryW(u"C:\\cwd"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
}

TEST_F(WinsimDelete, OpenHandlesShareDeleteOrRefuse)
{
    struct Row {
        DWORD share;
        const char16_t* opened;
        const char16_t* deleted;
        DWORD error;
    };
    const Row rows[] = {
        {FILE_SHARE_READ, u"C:\\d\\f.txt", u"C:\\d\\f.txt", ERROR_SHARING_VIOLATION},
        {FILE_SHARE_READ | FILE_SHARE_DELETE, u"C:\\d\\f.txt", u"C:\\d\\f.txt", 0},
        {0, u"C:\\d\\f.txt:s", u"C:\\d\\f.txt:s", ERROR_SHARING_VIOLATION},
        // A handle on one stream does not hold another.
        {0, u"C:\\d\\f.txt", u"C:\\d\\f.txt:s", 0},
    };
    for (const auto& row : rows) {
        SetUp();
        SCOPED_TRACE(U8(row.opened) + " / " + U8(row.deleted));
        HANDLE h = CreateFileW(row.opened, GENERIC_READ, row.share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        SetLastError(0xdeadbeef);
        BOOL ok = DeleteFileW(row.deleted);
        EXPECT_EQ(ok != FALSE, row.error == 0);
        if (row.error) {
            EXPECT_EQ(GetLastError(), row.error);
        }
        CloseHandle(h);
    }
}

TEST_F(WinsimDelete, FormatMessageWGivesWindowsTexts)
{
    const std::pair<DWORD, const char16_t*> texts[] = {
        {ERROR_ACCESS_DENIED, u"Access is denied.\r\n"},
        {ERROR_FILE_NOT_FOUND, u"The system cannot find the file specified.\r\n"},
        {ERROR_SHARING_VIOLATION,
         u"The process cannot access the file because it is being used by another process.\r\n"},
        {ERROR_DISK_FULL, u"There is not enough space on the disk.\r\n"},
        {ERROR_DIR_NOT_EMPTY, u"The directory is not empty.\r\n"},
        {ERROR_USER_MAPPED_FILE,
         u"The requested operation cannot be performed on a file with a user-mapped section open.\r\n"},
    };
    const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ARGUMENT_ARRAY |
                        FORMAT_MESSAGE_ALLOCATE_BUFFER;
    for (const auto& [code, text] : texts) {
        WCHAR* buffer = nullptr;
        DWORD n = FormatMessageW(flags, nullptr, code, 0, reinterpret_cast<WCHAR*>(&buffer), 0, nullptr);
        ASSERT_NE(buffer, nullptr) << code;
        EXPECT_EQ(U8(buffer), U8(text)) << code;
        EXPECT_EQ(n, std::u16string(text).size()) << code;
        EXPECT_EQ(LocalFree(reinterpret_cast<HLOCAL>(buffer)), nullptr);
    }

    WCHAR* buffer = nullptr;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(FormatMessageW(flags, nullptr, 0x2BAD, 0, reinterpret_cast<WCHAR*>(&buffer), 0, nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
    EXPECT_EQ(buffer, nullptr);

    WCHAR small[8];
    SetLastError(0xdeadbeef);
    EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_ACCESS_DENIED,
                             0, small, 8, nullptr),
              0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

}  // namespace
