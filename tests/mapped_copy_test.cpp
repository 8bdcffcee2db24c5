// The mapped copy engine through both of its callers: the progress protocol,
// every outcome and what it leaves of the target, faults in a view, and the
// 5 GiB copy that never holds more than two views.
#include <cstring>
#include <functional>
#include <optional>

#include "host_fixture.h"
#include "transfer/mapped_copy.h"
#include "transfer/transfer_exports.h"

namespace {

class MappedCopyTest : public PluginTest {
protected:
    void SetUp() override
    {
        PluginTest::SetUp();
        winsim::AddVolume(u'D');
        winsim::AddDirectory(u"D:\\out");
        ASSERT_EQ(InitPlugin(), 0);
        localName_.assign(1023, 0);
    }

    // FsGetFileW of a file's own data ("::$DATA") into D:\out.
    int Download(const char16_t* remote, int flags = 0)
    {
        std::u16string proposal = u"D:\\out\\anything";
        std::copy(proposal.begin(), proposal.end(), localName_.begin());
        localName_[proposal.size()] = 0;
        return FsGetFileW(const_cast<WCHAR*>(remote), localName_.data(), flags, nullptr);
    }

    std::vector<int> Percents() const
    {
        std::vector<int> p;
        for (const auto& r : Host().progress)
            p.push_back(r.percent);
        return p;
    }

    std::vector<WCHAR> localName_;
};

TEST(OnePercent, CountsBytesPerPercent)
{
    const std::pair<std::int64_t, std::int64_t> rows[] = {
        {0, 1}, {50, 1}, {99, 1}, {100, 1}, {150, 1}, {1099, 10}, {655360, 6553}, {1000000, 10000},
        {5368709120, 53687091},
    };
    for (const auto& [size, one] : rows)
        EXPECT_EQ(OnePercent(size), one) << size;
    EXPECT_EQ(PercentDone(50, 1), 50);
    EXPECT_EQ(PercentDone(150, 1), 100);
    EXPECT_EQ(PercentDone(1099, 10), 100);
    EXPECT_EQ(PercentDone(5368709120, 53687091), 100);
}

// Reports: 0 from the caller, one per view, 100 from the caller.
TEST_F(MappedCopyTest, ProgressProtocolForEverySize)
{
    struct Row {
        std::uint64_t size;
        std::vector<int> percents;
    };
    const Row rows[] = {
        {0, {0, 100}},
        {50, {0, 50, 100}},
        {150, {0, 100, 100}},
        {1099, {0, 100, 100}},
        {655360, {0, 100, 100}},
        {655361, {0, 100, 100, 100}},
        {1000000, {0, 65, 100, 100}},
        {2000000, {0, 32, 65, 98, 100, 100}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.size);
        winsim::AddPatternFile(u"C:\\src.bin", row.size, 3);
        Host().progress.clear();
        EXPECT_EQ(Download(u"\\C:\\src.bin\\::$DATA", FS_COPYFLAGS_OVERWRITE), FS_FILE_OK);
        EXPECT_EQ(Percents(), row.percents);
        EXPECT_EQ(winsim::Size(u"D:\\out\\src.bin"), row.size);
        std::string copied = winsim::ReadBytes(u"D:\\out\\src.bin", 0, 4 * 1024 * 1024);
        bool same = copied == winsim::ReadBytes(u"C:\\src.bin", 0, 4 * 1024 * 1024);
        EXPECT_TRUE(same);
        for (const auto& r : Host().progress) {
            EXPECT_EQ(U8(r.source), "\\C:\\src.bin\\::$DATA");
            EXPECT_EQ(U8(r.target), "D:\\out\\src.bin");
        }
        EXPECT_EQ(winsim::PeakMappedViewBytes(), std::min<std::uint64_t>(row.size, 655360) * 2);
    }
    EXPECT_TRUE(Host().messages.empty());
}

TEST_F(MappedCopyTest, AnEmptySourceCreatesOrTruncatesTheTargetWithoutAMapping)
{
    winsim::AddFile(u"C:\\empty.bin", "");
    winsim::AddFile(u"D:\\out\\empty.bin", "old content");
    EXPECT_EQ(Download(u"\\C:\\empty.bin\\::$DATA", FS_COPYFLAGS_OVERWRITE), FS_FILE_OK);
    EXPECT_EQ(winsim::Contents(u"D:\\out\\empty.bin"), "");
    EXPECT_EQ(winsim::CountCalls("CreateFileMappingW"), 0u);
    EXPECT_EQ(Percents(), (std::vector<int>{0, 100}));
}

// Every outcome of the engine under download, with what the host hears and
// what is left of an existing target.
TEST_F(MappedCopyTest, DownloadOutcomes)
{
    struct Row {
        const char* what;
        std::function<void()> arrange;
        int result;
        const char* message;       // null: none
        std::uint64_t targetSize;  // of D:\out\src.bin afterwards
        std::uint64_t copiedBytes; // the prefix that holds the source's bytes; zeros after it
    };
    const std::uint64_t kSize = 2000000;
    std::string streamBytes(kSize, '\0');
    for (std::size_t i = 0; i < kSize; ++i)
        streamBytes[i] = static_cast<char>(winsim::PatternByte(5, i));
    const Row rows[] = {
        // The first open is the probe of the local target.
        {"source open", [] { winsim::FailCall("CreateFileW", ERROR_ACCESS_DENIED, 2); }, FS_FILE_READERROR,
         "Error reading file or stream.\r\nAccess is denied", 11, 0},
        {"source size", [] { winsim::FailCall("GetFileSize", ERROR_READ_FAULT); }, FS_FILE_READERROR, nullptr, 11,
         0},
        {"source mapping", [] { winsim::FailCall("CreateFileMappingW", ERROR_NOT_ENOUGH_MEMORY); }, FS_FILE_READERROR,
         "Error reading file or stream.\r\nNot enough memory resources are available to process this command", 11,
         0},
        {"target create", [] { winsim::SetAttributes(u"D:\\out\\src.bin", FILE_ATTRIBUTE_READONLY); },
         FS_FILE_WRITEERROR, nullptr, 11, 0},
        {"target mapping", [] { winsim::SetFreeSpace(u'D', 1000); }, FS_FILE_WRITEERROR, nullptr, 11, 0},
        // The existing local file is replaced only by a complete copy: one
        // that fails or is aborted leaves it exactly as it was.
        {"source view", [] { winsim::FailCall("MapViewOfFile", ERROR_NOT_ENOUGH_MEMORY, 3); }, FS_FILE_READERROR,
         nullptr, 11, 0},
        {"target view", [] { winsim::FailCall("MapViewOfFile", ERROR_NOT_ENOUGH_MEMORY, 2); }, FS_FILE_WRITEERROR,
         nullptr, 11, 0},
        {"abort on the first view",
         [] { Host().answer = [](const ProgressReport& r) { return r.percent == 32 ? 1 : 0; }; },
         FS_FILE_USERABORT, nullptr, 11, 0},
        {"a removed medium under the source",
         [] { winsim::FaultViews(u"C:\\host.txt:src.bin", EXCEPTION_IN_PAGE_ERROR, 655360); }, FS_FILE_READERROR, nullptr,
         11, 0},
        // The new file that is to replace it.
        {"a page of the target that cannot be written",
         [] { winsim::FaultViews(u"D:\\out\\src.bin.~tnw00", EXCEPTION_ACCESS_VIOLATION, 2 * 655360); },
         FS_FILE_READERROR, nullptr, 11, 0},
        {"the replacement refused", [] { winsim::FailCall("ReplaceFileW", ERROR_UNABLE_TO_REMOVE_REPLACED); },
         FS_FILE_WRITEERROR, "Error writing file or stream.\r\nUnable to remove the file to be replaced", 11, 0},
        {"the flush that makes a move's copy durable", [] { winsim::FailCall("FlushFileBuffers", ERROR_WRITE_FAULT); },
         FS_FILE_WRITEERROR, "Error writing file or stream.\r\nThe system cannot write to the specified device", 11, 0},
        {"abort answered to the final report", [] { Host().answer = [](const ProgressReport& r) {
             static int reports = 0;
             return r.percent == 100 && ++reports == 2 ? 1 : 0;
         }; },
         FS_FILE_USERABORT, nullptr, kSize, kSize},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        winsim::Reset();
        winsim::AddVolume(u'C');
        winsim::AddVolume(u'D');
        winsim::AddFile(u"C:\\host.txt", "host");
        winsim::AddStream(u"C:\\host.txt", u"src.bin", streamBytes);
        winsim::AddFile(u"D:\\out\\src.bin", "old content");
        winsim::AddStream(u"D:\\out\\src.bin", u"own", "the local file's own stream");
        Host() = HostRecorder{};
        ASSERT_EQ(InitPlugin(), 0);
        row.arrange();
        EXPECT_EQ(Download(u"\\C:\\host.txt\\:src.bin:$DATA", FS_COPYFLAGS_OVERWRITE | FS_COPYFLAGS_MOVE),
                  row.result);
        if (row.message) {
            ASSERT_EQ(Host().messages.size(), 1u);
            EXPECT_EQ(U8(Host().messages[0]), row.message);
        } else {
            EXPECT_TRUE(Host().messages.empty());
        }
        EXPECT_EQ(winsim::Size(u"D:\\out\\src.bin"), row.targetSize);
        if (row.targetSize == 11) {
            EXPECT_EQ(winsim::Contents(u"D:\\out\\src.bin"), "old content");
        }
        if (row.targetSize == kSize) {
            std::string target = winsim::ReadBytes(u"D:\\out\\src.bin", 0, kSize);
            const std::string& source = streamBytes;
            EXPECT_TRUE(std::memcmp(target.data(), source.data(), row.copiedBytes) == 0);
            EXPECT_TRUE(target.find_first_not_of('\0', row.copiedBytes) == std::string::npos)
                << "the rest of the target reads as zeros";
        }
        // A failed move never deletes the stream, and the local file keeps its
        // own; the new file that was to replace it never outlives the call.
        EXPECT_TRUE(winsim::Exists(u"C:\\host.txt:src.bin"));
        EXPECT_FALSE(winsim::Exists(u"D:\\out\\src.bin.~tnw00"));
        EXPECT_EQ(winsim::Contents(u"D:\\out\\src.bin:own"), "the local file's own stream");
        std::string left;
        for (const auto& leak : winsim::Leaks())
            left += "\n  " + leak;
        EXPECT_TRUE(left.empty()) << left;
        Host().answer = nullptr;
    }
}

TEST_F(MappedCopyTest, ACompleteMoveDeletesTheStream)
{
    winsim::AddFile(u"C:\\host.txt", "host");
    winsim::AddStream(u"C:\\host.txt", u"src.bin", std::string(700000, 's'));
    EXPECT_EQ(Download(u"\\C:\\host.txt\\:src.bin:$DATA", FS_COPYFLAGS_MOVE), FS_FILE_OK);
    EXPECT_FALSE(winsim::Exists(u"C:\\host.txt:src.bin"));
    EXPECT_EQ(winsim::Contents(u"D:\\out\\src.bin"), std::string(700000, 's'));
    EXPECT_EQ(Percents(), (std::vector<int>{0, 93, 100, 100}));
}

TEST_F(MappedCopyTest, UploadOutcomes)
{
    struct Row {
        const char* what;
        std::function<void()> arrange;
        int result;
        const char* message;
        std::optional<std::uint64_t> targetSize;  // of the stream C:\f.txt:src.bin afterwards; nullopt: gone
    };
    const std::uint64_t kSize = 2000000;
    const Row rows[] = {
        {"source open", [] { winsim::FailCall("CreateFileW", ERROR_SHARING_VIOLATION, 4); }, FS_FILE_NOTFOUND,
         nullptr, 11},
        {"source size", [] { winsim::FailCall("GetFileSize", ERROR_READ_FAULT); }, FS_FILE_READERROR, nullptr, 11},
        {"source mapping", [] { winsim::FailCall("CreateFileMappingW", ERROR_NOT_ENOUGH_MEMORY); },
         FS_FILE_READERROR, nullptr, 11},
        {"target create", [] { winsim::SetAttributes(u"C:\\f.txt", FILE_ATTRIBUTE_READONLY); }, FS_FILE_WRITEERROR,
         "Error writing file or stream.\r\nAccess is denied", 11},
        // From here on the stream that did not receive every byte is removed.
        {"target mapping", [] { winsim::SetFreeSpace(u'C', 1000); }, FS_FILE_WRITEERROR,
         "Error writing file or stream.\r\nThere is not enough space on the disk", std::nullopt},
        {"source view", [] { winsim::FailCall("MapViewOfFile", ERROR_NOT_ENOUGH_MEMORY, 1); }, FS_FILE_READERROR,
         nullptr, std::nullopt},
        {"target view", [] { winsim::FailCall("MapViewOfFile", ERROR_NOT_ENOUGH_MEMORY, 4); }, FS_FILE_WRITEERROR,
         nullptr, std::nullopt},
        {"abort", [] { Host().answer = [](const ProgressReport& r) { return r.percent == 65 ? 1 : 0; }; },
         FS_FILE_USERABORT, nullptr, std::nullopt},
        {"abort after the last report", [] { Host().answer = [](const ProgressReport&) {
             static int reports = 0;
             return ++reports == 6 ? 1 : 0;
         }; },
         FS_FILE_USERABORT, nullptr, kSize},
        {"a removed medium under the source", [] { winsim::FaultViews(u"D:\\in\\src.bin"); }, FS_FILE_READERROR,
         nullptr, std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        winsim::Reset();
        winsim::AddVolume(u'C');
        winsim::AddVolume(u'D');
        winsim::AddPatternFile(u"D:\\in\\src.bin", kSize, 6);
        winsim::AddFile(u"C:\\f.txt", "file");
        winsim::AddStream(u"C:\\f.txt", u"src.bin", "old content");
        Host() = HostRecorder{};
        ASSERT_EQ(InitPlugin(), 0);
        row.arrange();
        int result = FsPutFileW(const_cast<WCHAR*>(u"D:\\in\\src.bin"), const_cast<WCHAR*>(u"\\C:\\f.txt\\src.bin"),
                                FS_COPYFLAGS_OVERWRITE | FS_COPYFLAGS_MOVE);
        EXPECT_EQ(result, row.result);
        if (row.message) {
            ASSERT_EQ(Host().messages.size(), 1u);
            EXPECT_EQ(U8(Host().messages[0]), row.message);
        } else {
            EXPECT_TRUE(Host().messages.empty());
        }
        if (row.targetSize) {
            EXPECT_EQ(winsim::Size(u"C:\\f.txt:src.bin"), *row.targetSize);
        } else {
            EXPECT_FALSE(winsim::Exists(u"C:\\f.txt:src.bin"));
        }
        EXPECT_TRUE(winsim::Exists(u"D:\\in\\src.bin")) << "a failed move keeps its source";
        EXPECT_EQ(winsim::Contents(u"C:\\f.txt"), "file");
        std::string left;
        for (const auto& leak : winsim::Leaks())
            left += "\n  " + leak;
        EXPECT_TRUE(left.empty()) << left;
        Host().answer = nullptr;
    }
}

// A copy onto itself cannot cut its own source: the bytes go into a new file
// beside it, which replaces it once complete.
TEST_F(MappedCopyTest, ACopyOntoItselfLeavesTheSourceWhole)
{
    winsim::AddPatternFile(u"C:\\self.bin", 100000, 4);
    winsim::AddStream(u"C:\\self.bin", u"s", "its stream");
    const std::string before = winsim::ReadBytes(u"C:\\self.bin", 0, 100000);
    EXPECT_EQ(FsPutFileW(const_cast<WCHAR*>(u"C:\\self.bin"), const_cast<WCHAR*>(u"\\C:\\self.bin"),
                         FS_COPYFLAGS_OVERWRITE),
              FS_FILE_OK);
    EXPECT_TRUE(Host().messages.empty());
    EXPECT_TRUE(winsim::ReadBytes(u"C:\\self.bin", 0, 100000) == before);
    EXPECT_EQ(winsim::Contents(u"C:\\self.bin:s"), "its stream");
    EXPECT_FALSE(winsim::Exists(u"C:\\self.bin.~tnw00"));
}

// 5 GiB: 8,192 views of 640 KiB, those above 4 GiB mapped with a non-zero
// high offset part, never more than two views at once, and the copy costs no
// memory beyond them.
// GetFileSize answers INVALID_FILE_SIZE as the low part of a size like
// 4 GiB - 1 too, and leaves the last error as it found it: whatever the
// caller's earlier calls left there must not make such a size a failure.
// The host aborts at the first view's report, so no gibibytes move.
TEST_F(MappedCopyTest, ASizeWhoseLowPartIsAllOnesIsCopiedInBothDirections)
{
    const std::uint64_t size = 0xFFFFFFFFull;
    winsim::AddPatternFile(u"C:\\big.bin", size, 5);
    winsim::AddPatternFile(u"D:\\in\\big.bin", size, 6);
    Host().answer = [](const ProgressReport&) { return Host().progress.size() > 1 ? 1 : 0; };
    struct Row {
        const char* name;
        std::function<int()> copy;
    };
    const Row rows[] = {
        {"out", [this] { return Download(u"\\C:\\big.bin\\::$DATA"); }},
        {"in, onto a missing target",
         [] {
             return FsPutFileW(const_cast<WCHAR*>(u"D:\\in\\big.bin"), const_cast<WCHAR*>(u"\\C:\\copy.bin"), 0);
         }},
    };
    for (const Row& row : rows) {
        Host().progress.clear();
        SetLastError(ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(row.copy(), FS_FILE_USERABORT) << row.name << ": the copy started and was aborted at its first view";
        EXPECT_EQ(Percents(), (std::vector<int>{0, 0})) << row.name;
        EXPECT_TRUE(Host().messages.empty()) << row.name;
    }
}

TEST_F(MappedCopyTest, FiveGibibytesInBoundedMemory)
{
    const std::uint64_t size = 5ull << 30;
    winsim::AddPatternFile(u"C:\\huge.bin", size, 11);
    EXPECT_EQ(Download(u"\\C:\\huge.bin\\::$DATA"), FS_FILE_OK);
    EXPECT_TRUE(Host().messages.empty());

    std::vector<int> p = Percents();
    ASSERT_EQ(p.size(), 8192u + 2);
    EXPECT_EQ(p.front(), 0);
    EXPECT_EQ(p[1], 0) << "655,360 bytes are not yet one percent of 53,687,091";
    EXPECT_EQ(p[8192], 100);
    EXPECT_EQ(p.back(), 100);
    EXPECT_TRUE(std::is_sorted(p.begin(), p.end()));
    EXPECT_EQ(winsim::CountCalls("MapViewOfFile"), 2u * 8192);

    EXPECT_EQ(winsim::PeakMappedViewBytes(), 2u * 655360);
    EXPECT_EQ(winsim::Size(u"D:\\out\\huge.bin"), size);
    EXPECT_EQ(winsim::ResidentBytes(u"D:\\out\\huge.bin"), 0u) << "every page is a copy of the source's";
    const std::uint64_t offsets[] = {0, 655359, (4ull << 30) - 1, 4ull << 30, (4ull << 30) + 655360 * 3 + 17,
                                     size - 1};
    for (std::uint64_t offset : offsets) {
        std::string b = winsim::ReadBytes(u"D:\\out\\huge.bin", offset, 1);
        ASSERT_EQ(b.size(), 1u);
        EXPECT_EQ(static_cast<unsigned char>(b[0]), winsim::PatternByte(11, offset)) << offset;
    }
}

}  // namespace
