// The backup API. The first BackupRead on a handle takes a snapshot of the
// entry's streams into a read context; the bytes of the backup sequence are
// produced from it on demand, so a body of any size costs nothing until it is
// read. A read never runs past the end of the current stream (the next read
// begins at the next header), BackupSeek never crosses a header, and the
// context lives in the handle table until a read with bAbort TRUE releases it.
#include <winsim/winsim.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "calls.h"
#include "handles.h"
#include "pathname.h"
#include "sim.h"

using namespace winsim::detail;

namespace {

constexpr std::size_t kHeaderBytes = 20;  // WIN32_STREAM_ID up to cStreamName

struct BackupEntry {
    std::vector<std::uint8_t> prefix;  // the header and the name
    std::shared_ptr<Stream> stream;    // the body of a data stream
    Content synthetic;                 // the body of any other stream
    std::uint64_t size = 0;

    std::uint64_t Total() const { return prefix.size() + size; }
    void ReadBody(std::uint64_t offset, std::uint8_t* dst, std::size_t count) const
    {
        const Content& c = stream ? stream->data : synthetic;
        // A data stream that shrank since the snapshot reads as zeros beyond its end.
        std::uint64_t have = c.Size() > offset ? c.Size() - offset : 0;
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(have, count));
        c.Read(offset, dst, n);
        std::fill(dst + n, dst + count, 0);
    }
};

struct BackupContext : Object {
    std::u16string path;
    std::vector<BackupEntry> entries;
    std::size_t index = 0;      // the current stream
    std::uint64_t offset = 0;   // within the current stream's header, name and body
    std::string Describe() const override { return "backup read context on " + Narrow(path); }
    const char* Closer() const override { return "BackupRead with bAbort TRUE"; }

    void Advance(std::uint64_t n)
    {
        offset += n;
        if (index < entries.size() && offset == entries[index].Total()) {
            ++index;
            offset = 0;
        }
    }
};

std::uint64_t& BytesDelivered()
{
    static std::uint64_t bytes = 0;
    return bytes;
}

void Put32(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x)
{
    for (int i = 0; i < 4; ++i)
        v[at + i] = static_cast<std::uint8_t>(x >> (8 * i));
}

std::vector<std::uint8_t> NameBytes(std::u16string_view name)
{
    std::vector<std::uint8_t> bytes;
    for (char16_t c : name) {
        bytes.push_back(static_cast<std::uint8_t>(c));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return bytes;
}

BackupEntry MakeEntry(DWORD id, DWORD attributes, std::vector<std::uint8_t> name, DWORD announcedNameBytes,
                      std::uint64_t size)
{
    BackupEntry e;
    e.prefix.assign(kHeaderBytes, 0);
    Put32(e.prefix, 0, id);
    Put32(e.prefix, 4, attributes);
    Put32(e.prefix, 8, static_cast<std::uint32_t>(size));
    Put32(e.prefix, 12, static_cast<std::uint32_t>(size >> 32));
    Put32(e.prefix, 16, announcedNameBytes);
    e.prefix.insert(e.prefix.end(), name.begin(), name.end());
    e.size = size;
    return e;
}

BackupEntry Synthetic(DWORD id, DWORD attributes, std::uint64_t size, std::uint32_t seed)
{
    BackupEntry e = MakeEntry(id, attributes, {}, 0, size);
    e.synthetic = Content::Pattern(size, seed);
    return e;
}

// A self-relative security descriptor with an owner, a group and a DACL of
// two entries has about this size.
constexpr std::uint64_t kSecurityDescriptorBytes = 0x74;
constexpr std::uint64_t kObjectIdBytes = 64;  // the identifier and its 48 bytes of birth data

std::uint64_t ReparseDataBytes(const Node& node)
{
    // REPARSE_DATA_BUFFER of a mount point: 8 bytes of header, 8 of offsets,
    // the substitute name "\??\target\" and the print name, each with a zero.
    std::uint64_t target = node.reparseTarget.size();
    return 16 + (4 + target + 1 + 1) * 2 + (target + 1) * 2;
}

// The first bytes of an NTFS volume: its boot sector. Read as a backup
// sequence, its first 20 bytes decode as a header of identifier 0x4E9052EB
// with a body of petabytes and no name.
std::vector<std::uint8_t> BootSector()
{
    std::vector<std::uint8_t> b(512, 0);
    const std::uint8_t start[] = {0xEB, 0x52, 0x90, 'N', 'T', 'F', 'S', ' ', ' ', ' ', ' ', 0x00, 0x02, 0x08};
    std::copy(std::begin(start), std::end(start), b.begin());
    b[0x15] = 0xF8;  // a fixed disk
    b[510] = 0x55;
    b[511] = 0xAA;
    return b;
}

// The raw volume as one long run of bytes: the boot sector, then sectors.
std::vector<BackupEntry> RawVolume()
{
    BackupEntry e;
    e.prefix = BootSector();
    e.size = std::uint64_t{1} << 40;
    e.synthetic = Content::Pattern(e.size, 0x5EC7);
    return {std::move(e)};
}

// The owner, group and DACL come with any handle that may read them
// (READ_CONTROL, which GENERIC_READ includes); no privilege is needed. Only the
// SACL would need ACCESS_SYSTEM_SECURITY, and it is not modelled.
bool MayReadSecurity(DWORD access)
{
    return (access & (READ_CONTROL | GENERIC_READ | GENERIC_ALL)) != 0;
}

std::vector<BackupEntry> Snapshot(const Node& node, bool processSecurity, DWORD access)
{
    std::vector<BackupEntry> entries;
    if (processSecurity && MayReadSecurity(access))
        entries.push_back(Synthetic(BACKUP_SECURITY_DATA, STREAM_CONTAINS_SECURITY, kSecurityDescriptorBytes, 3));
    if (node.eaSize > 0)
        entries.push_back(Synthetic(BACKUP_EA_DATA, STREAM_NORMAL_ATTRIBUTE, node.eaSize, 2));
    if (node.data && (node.attributes & FILE_ATTRIBUTE_SPARSE_FILE)) {
        // A sparse stream: its header's size is not its length, and its
        // allocated ranges follow as SPARSE_BLOCK streams, each an 8-byte
        // offset and the bytes there.
        entries.push_back(MakeEntry(BACKUP_DATA, STREAM_SPARSE_ATTRIBUTE, {}, 0, 0));
        for (const auto& [offset, length] : node.allocatedRanges) {
            BackupEntry block = MakeEntry(BACKUP_SPARSE_BLOCK, STREAM_SPARSE_ATTRIBUTE, {}, 0, 8 + length);
            std::vector<std::uint8_t> body(8 + length, 0);
            for (int i = 0; i < 8; ++i)
                body[i] = static_cast<std::uint8_t>(offset >> (8 * i));
            const std::uint64_t have = node.data->data.Size() > offset ? node.data->data.Size() - offset : 0;
            node.data->data.Read(offset, body.data() + 8, static_cast<std::size_t>(std::min(have, length)));
            block.synthetic.Assign(std::string_view(reinterpret_cast<const char*>(body.data()), body.size()));
            entries.push_back(std::move(block));
        }
    } else if (node.data) {
        // The unnamed data stream is reported for every file, also when empty.
        BackupEntry e = MakeEntry(BACKUP_DATA, 0, {}, 0, node.data->data.Size());
        e.stream = node.data;
        entries.push_back(std::move(e));
    }
    for (const auto& s : node.named) {
        auto name = NameBytes(u":" + s->name + u":$DATA");
        DWORD n = static_cast<DWORD>(name.size());
        BackupEntry e = MakeEntry(BACKUP_ALTERNATE_DATA, STREAM_NORMAL_ATTRIBUTE, std::move(name), n, s->data.Size());
        e.stream = s;
        entries.push_back(std::move(e));
    }
    if (node.hasObjectId)
        entries.push_back(Synthetic(BACKUP_OBJECT_ID, STREAM_NORMAL_ATTRIBUTE, kObjectIdBytes, 7));
    if (node.reparseTag != 0)
        entries.push_back(Synthetic(BACKUP_REPARSE_DATA, STREAM_NORMAL_ATTRIBUTE, ReparseDataBytes(node), 8));
    for (const auto& x : node.backupExtras) {
        BackupEntry e = MakeEntry(x.id, x.attributes, x.name, x.nameBytes, x.size);
        e.synthetic = Content::Pattern(x.size, x.id);
        entries.push_back(std::move(e));
    }
    return entries;
}

}  // namespace

extern "C" BOOL WINAPI BackupRead(HANDLE hFile, LPBYTE lpBuffer, DWORD nNumberOfBytesToRead,
                                  LPDWORD lpNumberOfBytesRead, BOOL bAbort, BOOL bProcessSecurity,
                                  LPVOID* lpContext)
{
    WINSIM_ENTER("BackupRead", bAbort ? u"abort" : Widen(std::to_string(nNumberOfBytesToRead)), FALSE);
    if (!lpNumberOfBytesRead || !lpContext)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    *lpNumberOfBytesRead = 0;
    if (bAbort) {
        // The file handle is not looked at: the context alone is released.
        if (!*lpContext)
            return TRUE;
        if (!LookupAs<BackupContext>(*lpContext)) {
            NoteMisuse("BackupRead with bAbort TRUE on a context that is not allocated");
            return Fail(ERROR_INVALID_PARAMETER, FALSE);
        }
        Remove(*lpContext);
        return TRUE;
    }
    auto file = LookupAs<FileObject>(hFile);
    auto volume = file ? nullptr : LookupAs<VolumeObject>(hFile);
    if (!file && !volume)
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (file && !file->CanRead())
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (!lpBuffer && nNumberOfBytesToRead > 0)
        return Fail(ERROR_NOACCESS, FALSE);
    std::shared_ptr<BackupContext> context;
    if (!*lpContext) {
        context = std::make_shared<BackupContext>();
        if (file) {
            context->path = file->node->Path(file->driveLetter);
            context->entries = Snapshot(*file->node, bProcessSecurity != FALSE, file->access);
        } else {
            context->path = std::u16string(1, volume->letter) + u":";
            context->entries = RawVolume();
        }
        *lpContext = Insert(context);
    } else {
        context = LookupAs<BackupContext>(*lpContext);
        if (!context)
            return Fail(ERROR_INVALID_PARAMETER, FALSE);
    }
    DWORD done = 0;
    if (context->index < context->entries.size()) {
        const BackupEntry& e = context->entries[context->index];
        std::uint64_t left = e.Total() - context->offset;
        done = static_cast<DWORD>(std::min<std::uint64_t>(left, nNumberOfBytesToRead));
        std::uint64_t at = context->offset;
        for (DWORD i = 0; i < done;) {
            if (at < e.prefix.size()) {
                std::size_t n = std::min<std::size_t>(e.prefix.size() - at, done - i);
                std::memcpy(lpBuffer + i, e.prefix.data() + at, n);
                i += static_cast<DWORD>(n);
                at += n;
            } else {
                e.ReadBody(at - e.prefix.size(), lpBuffer + i, done - i);
                break;
            }
        }
        context->Advance(done);
    }
    BytesDelivered() += done;
    *lpNumberOfBytesRead = done;
    return TRUE;
}

extern "C" BOOL WINAPI BackupSeek(HANDLE hFile, DWORD dwLowBytesToSeek, DWORD dwHighBytesToSeek,
                                  LPDWORD lpdwLowByteSeeked, LPDWORD lpdwHighByteSeeked, LPVOID* lpContext)
{
    WINSIM_ENTER("BackupSeek", {}, FALSE);
    if (!lpdwLowByteSeeked || !lpdwHighByteSeeked || !lpContext)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    *lpdwLowByteSeeked = 0;
    *lpdwHighByteSeeked = 0;
    if (!LookupAs<FileObject>(hFile) && !LookupAs<VolumeObject>(hFile))
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    auto context = *lpContext ? LookupAs<BackupContext>(*lpContext) : nullptr;
    if (!context)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    std::uint64_t wanted = (static_cast<std::uint64_t>(dwHighBytesToSeek) << 32) | dwLowBytesToSeek;
    std::uint64_t left = context->index < context->entries.size()
                             ? context->entries[context->index].Total() - context->offset
                             : 0;
    std::uint64_t done = std::min(wanted, left);
    context->Advance(done);
    *lpdwLowByteSeeked = static_cast<DWORD>(done);
    *lpdwHighByteSeeked = static_cast<DWORD>(done >> 32);
    // Documented: a seek past the end of the current stream stops at the next
    // header and fails.
    if (done < wanted)
        return Fail(ERROR_SEEK, FALSE);
    return TRUE;
}

namespace winsim {

namespace {

std::shared_ptr<Node> MustFindNode(std::u16string_view path)
{
    ResolvedPath r = ResolveForTest(path);
    if (r.error != 0 || !r.node)
        throw std::invalid_argument("winsim: no such entry: " + detail::Narrow(path));
    return r.node;
}

}  // namespace

void SetEaData(std::u16string_view path, std::uint64_t size)
{
    WorldLock lock(WorldMutex());
    MustFindNode(path)->eaSize = size;
}

void SetObjectId(std::u16string_view path)
{
    WorldLock lock(WorldMutex());
    MustFindNode(path)->hasObjectId = true;
}

void AddPatternStream(std::u16string_view path, std::u16string_view streamName, std::uint64_t size,
                      std::uint32_t seed)
{
    WorldLock lock(WorldMutex());
    auto node = MustFindNode(path);
    auto stream = node->FindNamed(streamName);
    if (!stream) {
        stream = std::make_shared<Stream>();
        stream->name = std::u16string(streamName);
        node->named.push_back(stream);
    }
    stream->data = Content::Pattern(size, seed);
}

void AddBackupStream(std::u16string_view path, const BackupStreamSpec& entry)
{
    WorldLock lock(WorldMutex());
    auto name = NameBytes(entry.name);
    DWORD announced = entry.nameBytes.value_or(static_cast<DWORD>(name.size()));
    // The bytes that follow the header are the name cut or padded to the
    // announced length; a corrupt length beyond 1 MiB is only announced.
    name.resize(std::min<DWORD>(announced, 1u << 20), 0);
    Node::BackupExtra x{entry.id, entry.attributes, std::move(name), announced, entry.size};
    auto node = MustFindNode(path);
    node->backupExtras.push_back(std::move(x));
}

std::uint64_t BackupBytesRead()
{
    WorldLock lock(WorldMutex());
    return BytesDelivered();
}

void ResetBackupCounters()
{
    WorldLock lock(WorldMutex());
    BytesDelivered() = 0;
}

}  // namespace winsim
