#include "transfer/backup_copy.h"

#include <vector>

#include "plugin/host_bridge.h"
#include "plugin/paths.h"
#include "streams/stream_finder.h"
#include "transfer/copy_target.h"

namespace {

bool WriteAll(HANDLE file, const BYTE* bytes, DWORD count)
{
    while (count > 0) {
        DWORD written = 0;
        if (!WriteFile(file, bytes, count, &written, nullptr))
            return false;
        if (written == 0) {
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        bytes += written;
        count -= written;
    }
    return true;
}

TCopyOutcome CopyBody(TFindStreamData& stream, HANDLE target, const WCHAR* progressSourceName,
                      const WCHAR* progressTargetName)
{
    std::vector<BYTE> piece(BackupCopyPieceSize);
    const std::int64_t onePercent = OnePercent(stream.Size);
    std::int64_t copied = 0;
    for (;;) {
        DWORD done = 0;
        if (!StreamReadBody(stream, piece.data(), BackupCopyPieceSize, done))
            return coSourceViewFailed;
        if (done == 0)
            return coOk;
        if (!WriteAll(target, piece.data(), done))
            return coTargetViewFailed;
        copied += done;
        if (ReportProgress(progressSourceName, progressTargetName, PercentDone(copied, onePercent)))
            return coAborted;
    }
}

}  // namespace

TCopyOutcome BackupStreamCopy(const WString& filePath, TStreamId kind, const WString& targetPath,
                              const WCHAR* progressSourceName, const WCHAR* progressTargetName, bool durable)
{
    // A link's folder lists the link's own streams: they are what is copied.
    TFindStreamData stream;
    const bool linkItself = InspectLocal(filePath).Kind == LocalKind::FileLink;
    if (!StreamOpenBody(ToLongPath(filePath), kind, stream, linkItself))
        return coSourceOpenFailed;

    const DWORD fileAttributes = GetFileAttributesW(ToLongPath(filePath).c_str());
    const bool encrypted = fileAttributes != INVALID_FILE_ATTRIBUTES && (fileAttributes & FILE_ATTRIBUTE_ENCRYPTED);
    CopyTarget target = CreateCopyTarget(targetPath, encrypted);
    if (!target.File)
        return GetLastError() == ERROR_ENCRYPTION_FAILED ? coTargetEncryptionFailed : coTargetCreateFailed;

    TCopyOutcome outcome = coOk;
    try {
        outcome = CopyBody(stream, target.File.Get(), progressSourceName, progressTargetName);
    } catch (...) {
        DiscardIncompleteTarget(target);
        throw;
    }
    // The backup context and the file go with the cursor.
    if (outcome == coOk && !CommitCopyTarget(target, durable))
        outcome = coTargetCommitFailed;
    if (outcome != coOk)
        DiscardIncompleteTarget(target);
    return outcome;
}
