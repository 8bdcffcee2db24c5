#include "streams/stream_finder.h"

#include <algorithm>
#include <cstring>

#include "plugin/dynamic_proc.h"

namespace {

// Found by name in kernel32.dll at its first use and kept.
using BackupSeekFn = BOOL WINAPI(HANDLE, DWORD, DWORD, LPDWORD, LPDWORD, LPVOID*);
DynamicProc<BackupSeekFn> backupSeek(TEXT("kernel32.dll"), "BackupSeek");

// The fixed part of a WIN32_STREAM_ID header, up to the name.
constexpr DWORD kHeaderBytes = 20;

struct StreamHeader {
    std::uint32_t id;
    std::uint32_t attributes;
    std::uint64_t size;
    std::uint32_t nameBytes;
};

std::uint32_t Le32(const BYTE* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

StreamHeader Decode(const BYTE (&raw)[kHeaderBytes])
{
    return {Le32(raw), Le32(raw + 4), Le32(raw + 8) | static_cast<std::uint64_t>(Le32(raw + 12)) << 32,
            Le32(raw + 16)};
}

bool ReadExactly(TInternalFindStreamData& in, BYTE* buffer, DWORD count, DWORD& done)
{
    done = 0;
    return BackupRead(in.FileHandle.Get(), buffer, count, &done, FALSE, TRUE, in.Context.Address()) != FALSE;
}

bool FailWith(DWORD error)
{
    SetLastError(error);
    return false;
}

// Reads the name that follows a header into Name. Security data is asked
// for with every read, so a security-descriptor stream is part of the sequence.
bool ReadName(TInternalFindStreamData& in, std::uint32_t n, WString& name)
{
    name.clear();
    if (n == 0)
        return true;
    std::optional<SIZE_T> bytes = NameBufferBytes<SIZE_T>(n);
    if (!bytes)
        return FailWith(ERROR_OUTOFMEMORY);
    UniqueHeapBlock buffer(HeapAlloc(GetProcessHeap(), 0, *bytes));
    if (!buffer)
        return FailWith(ERROR_OUTOFMEMORY);
    auto* raw = static_cast<BYTE*>(buffer.Get());
    DWORD done = 0;
    // A read that delivers fewer bytes than the header announced is a corrupt
    // sequence: the rest of the buffer would be garbage.
    if (!ReadExactly(in, raw, n, done) || done != n)
        return FailWith(ERROR_READ_FAULT);
    // An odd trailing byte is dropped.
    std::uint32_t end = (n % 2 == 0) ? n : n - 1;
    raw[end] = 0;
    raw[end + 1] = 0;
    std::size_t chars = end / 2;
    name.resize(chars);
    std::memcpy(name.data(), raw, chars * 2);
    // The name ends at its first zero character, as a C string would.
    name.resize(WStringView(name.c_str()).size());
    return true;
}

// Kind 0 stands for itself and for every identifier without a kind.
bool IsOfKind(std::uint32_t id, TStreamId kind)
{
    if (kind == TStreamId::siInvalid)
        return id == 0 || id >= static_cast<std::uint32_t>(kStreamKindCount);
    return id == static_cast<std::uint32_t>(kind);
}

// One step of the cursor: reads headers and names, skipping bodies, until a
// stream passes the filter or the sequence ends. A cursor that reads a body
// stops in front of the body of the stream it seeks.
bool Walk(TFindStreamData& d)
{
    TInternalFindStreamData& in = d.Internal;
    for (;;) {
        BYTE raw[kHeaderBytes];
        DWORD done = 0;
        if (!ReadExactly(in, raw, kHeaderBytes, done))
            return FailWith(ERROR_READ_FAULT);
        if (done == 0)
            return FailWith(ERROR_NO_MORE_FILES);
        if (done != kHeaderBytes)  // a truncated header cannot be decoded
            return FailWith(ERROR_READ_FAULT);
        StreamHeader h = Decode(raw);

        WString name;
        if (!ReadName(in, h.nameBytes, name))
            return false;

        const std::uint32_t id = h.id & 0xFF;
        const bool passes = in.BodyKind ? name.empty() && IsOfKind(id, *in.BodyKind)
                                        : in.StreamIds.Empty() || in.StreamIds.ContainsId(id);
        if (passes) {
            d.Size = static_cast<std::int64_t>(h.size);
            d.Name = std::move(name);
            d.Attributes = h.attributes;
            d.StreamID = static_cast<TStreamId>(id);
        }
        if (passes && in.BodyKind) {
            in.BodyLeft = h.size;
            return true;
        }
        // The body is skipped in one seek, also that of the stream just found,
        // so that the next step begins at the next header.
        if (h.size != 0) {
            DWORD lowDone = 0, highDone = 0;
            if (!backupSeek.Get()(in.FileHandle.Get(), static_cast<DWORD>(h.size), static_cast<DWORD>(h.size >> 32),
                                  &lowDone, &highDone, in.Context.Address()))
                return FailWith(ERROR_READ_FAULT);
        }
        if (passes)
            return true;
    }
}

bool OpenAndWalk(const WString& FileName, TFindStreamData& Data, DWORD extraFlags = 0)
{
    TInternalFindStreamData& in = Data.Internal;
    // Backup semantics open directories too and, with the backup privilege
    // enabled, let the read pass the entry's security.
    in.FileHandle.Reset(CreateFileW(FileName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | extraFlags, nullptr));
    if (!in.FileHandle)
        return false;
    bool found = false;
    try {
        found = Walk(Data);
    } catch (...) {
        in.Context.Reset();
        in.FileHandle.Reset();
        throw;
    }
    if (found)
        return true;
    DWORD error = GetLastError();
    in.Context.Reset();
    in.FileHandle.Reset();
    SetLastError(error == ERROR_NO_MORE_FILES ? ERROR_FILE_NOT_FOUND : error);
    return false;
}

}  // namespace

bool StreamFindFirst(const WString& FileName, TStreamIds StreamIds, TFindStreamData& Data, bool LinkItself)
{
    TInternalFindStreamData& in = Data.Internal;
    in.Context.Reset();
    in.StreamIds = StreamIds;
    in.BodyKind.reset();
    return OpenAndWalk(FileName, Data, LinkItself ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
}

bool StreamOpenBody(const WString& FileName, TStreamId Kind, TFindStreamData& Data, bool LinkItself)
{
    TInternalFindStreamData& in = Data.Internal;
    in.Context.Reset();
    in.BodyKind = Kind;
    in.BodyLeft = 0;
    in.BodyEnded = false;
    return OpenAndWalk(FileName, Data, LinkItself ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
}

bool StreamReadBody(TFindStreamData& Data, BYTE* Buffer, DWORD Count, DWORD& Done)
{
    TInternalFindStreamData& in = Data.Internal;
    Done = 0;
    if (!Data.IsOpen() || !in.BodyKind)
        return FailWith(ERROR_INVALID_HANDLE);
    // The blocks of a sparse stream follow one another: the next one's body
    // goes on where this one's ended.
    while (in.BodyLeft == 0 && !in.BodyEnded && *in.BodyKind == TStreamId::siSparseFile) {
        BYTE raw[kHeaderBytes];
        DWORD got = 0;
        if (!ReadExactly(in, raw, kHeaderBytes, got))
            return FailWith(ERROR_READ_FAULT);
        if (got != kHeaderBytes) {
            in.BodyEnded = true;
            break;
        }
        StreamHeader h = Decode(raw);
        if ((h.id & 0xFF) != static_cast<std::uint32_t>(TStreamId::siSparseFile) || h.nameBytes != 0) {
            in.BodyEnded = true;
            break;
        }
        in.BodyLeft = h.size;
    }
    // A read may not reach into the next header: BackupRead would deliver it.
    const auto count = static_cast<DWORD>(std::min<std::uint64_t>(Count, in.BodyLeft));
    if (count == 0)
        return true;
    if (!ReadExactly(in, Buffer, count, Done))
        return FailWith(ERROR_READ_FAULT);
    // A body that ends before its header said is a corrupt sequence.
    if (Done == 0)
        return FailWith(ERROR_READ_FAULT);
    in.BodyLeft -= Done;
    return true;
}

bool StreamFindNext(TFindStreamData& Data)
{
    if (!Data.IsOpen())
        return FailWith(ERROR_INVALID_HANDLE);
    return Walk(Data);
}

bool StreamFindClose(TFindStreamData& Data)
{
    TInternalFindStreamData& in = Data.Internal;
    if (!Data.IsOpen())
        return FailWith(ERROR_INVALID_HANDLE);
    bool released = in.Context.Close();
    DWORD error = released ? ERROR_SUCCESS : GetLastError();
    in.FileHandle.Close();
    SetLastError(error);
    return released;
}
