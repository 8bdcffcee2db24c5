// Guards against losing the user's data: whatever the host asks and however
// a transfer ends, a source is never truncated or deleted before its copy is
// complete, a failed upload leaves the local file, a tree removal stops at a
// junction, and a drive is never emptied.
#include "fileops/delete_create_exports.h"
#include "host_fixture.h"
#include "transfer/transfer_exports.h"

namespace {

constexpr std::uint64_t kBig = 3 * 1024 * 1024 + 12345;  // several 640-KiB views
// Each row moves again onto the copy of the row before.
constexpr int kMoveOver = FS_COPYFLAGS_MOVE | FS_COPYFLAGS_OVERWRITE;

class DataLossGuardTest : public PluginTest {
public:
    void SetUp() override
    {
        PluginTest::SetUp();
        winsim::AddVolume(u'D');
        winsim::AddFile(u"C:\\d\\f.txt", "the file's own data");
        winsim::SetShortName(u"C:\\d\\f.txt", u"F~1.TXT");
        winsim::AddStream(u"C:\\d\\f.txt", u"s", "stream data");
        winsim::AddPatternFile(u"D:\\in\\big.bin", kBig, 7);
        winsim::AddPatternStream(u"C:\\d\\f.txt", u"big", kBig, 9);
        winsim::AddDirectory(u"D:\\out");
        ASSERT_EQ(InitPlugin(), 0);
    }

    int Get(const char16_t* remote, const char16_t* local, int flags)
    {
        std::u16string r = remote;
        std::vector<WCHAR> buffer(1023, 0);
        std::u16string l = local;
        std::copy(l.begin(), l.end(), buffer.begin());
        return FsGetFileW(r.data(), buffer.data(), flags, nullptr);
    }

    int Put(const char16_t* local, const char16_t* remote, int flags)
    {
        std::u16string l = local;
        std::vector<WCHAR> buffer(260, 0);
        std::u16string r = remote;
        std::copy(r.begin(), r.end(), buffer.begin());
        return FsPutFileW(l.data(), buffer.data(), flags);
    }

    // The bytes of a pattern file still all there.
    static bool PatternIntact(std::u16string_view path, std::uint32_t seed)
    {
        if (!winsim::Exists(path) || winsim::Size(path) != kBig)
            return false;
        for (std::uint64_t at : {std::uint64_t{0}, kBig / 2, kBig - 100}) {
            std::string bytes = winsim::ReadBytes(path, at, 100);
            for (std::size_t i = 0; i < bytes.size(); ++i)
                if (static_cast<std::uint8_t>(bytes[i]) != winsim::PatternByte(seed, at + i))
                    return false;
        }
        return true;
    }
};

TEST_F(DataLossGuardTest, ACopyOntoItsOwnSourceCannotTruncateIt)
{
    struct Row {
        const char* what;
        std::function<int(DataLossGuardTest&)> copy;
    };
    const Row rows[] = {
        {"download of ::$DATA onto the file itself",
         [](DataLossGuardTest& t) {
             return t.Get(u"\\C:\\d\\f.txt\\::$DATA", u"C:\\d\\proposal", FS_COPYFLAGS_OVERWRITE);
         }},
        {"download with a move onto the file itself",
         [](DataLossGuardTest& t) {
             return t.Get(u"\\C:\\d\\f.txt\\::$DATA", u"C:\\d\\x", FS_COPYFLAGS_OVERWRITE | FS_COPYFLAGS_MOVE);
         }},
        {"upload of the file onto itself",
         [](DataLossGuardTest& t) { return t.Put(u"C:\\d\\f.txt", u"\\C:\\d\\f.txt", FS_COPYFLAGS_OVERWRITE); }},
        {"upload onto itself in other letter case",
         [](DataLossGuardTest& t) { return t.Put(u"C:\\D\\F.TXT", u"\\C:\\d\\f.txt", FS_COPYFLAGS_OVERWRITE); }},
        {"upload onto itself through its short name",
         [](DataLossGuardTest& t) { return t.Put(u"C:\\d\\F~1.TXT", u"\\C:\\d\\f.txt", FS_COPYFLAGS_OVERWRITE); }},
        {"upload with a move onto itself",
         [](DataLossGuardTest& t) {
             return t.Put(u"C:\\d\\f.txt", u"\\C:\\d\\f.txt", FS_COPYFLAGS_OVERWRITE | FS_COPYFLAGS_MOVE);
         }},
        {"upload of a file into a stream of itself",
         [](DataLossGuardTest& t) { return t.Put(u"C:\\d\\f.txt", u"\\C:\\d\\f.txt\\f.txt", FS_COPYFLAGS_OVERWRITE); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        int r = row.copy(*this);
        EXPECT_TRUE(r == FS_FILE_OK || r == FS_FILE_EXISTS || r == FS_FILE_WRITEERROR || r == FS_FILE_READERROR ||
                    r == FS_FILE_NOTSUPPORTED)
            << "result " << r;
        EXPECT_EQ(winsim::Contents(u"C:\\d\\f.txt"), "the file's own data");
        EXPECT_EQ(winsim::Contents(u"C:\\d\\f.txt:s"), "stream data");
        EXPECT_TRUE(PatternIntact(u"C:\\d\\f.txt:big", 9));
    }
}

TEST_F(DataLossGuardTest, AMoveDeletesItsSourceOnlyAfterACompleteCopyAndTheFinalReport)
{
    struct Row {
        const char* what;
        std::u16string source;  // as winsim names it
        std::uint32_t seed;
        std::u16string target;
        std::function<int(DataLossGuardTest&)> move;
    };
    const Row rows[] = {
        {"download of a stream", u"C:\\d\\f.txt:big", 9, u"D:\\out\\big",
         [](DataLossGuardTest& t) { return t.Get(u"\\C:\\d\\f.txt\\:big:$DATA", u"D:\\out\\x", kMoveOver); }},
        {"upload into a directory", u"D:\\in\\big.bin", 7, u"C:\\d\\big.bin",
         [](DataLossGuardTest& t) { return t.Put(u"D:\\in\\big.bin", u"\\C:\\d\\big.bin", kMoveOver); }},
        {"upload into a stream", u"D:\\in\\big.bin", 7, u"C:\\d\\f.txt:big.bin",
         [](DataLossGuardTest& t) {
             return t.Put(u"D:\\in\\big.bin", u"\\C:\\d\\f.txt\\big.bin", kMoveOver);
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        winsim::AddPatternFile(u"D:\\in\\big.bin", kBig, 7);
        winsim::AddPatternStream(u"C:\\d\\f.txt", u"big", kBig, 9);
        Host().progress.clear();
        // At every report, the last one included, the source is still whole.
        int reportsWithSourceGone = 0;
        Host().answer = [&](const ProgressReport&) {
            reportsWithSourceGone += !PatternIntact(row.source, row.seed);
            return 0;
        };
        EXPECT_EQ(row.move(*this), FS_FILE_OK);
        EXPECT_EQ(reportsWithSourceGone, 0);
        ASSERT_FALSE(Host().progress.empty());
        EXPECT_EQ(Host().progress.back().percent, 100);
        EXPECT_TRUE(PatternIntact(row.target, row.seed)) << "the copy is complete";
        EXPECT_FALSE(winsim::Exists(row.source)) << "the move took its source";

        // Aborted at the final report, and failing at every view: the source stays.
        winsim::AddPatternFile(u"D:\\in\\big.bin", kBig, 7);
        winsim::AddPatternStream(u"C:\\d\\f.txt", u"big", kBig, 9);
        Host().answer = [](const ProgressReport& r) { return r.percent == 100 ? 1 : 0; };
        EXPECT_EQ(row.move(*this), FS_FILE_USERABORT);
        EXPECT_TRUE(PatternIntact(row.source, row.seed));
        Host().answer = nullptr;
        for (int view = 1; view <= 6; ++view) {
            winsim::FailCall("MapViewOfFile", ERROR_NOT_ENOUGH_MEMORY, view);
            row.move(*this);
            winsim::ClearCallLog();
            if (!winsim::Exists(row.source)) {
                EXPECT_TRUE(PatternIntact(row.target, row.seed)) << "source gone without a full copy, view " << view;
            }
            winsim::AddPatternFile(u"D:\\in\\big.bin", kBig, 7);
            winsim::AddPatternStream(u"C:\\d\\f.txt", u"big", kBig, 9);
        }
        Host().messages.clear();
    }
}

TEST_F(DataLossGuardTest, AFailedOrAbortedUploadLeavesTheLocalFile)
{
    struct Row {
        const char* what;
        std::function<void()> arrange;
        int expected;
    };
    const Row rows[] = {
        {"aborted before the copy", [] { Host().answer = [](const ProgressReport& r) { return r.percent == 0; }; },
         FS_FILE_USERABORT},
        {"aborted midway",
         [] { Host().answer = [](const ProgressReport& r) { return r.percent > 0 && r.percent < 100 ? 1 : 0; }; },
         FS_FILE_USERABORT},
        {"aborted at the end", [] { Host().answer = [](const ProgressReport& r) { return r.percent == 100; }; },
         FS_FILE_USERABORT},
        {"the target cannot be created", [] { winsim::FailCall("CreateFileW", ERROR_ACCESS_DENIED, 3); }, -1},
        {"the target's mapping fails", [] { winsim::FailCall("CreateFileMappingW", ERROR_DISK_FULL, 2); }, -1},
        {"a view fails midway", [] { winsim::FailCall("MapViewOfFile", ERROR_NOT_ENOUGH_MEMORY, 5); }, -1},
        {"the volume is full", [] { winsim::SetFreeSpace(u'C', 1024 * 1024); }, -1},
        {"a page of the target fails",
         [] {
             // The new file that is to replace the earlier copy.
             winsim::AddFile(u"C:\\d\\big.bin", "an earlier copy");
             winsim::FaultViews(u"C:\\d\\big.bin.~tnw00", EXCEPTION_IN_PAGE_ERROR, 700000);
         },
         -1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        winsim::AddPatternFile(u"D:\\in\\big.bin", kBig, 7);
        Host().answer = nullptr;
        row.arrange();
        int r = Put(u"D:\\in\\big.bin", u"\\C:\\d\\big.bin", FS_COPYFLAGS_MOVE | FS_COPYFLAGS_OVERWRITE);
        if (row.expected >= 0) {
            EXPECT_EQ(r, row.expected);
        }
        EXPECT_TRUE(PatternIntact(u"D:\\in\\big.bin", 7)) << "result " << r;
        Host().answer = nullptr;
        Host().messages.clear();
        winsim::SetFreeSpace(u'C', ~0ull);
    }
}

TEST_F(DataLossGuardTest, ATreeRemovalLeavesAJunctionsTargetUntouched)
{
    winsim::AddFile(u"D:\\target\\keep.txt", "kept", FILE_ATTRIBUTE_READONLY);
    winsim::AddFile(u"D:\\target\\sub\\deep.txt", "deep");
    struct Row {
        const char16_t* removed;
        const char16_t* gone;
    };
    const Row rows[] = {
        {u"\\C:\\tree", u"C:\\tree"},            // a junction inside the tree
        {u"\\C:\\tree\\link", u"C:\\tree\\link"},  // the junction itself
    };
    for (const auto& row : rows) {
        winsim::AddFile(u"C:\\tree\\a.txt", "a");
        if (!winsim::Exists(u"C:\\tree\\link"))
            winsim::AddJunction(u"C:\\tree\\link", u"D:\\target");
        std::u16string p = row.removed;
        EXPECT_EQ(FsRemoveDirW(p.data()), -1) << U8(row.removed);
        EXPECT_FALSE(winsim::Exists(row.gone)) << U8(row.removed);
        EXPECT_EQ(winsim::Contents(u"D:\\target\\keep.txt"), "kept") << U8(row.removed);
        EXPECT_EQ(winsim::Attributes(u"D:\\target\\keep.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY))
            << "the target's attributes are not touched either";
        EXPECT_EQ(winsim::Contents(u"D:\\target\\sub\\deep.txt"), "deep") << U8(row.removed);
    }
}

TEST_F(DataLossGuardTest, ADriveEntryIsNeverErased)
{
    winsim::AddFile(u"D:\\data\\x.txt", "x", FILE_ATTRIBUTE_READONLY);
    winsim::AddFile(u"D:\\top.txt", "top");
    const char16_t* names[] = {u"\\D:",        u"\\D:\\",       u"\\d:",        u"\\D:\\.",      u"\\D:\\data\\..",
                               u"\\D:\\data\\..\\", u"\\D:/",    u"\\D:\\..",    u"\\D:\\data\\.\\..", u"\\D:\\ \\.."};
    for (const char16_t* name : names) {
        std::u16string p = name;
        FsRemoveDirW(p.data());
        p = name;
        FsDeleteFileW(p.data());
        EXPECT_EQ(winsim::Contents(u"D:\\data\\x.txt"), "x") << U8(name);
        EXPECT_EQ(winsim::Attributes(u"D:\\data\\x.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY)) << U8(name);
        EXPECT_EQ(winsim::Contents(u"D:\\top.txt"), "top") << U8(name);
        EXPECT_TRUE(winsim::Exists(u"D:\\out")) << U8(name);
    }
}

}  // namespace
