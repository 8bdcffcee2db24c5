// What every fuzzer shares: turning fuzz bytes into UTF-16 text, a fresh
// winsim world with the plugin loaded, and checks that stop the run with the
// input that broke a property.
#pragma once

#include <winsim/winsim.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "plugin/plugin_state.h"
#include "plugin/text.h"

namespace fuzz {

[[noreturn]] inline void Fail(const char* property, const std::u16string& input, const std::u16string& detail = {})
{
    std::fprintf(stderr, "property broken: %s\n  input:  %s\n  detail: %s\n", property,
                 winsim::Narrow(input).c_str(), winsim::Narrow(detail).c_str());
    std::abort();
}

// The input as text: after the bytes FF FE, UTF-16 little-endian (any code
// unit, lone surrogates included; an odd last byte is dropped); otherwise
// every byte is one character (Latin-1), so that seeds are readable files.
inline WString InputText(const std::uint8_t* data, std::size_t size)
{
    WString s;
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
        for (std::size_t i = 2; i + 1 < size; i += 2)
            s += static_cast<WCHAR>(data[i] | (data[i + 1] << 8));
    } else {
        for (std::size_t i = 0; i < size; ++i)
            s += static_cast<WCHAR>(data[i]);
    }
    return s;
}

// The fields of an input that carries several texts, separated by U+0001.
// Missing fields are empty.
inline std::vector<WString> Fields(WStringView text, std::size_t count)
{
    std::vector<WString> fields(count);
    std::size_t field = 0;
    for (WCHAR c : text) {
        if (c == 1 && field + 1 < count)
            ++field;
        else
            fields[field] += c;
    }
    return fields;
}

// The world of the tests: volume C:, the plugin's folder, the plugin loaded
// but not initialised.
inline void FreshWorld()
{
    winsim::Reset();
    winsim::AddVolume(u'C');
    winsim::AddDirectory(u"C:\\plugins");
    OnProcessAttach(winsim::PluginModule());
}

// Unloads the plugin and stops the run if anything was left open.
inline void EndWorld(const std::u16string& input)
{
    OnProcessDetach();
    std::u16string all;
    for (const auto& leak : winsim::Leaks()) {
        all += u"\n    ";
        all += std::u16string(leak.begin(), leak.end());
    }
    if (!all.empty())
        Fail("nothing is left open", input, all);
}

}  // namespace fuzz
