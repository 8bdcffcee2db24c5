// FsDeleteFileW, FsRemoveDirW, FsMkDirW and the helpers they share with the
// transfers and the commands, against winsim.
#include "fileops/create_directory.h"
#include "fileops/delete_create_exports.h"
#include "fileops/delete_tree.h"
#include "host_fixture.h"
#include "transfer/transfer_exports.h"

namespace {

class DeleteRemoveCreate : public PluginTest {
protected:
    void SetUp() override
    {
        PluginTest::SetUp();
        ASSERT_EQ(InitPlugin(), 0);
    }

    static BOOL Delete(const char16_t* p) { return FsDeleteFileW(const_cast<WCHAR*>(p)); }
    static BOOL Remove(const char16_t* p) { return FsRemoveDirW(const_cast<WCHAR*>(p)); }
    static BOOL MkDir(const char16_t* p) { return FsMkDirW(const_cast<WCHAR*>(p)); }
};

TEST_F(DeleteRemoveCreate, DeleteFileTakesStreamsFilesAndEmptyDirectories)
{
    struct Row {
        const char16_t* remote;
        BOOL result;
        DWORD error;  // checked when the result is FALSE
        const char16_t* gone;
        const char16_t* stays;
    };
    const Row rows[] = {
        // The unnamed data stream entry is the file itself: never deleted.
        {u"\\C:\\d\\f.txt\\::$DATA", -1, 0, nullptr, u"C:\\d\\f.txt"},
        {u"\\C:\\d\\f.txt\\::$data", -1, 0, nullptr, u"C:\\d\\f.txt"},
        {u"\\C:\\d\\f.txt\\:s:$DATA", -1, 0, u"C:\\d\\f.txt:s", u"C:\\d\\f.txt"},
        // A stream that is already gone is gone.
        {u"\\C:\\d\\f.txt\\:missing:$DATA", -1, 0, nullptr, u"C:\\d\\f.txt:s"},
        {u"\\C:\\d\\gone.txt\\:s:$DATA", -1, 0, nullptr, u"C:\\d\\f.txt"},
        // A stream that cannot be deleted reports why.
        {u"\\C:\\d\\ro.txt\\:s:$DATA", FALSE, ERROR_ACCESS_DENIED, nullptr, u"C:\\d\\ro.txt:s"},
        // The special streams go with their file: nothing is deleted through them.
        {u"\\C:\\d\\f.txt\\::$EA_DATA", -1, 0, nullptr, u"C:\\d\\f.txt:s"},
        {u"\\C:\\d\\f.txt", -1, 0, u"C:\\d\\f.txt", u"C:\\d"},
        {u"\\C:\\d\\ro.txt", FALSE, ERROR_ACCESS_DENIED, nullptr, u"C:\\d\\ro.txt"},
        {u"\\C:\\d\\empty", -1, 0, u"C:\\d\\empty", u"C:\\d"},
        {u"\\C:\\d\\full", FALSE, ERROR_DIR_NOT_EMPTY, nullptr, u"C:\\d\\full\\x.txt"},
        {u"\\C:", FALSE, ERROR_ACCESS_DENIED, nullptr, u"C:\\d"},
    };
    for (const auto& row : rows) {
        winsim::AddFile(u"C:\\d\\f.txt", "data");
        winsim::AddStream(u"C:\\d\\f.txt", u"s", "stream");
        winsim::AddFile(u"C:\\d\\ro.txt", "x", FILE_ATTRIBUTE_READONLY);
        winsim::AddStream(u"C:\\d\\ro.txt", u"s", "stream");
        winsim::AddDirectory(u"C:\\d\\empty");
        winsim::AddFile(u"C:\\d\\full\\x.txt", "x");
        SCOPED_TRACE(U8(row.remote));
        SetLastError(0xdeadbeef);
        BOOL result = Delete(row.remote);
        EXPECT_EQ(result, row.result);
        if (result == FALSE) {
            EXPECT_EQ(GetLastError(), row.error);
        }
        if (row.gone) {
            EXPECT_FALSE(winsim::Exists(row.gone));
        }
        if (row.stays) {
            EXPECT_TRUE(winsim::Exists(row.stays));
        }
        EXPECT_EQ(winsim::Contents(u"C:\\d\\f.txt").value_or("data"), "data");
    }

    // Windows reads "f.txt::" as the file itself: no delete may reach the
    // system through a special entry, whatever it is called.
    for (const char16_t* entry : {u"::$SECURITY_DESCRIPTOR", u"::$EA_DATA", u"::$OBJECT_ID", u"::$REPARSE_DATA",
                                  u"::$SPARSE_BLOCK", u"::$ALTERNATE_DATA", u"::$LINK", u"::$PROPERTY_DATA", u"::",
                                  u"::$security_descriptor", u"::$UNKNOWN"}) {
        std::u16string remote = std::u16string(u"\\C:\\d\\f.txt\\") + entry;
        winsim::ClearCallLog();
        SetLastError(0xdeadbeef);
        EXPECT_EQ(Delete(remote.c_str()), -1) << U8(entry);
        EXPECT_EQ(winsim::CountCalls("DeleteFileW") + winsim::CountCalls("RemoveDirectoryW"), 0u) << U8(entry);
        EXPECT_EQ(winsim::Contents(u"C:\\d\\f.txt:s"), "stream") << U8(entry);
    }
}

TEST_F(DeleteRemoveCreate, RemoveDirOnStreamsAndFiles)
{
    winsim::AddFile(u"C:\\d\\f.txt", "data");
    winsim::AddStream(u"C:\\d\\f.txt", u"s", "stream");
    winsim::AddFile(u"C:\\d\\ro.txt", "x", FILE_ATTRIBUTE_READONLY);

    EXPECT_EQ(Remove(u"\\C:\\d\\f.txt\\:s:$DATA"), -1);
    EXPECT_TRUE(winsim::Exists(u"C:\\d\\f.txt:s"));

    EXPECT_EQ(Remove(u"\\C:\\d\\f.txt"), -1);
    EXPECT_FALSE(winsim::Exists(u"C:\\d\\f.txt"));

    SetLastError(0xdeadbeef);
    EXPECT_EQ(Remove(u"\\C:\\d\\ro.txt"), FALSE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(winsim::Exists(u"C:\\d\\ro.txt"));
    EXPECT_EQ(Remove(u"\\"), FALSE);
}

TEST_F(DeleteRemoveCreate, RemoveDirDeletesTreesWithProtectedEntries)
{
    winsim::AddFile(u"C:\\t\\ro.txt", "x", FILE_ATTRIBUTE_READONLY);
    winsim::AddFile(u"C:\\t\\hs.txt", "x", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    winsim::AddStream(u"C:\\t\\hs.txt", u"s", "stream");
    winsim::AddFile(u"C:\\t\\sub\\deeper\\f.txt", "x", FILE_ATTRIBUTE_READONLY);
    winsim::SetAttributes(u"C:\\t\\sub", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    winsim::AddDirectory(u"C:\\t\\emptysub");
    EXPECT_EQ(Remove(u"\\C:\\t"), -1);
    EXPECT_FALSE(winsim::Exists(u"C:\\t"));
    EXPECT_TRUE(winsim::Exists(u"C:\\plugins"));
}

TEST_F(DeleteRemoveCreate, RemoveDirLeavesWhatCannotBeDeletedAndItsParents)
{
    winsim::AddFile(u"C:\\t\\a.txt", "x");
    winsim::AddFile(u"C:\\t\\sub\\locked.txt", "x");
    winsim::AddFile(u"C:\\t\\sub\\other.txt", "x");
    winsim::AddFile(u"C:\\t\\z\\f.txt", "x");
    HANDLE h = CreateFileW(u"C:\\t\\sub\\locked.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Remove(u"\\C:\\t"), FALSE);
    CloseHandle(h);
    EXPECT_TRUE(winsim::Exists(u"C:\\t\\sub\\locked.txt"));
    for (const char16_t* gone : {u"C:\\t\\a.txt", u"C:\\t\\sub\\other.txt", u"C:\\t\\z"})
        EXPECT_FALSE(winsim::Exists(gone)) << U8(gone);
}

// A drive entry is one keystroke away from a whole volume: it is never emptied.
TEST_F(DeleteRemoveCreate, RemoveDirNeverEmptiesAVolume)
{
    winsim::AddVolume(u'E');
    winsim::AddFile(u"E:\\f.txt", "x");
    winsim::AddFile(u"E:\\dir\\g.txt", "x");
    for (const char16_t* remote : {u"\\E:", u"\\E:\\", u"\\E:\\dir\\..", u"\\E:\\.", u"\\E:\\dir\\..\\"}) {
        SCOPED_TRACE(U8(remote));
        winsim::ClearCallLog();
        SetLastError(0xdeadbeef);
        EXPECT_EQ(Remove(remote), FALSE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        EXPECT_TRUE(winsim::Exists(u"E:\\f.txt"));
        EXPECT_TRUE(winsim::Exists(u"E:\\dir\\g.txt"));
        EXPECT_EQ(winsim::CountCalls("SetFileAttributesW"), 0u);
    }
}

// Removing a tree never reaches through a junction into another directory.
TEST_F(DeleteRemoveCreate, RemoveDirUnlinksJunctionsWithoutEmptyingTheirTargets)
{
    winsim::AddFile(u"C:\\keep\\precious.txt", "x", FILE_ATTRIBUTE_READONLY);
    winsim::AddFile(u"C:\\t\\f.txt", "x");
    winsim::AddJunction(u"C:\\t\\link", u"C:\\keep");
    EXPECT_EQ(Remove(u"\\C:\\t"), -1);
    EXPECT_FALSE(winsim::Exists(u"C:\\t"));
    EXPECT_TRUE(winsim::Exists(u"C:\\keep\\precious.txt"));
    EXPECT_EQ(winsim::Attributes(u"C:\\keep\\precious.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));

    // The link itself as the entry removed.
    winsim::AddJunction(u"C:\\link2", u"C:\\keep");
    EXPECT_EQ(Remove(u"\\C:\\link2"), -1);
    EXPECT_FALSE(winsim::Exists(u"C:\\link2"));
    EXPECT_TRUE(winsim::Exists(u"C:\\keep\\precious.txt"));
}

TEST_F(DeleteRemoveCreate, MkDirCreatesMissingParents)
{
    winsim::AddDirectory(u"C:\\a");
    winsim::AddFile(u"C:\\d\\f.txt", "x");
    struct Row {
        const char16_t* path;
        BOOL result;
        const char16_t* created;
        std::size_t createCalls;
        bool message;
    };
    const Row rows[] = {
        {u"\\C:\\a\\b\\c", -1, u"C:\\a\\b\\c", 2, false},
        {u"\\C:\\a\\b\\c", -1, u"C:\\a\\b\\c", 0, false},
        {u"\\C:\\a\\x\\", -1, u"C:\\a\\x", 1, false},
        {u"\\X:", -1, nullptr, 0, false},
        {u"\\C:", -1, nullptr, 0, false},
        {u"\\newdir", FALSE, nullptr, 0, false},
        {u"\\C:\\d\\f.txt\\new", FALSE, nullptr, 0, true},
        {u"\\C:\\d\\f.txt", FALSE, nullptr, 1, false},
        {u"\\Q:\\dir", FALSE, nullptr, 1, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(U8(row.path));
        winsim::ClearCallLog();
        Host().messages.clear();
        EXPECT_EQ(MkDir(row.path), row.result);
        if (row.created) {
            EXPECT_EQ(winsim::Attributes(row.created) & FILE_ATTRIBUTE_DIRECTORY,
                      static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
        }
        EXPECT_EQ(winsim::CountCalls("CreateDirectoryW"), row.createCalls);
        if (row.message) {
            ASSERT_EQ(Host().messages.size(), 1u);
            EXPECT_EQ(U8(Host().messages[0]), "You cann't create directories inside files.");
        } else {
            EXPECT_TRUE(Host().messages.empty());
        }
    }
    EXPECT_FALSE(winsim::Exists(u"C:\\d\\f.txt\\new"));
}

// Names Windows' own rules refuse would make directories and files that
// Explorer cannot open or delete (the long form skips those rules).
TEST_F(DeleteRemoveCreate, NamesWindowsRefusesAreRefusedForNewEntries)
{
    winsim::AddVolume(u'D');
    winsim::AddFile(u"D:\\in.txt", "local");
    CreateDirectoryW(u"\\\\?\\C:\\odd.", nullptr);  // made by another program, through the long form
    const struct {
        const char16_t* remote;
        bool made;
        const char16_t* entry;  // through the long form
    } rows[] = {
        {u"\\C:\\name.", false, u"\\\\?\\C:\\name."},
        {u"\\C:\\trail ", false, u"\\\\?\\C:\\trail "},
        {u"\\C:\\CON", false, u"\\\\?\\C:\\CON"},
        {u"\\C:\\new\\nul.txt", false, u"\\\\?\\C:\\new"},
        {u"\\C:\\lpt9.log", false, u"\\\\?\\C:\\lpt9.log"},
        {u"\\C:\\fine.d", true, u"\\\\?\\C:\\fine.d"},
        {u"\\C:\\odd.\\inside", true, u"\\\\?\\C:\\odd.\\inside"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(U8(row.remote));
        Host().messages.clear();
        EXPECT_EQ(MkDir(row.remote) != FALSE, row.made);
        EXPECT_EQ(winsim::Exists(row.entry), row.made);
        EXPECT_EQ(Host().messages.size(), row.made ? 0u : 1u);
        // The same name for a file copied in (into a folder that exists).
        if (!row.made && std::u16string(row.remote).rfind(u'\\') == 3) {
            std::vector<WCHAR> buffer(260, 0);
            std::u16string r = row.remote;
            std::copy(r.begin(), r.end(), buffer.begin());
            std::u16string local = u"D:\\in.txt";
            EXPECT_EQ(FsPutFileW(local.data(), buffer.data(), 0), FS_FILE_WRITEERROR);
            EXPECT_FALSE(winsim::Exists(row.entry));
        }
    }
}

TEST_F(DeleteRemoveCreate, MkDirStopsAtTheFirstDirectoryThatCannotBeCreated)
{
    winsim::AddDirectory(u"C:\\a");
    winsim::FailCall("CreateDirectoryW", ERROR_ACCESS_DENIED, 2);
    EXPECT_EQ(MkDir(u"\\C:\\a\\b\\c\\d"), FALSE);
    EXPECT_TRUE(winsim::Exists(u"C:\\a\\b"));
    EXPECT_FALSE(winsim::Exists(u"C:\\a\\b\\c"));
    EXPECT_EQ(winsim::CountCalls("CreateDirectoryW"), 2u);
}

TEST_F(DeleteRemoveCreate, HugeAndOddPathsFailQuietly)
{
    // Components of 200 characters: the directories up to the system's limit
    // of 32,767 characters are created, the rest cannot be.
    std::u16string huge = u"\\C:";
    while (huge.size() < 40000)
        huge += u"\\" + std::u16string(200, u'x');
    EXPECT_EQ(MkDir(huge.c_str()), FALSE);
    EXPECT_EQ(Remove(huge.c_str()), FALSE);
    EXPECT_EQ(Delete(huge.c_str()), FALSE);
    for (const char16_t* odd : {u"", u"\\", u":", u"\\:", u"\\C:\\::", u"\\C:\\a:b:c:d", u"::$DATA"}) {
        SCOPED_TRACE(U8(odd));
        Delete(odd);
        Remove(odd);
        MkDir(odd);
    }
    EXPECT_EQ(Delete(nullptr), FALSE);
    EXPECT_EQ(Remove(nullptr), FALSE);
    EXPECT_EQ(MkDir(nullptr), FALSE);
    EXPECT_TRUE(winsim::Exists(u"C:\\plugins"));
}

TEST_F(DeleteRemoveCreate, EveryExportIsInertBeforeInitialisation)
{
    OnProcessDetach();
    OnProcessAttach(winsim::PluginModule());
    winsim::AddFile(u"C:\\d\\f.txt", "x");
    winsim::ClearCallLog();
    EXPECT_EQ(Delete(u"\\C:\\d\\f.txt"), -1);
    EXPECT_EQ(Remove(u"\\C:\\d"), -1);
    EXPECT_EQ(MkDir(u"\\C:\\new"), -1);
    EXPECT_TRUE(winsim::CallLog().empty());
    EXPECT_TRUE(winsim::Exists(u"C:\\d\\f.txt"));
}

TEST(DeleteTreeHelpers, ListDirectoryEntriesFiltersByMask)
{
    winsim::Reset();
    winsim::AddVolume(u'C');
    winsim::AddFile(u"C:\\d\\a.txt");
    winsim::AddFile(u"C:\\d\\b.log", "", FILE_ATTRIBUTE_HIDDEN);
    winsim::AddFile(u"C:\\d\\c.bin");
    winsim::AddDirectory(u"C:\\d\\sub.txt");
    std::vector<WString> all, some, withDir, none;
    EXPECT_TRUE(ListDirectoryEntries(u"C:\\d\\*.*", 0x1FF, all, false));
    EXPECT_EQ(all, (std::vector<WString>{u"a.txt", u"b.log", u"c.bin", u"sub.txt"}));
    EXPECT_TRUE(ListDirectoryEntries(u"C:\\d\\*.txt;*.LOG", 0x1FF, some, false));
    EXPECT_EQ(some, (std::vector<WString>{u"a.txt", u"b.log", u"sub.txt"}));
    EXPECT_TRUE(ListDirectoryEntries(u"C:\\d\\a?txt", 0x1FF, withDir, true));
    EXPECT_EQ(withDir, (std::vector<WString>{u"C:\\d\\a.txt"}));
    // Without the hidden bit in the filter the hidden file is left out.
    std::vector<WString> visible;
    EXPECT_TRUE(ListDirectoryEntries(u"C:\\d\\*", 0x1FF & ~FILE_ATTRIBUTE_HIDDEN, visible, false));
    EXPECT_EQ(visible, (std::vector<WString>{u"a.txt", u"c.bin", u"sub.txt"}));
    EXPECT_FALSE(ListDirectoryEntries(u"C:\\missing\\*.*", 0x1FF, none, false));
    EXPECT_TRUE(none.empty());
    EXPECT_TRUE(winsim::Leaks().empty());
}

TEST(DeleteTreeHelpers, DeleteDirectoryTreeAsksAndStops)
{
    winsim::Reset();
    winsim::AddVolume(u'C');
    winsim::AddFile(u"C:\\t\\a.txt");
    winsim::AddFile(u"C:\\t\\b.txt");
    winsim::AddFile(u"C:\\t\\c.txt");
    std::vector<WString> asked;
    auto keepB = [&](const WString& full, DWORD) {
        asked.push_back(full);
        return full != u"C:\\t\\b.txt";
    };
    EXPECT_FALSE(DeleteDirectoryTree(u"C:\\t\\", false, keepB));
    EXPECT_EQ(asked.size(), 3u);
    EXPECT_TRUE(winsim::Exists(u"C:\\t\\b.txt"));
    EXPECT_FALSE(winsim::Exists(u"C:\\t\\c.txt"));

    winsim::AddFile(u"C:\\t\\c.txt");
    asked.clear();
    EXPECT_FALSE(DeleteDirectoryTree(u"C:\\t", true, keepB));
    EXPECT_EQ(asked.size(), 1u) << "the walk stops at the first entry kept";
    EXPECT_TRUE(winsim::Exists(u"C:\\t\\c.txt"));
    EXPECT_FALSE(DeleteDirectoryTree(u"", false, nullptr));
}

// "E:" alone is the current directory of E:; the tree helper takes it as the
// root and never touches the current directory through it.
TEST(DeleteTreeHelpers, BareDriveNeverReachesTheCurrentDirectory)
{
    winsim::Reset();
    winsim::AddVolume(u'C');
    winsim::AddVolume(u'E');
    winsim::AddFile(u"E:\\f.txt");
    winsim::AddDirectory(u"E:\\work\\inner");
    winsim::SetCurrentDirectory(u"E:\\work");
    EXPECT_FALSE(DeleteDirectoryTree(u"E:", false, nullptr));
    EXPECT_FALSE(winsim::Exists(u"E:\\f.txt"));
    EXPECT_TRUE(winsim::Exists(u"E:\\work")) << "the current directory is held open";
    for (const auto& call : winsim::CallLog())
        if (call.function == "SetFileAttributesW" || call.function == "RemoveDirectoryW") {
            EXPECT_NE(U8(call.argument), "E:") << call.function;
        }
    EXPECT_TRUE(winsim::Leaks().empty());
}

TEST(DeleteTreeHelpers, NamesVolumeRootAfterNormalising)
{
    const std::pair<const char16_t*, bool> rows[] = {
        {u"C:", true},          {u"C:\\", true},     {u"c:\\.", true},      {u"C:\\dir\\..", true},
        {u"C:\\a\\b\\..\\..", true}, {u"C:\\..", true}, {u"C:\\dir", false}, {u"C:\\dir\\.", false},
        {u"C:\\...\\", true},   {u"", false},        {u"\\", false},        {u"dir", false},
    };
    for (const auto& [path, root] : rows)
        EXPECT_EQ(NamesVolumeRoot(path), root) << U8(path);
}

}  // namespace
