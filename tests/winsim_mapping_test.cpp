// winsim's file mappings and views against Windows' rules, and the way a view
// whose medium is gone reaches the vectored exception handlers.
#include <cstring>

#include "host_fixture.h"

namespace {

class WinsimMapping : public ::testing::Test {
protected:
    void SetUp() override
    {
        winsim::Reset();
        winsim::AddVolume(u'C');
        winsim::AddFile(u"C:\\f.bin", std::string(200000, 'a'));
        winsim::AddFile(u"C:\\empty.bin", "");
    }
    void TearDown() override
    {
        std::string all;
        for (const auto& leak : winsim::Leaks())
            all += "\n  " + leak;
        EXPECT_TRUE(all.empty()) << "left behind:" << all;
    }

    static HANDLE Open(const char16_t* path, DWORD access, DWORD share = FILE_SHARE_READ)
    {
        return CreateFileW(path, access, share, nullptr, OPEN_EXISTING, 0, nullptr);
    }
};

TEST_F(WinsimMapping, MappingSizesAsWindows)
{
    struct Row {
        const char16_t* file;
        DWORD access;
        DWORD protect;
        std::uint64_t size;
        DWORD error;               // 0: a mapping is made
        std::uint64_t sizeAfter;   // the file's size afterwards
    };
    const DWORD rw = GENERIC_READ | GENERIC_WRITE;
    const Row rows[] = {
        {u"C:\\f.bin", GENERIC_READ, PAGE_READONLY, 0, 0, 200000},
        {u"C:\\f.bin", GENERIC_READ, PAGE_READONLY, 100, 0, 200000},
        {u"C:\\f.bin", GENERIC_READ, PAGE_READONLY, 300000, ERROR_NOT_ENOUGH_MEMORY, 200000},
        {u"C:\\f.bin", rw, PAGE_READWRITE, 300000, 0, 300000},
        {u"C:\\f.bin", GENERIC_READ, PAGE_READWRITE, 0, ERROR_ACCESS_DENIED, 200000},
        {u"C:\\f.bin", GENERIC_WRITE, PAGE_READONLY, 0, ERROR_ACCESS_DENIED, 200000},
        {u"C:\\empty.bin", GENERIC_READ, PAGE_READONLY, 0, ERROR_FILE_INVALID, 0},
        {u"C:\\empty.bin", rw, PAGE_READWRITE, 0, ERROR_FILE_INVALID, 0},
        {u"C:\\empty.bin", rw, PAGE_READWRITE, 5000, 0, 5000},
        {u"C:\\f.bin", GENERIC_READ, PAGE_EXECUTE_READWRITE, 0, ERROR_INVALID_PARAMETER, 200000},
    };
    for (const auto& row : rows) {
        SetUp();
        SCOPED_TRACE(U8(row.file) + " protect " + std::to_string(row.protect) + " size " + std::to_string(row.size));
        HANDLE file = Open(row.file, row.access);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        SetLastError(0xdeadbeef);
        HANDLE mapping = CreateFileMappingW(file, nullptr, row.protect, static_cast<DWORD>(row.size >> 32),
                                            static_cast<DWORD>(row.size), nullptr);
        if (row.error == 0) {
            EXPECT_NE(mapping, nullptr);
            EXPECT_EQ(GetLastError(), 0u);
        } else {
            EXPECT_EQ(mapping, nullptr);
            EXPECT_EQ(GetLastError(), row.error);
        }
        if (mapping)
            CloseHandle(mapping);
        CloseHandle(file);
        EXPECT_EQ(winsim::Size(row.file), row.sizeAfter);
        // An extension reads as zeros.
        if (row.sizeAfter == 5000) {
            EXPECT_TRUE(winsim::ReadBytes(row.file, 0, 5000) == std::string(5000, '\0'));
        }
    }
}

TEST_F(WinsimMapping, ViewsAsWindows)
{
    HANDLE file = Open(u"C:\\f.bin", GENERIC_READ);
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    CloseHandle(file);  // the mapping keeps the file
    ASSERT_NE(mapping, nullptr);
    struct Row {
        DWORD access;
        std::uint64_t offset;
        SIZE_T bytes;
        DWORD error;
    };
    const Row rows[] = {
        {FILE_MAP_READ, 0, 1000, 0},
        {FILE_MAP_READ, 65536, 0, 0},
        {FILE_MAP_READ, 65536, 200000 - 65536, 0},
        {FILE_MAP_READ, 4096, 1000, ERROR_MAPPED_ALIGNMENT},
        {FILE_MAP_READ, 65536, 200000, ERROR_ACCESS_DENIED},
        {FILE_MAP_READ, 262144, 10, ERROR_ACCESS_DENIED},
        {FILE_MAP_READ, 1ull << 32, 10, ERROR_ACCESS_DENIED},
        {FILE_MAP_WRITE, 0, 1000, ERROR_ACCESS_DENIED},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE("offset " + std::to_string(row.offset) + " bytes " + std::to_string(row.bytes));
        SetLastError(0xdeadbeef);
        void* view = MapViewOfFile(mapping, row.access, static_cast<DWORD>(row.offset >> 32),
                                   static_cast<DWORD>(row.offset), row.bytes);
        if (row.error == 0) {
            ASSERT_NE(view, nullptr);
            EXPECT_EQ(static_cast<const char*>(view)[0], 'a');
            EXPECT_TRUE(UnmapViewOfFile(view));
        } else {
            EXPECT_EQ(view, nullptr);
            EXPECT_EQ(GetLastError(), row.error);
        }
    }
    EXPECT_TRUE(CloseHandle(mapping));
}

TEST_F(WinsimMapping, AMappedFileCannotBeTruncatedOrDeleted)
{
    HANDLE file = Open(u"C:\\f.bin", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    CloseHandle(file);
    void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 100);
    CloseHandle(mapping);  // the view alone still holds the section

    for (DWORD disposition : {static_cast<DWORD>(CREATE_ALWAYS), static_cast<DWORD>(TRUNCATE_EXISTING)}) {
        SetLastError(0xdeadbeef);
        HANDLE again = CreateFileW(u"C:\\f.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, disposition, 0, nullptr);
        EXPECT_EQ(again, INVALID_HANDLE_VALUE) << disposition;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_USER_MAPPED_FILE)) << disposition;
    }
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DeleteFileW(u"C:\\f.bin"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(winsim::Size(u"C:\\f.bin"), 200000u);

    UnmapViewOfFile(view);
    HANDLE again = CreateFileW(u"C:\\f.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    CloseHandle(again);
    EXPECT_EQ(winsim::Size(u"C:\\f.bin"), 0u);
}

TEST_F(WinsimMapping, ExtendingPastTheFreeSpaceIsADiskFull)
{
    winsim::SetFreeSpace(u'C', 1000);
    HANDLE file = Open(u"C:\\empty.bin", GENERIC_READ | GENERIC_WRITE);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(CreateFileMappingW(file, nullptr, PAGE_READWRITE, 0, 1001, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_EQ(winsim::Size(u"C:\\empty.bin"), 0u);
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READWRITE, 0, 1000, nullptr);
    EXPECT_NE(mapping, nullptr);
    CloseHandle(mapping);
    CloseHandle(file);
}

TEST_F(WinsimMapping, AWrittenViewReachesTheFileWhenUnmapped)
{
    HANDLE file = Open(u"C:\\f.bin", GENERIC_READ | GENERIC_WRITE);
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READWRITE, 0, 0, nullptr);
    CloseHandle(file);
    auto* view = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 65536, 10));
    ASSERT_NE(view, nullptr);
    std::memcpy(view, "0123456789", 10);
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    EXPECT_EQ(winsim::ReadBytes(u"C:\\f.bin", 65535, 12), "a0123456789a");
}

// A view above 4 GiB of a 5 GiB file, mapped with a non-zero high offset, and
// a copy of pattern pages that costs no memory.
TEST_F(WinsimMapping, HugePatternFilesAreMappedWithoutMaterialising)
{
    const std::uint64_t size = 5ull << 30;
    const std::uint64_t offset = (4ull << 30) + 65536;
    winsim::AddPatternFile(u"C:\\big.bin", size, 9);
    winsim::AddFile(u"C:\\copy.bin", "");
    HANDLE source = Open(u"C:\\big.bin", GENERIC_READ);
    HANDLE target = Open(u"C:\\copy.bin", GENERIC_READ | GENERIC_WRITE);
    HANDLE sourceMapping = CreateFileMappingW(source, nullptr, PAGE_READONLY, 0, 0, nullptr);
    HANDLE targetMapping = CreateFileMappingW(target, nullptr, PAGE_READWRITE, 1, 0x40000000, nullptr);
    CloseHandle(source);
    CloseHandle(target);
    ASSERT_NE(targetMapping, nullptr);
    EXPECT_EQ(winsim::Size(u"C:\\copy.bin"), size);

    auto* from = static_cast<unsigned char*>(MapViewOfFile(sourceMapping, FILE_MAP_READ, 1, 65536, 655360));
    auto* to = static_cast<unsigned char*>(MapViewOfFile(targetMapping, FILE_MAP_WRITE, 1, 65536, 655360));
    ASSERT_NE(from, nullptr);
    ASSERT_NE(to, nullptr);
    for (std::uint64_t i : {0ull, 1ull, 655359ull})
        EXPECT_EQ(from[i], winsim::PatternByte(9, offset + i)) << i;
    std::memcpy(to, from, 655360);
    EXPECT_EQ(winsim::MappedViewBytes(), 2u * 655360);
    UnmapViewOfFile(to);
    UnmapViewOfFile(from);
    CloseHandle(targetMapping);
    CloseHandle(sourceMapping);

    EXPECT_EQ(winsim::ResidentBytes(u"C:\\copy.bin"), 0u);
    EXPECT_EQ(winsim::ResidentBytes(u"C:\\big.bin"), 0u);
    std::string copied = winsim::ReadBytes(u"C:\\copy.bin", offset - 1, 655362);
    EXPECT_EQ(copied.front(), '\0');
    EXPECT_EQ(static_cast<unsigned char>(copied[1]), winsim::PatternByte(9, offset));
    EXPECT_EQ(static_cast<unsigned char>(copied[655360]), winsim::PatternByte(9, offset + 655359));
    EXPECT_EQ(copied.back(), '\0');
    EXPECT_EQ(winsim::PeakMappedViewBytes(), 2u * 655360);
}

// The view of a file whose medium went away: an access raises the chosen
// exception to the vectored handlers, which may leave by a long jump.
DWORD seenCode = 0;
ULONG_PTR seenAddress = 0;
void* resume[5];

LONG WINAPI Catch(EXCEPTION_POINTERS* info)
{
    seenCode = info->ExceptionRecord->ExceptionCode;
    seenAddress = info->ExceptionRecord->ExceptionInformation[1];
    __builtin_longjmp(resume, 1);
}

LONG WINAPI PassOn(EXCEPTION_POINTERS*)
{
    return EXCEPTION_CONTINUE_SEARCH;
}

__attribute__((noinline)) bool TouchFaults(const volatile char* p)
{
    if (__builtin_setjmp(resume) != 0)
        return true;
    (void)*p;
    return false;
}

__attribute__((noinline)) bool WriteFaults(volatile char* p)
{
    if (__builtin_setjmp(resume) != 0)
        return true;
    *p = 'x';
    return false;
}

TEST_F(WinsimMapping, AWriteToAReadOnlyViewIsAnAccessViolation)
{
    HANDLE file = Open(u"C:\\f.bin", GENERIC_READ);
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    CloseHandle(file);
    PVOID handler = AddVectoredExceptionHandler(1, Catch);
    auto* view = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 100));
    seenCode = 0;
    EXPECT_TRUE(WriteFaults(view + 10));
    EXPECT_EQ(seenCode, EXCEPTION_ACCESS_VIOLATION);
    EXPECT_EQ(view[10], 'a');
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    RemoveVectoredExceptionHandler(handler);
    EXPECT_EQ(winsim::Contents(u"C:\\f.bin"), std::string(200000, 'a'));
}

TEST_F(WinsimMapping, AGoneMediumRaisesToTheVectoredHandlers)
{
    winsim::AddFile(u"C:\\g.bin", std::string(3 * 65536, 'g'));
    winsim::FaultViews(u"C:\\g.bin", EXCEPTION_IN_PAGE_ERROR, 2 * 65536);
    HANDLE file = Open(u"C:\\g.bin", GENERIC_READ);
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    CloseHandle(file);
    PVOID last = AddVectoredExceptionHandler(0, Catch);
    PVOID first = AddVectoredExceptionHandler(1, PassOn);
    ASSERT_NE(last, nullptr);
    ASSERT_NE(first, nullptr);

    auto* good = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 65536));
    EXPECT_FALSE(TouchFaults(good));
    EXPECT_EQ(good[100], 'g');
    auto* gone = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 65536, 2 * 65536));
    ASSERT_NE(gone, nullptr);
    EXPECT_TRUE(TouchFaults(gone + 70000));
    EXPECT_EQ(seenCode, EXCEPTION_IN_PAGE_ERROR);
    EXPECT_EQ(seenAddress, reinterpret_cast<ULONG_PTR>(gone + 70000));

    EXPECT_TRUE(UnmapViewOfFile(gone));
    EXPECT_TRUE(UnmapViewOfFile(good));
    CloseHandle(mapping);
    EXPECT_EQ(RemoveVectoredExceptionHandler(first), 1u);
    EXPECT_EQ(RemoveVectoredExceptionHandler(last), 1u);
    EXPECT_EQ(RemoveVectoredExceptionHandler(last), 0u);
}

}  // namespace
