// The platform behaviours the plugin relies on, as tables of cases. The same
// source runs against winsim (natively) and against Wine's Win32 (built with
// MinGW, run under wine). Windows decides what is right: every row states what
// Windows does. Where Wine is known to answer otherwise, the row also states
// Wine's answer and the reason, in the manner of Wine's own todo_wine: under
// Wine the row then expects Wine's answer, and fails if Wine starts to behave
// as Windows, so that the mark is removed rather than forgotten.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/conformance/scratch.h"

namespace {

using conformance::OnWine;
using conformance::WString;

constexpr DWORD kUntouched = 0xdeadbeef;

std::string Narrow(const WString& text)
{
    std::string result;
    for (WCHAR c : text)
        result += (c < 0x80) ? static_cast<char>(c) : '?';
    return result;
}

// The reasons of the known differences that several rows share.
constexpr const char* kWineReadOnlyAsRoot =
    "Wine keeps the read-only attribute as the file's Unix mode, and the tests run as root, whom Unix "
    "permissions do not stop";
constexpr const char* kWineAlwaysArchive =
    "Wine derives a file's attributes from its Unix mode and reports every file as ARCHIVE; NORMAL alone is "
    "never read back";
constexpr const char* kWineFileAsFolder =
    "Wine resolves the name in the Unix file system, where \"file/\" is not a directory (path not found); "
    "NTFS refuses the name";

// What a call did: whether it succeeded and the thread's last error after it
// (kUntouched when the call left the error alone).
struct Outcome {
    bool ok;
    DWORD error;
    bool operator==(const Outcome& other) const { return ok == other.ok && error == other.error; }
};

std::ostream& operator<<(std::ostream& out, const Outcome& o)
{
    out << (o.ok ? "success" : "failure") << ", last error ";
    if (o.error == kUntouched)
        return out << "untouched";
    return out << o.error;
}

Outcome Success(DWORD error = 0)
{
    return {true, error};
}

Outcome Failure(DWORD error)
{
    return {false, error};
}

// A known difference of Wine from Windows.
struct WineDiffers {
    Outcome wine;
    const char* reason;
};

// Checks one row: Windows' outcome, or under Wine the marked Wine outcome.
void ExpectOutcome(const std::string& what, const Outcome& actual, const Outcome& windows,
                   const std::optional<WineDiffers>& wine = std::nullopt)
{
    if (OnWine() && wine) {
        EXPECT_NE(actual, windows) << what << ": Wine now answers as Windows (" << windows
                                   << "); remove the known difference \"" << wine->reason << "\"";
        EXPECT_EQ(actual, wine->wine) << what << ": known Wine difference (" << wine->reason
                                      << "), Windows: " << windows;
        if (actual == wine->wine)
            std::cout << "[ known Wine difference ] " << what << ": " << wine->reason << "\n";
        return;
    }
    EXPECT_EQ(actual, windows) << what << " on " << conformance::PlatformName();
}

class Conformance : public ::testing::Test {
protected:
    void SetUp() override { folder_ = conformance::FreshScratchFolder(); }

    WString Path(const WString& name) const { return folder_ + TEXT("\\") + name; }

    // A file with the given bytes, written through CreateFileW and WriteFile.
    void MakeFile(const WString& path, const std::string& contents = "data")
    {
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << "making " << Narrow(path) << ": error " << GetLastError();
        DWORD written = 0;
        EXPECT_TRUE(WriteFile(h, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr));
        EXPECT_EQ(written, contents.size());
        CloseHandle(h);
    }

    void MakeDirectory(const WString& path)
    {
        ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << Narrow(path) << ": error " << GetLastError();
    }

    // Opens with the given arguments; keeps the handle for closing at the end.
    Outcome Open(const WString& path, DWORD access, DWORD share, DWORD disposition, DWORD flags = 0)
    {
        SetLastError(kUntouched);
        HANDLE h = CreateFileW(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
        DWORD error = GetLastError();
        if (h == INVALID_HANDLE_VALUE)
            return Failure(error);
        open_.push_back(h);
        return Success(error);
    }

    void CloseAll()
    {
        for (HANDLE h : open_)
            CloseHandle(h);
        open_.clear();
    }

    void TearDown() override { CloseAll(); }

    std::string SizeOf(const WString& path)
    {
        HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return "missing";
        LARGE_INTEGER size{};
        GetFileSizeEx(h, &size);
        CloseHandle(h);
        return std::to_string(size.QuadPart);
    }

    std::string Contents(const WString& path)
    {
        HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return "missing";
        char buffer[256];
        DWORD got = 0;
        ReadFile(h, buffer, sizeof buffer, &got, nullptr);
        CloseHandle(h);
        return std::string(buffer, got);
    }

    WString folder_;
    std::vector<HANDLE> open_;
};

// ------------------------------------------------------------------ CreateFileW

TEST_F(Conformance, CreateFileDispositions)
{
    struct Row {
        const char* name;
        DWORD disposition;
        bool exists;
        Outcome windows;
        const char* sizeAfter;  // of the 4-byte file, "missing" when none
    };
    const Row rows[] = {
        {"CREATE_NEW, missing", CREATE_NEW, false, Success(0), "0"},
        {"CREATE_NEW, existing", CREATE_NEW, true, Failure(ERROR_FILE_EXISTS), "4"},
        {"CREATE_ALWAYS, missing", CREATE_ALWAYS, false, Success(0), "0"},
        {"CREATE_ALWAYS, existing (truncates)", CREATE_ALWAYS, true, Success(ERROR_ALREADY_EXISTS), "0"},
        {"OPEN_EXISTING, missing", OPEN_EXISTING, false, Failure(ERROR_FILE_NOT_FOUND), "missing"},
        {"OPEN_EXISTING, existing", OPEN_EXISTING, true, Success(0), "4"},
        {"OPEN_ALWAYS, missing", OPEN_ALWAYS, false, Success(0), "0"},
        {"OPEN_ALWAYS, existing", OPEN_ALWAYS, true, Success(ERROR_ALREADY_EXISTS), "4"},
        {"TRUNCATE_EXISTING, missing", TRUNCATE_EXISTING, false, Failure(ERROR_FILE_NOT_FOUND), "missing"},
        {"TRUNCATE_EXISTING, existing", TRUNCATE_EXISTING, true, Success(0), "0"},
        {"disposition 0", 0, true, Failure(ERROR_INVALID_PARAMETER), "4"},
        {"disposition 6", 6, true, Failure(ERROR_INVALID_PARAMETER), "4"},
    };
    int n = 0;
    for (const Row& row : rows) {
        WString path = Path(TEXT("file") + WString(1, static_cast<WCHAR>('a' + n++)));
        if (row.exists)
            MakeFile(path, "four");
        ExpectOutcome(row.name, Open(path, GENERIC_READ | GENERIC_WRITE, 0, row.disposition), row.windows);
        CloseAll();
        EXPECT_EQ(SizeOf(path), row.sizeAfter) << row.name;
    }
}

TEST_F(Conformance, CreateFileErrorCodes)
{
    MakeFile(Path(TEXT("plain")));
    MakeFile(Path(TEXT("readonly")));
    ASSERT_TRUE(SetFileAttributesW(Path(TEXT("readonly")).c_str(), FILE_ATTRIBUTE_READONLY));
    MakeDirectory(Path(TEXT("dir")));
    struct Row {
        const char* name;
        WString path;
        DWORD access;
        DWORD disposition;
        DWORD flags;
        Outcome windows;
        std::optional<WineDiffers> wine;
    };
    const Row rows[] = {
        {"a file in a missing folder", Path(TEXT("nodir\\file")), GENERIC_READ, OPEN_EXISTING, 0,
         Failure(ERROR_PATH_NOT_FOUND), std::nullopt},
        {"creating in a missing folder", Path(TEXT("nodir\\file")), GENERIC_WRITE, CREATE_NEW, 0,
         Failure(ERROR_PATH_NOT_FOUND), std::nullopt},
        {"a file below a file", Path(TEXT("plain\\file")), GENERIC_READ, OPEN_EXISTING, 0,
         Failure(ERROR_PATH_NOT_FOUND), std::nullopt},
        {"writing a read-only file", Path(TEXT("readonly")), GENERIC_WRITE, OPEN_EXISTING, 0,
         Failure(ERROR_ACCESS_DENIED), WineDiffers{Success(0), kWineReadOnlyAsRoot}},
        {"reading a read-only file", Path(TEXT("readonly")), GENERIC_READ, OPEN_EXISTING, 0, Success(0),
         std::nullopt},
        {"overwriting a read-only file", Path(TEXT("readonly")), GENERIC_READ, CREATE_ALWAYS, 0,
         Failure(ERROR_ACCESS_DENIED), WineDiffers{Success(ERROR_ALREADY_EXISTS), kWineReadOnlyAsRoot}},
        {"a directory without backup semantics", Path(TEXT("dir")), GENERIC_READ, OPEN_EXISTING, 0,
         Failure(ERROR_ACCESS_DENIED), std::nullopt},
        {"a directory with backup semantics", Path(TEXT("dir")), GENERIC_READ, OPEN_EXISTING,
         FILE_FLAG_BACKUP_SEMANTICS, Success(0), std::nullopt},
        {"creating over a directory", Path(TEXT("dir")), GENERIC_WRITE, CREATE_NEW, FILE_FLAG_BACKUP_SEMANTICS,
         Failure(ERROR_FILE_EXISTS), std::nullopt},
        {"a file with a trailing backslash", Path(TEXT("plain\\")), GENERIC_READ, OPEN_EXISTING, 0,
         Failure(ERROR_INVALID_NAME), std::nullopt},
        {"only the right to query", Path(TEXT("plain")), 0, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, Success(0),
         std::nullopt},
    };
    for (const Row& row : rows) {
        ExpectOutcome(row.name, Open(row.path, row.access, FILE_SHARE_READ, row.disposition, row.flags), row.windows,
                      row.wine);
        CloseAll();
    }
    SetFileAttributesW(Path(TEXT("readonly")).c_str(), FILE_ATTRIBUTE_NORMAL);
}

// The sharing matrix: a second open of a file meets the first. An open with
// read, write or delete access must be allowed by every earlier open's share
// mode, and its own share mode must allow every earlier open's access. An open
// with none of these accesses (only the right to query) takes part in neither.
TEST_F(Conformance, ShareModes)
{
    const DWORD accesses[] = {0, GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE, DELETE};
    const DWORD shares[] = {0, FILE_SHARE_READ, FILE_SHARE_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            FILE_SHARE_DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE};
    auto reads = [](DWORD a) { return (a & GENERIC_READ) != 0; };
    auto writes = [](DWORD a) { return (a & GENERIC_WRITE) != 0; };
    auto deletes = [](DWORD a) { return (a & DELETE) != 0; };
    auto conflict = [&](DWORD a1, DWORD s1, DWORD a2, DWORD s2) {
        return (reads(a2) && !(s1 & FILE_SHARE_READ)) || (writes(a2) && !(s1 & FILE_SHARE_WRITE)) ||
               (deletes(a2) && !(s1 & FILE_SHARE_DELETE)) || (reads(a1) && !(s2 & FILE_SHARE_READ)) ||
               (writes(a1) && !(s2 & FILE_SHARE_WRITE)) || (deletes(a1) && !(s2 & FILE_SHARE_DELETE));
    };
    const WString path = Path(TEXT("shared"));
    MakeFile(path);
    int failures = 0;
    for (DWORD a1 : accesses)
        for (DWORD s1 : shares)
            for (DWORD a2 : accesses)
                for (DWORD s2 : shares) {
                    Outcome first = Open(path, a1, s1, OPEN_EXISTING);
                    ASSERT_TRUE(first.ok) << "first open " << a1 << "/" << s1 << ": " << first;
                    Outcome second = Open(path, a2, s2, OPEN_EXISTING);
                    CloseAll();
                    bool windowsConflict = conflict(a1, s1, a2, s2);
                    // Query-only opens: Windows records no share access for them.
                    bool queryOnly = (a1 == 0 || a2 == 0);
                    std::optional<WineDiffers> wine;
                    Outcome expected = windowsConflict && !queryOnly ? Failure(ERROR_SHARING_VIOLATION) : Success(0);
                    std::string what = "access " + std::to_string(a1) + " share " + std::to_string(s1) +
                                       ", then access " + std::to_string(a2) + " share " + std::to_string(s2);
                    ExpectOutcome(what, second, expected, wine);
                    if (!(second == expected) && ++failures > 20) {
                        FAIL() << "too many differences; stopping";
                    }
                }
}

// ------------------------------------------------------------------ attributes

TEST_F(Conformance, AttributesRead)
{
    MakeFile(Path(TEXT("file")));
    MakeDirectory(Path(TEXT("dir")));
    MakeFile(Path(TEXT("hidden")));
    ASSERT_TRUE(SetFileAttributesW(Path(TEXT("hidden")).c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
    MakeFile(Path(TEXT("normal")));
    ASSERT_TRUE(SetFileAttributesW(Path(TEXT("normal")).c_str(), FILE_ATTRIBUTE_NORMAL));
    struct Row {
        const char* name;
        WString path;
        DWORD windows;      // the attributes, or INVALID_FILE_ATTRIBUTES
        DWORD windowsError; // the last error: kUntouched on success
        std::optional<WineDiffers> wine;
    };
    const Row rows[] = {
        {"a new file", Path(TEXT("file")), FILE_ATTRIBUTE_ARCHIVE, kUntouched, std::nullopt},
        {"a directory", Path(TEXT("dir")), FILE_ATTRIBUTE_DIRECTORY, kUntouched, std::nullopt},
        {"a directory with a trailing backslash", Path(TEXT("dir\\")), FILE_ATTRIBUTE_DIRECTORY, kUntouched,
         std::nullopt},
        {"hidden and read-only", Path(TEXT("hidden")), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY, kUntouched,
         WineDiffers{Success(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE),
                     kWineAlwaysArchive}},
        {"set to NORMAL", Path(TEXT("normal")), FILE_ATTRIBUTE_NORMAL, kUntouched,
         WineDiffers{Success(FILE_ATTRIBUTE_ARCHIVE), kWineAlwaysArchive}},
        {"a drive root", TEXT("C:\\"), FILE_ATTRIBUTE_DIRECTORY, kUntouched, std::nullopt},
        {"a drive root through \\\\?\\", TEXT("\\\\?\\C:\\"), FILE_ATTRIBUTE_DIRECTORY, kUntouched, std::nullopt},
        {"a missing file", Path(TEXT("missing")), INVALID_FILE_ATTRIBUTES, ERROR_FILE_NOT_FOUND, std::nullopt},
        {"a file in a missing folder", Path(TEXT("nodir\\file")), INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND,
         std::nullopt},
        {"a file with a trailing backslash", Path(TEXT("file\\")), INVALID_FILE_ATTRIBUTES, ERROR_INVALID_NAME,
         WineDiffers{Failure(ERROR_PATH_NOT_FOUND), kWineFileAsFolder}},
    };
    for (const Row& row : rows) {
        SetLastError(kUntouched);
        DWORD attributes = GetFileAttributesW(row.path.c_str());
        DWORD error = GetLastError();
        // The root's other bits (hidden, system) vary with the volume: only the
        // directory bit is compared there.
        if (row.windows == FILE_ATTRIBUTE_DIRECTORY && attributes != INVALID_FILE_ATTRIBUTES)
            attributes &= FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY;
        if (row.path.size() <= 7 && attributes != INVALID_FILE_ATTRIBUTES)
            attributes &= FILE_ATTRIBUTE_DIRECTORY;
        Outcome actual{attributes != INVALID_FILE_ATTRIBUTES, attributes != INVALID_FILE_ATTRIBUTES ? attributes : error};
        Outcome windows{row.windows != INVALID_FILE_ATTRIBUTES,
                        row.windows != INVALID_FILE_ATTRIBUTES ? row.windows : row.windowsError};
        ExpectOutcome(std::string(row.name) + " (attributes or error)", actual, windows, row.wine);
        if (attributes != INVALID_FILE_ATTRIBUTES) {
            EXPECT_EQ(error, kUntouched) << row.name << ": a success leaves the last error alone";
        }
    }
    SetFileAttributesW(Path(TEXT("hidden")).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Conformance, AttributesSet)
{
    MakeFile(Path(TEXT("file")));
    MakeDirectory(Path(TEXT("dir")));
    struct Row {
        const char* name;
        WString path;
        DWORD set;
        Outcome windows;
        DWORD after;  // what GetFileAttributesW reads afterwards
        std::optional<WineDiffers> wine;  // Wine's reading afterwards
    };
    const Row rows[] = {
        {"read-only on a file", Path(TEXT("file")), FILE_ATTRIBUTE_READONLY, Success(kUntouched),
         FILE_ATTRIBUTE_READONLY, WineDiffers{Success(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE),
                                              kWineAlwaysArchive}},
        {"NORMAL on a file", Path(TEXT("file")), FILE_ATTRIBUTE_NORMAL, Success(kUntouched), FILE_ATTRIBUTE_NORMAL,
         WineDiffers{Success(FILE_ATTRIBUTE_ARCHIVE), kWineAlwaysArchive}},
        {"hidden, system, archive", Path(TEXT("file")),
         FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE, Success(kUntouched),
         FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE, std::nullopt},
        {"the directory bit on a file is refused", Path(TEXT("file")),
         FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE, Failure(ERROR_INVALID_PARAMETER),
         FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE, std::nullopt},
        {"NORMAL on a directory", Path(TEXT("dir")), FILE_ATTRIBUTE_NORMAL, Success(kUntouched),
         FILE_ATTRIBUTE_DIRECTORY, std::nullopt},
        {"hidden on a directory", Path(TEXT("dir")), FILE_ATTRIBUTE_HIDDEN, Success(kUntouched),
         FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN, std::nullopt},
        {"a missing file", Path(TEXT("missing")), FILE_ATTRIBUTE_NORMAL, Failure(ERROR_FILE_NOT_FOUND),
         INVALID_FILE_ATTRIBUTES, std::nullopt},
        {"a file in a missing folder", Path(TEXT("nodir\\x")), FILE_ATTRIBUTE_NORMAL, Failure(ERROR_PATH_NOT_FOUND),
         INVALID_FILE_ATTRIBUTES, std::nullopt},
    };
    for (const Row& row : rows) {
        SetLastError(kUntouched);
        BOOL ok = SetFileAttributesW(row.path.c_str(), row.set);
        std::optional<WineDiffers> wineCall;
        if (row.set & FILE_ATTRIBUTE_DIRECTORY) {
            wineCall = WineDiffers{Success(kUntouched), "Wine drops the directory bit on a file without a word"};
        }
        ExpectOutcome(row.name, Outcome{ok != FALSE, GetLastError()}, row.windows, wineCall);
        if (row.set & FILE_ATTRIBUTE_DIRECTORY) {
            // Wine went on to set the other bits: the next row starts from there.
            SetFileAttributesW(row.path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
        }
        DWORD after = GetFileAttributesW(row.path.c_str());
        ExpectOutcome(std::string(row.name) + ", read back", Outcome{after != INVALID_FILE_ATTRIBUTES, after},
                      Outcome{row.after != INVALID_FILE_ATTRIBUTES, row.after}, row.wine);
    }
    SetFileAttributesW(Path(TEXT("file")).c_str(), FILE_ATTRIBUTE_NORMAL);
}

// ------------------------------------------------------------------ CreateDirectoryW

TEST_F(Conformance, DirectoryCreation)
{
    MakeDirectory(Path(TEXT("dir")));
    MakeFile(Path(TEXT("file")));
    struct Row {
        const char* name;
        WString path;
        Outcome windows;
        std::optional<WineDiffers> wine;
    };
    const Row rows[] = {
        {"a new directory", Path(TEXT("new")), Success(kUntouched), std::nullopt},
        {"a new directory with a trailing backslash", Path(TEXT("new2\\")), Success(kUntouched), std::nullopt},
        {"an existing directory", Path(TEXT("dir")), Failure(ERROR_ALREADY_EXISTS), std::nullopt},
        {"the name of an existing file", Path(TEXT("file")), Failure(ERROR_ALREADY_EXISTS), std::nullopt},
        {"in a missing folder", Path(TEXT("nodir\\new")), Failure(ERROR_PATH_NOT_FOUND), std::nullopt},
        {"below a file", Path(TEXT("file\\new")), Failure(ERROR_PATH_NOT_FOUND), std::nullopt},
        {"an existing directory through \\\\?\\", TEXT("\\\\?\\") + Path(TEXT("dir")),
         Failure(ERROR_ALREADY_EXISTS), std::nullopt},
        {"a drive root", TEXT("C:\\"), Failure(ERROR_ACCESS_DENIED),
         WineDiffers{Failure(ERROR_ALREADY_EXISTS),
                     "Wine finds the root's directory and answers as for any existing directory; Windows refuses "
                     "to create a root (older versions of Windows also answered 183)"}},
    };
    for (const Row& row : rows) {
        SetLastError(kUntouched);
        BOOL ok = CreateDirectoryW(row.path.c_str(), nullptr);
        ExpectOutcome(row.name, Outcome{ok != FALSE, GetLastError()}, row.windows, row.wine);
    }
}

// ------------------------------------------------------------------ FindFirstFileW

TEST_F(Conformance, FindFirstFileDotEntries)
{
    MakeDirectory(Path(TEXT("dir")));
    MakeFile(Path(TEXT("dir\\b.txt")));
    MakeFile(Path(TEXT("dir\\a.txt")));
    MakeDirectory(Path(TEXT("dir\\sub")));
    MakeDirectory(Path(TEXT("empty")));
    struct Row {
        const char* name;
        WString pattern;
        std::vector<std::string> windows;  // names in order; empty: FindFirstFileW fails
        DWORD error;                       // the failure's error, or the end's (18)
    };
    const Row rows[] = {
        {"a directory's entries", Path(TEXT("dir\\*")), {".", "..", "a.txt", "b.txt", "sub"}, ERROR_NO_MORE_FILES},
        {"*.* matches names without a dot", Path(TEXT("dir\\*.*")), {".", "..", "a.txt", "b.txt", "sub"},
         ERROR_NO_MORE_FILES},
        {"an empty directory", Path(TEXT("empty\\*")), {".", ".."}, ERROR_NO_MORE_FILES},
        {"the directory itself", Path(TEXT("dir")), {"dir"}, ERROR_NO_MORE_FILES},
        {"a pattern without a match", Path(TEXT("dir\\x*")), {}, ERROR_FILE_NOT_FOUND},
        {"a missing directory", Path(TEXT("nodir\\*")), {}, ERROR_PATH_NOT_FOUND},
        {"through \\\\?\\", TEXT("\\\\?\\") + Path(TEXT("dir\\*")), {".", "..", "a.txt", "b.txt", "sub"},
         ERROR_NO_MORE_FILES},
    };
    for (const Row& row : rows) {
        WIN32_FIND_DATAW data{};
        SetLastError(kUntouched);
        HANDLE h = FindFirstFileW(row.pattern.c_str(), &data);
        std::vector<std::string> names;
        DWORD error = GetLastError();
        if (h != INVALID_HANDLE_VALUE) {
            do {
                names.push_back(Narrow(data.cFileName));
                SetLastError(kUntouched);
            } while (FindNextFileW(h, &data));
            error = GetLastError();
            FindClose(h);
        }
        EXPECT_EQ(names, row.windows) << row.name;
        EXPECT_EQ(error, row.error) << row.name;
    }
}

TEST_F(Conformance, FindFirstFileInDriveRootHasNoDotEntries)
{
    WIN32_FIND_DATAW data{};
    HANDLE h = FindFirstFileW(TEXT("C:\\*"), &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    bool scratchSeen = false;
    do {
        std::string name = Narrow(data.cFileName);
        EXPECT_NE(name, ".");
        EXPECT_NE(name, "..");
        scratchSeen = scratchSeen || name == "scratch";
    } while (FindNextFileW(h, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    FindClose(h);
    EXPECT_TRUE(scratchSeen);
}

TEST_F(Conformance, FindDataOfAFile)
{
    MakeFile(Path(TEXT("five")), "12345");
    ASSERT_TRUE(SetFileAttributesW(Path(TEXT("five")).c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    WIN32_FIND_DATAW data{};
    HANDLE h = FindFirstFileW(Path(TEXT("five")).c_str(), &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FindClose(h);
    EXPECT_EQ(data.nFileSizeLow, 5u);
    EXPECT_EQ(data.nFileSizeHigh, 0u);
    EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_NE(data.ftLastWriteTime.dwHighDateTime, 0u) << "a new file has a write time";
}

// ------------------------------------------------------------------ GetFileSize

TEST_F(Conformance, FileSize)
{
    struct Row {
        const char* name;
        std::string contents;
        DWORD low;
    };
    const Row rows[] = {
        {"an empty file", "", 0},
        {"five bytes", "12345", 5},
        {"64 KiB and one byte", std::string(65537, 'x'), 65537},
    };
    for (const Row& row : rows) {
        WString path = Path(TEXT("sized"));
        MakeFile(path, row.contents);
        HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD high = 0xffff;
        SetLastError(kUntouched);
        DWORD low = GetFileSize(h, &high);
        EXPECT_EQ(GetLastError(), kUntouched) << row.name << ": a success leaves the last error alone";
        EXPECT_EQ(low, row.low) << row.name;
        EXPECT_EQ(high, 0u) << row.name;
        CloseHandle(h);
    }
    SetLastError(kUntouched);
    EXPECT_EQ(GetFileSize(INVALID_HANDLE_VALUE, nullptr), INVALID_FILE_SIZE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

// ------------------------------------------------------------------ SetFileTime

// NTFS keeps times in 100-nanosecond units: what is set is read back exactly,
// odd units included. A time of 0 (or a null pointer) leaves a time as it was.
TEST_F(Conformance, FileTimesKeepEvery100Nanoseconds)
{
    const WString path = Path(TEXT("timed"));
    MakeFile(path);
    auto make = [](ULONGLONG ticks) {
        FILETIME t;
        t.dwLowDateTime = static_cast<DWORD>(ticks);
        t.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
        return t;
    };
    auto ticks = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    struct Row {
        const char* name;
        ULONGLONG created, accessed, written;  // 0: leave
        ULONGLONG readCreated, readAccessed, readWritten;
    };
    const ULONGLONG t2001 = 126227808000000000ULL;  // 2001-01-01 00:00:00 UTC
    const ULONGLONG odd = 126227808001234567ULL;    // 0.1234567 s later
    const Row rows[] = {
        {"whole seconds", t2001, t2001, t2001, t2001, t2001, t2001},
        {"odd 100-ns units", odd, odd + 1, odd + 2, odd, odd + 1, odd + 2},
        {"0 leaves the creation and access times", 0, 0, t2001 + 7, odd, odd + 1, t2001 + 7},
    };
    for (const Row& row : rows) {
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        FILETIME c = make(row.created), a = make(row.accessed), w = make(row.written);
        SetLastError(kUntouched);
        EXPECT_TRUE(SetFileTime(h, &c, &a, &w)) << row.name << ": error " << GetLastError();
        CloseHandle(h);
        h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        FILETIME rc{}, ra{}, rw{};
        EXPECT_TRUE(GetFileTime(h, &rc, &ra, &rw));
        CloseHandle(h);
        // Compared as 100-ns units after 2001-01-01.
        auto since2001 = [&](ULONGLONG value) { return Success(static_cast<DWORD>(value - t2001)); };
        std::optional<WineDiffers> wine;
        if (row.readCreated != row.readWritten) {
            wine = WineDiffers{since2001(row.readWritten),
                               "a Linux file has no creation time that can be set; Wine reports the last write "
                               "time in its place"};
        }
        ExpectOutcome(std::string(row.name) + ": creation time read back", since2001(ticks(rc)),
                      since2001(row.readCreated), wine);
        EXPECT_EQ(ticks(ra), row.readAccessed) << row.name << ": access";
        EXPECT_EQ(ticks(rw), row.readWritten) << row.name << ": write";
    }
}

TEST_F(Conformance, FileTimesNeedWriteAttributeAccess)
{
    const WString path = Path(TEXT("timed"));
    MakeFile(path);
    FILETIME t{0x12345678, 0x01c00000};
    struct Row {
        const char* name;
        DWORD access;
        Outcome windows;
        std::optional<WineDiffers> wine;
    };
    const Row rows[] = {
        {"GENERIC_READ", GENERIC_READ, Failure(ERROR_ACCESS_DENIED),
         WineDiffers{Success(kUntouched), "Wine does not check the handle's access when times are set"}},
        {"GENERIC_WRITE", GENERIC_WRITE, Success(kUntouched), std::nullopt},
        {"FILE_WRITE_ATTRIBUTES", FILE_WRITE_ATTRIBUTES, Success(kUntouched), std::nullopt},
    };
    for (const Row& row : rows) {
        HANDLE h = CreateFileW(path.c_str(), row.access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << row.name;
        SetLastError(kUntouched);
        BOOL ok = SetFileTime(h, nullptr, nullptr, &t);
        ExpectOutcome(row.name, Outcome{ok != FALSE, GetLastError()}, row.windows, row.wine);
        CloseHandle(h);
    }
}

// ------------------------------------------------------------------ DeleteFileW, RemoveDirectoryW

TEST_F(Conformance, FileDeletion)
{
    MakeFile(Path(TEXT("plain")));
    MakeFile(Path(TEXT("readonly")));
    ASSERT_TRUE(SetFileAttributesW(Path(TEXT("readonly")).c_str(), FILE_ATTRIBUTE_READONLY));
    MakeFile(Path(TEXT("inuse")));
    MakeFile(Path(TEXT("shared")));
    MakeFile(Path(TEXT("long")));
    MakeDirectory(Path(TEXT("dir")));
    // Held open: once without delete sharing, once with it.
    ASSERT_TRUE(Open(Path(TEXT("inuse")), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING).ok);
    ASSERT_TRUE(Open(Path(TEXT("shared")), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING).ok);
    struct Row {
        const char* name;
        WString path;
        Outcome windows;
        bool goneAfter;
        std::optional<WineDiffers> wine;
    };
    const Row rows[] = {
        {"a file", Path(TEXT("plain")), Success(kUntouched), true, std::nullopt},
        {"a read-only file", Path(TEXT("readonly")), Failure(ERROR_ACCESS_DENIED), false, std::nullopt},
        {"a file open without delete sharing", Path(TEXT("inuse")), Failure(ERROR_SHARING_VIOLATION), false,
         std::nullopt},
        {"a file open with delete sharing: deleted when the last handle closes", Path(TEXT("shared")),
         Success(kUntouched), true, std::nullopt},
        {"a missing file", Path(TEXT("missing")), Failure(ERROR_FILE_NOT_FOUND), true, std::nullopt},
        {"in a missing folder", Path(TEXT("nodir\\x")), Failure(ERROR_PATH_NOT_FOUND), true, std::nullopt},
        {"a directory", Path(TEXT("dir")), Failure(ERROR_ACCESS_DENIED), false, std::nullopt},
        {"through \\\\?\\", TEXT("\\\\?\\") + Path(TEXT("long")), Success(kUntouched), true, std::nullopt},
    };
    for (const Row& row : rows) {
        SetLastError(kUntouched);
        BOOL ok = DeleteFileW(row.path.c_str());
        ExpectOutcome(row.name, Outcome{ok != FALSE, GetLastError()}, row.windows, row.wine);
    }
    CloseAll();
    for (const Row& row : rows) {
        if (row.wine && OnWine())
            continue;
        bool gone = GetFileAttributesW(row.path.c_str()) == INVALID_FILE_ATTRIBUTES;
        EXPECT_EQ(gone, row.goneAfter) << row.name << ": gone after the handles closed";
    }
    SetFileAttributesW(Path(TEXT("readonly")).c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Writing a file whole through a new file beside it and one rename relies on
// these answers.
TEST_F(Conformance, FileRenameAndReplacement)
{
    // Every refused row moves a file of its own: a move that a platform
    // allows does not take another row's source away.
    for (const WCHAR* name : {TEXT("a"), TEXT("b"), TEXT("c"), TEXT("c2"), TEXT("c3"), TEXT("d"), TEXT("held"),
                              TEXT("target"), TEXT("readonly"), TEXT("inuse")})
        MakeFile(Path(name), std::string("bytes of ") + Narrow(name));
    MakeFile(Path(TEXT("e")));
    ASSERT_TRUE(SetFileAttributesW(Path(TEXT("e")).c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesW(Path(TEXT("readonly")).c_str(), FILE_ATTRIBUTE_READONLY));
    MakeDirectory(Path(TEXT("dir")));
    ASSERT_TRUE(Open(Path(TEXT("held")), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING).ok);
    ASSERT_TRUE(Open(Path(TEXT("inuse")), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING).ok);
    struct Row {
        const char* name;
        const WCHAR* from;
        const WCHAR* to;
        DWORD flags;
        Outcome windows;
        std::optional<WineDiffers> wine;
    };
    const Row rows[] = {
        {"a rename to a new name", TEXT("a"), TEXT("a2"), 0, Success(kUntouched), std::nullopt},
        {"onto a file without the replace flag", TEXT("b"), TEXT("target"), 0, Failure(ERROR_ALREADY_EXISTS),
         std::nullopt},
        {"onto a file with the replace flag", TEXT("b"), TEXT("target"), MOVEFILE_REPLACE_EXISTING,
         Success(kUntouched), std::nullopt},
        {"onto a read-only file", TEXT("c"), TEXT("readonly"), MOVEFILE_REPLACE_EXISTING,
         Failure(ERROR_ACCESS_DENIED), WineDiffers{Success(kUntouched), kWineReadOnlyAsRoot}},
        {"onto a file open without delete sharing", TEXT("c2"), TEXT("inuse"), MOVEFILE_REPLACE_EXISTING,
         Failure(ERROR_ACCESS_DENIED), std::nullopt},
        {"onto a directory", TEXT("c3"), TEXT("dir"), MOVEFILE_REPLACE_EXISTING, Failure(ERROR_ACCESS_DENIED),
         std::nullopt},
        {"a file open without delete sharing", TEXT("held"), TEXT("held2"), 0, Failure(ERROR_SHARING_VIOLATION),
         std::nullopt},
        {"a missing file", TEXT("missing"), TEXT("x"), 0, Failure(ERROR_FILE_NOT_FOUND), std::nullopt},
        {"into a missing folder", TEXT("d"), TEXT("nodir\\x"), 0, Failure(ERROR_PATH_NOT_FOUND), std::nullopt},
        {"a read-only file", TEXT("e"), TEXT("e2"), 0, Success(kUntouched), std::nullopt},
    };
    for (const Row& row : rows) {
        SetLastError(kUntouched);
        BOOL ok = MoveFileExW(Path(row.from).c_str(), Path(row.to).c_str(), row.flags);
        ExpectOutcome(row.name, Outcome{ok != FALSE, GetLastError()}, row.windows, row.wine);
    }
    CloseAll();
    EXPECT_EQ(SizeOf(Path(TEXT("a"))), "missing") << "renamed away";
    EXPECT_EQ(SizeOf(Path(TEXT("a2"))), "10") << "\"bytes of a\" under its new name";
    EXPECT_EQ(SizeOf(Path(TEXT("b"))), "missing") << "moved over the target";
    HANDLE h = CreateFileW(Path(TEXT("target")).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    char buffer[32] = {};
    DWORD got = 0;
    if (h != INVALID_HANDLE_VALUE) {
        ReadFile(h, buffer, sizeof buffer, &got, nullptr);
        CloseHandle(h);
    }
    EXPECT_EQ(std::string(buffer, got), "bytes of b") << "the replaced file holds the moved file's bytes";
    for (const WCHAR* name : {TEXT("c2"), TEXT("c3")})
        EXPECT_EQ(SizeOf(Path(name)), "11") << Narrow(name) << ": a refused move leaves the file";
    for (const WCHAR* name : {TEXT("readonly"), TEXT("e2")})
        SetFileAttributesW(Path(name).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Conformance, DirectoryRemoval)
{
    MakeDirectory(Path(TEXT("empty")));
    MakeDirectory(Path(TEXT("full")));
    MakeFile(Path(TEXT("full\\f")));
    MakeDirectory(Path(TEXT("withsub")));
    MakeDirectory(Path(TEXT("withsub\\sub")));
    MakeFile(Path(TEXT("file")));
    MakeDirectory(Path(TEXT("long")));
    struct Row {
        const char* name;
        WString path;
        Outcome windows;
    };
    const Row rows[] = {
        {"an empty directory", Path(TEXT("empty")), Success(kUntouched)},
        {"a directory with a file", Path(TEXT("full")), Failure(ERROR_DIR_NOT_EMPTY)},
        {"a directory with a directory", Path(TEXT("withsub")), Failure(ERROR_DIR_NOT_EMPTY)},
        {"a file", Path(TEXT("file")), Failure(ERROR_DIRECTORY)},
        {"a missing directory", Path(TEXT("missing")), Failure(ERROR_FILE_NOT_FOUND)},
        {"in a missing folder", Path(TEXT("nodir\\x")), Failure(ERROR_PATH_NOT_FOUND)},
        {"through \\\\?\\", TEXT("\\\\?\\") + Path(TEXT("long")), Success(kUntouched)},
    };
    for (const Row& row : rows) {
        SetLastError(kUntouched);
        BOOL ok = RemoveDirectoryW(row.path.c_str());
        ExpectOutcome(row.name, Outcome{ok != FALSE, GetLastError()}, row.windows);
    }
}

// ------------------------------------------------------------------ mappings

TEST_F(Conformance, FileMappings)
{
    MakeFile(Path(TEXT("empty")), "");
    MakeFile(Path(TEXT("small")), "0123456789");
    struct Row {
        const char* name;
        const WCHAR* file;
        DWORD access;
        DWORD protect;
        DWORD maximumLow;  // 0: the file's size
        Outcome windows;
        const char* sizeAfter;
    };
    const Row rows[] = {
        {"a read-only mapping of a file", TEXT("small"), GENERIC_READ, PAGE_READONLY, 0, Success(0), "10"},
        {"an empty file cannot be mapped", TEXT("empty"), GENERIC_READ, PAGE_READONLY, 0,
         Failure(ERROR_FILE_INVALID), "0"},
        {"a read-only mapping larger than the file", TEXT("small"), GENERIC_READ, PAGE_READONLY, 100,
         Failure(ERROR_NOT_ENOUGH_MEMORY), "10"},
        {"a read/write mapping larger than the file extends it", TEXT("small"), GENERIC_READ | GENERIC_WRITE,
         PAGE_READWRITE, 100, Success(0), "100"},
        {"a read/write mapping of a read-only handle", TEXT("small"), GENERIC_READ, PAGE_READWRITE, 0,
         Failure(ERROR_ACCESS_DENIED), "100"},
        {"an empty file with a size given", TEXT("empty"), GENERIC_READ | GENERIC_WRITE, PAGE_READWRITE, 20,
         Success(0), "20"},
    };
    for (const Row& row : rows) {
        WString path = Path(row.file);
        HANDLE file = CreateFileW(path.c_str(), row.access, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << row.name;
        SetLastError(kUntouched);
        HANDLE mapping = CreateFileMappingW(file, nullptr, row.protect, 0, row.maximumLow, nullptr);
        Outcome actual{mapping != nullptr, GetLastError()};
        ExpectOutcome(row.name, actual, row.windows);
        if (mapping)
            CloseHandle(mapping);
        CloseHandle(file);
        EXPECT_EQ(SizeOf(path), row.sizeAfter) << row.name;
    }
}

// Views start at multiples of the allocation granularity (64 KiB); a view of
// the whole remainder is asked for with 0 bytes; a view may not reach past the
// mapping.
TEST_F(Conformance, MappedViews)
{
    const DWORD kGranularity = 65536;
    std::string contents(3 * kGranularity + 100, '\0');
    for (size_t i = 0; i < contents.size(); ++i)
        contents[i] = static_cast<char>('a' + i % 23);
    const WString path = Path(TEXT("mapped"));
    MakeFile(path, contents);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(mapping, nullptr) << GetLastError();
    struct Row {
        const char* name;
        DWORD offset;
        SIZE_T bytes;
        Outcome windows;
        std::optional<WineDiffers> wine;
    };
    const Row rows[] = {
        {"the start, one granule", 0, kGranularity, Success(kUntouched), std::nullopt},
        {"the second granule", kGranularity, kGranularity, Success(kUntouched), std::nullopt},
        {"the last granule, to the end (0 bytes)", 3 * kGranularity, 0, Success(kUntouched), std::nullopt},
        {"an offset off the granularity", 4096, 4096, Failure(ERROR_MAPPED_ALIGNMENT), std::nullopt},
        {"a view past the mapping's end", 3 * kGranularity, kGranularity, Failure(ERROR_ACCESS_DENIED), std::nullopt},
        {"an offset past the end", 4 * kGranularity, 0, Failure(ERROR_ACCESS_DENIED),
         WineDiffers{Failure(ERROR_INVALID_PARAMETER),
                     "Wine refuses an offset at or past the mapping's end as an invalid parameter; Windows "
                     "answers as for any view that does not fit (invalid view size, access denied)"}},
    };
    for (const Row& row : rows) {
        SetLastError(kUntouched);
        void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, row.offset, row.bytes);
        Outcome actual{view != nullptr, GetLastError()};
        ExpectOutcome(row.name, actual, row.windows, row.wine);
        if (view) {
            EXPECT_EQ(*static_cast<const char*>(view), contents[row.offset]) << row.name << ": the first byte";
            EXPECT_TRUE(UnmapViewOfFile(view));
        }
    }
    CloseHandle(mapping);
    CloseHandle(file);
}

// ------------------------------------------------------------------ long paths

TEST_F(Conformance, LongPaths)
{
    // A chain of folders whose full path passes 260 characters, made and used
    // only through "\\?\".
    WString deep = TEXT("\\\\?\\") + folder_;
    const WString component(50, 'd');
    for (int i = 0; i < 6; ++i) {
        deep += TEXT("\\") + component;
        ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr)) << "level " << i << ": error " << GetLastError();
    }
    ASSERT_GT(deep.size(), 300u);
    const WString file = deep + TEXT("\\file.txt");
    EXPECT_TRUE(Open(file, GENERIC_WRITE, 0, CREATE_NEW).ok);
    CloseAll();
    SetLastError(kUntouched);
    EXPECT_EQ(GetFileAttributesW(file.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));

    WIN32_FIND_DATAW data{};
    HANDLE h = FindFirstFileW((deep + TEXT("\\*")).c_str(), &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    FindClose(h);

    struct Row {
        const char* name;
        WString path;
        Outcome windows;
    };
    const Row rows[] = {
        {"\"..\" inside \\\\?\\ is a name NTFS refuses",
         TEXT("\\\\?\\") + folder_ + TEXT("\\") + component + TEXT("\\..\\") + component, Failure(ERROR_INVALID_NAME)},
        {"\".\" inside \\\\?\\", TEXT("\\\\?\\") + folder_ + TEXT("\\.\\") + component, Failure(ERROR_INVALID_NAME)},
        {"\"..\" in a plain path is folded", folder_ + TEXT("\\") + component + TEXT("\\..\\") + component,
         Success(kUntouched)},
    };
    for (const Row& row : rows) {
        SetLastError(kUntouched);
        DWORD attributes = GetFileAttributesW(row.path.c_str());
        Outcome actual{attributes != INVALID_FILE_ATTRIBUTES, GetLastError()};
        ExpectOutcome(row.name, actual, row.windows);
    }
}

// The platform facts that only real Windows shows and a naive simulation
// hides: the plugin's long-path rule, its settings writer and its stream
// listing depend on each.
TEST_F(Conformance, WhatRealWindowsDoes)
{
    // Plain paths reach MAX_PATH characters, the terminating zero included.
    WString deep = folder_;
    while (deep.size() < 300) {
        deep += TEXT("\\dddddddddd");
        ASSERT_TRUE(CreateDirectoryW((TEXT("\\\\?\\") + deep).c_str(), nullptr)) << "error " << GetLastError();
    }
    SetLastError(kUntouched);
    DWORD attributes = GetFileAttributesW(deep.c_str());
    ExpectOutcome("a plain path beyond MAX_PATH", {attributes != INVALID_FILE_ATTRIBUTES, GetLastError()},
                  Failure(ERROR_PATH_NOT_FOUND),
                  WineDiffers{Success(kUntouched), "Wine lifts MAX_PATH for every path"});
    SetLastError(kUntouched);
    attributes = GetFileAttributesW((TEXT("\\\\?\\") + deep).c_str());
    ExpectOutcome("the same path in the long form", {attributes != INVALID_FILE_ATTRIBUTES, GetLastError()},
                  Success(kUntouched));

    // Best fit maps silently; WC_NO_BEST_FIT_CHARS tells; a size with
    // nowhere to write is refused.
    struct Encoding {
        const char* name;
        DWORD flags;
        const WCHAR* text;
        std::string bytes;
        BOOL usedDefault;
    };
    const Encoding encodings[] = {
        {"best fit of L with stroke and infinity under 1252", 0, TEXT("\x0141\x221E"), "L8", FALSE},
        {"without best fit", WC_NO_BEST_FIT_CHARS, TEXT("\x0141"), "?", TRUE},
        {"what 1252 holds", WC_NO_BEST_FIT_CHARS, TEXT("\x00E9"), "\xE9", FALSE},
    };
    for (const Encoding& e : encodings) {
        char out[8] = {};
        BOOL used = 7;
        const int length = static_cast<int>(std::char_traits<WCHAR>::length(e.text));
        int n = WideCharToMultiByte(1252, e.flags, e.text, length, out, sizeof out, nullptr, &used);
        EXPECT_EQ(std::string(out, n > 0 ? static_cast<std::size_t>(n) : 0), e.bytes) << e.name;
        EXPECT_EQ(used, e.usedDefault) << e.name;
    }
    SetLastError(kUntouched);
    int n = WideCharToMultiByte(1252, 0, TEXT("a"), 1, nullptr, 5, nullptr, nullptr);
    ExpectOutcome("WideCharToMultiByte into no buffer with a size", {n != 0, GetLastError()},
                  Failure(ERROR_INVALID_PARAMETER));

    // ReplaceFileW: the replacement's bytes under the replaced file's name.
    const WString replaced = Path(TEXT("settings.ini")), replacement = Path(TEXT("settings.ini.new"));
    MakeFile(replaced, "old");
    MakeFile(replacement, "new");
    SetLastError(kUntouched);
    BOOL ok = ReplaceFileW(replaced.c_str(), replacement.c_str(), nullptr, 0, nullptr, nullptr);
    EXPECT_TRUE(ok) << "error " << GetLastError();
    EXPECT_EQ(GetFileAttributesW(replacement.c_str()), INVALID_FILE_ATTRIBUTES) << "the replacement's name is gone";
    EXPECT_EQ(Contents(replaced), "new");
    SetLastError(kUntouched);
    ok = ReplaceFileW(Path(TEXT("missing.ini")).c_str(), replaced.c_str(), nullptr, 0, nullptr, nullptr);
    ExpectOutcome("ReplaceFileW onto a missing file", {ok != FALSE, GetLastError()}, Failure(ERROR_FILE_NOT_FOUND));

    // "\\?\C:" is the volume device, which only administrators open.
    SetLastError(kUntouched);
    HANDLE volume = CreateFileW(TEXT("\\\\?\\C:"), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    Outcome opened{volume != INVALID_HANDLE_VALUE, volume != INVALID_HANDLE_VALUE ? 0 : GetLastError()};
    if (volume != INVALID_HANDLE_VALUE)
        CloseHandle(volume);
    ExpectOutcome("the volume device, not elevated", opened, Failure(ERROR_ACCESS_DENIED),
                  WineDiffers{Success(0), "Wine opens the volume's device for root as for an administrator"});

    // A handle that may read the security descriptor (GENERIC_READ holds
    // READ_CONTROL) gets its stream first, without any privilege.
    const WString file = Path(TEXT("f.txt"));
    MakeFile(file, "abc");
    HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    BYTE header[20] = {};
    DWORD got = 0;
    LPVOID context = nullptr;
    SetLastError(kUntouched);
    ok = BackupRead(h, header, sizeof header, &got, FALSE, TRUE, &context);
    DWORD first = 0;
    std::memcpy(&first, header, sizeof first);
    Outcome read{ok != FALSE, ok ? first : GetLastError()};
    if (context)
        BackupRead(h, nullptr, 0, &got, TRUE, FALSE, &context);
    CloseHandle(h);
    ExpectOutcome("BackupRead's first stream through a GENERIC_READ handle", read, Success(BACKUP_SECURITY_DATA),
                  WineDiffers{Failure(ERROR_NOT_SUPPORTED), "Wine has no backup API (BackupRead is a stub)"});
}

// What the keystrokes' data depends on: overwriting drops a file's streams,
// writes reach the disk when flushed, a file has a count of names, and a
// handle tells the path it reached.
TEST_F(Conformance, OverwritesFlushesNamesAndFinalPaths)
{
    const WString file = Path(TEXT("over.txt"));
    MakeFile(file, "data");
    MakeFile(file + TEXT(":s"), "stream");
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    const bool streamKept = GetFileAttributesW((file + TEXT(":s")).c_str()) != INVALID_FILE_ATTRIBUTES;
    ExpectOutcome("a named stream after CREATE_ALWAYS on its file", {streamKept, 0}, Failure(0),
                  WineDiffers{Success(0), "Wine keeps a stream as a file of its own, which the overwrite leaves"});

    SetLastError(kUntouched);
    h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    BOOL flushed = FlushFileBuffers(h);
    ExpectOutcome("FlushFileBuffers through a handle that may not write", {flushed != FALSE, flushed ? 0 : GetLastError()},
                  Failure(ERROR_ACCESS_DENIED));
    BY_HANDLE_FILE_INFORMATION info{};
    EXPECT_TRUE(GetFileInformationByHandle(h, &info));
    EXPECT_EQ(info.nNumberOfLinks, 1u);
    WCHAR final[MAX_PATH + 8] = {};
    const DWORD n = GetFinalPathNameByHandleW(h, final, MAX_PATH + 8, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    EXPECT_EQ(WString(final, n), TEXT("\\\\?\\") + file) << "the path the handle reached";
    CloseHandle(h);
    h = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    SetLastError(kUntouched);
    flushed = FlushFileBuffers(h);
    ExpectOutcome("FlushFileBuffers through a handle that may write", {flushed != FALSE, GetLastError()},
                  Success(kUntouched));
    CloseHandle(h);
}

}  // namespace
