// Plugin paths: the conversions of host paths into local and stream paths, and
// the two existence probes.
#include "host_fixture.h"
#include "plugin/paths.h"

namespace {

struct StreamPathCase {
    const char16_t* pluginPath;
    const char16_t* expected;
    bool isStream;
};

TEST(ResolveStreamPath, ConvertsEveryFormOfPluginPath)
{
    const StreamPathCase cases[] = {
        {u"\\", u"", false},
        {u"\\C:", u"C:", false},
        {u"\\C:\\", u"C:", false},
        {u"\\C:\\dir\\", u"C:\\dir", false},
        {u"\\C:\\dir\\file", u"C:\\dir\\file", false},
        {u"\\C:\\dir\\file\\::$DATA", u"C:\\dir\\file", false},
        {u"\\C:\\dir\\file\\::$data", u"C:\\dir\\file", false},
        {u"\\C:\\dir\\file\\::$DaTa", u"C:\\dir\\file", false},
        {u"\\C:\\dir\\file\\:name:$DATA", u"C:\\dir\\file:name:$DATA", true},
        {u"\\C:\\dir\\file\\:name:$data", u"C:\\dir\\file:name:$data", true},
        {u"\\C:\\dir\\file\\::$EA_DATA", u"C:\\dir\\file::$EA_DATA", true},
        {u"\\C:\\dir\\file\\::", u"C:\\dir\\file::", true},
        {u"\\C:\\dir\\file\\:name", u"C:\\dir\\file:name", true},
        // A trailing backslash after a stream entry is dropped like any other.
        {u"\\C:\\dir\\file\\:name:$DATA\\", u"C:\\dir\\file:name:$DATA", true},
        // So is one after the unnamed data stream: that entry stays the file.
        {u"\\C:\\dir\\file\\::$DATA\\", u"C:\\dir\\file", false},
        // Fewer than nine characters: "::$DATA" at the end is not recognised.
        {u"\\::$DATA", u"::$DATA", true},
        {u"\\X::$DATA", u"X", false},
        {u"\\X:\\::$DATA", u"X:", false},
        // The drive colon is never a stream colon; a later one is. Only a
        // backslash before it is dropped: a stream typed onto its file
        // ("a:b") stays the stream of that file, not of another one.
        {u"\\C:\\a:b", u"C:\\a:b", true},
        {u"\\C:\\dir\\file:s", u"C:\\dir\\file:s", true},
        {u"", u"", false},
        // Without the host's leading backslash the drive colon is not where a
        // drive colon belongs: the path is taken as the host wrote it.
        {u"C:\\dir", u"C:\\dir", true},
        // A stream below a top-level name that is no drive does not turn
        // into a drive path.
        {u"\\x\\:name", u"x\\:name", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.pluginPath));
        ResolvedStreamPath r = ResolveStreamPath(c.pluginPath);
        EXPECT_EQ(U8(r.Path), U8(c.expected));
        EXPECT_EQ(r.IsStream, c.isStream);
    }
}

// What every export is told a plugin path names.
TEST(ResolvePluginPath, NamesTheKindTheFileAndTheStream)
{
    using K = EntryKind;
    const struct {
        const char16_t* path;
        K kind;
        const char16_t* local;
        const char16_t* stream;  // StreamPath
        const char16_t* name;    // StreamName
        int special;             // SpecialKind, -1 none
    } rows[] = {
        {u"\\", K::Root, u"", u"", u"", -1},
        {u"", K::Root, u"", u"", u"", -1},
        {u"\\C:", K::Drive, u"C:", u"C:", u"", -1},
        {u"\\C:\\", K::Drive, u"C:", u"C:", u"", -1},
        {u"\\C:\\d\\f.txt", K::Local, u"C:\\d\\f.txt", u"C:\\d\\f.txt", u"", -1},
        {u"\\C:\\d\\f.txt\\::$DATA", K::UnnamedData, u"C:\\d\\f.txt", u"C:\\d\\f.txt", u"", -1},
        {u"\\C:\\d\\f.txt\\::$data\\", K::UnnamedData, u"C:\\d\\f.txt", u"C:\\d\\f.txt", u"", -1},
        {u"\\C:\\d\\f.txt\\:s:$DATA", K::NamedStream, u"C:\\d\\f.txt", u"C:\\d\\f.txt:s:$DATA", u"s", -1},
        {u"\\C:\\d\\f.txt\\:s", K::NamedStream, u"C:\\d\\f.txt", u"C:\\d\\f.txt:s", u"s", -1},
        {u"\\C:\\d\\f.txt:s", K::NamedStream, u"C:\\d\\f.txt", u"C:\\d\\f.txt:s", u"s", -1},
        {u"\\C:\\d\\f.txt\\:s:$OTHER", K::NamedStream, u"C:\\d\\f.txt", u"C:\\d\\f.txt:s:$OTHER", u"", -1},
        {u"\\C:\\d\\f.txt\\::$EA_DATA", K::SpecialStream, u"C:\\d\\f.txt", u"C:\\d\\f.txt::$EA_DATA", u"",
         static_cast<int>(TStreamId::siExtendedAttribute)},
        {u"\\C:\\d\\f.txt\\::", K::SpecialStream, u"C:\\d\\f.txt", u"C:\\d\\f.txt::", u"",
         static_cast<int>(TStreamId::siInvalid)},
        {u"\\C:\\d\\f.txt\\::$NOSUCH", K::SpecialStream, u"C:\\d\\f.txt", u"C:\\d\\f.txt::$NOSUCH", u"", -1},
        {u"x:", K::NamedStream, u"x:", u"x:", u"", -1},  // a colon but no stream after it: no name, no fault
        {u"\\C:\\:s:$DATA", K::NamedStream, u"C:\\", u"C:\\:s:$DATA", u"s", -1},
        {u"\\\\\\srv\\share\\f\\:s:$DATA", K::NamedStream, u"\\\\srv\\share\\f", u"\\\\srv\\share\\f:s:$DATA",
         u"s", -1},
    };
    for (const auto& row : rows) {
        const PluginEntry e = ResolvePluginPath(row.path);
        EXPECT_EQ(static_cast<int>(e.Kind), static_cast<int>(row.kind)) << U8(row.path);
        EXPECT_EQ(U8(e.LocalPath), U8(row.local)) << U8(row.path);
        EXPECT_EQ(U8(e.StreamPath), U8(row.stream)) << U8(row.path);
        EXPECT_EQ(U8(e.StreamName), U8(row.name)) << U8(row.path);
        EXPECT_EQ(e.SpecialKind ? static_cast<int>(*e.SpecialKind) : -1, row.special) << U8(row.path);
    }
}

TEST(PluginToLocalPath, DropsExactlyOneLeadingBackslash)
{
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"\\", u"\\"},  {u"", u""},           {u"\\\\x", u"\\x"},      {u"\\C:\\dir\\", u"C:\\dir\\"},
        {u"C:", u"C:"},  {u"\\C:/a/../b", u"C:/a/../b"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(U8(PluginToLocalPath(in)), U8(out)) << "for " << U8(in);
}

TEST(ToLongPath, PutsTheFourCharactersInFront)
{
    EXPECT_EQ(U8(ToLongPath(u"C:\\dir\\file:name:$DATA")), "\\\\?\\C:\\dir\\file:name:$DATA");
    EXPECT_EQ(U8(ToLongPath(u"")), "\\\\?\\");
}

class ProbeTest : public PluginTest {
protected:
    void SetUp() override
    {
        PluginTest::SetUp();
        winsim::AddFile(u"C:\\dir\\file.txt", "body");
        winsim::AddStream(u"C:\\dir\\file.txt", u"name", "stream");
        winsim::AddStream(u"C:\\dir", u"onDir", "x");
    }
};

TEST_F(ProbeTest, FileExistsLongTellsFilesAndStreamsFromTheRest)
{
    const std::pair<const char16_t*, bool> cases[] = {
        {u"C:\\dir\\file.txt", true},
        {u"C:\\dir\\FILE.TXT", true},
        {u"C:\\dir\\file.txt:name:$DATA", true},
        {u"C:\\dir\\file.txt:name", true},
        {u"C:\\dir\\file.txt:other:$DATA", false},
        {u"C:\\dir:onDir:$DATA", true},  // a named stream of a directory is a file
        {u"C:\\dir", false},
        {u"C:\\missing.txt", false},
        {u"C:\\missing\\file.txt", false},
        {u"Q:\\file.txt", false},
    };
    for (const auto& [path, expected] : cases) {
        SetLastError(0xdeadbeef);
        EXPECT_EQ(FileExistsLong(path), expected) << "for " << U8(path);
    }
}

TEST_F(ProbeTest, FileExistsLongNeverAsksTheSystemAboutARoot)
{
    for (const char16_t* path : {u"C:", u"C:\\", u"", u"abc"}) {
        winsim::ClearCallLog();
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(FileExistsLong(path)) << "for " << U8(path);
        EXPECT_EQ(winsim::CallLog().size(), 0u) << "for " << U8(path);
        EXPECT_EQ(GetLastError(), 0xdeadbeefu) << "the last error is left untouched for " << U8(path);
    }
}

TEST_F(ProbeTest, FileExistsLongOpensTheLongFormWithoutAccess)
{
    winsim::ClearCallLog();
    EXPECT_TRUE(FileExistsLong(u"C:\\dir\\file.txt"));
    auto log = winsim::CallLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].function, "CreateFileW");
    EXPECT_EQ(U8(log[0].argument), "\\\\?\\C:\\dir\\file.txt");
    EXPECT_EQ(log[1].function, "CloseHandle");
}

TEST_F(ProbeTest, FileExistsLongIsFalseWhenTheOpenFails)
{
    winsim::FailCall("CreateFileW", ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(FileExistsLong(u"C:\\dir\\file.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
}

TEST_F(ProbeTest, DirectoryExistsLongTellsDirectoriesAndRoots)
{
    const std::pair<const char16_t*, bool> cases[] = {
        {u"C:", true},
        {u"C:\\", true},
        {u"C:\\dir", true},
        {u"C:\\dir\\", true},
        {u"C:\\dir\\file.txt", false},
        {u"C:\\dir\\file.txt:name:$DATA", false},
        {u"C:\\missing", false},
        {u"Q:", false},
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(DirectoryExistsLong(path), expected) << "for " << U8(path);
}

TEST_F(ProbeTest, ProbesTakePathsOfFortyThousandCharacters)
{
    std::u16string deep = u"C:\\";
    while (deep.size() < 40000)
        deep += u"abcdefghij\\";
    EXPECT_FALSE(FileExistsLong(deep));
    EXPECT_FALSE(DirectoryExistsLong(deep));
    ResolvedStreamPath r = ResolveStreamPath(u"\\" + deep + u":s");
    EXPECT_TRUE(r.IsStream);
}

TEST(FileOfStreamPath, IsThePartBeforeTheStream)
{
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"C:\\d\\f.txt:s:$DATA", u"C:\\d\\f.txt"},
        {u"C:\\d\\f.txt", u"C:\\d\\f.txt"},
        {u"\\\\?\\C:\\d\\f.txt:s", u"\\\\?\\C:\\d\\f.txt"},
        {u"\\\\server\\share\\f.txt:s", u"\\\\server\\share\\f.txt"},
        {u"\\\\?\\UNC\\server\\share\\f.txt:s", u"\\\\?\\UNC\\server\\share\\f.txt"},
        {u"C:", u"C:"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(U8(FileOfStreamPath(in)), U8(out)) << U8(in);
}

}  // namespace
