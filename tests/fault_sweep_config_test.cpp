// The fault sweep over initialisation: FsInitW with its privileges and the
// settings and language files. Reading is silent: a failure anywhere in it
// leaves the defaults (or what was read before it) and FsInitW still says 0;
// only the version query and the missing AdjustTokenPrivileges make it fail.
#include "config/messages.h"
#include "fault_sweep.h"
#include "text_encoding.h"

namespace {

const char16_t kIni[] = u"C:\\plugins\\TC_wfx_NTFSTarnwick.ini";

// The calls whose failure FsInitW reports with 1: without the platform's
// version, or without AdjustTokenPrivileges, the plugin cannot start.
bool InitMayFail(const winsim::Call* fault)
{
    if (!fault)
        return false;
    if (fault->function == "GetVersionExW")
        return true;
    if (fault->function == "GetProcAddress")
        return fault->argument == u"AdjustTokenPrivileges";
    return fault->function == "LoadLibraryW" && fault->argument.find(u"advapi32") != std::u16string::npos;
}

// Every slot holds either its English default or the language file's text:
// a failed read never leaves a slot half-set or garbled.
std::string SlotsAreDefaultsOr(const std::vector<std::pair<Msg, std::u16string>>& fromFile)
{
    const MessageTable loaded = CurrentSettings()->Messages;
    const MessageTable defaults = DefaultMessages();
    for (int line = kFirstMessageLine; line <= kLastMessageLine; ++line) {
        if (!IsMessageLine(line))
            continue;
        const WString& actual = loaded[static_cast<std::size_t>(line)];
        bool ok = actual == defaults[static_cast<std::size_t>(line)];
        for (const auto& [slot, text] : fromFile)
            ok = ok || (static_cast<int>(slot) == line && actual == text);
        if (!ok)
            return "slot " + std::to_string(line) + " holds \"" + U8(actual) + "\"";
    }
    return {};
}

std::string InitOutcome(long long result, const winsim::Call* fault,
                        const std::vector<std::pair<Msg, std::u16string>>& fromFile)
{
    if (result == 1 && !InitMayFail(fault))
        return "FsInitW failed although the failing call was one it can do without";
    if ((result == 0) == PluginState().Disabled)
        return "Disabled does not match FsInitW's result";
    if (result == 1)
        return {};
    if (!fault) {
        for (const auto& [slot, text] : fromFile)
            if (Message(slot) != text)
                return "without a fault the language file was not applied";
    }
    return SlotsAreDefaultsOr(fromFile);
}

long long Init()
{
    return FsInitW(7, HostProgress, HostLog, HostRequest);
}

const std::u16string kGerman = u"Keine Verzeichnisse in Dateien.";
const std::u16string kGermanRead = u"Fehler beim Lesen.";

std::string GermanFile()
{
    std::u16string text = u"wfx_Tarnwick language file\r\n\r\n" + kGerman + u"\r\n";
    for (int line = 3; line < 16; ++line)
        text += u"\r\n";
    text += kGermanRead + u"\r\n";
    return Utf16Bytes(text, false);
}

std::vector<SweepScenario> InitScenarios()
{
    const std::vector<std::pair<Msg, std::u16string>> german = {{Msg::NoDirInFile, kGerman},
                                                                {Msg::ReadError, kGermanRead}};
    // Empty lines of a language file empty their slots.
    std::vector<std::pair<Msg, std::u16string>> germanAll = german;
    for (int line = 3; line < 16; ++line)
        if (IsMessageLine(line))
            germanAll.push_back({static_cast<Msg>(line), u""});
    return {
        {"FsInitW without a settings file", [] {}, Init, {0, 1}, 0,
         [](long long r, const winsim::Call* f) { return InitOutcome(r, f, {}); }},
        {"FsInitW with a UTF-8 settings file and a UTF-16 language file",
         [] {
             winsim::AddFile(kIni, Utf8Bytes(u"[wfx_NTFSTarnwick]\r\nLanguage=lang\\de.lng\r\nStreamTypes=16\r\n"));
             winsim::AddFile(u"C:\\plugins\\lang\\de.lng", GermanFile());
         },
         Init, {0, 1}, 0,
         [germanAll](long long r, const winsim::Call* f) {
             std::string s = InitOutcome(r, f, germanAll);
             if (s.empty() && r == 0 && !f && StreamFilterInForce().Bits() != 0x10)
                 return std::string("StreamTypes was not applied");
             return s;
         }},
        {"FsInitW with an ANSI settings file naming the language file through the environment and a short name",
         [] {
             winsim::SetEnvironment(u"LANGDIR", u"C:\\Languages");
             winsim::AddFile(u"C:\\Languages\\Deutsch Sprache.lng", GermanFile());
             winsim::SetShortName(u"C:\\Languages\\Deutsch Sprache.lng", u"DEUTSC~1.LNG");
             winsim::AddFile(kIni, "[wfx_NTFSTarnwick]\r\nLanguage=%LANGDIR%\\DEUTSC~1.LNG\r\nStreamTypes=$12\r\n");
         },
         Init, {0, 1}, 0,
         [germanAll](long long r, const winsim::Call* f) { return InitOutcome(r, f, germanAll); }},
        {"FsInitW with a language file path through the shell's parser",
         [] {
             winsim::AddFile(u"C:\\plugins\\x\\de.lng", GermanFile());
             winsim::AddFile(kIni, "[wfx_NTFSTarnwick]\r\nLanguage=x\\..\\x\\de.lng\r\n");
             winsim::HideExport("kernel32.dll", "GetLongPathNameW");
         },
         Init, {0, 1}, 0,
         [germanAll](long long r, const winsim::Call* f) { return InitOutcome(r, f, germanAll); }},
    };
}

TEST(FaultSweep, Initialisation)
{
    ExpectSweepsClean(InitScenarios());
}

}  // namespace
