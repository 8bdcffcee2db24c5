// Language files (and settings files) of any bytes, read through LoadSettings
// from winsim's files: every byte-order mark, odd lengths, invalid UTF-8 and
// UTF-16, huge lines. Beyond not crashing: a file that decodes with the right
// first line sets exactly its lines, any other leaves the defaults, and
// nothing is left open.
#include "config/messages.h"
#include "config/settings.h"
#include "config/text_file.h"
#include "fuzz_support.h"

namespace {

constexpr char kSettings[] = "[wfx_NTFSTarnwick]\r\nLanguage=lang.lng\r\n";
constexpr char kLanguage[] =
    "wfx_Tarnwick language file\r\n\r\nNo dir\r\nNo exec\r\nNot implemented\r\nNo copy to root\r\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // An input that begins with "S:" is the settings file, the rest the
    // language file beside the plugin.
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const bool settingsMode = bytes.rfind("S:", 0) == 0;
    const std::string settingsBytes = settingsMode ? bytes.substr(2) : std::string(kSettings);
    const std::string languageBytes = settingsMode ? std::string(kLanguage) : bytes;
    const std::u16string input(bytes.begin(), bytes.end());

    fuzz::FreshWorld();
    winsim::AddFile(u"C:\\plugins\\TC_wfx_NTFSTarnwick.ini", settingsBytes);
    winsim::AddFile(u"C:\\plugins\\lang.lng", languageBytes);
    LoadSettings();

    if (!settingsMode) {
        std::vector<WString> lines;
        try {
            lines = SplitLines(DecodeText(languageBytes).Text);
        } catch (const TextFileError&) {
        }
        const MessageTable defaults = DefaultMessages();
        const auto settings = CurrentSettings();
        const bool applies = !lines.empty() && lines[0] == LanguageFileHeader;
        for (int line = kFirstMessageLine; line <= kLastMessageLine; ++line) {
            if (!IsMessageLine(line))
                continue;
            const WString& actual = settings->Messages[static_cast<std::size_t>(line)];
            WString want = defaults[static_cast<std::size_t>(line)];
            const bool hasLine = applies && static_cast<std::size_t>(line) < lines.size();
            const bool isType = line == static_cast<int>(Msg::DirType) || line == static_cast<int>(Msg::StreamType);
            if (hasLine && !(isType && lines[static_cast<std::size_t>(line)].empty()))
                want = lines[static_cast<std::size_t>(line)];
            if (actual != want)
                fuzz::Fail("a language file sets exactly its own lines", input, actual + u" / " + want);
        }
    }
    fuzz::EndWorld(input);
    return 0;
}
