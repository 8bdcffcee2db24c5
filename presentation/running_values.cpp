#include "presentation/running_values.h"

#include <map>
#include <mutex>

#include "plugin/paths.h"

namespace {

struct Registry {
    std::mutex mutex;
    std::multimap<WString, std::atomic<bool>*> running;
};

Registry& TheRegistry()
{
    static auto* registry = new Registry;  // never destroyed: a host thread may outlive the unload
    return *registry;
}

// Hosts pass the same spelling to the value and to its stop; the case is
// folded all the same, as the file system folds it.
WString KeyOf(const WString& fileName)
{
    WString key = fileName;
    for (WCHAR& c : key)
        c = AsciiUpper(c);
    return key;
}

}  // namespace

RunningValue::RunningValue(WString fileName) : key_(KeyOf(fileName))
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.running.emplace(key_, &stop_);
}

RunningValue::~RunningValue()
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto [first, last] = r.running.equal_range(key_);
    for (auto it = first; it != last; ++it) {
        if (it->second == &stop_) {
            r.running.erase(it);
            break;
        }
    }
}

void StopRunningValues(const WString& fileName)
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto [first, last] = r.running.equal_range(KeyOf(fileName));
    for (auto it = first; it != last; ++it)
        it->second->store(true, std::memory_order_relaxed);
}
