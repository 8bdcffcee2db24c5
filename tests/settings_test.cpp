// The settings file, the language file and what LoadSettings makes of them:
// the message table and StreamFilter.
#include "config/messages.h"
#include "config/settings.h"
#include "host_fixture.h"
#include "text_encoding.h"

namespace {

constexpr const char16_t* kIni = u"C:\\plugins\\TC_wfx_NTFSTarnwick.ini";
constexpr const char16_t* kHeader = u"wfx_Tarnwick language file";

// A language file whose line N (from 2) says "text N".
std::u16string LanguageText(int lines, std::u16string header = kHeader)
{
    std::u16string text = header + u"\r\n";
    for (int i = 1; i < lines; ++i)
        text += u"text " + U16(std::to_string(i)) + u"\r\n";
    return text;
}

TEST(ParseStreamTypes, ReadsDecimalAndBothHexadecimalForms)
{
    struct Case {
        std::optional<std::u16string> value;
        int expected;
    };
    const Case cases[] = {
        {std::nullopt, -1}, {u"", -1},           {u"18", 18},          {u"0", 0},
        {u"-1", -1},        {u"1023", 1023},     {u"0x3FF", 1023},     {u"0X3ff", 1023},
        {u"$3FF", 1023},    {u"$ffffffff", -1},  {u"0x80000000", INT32_MIN},
        {u"2147483647", 2147483647},             {u"2147483648", -1},  {u"-2147483648", INT32_MIN},
        {u"4294967295", -1},                     {u"abc", -1},         {u"12abc", -1},
        {u"0x", -1},        {u"$", -1},          {u"-", -1},           {u"+5", -1},
        {u"1 2", -1},       {u"99999999999999999999", -1},             {u"-0x10", -16},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseStreamTypes(c.value), c.expected) << "for \"" << (c.value ? U8(*c.value) : "(missing)") << "\"";
}

TEST(StreamTypesToFilter, KeepsBitsZeroToNineOnly)
{
    const std::pair<int, std::uint16_t> cases[] = {
        {-1, 0x3FF}, {0, 0}, {2, 0x002}, {18, 0x012}, {1023, 0x3FF}, {1024, 0}, {0x7FFFFC00, 0}, {0x401, 0x001},
    };
    for (const auto& [mask, bits] : cases)
        EXPECT_EQ(StreamTypesToFilter(mask).Bits(), bits) << "for " << mask;
}

class SettingsTest : public PluginTest {
protected:
    void SetUp() override
    {
        PluginTest::SetUp();
        ASSERT_EQ(InitPlugin(), 0);
    }
    void WriteSettings(std::u16string_view text) { winsim::AddFile(kIni, Utf8Bytes(text, false)); }
    std::string Slot(Msg m) { return U8(Message(m)); }
};

TEST_F(SettingsTest, WithoutASettingsFileAllKindsAndEnglishTextsAndNoFileIsCreated)
{
    LoadSettings();
    EXPECT_EQ(StreamFilterInForce().Bits(), 0x3FF);
    EXPECT_EQ(Slot(Msg::NoDirInFile), "You cann't create directories inside files.");
    EXPECT_EQ(Slot(Msg::NoExecStream), "You cann't execute file streams.");
    EXPECT_EQ(Slot(Msg::NotImplemented), "Not implemented yet.");
    EXPECT_EQ(Slot(Msg::NoCopyToRoot), "Copying to root directory isn't supported.");
    EXPECT_EQ(Slot(Msg::LangNotFound), "Specified language file was not found.");
    EXPECT_EQ(Slot(Msg::LangInvalid), "Specified language file for plugin is invalid.");
    EXPECT_EQ(Slot(Msg::CantRun), "Cann't run program.");
    EXPECT_EQ(Slot(Msg::ReadError), "Error reading file or stream.");
    EXPECT_EQ(Slot(Msg::DeleteError), "Error deleting file or stream.");
    EXPECT_EQ(Slot(Msg::WriteError), "Error writing file or stream.");
    EXPECT_EQ(Slot(Msg::NotSupported), "Not Supported");
    EXPECT_EQ(Slot(Msg::DirType), "<Dir>");
    EXPECT_EQ(Slot(Msg::StreamType), "<Stream>");
    for (Msg m : {Msg::DlgCaption, Msg::DlgOk, Msg::DlgCancel, Msg::DlgStreamsLabel, Msg::DlgOpenTitle,
                  Msg::DlgOpenFilter})
        EXPECT_EQ(Slot(m), "") << "dialog slot " << static_cast<int>(m);
    EXPECT_FALSE(winsim::Exists(kIni)) << "loading never creates the settings file";
}

TEST_F(SettingsTest, ReadsTheSettingsFileInEveryEncoding)
{
    const std::u16string text = u"[wfx_NTFSTarnwick]\r\nLanguage=lang\\x.lng\r\nStreamTypes=18\r\n";
    winsim::AddFile(u"C:\\plugins\\lang\\x.lng", Utf8Bytes(LanguageText(22), false));
    const std::pair<const char*, std::string> files[] = {
        {"ANSI", Utf8Bytes(text, false)},
        {"UTF-8 with BOM", Utf8Bytes(text)},
        {"UTF-16 LE", Utf16Bytes(text, false)},
        {"UTF-16 BE", Utf16Bytes(text, true)},
    };
    for (const auto& [name, bytes] : files) {
        winsim::AddFile(kIni, bytes);
        LoadSettings();
        EXPECT_EQ(StreamFilterInForce().Bits(), 0x012) << name;
        EXPECT_EQ(Slot(Msg::NoDirInFile), "text 2") << name;
    }
}

TEST_F(SettingsTest, SectionAndKeysMatchWithoutRegardToCaseAndBlanksAreDropped)
{
    WriteSettings(u"; a comment\r\nStreamTypes=2\r\n[other]\r\nStreamTypes=4\r\n\r\n[ WFX_ntfstarnwick ]\r\n"
                  u"  streamtypes  =  16  \r\nLANGUAGE= x.lng \r\n");
    winsim::AddFile(u"C:\\plugins\\x.lng", Utf8Bytes(LanguageText(3), false));
    LoadSettings();
    EXPECT_EQ(StreamFilterInForce().Bits(), 0x010);
    EXPECT_EQ(Slot(Msg::NoDirInFile), "text 2");
}

TEST_F(SettingsTest, StreamTypesEdgeValues)
{
    const std::pair<const char16_t*, std::uint16_t> cases[] = {
        {u"0", 0}, {u"1024", 0}, {u"0x3FF", 0x3FF}, {u"$3FF", 0x3FF}, {u"none", 0x3FF}, {u"", 0x3FF},
    };
    for (const auto& [value, bits] : cases) {
        WriteSettings(u"[wfx_NTFSTarnwick]\r\nStreamTypes=" + std::u16string(value) + u"\r\n");
        LoadSettings();
        EXPECT_EQ(StreamFilterInForce().Bits(), bits) << "for " << U8(value);
    }
}

struct LanguageCase {
    const char* name;
    std::u16string text;
    const char* noDirInFile;   // line 2
    const char* noExecStream;  // line 3
    const char* cantRun;       // line 15
    const char* dirType;       // line 20
    const char* streamType;    // line 21
};

TEST_F(SettingsTest, LanguageFilesApplyTheirLines)
{
    const char* en2 = "You cann't create directories inside files.";
    const char* en3 = "You cann't execute file streams.";
    const char* en15 = "Cann't run program.";
    std::u16string emptyLine3 = LanguageText(22);
    emptyLine3.replace(emptyLine3.find(u"text 3"), 6, u"");
    std::u16string emptyLine20 = LanguageText(22);
    emptyLine20.replace(emptyLine20.find(u"text 20"), 7, u"");
    const LanguageCase cases[] = {
        {"all lines", LanguageText(22), "text 2", "text 3", "text 15", "text 20", "text 21"},
        {"more lines than used", LanguageText(40), "text 2", "text 3", "text 15", "text 20", "text 21"},
        {"header only", LanguageText(1), en2, en3, en15, "<Dir>", "<Stream>"},
        {"lines 0 to 14", LanguageText(15), "text 2", "text 3", en15, "<Dir>", "<Stream>"},
        {"lines 0 to 19", LanguageText(20), "text 2", "text 3", "text 15", "<Dir>", "<Stream>"},
        {"header in other case", LanguageText(22, u"WFX_Tarnwick language file"), en2, en3, en15, "<Dir>", "<Stream>"},
        {"header with a trailing blank", LanguageText(22, u"wfx_Tarnwick language file "), en2, en3, en15, "<Dir>",
         "<Stream>"},
        {"empty line 3 empties its slot", emptyLine3, "text 2", "", "text 15", "text 20", "text 21"},
        {"empty line 20 keeps <Dir>", emptyLine20, "text 2", "text 3", "text 15", "<Dir>", "text 21"},
        {"LF line ends", u"wfx_Tarnwick language file\nx\nzwei\ndrei", "zwei", "drei", en15, "<Dir>", "<Stream>"},
        {"CR line ends", u"wfx_Tarnwick language file\rx\rzwei\r", "zwei", en3, en15, "<Dir>", "<Stream>"},
        {"blanks kept", u"wfx_Tarnwick language file\r\n\r\n  padded  \r\n", "  padded  ", en3, en15, "<Dir>",
         "<Stream>"},
    };
    WriteSettings(u"[wfx_NTFSTarnwick]\r\nLanguage=lang.lng\r\n");
    for (const auto& c : cases) {
        winsim::AddFile(u"C:\\plugins\\lang.lng", Utf8Bytes(c.text, false));
        LoadSettings();
        EXPECT_EQ(Slot(Msg::NoDirInFile), c.noDirInFile) << c.name;
        EXPECT_EQ(Slot(Msg::NoExecStream), c.noExecStream) << c.name;
        EXPECT_EQ(Slot(Msg::CantRun), c.cantRun) << c.name;
        EXPECT_EQ(Slot(Msg::DirType), c.dirType) << c.name;
        EXPECT_EQ(Slot(Msg::StreamType), c.streamType) << c.name;
    }
}

TEST_F(SettingsTest, LanguageFilesInEveryEncodingMatchTheHeaderWithoutTheMark)
{
    WriteSettings(u"[wfx_NTFSTarnwick]\r\nLanguage=lang.lng\r\n");
    const std::u16string text = LanguageText(3) + u"";
    const std::pair<const char*, std::string> files[] = {
        {"UTF-8 with BOM", Utf8Bytes(text)},
        {"UTF-16 LE", Utf16Bytes(text, false)},
        {"UTF-16 BE", Utf16Bytes(text, true)},
    };
    for (const auto& [name, bytes] : files) {
        winsim::AddFile(u"C:\\plugins\\lang.lng", bytes);
        LoadSettings();
        EXPECT_EQ(Slot(Msg::NoDirInFile), "text 2") << name;
    }
}

TEST_F(SettingsTest, AnsiFilesFollowTheSystemCodePage)
{
    winsim::SetAnsiCodePage(1251);
    // "Language=язык.lng" and a Cyrillic text, both in Windows-1251.
    WriteSettings(u"");
    winsim::AddFile(kIni, "[wfx_NTFSTarnwick]\r\nLanguage=\xFF\xE7\xFB\xEA.lng\r\n");
    winsim::AddFile(u"C:\\plugins\\язык.lng", "wfx_Tarnwick language file\r\n\r\n\xCF\xF0\xE8\xE2\xE5\xF2\r\n");
    LoadSettings();
    EXPECT_EQ(Slot(Msg::NoDirInFile), "Привет");
}

TEST_F(SettingsTest, AMissingOrBrokenLanguageFileLeavesEnglishButTheMaskApplies)
{
    WriteSettings(u"[wfx_NTFSTarnwick]\r\nLanguage=missing.lng\r\nStreamTypes=2\r\n");
    LoadSettings();
    EXPECT_EQ(StreamFilterInForce().Bits(), 0x002);
    EXPECT_EQ(Slot(Msg::NoDirInFile), "You cann't create directories inside files.");

    WriteSettings(u"[wfx_NTFSTarnwick]\r\nLanguage=lang.lng\r\nStreamTypes=2\r\n");
    winsim::AddFile(u"C:\\plugins\\lang.lng", Utf16Bytes(LanguageText(22), false) + "x");  // odd length
    LoadSettings();
    EXPECT_EQ(StreamFilterInForce().Bits(), 0x002);
    EXPECT_EQ(Slot(Msg::NoDirInFile), "You cann't create directories inside files.");
}

TEST_F(SettingsTest, AReloadGivesTheEnglishTextsBackWhenTheLanguageFileIsGone)
{
    WriteSettings(u"[wfx_NTFSTarnwick]\r\nLanguage=lang.lng\r\n");
    winsim::AddFile(u"C:\\plugins\\lang.lng", Utf8Bytes(LanguageText(22), false));
    LoadSettings();
    ASSERT_EQ(Slot(Msg::NoDirInFile), "text 2");
    winsim::AddFile(u"C:\\plugins\\lang.lng", "not a language file");
    LoadSettings();
    EXPECT_EQ(Slot(Msg::NoDirInFile), "You cann't create directories inside files.");
}

// The dialog's OK reloads while another reload, which read the file before
// it changed, is still on its way: the later read stays in force.
TEST_F(SettingsTest, OfTwoOverlappingReloadsTheLaterReadWins)
{
    WriteSettings(u"[wfx_NTFSTarnwick]\r\nStreamTypes=16\r\n");
    // The first reload has read StreamTypes=16 and closes the file when the
    // user saves StreamTypes=2 and that reload runs through.
    winsim::BeforeCall("CloseHandle", 1, [this] {
        WriteSettings(u"[wfx_NTFSTarnwick]\r\nStreamTypes=2\r\n");
        LoadSettings();
    });
    LoadSettings();
    EXPECT_EQ(StreamFilterInForce().Bits(), 0x002) << "the slower reload put the older file back in force";
}

TEST_F(SettingsTest, AnUnreadableSettingsFileLeavesEveryDefault)
{
    WriteSettings(u"[wfx_NTFSTarnwick]\r\nStreamTypes=2\r\n");
    winsim::FailCall("CreateFileW", ERROR_SHARING_VIOLATION);
    LoadSettings();
    EXPECT_EQ(StreamFilterInForce().Bits(), 0x3FF);
    winsim::FailCall("ReadFile", ERROR_READ_FAULT);
    LoadSettings();
    EXPECT_EQ(StreamFilterInForce().Bits(), 0x3FF);
}

TEST_F(SettingsTest, AFailedLanguageReadKeepsTheMaskReadBeforeIt)
{
    WriteSettings(u"[wfx_NTFSTarnwick]\r\nLanguage=lang.lng\r\nStreamTypes=16\r\n");
    winsim::AddFile(u"C:\\plugins\\lang.lng", Utf8Bytes(LanguageText(22), false));
    // Opens: the settings file, the probe of the language file, the language file.
    winsim::FailCall("CreateFileW", ERROR_SHARING_VIOLATION, 3);
    LoadSettings();
    EXPECT_EQ(StreamFilterInForce().Bits(), 0x010);
    EXPECT_EQ(Slot(Msg::NoDirInFile), "You cann't create directories inside files.");
}

TEST_F(SettingsTest, UntrustedFileContentsNeverCrashAndLeaveTheDefaults)
{
    const std::pair<const char*, std::string> files[] = {
        {"UTF-16 LE of odd length", Utf16Bytes(u"[wfx_NTFSTarnwick]\r\nStreamTypes=2\r\n", false) + "x"},
        {"UTF-16 BE of odd length", Utf16Bytes(u"[wfx_NTFSTarnwick]\r\nStreamTypes=2\r\n", true) + "x"},
        {"invalid UTF-8 after a mark", "\xEF\xBB\xBF[wfx_NTFSTarnwick]\r\nStreamTypes=2\xC3\x28\r\n"},
        {"a UTF-8 mark alone", "\xEF\xBB\xBF"},
        {"a UTF-16 mark alone", "\xFF\xFE"},
        {"one byte", "["},
        {"NUL bytes", std::string("[wfx_NTFSTarnwick]\0StreamTypes=2", 31)},
        {"lone surrogates", Utf16Bytes(u"[wfx_NTFSTarnwick]\r\nLanguage=\xD800x\r\n", false)},
    };
    for (const auto& [name, bytes] : files) {
        winsim::AddFile(kIni, bytes);
        LoadSettings();
        EXPECT_EQ(StreamFilterInForce().Bits(), 0x3FF) << name;
        EXPECT_EQ(Slot(Msg::NoDirInFile), "You cann't create directories inside files.") << name;
    }
}

TEST_F(SettingsTest, ATenMegabyteLineIsReadLikeAnyOther)
{
    std::string big(10 * 1024 * 1024, 'a');
    winsim::AddFile(kIni, "[wfx_NTFSTarnwick]\r\nLanguage=" + big + "\r\nStreamTypes=2\r\n");
    LoadSettings();
    EXPECT_EQ(StreamFilterInForce().Bits(), 0x002);
    EXPECT_EQ(Slot(Msg::NoDirInFile), "You cann't create directories inside files.");

    winsim::AddFile(kIni, "[wfx_NTFSTarnwick]\r\nLanguage=lang.lng\r\n");
    winsim::AddFile(u"C:\\plugins\\lang.lng", "wfx_Tarnwick language file\r\n\r\n" + big + "\r\n");
    LoadSettings();
    EXPECT_EQ(Message(Msg::NoDirInFile).size(), big.size());
}

}  // namespace
