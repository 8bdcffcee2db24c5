// The stream finder against winsim's backup sequences: the order and the
// fields of the streams, the filter, the end, the failures, and what is left
// open afterwards (the fixture fails a test that leaks a handle, a read
// context or a heap block).
#include "host_fixture.h"
#include "plugin/dynamic_proc.h"
#include "plugin/privileges.h"
#include "streams/stream_finder.h"

#include <cstdint>

namespace {

struct Seen {
    int id;
    std::u16string name;
    std::int64_t size;
    DWORD attributes;
    bool operator==(const Seen&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Seen& s)
{
    return os << "{id " << s.id << ", \"" << U8(s.name) << "\", size " << s.size << ", attributes " << s.attributes
              << "}";
}

TStreamIds Kinds(std::initializer_list<int> ids)
{
    TStreamIds set;
    for (int id : ids)
        set.Add(static_cast<TStreamId>(id));
    return set;
}

winsim::BackupStreamSpec Extra(DWORD id, DWORD attributes, std::uint64_t size, std::u16string name = {},
                               std::optional<DWORD> nameBytes = std::nullopt)
{
    winsim::BackupStreamSpec entry;
    entry.id = id;
    entry.attributes = attributes;
    entry.size = size;
    entry.name = std::move(name);
    entry.nameBytes = nameBytes;
    return entry;
}

Seen Current(const TFindStreamData& d)
{
    return {static_cast<int>(d.StreamID), d.Name, d.Size, d.Attributes};
}

// Every stream that passes, then the error that ended the walk.
std::vector<Seen> Enumerate(const std::u16string& path, TStreamIds filter, DWORD* endError = nullptr,
                            bool linkItself = false)
{
    std::vector<Seen> seen;
    TFindStreamData d{};
    SetLastError(0xdeadbeef);
    if (!StreamFindFirst(path, filter, d, linkItself)) {
        if (endError)
            *endError = GetLastError();
        return seen;
    }
    do
        seen.push_back(Current(d));
    while (StreamFindNext(d));
    if (endError)
        *endError = GetLastError();
    EXPECT_TRUE(StreamFindClose(d));
    return seen;
}

class StreamFinderTest : public PluginTest {
protected:
    void SetUp() override
    {
        PluginTest::SetUp();
        ASSERT_EQ(InitPlugin(), 0);  // enables the backup privilege
    }
};

// A file with every kind the sequence can carry, in the order BackupRead
// delivers them.
void MakeRichFile()
{
    winsim::AddFile(u"C:\\d\\f.txt", "hello");
    winsim::SetEaData(u"C:\\d\\f.txt", 40);
    winsim::AddStream(u"C:\\d\\f.txt", u"one", "1");
    winsim::AddStream(u"C:\\d\\f.txt", u"two", "");
    winsim::SetObjectId(u"C:\\d\\f.txt");
    winsim::AddBackupStream(u"C:\\d\\f.txt", Extra(BACKUP_PROPERTY_DATA, STREAM_CONTAINS_PROPERTIES, 12));
    winsim::AddBackupStream(u"C:\\d\\f.txt", Extra(BACKUP_TXFS_DATA, 0, 3));
    winsim::AddBackupStream(u"C:\\d\\f.txt", Extra(12, STREAM_MODIFIED_WHEN_READ, 0));
    winsim::AddBackupStream(u"C:\\d\\f.txt", Extra(20, 0, 1));
}

TEST_F(StreamFinderTest, DeliversEveryStreamInTheOrderOfTheBackupSequence)
{
    MakeRichFile();
    DWORD end = 0;
    std::vector<Seen> seen = Enumerate(u"\\\\?\\C:\\d\\f.txt", TStreamIds{}, &end);
    const std::vector<Seen> expected = {
        {3, u"", 0x74, STREAM_CONTAINS_SECURITY},
        {2, u"", 40, 0},
        {1, u"", 5, 0},
        {4, u":one:$DATA", 1, 0},
        {4, u":two:$DATA", 0, 0},
        {7, u"", 64, 0},
        {6, u"", 12, STREAM_CONTAINS_PROPERTIES},
        {10, u"", 3, 0},
        {12, u"", 0, STREAM_MODIFIED_WHEN_READ},
        {20, u"", 1, 0},
    };
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(end, static_cast<DWORD>(ERROR_NO_MORE_FILES));
}

TEST_F(StreamFinderTest, KeepsOnlyTheKindsOfTheFilter)
{
    MakeRichFile();
    const TStreamIds everyKind = TStreamIds::FromBits(0x3FF);
    const struct {
        const char* what;
        TStreamIds filter;
        std::vector<int> ids;
    } cases[] = {
        {"empty set: everything, identifiers 10 and up included", TStreamIds{}, {3, 2, 1, 4, 4, 7, 6, 10, 12, 20}},
        {"all ten kinds: never an identifier of 10 or more", everyKind, {3, 2, 1, 4, 4, 7, 6}},
        // The settings never build such sets; an identifier above 15 has no bit.
        {"bits 10 to 15", TStreamIds::FromBits(0xFC00), {10, 12}},
        {"all sixteen bits", TStreamIds::FromBits(0xFFFF), {3, 2, 1, 4, 4, 7, 6, 10, 12}},
        {"the unnamed data stream", Kinds({1}), {1}},
        {"named streams", Kinds({4}), {4, 4}},
        {"security and object id", Kinds({3, 7}), {3, 7}},
        {"kinds the file lacks", Kinds({5, 8, 9}), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DWORD end = 0;
        std::vector<int> ids;
        for (const auto& s : Enumerate(u"\\\\?\\C:\\d\\f.txt", c.filter, &end))
            ids.push_back(s.id);
        EXPECT_EQ(ids, c.ids);
        // A cursor that finds nothing closes itself and says "not found".
        EXPECT_EQ(end, static_cast<DWORD>(c.ids.empty() ? ERROR_FILE_NOT_FOUND : ERROR_NO_MORE_FILES));
    }
}

TEST_F(StreamFinderTest, ALinkYieldsItsOwnStreamsOnlyWhenAskedForItself)
{
    winsim::AddDirectory(u"C:\\target");
    winsim::AddJunction(u"C:\\dir", u"C:\\target");
    winsim::AddStream(u"C:\\dir", u"tag", "xyz");
    winsim::SetObjectId(u"C:\\dir");
    winsim::AddFile(u"C:\\t.txt", "data");
    winsim::AddFileSymlink(u"C:\\link.txt", u"C:\\t.txt");
    const struct {
        const char16_t* path;
        bool linkItself;
        std::vector<int> ids;
    } cases[] = {
        // No unnamed data stream: a directory has none.
        {u"\\\\?\\C:\\dir", true, {3, 4, 7, 8}},
        // Opened as Windows opens it, a link is its target.
        {u"\\\\?\\C:\\dir", false, {3}},
        {u"\\\\?\\C:\\link.txt", true, {3, 1, 8}},
        {u"\\\\?\\C:\\link.txt", false, {3, 1}},
    };
    for (const auto& c : cases) {
        std::vector<int> ids;
        for (const auto& s : Enumerate(c.path, TStreamIds{}, nullptr, c.linkItself))
            ids.push_back(s.id);
        EXPECT_EQ(ids, c.ids) << U8(c.path) << (c.linkItself ? " as the link itself" : " followed");
    }
}

TEST_F(StreamFinderTest, TheSecurityStreamNeedsNoPrivilege)
{
    winsim::AddFile(u"C:\\f", "x");
    ASSERT_TRUE(EnablePrivilege(false, TEXT("SeBackupPrivilege")));
    std::vector<int> ids;
    for (const auto& s : Enumerate(u"\\\\?\\C:\\f", TStreamIds{}))
        ids.push_back(s.id);
    EXPECT_EQ(ids, (std::vector<int>{3, 1}));
}

TEST_F(StreamFinderTest, NamesAreTakenAsTheHeaderAnnouncesThem)
{
    winsim::AddFile(u"C:\\f");
    // An odd length drops the odd last byte; an embedded zero ends the name;
    // characters outside the Basic Multilingual Plane are surrogate pairs.
    winsim::AddBackupStream(u"C:\\f", Extra(4, 0, 0, u":abcd:$DATA", 7));
    winsim::AddBackupStream(u"C:\\f", Extra(4, 0, 0, u":x", 1));
    winsim::AddBackupStream(u"C:\\f", Extra(4, 0, 0, std::u16string(u":a\0b", 4)));
    winsim::AddStream(u"C:\\f", u"\U0001F600\u00e9", "");
    std::vector<std::u16string> names;
    for (const auto& s : Enumerate(u"\\\\?\\C:\\f", Kinds({4})))
        names.push_back(s.name);
    EXPECT_EQ(names, (std::vector<std::u16string>{u":\U0001F600\u00e9:$DATA", u":ab", u"", u":a"}));
}

TEST_F(StreamFinderTest, AtTheEndNextKeepsSayingNoMoreFilesAndCloseWorksOnce)
{
    winsim::AddFile(u"C:\\f", "x");
    TFindStreamData d{};
    ASSERT_TRUE(StreamFindFirst(u"\\\\?\\C:\\f", Kinds({1}), d));
    for (int i = 0; i < 2; ++i) {
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(StreamFindNext(d));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES)) << "call " << i;
    }
    // The fields keep the last stream found.
    EXPECT_EQ(Current(d), (Seen{1, u"", 1, 0}));
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(StreamFindClose(d));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(0));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(StreamFindClose(d));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(StreamFindNext(d));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(StreamFinderTest, OpenFailuresLeaveTheErrorOfCreateFile)
{
    winsim::AddFile(u"C:\\locked", "x");
    winsim::DenyAccess(u"C:\\locked");
    // Without the backup privilege, an ACL that denies the caller stops the open.
    ASSERT_TRUE(EnablePrivilege(false, TEXT("SeBackupPrivilege")));
    const struct {
        const char16_t* path;
        DWORD error;
    } cases[] = {
        {u"\\\\?\\C:\\missing", ERROR_FILE_NOT_FOUND},
        {u"\\\\?\\C:\\no\\such", ERROR_PATH_NOT_FOUND},
        {u"\\\\?\\C:\\locked", ERROR_ACCESS_DENIED},
        {u"", ERROR_PATH_NOT_FOUND},
    };
    for (const auto& c : cases) {
        TFindStreamData d{};
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(StreamFindFirst(c.path, TStreamIds{}, d)) << U8(c.path);
        EXPECT_EQ(GetLastError(), c.error) << U8(c.path);
        EXPECT_FALSE(d.IsOpen());
    }
}

// Each stream costs one header read, one name read (when it has a name) and
// one seek (when its body is not empty); bodies are never read.
TEST_F(StreamFinderTest, BodiesAreSkippedInOneSeekWhateverTheirSize)
{
    winsim::AddFile(u"C:\\empty");
    winsim::AddPatternFile(u"C:\\huge", 5ull << 30);
    winsim::AddStream(u"C:\\empty", u"s", "");
    winsim::AddPatternStream(u"C:\\huge", u"s", 3ull << 32);

    auto trace = [](const std::u16string& path) {
        winsim::ClearCallLog();
        winsim::ResetBackupCounters();
        EXPECT_EQ(Enumerate(path, TStreamIds{}).size(), 3u);
        std::vector<std::string> calls;
        for (const auto& c : winsim::CallLog())
            if (c.function == "BackupRead" || c.function == "BackupSeek")
                calls.push_back(c.function + "(" + U8(c.argument) + ")");
        return std::make_pair(calls, winsim::BackupBytesRead());
    };
    auto [emptyCalls, emptyBytes] = trace(u"\\\\?\\C:\\empty");
    auto [hugeCalls, hugeBytes] = trace(u"\\\\?\\C:\\huge");

    // Security (a body), data and the named stream: empty bodies are not sought.
    const std::vector<std::string> expectedEmpty = {
        "BackupRead(20)", "BackupSeek()", "BackupRead(20)", "BackupRead(20)", "BackupRead(16)",
        "BackupRead(20)", "BackupRead(abort)"};
    EXPECT_EQ(emptyCalls, expectedEmpty);
    const std::vector<std::string> expectedHuge = {
        "BackupRead(20)", "BackupSeek()", "BackupRead(20)", "BackupSeek()", "BackupRead(20)", "BackupRead(16)",
        "BackupSeek()", "BackupRead(20)", "BackupRead(abort)"};
    EXPECT_EQ(hugeCalls, expectedHuge);
    // The same bytes: three headers and the name ":s:$DATA"; the last read of
    // 20 bytes finds the end.
    EXPECT_EQ(emptyBytes, hugeBytes);
    EXPECT_EQ(hugeBytes, 3u * 20 + 16);
}

TEST_F(StreamFinderTest, ReadSeekAndAllocationFailuresEndTheStep)
{
    winsim::AddFile(u"C:\\f", "data");
    winsim::AddStream(u"C:\\f", u"name", "x");
    // The calls of a full walk: read security header, seek its body, read
    // data header, seek, read the named stream's header, its name, seek.
    const struct {
        const char* function;
        int nth;
        DWORD injected;
        DWORD expected;
        int foundBefore;  // streams delivered before the failing step
    } cases[] = {
        {"BackupRead", 1, ERROR_CRC, ERROR_READ_FAULT, 0},
        {"BackupSeek", 1, ERROR_SEEK, ERROR_READ_FAULT, 0},
        {"BackupRead", 2, ERROR_CRC, ERROR_READ_FAULT, 1},
        {"BackupRead", 4, ERROR_CRC, ERROR_READ_FAULT, 2},  // the name of the named stream
        {"BackupSeek", 3, ERROR_SEEK, ERROR_READ_FAULT, 2},
        {"HeapAlloc", 1, ERROR_NOT_ENOUGH_MEMORY, ERROR_OUTOFMEMORY, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.function) + " #" + std::to_string(c.nth));
        winsim::FailCall(c.function, c.injected, c.nth);
        TFindStreamData d{};
        int found = 0;
        SetLastError(0xdeadbeef);
        bool ok = StreamFindFirst(u"\\\\?\\C:\\f", TStreamIds{}, d);
        while (ok) {
            ++found;
            SetLastError(0xdeadbeef);
            ok = StreamFindNext(d);
        }
        EXPECT_EQ(GetLastError(), c.expected);
        EXPECT_EQ(found, c.foundBefore);
        // From StreamFindFirst the cursor is closed; from StreamFindNext it
        // stays open for its user to close.
        EXPECT_EQ(d.IsOpen(), c.foundBefore > 0);
        if (d.IsOpen()) {
            EXPECT_TRUE(StreamFindClose(d));
        }
    }
}

TEST_F(StreamFinderTest, ACorruptNameLengthIsAnAllocationFailureNeverAShortBuffer)
{
    // N + 2 bytes for a name of N bytes: on a 32-bit build a length near 4 GiB
    // would wrap to a buffer of a byte or two.
    EXPECT_EQ(NameBufferBytes<std::uint32_t>(0xFFFFFFFFu), std::nullopt);
    EXPECT_EQ(NameBufferBytes<std::uint32_t>(0xFFFFFFFEu), std::nullopt);
    EXPECT_EQ(NameBufferBytes<std::uint32_t>(0xFFFFFFFDu), std::optional<std::uint32_t>(0xFFFFFFFFu));
    EXPECT_EQ(NameBufferBytes<std::uint64_t>(0xFFFFFFFFu), std::optional<std::uint64_t>(0x100000001ull));
    EXPECT_EQ(NameBufferBytes<std::uint32_t>(0), std::optional<std::uint32_t>(2));

    // Such a header in a real sequence: the heap refuses a block that large,
    // as a 32-bit process's heap does, and the step fails cleanly.
    winsim::AddFile(u"C:\\f");
    winsim::AddBackupStream(u"C:\\f", Extra(4, 0, 0, u":a", 0xFFFFFFFFu));
    winsim::FailAlways("HeapAlloc", ERROR_NOT_ENOUGH_MEMORY);
    TFindStreamData d{};
    ASSERT_TRUE(StreamFindFirst(u"\\\\?\\C:\\f", Kinds({1}), d));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(StreamFindNext(d));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OUTOFMEMORY));
    EXPECT_TRUE(StreamFindClose(d));
}

TEST_F(StreamFinderTest, ANameShorterThanAnnouncedIsAReadFault)
{
    winsim::AddFile(u"C:\\f");
    // Announces 4 MiB of name; the stream holds far fewer bytes.
    winsim::AddBackupStream(u"C:\\f", Extra(4, 0, 0, u":a", 4u << 20));
    TFindStreamData d{};
    ASSERT_TRUE(StreamFindFirst(u"\\\\?\\C:\\f", Kinds({1}), d));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(StreamFindNext(d));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_READ_FAULT));
    EXPECT_TRUE(StreamFindClose(d));
}

TEST_F(StreamFinderTest, AFailedReleaseIsReportedAndTheHandleStillClosed)
{
    winsim::AddFile(u"C:\\f", "x");
    TFindStreamData d{};
    ASSERT_TRUE(StreamFindFirst(u"\\\\?\\C:\\f", TStreamIds{}, d));
    LPVOID context = d.Internal.Context.Get();
    winsim::FailCall("BackupRead", ERROR_INVALID_PARAMETER);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(StreamFindClose(d));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(d.IsOpen());
    // The context the failed release left behind; winsim reports it until released.
    std::vector<std::string> leaks = winsim::Leaks();
    ASSERT_EQ(leaks.size(), 1u);
    EXPECT_NE(leaks[0].find("backup read context"), std::string::npos) << leaks[0];
    DWORD n = 0;
    EXPECT_TRUE(BackupRead(nullptr, nullptr, 0, &n, TRUE, FALSE, &context));
}

TEST_F(StreamFinderTest, WithoutBackupSeekTheStepFailsWithAnErrorAndLeavesNothingOpen)
{
    winsim::AddFile(u"C:\\f", "x");
    winsim::HideExport("kernel32.dll", "BackupSeek");
    TFindStreamData d{};
    EXPECT_THROW(StreamFindFirst(u"\\\\?\\C:\\f", TStreamIds{}, d), MissingProcError);
    EXPECT_FALSE(d.IsOpen());
}

TEST_F(StreamFinderTest, BackupSeekIsLookedUpOnceAndKept)
{
    winsim::AddFile(u"C:\\f", "x");
    winsim::AddFile(u"C:\\g", "y");
    winsim::ClearCallLog();
    Enumerate(u"\\\\?\\C:\\f", TStreamIds{});
    Enumerate(u"\\\\?\\C:\\g", TStreamIds{});
    std::size_t lookups = 0;
    for (const auto& c : winsim::CallLog())
        lookups += c.function == "GetProcAddress" && c.argument == u"BackupSeek";
    EXPECT_EQ(lookups, 1u);
}

}  // namespace
