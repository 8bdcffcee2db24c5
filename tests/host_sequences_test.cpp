// The host's call sequences for one keystroke, played as the file manager
// plays them: it lists a folder, calls an export for each entry, and decides
// from the result codes alone whether to remove a move's source or an edit's
// temporary copy. Each keystroke runs without a failure, then with each
// failure injected (a locked source, a locked target, a full disk, an abort at
// each progress report, a faulting view). Whatever happens, the user's data
// exists somewhere complete, and nothing incomplete looks complete.
#include <algorithm>
#include <functional>
#include <map>
#include <optional>

#include "fileops/delete_create_exports.h"
#include "fileops/execute.h"
#include "host_fixture.h"
#include "listing/listing.h"
#include "transfer/rename.h"
#include "transfer/transfer_exports.h"

namespace {

constexpr std::uint64_t kBig = 3 * 1024 * 1024 + 4321;  // several 640-KiB views
constexpr std::uint64_t kSecurityDescriptorBytes = 0x74;  // winsim's descriptor, pattern seed 3
const std::string kFileData = "the file's own data";
const std::string kStreamData = "stream data";
const std::string kEdited = "the user's edit, longer than before";
const std::string kHeldTarget = "a file another program holds";

enum class Fault { None, LockedSource, LockedTarget, FullDisk, AbortAt, FaultingView };

const char* FaultName(Fault f)
{
    switch (f) {
    case Fault::None:
        return "no failure";
    case Fault::LockedSource:
        return "a locked source";
    case Fault::LockedTarget:
        return "a locked target";
    case Fault::FullDisk:
        return "a full disk";
    case Fault::AbortAt:
        return "an abort at report";
    case Fault::FaultingView:
        return "a faulting view";
    }
    return "?";
}

// What the host saw: how often it would ask Retry/Skip, whether it removed a
// move's source or an edit's temporary copy.
struct Played {
    int prompts = 0;
    bool removedSource = false;
    bool deletedTemporary = false;
    std::vector<int> results;
};

class HostSequencesTest : public PluginTest {
protected:
    void SetUp() override
    {
        PluginTest::SetUp();
        Arrange();
    }

    void TearDown() override
    {
        Release();
        PluginTest::TearDown();
    }

    void Arrange()
    {
        winsim::AddVolume(u'D');
        winsim::AddFile(u"C:\\d\\f.txt", kFileData);
        winsim::AddStream(u"C:\\d\\f.txt", u"s", kStreamData);
        winsim::AddPatternStream(u"C:\\d\\f.txt", u"big", kBig, 9);
        winsim::AddPatternFile(u"D:\\in\\big.bin", kBig, 7);
        winsim::AddDirectory(u"D:\\out");
        winsim::AddDirectory(u"D:\\tmp");
        ASSERT_EQ(InitPlugin(), 0);
    }

    // A fresh world for the next row.
    void Renew()
    {
        Release();
        OnProcessDetach();
        std::string left;
        for (const auto& leak : winsim::Leaks())
            left += "\n  " + leak;
        EXPECT_TRUE(left.empty()) << "left behind:" << left;
        PluginTest::SetUp();
        Arrange();
    }

    // Another program holds a file open, sharing it as it chose (by default
    // not at all).
    void Hold(const char16_t* path, DWORD share = 0)
    {
        HANDLE h = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << U8(path);
        held_.push_back(h);
    }
    void Release()
    {
        for (HANDLE h : held_)
            CloseHandle(h);
        held_.clear();
    }

    static std::string Pattern(std::uint32_t seed, std::uint64_t size)
    {
        std::string bytes(size, '\0');
        for (std::uint64_t i = 0; i < size; ++i)
            bytes[i] = static_cast<char>(winsim::PatternByte(seed, i));
        return bytes;
    }

    // The bytes an entry of the file's folder holds now; nothing once gone.
    static std::optional<std::string> EntryBytes(const std::u16string& entry)
    {
        if (!winsim::Exists(u"C:\\d\\f.txt"))
            return std::nullopt;
        if (entry == u"::$DATA")
            return winsim::Contents(u"C:\\d\\f.txt");
        if (entry == u"::$SECURITY_DESCRIPTOR")
            return Pattern(3, kSecurityDescriptorBytes);
        std::u16string name = entry.substr(1, entry.find(u":$DATA") - 1);
        std::u16string path = u"C:\\d\\f.txt:" + name;
        if (!winsim::Exists(path))
            return std::nullopt;
        return winsim::ReadBytes(path, 0, static_cast<std::size_t>(winsim::Size(path)));
    }

    static std::optional<std::string> LocalBytes(const std::u16string& path)
    {
        if (!winsim::Exists(path))
            return std::nullopt;
        return winsim::ReadBytes(path, 0, static_cast<std::size_t>(winsim::Size(path)));
    }

    // The file's folder as the host lists it, hidden entries included; nothing
    // when the listing fails (an empty folder answers ERROR_NO_MORE_FILES).
    static std::optional<std::vector<std::u16string>> ListEntry(const char16_t* folder)
    {
        std::vector<std::u16string> names;
        std::u16string p = folder;
        WIN32_FIND_DATAW data{};
        SetLastError(0xdeadbeef);
        HANDLE h = FsFindFirstW(p.data(), &data);
        if (h == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_NO_MORE_FILES)
                return names;
            return std::nullopt;
        }
        do
            names.emplace_back(data.cFileName);
        while (FsFindNextW(h, &data));
        FsFindClose(h);
        return names;
    }

    // The host's proposal for an entry copied into a local folder: it cannot
    // name a local file with colons, so they become underscores.
    static std::u16string Proposal(const std::u16string& folder, std::u16string entry)
    {
        std::replace(entry.begin(), entry.end(), u':', u'_');
        return folder + u"\\" + entry;
    }

    // FsGetFileW as the host calls it: on FS_FILE_EXISTS the user says
    // "overwrite" and the host calls again.
    static int Get(const std::u16string& remote, std::u16string& local, int flags)
    {
        std::u16string r = remote;
        std::vector<WCHAR> buffer(1024, 0);
        std::copy(local.begin(), local.end(), buffer.begin());
        int result = FsGetFileW(r.data(), buffer.data(), flags, nullptr);
        if (result == FS_FILE_EXISTS) {
            r = remote;
            result = FsGetFileW(r.data(), buffer.data(), flags | FS_COPYFLAGS_OVERWRITE, nullptr);
        }
        local = buffer.data();
        return result;
    }

    static int Put(const std::u16string& local, const std::u16string& remote, int flags)
    {
        std::u16string l = local;
        std::vector<WCHAR> buffer(260, 0);
        std::copy(remote.begin(), remote.end(), buffer.begin());
        int result = FsPutFileW(l.data(), buffer.data(), flags);
        if (result == FS_FILE_EXISTS) {
            std::copy(remote.begin(), remote.end(), buffer.begin());
            buffer[remote.size()] = 0;
            result = FsPutFileW(l.data(), buffer.data(), flags | FS_COPYFLAGS_OVERWRITE);
        }
        return result;
    }

    // F5 / F6 of the file's folder to D:\out: the local folder "f.txt\", every
    // entry copied into it, and after a move with every entry FS_FILE_OK the
    // file's folder removed. Records where each entry went.
    Played CopyFileFolderOut(bool move, std::map<std::u16string, std::u16string>& copiedTo,
                             const std::function<void()>& afterListing = [] {})
    {
        Played p;
        winsim::AddDirectory(u"D:\\out\\f.txt");
        bool allOk = true;
        std::optional<std::vector<std::u16string>> entries = ListEntry(u"\\C:\\d\\f.txt");
        if (!entries) {
            ++p.prompts;
            return p;
        }
        afterListing();
        for (const std::u16string& entry : *entries) {
            std::u16string local = Proposal(u"D:\\out\\f.txt", entry);
            int r = Get(u"\\C:\\d\\f.txt\\" + entry, local, move ? FS_COPYFLAGS_MOVE : 0);
            p.results.push_back(r);
            copiedTo[entry] = local;
            if (r == FS_FILE_USERABORT)
                return p;  // the whole operation stops
            if (r != FS_FILE_OK) {
                ++p.prompts;
                allOk = false;
            }
        }
        if (move && allOk) {
            std::u16string folder = u"\\C:\\d\\f.txt";
            p.removedSource = true;
            if (!FsRemoveDirW(folder.data()))
                ++p.prompts;
        }
        return p;
    }

    // F4 on an entry: out to a temporary folder, the editor changes the copy,
    // back in with OVERWRITE, and the copy deleted once the host believes the
    // upload worked. beforeCopyBack runs while the editor is open.
    Played Edit(const std::u16string& entry, const std::function<void()>& beforeCopyBack, std::u16string& temporary)
    {
        Played p;
        const std::u16string remote = u"\\C:\\d\\f.txt\\" + entry;
        temporary = Proposal(u"D:\\tmp", entry);
        int r = Get(remote, temporary, 0);
        p.results.push_back(r);
        if (r != FS_FILE_OK)
            return p;
        winsim::AddFile(temporary, kEdited);
        beforeCopyBack();
        r = FsPutFileW(temporary.data(), std::u16string(remote).data(), FS_COPYFLAGS_OVERWRITE);
        p.results.push_back(r);
        if (r == FS_FILE_OK) {
            winsim::AddFile(temporary, "");  // as good as deleted: the host removes it
            p.deletedTemporary = true;
        }
        return p;
    }

    std::vector<HANDLE> held_;
};

// How many progress reports a keystroke makes when nothing fails.
int CountReports(const std::function<void()>& play)
{
    Host().progress.clear();
    Host().answer = nullptr;
    play();
    return static_cast<int>(Host().progress.size());
}

void AbortAtReport(int n)
{
    Host().answer = [n](const ProgressReport&) { return static_cast<int>(Host().progress.size()) == n ? 1 : 0; };
}

TEST_F(HostSequencesTest, CopyAndMoveOfAFilesFolderToALocalFolder)
{
    const std::map<std::u16string, std::string> original = {
        {u"::$DATA", kFileData},
        {u":s:$DATA", kStreamData},
        {u":big:$DATA", Pattern(9, kBig)},
        {u"::$SECURITY_DESCRIPTOR", Pattern(3, kSecurityDescriptorBytes)},
    };
    std::map<std::u16string, std::u16string> ignored;
    const int reports = CountReports([&] { CopyFileFolderOut(false, ignored); });
    ASSERT_GT(reports, 8);

    struct Row {
        Fault fault;
        int at;  // the report answered with an abort
    };
    std::vector<Row> rows = {{Fault::None, 0}, {Fault::LockedSource, 0}, {Fault::LockedTarget, 0},
                             {Fault::FullDisk, 0}, {Fault::FaultingView, 0}};
    for (int n = 1; n <= reports; ++n)
        rows.push_back({Fault::AbortAt, n});

    for (bool move : {false, true}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(move ? "F6" : "F5") + " with " + FaultName(row.fault) + " " +
                         std::to_string(row.at));
            Renew();
            bool lockSource = false;
            switch (row.fault) {
            case Fault::LockedSource:
                lockSource = true;
                break;
            case Fault::LockedTarget:
                winsim::AddFile(u"D:\\out\\f.txt\\s", kHeldTarget);
                Hold(u"D:\\out\\f.txt\\s");
                break;
            case Fault::FullDisk:
                winsim::SetFreeSpace(u'D', 1024 * 1024);
                break;
            case Fault::AbortAt:
                AbortAtReport(row.at);
                break;
            case Fault::FaultingView:
                winsim::FaultViews(u"C:\\d\\f.txt:big", EXCEPTION_IN_PAGE_ERROR, 700000);
                break;
            case Fault::None:
                break;
            }
            std::map<std::u16string, std::u16string> copiedTo;
            // Another program opens the file after the host listed its folder.
            Played p = CopyFileFolderOut(move, copiedTo, [&] {
                if (lockSource)
                    Hold(u"C:\\d\\f.txt");
            });
            Release();
            Host().answer = nullptr;

            for (const auto& [entry, bytes] : original) {
                std::optional<std::string> source = EntryBytes(entry);
                std::optional<std::string> copy;
                if (copiedTo.count(entry))
                    copy = LocalBytes(copiedTo[entry]);
                EXPECT_TRUE(source == bytes || copy == bytes)
                    << U8(entry) << ": neither the source (" << (source ? source->size() : 0)
                    << " bytes) nor a copy (" << (copy ? copy->size() : 0) << " bytes) holds it whole";
                // A copy that exists is complete, or the held file as it was.
                EXPECT_TRUE(!copy || copy == bytes || copy == kHeldTarget)
                    << U8(entry) << ": an incomplete copy of " << copy->size() << " bytes looks like a file";
            }
            if (row.fault == Fault::None) {
                std::string results;
                for (const auto& [entry, local] : copiedTo)
                    results += " " + U8(entry) + " -> " + U8(local);
                for (int r : p.results)
                    results += " " + std::to_string(r);
                EXPECT_EQ(p.prompts, 0) << "every entry of a file's folder copies, the special ones too:" << results;
                EXPECT_EQ(p.removedSource, move);
                EXPECT_EQ(winsim::Exists(u"C:\\d\\f.txt"), !move);
            }
            if (row.fault != Fault::None) {
                EXPECT_FALSE(p.removedSource) << "a failed or aborted move keeps its source";
            }
        }
    }
}

// Pages written through a view reach the disk lazily: a move whose copy was
// still in the cache when the device went away would have lost both. The
// device is pulled out right after the move.
TEST_F(HostSequencesTest, AMoveDeletesItsSourceOnlyWhenTheCopyIsOnTheDisk)
{
    struct Direction {
        const char* what;
        std::function<int()> move;
        const char16_t* source;
        const char16_t* target;
        WCHAR targetDrive;
        std::string bytes;
    };
    const Direction directions[] = {
        {"F6 of a stream to a local folder",
         [] {
             std::u16string local = u"D:\\out\\big";
             return Get(u"\\C:\\d\\f.txt\\:big:$DATA", local, FS_COPYFLAGS_MOVE);
         },
         u"C:\\d\\f.txt:big", u"D:\\out\\big", u'D', Pattern(9, kBig)},
        {"F6 of a local file into a file's folder",
         [] { return Put(u"D:\\in\\big.bin", u"\\C:\\d\\f.txt\\big.bin", FS_COPYFLAGS_MOVE); },
         u"D:\\in\\big.bin", u"C:\\d\\f.txt:big.bin", u'C', Pattern(7, kBig)},
    };
    const struct {
        const char* fault;  // the call that fails, or none
        DWORD error;
    } faults[] = {{nullptr, 0}, {"FlushViewOfFile", ERROR_WRITE_FAULT}, {"FlushFileBuffers", ERROR_WRITE_FAULT}};
    for (const Direction& d : directions) {
        for (const auto& f : faults) {
            SCOPED_TRACE(std::string(d.what) + " with " + (f.fault ? f.fault : "no failure"));
            Renew();
            if (f.fault)
                winsim::FailCall(f.fault, f.error);
            const int result = d.move();
            winsim::PullOutDevice(d.targetDrive);
            const std::optional<std::string> source = LocalBytes(d.source);
            const std::optional<std::string> target = LocalBytes(d.target);
            EXPECT_TRUE(source == d.bytes || target == d.bytes)
                << "result " << result << ": the source has " << (source ? source->size() : 0)
                << " bytes, the target " << (target ? target->size() : 0);
            EXPECT_EQ(result, f.fault ? FS_FILE_WRITEERROR : FS_FILE_OK);
        }
    }
}

TEST_F(HostSequencesTest, MoveOfAFileWhoseStreamsCannotBeReadKeepsTheFile)
{
    // The listing is the host's only view of what a move must copy: one that
    // looks empty or ends early makes it remove the file after copying less.
    struct Row {
        const char* what;
        std::function<void()> arrange;
    };
    const Row rows[] = {
        {"another program holds it shared for deletion only", [&] { Hold(u"C:\\d\\f.txt", FILE_SHARE_DELETE); }},
        {"the second header read fails", [] { winsim::FailCall("BackupRead", ERROR_CRC, 2); }},
        {"a name read fails", [] { winsim::FailCall("BackupRead", ERROR_CRC, 4); }},
        {"the seek over the data stream fails", [] { winsim::FailCall("BackupSeek", ERROR_CRC, 2); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Renew();
        row.arrange();
        std::map<std::u16string, std::u16string> copiedTo;
        Played p = CopyFileFolderOut(true, copiedTo);
        Release();
        EXPECT_FALSE(p.removedSource) << "the host removed a file whose folder it could not read whole ("
                                      << copiedTo.size() << " entries copied)";
        EXPECT_EQ(winsim::Contents(u"C:\\d\\f.txt"), kFileData);
        EXPECT_EQ(winsim::Contents(u"C:\\d\\f.txt:s"), kStreamData);
        EXPECT_EQ(p.prompts, 1) << "the host reports the folder it could not read";
    }
}

TEST_F(HostSequencesTest, EditOfAStreamComesBackOrStaysInTheTemporaryCopy)
{
    struct Row {
        const char16_t* entry;
        const char16_t* stored;  // where the entry's bytes live
        Fault fault;
        int at;
    };
    std::vector<Row> rows;
    for (const char16_t* entry : {u"::$DATA", u":s:$DATA", u"::$data"}) {
        const char16_t* stored = entry[1] == u's' ? u"C:\\d\\f.txt:s" : u"C:\\d\\f.txt";
        for (Fault f : {Fault::None, Fault::LockedTarget, Fault::FullDisk, Fault::FaultingView})
            rows.push_back({entry, stored, f, 0});
        for (int n = 1; n <= 6; ++n)
            rows.push_back({entry, stored, Fault::AbortAt, n});
    }
    for (const Row& row : rows) {
        SCOPED_TRACE(U8(row.entry) + " with " + FaultName(row.fault) + " " + std::to_string(row.at));
        Renew();
        const std::string before = *winsim::Contents(row.stored);
        std::u16string temporary;
        auto duringEdit = [&] {
            Host().progress.clear();
            switch (row.fault) {
            case Fault::LockedTarget:
                Hold(row.stored);
                break;
            case Fault::FullDisk:
                winsim::SetFreeSpace(u'C', 10);
                break;
            case Fault::AbortAt:
                AbortAtReport(row.at);
                break;
            case Fault::FaultingView:
                winsim::FaultViews(temporary, EXCEPTION_IN_PAGE_ERROR, 0);
                break;
            default:
                break;
            }
        };
        Played p = Edit(row.entry, duringEdit, temporary);
        Release();
        Host().answer = nullptr;
        winsim::SetFreeSpace(u'C', ~0ull);

        ASSERT_FALSE(p.results.empty());
        EXPECT_EQ(p.results[0], FS_FILE_OK) << "the edit's copy out";
        const std::optional<std::string> stored = winsim::Contents(row.stored);
        const std::optional<std::string> kept = p.deletedTemporary ? std::nullopt : LocalBytes(temporary);
        EXPECT_TRUE(stored == kEdited || kept == kEdited)
            << "the edit is lost: the stream holds " << (stored ? stored->size() : 0) << " bytes";
        if (row.fault == Fault::None) {
            EXPECT_EQ(stored, kEdited) << "the edit comes back into the entry it came from";
            EXPECT_FALSE(winsim::Exists(u"C:\\d\\f.txt:$DATA")) << "no stream named \"$DATA\"";
        }
        // Nothing incomplete looks complete: the entry holds the edit or its
        // old bytes (a stream cut short is removed).
        EXPECT_TRUE(stored == kEdited || stored == before || (row.entry[1] == u's' && !stored))
            << "the entry holds " << (stored ? stored->size() : 0) << " bytes of a cut copy";
        if (row.entry[1] == u's') {
            EXPECT_EQ(winsim::Contents(u"C:\\d\\f.txt"), kFileData) << "the file's own data stays";
        } else {
            // Overwriting a file's own data never costs it its streams.
            EXPECT_EQ(winsim::Contents(u"C:\\d\\f.txt:s"), kStreamData) << "the file lost its named stream";
            EXPECT_EQ(winsim::Size(u"C:\\d\\f.txt:big"), kBig);
            EXPECT_FALSE(winsim::Exists(u"C:\\d\\f.txt.~tnw00")) << "the new file outlived the call";
        }
    }
}

TEST_F(HostSequencesTest, CopyAndMoveOfALocalFileIntoAFilesFolder)
{
    const std::string source = Pattern(7, kBig);
    const int reports =
        CountReports([&] { Put(u"D:\\in\\big.bin", u"\\C:\\d\\f.txt\\big.bin", 0); });
    Renew();
    std::vector<std::pair<Fault, int>> rows = {
        {Fault::None, 0}, {Fault::LockedTarget, 0}, {Fault::FullDisk, 0}, {Fault::FaultingView, 0}};
    for (int n = 1; n <= reports; ++n)
        rows.push_back({Fault::AbortAt, n});
    for (bool move : {false, true}) {
        for (const auto& [fault, at] : rows) {
            SCOPED_TRACE(std::string(move ? "F6" : "F5") + " with " + FaultName(fault) + " " + std::to_string(at));
            Renew();
            // An earlier copy of it is there: the host asks, the user overwrites.
            winsim::AddStream(u"C:\\d\\f.txt", u"big.bin", "an earlier copy");
            switch (fault) {
            case Fault::LockedTarget:
                Hold(u"C:\\d\\f.txt:big.bin");
                break;
            case Fault::FullDisk:
                winsim::SetFreeSpace(u'C', 1024 * 1024);
                break;
            case Fault::AbortAt:
                AbortAtReport(at);
                break;
            case Fault::FaultingView:
                winsim::FaultViews(u"D:\\in\\big.bin", EXCEPTION_IN_PAGE_ERROR, 700000);
                break;
            default:
                break;
            }
            int r = Put(u"D:\\in\\big.bin", u"\\C:\\d\\f.txt\\big.bin", move ? FS_COPYFLAGS_MOVE : 0);
            Release();
            Host().answer = nullptr;
            const std::optional<std::string> copy = LocalBytes(u"C:\\d\\f.txt:big.bin");
            const std::optional<std::string> left = LocalBytes(u"D:\\in\\big.bin");
            EXPECT_TRUE(copy == source || left == source) << "result " << r;
            EXPECT_TRUE(!copy || copy == source || copy == "an earlier copy")
                << "a stream of " << copy->size() << " bytes looks like a copy; result " << r;
            if (r == FS_FILE_OK) {
                EXPECT_EQ(copy, source) << "FS_FILE_OK for a copy that is not there";
            }
            if (fault == Fault::None) {
                EXPECT_EQ(r, FS_FILE_OK);
                EXPECT_EQ(left.has_value(), !move);
            }
        }
    }
}

TEST_F(HostSequencesTest, DeleteOfAFilesFolderAsksNothingForItsSpecialEntries)
{
    winsim::SetEaData(u"C:\\d\\f.txt", 40);
    winsim::SetObjectId(u"C:\\d\\f.txt");
    Played p;
    std::vector<std::u16string> entries = ListEntry(u"\\C:\\d\\f.txt").value_or(std::vector<std::u16string>{});
    ASSERT_EQ(entries.size(), 6u);
    for (const std::u16string& entry : entries) {
        std::u16string remote = u"\\C:\\d\\f.txt\\" + entry;
        if (!FsDeleteFileW(remote.data()))
            ++p.prompts;
        EXPECT_TRUE(winsim::Exists(u"C:\\d\\f.txt")) << "deleting " << U8(entry) << " took the file";
    }
    std::u16string folder = u"\\C:\\d\\f.txt";
    EXPECT_EQ(FsRemoveDirW(folder.data()), -1);
    EXPECT_EQ(p.prompts, 0) << "the host asked Retry/Skip for entries that go with their file";
    EXPECT_FALSE(winsim::Exists(u"C:\\d\\f.txt"));
}

// The host's recursion over a plugin folder: it enters every entry whose
// directory bit is set, whatever else its attributes say, and acts on every
// other entry as a file.
struct Recursion {
    int prompts = 0;
    std::vector<std::u16string> copied;  // local targets answered FS_FILE_OK
};

std::vector<std::pair<std::u16string, DWORD>> ListWithAttributes(const std::u16string& folder)
{
    std::vector<std::pair<std::u16string, DWORD>> entries;
    std::u16string p = folder;
    WIN32_FIND_DATAW data{};
    HANDLE h = FsFindFirstW(p.data(), &data);
    if (h == INVALID_HANDLE_VALUE)
        return entries;
    do {
        std::u16string name = data.cFileName;
        if (name != u"." && name != u"..")
            entries.emplace_back(name, data.dwFileAttributes);
    } while (FsFindNextW(h, &data));
    FsFindClose(h);
    return entries;
}

// F8: every entry deleted, deepest first, every folder removed, the folder last.
void HostDelete(const std::u16string& folder, Recursion& r)
{
    for (const auto& [name, attributes] : ListWithAttributes(folder)) {
        std::u16string path = folder + u"\\" + name;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            HostDelete(path, r);
        else if (!FsDeleteFileW(path.data()))
            ++r.prompts;
    }
    std::u16string f = folder;
    if (!FsRemoveDirW(f.data()))
        ++r.prompts;
}

// F5 / F6 to a local folder: a local folder per plugin folder, every entry
// copied; after a move, a folder all of whose entries answered FS_FILE_OK is
// removed. True when everything below answered FS_FILE_OK.
bool HostCopy(const std::u16string& folder, const std::u16string& local, bool move, Recursion& r)
{
    CreateDirectoryW(local.c_str(), nullptr);
    bool allOk = true;
    for (const auto& [name, attributes] : ListWithAttributes(folder)) {
        std::u16string path = folder + u"\\" + name;
        std::u16string target = local + u"\\" + name;
        std::replace(target.begin() + 2, target.end(), u':', u'_');
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            allOk = HostCopy(path, target, move, r) && allOk;
            continue;
        }
        std::vector<WCHAR> buffer(1024, 0);
        std::copy(target.begin(), target.end(), buffer.begin());
        int result = FsGetFileW(path.data(), buffer.data(), move ? FS_COPYFLAGS_MOVE : 0, nullptr);
        if (result == FS_FILE_OK) {
            r.copied.emplace_back(buffer.data());
        } else {
            ++r.prompts;
            allOk = false;
        }
    }
    if (move && allOk) {
        std::u16string f = folder;
        if (!FsRemoveDirW(f.data())) {
            ++r.prompts;
            return false;
        }
    }
    return allOk;
}

TEST_F(HostSequencesTest, NoKeystrokeGoesThroughALink)
{
    // C:\tree holds a file, a junction, a directory symbolic link and a file
    // symbolic link, each leading to D:, where the user's data lives.
    auto arrange = [] {
        winsim::AddFile(u"C:\\tree\\own.txt", "own");
        winsim::AddFile(u"D:\\target\\keep.txt", "keep");
        winsim::AddJunction(u"C:\\tree\\junction", u"D:\\target");
        winsim::AddFile(u"D:\\target2\\keep2.txt", "keep2");
        winsim::AddDirectorySymlink(u"C:\\tree\\dirlink", u"D:\\target2");
        winsim::AddFile(u"D:\\t.txt", "the target's data");
        winsim::AddStream(u"D:\\t.txt", u"s", "the target's stream");
        winsim::AddFileSymlink(u"C:\\tree\\filelink", u"D:\\t.txt");
    };
    auto targetsKept = [] {
        EXPECT_EQ(winsim::Contents(u"D:\\target\\keep.txt"), "keep");
        EXPECT_EQ(winsim::Contents(u"D:\\target2\\keep2.txt"), "keep2");
        EXPECT_EQ(winsim::Contents(u"D:\\t.txt"), "the target's data");
        EXPECT_EQ(winsim::Contents(u"D:\\t.txt:s"), "the target's stream");
    };
    const struct {
        const char* key;
        std::function<void(Recursion&)> play;
        std::function<void(const Recursion&)> check;
    } rows[] = {
        {"F8 of the tree", [](Recursion& r) { HostDelete(u"\\C:\\tree", r); },
         [](const Recursion& r) {
             EXPECT_EQ(r.prompts, 0) << "every link goes as a link";
             EXPECT_FALSE(winsim::Exists(u"C:\\tree"));
         }},
        {"F5 of the tree", [](Recursion& r) { HostCopy(u"\\C:\\tree", u"D:\\out\\tree", false, r); },
         [](const Recursion& r) {
             EXPECT_EQ(r.prompts, 2) << "the two directory links cannot be copied";
             EXPECT_FALSE(winsim::Exists(u"D:\\out\\tree\\junction\\keep.txt"));
             EXPECT_EQ(winsim::Contents(u"D:\\out\\tree\\own.txt\\own.txt"), "own");
         }},
        {"F6 of the tree", [](Recursion& r) { HostCopy(u"\\C:\\tree", u"D:\\out\\tree", true, r); },
         [](const Recursion& r) {
             EXPECT_EQ(r.prompts, 2);
             EXPECT_TRUE(winsim::Exists(u"C:\\tree\\junction")) << "a move keeps the link it could not copy";
             EXPECT_TRUE(winsim::Exists(u"C:\\tree")) << "and the folder that holds it";
         }},
        {"F8 of the junction alone",
         [](Recursion& r) {
             std::u16string link = u"\\C:\\tree\\junction";
             r.prompts += !FsDeleteFileW(link.data());
         },
         [](const Recursion& r) {
             EXPECT_EQ(r.prompts, 0);
             EXPECT_FALSE(winsim::Exists(u"C:\\tree\\junction")) << "the link itself is removed";
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.key);
        Renew();
        arrange();
        Recursion r;
        row.play(r);
        row.check(r);
        targetsKept();
    }

    // Enter on a link to a directory takes the user to its target.
    Renew();
    arrange();
    for (const char16_t* link : {u"\\C:\\tree\\junction", u"\\C:\\tree\\dirlink"}) {
        std::vector<WCHAR> remote(MAX_PATH, 0);
        std::u16string l = link;
        std::copy(l.begin(), l.end(), remote.begin());
        std::u16string verb = u"open";
        EXPECT_EQ(FsExecuteFileW(winsim::MainWindow(), remote.data(), verb.data()), FS_EXEC_SYMLINK) << U8(link);
        EXPECT_EQ(std::u16string(remote.data()), l == u"\\C:\\tree\\junction" ? u"\\D:\\target" : u"\\D:\\target2");
    }
    // The listing shows them as files with their reparse bit, and the file
    // link as a folder of its own streams.
    const auto entries = ListWithAttributes(u"\\C:\\tree");
    std::map<std::u16string, DWORD> shown(entries.begin(), entries.end());
    EXPECT_EQ(shown[u"junction"] & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
              static_cast<DWORD>(FILE_ATTRIBUTE_REPARSE_POINT));
    EXPECT_EQ(shown[u"dirlink"] & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
              static_cast<DWORD>(FILE_ATTRIBUTE_REPARSE_POINT));
    EXPECT_TRUE(shown[u"filelink"] & FILE_ATTRIBUTE_DIRECTORY);
    std::vector<std::u16string> own;
    for (const auto& [name, attributes] : ListWithAttributes(u"\\C:\\tree\\filelink"))
        own.push_back(name);
    EXPECT_NE(std::find(own.begin(), own.end(), u"::$REPARSE_DATA"), own.end()) << "the link's own streams";
    EXPECT_EQ(std::find(own.begin(), own.end(), u":s:$DATA"), own.end()) << "never the target's";
}

// The host's FsStatusInfo around one keystroke, on this thread.
class HostOperationScope {
public:
    HostOperationScope(const char16_t* remoteDir, int operation) : dir_(remoteDir), operation_(operation)
    {
        FsStatusInfoW(dir_.data(), FS_STATUS_START, operation_);
    }
    ~HostOperationScope() { FsStatusInfoW(dir_.data(), FS_STATUS_END, operation_); }

private:
    std::u16string dir_;
    int operation_;
};

TEST_F(HostSequencesTest, AFileMovedOrDeletedFromTheFolderAboveGoesWholeOrNotAtAll)
{
    const struct Row {
        const char* what;
        const char16_t* standIn;  // the host's RemoteDir
        int operation;
        bool move;                // F6 to D:\out; else F8
        std::function<void()> arrange;
        std::function<void()> duringMove;  // after the listing
        bool fileGoes;
        int messages;
    } rows[] = {
        {"F8 of a file another program holds", u"\\C:\\d", FS_STATUS_OP_DELETE, false,
         [this] { Hold(u"C:\\d\\f.txt", FILE_SHARE_READ | FILE_SHARE_WRITE); }, [] {}, false, 0},
        {"F8 of a file", u"\\C:\\d", FS_STATUS_OP_DELETE, false, [] {}, [] {}, true, 0},
        {"F6 of a file", u"\\C:\\d", FS_STATUS_OP_GET_MULTI, true, [] {}, [] {}, true, 0},
        {"F6 of a file whose named streams a filter hides", u"\\C:\\d", FS_STATUS_OP_GET_MULTI, true,
         [] {
             TStreamIds shown;
             shown.Add(TStreamId::siStandard);
             SetStreamFilter(shown);
         },
         [] {}, false, 1},
        {"F6 of a file whose data stream a filter hides", u"\\C:\\d", FS_STATUS_OP_GET_MULTI, true,
         [] {
             TStreamIds shown;
             shown.Add(TStreamId::siAlternate);
             SetStreamFilter(shown);
         },
         [] {}, false, 1},
        {"F6 of a file that gains a stream during the move", u"\\C:\\d", FS_STATUS_OP_GET_MULTI, true,
         [] {}, [] { winsim::AddStream(u"C:\\d\\f.txt", u"late", "written meanwhile"); },
         false, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Renew();
        row.arrange();
        Host().messages.clear();
        std::map<std::u16string, std::u16string> copiedTo;
        {
            HostOperationScope op(row.standIn, row.operation);
            if (row.move) {
                CopyFileFolderOut(true, copiedTo, row.duringMove);
            } else {
                Recursion r;
                HostDelete(u"\\C:\\d\\f.txt", r);
            }
        }
        Release();
        SetStreamFilter(TStreamIds{});
        EXPECT_EQ(winsim::Exists(u"C:\\d\\f.txt"), !row.fileGoes);
        if (!row.fileGoes) {
            EXPECT_EQ(winsim::Contents(u"C:\\d\\f.txt"), kFileData);
            EXPECT_EQ(winsim::Contents(u"C:\\d\\f.txt:s"), kStreamData) << "the file kept, but not its streams";
            EXPECT_EQ(winsim::Size(u"C:\\d\\f.txt:big"), kBig);
        }
        EXPECT_EQ(static_cast<int>(Host().messages.size()), row.messages);
    }

    // Standing in the file's folder, F8 and F6 act on the chosen streams.
    Renew();
    {
        HostOperationScope op(u"\\C:\\d\\f.txt\\", FS_STATUS_OP_DELETE);
        std::u16string stream = u"\\C:\\d\\f.txt\\:s:$DATA";
        EXPECT_EQ(FsDeleteFileW(stream.data()), kPluginTrue);
    }
    EXPECT_FALSE(winsim::Exists(u"C:\\d\\f.txt:s"));
    {
        HostOperationScope op(u"\\C:\\d\\f.txt", FS_STATUS_OP_GET_SINGLE);
        std::u16string local = u"D:\\out\\big";
        EXPECT_EQ(Get(u"\\C:\\d\\f.txt\\:big:$DATA", local, FS_COPYFLAGS_MOVE), FS_FILE_OK);
    }
    EXPECT_FALSE(winsim::Exists(u"C:\\d\\f.txt:big"));
    EXPECT_EQ(winsim::Size(u"D:\\out\\big"), kBig);
}

// Streams belong to the file, not to a name: a keystroke on one name of a
// file with two never costs the other name its data or its streams.
TEST_F(HostSequencesTest, AFileWithTwoNamesKeepsTheOtherWhole)
{
    const struct {
        const char* key;
        std::function<void()> play;
    } rows[] = {
        {"F8 of one name",
         [] {
             HostOperationScope op(u"\\C:\\d", FS_STATUS_OP_DELETE);
             Recursion r;
             HostDelete(u"\\C:\\d\\f.txt", r);
             EXPECT_EQ(r.prompts, 0);
         }},
        {"F6 of one name",
         [this] {
             HostOperationScope op(u"\\C:\\d", FS_STATUS_OP_GET_MULTI);
             std::map<std::u16string, std::u16string> copiedTo;
             Played p = CopyFileFolderOut(true, copiedTo);
             EXPECT_EQ(p.prompts, 0);
         }},
        {"F4 on the file's own data",
         [this] {
             std::u16string temporary;
             Played p = Edit(u"::$DATA", [] {}, temporary);
             EXPECT_EQ(winsim::Contents(u"C:\\d\\f.txt"), kEdited);
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.key);
        Renew();
        winsim::AddDirectory(u"C:\\e");
        winsim::AddHardLink(u"C:\\e\\other.txt", u"C:\\d\\f.txt");
        row.play();
        const std::optional<std::string> data = winsim::Contents(u"C:\\e\\other.txt");
        EXPECT_TRUE(data == kFileData || data == kEdited) << "the other name's data";
        if (winsim::Exists(u"C:\\d\\f.txt")) {
            EXPECT_EQ(winsim::Contents(u"C:\\d\\f.txt"), data) << "the two names were split";
        }
        EXPECT_EQ(winsim::Contents(u"C:\\e\\other.txt:s"), kStreamData) << "the other name lost the streams";
        EXPECT_EQ(winsim::Size(u"C:\\e\\other.txt:big"), kBig);
    }
}

TEST_F(HostSequencesTest, AnOperationShowsItsFirstFailureOnly)
{
    for (int i = 0; i < 5; ++i)
        winsim::AddFile(u"C:\\many\\f" + std::u16string(1, char16_t(u'0' + i)) + u".txt", "data");
    winsim::FailAlways("CreateFileMappingW", ERROR_NOT_ENOUGH_MEMORY);
    for (bool withOperation : {false, true}) {
        SCOPED_TRACE(withOperation ? "within FsStatusInfo" : "without FsStatusInfo");
        Host().messages.clear();
        std::optional<HostOperationScope> op;
        if (withOperation)
            op.emplace(u"\\C:", FS_STATUS_OP_GET_MULTI);
        Recursion r;
        HostCopy(u"\\C:\\many", withOperation ? u"D:\\out\\many2" : u"D:\\out\\many1", false, r);
        op.reset();
        EXPECT_EQ(r.prompts, 5) << "every failure is still answered as one";
        EXPECT_EQ(Host().messages.size(), withOperation ? 1u : 5u);
    }
}

TEST_F(HostSequencesTest, MoveBetweenTwoPanelsOfThePluginKeepsTheSource)
{
    // The host moves the entry, and removes the source once told FS_FILE_OK.
    for (const char16_t* from : {u"\\C:\\d\\f.txt", u"\\C:\\d\\f.txt\\:s:$DATA"}) {
        SCOPED_TRACE(U8(from));
        std::u16string a = from, b = u"\\C:\\e\\f.txt";
        int r = FsRenMovFileW(a.data(), b.data(), TRUE, FALSE, nullptr);
        EXPECT_EQ(r, FS_FILE_NOTSUPPORTED);
        if (r == FS_FILE_OK)
            FsRemoveDirW(a.data());
        EXPECT_EQ(winsim::Contents(u"C:\\d\\f.txt"), kFileData);
        EXPECT_EQ(winsim::Contents(u"C:\\d\\f.txt:s"), kStreamData);
    }
}

}  // namespace
