// FsSetAttrW and FsSetTimeW: what they change, on which entry, and where they
// stop.
#include <cstdint>

#include "fileops/attributes_times.h"
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

// Ticks of a UTC calendar time, with the 100-ns remainder below the millisecond.
std::uint64_t At(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second, WORD ms,
                 std::uint64_t extraTicks = 0)
{
    SYSTEMTIME st{year, month, 0, day, hour, minute, second, ms};
    FILETIME ft{};
    EXPECT_TRUE(SystemTimeToFileTime(&st, &ft));
    return Ticks(ft) + extraTicks;
}

constexpr std::uint64_t kLastSystemTime = 0x7FFF35F4F06C58F0ull;  // 30827-12-31 23:59:59.999

class AttributesTimesTest : public PluginTest {
protected:
    void SetUp() override
    {
        PluginTest::SetUp();
        winsim::AddFile(u"C:\\d\\f.txt", "body");
        winsim::AddStream(u"C:\\d\\f.txt", u"s", "stream");
        ASSERT_EQ(InitPlugin(), 0);
        before_ = winsim::Times(u"C:\\d\\f.txt");
    }

    BOOL SetTime(const char16_t* remote, const FILETIME* c, const FILETIME* a, const FILETIME* w)
    {
        std::u16string name(remote);
        FILETIME cc = c ? *c : FILETIME{}, aa = a ? *a : FILETIME{}, ww = w ? *w : FILETIME{};
        return FsSetTimeW(name.data(), c ? &cc : nullptr, a ? &aa : nullptr, w ? &ww : nullptr);
    }

    BOOL SetAttr(const char16_t* remote, DWORD attributes)
    {
        std::u16string name(remote);
        return FsSetAttrW(name.data(), static_cast<int>(attributes));
    }

    winsim::EntryTimes before_{};
};

TEST_F(AttributesTimesTest, DisabledChangesNothingAndSucceeds)
{
    OnProcessDetach();
    OnProcessAttach(winsim::PluginModule());  // loaded, FsInitW not called
    FILETIME t = FromTicks(At(2020, 1, 1, 0, 0, 0, 0));
    winsim::ClearCallLog();
    EXPECT_EQ(SetAttr(u"\\C:\\d\\f.txt", FILE_ATTRIBUTE_READONLY), -1);
    EXPECT_EQ(SetTime(u"\\C:\\d\\f.txt", &t, &t, &t), -1);
    EXPECT_EQ(winsim::Attributes(u"C:\\d\\f.txt"), FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(Ticks(winsim::Times(u"C:\\d\\f.txt").lastWrite), Ticks(before_.lastWrite));
    EXPECT_TRUE(winsim::CallLog().empty()) << "the gate touched the file system";
}

TEST_F(AttributesTimesTest, AStreamHasNoAttributesOrTimesOfItsOwn)
{
    FILETIME t = FromTicks(At(2020, 1, 1, 0, 0, 0, 0));
    winsim::ClearCallLog();
    for (const char16_t* stream : {u"\\C:\\d\\f.txt\\:s:$DATA", u"\\C:\\d\\f.txt\\::$EA_DATA", u"\\C:\\d\\f.txt\\::"}) {
        SCOPED_TRACE(U8(stream));
        EXPECT_EQ(SetAttr(stream, FILE_ATTRIBUTE_READONLY), -1);
        EXPECT_EQ(SetTime(stream, &t, &t, &t), -1);
    }
    EXPECT_EQ(winsim::Attributes(u"C:\\d\\f.txt"), FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(Ticks(winsim::Times(u"C:\\d\\f.txt").creation), Ticks(before_.creation));
    EXPECT_TRUE(winsim::CallLog().empty());
}

TEST_F(AttributesTimesTest, TheUnnamedDataStreamIsTheFile)
{
    EXPECT_NE(SetAttr(u"\\C:\\d\\f.txt\\::$DATA", FILE_ATTRIBUTE_READONLY), FALSE);
    EXPECT_EQ(winsim::Attributes(u"C:\\d\\f.txt"), FILE_ATTRIBUTE_READONLY);
    // Read-only now: the attribute call still works, the time call cannot open it.
    EXPECT_NE(SetAttr(u"\\C:\\d\\f.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE), FALSE);
    EXPECT_EQ(winsim::Attributes(u"C:\\d\\f.txt"), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
    FILETIME t = FromTicks(At(2019, 5, 6, 7, 8, 9, 10));
    EXPECT_EQ(SetTime(u"\\C:\\d\\f.txt\\::$data", nullptr, nullptr, &t), -1);
    EXPECT_EQ(Ticks(winsim::Times(u"C:\\d\\f.txt").lastWrite), Ticks(t));
}

TEST_F(AttributesTimesTest, OnlyTheFourBitsTheHostAsksAboutChange)
{
    struct Case {
        const char16_t* remote;
        DWORD before;  // of the entry; 0: as it is
        DWORD mask;
        bool succeeds;
        const char16_t* entry;
        DWORD expected;
    };
    constexpr DWORD kKept = FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE;
    const Case cases[] = {
        {u"\\C:\\d\\f.txt", 0, FILE_ATTRIBUTE_NORMAL, true, u"C:\\d\\f.txt", FILE_ATTRIBUTE_NORMAL},
        // Toggling archive keeps not-content-indexed, temporary and offline.
        {u"\\C:\\d\\f.txt", kKept | FILE_ATTRIBUTE_ARCHIVE, 0, true, u"C:\\d\\f.txt", kKept},
        {u"\\C:\\d\\f.txt", kKept, FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN, true, u"C:\\d\\f.txt",
         kKept | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN},
        // Bits beyond the four are not the host's to change.
        {u"\\C:\\d\\f.txt", FILE_ATTRIBUTE_ARCHIVE, 0x80000000u | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_TEMPORARY,
         true, u"C:\\d\\f.txt", FILE_ATTRIBUTE_SYSTEM},
        {u"\\C:\\d\\f.txt", 0, FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN, true, u"C:\\d\\f.txt",
         FILE_ATTRIBUTE_HIDDEN},
        {u"\\C:\\d", 0, FILE_ATTRIBUTE_HIDDEN, true, u"C:\\d", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY},
        {u"\\C:\\d\\", 0, FILE_ATTRIBUTE_READONLY, true, u"C:\\d", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY},
        {u"\\C:\\missing", 0, FILE_ATTRIBUTE_HIDDEN, false, nullptr, 0},
        {u"\\", 0, FILE_ATTRIBUTE_HIDDEN, false, nullptr, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.remote) + " mask " + std::to_string(c.mask));
        if (c.before)
            winsim::SetAttributes(c.entry, c.before);
        BOOL result = SetAttr(c.remote, c.mask);
        EXPECT_EQ(result != FALSE, c.succeeds) << "result " << result;
        if (c.entry) {
            EXPECT_EQ(winsim::Attributes(c.entry), c.expected);
        }
    }
}

TEST_F(AttributesTimesTest, ADriveEntryActsOnTheVolumeRootNotOnTheCurrentDirectory)
{
    winsim::SetCurrentDirectory(u"C:\\d");
    const DWORD rootBefore = winsim::Attributes(u"C:\\");
    EXPECT_NE(SetAttr(u"\\C:", rootBefore | FILE_ATTRIBUTE_READONLY), FALSE);
    EXPECT_EQ(winsim::Attributes(u"C:\\"), rootBefore | FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(winsim::Attributes(u"C:\\d"), FILE_ATTRIBUTE_DIRECTORY) << "the drive's current directory changed";

    // A root is a directory: its times are set with backup semantics, and
    // nothing is tried on C:\d.
    FILETIME t = FromTicks(At(2020, 1, 1, 0, 0, 0, 0));
    winsim::ClearCallLog();
    EXPECT_EQ(SetTime(u"\\C:", nullptr, nullptr, &t), -1);
    ASSERT_EQ(winsim::CountCalls("CreateFileW"), 1u);
    for (const auto& call : winsim::CallLog()) {
        if (call.function == "CreateFileW") {
            EXPECT_EQ(U8(call.argument), "C:\\");
        }
    }
}

TEST_F(AttributesTimesTest, TheTimesGoThroughOneHandleInEveryCombination)
{
    const FILETIME c = FromTicks(At(2001, 1, 1, 1, 1, 1, 1));
    const FILETIME a = FromTicks(At(2002, 2, 2, 2, 2, 2, 2));
    const FILETIME w = FromTicks(At(2003, 3, 3, 3, 3, 3, 3));
    for (int given = 0; given < 8; ++given) {
        const bool hasC = given & 1, hasA = given & 2, hasW = given & 4;
        SCOPED_TRACE("creation " + std::to_string(hasC) + " access " + std::to_string(hasA) + " write " +
                     std::to_string(hasW));
        winsim::SetTimes(u"C:\\d\\f.txt", before_);
        winsim::ClearCallLog();
        EXPECT_EQ(SetTime(u"\\C:\\d\\f.txt", hasC ? &c : nullptr, hasA ? &a : nullptr, hasW ? &w : nullptr), -1);
        const winsim::EntryTimes now = winsim::Times(u"C:\\d\\f.txt");
        EXPECT_EQ(Ticks(now.creation), Ticks(hasC ? c : before_.creation));
        EXPECT_EQ(Ticks(now.lastAccess), Ticks(hasA ? a : before_.lastAccess));
        EXPECT_EQ(Ticks(now.lastWrite), Ticks(hasW ? w : before_.lastWrite));
        const std::size_t opens = given != 0;
        EXPECT_EQ(winsim::CountCalls("CreateFileW"), opens);
        EXPECT_EQ(winsim::CountCalls("SetFileTime"), opens);
        EXPECT_EQ(winsim::CountCalls("CloseHandle"), opens);
    }
}

TEST_F(AttributesTimesTest, TimesAreRoundedToTheNearestMillisecond)
{
    struct Case {
        const char* what;
        std::uint64_t given;
        std::uint64_t written;
    };
    const Case cases[] = {
        {"05:06:07.1234567", At(2021, 3, 4, 5, 6, 7, 123, 4567), At(2021, 3, 4, 5, 6, 7, 123)},
        {"05:06:07.1236", At(2021, 3, 4, 5, 6, 7, 123, 6000), At(2021, 3, 4, 5, 6, 7, 124)},
        {"half a millisecond rounds up", At(2021, 3, 4, 5, 6, 7, 123, 5000), At(2021, 3, 4, 5, 6, 7, 124)},
        {"just below half rounds down", At(2021, 3, 4, 5, 6, 7, 123, 4999), At(2021, 3, 4, 5, 6, 7, 123)},
        {"into the next day", At(2021, 12, 31, 23, 59, 59, 999, 9999), At(2022, 1, 1, 0, 0, 0, 0)},
        {"the first millisecond", 4999, 0},
        {"the last time a calendar holds", kLastSystemTime, kLastSystemTime},
        {"just below it", kLastSystemTime - 1, kLastSystemTime},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::uint64_t sentinel = At(1999, 9, 9, 9, 9, 9, 9);
        winsim::EntryTimes t = before_;
        t.lastWrite = FromTicks(sentinel);
        winsim::SetTimes(u"C:\\d\\f.txt", t);
        FILETIME given = FromTicks(c.given);
        EXPECT_EQ(SetTime(u"\\C:\\d\\f.txt", nullptr, nullptr, &given), -1);
        // A time of 0 is Windows' "leave unchanged".
        EXPECT_EQ(Ticks(winsim::Times(u"C:\\d\\f.txt").lastWrite), c.written ? c.written : sentinel);
    }
}

TEST_F(AttributesTimesTest, ATimeBeyondTheCalendarFailsAndNothingIsSet)
{
    const std::uint64_t beyond[] = {
        kLastSystemTime + 5000,   // rounds into the year 30828
        0x7FFFFFFFFFFFFFFFull,    // 30828-09-14: no SYSTEMTIME year
        0x8000000000000000ull,    // FileTimeToSystemTime refuses it
        0xFFFFFFFFFFFFFFFFull,    // would wrap to 0 when rounded
        0xFFFFFFFFFFFFFFFEull,
    };
    const FILETIME fine = FromTicks(At(2010, 10, 10, 10, 10, 10, 10));
    for (std::uint64_t ticks : beyond) {
        SCOPED_TRACE("ticks " + std::to_string(ticks));
        winsim::SetTimes(u"C:\\d\\f.txt", before_);
        FILETIME bad = FromTicks(ticks);
        winsim::ClearCallLog();
        EXPECT_EQ(SetTime(u"\\C:\\d\\f.txt", &fine, &bad, &fine), FALSE);
        const winsim::EntryTimes now = winsim::Times(u"C:\\d\\f.txt");
        EXPECT_EQ(Ticks(now.creation), Ticks(before_.creation));
        EXPECT_EQ(Ticks(now.lastAccess), Ticks(before_.lastAccess));
        EXPECT_EQ(Ticks(now.lastWrite), Ticks(before_.lastWrite));
        EXPECT_EQ(winsim::CountCalls("CreateFileW"), 0u) << "nothing is opened for times that cannot all be set";
    }
}

TEST_F(AttributesTimesTest, TimesAreSetOnDirectoriesReadOnlyFilesAndFilesInUse)
{
    const FILETIME t = FromTicks(At(2020, 1, 1, 0, 0, 0, 0));
    winsim::AddFile(u"C:\\d\\readonly.txt", "x", FILE_ATTRIBUTE_READONLY);
    winsim::AddFile(u"C:\\d\\held.txt", "x");
    winsim::AddFile(u"C:\\target.txt", "x");
    winsim::AddFileSymlink(u"C:\\d\\link.txt", u"C:\\target.txt");
    // An open document: its program writes it and shares only reading.
    HANDLE holder = CreateFileW(u"C:\\d\\held.txt", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const struct {
        const char16_t* remote;
        const char16_t* entry;  // null: the call fails
    } cases[] = {
        {u"\\C:\\d\\readonly.txt", u"C:\\d\\readonly.txt"},
        {u"\\C:\\d\\held.txt", u"C:\\d\\held.txt"},
        {u"\\C:\\d", u"C:\\d"},
        {u"\\C:\\d\\link.txt", u"C:\\d\\link.txt"},
        {u"\\C:\\d\\missing.txt", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.remote));
        EXPECT_EQ(SetTime(c.remote, &t, &t, &t) != FALSE, c.entry != nullptr);
        if (c.entry) {
            EXPECT_EQ(Ticks(winsim::Times(c.entry).lastWrite), Ticks(t));
        }
    }
    EXPECT_NE(Ticks(winsim::Times(u"C:\\target.txt").lastWrite), Ticks(t)) << "a link's target took its times";
    CloseHandle(holder);
    EXPECT_EQ(SetTime(u"\\C:\\d", nullptr, nullptr, nullptr), -1) << "no time given: nothing to fail";
}

TEST_F(AttributesTimesTest, SystemFailuresAreFalseAndLeaveNothingOpen)
{
    const FILETIME t = FromTicks(At(2020, 1, 1, 0, 0, 0, 0));
    for (const char* call : {"SetFileTime", "SystemTimeToFileTime", "FileTimeToSystemTime", "CreateFileW"}) {
        SCOPED_TRACE(call);
        winsim::FailCall(call, ERROR_ACCESS_DENIED);
        EXPECT_EQ(SetTime(u"\\C:\\d\\f.txt", nullptr, &t, nullptr), FALSE);
        EXPECT_TRUE(winsim::Leaks().empty());
    }
    winsim::FailCall("SetFileAttributesW", ERROR_ACCESS_DENIED);
    EXPECT_EQ(SetAttr(u"\\C:\\d\\f.txt", FILE_ATTRIBUTE_HIDDEN), FALSE);
}

TEST_F(AttributesTimesTest, SetEntryTimesUsesThePlainPath)
{
    // The plain path carries the system's ordinary length limit: no "\\?\" form.
    const FILETIME t = FromTicks(At(2020, 1, 1, 0, 0, 0, 0));
    winsim::ClearCallLog();
    EXPECT_TRUE(SetEntryTimes(u"C:\\d\\f.txt", &t, nullptr, nullptr));
    std::string opened;
    for (const auto& call : winsim::CallLog())
        if (call.function == "CreateFileW")
            opened = U8(call.argument);
    EXPECT_EQ(opened, "C:\\d\\f.txt");
    EXPECT_EQ(Ticks(winsim::Times(u"C:\\d\\f.txt").creation), Ticks(t));
    EXPECT_FALSE(SetEntryTimes(u"C:\\d\\missing.txt", nullptr, nullptr, &t));
}

TEST_F(AttributesTimesTest, NullNamesAreHarmless)
{
    const FILETIME t = FromTicks(At(2020, 1, 1, 0, 0, 0, 0));
    EXPECT_EQ(FsSetAttrW(nullptr, FILE_ATTRIBUTE_HIDDEN), FALSE);
    EXPECT_EQ(FsSetTimeW(nullptr, nullptr, nullptr, const_cast<FILETIME*>(&t)), FALSE);
    EXPECT_EQ(FsSetTimeW(nullptr, nullptr, nullptr, nullptr), -1);
}

}  // namespace
