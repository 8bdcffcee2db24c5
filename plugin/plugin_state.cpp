#include "plugin/plugin_state.h"

#include "plugin/dynamic_proc.h"

PluginStateData& PluginState()
{
    static PluginStateData state;
    return state;
}

void OnProcessAttach(HMODULE module)
{
    PluginStateData& s = PluginState();
    s = PluginStateData{};
    s.Module = module;
}

void OnProcessDetach()
{
    PluginState() = PluginStateData{};
    ForgetDynamicProcs();
}
