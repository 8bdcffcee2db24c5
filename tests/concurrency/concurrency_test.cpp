// Every export on any thread beside the others, as the host runs them: its
// window thread lists, reads every column and icon; its background threads
// copy out, copy in and move; the settings dialog's OK reloads the settings.
// This suite runs in every native build and under ThreadSanitizer, which
// reports any access to shared state that no lock or atomic orders.
#include <algorithm>
#include <atomic>
#include <set>
#include <thread>

#include "config/settings.h"
#include "fileops/delete_create_exports.h"
#include "host_fixture.h"
#include "listing/listing.h"
#include "presentation/content_columns.h"
#include "presentation/content_exports.h"
#include "presentation/icons.h"
#include "transfer/transfer_exports.h"

namespace {

constexpr int kRounds = 100;

std::atomic<int> progressCalls{0};
std::atomic<int> messagesShown{0};

int WINAPI CountingProgress(int, WCHAR*, WCHAR*, int)
{
    ++progressCalls;
    return 0;
}

void WINAPI NoLog(int, int, WCHAR*) {}

BOOL WINAPI CountingRequest(int, int, WCHAR*, WCHAR*, WCHAR*, int)
{
    ++messagesShown;
    return TRUE;
}

// The names a listing delivered, in order.
std::vector<std::u16string> List(std::u16string path)
{
    std::vector<std::u16string> names;
    WIN32_FIND_DATAW data{};
    HANDLE h = FsFindFirstW(path.data(), &data);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do
        names.push_back(data.cFileName);
    while (FsFindNextW(h, &data));
    FsFindClose(h);
    return names;
}

// One operation on the calling thread, as the host encloses it.
struct Operation {
    Operation(std::u16string dir, int kind) : dir_(std::move(dir))
    {
        FsStatusInfoW(dir_.data(), FS_STATUS_START, kind);
    }
    ~Operation() { FsStatusInfoW(dir_.data(), FS_STATUS_END, 0); }
    std::u16string dir_;
};

class Concurrency : public PluginTest {
protected:
    void SetUp() override
    {
        PluginTest::SetUp();
        progressCalls = 0;
        messagesShown = 0;
        for (const char16_t* f : {u"C:\\d\\f1.txt", u"C:\\d\\f2.txt", u"C:\\d\\f3.txt"}) {
            winsim::AddFile(f, "the file's own bytes");
            for (const char16_t* s : {u"a", u"b", u"c"})
                winsim::AddStream(f, s, "a named stream");
        }
        winsim::AddStream(u"C:\\d\\f1.txt", u"Zone.Identifier",
                          "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://example.org/f1.txt\r\n");
        winsim::AddPatternFile(u"C:\\in\\src.bin", 300 * 1024, 7);
        winsim::AddDirectory(u"C:\\out");
        WriteSettings(kWithData);
        ASSERT_EQ(FsInitW(3, CountingProgress, NoLog, CountingRequest), 0);
    }

    // The two settings the reload thread alternates between: the file's
    // own data and its named streams, or the named streams alone.
    static constexpr int kWithData = 0x12;
    static constexpr int kNamedOnly = 0x10;
    static void WriteSettings(int streamTypes)
    {
        winsim::AddFile(u"C:\\plugins\\TC_wfx_NTFSTarnwick.ini",
                        "[wfx_NTFSTarnwick]\r\nStreamTypes=" + std::to_string(streamTypes) + "\r\n");
    }
};

TEST_F(Concurrency, EveryExportBesideTheOthers)
{
    const std::vector<std::u16string> withData = {u"::$DATA", u":a:$DATA", u":b:$DATA", u":c:$DATA",
                                                  u":Zone.Identifier:$DATA"};
    const std::vector<std::u16string> namedOnly(withData.begin() + 1, withData.end());
    std::atomic<int> failures{0};
    std::atomic<int> halfListings{0};
    std::atomic<bool> reloadsDone{false};

    // The window thread: the folder, a file's streams, every column (from
    // the window thread and again as the host's background call), icons.
    std::thread window([&] {
        for (int round = 0; round < kRounds || !reloadsDone; ++round) {
            if (List(u"\\C:\\d").size() < 3)
                ++failures;
            std::vector<std::u16string> streams = List(u"\\C:\\d\\f1.txt");
            std::sort(streams.begin(), streams.end());
            std::vector<std::u16string> a = withData, b = namedOnly;
            std::sort(a.begin(), a.end());
            std::sort(b.begin(), b.end());
            if (streams != a && streams != b)
                ++halfListings;
            for (std::u16string file : {u"\\C:\\d\\f1.txt", u"\\C:\\d\\f2.txt", u"\\C:\\d\\f1.txt\\:a:$DATA"}) {
                for (int field = 0; field < kContentFieldCount; ++field) {
                    unsigned char value[512];
                    FsContentGetValueW(file.data(), field, 0, value, sizeof value, CONTENT_DELAYIFSLOW);
                    if (FsContentGetValueW(file.data(), field, 0, value, sizeof value, 0) == ft_fileerror)
                        ++failures;
                }
            }
            std::u16string stream = u"\\C:\\d\\f1.txt\\:b:$DATA";
            HICON icon = nullptr;
            if (FsExtractCustomIconW(stream.data(), FS_ICONFLAG_SMALL, &icon) == FS_ICON_EXTRACTED_DESTROY)
                DestroyIcon(icon);
        }
    });
    // The host's icon thread.
    std::thread icons([&] {
        for (int round = 0; round < kRounds; ++round) {
            std::u16string file = u"\\C:\\d\\f2.txt";
            HICON icon = nullptr;
            if (FsExtractCustomIconW(file.data(), FS_ICONFLAG_BACKGROUND, &icon) == FS_ICON_EXTRACTED_DESTROY)
                DestroyIcon(icon);
        }
    });
    // A background copy out, and a move out of a stream put back each round.
    std::thread copyOut([&] {
        for (int round = 0; round < kRounds; ++round) {
            Operation op(u"\\C:\\d\\f1.txt", FS_STATUS_OP_GET_MULTI);
            std::u16string remote = u"\\C:\\d\\f1.txt\\:a:$DATA";
            std::u16string local = u"C:\\out\\a";
            local.resize(1024);
            if (FsGetFileW(remote.data(), local.data(), FS_COPYFLAGS_OVERWRITE, nullptr) != FS_FILE_OK ||
                winsim::Contents(u"C:\\out\\a") != "a named stream")
                ++failures;
        }
        for (int round = 0; round < kRounds; ++round) {
            winsim::AddStream(u"C:\\d\\f3.txt", u"m", "moved " + std::to_string(round));
            Operation op(u"\\C:\\d\\f3.txt", FS_STATUS_OP_GET_MULTI);
            std::u16string remote = u"\\C:\\d\\f3.txt\\:m:$DATA";
            std::u16string local = u"C:\\out\\m";
            local.resize(1024);
            if (FsGetFileW(remote.data(), local.data(), FS_COPYFLAGS_OVERWRITE | FS_COPYFLAGS_MOVE, nullptr) !=
                    FS_FILE_OK ||
                winsim::Contents(u"C:\\out\\m") != "moved " + std::to_string(round) ||
                winsim::Exists(u"C:\\d\\f3.txt:m"))
                ++failures;
        }
    });
    // A background copy into a file as a named stream.
    std::thread copyIn([&] {
        const std::string expected = winsim::ReadBytes(u"C:\\in\\src.bin", 0, 300 * 1024);
        for (int round = 0; round < kRounds; ++round) {
            Operation op(u"\\C:\\d\\f2.txt", FS_STATUS_OP_PUT_MULTI);
            std::u16string local = u"C:\\in\\src.bin";
            std::u16string remote = u"\\C:\\d\\f2.txt\\:in:$DATA";
            remote.resize(260);
            if (FsPutFileW(local.data(), remote.data(), FS_COPYFLAGS_OVERWRITE) != FS_FILE_OK ||
                winsim::Contents(u"C:\\d\\f2.txt:in") != expected)
                ++failures;
        }
    });
    // The settings dialog's OK, again and again, with the other settings.
    std::thread reloads([&] {
        for (int round = 0; round < kRounds; ++round) {
            WriteSettings(round % 2 ? kWithData : kNamedOnly);
            LoadSettings();
        }
        reloadsDone = true;
    });
    for (std::thread* t : {&window, &icons, &copyOut, &copyIn, &reloads})
        t->join();

    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(halfListings.load(), 0) << "a listing mixed two settings";
    EXPECT_EQ(messagesShown.load(), 0);
    EXPECT_GT(progressCalls.load(), 0);
}

// A background move from the folder above keeps its operation to its own
// thread: F8 on a stream in the window meanwhile deletes that stream, and is
// not taken for part of the move (whose streams go with their file).
TEST_F(Concurrency, AnOperationBelongsToItsThread)
{
    winsim::AddStream(u"C:\\d\\f2.txt", u"x", "to be deleted");
    std::atomic<int> step{0};
    std::thread background([&] {
        Operation op(u"\\C:\\d", FS_STATUS_OP_GET_MULTI);
        step = 1;
        while (step != 2)
            std::this_thread::yield();
    });
    while (step != 1)
        std::this_thread::yield();
    std::u16string stream = u"\\C:\\d\\f2.txt\\:x:$DATA";
    const BOOL deleted = FsDeleteFileW(stream.data());
    step = 2;
    background.join();
    EXPECT_NE(deleted, FALSE);
    EXPECT_FALSE(winsim::Exists(u"C:\\d\\f2.txt:x")) << "the window's F8 was taken for the background move";
}

// The answers a host asks for before it starts a background copy.
TEST_F(Concurrency, BothDirectionsMayRunInTheBackgroundWithoutAsking)
{
    EXPECT_EQ(FsGetBackgroundFlags(), BG_DOWNLOAD | BG_UPLOAD);
}

}  // namespace
