// The streams of a file as the listing shows them, read whole: what the
// backup API reports, with a sparse stream as it is. In the backup format a
// sparse data stream is a header whose size is not the stream's length,
// followed by one SPARSE_BLOCK stream per allocated range (a 64-bit offset and
// the bytes there): the stream's entry takes its real length from the file
// system, and its blocks make one "::$SPARSE_BLOCK" entry whose size is the
// sum of their bodies.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "plugin/text.h"
#include "streams/stream_ids.h"

struct ListedStream {
    TStreamId StreamID = TStreamId::siInvalid;
    DWORD Attributes = 0;  // the header's STREAM_* attribute word
    WString Name;          // ":name:$DATA" for a named stream; empty for the others
    std::int64_t Size = 0;
};

// Every stream of the file or directory at FileName (a long path) that passes
// the filter. False with the finder's error when it cannot be opened or read
// whole; ERROR_FILE_NOT_FOUND when none passes. A walk whose Stop flag is set
// ends at the next stream: false with ERROR_OPERATION_ABORTED.
bool ReadListedStreams(const WString& FileName, TStreamIds StreamIds, bool LinkItself, std::vector<ListedStream>& Out,
                       const std::atomic<bool>* Stop = nullptr);
