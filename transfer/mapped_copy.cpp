#include "transfer/mapped_copy.h"

#include "plugin/host_bridge.h"
#include "plugin/paths.h"
#include "plugin/win_owner.h"
#include "transfer/copy_target.h"
#include "transfer/guarded_move.h"

namespace {

struct CopyState {
    HANDLE sourceMapping = nullptr;
    HANDLE targetMapping = nullptr;
    std::int64_t size = 0;
    std::int64_t remaining = 0;
    std::int64_t offset = 0;
    std::int64_t onePercent = 1;
    const WCHAR* progressSourceName = nullptr;
    const WCHAR* progressTargetName = nullptr;
    // FlushViewOfFile before each target view goes: it starts the writes of
    // its pages, which FlushFileBuffers then waits for.
    bool flushViews = false;
};

// One view of each file at the same offset, one move between them.
TCopyOutcome CopyChunk(CopyState& s, std::int64_t n)
{
    const auto offsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(s.offset) >> 32);
    const auto offsetLow = static_cast<DWORD>(s.offset);
    const auto bytes = static_cast<SIZE_T>(n);
    UniqueView sourceView(MapViewOfFile(s.sourceMapping, FILE_MAP_READ, offsetHigh, offsetLow, bytes));
    if (!sourceView)
        return coSourceViewFailed;
    UniqueView targetView(MapViewOfFile(s.targetMapping, FILE_MAP_WRITE, offsetHigh, offsetLow, bytes));
    if (!targetView)
        return coTargetViewFailed;
    bool moved = MoveBytesGuarded(targetView.Get(), sourceView.Get(), static_cast<std::size_t>(n));
    if (moved && s.flushViews && !FlushViewOfFile(targetView.Get(), 0))
        return coTargetCommitFailed;
    targetView.Reset();
    sourceView.Reset();
    if (!moved)
        throw CopyFault();
    s.remaining -= n;
    s.offset += n;
    if (ReportProgress(s.progressSourceName, s.progressTargetName, PercentDone(s.offset, s.onePercent)))
        return coAborted;
    return coOk;
}

TCopyOutcome CopyAllChunks(CopyState& s)
{
    FaultGuard guard;
    while (s.remaining >= CopyChunkSize) {
        TCopyOutcome outcome = CopyChunk(s, CopyChunkSize);
        if (outcome != coOk)
            return outcome;
    }
    if (s.remaining != 0)
        return CopyChunk(s, s.remaining);
    return coOk;
}

}  // namespace

std::int64_t OnePercent(std::int64_t size)
{
    std::int64_t one = size / 100;
    return one == 0 ? 1 : one;
}

int PercentDone(std::int64_t copied, std::int64_t onePercent)
{
    std::int64_t quotient = copied / onePercent;
    return quotient > 100 ? 100 : static_cast<int>(quotient);
}

TCopyOutcome MappedCopy(const WString& sourcePath, const WString& targetPath, const WCHAR* progressSourceName,
                        const WCHAR* progressTargetName, const MappedCopyOptions& options)
{
    const LastErrorClearing& clearing = options.clearing;
    const bool durable = options.durable;
    const DWORD share = options.sourceAsListed ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE : FILE_SHARE_READ;
    const DWORD flags = FILE_FLAG_SEQUENTIAL_SCAN | (options.sourceAsListed ? FILE_FLAG_BACKUP_SEMANTICS : 0);
    UniqueFile source(
        CreateFileW(ToLongPath(sourcePath).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, flags, nullptr));
    if (!source)
        return coSourceOpenFailed;
    // Backup semantics open directories too, which have no data to copy: they
    // fail as an open without them would.
    BY_HANDLE_FILE_INFORMATION info{};
    if (options.sourceAsListed && GetFileInformationByHandle(source.Get(), &info) &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        source.Reset();
        SetLastError(ERROR_ACCESS_DENIED);
        return coSourceOpenFailed;
    }

    DWORD sizeHigh = 0;
    DWORD sizeLow = GetFileSize(source.Get(), &sizeHigh);
    // A low part of INVALID_FILE_SIZE is a size like any other when the last
    // error says so.
    if (sizeLow == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        return coSourceSizeFailed;

    CopyState s;
    s.size = static_cast<std::int64_t>((static_cast<std::uint64_t>(sizeHigh) << 32) | sizeLow);
    s.progressSourceName = progressSourceName;
    s.progressTargetName = progressTargetName;
    s.flushViews = durable;

    // From here on only the mapping keeps the source open.
    UniqueMapping sourceMapping;
    if (s.size > 0) {
        if (clearing.beforeSourceMapping)
            SetLastError(ERROR_SUCCESS);
        sourceMapping.Reset(CreateFileMappingW(source.Get(), nullptr, PAGE_READONLY, sizeHigh, sizeLow, nullptr));
    }
    source.Reset();
    if (s.size > 0 && !sourceMapping)
        return coSourceMappingFailed;

    // The copy of an encrypted file's content is encrypted, or not made.
    const DWORD sourceAttributes = GetFileAttributesW(ToLongPath(FileOfStreamPath(sourcePath)).c_str());
    const bool encrypted =
        sourceAttributes != INVALID_FILE_ATTRIBUTES && (sourceAttributes & FILE_ATTRIBUTE_ENCRYPTED);
    if (clearing.beforeTargetCreate)
        SetLastError(ERROR_SUCCESS);
    CopyTarget target = CreateCopyTarget(targetPath, encrypted);
    if (!target.File)
        return GetLastError() == ERROR_ENCRYPTION_FAILED ? coTargetEncryptionFailed : coTargetCreateFailed;

    // The target's mapping gives it the source's full length at once. The
    // file stays open for the flush that makes a move's copy durable.
    UniqueMapping targetMapping;
    if (s.size > 0) {
        if (clearing.beforeTargetMapping)
            SetLastError(ERROR_SUCCESS);
        targetMapping.Reset(
            CreateFileMappingW(target.File.Get(), nullptr, PAGE_READWRITE, sizeHigh, sizeLow, nullptr));
    }

    TCopyOutcome outcome = coOk;
    try {
        if (s.size > 0 && !targetMapping) {
            outcome = coTargetMappingFailed;
        } else if (s.size > 0) {
            s.sourceMapping = sourceMapping.Get();
            s.targetMapping = targetMapping.Get();
            s.onePercent = OnePercent(s.size);
            s.remaining = s.size;
            outcome = CopyAllChunks(s);
        }
    } catch (...) {
        targetMapping.Reset();
        sourceMapping.Reset();
        DiscardIncompleteTarget(target);
        throw;
    }
    // The target's mapping first, then the source's, on every way out; only
    // then can the target be replaced, or an incomplete one removed.
    targetMapping.Reset();
    sourceMapping.Reset();
    if (outcome == coOk && !CommitCopyTarget(target, durable))
        outcome = coTargetCommitFailed;
    if (outcome != coOk)
        DiscardIncompleteTarget(target);
    return outcome;
}
