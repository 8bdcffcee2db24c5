#include "plugin/operation.h"

#include <map>
#include <mutex>

#include "plugin/host_interface.h"
#include "plugin/paths.h"

namespace {

// By thread: the host may run a background copy on one thread while the
// window thread lists. A map under a lock rather than thread-local storage:
// a DLL's thread-local destructors would run after the host unloaded it.
struct Operations {
    std::mutex mutex;
    std::map<DWORD, HostOperation> byThread;
};

Operations& All()
{
    static auto* operations = new Operations;  // never destroyed: threads may outlive the unload
    return *operations;
}

WString Folded(WStringView s)
{
    WString folded(RemoveTrailingBackslash(s));
    for (WCHAR& c : folded)
        c = AsciiUpper(c);
    return folded;
}

}  // namespace

void BeginOperation(const WString& remoteDir, int kind)
{
    HostOperation op;
    op.Kind = kind;
    op.RemoteDir = Folded(remoteDir);
    std::lock_guard<std::mutex> lock(All().mutex);
    All().byThread[GetCurrentThreadId()] = std::move(op);
}

void EndOperation()
{
    std::lock_guard<std::mutex> lock(All().mutex);
    All().byThread.erase(GetCurrentThreadId());
}

bool WithOperation(const std::function<void(HostOperation&)>& fn)
{
    HostOperation* op = nullptr;
    {
        std::lock_guard<std::mutex> lock(All().mutex);
        auto it = All().byThread.find(GetCurrentThreadId());
        if (it == All().byThread.end())
            return false;
        // Only this thread reads or changes its own record, and only this
        // thread erases it: the pointer stays valid outside the lock.
        op = &it->second;
    }
    fn(*op);
    return true;
}

bool EntryGoesWithItsFolder(WStringView owner)
{
    bool goes = false;
    WithOperation([&](HostOperation& op) { goes = op.RemoteDir != Folded(owner); });
    return goes;
}

bool OperationMovesOut()
{
    bool moves = false;
    WithOperation([&](HostOperation& op) {
        moves = op.Kind == FS_STATUS_OP_GET_SINGLE || op.Kind == FS_STATUS_OP_GET_MULTI ||
                op.Kind == FS_STATUS_OP_GET_MULTI_THREAD || op.Kind == FS_STATUS_OP_SYNC_GET ||
                op.Kind == FS_STATUS_OP_RENMOV_MULTI;
    });
    return moves;
}

WString StreamKey(WStringView ownerLocal, WStringView streamName)
{
    WString key = Folded(ownerLocal);
    key += ':';
    for (WCHAR c : streamName)
        key += AsciiUpper(c);
    return key;
}
