// FsGetFileW and FsPutFileW: the names they derive, the host's buffers, moves,
// existing targets, the gate and bad input.
#include "host_fixture.h"
#include "listing/listing.h"
#include "fileops/delete_create_exports.h"
#include "transfer/download.h"
#include "transfer/system_error.h"
#include "transfer/transfer_exports.h"
#include "transfer/upload.h"

namespace {

TEST(DeriveLocalTarget, NamesTheLocalFileAfterTheEntryWithANameWindowsCanHold)
{
    struct Row {
        const char16_t* remote;
        const char16_t* local;
        const char16_t* target;
    };
    const Row rows[] = {
        {u"\\C:\\dir\\file.txt\\:name:$DATA", u"D:\\out\\anything", u"D:\\out\\name"},
        {u"\\C:\\dir\\file.txt\\::$DATA", u"D:\\out\\anything", u"D:\\out\\file.txt"},
        {u"\\C:\\dir\\file.txt\\::$EA_DATA", u"D:\\out\\anything", u"D:\\out\\anything"},
        {u"\\C:\\dir\\file.txt\\::", u"D:\\out\\anything", u"D:\\out\\anything"},
        // Hosts that keep the colons, write "_" or "%3A": the name comes from
        // the entry, and the copy never lands in a stream ("x:y" would be a
        // stream of the file x).
        {u"\\C:\\dir\\file.txt\\:name:$DATA", u"D:\\out\\x:y", u"D:\\out\\name"},
        {u"\\C:\\dir\\file.txt\\:name:$DATA", u"D:\\out\\:name:$DATA", u"D:\\out\\name"},
        {u"\\C:\\dir\\file.txt\\:name:$DATA", u"D:\\out\\_name_$DATA", u"D:\\out\\name"},
        {u"\\C:\\dir\\file.txt\\::$DATA", u"D:\\out\\%3A%3A$DATA", u"D:\\out\\file.txt"},
        {u"\\C:\\dir\\file.txt\\::$EA_DATA", u"D:\\out\\::$EA_DATA", u"D:\\out\\__$EA_DATA"},
        {u"\\C:\\dir\\file.txt\\::$EA_DATA", u"D:\\out\\%3A%3A$EA_DATA", u"D:\\out\\%3A%3A$EA_DATA"},
        // Stream names may hold what file names may not.
        {u"\\C:\\f\\:a*b?c|d<e>f\"g:$DATA", u"D:\\out\\p", u"D:\\out\\a_b_c_d_e_f_g"},
        {u"\\C:\\f\\:tab\tbell\a:$DATA", u"D:\\out\\p", u"D:\\out\\tab_bell_"},
        {u"\\C:\\f\\:CON:$DATA", u"D:\\out\\p", u"D:\\out\\_CON"},
        {u"\\C:\\f\\:nul.txt:$DATA", u"D:\\out\\p", u"D:\\out\\_nul.txt"},
        {u"\\C:\\f\\:Com7:$DATA", u"D:\\out\\p", u"D:\\out\\_Com7"},
        {u"\\C:\\f\\:COM0:$DATA", u"D:\\out\\p", u"D:\\out\\COM0"},
        {u"\\C:\\f\\:CONSOLE:$DATA", u"D:\\out\\p", u"D:\\out\\CONSOLE"},
        {u"\\C:\\f\\:x.:$DATA", u"D:\\out\\p", u"D:\\out\\x_"},
        {u"\\C:\\f\\:x. .:$DATA", u"D:\\out\\p", u"D:\\out\\x___"},
        // "::$DATA" only in exactly that case names the file.
        {u"\\C:\\dir\\file.txt\\::$data", u"D:\\out\\anything", u"D:\\out\\anything"},
        // ":name" (how a name too long for the record is listed) is the same
        // stream: the local file is named after it, never the folder itself.
        {u"\\C:\\dir\\file.txt\\:name", u"D:\\out\\anything", u"D:\\out\\name"},
        {u"\\C:\\dir", u"D:\\out\\anything", u"D:\\out\\anything"},
        {u"\\", u"D:\\out\\anything", u"D:\\out\\anything"},
        {u"", u"", u""},
        {u"\\C:\\a:b:c:d", u"x", u"x"},
        {u"\\C:\\f\\:n:$DATA", u"plain", u"n"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(U8(DeriveLocalTarget(row.remote, row.local)), U8(row.target)) << U8(row.remote) << " <- " << U8(row.local);
}

class TransferTest : public PluginTest {
protected:
    void SetUp() override
    {
        PluginTest::SetUp();
        winsim::AddVolume(u'D');
        winsim::AddDirectory(u"D:\\out");
        winsim::AddFile(u"C:\\dir\\file.txt", "file data");
        winsim::AddStream(u"C:\\dir\\file.txt", u"name", "stream data");
        ASSERT_EQ(InitPlugin(), 0);
    }

    // The host's LocalName buffer: 1,023 characters, then guard characters
    // that must survive.
    int Get(const char16_t* remote, std::u16string local, int flags = 0)
    {
        buffer_.assign(1023 + kGuard, u'#');
        std::copy(local.begin(), local.end(), buffer_.begin());
        buffer_[local.size()] = 0;
        int r = FsGetFileW(const_cast<WCHAR*>(remote), buffer_.data(), flags, nullptr);
        for (std::size_t i = 1023; i < buffer_.size(); ++i)
            EXPECT_EQ(buffer_[i], u'#') << "written beyond the host's buffer at " << i;
        return r;
    }
    std::u16string LocalName() const { return std::u16string(buffer_.data()); }

    // The host's RemoteName buffer: 260 characters and guards.
    int Put(const char16_t* local, std::u16string remote, int flags = 0)
    {
        EXPECT_LT(remote.size(), 260u) << "the host's path fits its own buffer";
        remote_.assign(260 + kGuard, u'#');
        std::copy(remote.begin(), remote.end(), remote_.begin());
        remote_[remote.size()] = 0;
        int r = FsPutFileW(const_cast<WCHAR*>(local), remote_.data(), flags);
        for (std::size_t i = 260; i < remote_.size(); ++i)
            EXPECT_EQ(remote_[i], u'#') << "written beyond the host's buffer at " << i;
        return r;
    }
    std::u16string RemoteName() const { return std::u16string(remote_.data()); }

    static constexpr std::size_t kGuard = 8;
    std::vector<WCHAR> buffer_;
    std::vector<WCHAR> remote_;
};

TEST_F(TransferTest, DownloadsANamedStreamUnderItsOwnName)
{
    EXPECT_EQ(Get(u"\\C:\\dir\\file.txt\\:name:$DATA", u"D:\\out\\anything"), FS_FILE_OK);
    EXPECT_EQ(U8(LocalName()), "D:\\out\\name");
    EXPECT_EQ(winsim::Contents(u"D:\\out\\name"), "stream data");
    ASSERT_EQ(Host().progress.size(), 3u);
    EXPECT_EQ(U8(Host().progress[0].source), "\\C:\\dir\\file.txt\\:name:$DATA");
    EXPECT_EQ(U8(Host().progress[0].target), "D:\\out\\name");
    // The stream stays without FS_COPYFLAGS_MOVE.
    EXPECT_EQ(winsim::Contents(u"C:\\dir\\file.txt:name"), "stream data");
    bool openedTheStream = false;
    for (const auto& c : winsim::CallLog())
        openedTheStream |= c.function == "CreateFileW" && U8(c.argument) == "\\\\?\\C:\\dir\\file.txt:name:$DATA";
    EXPECT_TRUE(openedTheStream);
}

// An encrypted file's content is never copied out in clear text: the copy is
// encrypted, or it is not made and the user is told why.
TEST_F(TransferTest, AnEncryptedFilesStreamsAreCopiedOutEncryptedOrNotAtAll)
{
    winsim::AddVolume(u'E', u"FAT32");
    winsim::AddDirectory(u"E:\\out");
    winsim::SetAttributes(u"C:\\dir\\file.txt", FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_ENCRYPTED);
    winsim::AddFile(u"D:\\out\\file.txt", "an earlier copy");
    const struct {
        const char16_t* remote;
        const char16_t* local;
        int result;
        const char16_t* made;  // the copy, encrypted; null: none
    } rows[] = {
        {u"\\C:\\dir\\file.txt\\:name:$DATA", u"D:\\out\\x", FS_FILE_OK, u"D:\\out\\name"},
        {u"\\C:\\dir\\file.txt\\::$DATA", u"D:\\out\\x", FS_FILE_OK, u"D:\\out\\file.txt"},
        {u"\\C:\\dir\\file.txt\\:name:$DATA", u"E:\\out\\x", FS_FILE_WRITEERROR, nullptr},
        {u"\\C:\\dir\\file.txt\\::$DATA", u"E:\\out\\x", FS_FILE_WRITEERROR, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(U8(row.remote) + " to " + U8(row.local));
        Host().messages.clear();
        EXPECT_EQ(Get(row.remote, row.local, FS_COPYFLAGS_OVERWRITE), row.result);
        if (row.made) {
            EXPECT_TRUE(winsim::Attributes(row.made) & FILE_ATTRIBUTE_ENCRYPTED) << "a clear-text copy";
            EXPECT_TRUE(Host().messages.empty());
        } else {
            EXPECT_FALSE(winsim::Exists(u"E:\\out\\name"));
            EXPECT_FALSE(winsim::Exists(u"E:\\out\\file.txt"));
            ASSERT_EQ(Host().messages.size(), 1u);
            EXPECT_EQ(U8(Host().messages[0]), "Error writing file or stream.\r\nThe specified file could not be encrypted");
        }
    }
}

// What the listing showed can be copied: the stream is read as the listing
// read it (backup semantics, shared with writers).
TEST_F(TransferTest, CopyOutReadsWhatTheListingShowed)
{
    winsim::AddFile(u"C:\\dir\\log.txt", "log lines");
    winsim::AddStream(u"C:\\dir\\log.txt", u"s", "log stream");
    winsim::AddFile(u"C:\\dir\\protected.txt", "protected");
    winsim::AddStream(u"C:\\dir\\protected.txt", u"p", "protected stream");
    winsim::DenyAccess(u"C:\\dir\\protected.txt");
    // A program that writes its log and shares reading and writing.
    HANDLE writer = CreateFileW(u"C:\\dir\\log.txt", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    HANDLE streamWriter = CreateFileW(u"C:\\dir\\log.txt:s", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(streamWriter, INVALID_HANDLE_VALUE);
    const struct {
        const char16_t* remote;
        const char16_t* local;
        const char* bytes;
    } rows[] = {
        {u"\\C:\\dir\\log.txt\\::$DATA", u"D:\\out\\log.txt", "log lines"},
        {u"\\C:\\dir\\log.txt\\:s:$DATA", u"D:\\out\\s", "log stream"},
        // An elevated user (the backup privilege) past the file's ACL.
        {u"\\C:\\dir\\protected.txt\\::$DATA", u"D:\\out\\protected.txt", "protected"},
        {u"\\C:\\dir\\protected.txt\\:p:$DATA", u"D:\\out\\x", "protected stream"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(U8(row.remote));
        EXPECT_EQ(Get(row.remote, row.local), FS_FILE_OK);
        EXPECT_EQ(winsim::Contents(LocalName()), row.bytes);
    }
    CloseHandle(streamWriter);
    CloseHandle(writer);
}

TEST_F(TransferTest, DownloadOfAnExistingTarget)
{
    winsim::AddFile(u"D:\\out\\name", "old");
    struct Row {
        int flags;
        int result;
        const char* content;
    };
    const Row rows[] = {
        {0, FS_FILE_EXISTS, "old"},
        {FS_COPYFLAGS_RESUME, FS_FILE_EXISTS, "old"},
        {FS_COPYFLAGS_EXISTS_SAMECASE | 0x7FFF0000, FS_FILE_EXISTS, "old"},
        {FS_COPYFLAGS_OVERWRITE | 0x7FFF0000, FS_FILE_OK, "stream data"},
    };
    for (const auto& row : rows) {
        Host().progress.clear();
        EXPECT_EQ(Get(u"\\C:\\dir\\file.txt\\:name:$DATA", u"D:\\out\\x", row.flags), row.result) << row.flags;
        EXPECT_EQ(U8(LocalName()), "D:\\out\\name");
        EXPECT_EQ(winsim::Contents(u"D:\\out\\name"), row.content);
        if (row.result == FS_FILE_EXISTS) {
            EXPECT_TRUE(Host().progress.empty());
        }
    }
}

TEST_F(TransferTest, DownloadWithMoveDeletesTheStreamOrSaysWhyNot)
{
    EXPECT_EQ(Get(u"\\C:\\dir\\file.txt\\:name:$DATA", u"D:\\out\\x", FS_COPYFLAGS_MOVE), FS_FILE_OK);
    EXPECT_FALSE(winsim::Exists(u"C:\\dir\\file.txt:name"));
    EXPECT_TRUE(Host().messages.empty());

    // A stream of a read-only file cannot go: the copy stands, the user is told.
    winsim::AddFile(u"C:\\dir\\ro.txt", "x", FILE_ATTRIBUTE_READONLY);
    winsim::AddStream(u"C:\\dir\\ro.txt", u"keep", "kept");
    EXPECT_EQ(Get(u"\\C:\\dir\\ro.txt\\:keep:$DATA", u"D:\\out\\x", FS_COPYFLAGS_MOVE), FS_FILE_OK);
    EXPECT_EQ(winsim::Contents(u"D:\\out\\keep"), "kept");
    EXPECT_TRUE(winsim::Exists(u"C:\\dir\\ro.txt:keep"));
    ASSERT_EQ(Host().messages.size(), 1u);
    EXPECT_EQ(U8(Host().messages[0]), "Error deleting file or stream.\r\nAccess is denied");

    // "::$DATA" with a move: the file itself is never deleted through it.
    EXPECT_EQ(Get(u"\\C:\\dir\\file.txt\\::$DATA", u"D:\\out\\x", FS_COPYFLAGS_MOVE), FS_FILE_OK);
    EXPECT_EQ(winsim::Contents(u"D:\\out\\file.txt"), "file data");
    EXPECT_TRUE(winsim::Exists(u"C:\\dir\\file.txt"));
}

TEST_F(TransferTest, DownloadAbortsAndMissingStreams)
{
    // An abort at 0: nothing opened, LocalName already rewritten.
    Host().answer = [](const ProgressReport& r) { return r.percent == 0 ? 1 : 0; };
    winsim::ClearCallLog();
    EXPECT_EQ(Get(u"\\C:\\dir\\file.txt\\:name:$DATA", u"D:\\out\\x", FS_COPYFLAGS_MOVE), FS_FILE_USERABORT);
    EXPECT_EQ(U8(LocalName()), "D:\\out\\name");
    EXPECT_FALSE(winsim::Exists(u"D:\\out\\name"));
    EXPECT_EQ(winsim::CountCalls("CreateFileMappingW"), 0u);

    // An abort at 100: the copy stays, the move's delete is not done.
    Host().answer = [](const ProgressReport& r) { return r.percent == 100 ? 1 : 0; };
    EXPECT_EQ(Get(u"\\C:\\dir\\file.txt\\:name:$DATA", u"D:\\out\\x", FS_COPYFLAGS_MOVE), FS_FILE_USERABORT);
    EXPECT_EQ(winsim::Contents(u"D:\\out\\name"), "stream data");
    EXPECT_TRUE(winsim::Exists(u"C:\\dir\\file.txt:name"));
    Host().answer = [](const ProgressReport&) { return 2; };

    // A stream removed since the listing: told, and a failure to the host.
    EXPECT_EQ(Get(u"\\C:\\dir\\file.txt\\:gone:$DATA", u"D:\\out\\x"), FS_FILE_READERROR);
    ASSERT_EQ(Host().messages.size(), 1u);
    EXPECT_EQ(U8(Host().messages[0]),
              "Error reading file or stream.\r\nThe system cannot find the file specified");
    EXPECT_FALSE(winsim::Exists(u"D:\\out\\gone"));

    // A derived target that is a directory cannot be created.
    winsim::AddDirectory(u"D:\\out\\name2");
    winsim::AddStream(u"C:\\dir\\file.txt", u"name2", "x");
    EXPECT_EQ(Get(u"\\C:\\dir\\file.txt\\:name2:$DATA", u"D:\\out\\x"), FS_FILE_WRITEERROR);
    EXPECT_EQ(Host().messages.size(), 1u);
}

// NTFS allows stream names of 255 characters: ":name:$DATA" then does not fit
// the host's record of MAX_PATH characters. Such a stream is listed as
// ":name", which opens the same stream: it can be copied out and deleted.
TEST_F(TransferTest, StreamsWithTheLongestNamesStayReachable)
{
    for (std::size_t length : {252u, 253u, 255u}) {
        SCOPED_TRACE(length);
        const std::u16string name(length, u'n');
        winsim::AddFile(u"C:\\dir\\long.txt", "file");
        winsim::AddStream(u"C:\\dir\\long.txt", name, "long stream");
        std::u16string folder = u"\\C:\\dir\\long.txt";
        WIN32_FIND_DATAW data{};
        HANDLE h = FsFindFirstW(folder.data(), &data);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        std::u16string listed;
        do {
            if (data.cFileName[0] == u':' && data.cFileName[1] == u'n')
                listed = data.cFileName;
        } while (FsFindNextW(h, &data));
        FsFindClose(h);
        const std::u16string full = u":" + name + u":$DATA";
        EXPECT_EQ(U8(listed), U8(full.size() < MAX_PATH ? full : u":" + name)) << "the entry fits the record whole";

        const std::u16string entry = folder + u"\\" + listed;
        EXPECT_EQ(Get(entry.c_str(), u"D:\\out\\p"), FS_FILE_OK);
        EXPECT_EQ(winsim::Contents(u"D:\\out\\" + name), "long stream");
        std::u16string del = entry;
        EXPECT_EQ(FsDeleteFileW(del.data()), -1);
        EXPECT_FALSE(winsim::Exists(u"C:\\dir\\long.txt:" + name));
        EXPECT_EQ(winsim::Contents(u"C:\\dir\\long.txt"), "file");
    }
}

TEST_F(TransferTest, LongLocalNamesAreCutForTheHostButCopiedWhole)
{
    // The host proposes at most 1,022 characters; a stream's name of 255
    // characters can take the derived name beyond that.
    const std::u16string name(255, u'n');
    winsim::AddStream(u"C:\\dir\\file.txt", name, "long");
    const std::u16string remote = u"\\C:\\dir\\file.txt\\:" + name + u":$DATA";
    for (std::size_t total : {1022u, 1023u, 1276u}) {
        SCOPED_TRACE(total);
        std::u16string folder = u"D:\\out\\" + std::u16string(total - 256 - 7, u'f');
        winsim::AddDirectory(folder);
        EXPECT_EQ(Get(remote.c_str(), folder + u"\\p"), FS_FILE_OK);
        std::u16string expected = folder + u"\\" + name;
        ASSERT_EQ(expected.size(), total);
        EXPECT_EQ(LocalName(), expected.substr(0, 1022));
        EXPECT_EQ(winsim::Contents(expected), "long");
    }
}

TEST_F(TransferTest, DownloadOfOddRemoteNames)
{
    for (const char16_t* odd : {u"\\", u"", u"\\C:", u"\\C:\\dir\\file.txt\\:", u"\\C:\\dir\\file.txt\\:::",
                                u"\\C:\\dir\\file.txt\\:a:b:c:$DATA", u"\\Q:\\x\\::$DATA"}) {
        SCOPED_TRACE(U8(odd));
        Host().messages.clear();
        int r = Get(odd, u"D:\\out\\proposal");
        EXPECT_TRUE(r == FS_FILE_OK || r == FS_FILE_READERROR || r == FS_FILE_WRITEERROR) << r;
    }
    EXPECT_EQ(FsGetFileW(nullptr, nullptr, 0, nullptr), FS_FILE_READERROR);
    EXPECT_EQ(winsim::Contents(u"C:\\dir\\file.txt"), "file data");
}

TEST_F(TransferTest, PathsOfFortyThousandCharacters)
{
    std::u16string huge = u"\\C:";
    while (huge.size() < 40000)
        huge += u"\\" + std::u16string(200, u'x');
    const std::u16string stream = huge + u"\\:s:$DATA";
    int r = Get(stream.c_str(), u"D:\\out\\p");
    EXPECT_TRUE(r == FS_FILE_OK || r == FS_FILE_READERROR) << r;
    EXPECT_EQ(U8(LocalName()), "D:\\out\\s");

    winsim::AddFile(u"D:\\in\\n.txt", "n");
    EXPECT_EQ(Put(huge.c_str(), u"\\C:\\dir\\n.txt"), FS_FILE_NOTFOUND);
    std::vector<WCHAR> remote(huge.begin(), huge.end());
    remote.push_back(0);
    EXPECT_EQ(FsPutFileW(const_cast<WCHAR*>(u"D:\\in\\n.txt"), remote.data(), 0), FS_FILE_NOTFOUND);
    EXPECT_TRUE(std::u16string(remote.data()) == huge);
}

TEST_F(TransferTest, TheGateKeepsBothTransfersInert)
{
    OnProcessDetach();
    OnProcessAttach(winsim::PluginModule());
    winsim::ClearCallLog();
    EXPECT_EQ(Get(u"\\C:\\dir\\file.txt\\:name:$DATA", u"D:\\out\\x"), FS_FILE_OK);
    EXPECT_EQ(U8(LocalName()), "D:\\out\\x");
    EXPECT_EQ(Put(u"D:\\out\\x", u"\\C:\\dir\\x"), FS_FILE_OK);
    EXPECT_TRUE(winsim::CallLog().empty());
    EXPECT_TRUE(Host().progress.empty());
}

TEST_F(TransferTest, ResolveUploadTargetAsTheHostNamesIt)
{
    winsim::AddFile(u"C:\\dir\\a_b_c.txt", "x");
    struct Row {
        const char16_t* remote;
        const char16_t* target;  // null: the receiving folder does not exist
        const char16_t* reported;
    };
    const Row rows[] = {
        {u"\\C:\\notes.txt", u"C:\\notes.txt", u"\\C:\\notes.txt"},
        {u"\\C:\\dir\\notes.txt", u"C:\\dir\\notes.txt", u"\\C:\\dir\\notes.txt"},
        {u"\\C:\\dir\\file.txt\\notes.txt", u"C:\\dir\\file.txt:notes.txt:$DATA",
         u"\\C:\\dir\\file.txt:notes.txt:$DATA"},
        {u"\\C:\\dir\\file.txt\\_name_$DATA", u"C:\\dir\\file.txt:name:$DATA", u"\\C:\\dir\\file.txt:name:$DATA"},
        {u"\\C:\\dir\\file.txt\\:name:$DATA", u"C:\\dir\\file.txt:name:$DATA", u"\\C:\\dir\\file.txt:name:$DATA"},
        {u"\\C:\\dir\\file.txt\\:name", u"C:\\dir\\file.txt:name:$DATA", u"\\C:\\dir\\file.txt:name:$DATA"},
        {u"\\C:\\dir\\file.txt\\::x", u"C:\\dir\\file.txt:x:$DATA", u"\\C:\\dir\\file.txt:x:$DATA"},
        // The file's own data, in any letter case: the file itself.
        {u"\\C:\\dir\\file.txt\\::$DATA", u"C:\\dir\\file.txt", u"\\C:\\dir\\file.txt\\::$DATA"},
        {u"\\C:\\dir\\file.txt\\::$data", u"C:\\dir\\file.txt", u"\\C:\\dir\\file.txt\\::$data"},
        {u"\\C:\\dir\\file.txt\\n:x", u"C:\\dir\\file.txt:n:x", u"\\C:\\dir\\file.txt:n:x"},
        {u"\\C:\\dir\\a_b_c.txt", u"C:\\dir\\a_b_c.txt", u"\\C:\\dir\\a_b_c.txt"},
        {u"\\C:\\dir\\my_file_$1", u"C:\\dir\\my_file_$1", u"\\C:\\dir\\my:file:$1"},
        // A colon in front makes a stream even of a directory.
        {u"\\C:\\dir\\:s", u"C:\\dir:s:$DATA", u"\\C:\\dir:s:$DATA"},
        {u"\\C:\\missing\\notes.txt", nullptr, nullptr},
        {u"\\Q:\\notes.txt", nullptr, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(U8(row.remote));
        std::optional<UploadTarget> t = ResolveUploadTarget(row.remote);
        ASSERT_EQ(t.has_value(), row.target != nullptr);
        if (t) {
            EXPECT_EQ(U8(t->Path), U8(row.target));
            EXPECT_EQ(U8(t->ReportedName), U8(row.reported));
        }
    }
}

TEST_F(TransferTest, UploadsAFileAsAStreamAndAsAFile)
{
    winsim::AddFile(u"D:\\in\\notes.txt", "notes");
    EXPECT_EQ(Put(u"D:\\in\\notes.txt", u"\\C:\\dir\\file.txt\\notes.txt"), FS_FILE_OK);
    EXPECT_EQ(winsim::Contents(u"C:\\dir\\file.txt:notes.txt"), "notes");
    ASSERT_EQ(Host().progress.size(), 3u);
    EXPECT_EQ(U8(Host().progress[1].source), "D:\\in\\notes.txt");
    EXPECT_EQ(U8(Host().progress[1].target), "C:\\dir\\file.txt:notes.txt:$DATA");
    EXPECT_EQ(U8(RemoteName()), "\\C:\\dir\\file.txt\\notes.txt") << "untouched unless the target exists";

    EXPECT_EQ(Put(u"D:\\in\\notes.txt", u"\\C:\\dir\\notes.txt", FS_COPYFLAGS_MOVE), FS_FILE_OK);
    EXPECT_EQ(winsim::Contents(u"C:\\dir\\notes.txt"), "notes");
    EXPECT_FALSE(winsim::Exists(u"D:\\in\\notes.txt"));
}

TEST_F(TransferTest, UploadRefusalsAndExistingTargets)
{
    winsim::AddFile(u"D:\\in\\notes.txt", "notes");
    winsim::AddStream(u"C:\\dir\\file.txt", u"notes.txt", "old");

    // The plugin's root: a message, and the source is not looked at.
    winsim::ClearCallLog();
    EXPECT_EQ(Put(u"D:\\in\\notes.txt", u"\\notes.txt"), FS_FILE_NOTSUPPORTED);
    EXPECT_EQ(Put(u"D:\\in\\notes.txt", u"\\"), FS_FILE_NOTSUPPORTED);
    EXPECT_EQ(Put(u"D:\\in\\notes.txt", u""), FS_FILE_NOTSUPPORTED);
    EXPECT_EQ(winsim::CountCalls("CreateFileW"), 0u);
    ASSERT_EQ(Host().messages.size(), 3u);
    EXPECT_EQ(U8(Host().messages[0]), "Copying to root directory isn't supported.");
    Host().messages.clear();

    EXPECT_EQ(Put(u"D:\\in\\missing.txt", u"\\C:\\dir\\x"), FS_FILE_NOTFOUND);
    EXPECT_EQ(Put(u"D:\\in", u"\\C:\\dir\\x"), FS_FILE_NOTFOUND);
    EXPECT_EQ(Put(u"D:\\in\\notes.txt", u"\\C:\\missing\\notes.txt"), FS_FILE_NOTFOUND);
    EXPECT_TRUE(Host().progress.empty());

    EXPECT_EQ(Put(u"D:\\in\\notes.txt", u"\\C:\\dir\\file.txt\\notes.txt"), FS_FILE_EXISTS);
    EXPECT_EQ(U8(RemoteName()), "\\C:\\dir\\file.txt:notes.txt:$DATA");
    EXPECT_EQ(winsim::Contents(u"C:\\dir\\file.txt:notes.txt"), "old");
    EXPECT_EQ(Put(u"D:\\in\\notes.txt", u"\\C:\\dir\\file.txt\\notes.txt", FS_COPYFLAGS_RESUME), FS_FILE_EXISTS);
    EXPECT_TRUE(Host().progress.empty());
    EXPECT_EQ(Put(u"D:\\in\\notes.txt", u"\\C:\\dir\\file.txt\\notes.txt", FS_COPYFLAGS_OVERWRITE | 0x10000),
              FS_FILE_OK);
    EXPECT_EQ(winsim::Contents(u"C:\\dir\\file.txt:notes.txt"), "notes");
    EXPECT_TRUE(Host().messages.empty());
    EXPECT_EQ(FsPutFileW(nullptr, nullptr, 0), FS_FILE_READERROR);
}

TEST_F(TransferTest, UploadMoveOfASourceThatCannotBeDeleted)
{
    winsim::AddFile(u"D:\\in\\ro.txt", "ro", FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(Put(u"D:\\in\\ro.txt", u"\\C:\\dir\\ro.txt", FS_COPYFLAGS_MOVE), FS_FILE_WRITEERROR);
    EXPECT_EQ(winsim::Contents(u"C:\\dir\\ro.txt"), "ro");
    EXPECT_TRUE(winsim::Exists(u"D:\\in\\ro.txt"));
    ASSERT_EQ(Host().messages.size(), 1u);
    EXPECT_EQ(U8(Host().messages[0]), "Error deleting file or stream.\r\nAccess is denied");

    // An abort at 100 keeps the complete target and the source.
    winsim::AddFile(u"D:\\in\\b.txt", "b");
    Host().answer = [](const ProgressReport& r) { return r.percent == 100 ? 1 : 0; };
    EXPECT_EQ(Put(u"D:\\in\\b.txt", u"\\C:\\dir\\b.txt", FS_COPYFLAGS_MOVE), FS_FILE_USERABORT);
    EXPECT_EQ(winsim::Contents(u"C:\\dir\\b.txt"), "b");
    EXPECT_TRUE(winsim::Exists(u"D:\\in\\b.txt"));
}

// The name written back is cut to the host's 260 characters, null included.
TEST_F(TransferTest, ReportedNamesAreCutToTheHostsBuffer)
{
    winsim::AddFile(u"D:\\in\\n.txt", "n");
    // The host's own path fits its buffer; the reported name is six
    // characters longer.
    for (std::size_t length : {258u, 259u, 260u, 265u}) {
        SCOPED_TRACE(length);
        // "\C:\dir\file.txt:" + name + ":$DATA" is `length` characters.
        std::u16string name(length - 17 - 6, u'n');
        winsim::AddStream(u"C:\\dir\\file.txt", name, "x");
        EXPECT_EQ(Put(u"D:\\in\\n.txt", u"\\C:\\dir\\file.txt\\" + name), FS_FILE_EXISTS);
        std::u16string reported = u"\\C:\\dir\\file.txt:" + name + u":$DATA";
        ASSERT_EQ(reported.size(), length);
        EXPECT_EQ(RemoteName(), reported.substr(0, 259));
    }
}

TEST(SystemErrorText, TrimsTheSystemsEnding)
{
    winsim::Reset();
    EXPECT_EQ(U8(SystemErrorText(ERROR_ACCESS_DENIED)), "Access is denied");
    EXPECT_EQ(U8(SystemErrorText(ERROR_DISK_FULL)), "There is not enough space on the disk");
    EXPECT_EQ(U8(SystemErrorText(0x2BAD)), "");
    EXPECT_TRUE(winsim::Leaks().empty());
}

}  // namespace
