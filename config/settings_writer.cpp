#include "config/settings_writer.h"

#include <string>

#include "config/ini.h"
#include "config/settings.h"
#include "config/text_file.h"

namespace {

WString Decimal(int value)
{
    std::string digits = std::to_string(value);
    return WString(digits.begin(), digits.end());
}

}  // namespace

void WriteSettingsFile(const WString& path, WStringView language, int streamTypes)
{
    // A missing file reads as empty and is then written in the ANSI code page,
    // which DecodeText reports for a text without a byte-order mark.
    DecodedText read = DecodeText(ReadWholeFile(path, true));
    IniDocument ini = IniDocument::Parse(read.Text);
    ini.Set(kSettingsSection, kLanguageKey, language);
    ini.Set(kSettingsSection, kStreamTypesKey, Decimal(streamTypes));
    TextEncoding encoding = read.Encoding;
    WriteWholeFile(path, EncodeText(ini.Serialize(), encoding));
}
