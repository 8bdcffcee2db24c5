// winsim against Windows: the calendar conversions and their limits, the rules
// of SetFileTime and SetFileAttributesW, and icon handles.
#include <cstdint>

#include "host_fixture.h"

namespace {

std::uint64_t Ticks(const FILETIME& t)
{
    return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

FILETIME FromTicks(std::uint64_t ticks)
{
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

std::string Show(const SYSTEMTIME& s)
{
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u (weekday %u)", s.wYear, s.wMonth, s.wDay,
                  s.wHour, s.wMinute, s.wSecond, s.wMilliseconds, s.wDayOfWeek);
    return text;
}

TEST(WinsimCalendar, FileTimesBecomeCalendarTimesAsOnWindows)
{
    struct Case {
        std::uint64_t ticks;
        const char* expected;  // null: the conversion fails with ERROR_INVALID_PARAMETER
    };
    const Case cases[] = {
        {0, "1601-01-01 00:00:00.000 (weekday 1)"},
        {9999, "1601-01-01 00:00:00.000 (weekday 1)"},  // truncated, not rounded
        {116444736000000000ull, "1970-01-01 00:00:00.000 (weekday 4)"},
        {125911584000000000ull, "2000-01-01 00:00:00.000 (weekday 6)"},
        {125962560000000000ull, "2000-02-29 00:00:00.000 (weekday 2)"},
        {132593079671234567ull, "2021-03-04 05:06:07.123 (weekday 4)"},
        {0x7FFF35F4F06C58F0ull, "30827-12-31 23:59:59.999 (weekday 5)"},
        {0x7FFFFFFFFFFFFFFFull, "30828-09-14 02:48:05.477 (weekday 4)"},
        {0x8000000000000000ull, nullptr},
        {0xFFFFFFFFFFFFFFFFull, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ticks);
        FILETIME ft = FromTicks(c.ticks);
        SYSTEMTIME st{};
        SetLastError(0xdeadbeef);
        BOOL ok = FileTimeToSystemTime(&ft, &st);
        if (!c.expected) {
            EXPECT_FALSE(ok);
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
            continue;
        }
        ASSERT_TRUE(ok);
        EXPECT_EQ(Show(st), c.expected);
    }
}

TEST(WinsimCalendar, CalendarTimesAreCheckedFieldByField)
{
    struct Case {
        SYSTEMTIME st;
        std::uint64_t expected;  // ~0: refused
    };
    constexpr std::uint64_t kRefused = ~0ull;
    const Case cases[] = {
        {{1601, 1, 0, 1, 0, 0, 0, 0}, 0},
        {{1600, 12, 0, 31, 23, 59, 59, 999}, kRefused},
        {{2021, 3, 5 /* ignored */, 4, 5, 6, 7, 123}, 132593079671230000ull},
        {{30827, 12, 0, 31, 23, 59, 59, 999}, 0x7FFF35F4F06C58F0ull},
        {{30828, 1, 0, 1, 0, 0, 0, 0}, kRefused},
        {{2000, 2, 0, 29, 0, 0, 0, 0}, 125962560000000000ull},
        {{1900, 2, 0, 29, 0, 0, 0, 0}, kRefused},
        {{2001, 2, 0, 29, 0, 0, 0, 0}, kRefused},
        {{2001, 4, 0, 31, 0, 0, 0, 0}, kRefused},
        {{2001, 0, 0, 1, 0, 0, 0, 0}, kRefused},
        {{2001, 13, 0, 1, 0, 0, 0, 0}, kRefused},
        {{2001, 1, 0, 0, 0, 0, 0, 0}, kRefused},
        {{2001, 1, 0, 1, 24, 0, 0, 0}, kRefused},
        {{2001, 1, 0, 1, 0, 60, 0, 0}, kRefused},
        {{2001, 1, 0, 1, 0, 0, 60, 0}, kRefused},
        {{2001, 1, 0, 1, 0, 0, 0, 1000}, kRefused},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Show(c.st));
        FILETIME ft{0x12345678, 0x9ABCDEF0};
        SetLastError(0xdeadbeef);
        BOOL ok = SystemTimeToFileTime(&c.st, &ft);
        if (c.expected == kRefused) {
            EXPECT_FALSE(ok);
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        } else {
            ASSERT_TRUE(ok);
            EXPECT_EQ(Ticks(ft), c.expected);
        }
    }
}

TEST(WinsimCalendar, EveryMillisecondOfADayRoundTrips)
{
    // Every millisecond of 2024-02-29, through both conversions.
    const std::uint64_t start = 133536384000000000ull;
    for (std::uint64_t ms = 0; ms < 86'400'000ull; ms += 997) {
        FILETIME in = FromTicks(start + ms * 10'000), out{};
        SYSTEMTIME st{};
        ASSERT_TRUE(FileTimeToSystemTime(&in, &st));
        ASSERT_TRUE(SystemTimeToFileTime(&st, &out)) << Show(st);
        ASSERT_EQ(Ticks(out), Ticks(in)) << Show(st);
        ASSERT_EQ(st.wMonth, 2);
        ASSERT_EQ(st.wDay, 29);
    }
}

class WinsimFilesTest : public PluginTest {
protected:
    void SetUp() override
    {
        PluginTest::SetUp();
        winsim::AddFile(u"C:\\d\\f.txt", "body");
    }
};

TEST_F(WinsimFilesTest, SetFileTimeFollowsTheFileSystemsRules)
{
    const winsim::EntryTimes before = winsim::Times(u"C:\\d\\f.txt");
    HANDLE h = CreateFileW(u"C:\\d\\f.txt", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    struct Case {
        std::uint64_t ticks;
        bool succeeds;
        bool changes;
    };
    const Case cases[] = {
        {0, true, false},                       // "leave unchanged"
        {0xFFFFFFFFFFFFFFFFull, true, false},   // stop automatic updates through this handle
        {0xFFFFFFFFFFFFFFFEull, true, false},   // resume them
        {0x8000000000000000ull, false, false},  // any other negative time
        {0x7FFFFFFFFFFFFFFFull, true, true},
        {1, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ticks);
        winsim::SetTimes(u"C:\\d\\f.txt", before);
        FILETIME t = FromTicks(c.ticks);
        FILETIME fine = FromTicks(before.lastWrite.dwLowDateTime + 12345ull);
        SetLastError(0xdeadbeef);
        BOOL ok = SetFileTime(h, &fine, nullptr, &t);
        EXPECT_EQ(ok != FALSE, c.succeeds);
        if (!c.succeeds) {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        }
        const winsim::EntryTimes now = winsim::Times(u"C:\\d\\f.txt");
        EXPECT_EQ(Ticks(now.lastWrite), c.changes ? c.ticks : Ticks(before.lastWrite));
        EXPECT_EQ(Ticks(now.creation), c.succeeds ? Ticks(fine) : Ticks(before.creation))
            << "a refused call must set nothing";
    }
    FILETIME got[3];
    EXPECT_TRUE(GetFileTime(h, &got[0], &got[1], &got[2]));
    EXPECT_EQ(Ticks(got[2]), 1u);
    CloseHandle(h);

    // Reading is not enough to set a time; a closed handle is no handle.
    h = CreateFileW(u"C:\\d\\f.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME t = FromTicks(5);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetFileTime(h, &t, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(h);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetFileTime(h, &t, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(WinsimFilesTest, WriteOpensFailOnReadOnlyFilesAndOnDirectories)
{
    winsim::AddFile(u"C:\\d\\ro.txt", "x", FILE_ATTRIBUTE_READONLY);
    struct Case {
        const char16_t* path;
        DWORD access;
        DWORD flags;
        DWORD error;  // 0: opens
    };
    const Case cases[] = {
        {u"C:\\d\\ro.txt", GENERIC_WRITE, 0, ERROR_ACCESS_DENIED},
        {u"C:\\d\\ro.txt", GENERIC_READ, 0, 0},
        {u"C:\\d", GENERIC_WRITE, 0, ERROR_ACCESS_DENIED},
        {u"C:\\d", GENERIC_WRITE, FILE_FLAG_BACKUP_SEMANTICS, 0},
        {u"C:\\", GENERIC_WRITE, 0, ERROR_ACCESS_DENIED},
        {u"C:\\d\\f.txt", GENERIC_WRITE, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.path));
        SetLastError(0xdeadbeef);
        HANDLE h = CreateFileW(c.path, c.access, FILE_SHARE_READ, nullptr, OPEN_EXISTING, c.flags, nullptr);
        if (c.error) {
            EXPECT_EQ(h, INVALID_HANDLE_VALUE);
            EXPECT_EQ(GetLastError(), c.error);
        } else {
            EXPECT_NE(h, INVALID_HANDLE_VALUE);
            CloseHandle(h);
        }
    }
}

TEST_F(WinsimFilesTest, SetFileAttributesDropsUnknownBitsAndRefusesImpossibleOnes)
{
    struct Case {
        const char16_t* path;
        DWORD mask;
        DWORD error;     // 0: succeeds
        DWORD expected;  // what GetFileAttributesW reports afterwards
    };
    const Case cases[] = {
        {u"C:\\d\\f.txt", FILE_ATTRIBUTE_HIDDEN | 0x80000000u, 0, FILE_ATTRIBUTE_HIDDEN},
        {u"C:\\d\\f.txt", FILE_ATTRIBUTE_COMPRESSED | FILE_ATTRIBUTE_SPARSE_FILE, 0, FILE_ATTRIBUTE_NORMAL},
        {u"C:\\d\\f.txt", FILE_ATTRIBUTE_DIRECTORY, ERROR_INVALID_PARAMETER, FILE_ATTRIBUTE_NORMAL},
        {u"C:\\d\\f.txt\\", FILE_ATTRIBUTE_READONLY, ERROR_INVALID_NAME, FILE_ATTRIBUTE_NORMAL},
        {u"C:\\d", FILE_ATTRIBUTE_TEMPORARY, ERROR_INVALID_PARAMETER, FILE_ATTRIBUTE_DIRECTORY},
        {u"C:\\d", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY, 0,
         FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.path) + " " + std::to_string(c.mask));
        SetLastError(0xdeadbeef);
        BOOL ok = SetFileAttributesW(c.path, c.mask);
        EXPECT_EQ(ok != FALSE, c.error == 0);
        if (c.error) {
            EXPECT_EQ(GetLastError(), c.error);
        }
        std::u16string entry(c.path);
        if (entry.back() == u'\\')
            entry.pop_back();
        EXPECT_EQ(winsim::Attributes(entry), c.expected);
        SetFileAttributesW(entry.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

TEST_F(WinsimFilesTest, IconsAreTrackedUntilDestroyed)
{
    winsim::AddIconResource(u"PAGE", {16, 48});
    HICON a = nullptr;
    EXPECT_EQ(LoadIconWithScaleDown(winsim::PluginModule(), u"page", 32, 32, &a), S_OK);
    ASSERT_TRUE(winsim::DescribeIcon(a).has_value());
    EXPECT_EQ(winsim::DescribeIcon(a)->imageEdge, 48) << "scaled down from the larger image";
    HICON b = static_cast<HICON>(LoadImageW(winsim::PluginModule(), u"PAGE", IMAGE_ICON, 20, 20, LR_DEFAULTCOLOR));
    ASSERT_TRUE(winsim::DescribeIcon(b).has_value());
    EXPECT_EQ(winsim::DescribeIcon(b)->imageEdge, 16) << "the closest image";
    SHFILEINFOW info{};
    // The shell needs COM on the thread; a second initialisation in the other
    // apartment is refused and counts nothing.
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
    EXPECT_NE(SHGetFileInfoW(u"C:\\d\\f.txt", 0, &info, sizeof(info), SHGFI_ICON | SHGFI_SMALLICON), 0u);
    CoUninitialize();
    CoUninitialize();
    ASSERT_TRUE(winsim::DescribeIcon(info.hIcon).has_value());
    EXPECT_EQ(winsim::DescribeIcon(info.hIcon)->width, 16);

    EXPECT_EQ(winsim::Leaks().size(), 3u);
    EXPECT_TRUE(DestroyIcon(a));
    EXPECT_TRUE(DestroyIcon(b));
    EXPECT_TRUE(DestroyIcon(info.hIcon));
    EXPECT_TRUE(winsim::Leaks().empty());
    EXPECT_FALSE(winsim::DescribeIcon(a).has_value());

    HICON none = reinterpret_cast<HICON>(static_cast<std::uintptr_t>(0xBAD));
    EXPECT_EQ(LoadIconWithScaleDown(winsim::PluginModule(), u"OTHER", 16, 16, &none),
              static_cast<HRESULT>(0x80070716));  // HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND)
    EXPECT_EQ(none, nullptr);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(LoadImageW(winsim::PluginModule(), u"OTHER", IMAGE_ICON, 16, 16, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    EXPECT_EQ(SHGetFileInfoW(u"C:\\d\\missing.txt", 0, &info, sizeof(info), SHGFI_ICON), 0u);
    EXPECT_EQ(info.hIcon, nullptr);
    EXPECT_EQ(SHGetFileInfoW(u"C:\\d\\f.txt:s", 0, &info, sizeof(info), SHGFI_ICON), 0u);
    CoUninitialize();
}

TEST_F(WinsimFilesTest, LoadIconWithScaleDownArrivedWithWindows6)
{
    HMODULE comctl = LoadLibraryW(u"comctl32.dll");
    EXPECT_NE(GetProcAddress(comctl, "LoadIconWithScaleDown"), nullptr);
    winsim::SetPlatform(VER_PLATFORM_WIN32_NT, 5, 1);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetProcAddress(comctl, "LoadIconWithScaleDown"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
}

}  // namespace
