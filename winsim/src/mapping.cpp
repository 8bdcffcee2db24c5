// File mappings (sections) and their views, with Windows' rules:
//   - view offsets are multiples of the 64 KiB allocation granularity
//     (ERROR_MAPPED_ALIGNMENT otherwise);
//   - a PAGE_READWRITE mapping larger than the file extends the file at once
//     (the new bytes read as zeros); a PAGE_READONLY one fails with
//     ERROR_NOT_ENOUGH_MEMORY; a mapping of an empty file with size 0 fails
//     with ERROR_FILE_INVALID; extending past the volume's free space fails
//     with ERROR_DISK_FULL;
//   - the section keeps the file: while it or a view of it exists, the file
//     cannot be truncated (CREATE_ALWAYS, TRUNCATE_EXISTING:
//     ERROR_USER_MAPPED_FILE) or deleted, even after its handle was closed.
// A view is real memory holding a copy of its bytes; a writable view's bytes
// go back to the file when it is unmapped or flushed (views of the same bytes
// are not kept coherent with each other). Pages that hold a copy of a pattern
// file's pages are recorded as pattern pages, so copying a huge pattern file
// costs no more memory than its views.
#include <sys/mman.h>

#include <algorithm>
#include <cstring>

#include <winsim/winsim.h>

#include "calls.h"
#include "exception_dispatch.h"
#include "handles.h"
#include "pathname.h"
#include "sections.h"
#include "sim.h"

using namespace winsim::detail;

namespace {

constexpr std::uint64_t kGranularity = 64 * 1024;
constexpr std::uint64_t kMemoryPage = 4096;
// No single view above this fits the simulated address space.
constexpr std::uint64_t kLargestView = 1ull << 30;

struct Section {
    std::shared_ptr<Node> node;
    std::shared_ptr<Stream> stream;
    WCHAR driveLetter = 0;
    bool writable = false;
    std::uint64_t size = 0;
};

struct MappingObject : Object {
    std::shared_ptr<Section> section;
    std::string Describe() const override
    {
        return "file mapping of " + Narrow(section->node->Path(section->driveLetter));
    }
};

struct View {
    std::shared_ptr<Section> section;
    std::uint64_t offset = 0;
    std::size_t size = 0;
    std::size_t reserved = 0;  // whole memory pages
    bool writable = false;
    bool faulting = false;    // the medium is gone: every access faults
    bool registered = false;  // accesses that fault reach the exception handlers
};

struct FaultRule {
    std::weak_ptr<Stream> stream;
    DWORD code;
    std::uint64_t fromOffset;
    // A rule for a file that did not exist yet: whatever stream has this
    // path when a view is mapped.
    std::u16string laterPath;
};

bool RuleMatches(const FaultRule& rule, const Stream* stream)
{
    if (rule.laterPath.empty())
        return rule.stream.lock().get() == stream;
    ResolvedPath r = Resolve(rule.laterPath.c_str());
    if (r.error != 0 || !r.node)
        return false;
    std::shared_ptr<Stream> s = r.hasStream ? r.node->FindNamed(r.streamName) : r.node->data;
    return s.get() == stream;
}

struct MappingModel {
    std::map<std::uintptr_t, View> views;  // by base address
    std::vector<std::weak_ptr<Section>> sections;
    std::map<WCHAR, std::uint64_t> freeSpace;  // volumes without an entry have room for anything
    std::vector<FaultRule> faults;
    std::uint64_t mappedBytes = 0;
    std::uint64_t peakMappedBytes = 0;
};

MappingModel& Model()
{
    static MappingModel model;
    return model;
}

std::map<std::uintptr_t, View>::iterator FindView(LPCVOID address)
{
    auto& views = Model().views;
    auto a = reinterpret_cast<std::uintptr_t>(address);
    auto it = views.upper_bound(a);
    if (it == views.begin())
        return views.end();
    --it;
    return a < it->first + it->second.size ? it : views.end();
}

// The read-only view that holds the bytes at `offset` of some file, and those
// bytes are that file's unwritten pattern: a page written with the same bytes
// is a copy of that pattern.
std::optional<std::uint32_t> CopiedPatternSeed(const std::uint8_t* bytes, std::uint64_t offset, std::size_t n)
{
    for (const auto& [base, v] : Model().views) {
        if (v.writable || v.faulting || offset < v.offset || offset + n > v.offset + v.size)
            continue;
        auto seed = v.section->stream->data.PatternSeedOfPage(offset / Content::kPage);
        if (!seed)
            continue;
        if (std::memcmp(reinterpret_cast<const std::uint8_t*>(base) + (offset - v.offset), bytes, n) == 0)
            return seed;
    }
    return std::nullopt;
}

void WriteBack(std::uintptr_t base, const View& v, std::size_t count)
{
    // Into the file's cache: the medium has the pages once flushed.
    v.section->stream->WillChange();
    Content& content = v.section->stream->data;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(base);
    for (std::size_t done = 0; done < count;) {
        std::uint64_t offset = v.offset + done;
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(Content::kPage - offset % Content::kPage,
                                                                           count - done));
        std::uint64_t page = offset / Content::kPage;
        bool wholePage = offset % Content::kPage == 0 &&
                         (n == Content::kPage || offset + n >= content.Size());
        std::optional<std::uint32_t> seed = wholePage ? CopiedPatternSeed(bytes + done, offset, n) : std::nullopt;
        if (seed) {
            content.SetPatternPage(page, *seed);
        } else {
            content.Write(offset, bytes + done, n);
            content.ForgetZeroPage(page);
        }
        done += n;
    }
    v.section->node->written = Now();
}

void Release(std::map<std::uintptr_t, View>::iterator it)
{
    auto base = reinterpret_cast<void*>(it->first);
    if (it->second.registered)
        UnregisterFaultingRange(base);
    munmap(base, it->second.reserved);
    Model().mappedBytes -= it->second.size;
    Model().views.erase(it);
}

const FaultRule* FaultFor(const Stream* stream, std::uint64_t offset, std::size_t size)
{
    for (const auto& rule : Model().faults) {
        if (RuleMatches(rule, stream) && offset + size > rule.fromOffset)
            return &rule;
    }
    return nullptr;
}

}  // namespace

namespace winsim::detail {

bool StreamIsMapped(const Stream* stream)
{
    auto& sections = Model().sections;
    std::erase_if(sections, [](const std::weak_ptr<Section>& s) { return s.expired(); });
    for (const auto& weak : sections)
        if (auto s = weak.lock(); s && s->stream.get() == stream)
            return true;
    return false;
}

bool NodeIsMapped(const Node& node)
{
    if (node.data && StreamIsMapped(node.data.get()))
        return true;
    for (const auto& s : node.named)
        if (StreamIsMapped(s.get()))
            return true;
    return false;
}

void ResetMappings()
{
    auto& m = Model();
    while (!m.views.empty())
        Release(m.views.begin());
    m = MappingModel{};
}

std::vector<std::string> MappingLeaks()
{
    std::vector<std::string> leaks;
    for (const auto& [base, v] : Model().views)
        leaks.push_back("view of " + Narrow(v.section->node->Path(v.section->driveLetter)) + " at offset " +
                        std::to_string(v.offset) + " (release with UnmapViewOfFile)");
    return leaks;
}

}  // namespace winsim::detail

extern "C" HANDLE WINAPI CreateFileMappingW(HANDLE hFile, LPSECURITY_ATTRIBUTES, DWORD flProtect,
                                            DWORD dwMaximumSizeHigh, DWORD dwMaximumSizeLow, LPCWSTR lpName)
{
    WINSIM_ENTER("CreateFileMappingW", ToU16(lpName), HANDLE{});
    if (lpName)
        return Fail(ERROR_INVALID_PARAMETER, HANDLE{});  // named sections are not modelled
    DWORD protect = flProtect & 0xFF;
    if (protect != PAGE_READONLY && protect != PAGE_READWRITE)
        return Fail(ERROR_INVALID_PARAMETER, HANDLE{});
    auto section = std::make_shared<Section>();
    section->writable = protect == PAGE_READWRITE;
    std::uint64_t requested = (static_cast<std::uint64_t>(dwMaximumSizeHigh) << 32) | dwMaximumSizeLow;

    if (hFile == INVALID_HANDLE_VALUE) {
        // Backed by the paging file: a fresh zero-filled object of the size asked.
        if (requested == 0)
            return Fail(ERROR_INVALID_PARAMETER, HANDLE{});
        section->node = std::make_shared<Node>();
        section->node->name = u"(paging file)";
        section->node->data = std::make_shared<Stream>();
        section->stream = section->node->data;
        section->stream->data.Resize(requested);
        section->size = requested;
    } else {
        auto file = LookupAs<FileObject>(hFile);
        if (!file)
            return Fail(ERROR_INVALID_HANDLE, HANDLE{});
        if (!file->stream || !file->CanRead() || (section->writable && !file->CanWrite()))
            return Fail(ERROR_ACCESS_DENIED, HANDLE{});
        std::uint64_t fileSize = file->stream->data.Size();
        if (requested == 0) {
            if (fileSize == 0)
                return Fail(ERROR_FILE_INVALID, HANDLE{});
            requested = fileSize;
        } else if (requested > fileSize) {
            if (!section->writable)
                return Fail(ERROR_NOT_ENOUGH_MEMORY, HANDLE{});
            auto room = Model().freeSpace.find(file->driveLetter);
            std::uint64_t growth = requested - fileSize;
            if (room != Model().freeSpace.end()) {
                if (growth > room->second)
                    return Fail(ERROR_DISK_FULL, HANDLE{});
                room->second -= growth;
            }
            file->stream->WillChange();
            file->stream->data.Resize(requested);
            file->node->written = Now();
        }
        section->node = file->node;
        section->stream = file->stream;
        section->driveLetter = file->driveLetter;
        section->size = requested;
    }
    auto object = std::make_shared<MappingObject>();
    object->section = section;
    Model().sections.push_back(section);
    HANDLE h = Insert(object);
    SetLastError(ERROR_SUCCESS);
    return h;
}

extern "C" LPVOID WINAPI MapViewOfFile(HANDLE hFileMappingObject, DWORD dwDesiredAccess, DWORD dwFileOffsetHigh,
                                       DWORD dwFileOffsetLow, SIZE_T dwNumberOfBytesToMap)
{
    WINSIM_ENTER("MapViewOfFile", {}, LPVOID{});
    auto mapping = LookupAs<MappingObject>(hFileMappingObject);
    if (!mapping)
        return Fail(ERROR_INVALID_HANDLE, LPVOID{});
    const std::shared_ptr<Section>& section = mapping->section;
    // FILE_MAP_ALL_ACCESS holds the write bit; a copy-on-write view never
    // writes back.
    bool write = (dwDesiredAccess & FILE_MAP_WRITE) && !(dwDesiredAccess & FILE_MAP_COPY);
    if (!(dwDesiredAccess & (FILE_MAP_READ | FILE_MAP_WRITE | FILE_MAP_COPY)))
        return Fail(ERROR_INVALID_PARAMETER, LPVOID{});
    if (write && !section->writable)
        return Fail(ERROR_ACCESS_DENIED, LPVOID{});
    std::uint64_t offset = (static_cast<std::uint64_t>(dwFileOffsetHigh) << 32) | dwFileOffsetLow;
    if (offset % kGranularity != 0)
        return Fail(ERROR_MAPPED_ALIGNMENT, LPVOID{});
    // A view beyond the section is STATUS_INVALID_VIEW_SIZE: access denied.
    if (offset >= section->size)
        return Fail(ERROR_ACCESS_DENIED, LPVOID{});
    std::uint64_t size = dwNumberOfBytesToMap == 0 ? section->size - offset : dwNumberOfBytesToMap;
    if (size > section->size - offset)
        return Fail(ERROR_ACCESS_DENIED, LPVOID{});
    if (size > kLargestView)
        return Fail(ERROR_NOT_ENOUGH_MEMORY, LPVOID{});

    View v;
    v.section = section;
    v.offset = offset;
    v.size = static_cast<std::size_t>(size);
    v.reserved = static_cast<std::size_t>((size + kMemoryPage - 1) / kMemoryPage * kMemoryPage);
    v.writable = write;
    void* base = mmap(nullptr, v.reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED)
        return Fail(ERROR_NOT_ENOUGH_MEMORY, LPVOID{});
    std::uint64_t stored = section->stream->data.Size();
    if (offset < stored)
        section->stream->data.Read(offset, base, static_cast<std::size_t>(std::min(size, stored - offset)));
    if (const FaultRule* rule = FaultFor(section->stream.get(), offset, v.size)) {
        // The medium is gone: every access to the view faults.
        mprotect(base, v.reserved, PROT_NONE);
        v.faulting = true;
        RegisterFaultingRange(base, v.reserved, rule->code);
        v.registered = true;
    } else if (!write) {
        // A write to a read-only view is an access violation, as on Windows.
        mprotect(base, v.reserved, PROT_READ);
        RegisterFaultingRange(base, v.reserved, EXCEPTION_ACCESS_VIOLATION);
        v.registered = true;
    }
    Model().views[reinterpret_cast<std::uintptr_t>(base)] = v;
    Model().mappedBytes += v.size;
    Model().peakMappedBytes = std::max(Model().peakMappedBytes, Model().mappedBytes);
    return base;
}

extern "C" BOOL WINAPI FlushViewOfFile(LPCVOID lpBaseAddress, SIZE_T dwNumberOfBytesToFlush)
{
    WINSIM_ENTER("FlushViewOfFile", {}, FALSE);
    auto it = FindView(lpBaseAddress);
    if (it == Model().views.end())
        return Fail(ERROR_INVALID_ADDRESS, FALSE);
    if (it->second.writable && !it->second.faulting)
        WriteBack(it->first, it->second, it->second.size);
    (void)dwNumberOfBytesToFlush;
    return TRUE;
}

extern "C" BOOL WINAPI UnmapViewOfFile(LPCVOID lpBaseAddress)
{
    WINSIM_ENTER("UnmapViewOfFile", {}, FALSE);
    auto it = FindView(lpBaseAddress);
    if (it == Model().views.end()) {
        NoteMisuse("UnmapViewOfFile of an address that is no view");
        return Fail(ERROR_INVALID_ADDRESS, FALSE);
    }
    // The bytes of a view whose medium is gone never reach the file.
    if (it->second.writable && !it->second.faulting)
        WriteBack(it->first, it->second, it->second.size);
    Release(it);
    return TRUE;
}

namespace winsim {

void SetFreeSpace(WCHAR letter, std::uint64_t bytes)
{
    WorldLock lock(WorldMutex());
    Model().freeSpace[Upcase(letter)] = bytes;
}

namespace {
void KeepWhatIsOnMedium(Node& node)
{
    auto keep = [](const std::shared_ptr<Stream>& stream) {
        if (stream && stream->onMedium) {
            stream->data = *stream->onMedium;
            stream->onMedium.reset();
        }
    };
    keep(node.data);
    for (const auto& s : node.named)
        keep(s);
    for (const auto& [name, child] : node.children)
        KeepWhatIsOnMedium(*child);
}
}  // namespace

void PullOutDevice(WCHAR letter)
{
    WorldLock lock(WorldMutex());
    auto volume = TheWorld().volumes.find(Upcase(letter));
    if (volume != TheWorld().volumes.end() && volume->second.root)
        KeepWhatIsOnMedium(*volume->second.root);
}

void FaultViews(std::u16string_view path, DWORD exceptionCode, std::uint64_t fromOffset)
{
    WorldLock lock(WorldMutex());
    ResolvedPath r = ResolveForTest(path);
    if (r.error == 0 && !r.node && r.parent) {
        // A file the code under test will make.
        Model().faults.push_back({{}, exceptionCode, fromOffset, std::u16string(path)});
        return;
    }
    if (r.error != 0 || !r.node)
        throw std::invalid_argument("winsim: no such entry: " + detail::Narrow(path));
    std::shared_ptr<Stream> stream = r.hasStream ? r.node->FindNamed(r.streamName) : r.node->data;
    if (!stream)
        throw std::invalid_argument("winsim: no such stream: " + detail::Narrow(path));
    Model().faults.push_back({stream, exceptionCode, fromOffset});
}

std::uint64_t MappedViewBytes()
{
    WorldLock lock(WorldMutex());
    return Model().mappedBytes;
}

std::uint64_t PeakMappedViewBytes()
{
    WorldLock lock(WorldMutex());
    return Model().peakMappedBytes;
}

}  // namespace winsim
