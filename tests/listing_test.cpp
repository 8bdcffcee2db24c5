// The host's listings through FsFindFirstW / FsFindNextW / FsFindClose, as the
// host calls them: the drive list, directories with and without streams of
// their own, the streams of a file, bad input and handle misuse.
#include "host_fixture.h"
#include "listing/drives.h"
#include "listing/listing.h"
#include "presentation/content_exports.h"
#include "transfer/transfer_exports.h"

#include <algorithm>

namespace {

struct Entry {
    std::u16string name;
    DWORD attributes;
    std::uint64_t size;
    bool operator==(const Entry&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Entry& e)
{
    return os << "{\"" << U8(e.name) << "\", 0x" << std::hex << e.attributes << std::dec << ", " << e.size << "}";
}

Entry EntryOf(const WIN32_FIND_DATAW& f)
{
    return {f.cFileName, f.dwFileAttributes, (std::uint64_t{f.nFileSizeHigh} << 32) | f.nFileSizeLow};
}

std::uint64_t Ticks(const FILETIME& t)
{
    return (std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime;
}

TStreamIds Kinds(std::initializer_list<int> ids)
{
    TStreamIds set;
    for (int id : ids)
        set.Add(static_cast<TStreamId>(id));
    return set;
}

class ListingTest : public PluginTest {
protected:
    void SetUp() override
    {
        PluginTest::SetUp();
        ASSERT_EQ(InitPlugin(), 0);
    }

    // Every entry of a listing, closing it; empty with the error when
    // FsFindFirstW found nothing.
    std::vector<Entry> List(const char16_t* path, DWORD* error = nullptr, std::vector<WIN32_FIND_DATAW>* raw = nullptr)
    {
        std::vector<Entry> entries;
        WIN32_FIND_DATAW f;
        std::u16string p = path ? path : u"";
        SetLastError(0xdeadbeef);
        HANDLE h = FsFindFirstW(path ? p.data() : nullptr, &f);
        if (error)
            *error = GetLastError();
        if (h == INVALID_HANDLE_VALUE)
            return entries;
        EXPECT_NE(h, nullptr);
        do {
            entries.push_back(EntryOf(f));
            if (raw)
                raw->push_back(f);
        } while (FsFindNextW(h, &f));
        EXPECT_EQ(FsFindClose(h), 0);
        return entries;
    }
};

TEST_F(ListingTest, TheRootListsLocalNtfsDrivesOnly)
{
    winsim::AddVolume(u'D', u"FAT32");
    winsim::AddVolume(u'E', u"ntfs");
    winsim::AddDirectory(u"C:\\shared");
    winsim::AddSubstDrive(u'F', u"C:\\shared");
    winsim::AddNetworkDrive(u'G', u"\\\\server\\share", u"NTFS");
    winsim::AddEmptyRemovableDrive(u'A');
    winsim::AddVolume(u'Z', u"NTFS");
    // The host reads UTC: the local clock (two hours ahead) is not it.
    SYSTEMTIME local{2024, 1, 1, 1, 2, 0, 0, 0};
    winsim::SetLocalTime(local);

    std::vector<WIN32_FIND_DATAW> raw;
    std::vector<Entry> drives = List(u"\\", nullptr, &raw);
    EXPECT_EQ(drives, (std::vector<Entry>{{u"C:", 0x90, 0}, {u"E:", 0x90, 0}, {u"Z:", 0x90, 0}}));
    SYSTEMTIME utc{};
    GetSystemTime(&utc);
    FILETIME now{};
    ASSERT_TRUE(SystemTimeToFileTime(&utc, &now));
    for (const auto& f : raw) {
        EXPECT_EQ(Ticks(f.ftCreationTime), Ticks(now)) << "the drive's time in UTC";
        EXPECT_EQ(Ticks(f.ftLastAccessTime), Ticks(now));
        EXPECT_EQ(Ticks(f.ftLastWriteTime), Ticks(now));
        EXPECT_EQ(std::u16string(f.cAlternateFileName), std::u16string(f.cFileName));
    }
    // The same for a null path. The error mode is back as it was, and no
    // critical-error dialog was raised for the empty drive (TearDown checks).
    EXPECT_EQ(List(nullptr), drives);
    EXPECT_EQ(winsim::ErrorMode(), 0u);
}

TEST_F(ListingTest, TheRootQueriesEveryLetterAfreshAndOnlyCandidatesVolumes)
{
    winsim::AddDirectory(u"C:\\shared");
    winsim::AddSubstDrive(u'S', u"C:\\shared");
    winsim::ClearCallLog();
    List(u"\\");
    EXPECT_EQ(winsim::CountCalls("QueryDosDeviceW"), 26u);
    // Every letter but the substituted one is a candidate, drives or not.
    EXPECT_EQ(winsim::CountCalls("GetVolumeInformationW"), 25u);
    // The thread's own error mode, never the process's (the host's).
    EXPECT_EQ(winsim::CountCalls("SetThreadErrorMode"), 50u);
    EXPECT_EQ(winsim::CountCalls("SetErrorMode"), 0u);
}

TEST_F(ListingTest, AfterTheLastDriveNextKeepsReturningFalse)
{
    WIN32_FIND_DATAW f;
    HANDLE h = FsFindFirstW(nullptr, &f);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(std::u16string(f.cFileName), u"C:");
    for (int i = 0; i < 3; ++i) {
        f.cFileName[0] = u'#';
        SetLastError(0xdeadbeef);
        EXPECT_EQ(FsFindNextW(h, &f), FALSE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES)) << "the end reads as the system's end";
        EXPECT_EQ(f.cFileName[0], 0) << "the record is zero-filled";
    }
    EXPECT_EQ(FsFindClose(h), 0);
}

TEST_F(ListingTest, WithoutNtfsDrivesTheRootIsEmpty)
{
    OnProcessDetach();
    winsim::Reset();
    winsim::AddVolume(u'D', u"FAT32");
    OnProcessAttach(winsim::PluginModule());
    ASSERT_EQ(InitPlugin(), 0);
    DWORD error = 0;
    EXPECT_TRUE(List(u"\\", &error).empty());
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_NO_MORE_FILES));
}

TEST_F(ListingTest, APlainDirectoryShowsEveryEntryAsAFolder)
{
    SetStreamFilter(Kinds({1}));  // a directory has no unnamed data stream
    winsim::AddFile(u"C:\\d\\a.txt", "abc", FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN);
    winsim::AddFile(u"C:\\d\\b.bin", "", FILE_ATTRIBUTE_READONLY);
    winsim::SetAttributes(u"C:\\d\\b.bin", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SPARSE_FILE |
                                              FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_COMPRESSED);
    winsim::AddDirectory(u"C:\\d\\sub");
    // ".." is the root here: hidden and system are passed on.
    EXPECT_EQ(List(u"\\C:\\d\\"), (std::vector<Entry>{
                                      {u".", 0x10, 0},
                                      {u"..", 0x16, 0},
                                      {u"a.txt", 0x32, 3},
                                      {u"b.bin", 0x811, 0},
                                      {u"sub", 0x10, 0},
                                  }));
}

TEST_F(ListingTest, DirectoryEntriesArePassedOnWithTheSystemsOwnTrue)
{
    SetStreamFilter(Kinds({1}));
    winsim::AddFile(u"C:\\d\\a");
    WIN32_FIND_DATAW f;
    HANDLE h = FsFindFirstW(const_cast<WCHAR*>(u"\\C:\\d"), &f);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(FsFindNextW(h, &f), TRUE);
    FsFindClose(h);
}

TEST_F(ListingTest, TheAttributeMaskKeepsWhatTheHostKnowsAndMakesEveryEntryAFolder)
{
    const std::pair<DWORD, DWORD> cases[] = {
        {0x00000000, 0x10},   {0x00000080, 0x90},   {0x00000001, 0x11},   {0x00000008, 0x10},
        {0x00000200, 0x10},   {0x00000400, 0x10},   {0x00008000, 0x10},   {0x00010000, 0x10},
        {0x00400000, 0x10},   {0x00007DF7, 0x79F7}, {0xFFFFFFFF, 0x79F7}, {0x00004000, 0x4010},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(MaskDirectoryEntryAttributes(in), out) << std::hex << "for 0x" << in;
}

TEST_F(ListingTest, EnteringAFileListsItsStreamsWithTheFilesTimes)
{
    winsim::AddFile(u"C:\\d\\f.txt", "hello");
    winsim::AddStream(u"C:\\d\\f.txt", u"zone", "[ZoneTransfer]");
    winsim::AddStream(u"C:\\d\\f.txt", u"\U0001F600", "");
    winsim::SetEaData(u"C:\\d\\f.txt", 8);
    std::vector<WIN32_FIND_DATAW> raw;
    std::vector<Entry> streams = List(u"\\C:\\d\\f.txt", nullptr, &raw);
    EXPECT_EQ(streams, (std::vector<Entry>{
                           {u"::$SECURITY_DESCRIPTOR", 0x86, 0x74},
                           {u"::$EA_DATA", 0x82, 8},
                           {u"::$DATA", 0x80, 5},
                           {u":zone:$DATA", 0x80, 14},
                           {u":\U0001F600:$DATA", 0x80, 0},
                       }));
    WIN32_FIND_DATAW file;
    HANDLE search = FindFirstFileW(u"C:\\d\\f.txt", &file);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    FindClose(search);
    for (const auto& f : raw) {
        EXPECT_EQ(Ticks(f.ftCreationTime), Ticks(file.ftCreationTime));
        EXPECT_EQ(Ticks(f.ftLastAccessTime), Ticks(file.ftLastAccessTime));
        EXPECT_EQ(Ticks(f.ftLastWriteTime), Ticks(file.ftLastWriteTime));
    }
}

TEST_F(ListingTest, AHugeStreamIsListedWithItsFullSize)
{
    winsim::AddPatternFile(u"C:\\big.iso", 5ull << 30);
    SetStreamFilter(Kinds({1}));
    EXPECT_EQ(List(u"\\C:\\big.iso\\"), (std::vector<Entry>{{u"::$DATA", 0x80, 5ull << 30}}));
}

// A name the plain form would not reach (Win32 drops a trailing dot and
// takes "CON" for the device) is listed through the same form as its stream
// walk: the entries shown are its own.
TEST_F(ListingTest, ADirectoryWhoseNameThePlainFormMissesListsItsOwnEntries)
{
    winsim::AddFile(u"C:\\d\\x\\not-mine.txt", "the directory without the dot");
    ASSERT_TRUE(CreateDirectoryW(u"\\\\?\\C:\\d\\x.", nullptr));
    ASSERT_TRUE(CreateDirectoryW(u"\\\\?\\C:\\d\\CON", nullptr));
    for (const char16_t* dir : {u"\\\\?\\C:\\d\\x.\\mine.txt", u"\\\\?\\C:\\d\\CON\\mine.txt"}) {
        HANDLE h = CreateFileW(dir, GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        CloseHandle(h);
    }
    for (const char16_t* folder : {u"\\C:\\d\\x.", u"\\C:\\d\\CON"}) {
        std::vector<std::u16string> names;
        for (const Entry& e : List(folder))
            names.push_back(e.name);
        EXPECT_NE(std::find(names.begin(), names.end(), u"mine.txt"), names.end()) << U8(folder);
        EXPECT_EQ(std::find(names.begin(), names.end(), u"not-mine.txt"), names.end()) << U8(folder);
    }
}

// A sparse stream as the backup format gives it: a DATA header whose size is
// not the length, then a SPARSE_BLOCK stream per allocated range. The
// listing shows the stream's real length, one entry for its blocks, and the
// columns count what the listing shows.
TEST_F(ListingTest, ASparseFileIsListedAsItIs)
{
    winsim::AddPatternFile(u"C:\\disk.vhdx", 1 << 20, 5);
    winsim::MakeSparse(u"C:\\disk.vhdx", {{0, 100}, {65536, 50}});
    winsim::AddStream(u"C:\\disk.vhdx", u"s", "meta");
    std::vector<Entry> entries;
    for (const Entry& e : List(u"\\C:\\disk.vhdx"))
        if (e.name != u"::$SECURITY_DESCRIPTOR")
            entries.push_back(e);
    EXPECT_EQ(entries, (std::vector<Entry>{{u"::$DATA", 0x80, 1 << 20},
                                           {u"::$SPARSE_BLOCK", 0x82, (8 + 100) + (8 + 50)},
                                           {u":s:$DATA", 0x80, 4}}));
    std::u16string file = u"\\C:\\disk.vhdx";
    int count = 0;
    EXPECT_EQ(FsContentGetValueW(file.data(), 1, 0, &count, sizeof count, 0), ft_numeric_32);
    EXPECT_EQ(count, 4) << "the security descriptor, the data, one entry for the blocks, the named stream";

    // The blocks' entry copies out as the backup API gives them.
    winsim::AddVolume(u'D');
    winsim::AddDirectory(u"D:\\out");
    std::u16string remote = u"\\C:\\disk.vhdx\\::$SPARSE_BLOCK";
    std::vector<WCHAR> local(1023, 0);
    const std::u16string proposal = u"D:\\out\\blocks";
    std::copy(proposal.begin(), proposal.end(), local.begin());
    ASSERT_EQ(FsGetFileW(remote.data(), local.data(), 0, nullptr), FS_FILE_OK);
    const std::string copied = winsim::Contents(u"D:\\out\\blocks").value_or("");
    ASSERT_EQ(copied.size(), 166u);
    EXPECT_EQ(copied.substr(0, 8), std::string(8, '\0'));
    EXPECT_EQ(copied.substr(8, 100), winsim::ReadBytes(u"C:\\disk.vhdx", 0, 100));
    EXPECT_EQ(copied.substr(108, 8), std::string("\0\0\1\0\0\0\0\0", 8)) << "the second block's offset, 65536";
    EXPECT_EQ(copied.substr(116), winsim::ReadBytes(u"C:\\disk.vhdx", 65536, 50));
}

TEST_F(ListingTest, AFileWhoseStreamsAreFilteredOutIsEmptyAndOneThatCannotBeReadFails)
{
    winsim::AddFile(u"C:\\f", "x");
    winsim::AddStream(u"C:\\f", u"s", "y");
    DWORD error = 0;
    SetStreamFilter(Kinds({9}));
    EXPECT_TRUE(List(u"\\C:\\f", &error).empty());
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_NO_MORE_FILES));
    // The host reads ERROR_NO_MORE_FILES as "exists and is empty" (a move
    // then removes the file): a file that cannot be read whole says why.
    SetStreamFilter(TStreamIds{});
    const struct {
        const char* function;
        DWORD error;
        int nth;
        DWORD expected;
    } cases[] = {
        {"CreateFileW", ERROR_SHARING_VIOLATION, 1, ERROR_SHARING_VIOLATION},
        {"CreateFileW", ERROR_ACCESS_DENIED, 1, ERROR_ACCESS_DENIED},
        {"BackupRead", ERROR_CRC, 1, ERROR_READ_FAULT},
        {"BackupRead", ERROR_CRC, 3, ERROR_READ_FAULT},  // after the first stream
        {"BackupSeek", ERROR_CRC, 3, ERROR_READ_FAULT},  // over the last body
    };
    for (const auto& c : cases) {
        winsim::FailCall(c.function, c.error, c.nth);
        std::vector<Entry> entries = List(u"\\C:\\f", &error);
        EXPECT_TRUE(entries.empty()) << c.function << " #" << c.nth << ": " << entries.size() << " entries delivered";
        EXPECT_EQ(error, c.expected) << c.function << " #" << c.nth;
    }
    EXPECT_EQ(List(u"\\C:\\f").size(), 3u) << "every fault was spent";
}

// Streams first, then the directory's entries, each exactly once, whatever
// the number of either.
TEST_F(ListingTest, ADirectoryWithStreamsDeliversEveryStreamThenEveryEntryOnce)
{
    const struct {
        const char* what;
        bool namedStream;
        int children;
        const char* fault;  // cuts the directory search short
        int faultNth;       // FindFirstFileW #1 is the lookup of the directory's times
        std::vector<std::u16string> expected;
    } cases[] = {
        {"one stream, no entries", false, 0, "FindFirstFileW", 2, {u"::$SECURITY_DESCRIPTOR"}},
        {"two streams, no entries", true, 0, "FindFirstFileW", 2, {u"::$SECURITY_DESCRIPTOR", u":s:$DATA"}},
        {"one stream, one entry", false, 0, "FindNextFileW", 1, {u"::$SECURITY_DESCRIPTOR", u"."}},
        {"two streams, one entry", true, 0, "FindNextFileW", 1, {u"::$SECURITY_DESCRIPTOR", u":s:$DATA", u"."}},
        {"one stream, two entries", false, 0, nullptr, 0, {u"::$SECURITY_DESCRIPTOR", u".", u".."}},
        {"two streams, three entries", true, 1, nullptr, 0,
         {u"::$SECURITY_DESCRIPTOR", u":s:$DATA", u".", u"..", u"x0"}},
        {"two streams, four entries", true, 2, nullptr, 0,
         {u"::$SECURITY_DESCRIPTOR", u":s:$DATA", u".", u"..", u"x0", u"x1"}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::u16string dir = u"C:\\d" + std::u16string(1, static_cast<char16_t>(u'a' + n++));
        winsim::AddDirectory(dir);
        if (c.namedStream)
            winsim::AddStream(dir, u"s", "abc");
        for (int i = 0; i < c.children; ++i)
            winsim::AddFile(dir + u"\\x" + static_cast<char16_t>(u'0' + i));
        if (c.fault)
            winsim::FailCall(c.fault, c.fault[4] == 'F' ? ERROR_FILE_NOT_FOUND : ERROR_NO_MORE_FILES, c.faultNth);
        std::u16string plugin = u"\\" + dir;
        std::vector<std::u16string> names;
        for (const auto& e : List(plugin.c_str())) {
            names.push_back(e.name);
            // Streams are files to the host, entries folders.
            EXPECT_EQ((e.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0, e.name[0] != u':') << U8(e.name);
        }
        EXPECT_EQ(names, c.expected);
    }
}

TEST_F(ListingTest, StreamEntriesCarryTheDirectorysTimesAndEntriesTheirOwn)
{
    winsim::AddDirectory(u"C:\\d");
    winsim::AddFile(u"C:\\d\\later");  // created a second after the directory
    std::vector<WIN32_FIND_DATAW> raw;
    List(u"\\C:\\d", nullptr, &raw);
    ASSERT_EQ(raw.size(), 4u);
    WIN32_FIND_DATAW dir, file;
    FindClose(FindFirstFileW(u"C:\\d", &dir));
    FindClose(FindFirstFileW(u"C:\\d\\later", &file));
    EXPECT_EQ(Ticks(raw[0].ftCreationTime), Ticks(dir.ftCreationTime));
    EXPECT_EQ(Ticks(raw[3].ftCreationTime), Ticks(file.ftCreationTime));
    EXPECT_NE(Ticks(dir.ftCreationTime), Ticks(file.ftCreationTime));
}

// "\\?\C:" is the volume device: an elevated host would read raw sectors
// as a stream sequence. A drive's folder is its root directory: its security
// descriptor first, then its entries (a root has no "." or "..").
TEST_F(ListingTest, TheRootOfADriveIsItsRootDirectoryNeverTheVolume)
{
    winsim::AddFile(u"C:\\a");
    winsim::AddStream(u"C:\\", u"r", "root's stream");
    const std::vector<Entry> root = {
        {u"::$SECURITY_DESCRIPTOR", 0x86, 0x74}, {u":r:$DATA", 0x80, 13}, {u"a", 0x30, 0}, {u"plugins", 0x10, 0}};
    for (bool elevated : {false, true}) {
        SCOPED_TRACE(elevated ? "elevated" : "not elevated");
        winsim::SetElevated(elevated);
        winsim::ClearCallLog();
        EXPECT_EQ(List(u"\\C:"), root);
        EXPECT_EQ(List(u"\\C:\\"), root);
        for (const auto& call : winsim::CallLog())
            EXPECT_NE(call.argument, u"\\\\?\\C:") << call.function << " was handed the volume device";
    }
}

// Almost every directory has a security-descriptor stream, so almost every
// listing takes the streams-first way; there a search that fails must fail
// the listing, and a search beyond MAX_PATH must run on the long form.
TEST_F(ListingTest, ADirectoryWithStreamsNeverHidesItsEntries)
{
    std::u16string deep = u"C:\\deep";
    while (deep.size() < 300)
        deep += u"\\directory";
    winsim::AddFile(deep + u"\\inside.txt", "x");
    winsim::AddFile(u"C:\\locked\\secret.txt", "x");
    winsim::DenyAccess(u"C:\\locked");
    const std::u16string deepPlugin = u"\\" + deep;
    DWORD error = 0;
    std::vector<Entry> deepEntries = List(deepPlugin.c_str(), &error);
    ASSERT_EQ(deepEntries.size(), 4u) << "error " << error;
    EXPECT_EQ(deepEntries[0].name, u"::$SECURITY_DESCRIPTOR");
    EXPECT_EQ(deepEntries[3].name, u"inside.txt");
    // Backup semantics read the locked directory's streams; its search is
    // refused: the listing says so instead of showing one hidden entry.
    error = 0;
    EXPECT_TRUE(List(u"\\C:\\locked", &error).empty());
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(ListingTest, BadPathsGiveTheDirectorySearchsErrorOrNoEntries)
{
    winsim::AddDirectory(u"C:\\locked");
    winsim::DenyAccess(u"C:\\locked");
    const std::u16string longPath = u"\\C:\\" + std::u16string(40000, u'a');
    const struct {
        std::u16string path;
        DWORD error;
    } cases[] = {
        {u"", ERROR_NO_MORE_FILES},
        {u"x", ERROR_NO_MORE_FILES},
        {u"\\C:\\missing", ERROR_PATH_NOT_FOUND},
        {u"\\C:\\missing\\deeper\\", ERROR_PATH_NOT_FOUND},
        {u"\\Q:\\", ERROR_PATH_NOT_FOUND},
        {u"\\C:\\locked", ERROR_ACCESS_DENIED},
        {u"\\C:\\a:b:c\\", ERROR_INVALID_NAME},
        {u"\\::", ERROR_INVALID_NAME},
        // The directory search runs on the plain path, which MAX_PATH limits.
        {longPath, ERROR_FILENAME_EXCED_RANGE},
    };
    for (const auto& c : cases) {
        DWORD error = 0;
        EXPECT_TRUE(List(c.path.c_str(), &error).empty()) << U8(c.path.substr(0, 40));
        EXPECT_EQ(error, c.error) << U8(c.path.substr(0, 40));
    }
    WIN32_FIND_DATAW f;
    EXPECT_EQ(FsFindFirstW(nullptr, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(FsFindNextW(reinterpret_cast<HANDLE>(0x1234), &f), FALSE);
}

TEST_F(ListingTest, AnUnexpectedFailureIsAGeneralFailureAndLeavesNothingOpen)
{
    winsim::AddFile(u"C:\\f", "x");
    winsim::HideExport("kernel32.dll", "BackupSeek");
    DWORD error = 0;
    EXPECT_TRUE(List(u"\\C:\\f", &error).empty());
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_GEN_FAILURE));
    EXPECT_TRUE(List(u"\\C:\\plugins", &error).empty());
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_GEN_FAILURE));
}

TEST_F(ListingTest, HandlesClosedTwiceNeverOpenedOrNeverClosedDoNoHarm)
{
    WIN32_FIND_DATAW f;
    EXPECT_EQ(FsFindClose(nullptr), 0);
    EXPECT_EQ(FsFindClose(INVALID_HANDLE_VALUE), 0);
    EXPECT_EQ(FsFindNextW(nullptr, &f), FALSE);
    EXPECT_EQ(FsFindNextW(INVALID_HANDLE_VALUE, &f), FALSE);

    winsim::AddFile(u"C:\\f", "x");
    HANDLE h = FsFindFirstW(const_cast<WCHAR*>(u"\\C:\\f"), &f);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(FsFindClose(h), 0);
    EXPECT_EQ(FsFindClose(h), 0);
    EXPECT_EQ(FsFindNextW(h, &f), FALSE);

    // A listing the host never closes keeps its search open, also across an
    // unload; it is still the host's to close.
    winsim::AddFile(u"C:\\d\\g", "y");
    HANDLE kept = FsFindFirstW(const_cast<WCHAR*>(u"\\C:\\d"), &f);
    ASSERT_NE(kept, INVALID_HANDLE_VALUE);
    OnProcessDetach();
    OnProcessAttach(winsim::PluginModule());
    EXPECT_FALSE(winsim::Leaks().empty());
    ASSERT_EQ(InitPlugin(), 0);
    EXPECT_EQ(FsFindClose(kept), 0);
}

TEST_F(ListingTest, BeforeInitialisationTheListingIsInert)
{
    OnProcessDetach();
    OnProcessAttach(winsim::PluginModule());
    winsim::ClearCallLog();
    WIN32_FIND_DATAW f;
    std::fill(reinterpret_cast<char*>(&f), reinterpret_cast<char*>(&f + 1), '\x5a');
    SetLastError(0xdeadbeef);
    EXPECT_EQ(FsFindFirstW(const_cast<WCHAR*>(u"\\"), &f), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_EQ(f.dwFileAttributes, 0u);
    EXPECT_EQ(f.cFileName[0], 0);
    EXPECT_EQ(FsFindNextW(reinterpret_cast<HANDLE>(0x10), &f), FALSE);
    EXPECT_EQ(FsFindClose(reinterpret_cast<HANDLE>(0x10)), 0);
    EXPECT_TRUE(winsim::CallLog().empty());
}

TEST_F(ListingTest, TheFilterInForceWhenAListingStartsIsKept)
{
    winsim::AddFile(u"C:\\f", "x");
    winsim::AddStream(u"C:\\f", u"s", "y");
    SetStreamFilter(Kinds({1, 4}));
    WIN32_FIND_DATAW f;
    HANDLE h = FsFindFirstW(const_cast<WCHAR*>(u"\\C:\\f"), &f);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    SetStreamFilter(Kinds({1}));
    EXPECT_EQ(std::u16string(f.cFileName), u"::$DATA");
    EXPECT_EQ(FsFindNextW(h, &f), -1);
    EXPECT_EQ(std::u16string(f.cFileName), u":s:$DATA");
    FsFindClose(h);
}

TEST(CalendarFileTime, CountsTicksFrom1601WithoutAnyZone)
{
    const struct {
        SYSTEMTIME local;
        std::uint64_t ticks;
    } cases[] = {
        {{1601, 1, 1, 1, 0, 0, 0, 0}, 0},
        {{1899, 12, 6, 30, 0, 0, 0, 0}, 109205ull * 864000000000ull},
        {{2024, 2, 4, 29, 13, 45, 30, 123}, 133536879301230000ull},
        {{2024, 12, 2, 31, 23, 59, 59, 999}, 133801631999990000ull},
    };
    for (const auto& c : cases) {
        FILETIME t = CalendarFileTime(c.local);
        EXPECT_EQ(Ticks(t), c.ticks) << c.local.wYear << "-" << c.local.wMonth << "-" << c.local.wDay;
    }
}

}  // namespace
