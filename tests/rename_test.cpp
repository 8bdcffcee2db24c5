// FsRenMovFileW: every rename, move and copy inside the plugin is refused with
// the "Not Supported" message, and nothing is touched.
#include "host_fixture.h"
#include "transfer/rename.h"

namespace {

class RenameTest : public PluginTest {
protected:
    void SetUp() override
    {
        PluginTest::SetUp();
        winsim::AddFile(u"C:\\d\\f.txt", "body");
        winsim::AddStream(u"C:\\d\\f.txt", u"s", "stream");
        winsim::AddFile(u"C:\\d\\g.txt", "other");
    }

    int Rename(const char16_t* from, const char16_t* to, BOOL move, BOOL overwrite)
    {
        std::u16string a(from), b(to);
        RemoteInfoStruct info{};
        return FsRenMovFileW(a.data(), b.data(), move, overwrite, &info);
    }
};

TEST_F(RenameTest, EveryRequestIsRefusedWithOneMessage)
{
    ASSERT_EQ(InitPlugin(), 0);
    struct Case {
        const char16_t* from;
        const char16_t* to;
        BOOL move;
        BOOL overwrite;
    };
    const Case cases[] = {
        {u"\\C:\\d\\f.txt\\:s:$DATA", u"\\C:\\d\\f.txt\\:t:$DATA", TRUE, FALSE},  // rename within its file
        {u"\\C:\\d\\f.txt\\:s:$DATA", u"\\C:\\d\\g.txt\\:s:$DATA", TRUE, TRUE},   // move to another file
        {u"\\C:\\d\\f.txt\\:s:$DATA", u"\\C:\\d\\g.txt\\:s:$DATA", FALSE, FALSE}, // copy of a stream
        {u"\\C:\\d\\f.txt", u"\\C:\\d\\h.txt", FALSE, TRUE},                     // copy of a file
        {u"\\C:\\d\\f.txt", u"\\C:\\d\\h.txt", TRUE, FALSE},                     // rename of a file
    };
    winsim::ClearCallLog();
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.from) + " -> " + U8(c.to));
        Host().messages.clear();
        EXPECT_EQ(Rename(c.from, c.to, c.move, c.overwrite), FS_FILE_NOTSUPPORTED);
        ASSERT_EQ(Host().messages.size(), 1u);
        EXPECT_EQ(U8(Host().messages[0]), "Not Supported");
        EXPECT_EQ(Host().messagePluginNrs[0], 7);
    }
    EXPECT_TRUE(winsim::CallLog().empty()) << "the file system was asked: " << winsim::CallLog().front().function;
    EXPECT_EQ(winsim::Contents(u"C:\\d\\f.txt:s"), "stream");
    EXPECT_FALSE(winsim::Exists(u"C:\\d\\f.txt:t"));
    EXPECT_FALSE(winsim::Exists(u"C:\\d\\g.txt:s"));
    EXPECT_FALSE(winsim::Exists(u"C:\\d\\h.txt"));
    EXPECT_TRUE(Host().progress.empty());
}

TEST_F(RenameTest, TheMessageComesFromTheLanguageFile)
{
    winsim::AddFile(u"C:\\plugins\\TC_wfx_NTFSTarnwick.ini", "[wfx_NTFSTarnwick]\r\nLanguage=test.lng\r\n");
    std::string lines = "wfx_Tarnwick language file\r\n";
    for (int line = 1; line <= 21; ++line)
        lines += (line == 19 ? std::string("Nicht unterstuetzt") : "line " + std::to_string(line)) + "\r\n";
    winsim::AddFile(u"C:\\plugins\\test.lng", lines);
    ASSERT_EQ(InitPlugin(), 0);
    EXPECT_EQ(Rename(u"\\C:\\d\\f.txt", u"\\C:\\d\\h.txt", TRUE, FALSE), FS_FILE_NOTSUPPORTED);
    ASSERT_EQ(Host().messages.size(), 1u);
    EXPECT_EQ(U8(Host().messages[0]), "Nicht unterstuetzt");
}

TEST_F(RenameTest, TheMessageIsShownWhileDisabled)
{
    // A system outside the NT family: the callbacks are kept, the gate stays shut.
    winsim::SetPlatform(VER_PLATFORM_WIN32_WINDOWS, 4, 90);
    ASSERT_EQ(InitPlugin(), 0);
    ASSERT_TRUE(PluginState().Disabled);
    EXPECT_EQ(Rename(u"\\C:\\d\\f.txt", u"\\C:\\d\\h.txt", TRUE, FALSE), FS_FILE_NOTSUPPORTED);
    EXPECT_EQ(Host().messages.size(), 1u);
    EXPECT_FALSE(winsim::Exists(u"C:\\d\\h.txt"));
}

TEST_F(RenameTest, BeforeInitialisationThereIsNoOneToTell)
{
    EXPECT_EQ(FsRenMovFileW(nullptr, nullptr, TRUE, TRUE, nullptr), FS_FILE_NOTSUPPORTED);
    EXPECT_TRUE(Host().messages.empty());
}

}  // namespace
