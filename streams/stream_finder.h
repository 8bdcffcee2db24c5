// The stream finder: a cursor over the streams of one file or directory as the
// backup API reports them, with the shape of the system's own search calls
// (find first, find next, close) and the reason for a false result in the
// thread's last-error value. Stream bodies are skipped, never read.
#pragma once

#include <windows.h>

#include <cstdint>
#include <limits>
#include <optional>

#include "plugin/text.h"
#include "plugin/win_owner.h"
#include "streams/stream_ids.h"

struct TInternalFindStreamData {
    // Invalid once the cursor is closed or when the open failed.
    UniqueFile FileHandle;
    // The backup API's read context: none before the first read and after close.
    UniqueBackupContext Context;
    TStreamIds StreamIds;
    // Set while the cursor reads one stream's body (StreamOpenBody): the kind
    // sought, and the body's bytes not yet read.
    std::optional<TStreamId> BodyKind;
    std::uint64_t BodyLeft = 0;
    // A sparse stream's blocks are one body: the reads go on into the next
    // SPARSE_BLOCK stream until another kind of stream (or the end) comes.
    bool BodyEnded = false;
};

// A cursor. Value-initialise it before StreamFindFirst. After a failed step the
// four public fields keep the values of the last stream found. Destroying an
// open cursor releases it as StreamFindClose does.
struct TFindStreamData {
    TInternalFindStreamData Internal;
    DWORD Attributes = 0;  // the header's STREAM_* attribute word
    TStreamId StreamID = TStreamId::siInvalid;  // the low byte of the header's stream identifier
    WString Name;          // ":name:$DATA" for a named stream; empty for the others
    std::int64_t Size = 0; // the length of the stream's body in bytes

    bool IsOpen() const { return Internal.FileHandle.Valid(); }
};

// Opens FileName with backup semantics and moves to the first stream that
// passes the filter (the empty set passes every stream). False with the last
// error ERROR_FILE_NOT_FOUND when none passes; the cursor is then closed.
// With LinkItself a reparse point is opened as itself (its own streams, the
// reparse data among them), never as its target.
bool StreamFindFirst(const WString& FileName, TStreamIds StreamIds, TFindStreamData& Data, bool LinkItself = false);
// The next stream that passes; false with ERROR_NO_MORE_FILES at the end (the
// cursor stays open), ERROR_INVALID_HANDLE on a closed cursor.
bool StreamFindNext(TFindStreamData& Data);
// Opens FileName with backup semantics and reads the sequence up to the body
// of the first stream of the given kind that has no name of its own (kind 0
// also stands for the identifiers without a kind, as the listing shows them
// all as "::"). The public fields describe that stream. False with the last
// error ERROR_FILE_NOT_FOUND when there is none; the cursor is closed then.
bool StreamOpenBody(const WString& FileName, TStreamId Kind, TFindStreamData& Data, bool LinkItself = false);
// Reads the next piece of the body the cursor stands in, never past its end:
// done is 0 once it is all read. The body of a sparse stream's blocks
// (siSparseFile) is every consecutive block's, as the backup API gives them.
bool StreamReadBody(TFindStreamData& Data, BYTE* Buffer, DWORD Count, DWORD& Done);
// Releases the read context and the handle; true when the release succeeded.
bool StreamFindClose(TFindStreamData& Data);

// The size of the name buffer for a name of n bytes: n, two bytes for the
// terminating zero. Nothing when that sum does not fit the size type (a
// corrupt length near 4 GiB on a 32-bit build must not wrap to a short buffer).
template <typename SizeType>
constexpr std::optional<SizeType> NameBufferBytes(std::uint32_t n)
{
    if (static_cast<std::uint64_t>(n) > static_cast<std::uint64_t>(std::numeric_limits<SizeType>::max()) - 2)
        return std::nullopt;
    return static_cast<SizeType>(static_cast<SizeType>(n) + 2);
}
