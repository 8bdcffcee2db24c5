#include "plugin/plugin_state.h"

#include <mutex>

#include "plugin/dynamic_proc.h"

namespace {

// The lock is held for a pointer copy or a swap only: a reload reads its
// files before it takes it, and a reader works on its own reference after.
struct Shared {
    std::mutex mutex;
    std::shared_ptr<const SettingsSnapshot> settings;
    std::uint64_t publishedTicket = 0;
    std::atomic<std::uint64_t> nextTicket{1};
    WString suggestedSettingsFile;
};

Shared& TheShared()
{
    static auto* shared = new Shared;  // never destroyed: a host thread may outlive the unload
    return *shared;
}

}  // namespace

PluginStateData& PluginState()
{
    static PluginStateData state;
    return state;
}

std::shared_ptr<const SettingsSnapshot> CurrentSettings()
{
    Shared& shared = TheShared();
    std::lock_guard<std::mutex> lock(shared.mutex);
    if (!shared.settings)
        shared.settings = std::make_shared<const SettingsSnapshot>();
    return shared.settings;
}

std::uint64_t SettingsReadTicket()
{
    return TheShared().nextTicket.fetch_add(1);
}

void PublishSettings(SettingsSnapshot next, std::uint64_t ticket)
{
    auto published = std::make_shared<const SettingsSnapshot>(std::move(next));
    std::shared_ptr<const SettingsSnapshot> old;
    Shared& shared = TheShared();
    std::lock_guard<std::mutex> lock(shared.mutex);
    if (ticket < shared.publishedTicket)
        return;  // a reload that read the files later is in force already
    shared.publishedTicket = ticket;
    old = std::move(shared.settings);  // released after the lock, by whoever holds it last
    shared.settings = std::move(published);
}

void PublishSettings(SettingsSnapshot next)
{
    PublishSettings(std::move(next), SettingsReadTicket());
}

WString SuggestedSettingsFileName()
{
    Shared& shared = TheShared();
    std::lock_guard<std::mutex> lock(shared.mutex);
    return shared.suggestedSettingsFile;
}

void SetSuggestedSettingsFileName(WString file)
{
    Shared& shared = TheShared();
    std::lock_guard<std::mutex> lock(shared.mutex);
    shared.suggestedSettingsFile = std::move(file);
}

void OnProcessAttach(HMODULE module)
{
    OnProcessDetach();
    PluginState().Module = module;
}

void OnProcessDetach()
{
    PluginStateData& s = PluginState();
    s.PluginNr = -1;
    s.ProgressProc = nullptr;
    s.LogProc = nullptr;
    s.RequestProc = nullptr;
    s.Disabled = true;
    s.Module = nullptr;
    PublishSettings(SettingsSnapshot{});
    SetSuggestedSettingsFileName(WString());
    ForgetDynamicProcs();
}
