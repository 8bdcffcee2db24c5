// The special streams of a file's folder (the security descriptor, EA data,
// the object identifier, reparse data and the other kinds without a name of
// their own): copied out as the backup API gives their bodies, never deleted
// through their entries, never written.
#include <algorithm>

#include "fileops/delete_create_exports.h"
#include "host_fixture.h"
#include "transfer/backup_copy.h"
#include "transfer/transfer_exports.h"

namespace {

class SpecialStreamsTest : public PluginTest {
protected:
    void SetUp() override
    {
        PluginTest::SetUp();
        winsim::AddVolume(u'D');
        winsim::AddFile(u"C:\\d\\f.txt", "data");
        winsim::AddStream(u"C:\\d\\f.txt", u"s", "stream");
        winsim::SetEaData(u"C:\\d\\f.txt", 40);
        winsim::SetObjectId(u"C:\\d\\f.txt");
        winsim::AddBackupStream(u"C:\\d\\f.txt", {BACKUP_SPARSE_BLOCK, 0, u"", 3 * BackupCopyPieceSize + 17});
        winsim::AddBackupStream(u"C:\\d\\f.txt", {12, 0, u"", 33});  // an identifier without a kind: "::"
        // A symbolic link's own streams are its folder's entries, its reparse
        // data among them (a target name of 9 characters).
        winsim::AddFileSymlink(u"C:\\d\\link", u"C:\\tg.txt");
        winsim::AddDirectory(u"D:\\out");
        ASSERT_EQ(InitPlugin(), 0);
    }

    static int Get(const std::u16string& remote, const std::u16string& local, int flags, std::u16string* chosen = nullptr)
    {
        std::u16string r = remote;
        std::vector<WCHAR> buffer(1023, 0);
        std::copy(local.begin(), local.end(), buffer.begin());
        int result = FsGetFileW(r.data(), buffer.data(), flags, nullptr);
        if (chosen)
            *chosen = buffer.data();
        return result;
    }

    static void RemoveCopy()
    {
        SetFileAttributesW(u"D:\\out\\copy", FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(u"D:\\out\\copy");
    }

    static std::string Pattern(std::uint32_t seed, std::uint64_t size)
    {
        std::string bytes(size, '\0');
        for (std::uint64_t i = 0; i < size; ++i)
            bytes[i] = static_cast<char>(winsim::PatternByte(seed, i));
        return bytes;
    }
};

TEST_F(SpecialStreamsTest, EachKindIsCopiedOutAsTheBackupApiGivesIt)
{
    struct Row {
        const char16_t* remote;
        std::uint32_t seed;  // winsim's pattern for the kind
        std::uint64_t size;
    };
    const Row rows[] = {
        {u"\\C:\\d\\f.txt\\::$SECURITY_DESCRIPTOR", 3, 0x74},
        {u"\\C:\\d\\f.txt\\::$EA_DATA", 2, 40},
        {u"\\C:\\d\\f.txt\\::$OBJECT_ID", 7, 64},
        {u"\\C:\\d\\f.txt\\::$SPARSE_BLOCK", BACKUP_SPARSE_BLOCK, 3 * BackupCopyPieceSize + 17},
        {u"\\C:\\d\\f.txt\\::", 12, 33},
        {u"\\C:\\d\\f.txt\\::$ea_data", 2, 40},  // the host may hand back another letter case
        {u"\\C:\\d\\link\\::$REPARSE_DATA", 8, 16 + (4 + 9 + 1 + 1) * 2 + (9 + 1) * 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(U8(row.remote));
        RemoveCopy();
        Host().progress.clear();
        Host().messages.clear();
        std::u16string chosen;
        EXPECT_EQ(Get(row.remote, u"D:\\out\\copy", 0, &chosen), FS_FILE_OK);
        EXPECT_EQ(U8(chosen), "D:\\out\\copy") << "the host's own proposal";
        EXPECT_EQ(winsim::Contents(u"D:\\out\\copy"), Pattern(row.seed, row.size));
        // 0, one report per piece (the mapped copy's percentages: a body
        // below 100 bytes reports its byte count), 100.
        const std::size_t pieces = (row.size + BackupCopyPieceSize - 1) / BackupCopyPieceSize;
        ASSERT_EQ(Host().progress.size(), pieces + 2);
        EXPECT_EQ(Host().progress.front().percent, 0);
        EXPECT_EQ(Host().progress[pieces].percent, static_cast<int>(std::min<std::uint64_t>(row.size, 100)));
        EXPECT_EQ(Host().progress.back().percent, 100);
        EXPECT_TRUE(Host().messages.empty());
        // The existing target is the host's to decide about.
        EXPECT_EQ(Get(row.remote, u"D:\\out\\copy", 0), FS_FILE_EXISTS);
        EXPECT_EQ(Get(row.remote, u"D:\\out\\copy", FS_COPYFLAGS_OVERWRITE), FS_FILE_OK);
        EXPECT_EQ(winsim::Size(u"D:\\out\\copy"), row.size);
        winsim::ClearCallLog();
        // A move copies and deletes nothing: the stream goes with its file.
        EXPECT_EQ(Get(row.remote, u"D:\\out\\copy", FS_COPYFLAGS_OVERWRITE | FS_COPYFLAGS_MOVE), FS_FILE_OK);
        EXPECT_EQ(winsim::CountCalls("DeleteFileW"), 0u);
        EXPECT_EQ(winsim::Contents(u"C:\\d\\f.txt"), "data");
    }
    // The file itself is untouched, every read context released (the fixture
    // checks the handles).
    EXPECT_EQ(winsim::Contents(u"C:\\d\\f.txt:s"), "stream");
}

TEST_F(SpecialStreamsTest, FailuresAndAbortsLeaveNoCopyThatLooksComplete)
{
    struct Row {
        const char* what;
        const char16_t* remote;
        std::function<void()> arrange;
        int result;
        const char* message;  // null: none
    };
    const Row rows[] = {
        {"a kind the file does not have", u"\\C:\\d\\f.txt\\::$REPARSE_DATA", [] {}, FS_FILE_READERROR,
         "Error reading file or stream.\r\nThe system cannot find the file specified"},
        {"the file is gone", u"\\C:\\d\\gone.txt\\::$SECURITY_DESCRIPTOR", [] {}, FS_FILE_READERROR,
         "Error reading file or stream.\r\nThe system cannot find the file specified"},
        {"an entry of no kind", u"\\C:\\d\\f.txt\\::$NOTHING", [] {}, FS_FILE_READERROR, nullptr},
        {"the target cannot be created", u"\\C:\\d\\f.txt\\::$EA_DATA",
         [] { winsim::AddFile(u"D:\\out\\copy", "kept", FILE_ATTRIBUTE_READONLY); }, FS_FILE_WRITEERROR, nullptr},
        {"a read fails midway", u"\\C:\\d\\f.txt\\::$SPARSE_BLOCK",
         [] { winsim::FailCall("BackupRead", ERROR_READ_FAULT, 9); }, FS_FILE_READERROR, nullptr},
        {"a write fails midway", u"\\C:\\d\\f.txt\\::$SPARSE_BLOCK",
         [] { winsim::FailCall("WriteFile", ERROR_DISK_FULL, 2); }, FS_FILE_WRITEERROR, nullptr},
        {"aborted at the first piece", u"\\C:\\d\\f.txt\\::$SPARSE_BLOCK",
         [] { Host().answer = [](const ProgressReport& r) { return r.percent > 0 ? 1 : 0; }; }, FS_FILE_USERABORT,
         nullptr},
        {"aborted at the start", u"\\C:\\d\\f.txt\\::$SPARSE_BLOCK", [] { Host().answer = [](auto&) { return 1; }; },
         FS_FILE_USERABORT, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        RemoveCopy();
        Host().messages.clear();
        row.arrange();
        const bool existed = winsim::Exists(u"D:\\out\\copy");
        EXPECT_EQ(Get(row.remote, u"D:\\out\\copy", FS_COPYFLAGS_OVERWRITE | FS_COPYFLAGS_MOVE), row.result);
        if (row.message) {
            ASSERT_EQ(Host().messages.size(), 1u);
            EXPECT_EQ(U8(Host().messages[0]), row.message);
        } else {
            EXPECT_TRUE(Host().messages.empty());
        }
        if (existed) {
            EXPECT_EQ(winsim::Contents(u"D:\\out\\copy"), "kept");
        } else {
            EXPECT_FALSE(winsim::Exists(u"D:\\out\\copy")) << "a partial copy is left";
        }
        Host().answer = nullptr;
    }
    EXPECT_EQ(winsim::Contents(u"C:\\d\\f.txt"), "data");
}

TEST_F(SpecialStreamsTest, NothingIsCopiedInToASpecialName)
{
    winsim::AddFile(u"D:\\in\\sd.bin", "not a descriptor");
    for (const char16_t* entry : {u"::$SECURITY_DESCRIPTOR", u"::$EA_DATA", u"::$REPARSE_DATA", u"::"}) {
        SCOPED_TRACE(U8(entry));
        Host().messages.clear();
        std::u16string local = u"D:\\in\\sd.bin";
        std::vector<WCHAR> remote(260, 0);
        std::u16string r = std::u16string(u"\\C:\\d\\f.txt\\") + entry;
        std::copy(r.begin(), r.end(), remote.begin());
        winsim::ClearCallLog();
        EXPECT_EQ(FsPutFileW(local.data(), remote.data(), FS_COPYFLAGS_OVERWRITE | FS_COPYFLAGS_MOVE),
                  FS_FILE_NOTSUPPORTED);
        ASSERT_EQ(Host().messages.size(), 1u);
        EXPECT_EQ(U8(Host().messages[0]), "Not Supported");
        EXPECT_EQ(winsim::CountCalls("CreateFileMappingW"), 0u);
        EXPECT_TRUE(winsim::Exists(u"D:\\in\\sd.bin")) << "the local file stays";
    }
    EXPECT_EQ(winsim::Contents(u"C:\\d\\f.txt"), "data");
    EXPECT_FALSE(winsim::Exists(u"C:\\d\\f.txt:$SECURITY_DESCRIPTOR"));
}

// Windows refuses CREATE_ALWAYS with FILE_ATTRIBUTE_NORMAL on an existing
// hidden or system file: "replace" must still work there.
TEST_F(SpecialStreamsTest, HiddenAndSystemTargetsAreReplacedAndKeepTheirBits)
{
    winsim::AddFile(u"D:\\in\\new.txt", "new content");
    struct Row {
        DWORD attributes;
    };
    for (DWORD attributes : {DWORD{FILE_ATTRIBUTE_HIDDEN}, DWORD{FILE_ATTRIBUTE_SYSTEM},
                             DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM}}) {
        SCOPED_TRACE(attributes);
        winsim::AddFile(u"D:\\out\\s", "old", attributes);
        EXPECT_EQ(Get(u"\\C:\\d\\f.txt\\:s:$DATA", u"D:\\out\\x", FS_COPYFLAGS_OVERWRITE), FS_FILE_OK);
        EXPECT_EQ(winsim::Contents(u"D:\\out\\s"), "stream");
        EXPECT_EQ(winsim::Attributes(u"D:\\out\\s") & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), attributes);

        winsim::AddFile(u"C:\\d\\up.txt", "old", attributes);
        std::u16string local = u"D:\\in\\new.txt";
        std::vector<WCHAR> remote(260, 0);
        std::u16string r = u"\\C:\\d\\up.txt";
        std::copy(r.begin(), r.end(), remote.begin());
        EXPECT_EQ(FsPutFileW(local.data(), remote.data(), FS_COPYFLAGS_OVERWRITE), FS_FILE_OK);
        EXPECT_EQ(winsim::Contents(u"C:\\d\\up.txt"), "new content");
        EXPECT_EQ(winsim::Attributes(u"C:\\d\\up.txt") & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), attributes);
        EXPECT_TRUE(Host().messages.empty());
    }
    // Read-only stays a refusal.
    winsim::AddFile(u"D:\\out\\s", "old", FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(Get(u"\\C:\\d\\f.txt\\:s:$DATA", u"D:\\out\\x", FS_COPYFLAGS_OVERWRITE), FS_FILE_WRITEERROR);
    EXPECT_EQ(winsim::Contents(u"D:\\out\\s"), "old");
}

}  // namespace
