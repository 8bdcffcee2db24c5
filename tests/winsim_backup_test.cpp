// winsim's backup API as Windows documents it: reads stop at the end of the
// current stream, a seek never crosses a header, and only an abort read
// releases the context.
#include "host_fixture.h"

#include <cstring>

namespace {

class WinsimBackupTest : public PluginTest {
protected:
    HANDLE Open(const char16_t* path)
    {
        return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                           nullptr);
    }
};

// The owner, group and DACL come with every handle that may read them; no
// privilege is needed, so nearly every file and directory on Windows has a
// security-descriptor stream.
TEST_F(WinsimBackupTest, TheSecurityStreamComesWithReadControl)
{
    winsim::AddFile(u"C:\\f", "x");
    struct Row {
        DWORD access;
        BOOL processSecurity;
        bool privilegeHeld;
        bool hasSecurity;
    };
    const Row rows[] = {
        {GENERIC_READ, TRUE, false, true},
        {GENERIC_READ, TRUE, true, true},
        {READ_CONTROL | FILE_READ_DATA, TRUE, false, true},
        {FILE_READ_DATA, TRUE, false, false},
        {GENERIC_READ, FALSE, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.access);
        winsim::SetPrivilegesHeld(row.privilegeHeld, false);
        HANDLE h = CreateFileW(u"C:\\f", row.access, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        LPVOID context = nullptr;
        BYTE header[20];
        DWORD n = 0;
        ASSERT_TRUE(BackupRead(h, header, sizeof header, &n, FALSE, row.processSecurity, &context));
        ASSERT_EQ(n, 20u);
        DWORD id = 0;
        std::memcpy(&id, header, 4);
        EXPECT_EQ(id == BACKUP_SECURITY_DATA, row.hasSecurity) << "first stream " << id;
        BackupRead(h, nullptr, 0, &n, TRUE, FALSE, &context);
        CloseHandle(h);
    }
}

TEST_F(WinsimBackupTest, ReadsStopAtTheEndOfEachStreamAndSeeksNeverCrossAHeader)
{
    winsim::AddFile(u"C:\\f", "abcdef");
    winsim::AddStream(u"C:\\f", u"s", "123");
    HANDLE h = Open(u"C:\\f");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    LPVOID context = nullptr;
    BYTE buffer[256];
    DWORD n = 0;
    // No security stream: it is not asked for. A large read gets the data
    // stream's header and body and stops there.
    ASSERT_TRUE(BackupRead(h, buffer, sizeof buffer, &n, FALSE, FALSE, &context));
    ASSERT_EQ(n, 20u + 6);
    WIN32_STREAM_ID id;
    std::memcpy(&id, buffer, 20);
    EXPECT_EQ(id.dwStreamId, static_cast<DWORD>(BACKUP_DATA));
    EXPECT_EQ(id.Size.QuadPart, 6);
    EXPECT_EQ(id.dwStreamNameSize, 0u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer + 20), 6), "abcdef");

    // The named stream: its header, then a seek beyond its body stops at the
    // next header and fails.
    ASSERT_TRUE(BackupRead(h, buffer, 20, &n, FALSE, TRUE, &context));
    std::memcpy(&id, buffer, 20);
    EXPECT_EQ(id.dwStreamId, static_cast<DWORD>(BACKUP_ALTERNATE_DATA));
    EXPECT_EQ(id.dwStreamNameSize, 16u);  // ":s:$DATA"
    ASSERT_TRUE(BackupRead(h, buffer, 16, &n, FALSE, TRUE, &context));
    DWORD low = 0xdead, high = 0xdead;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(BackupSeek(h, 10, 0, &low, &high, &context));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SEEK));
    EXPECT_EQ(low, 3u);
    EXPECT_EQ(high, 0u);
    // The end: reads succeed with 0 bytes.
    ASSERT_TRUE(BackupRead(h, buffer, 20, &n, FALSE, TRUE, &context));
    EXPECT_EQ(n, 0u);

    // Closing the handle does not release the context.
    CloseHandle(h);
    std::vector<std::string> leaks = winsim::Leaks();
    ASSERT_EQ(leaks.size(), 1u);
    EXPECT_NE(leaks[0].find("backup read context on C:\\f"), std::string::npos) << leaks[0];
    EXPECT_TRUE(BackupRead(nullptr, nullptr, 0, &n, TRUE, FALSE, &context));
    EXPECT_TRUE(winsim::Leaks().empty());
}

TEST_F(WinsimBackupTest, AHugeBodyIsNeverMaterialised)
{
    winsim::AddPatternFile(u"C:\\big", 5ull << 30, 9);
    HANDLE h = Open(u"\\\\?\\C:\\big");
    LPVOID context = nullptr;
    BYTE buffer[20 + 4];
    DWORD n = 0;
    ASSERT_TRUE(BackupRead(h, buffer, sizeof buffer, &n, FALSE, FALSE, &context));
    WIN32_STREAM_ID id;
    std::memcpy(&id, buffer, 20);
    EXPECT_EQ(id.Size.QuadPart, 5ll << 30);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(buffer[20 + i], winsim::PatternByte(9, static_cast<std::uint64_t>(i)));
    DWORD low = 0, high = 0;
    // Everything but the last byte, in one seek.
    std::uint64_t skip = (5ull << 30) - 5;
    EXPECT_TRUE(BackupSeek(h, static_cast<DWORD>(skip), static_cast<DWORD>(skip >> 32), &low, &high, &context));
    ASSERT_TRUE(BackupRead(h, buffer, sizeof buffer, &n, FALSE, FALSE, &context));
    EXPECT_EQ(n, 1u);
    EXPECT_EQ(buffer[0], winsim::PatternByte(9, (5ull << 30) - 1));
    EXPECT_TRUE(BackupRead(nullptr, nullptr, 0, &n, TRUE, FALSE, &context));
    CloseHandle(h);
}

}  // namespace
