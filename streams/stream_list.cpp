#include "streams/stream_list.h"

#include "plugin/win_owner.h"
#include "streams/stream_finder.h"

namespace {

// The length of a stream as the file system keeps it.
bool RealLength(const WString& fileName, const WString& streamName, bool linkItself, std::int64_t& length)
{
    // ":name:$DATA" after the file's name opens that stream; nothing, the file.
    UniqueFile stream(CreateFileW((fileName + streamName).c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | (linkItself ? FILE_FLAG_OPEN_REPARSE_POINT : 0),
                                  nullptr));
    LARGE_INTEGER size{};
    if (!stream || !GetFileSizeEx(stream.Get(), &size))
        return false;
    length = size.QuadPart;
    return true;
}

}  // namespace

bool ReadListedStreams(const WString& FileName, TStreamIds StreamIds, bool LinkItself, std::vector<ListedStream>& Out,
                       const std::atomic<bool>* Stop)
{
    Out.clear();
    auto stopped = [Stop] { return Stop && Stop->load(std::memory_order_relaxed); };
    if (stopped()) {
        SetLastError(ERROR_OPERATION_ABORTED);
        return false;
    }
    TFindStreamData cursor;
    if (!StreamFindFirst(FileName, StreamIds, cursor, LinkItself))
        return false;
    bool blocksGoOn = false;  // the last entry is a sparse stream's blocks
    do {
        if (stopped()) {
            StreamFindClose(cursor);
            Out.clear();
            SetLastError(ERROR_OPERATION_ABORTED);
            return false;
        }
        ListedStream s{cursor.StreamID, cursor.Attributes, cursor.Name, cursor.Size};
        const bool block = s.StreamID == TStreamId::siSparseFile && s.Name.empty();
        if (block && blocksGoOn) {
            Out.back().Size += s.Size;
            continue;
        }
        blocksGoOn = block;
        const bool data = s.StreamID == TStreamId::siStandard || s.StreamID == TStreamId::siAlternate;
        if (data && (s.Attributes & STREAM_SPARSE_ATTRIBUTE)) {
            std::int64_t length = 0;
            if (RealLength(FileName, s.Name, LinkItself, length))
                s.Size = length;
        }
        Out.push_back(std::move(s));
    } while (StreamFindNext(cursor));
    const DWORD error = GetLastError();
    StreamFindClose(cursor);
    if (error != ERROR_NO_MORE_FILES) {
        Out.clear();
        SetLastError(error);
        return false;
    }
    return true;
}
