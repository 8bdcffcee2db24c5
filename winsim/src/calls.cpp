#include "calls.h"

#include <winsim/winsim.h>

namespace winsim::detail {

namespace {

struct Fault {
    std::string function;
    DWORD error;
    int remaining;  // calls to let pass before the failing one; -1: fail every call
};

struct Hook {
    std::string function;
    int remaining;  // calls to let pass before the one that runs the action
    std::function<void()> action;
};

struct CallState {
    std::vector<Call> log;
    std::vector<Fault> faults;
    std::vector<Hook> hooks;
};

CallState& State()
{
    static CallState state;
    return state;
}

}  // namespace

std::optional<DWORD> Enter(const char* function, std::u16string_view argument)
{
    auto& s = State();
    s.log.push_back({function, std::u16string(argument)});
    for (auto it = s.hooks.begin(); it != s.hooks.end(); ++it) {
        if (it->function != function)
            continue;
        if (it->remaining-- == 0) {
            std::function<void()> action = std::move(it->action);
            s.hooks.erase(it);
            action();
            break;
        }
    }
    for (auto it = s.faults.begin(); it != s.faults.end(); ++it) {
        if (it->function != function)
            continue;
        if (it->remaining < 0)
            return it->error;
        if (it->remaining == 0) {
            DWORD error = it->error;
            s.faults.erase(it);
            return error;
        }
        --it->remaining;
    }
    return std::nullopt;
}

void ResetCalls()
{
    State() = CallState{};
}

}  // namespace winsim::detail

namespace winsim {

using namespace detail;

void FailCall(std::string_view function, DWORD error, int nth)
{
    WorldLock lock(WorldMutex());
    State().faults.push_back({std::string(function), error, nth > 0 ? nth - 1 : 0});
}

void FailAlways(std::string_view function, DWORD error)
{
    WorldLock lock(WorldMutex());
    State().faults.push_back({std::string(function), error, -1});
}

void BeforeCall(std::string_view function, int nth, std::function<void()> action)
{
    WorldLock lock(WorldMutex());
    State().hooks.push_back({std::string(function), nth > 0 ? nth - 1 : 0, std::move(action)});
}

std::vector<Call> CallLog()
{
    WorldLock lock(WorldMutex());
    return State().log;
}

void ClearCallLog()
{
    WorldLock lock(WorldMutex());
    State().log.clear();
}

std::size_t CountCalls(std::string_view function)
{
    WorldLock lock(WorldMutex());
    std::size_t n = 0;
    for (const auto& c : State().log)
        n += c.function == function;
    return n;
}

}  // namespace winsim
