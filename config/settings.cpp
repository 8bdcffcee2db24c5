#include "config/settings.h"

#include "config/ini.h"
#include "config/language_path.h"
#include "config/messages.h"
#include "config/text_file.h"
#include "plugin/paths.h"
#include "plugin/plugin_state.h"

WString PluginFolder()
{
    // No fixed limit: a plugin folder may lie deeper than MAX_PATH.
    WString path(MAX_PATH, WCHAR{});
    for (;;) {
        DWORD n = GetModuleFileNameW(PluginState().Module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        if (path.size() >= 32768)
            return {};
        path.resize(path.size() * 2);
    }
    std::size_t slash = path.rfind('\\');
    if (slash == WString::npos)
        return {};
    path.resize(slash + 1);
    return path;
}

WString SettingsFileBesidePlugin()
{
    return PluginFolder() + kSettingsFileName;
}

WString SettingsFilePath()
{
    const WString beside = SettingsFileBesidePlugin();
    const WString suggested = SuggestedSettingsFileName();
    if (suggested.empty() || FileExistsLong(beside))
        return beside;
    return FileExistsLong(suggested) ? suggested : beside;
}

WString SuggestedSettingsFile(const WString& defaultIniName)
{
    const std::size_t slash = defaultIniName.find_last_of(TEXT("\\/"));
    if (slash == WString::npos)
        return {};
    return defaultIniName.substr(0, slash + 1) + kSettingsFileName;
}

int ParseStreamTypes(const std::optional<WString>& value)
{
    if (!value || value->empty())
        return -1;
    WStringView s = *value;
    bool negative = false;
    if (s[0] == '-') {
        negative = true;
        s.remove_prefix(1);
    }
    unsigned base = 10;
    if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    } else if (!s.empty() && s[0] == '$') {
        base = 16;
        s.remove_prefix(1);
    }
    if (s.empty())
        return -1;
    unsigned long long v = 0;
    for (WCHAR c : s) {
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return -1;
        v = v * base + digit;
        if (v > 0xFFFFFFFFull)
            return -1;
    }
    // Hexadecimal fills all 32 bits ($FFFFFFFF is -1); decimal must fit a
    // signed 32-bit integer.
    long long result;
    if (base == 16) {
        result = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
    } else {
        if (v > (negative ? 2147483648ull : 2147483647ull))
            return -1;
        result = static_cast<long long>(v);
    }
    return static_cast<int>(negative ? -result : result);
}

TStreamIds StreamTypesToFilter(int streamTypes)
{
    TStreamIds set;
    for (int i = 0; i < kStreamKindCount; ++i)
        if (static_cast<unsigned>(streamTypes) & (1u << i))
            set.Add(static_cast<TStreamId>(i));
    return set;
}

void ApplyLanguageLines(const std::vector<WString>& lines, MessageTable& table)
{
    if (lines.empty() || lines[0] != LanguageFileHeader)
        return;
    for (int line = kFirstMessageLine; line <= kLastMessageLine; ++line) {
        if (static_cast<std::size_t>(line) >= lines.size())
            return;  // a shorter file applies the lines it has
        if (!IsMessageLine(line))
            continue;
        const WString& text = lines[static_cast<std::size_t>(line)];
        // The column types stay as they are unless a text is given.
        if ((line == static_cast<int>(Msg::DirType) || line == static_cast<int>(Msg::StreamType)) && text.empty())
            continue;
        table[static_cast<std::size_t>(line)] = text;
    }
}

void LoadSettings()
{
    const std::uint64_t ticket = SettingsReadTicket();
    SettingsSnapshot next{DefaultMessages(), TStreamIds{}};
    int mask = -1;
    try {
        IniDocument ini = IniDocument::Parse(DecodeText(ReadWholeFile(SettingsFilePath(), true)).Text);
        WString language = ini.Get(kSettingsSection, kLanguageKey).value_or(WString());
        WString path = ResolveLanguagePath(language);
        mask = ParseStreamTypes(ini.Get(kSettingsSection, kStreamTypesKey));
        if (!path.empty() && FileExistsLong(path))
            ApplyLanguageLines(ReadTextLines(path), next.Messages);
    } catch (...) {
        // Reading is silent: what was set before the failure stays, the rest
        // keeps its default.
    }
    next.StreamFilter = StreamTypesToFilter(mask);
    PublishSettings(std::move(next), ticket);
}
