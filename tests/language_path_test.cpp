// Where the "Language" value points: canonicalisation, the absolute rules
// against the plugin's folder, environment references and the long form.
#include "config/language_path.h"
#include "config/messages.h"
#include "config/settings.h"
#include "host_fixture.h"
#include "text_encoding.h"

namespace {

TEST(CanonicalisePath, ResolvesDotsBehindAnUntouchedPrefix)
{
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"C:\\a\\..\\b.lng", u"C:\\b.lng"},
        {u"C:\\a\\.\\b.lng", u"C:\\a\\b.lng"},
        {u"C:\\..\\b.lng", u"C:\\b.lng"},  // a root cannot be climbed above
        {u"C:\\a\\b\\..\\..\\..\\c", u"C:\\c"},
        {u"C:\\a\\", u"C:\\a\\"},  // a trailing backslash survives
        {u"..\\x.lng", u"..\\x.lng"},  // a relative path may climb
        {u"..\\..\\x.lng", u"..\\..\\x.lng"},
        {u"a\\..\\..\\b", u"..\\b"},
        {u"a\\..", u"."},
        {u".", u"."},
        {u"", u"."},
        {u"C:a\\..\\b", u"C:b"},  // drive-relative: the "C:" is the prefix
        {u"C:..\\b", u"C:..\\b"},
        {u"\\a\\..\\b", u"\\b"},
        {u"\\\\server\\share\\a\\..\\b", u"\\\\server\\share\\b"},
        {u"\\\\.\\C:\\a\\..\\b", u"\\\\.\\C:\\b"},
        {u"C:\\a\\\\b", u"C:\\a\\\\b"},  // empty pieces count as pieces
        {u"C:\\a\\b\\.", u"C:\\a\\b"},
        // Once the dots in front are gone, empty pieces must not make a
        // relative path rooted, or a rooted one a network path.
        {u".\\\\\\srv\\x", u"srv\\x"},
        {u"a\\..\\\\b", u"b"},
        {u"C:.\\\\x", u"C:x"},
        {u"\\..\\\\srv\\share\\x", u"\\srv\\share\\x"},
        {u".\\", u"."},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(U8(CanonicalisePath(in)), U8(out)) << "for " << U8(in);
}

TEST(IsUncPath, NeedsAMachineNameWithANonDigitAndAShareName)
{
    const std::pair<const char16_t*, bool> cases[] = {
        {u"\\\\server\\share\\x.lng", true},  {u"\\\\server\\share", true},
        {u"\\\\srv-1.dom_x\\s\\x", true},     {u"\\\\123\\share\\x", false},
        {u"\\\\server\\", false},             {u"\\\\server", false},
        {u"\\\\ser ver\\share\\x", false},    {u"\\\\server\\sh:are\\x", false},
        {u"\\\\server\\sh*re\\x", false},     {u"\\\\.\\C:\\x", false},
        {u"\\server\\share", false},          {u"C:\\x", false},
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(IsUncPath(path), expected) << "for " << U8(path);
}

TEST(MakeAbsoluteTo, ResolvesAgainstThePluginsFolder)
{
    const std::u16string folder = u"C:\\tools\\plugin\\";
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"lang\\x.lng", u"C:\\tools\\plugin\\lang\\x.lng"},
        {u"..\\x.lng", u"C:\\tools\\x.lng"},
        {u"..\\..\\..\\..\\x.lng", u"C:\\x.lng"},
        {u"\\x.lng", u"C:\\x.lng"},
        {u"D:\\x.lng", u"D:\\x.lng"},
        {u"d:\\a\\..\\x.lng", u"d:\\x.lng"},
        {u"D:x.lng", u"D:x.lng"},  // another drive's relative path stays
        {u"c:lang\\x.lng", u"C:\\tools\\plugin\\lang\\x.lng"},
        {u"\\\\server\\share\\x.lng", u"\\\\server\\share\\x.lng"},
        {u"\\\\.\\C:\\x.lng", u"\\\\.\\C:\\x.lng"},
        {u".\\x.lng", u"C:\\tools\\plugin\\x.lng"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(U8(MakeAbsoluteTo(folder, text)), U8(expected)) << "for " << U8(text);
    EXPECT_EQ(U8(MakeAbsoluteTo(u"", u"lang\\x.lng")), "lang\\x.lng") << "no folder: the text stays";
    EXPECT_EQ(U8(MakeAbsoluteTo(u"\\\\server\\share\\plugin\\", u"\\x.lng")), "\\\\server\\share\\x.lng");
}

class LanguagePathTest : public PluginTest {
protected:
    void SetUp() override
    {
        PluginTest::SetUp();
        winsim::SetModulePath(u"C:\\tools\\plugin\\NTFSTarnwick.wfx64");
    }
};

TEST_F(LanguagePathTest, ResolvesTheSettingsValue)
{
    winsim::AddFile(u"C:\\tools\\plugin\\lang\\x.lng");
    winsim::AddFile(u"C:\\tools\\x.lng");
    winsim::AddFile(u"C:\\x.lng");
    winsim::SetEnvironment(u"LANGDIR", u"C:\\tools");
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"", u""},
        {u"lang\\x.lng", u"C:\\tools\\plugin\\lang\\x.lng"},
        {u"LANG\\X.LNG", u"C:\\tools\\plugin\\lang\\x.lng"},  // the long form has the names' own case
        {u"..\\x.lng", u"C:\\tools\\x.lng"},
        {u"\\x.lng", u"C:\\x.lng"},
        {u"%LANGDIR%\\x.lng", u"C:\\tools\\x.lng"},
        {u"%langdir%\\plugin\\lang\\x.lng", u"C:\\tools\\plugin\\lang\\x.lng"},
        {u"%NOSUCH%\\x.lng", u"C:\\tools\\plugin\\%NOSUCH%\\x.lng"},
        {u"missing.lng", u"C:\\tools\\plugin\\missing.lng"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(U8(ResolveLanguagePath(text)), U8(expected)) << "for " << U8(text);
}

TEST_F(LanguagePathTest, ShortNamesAreExpanded)
{
    winsim::AddFile(u"C:\\tools\\plugin\\languages\\deutsch.lng");
    winsim::SetShortName(u"C:\\tools\\plugin\\languages", u"LANGUA~1");
    EXPECT_EQ(U8(ResolveLanguagePath(u"LANGUA~1\\deutsch.lng")), "C:\\tools\\plugin\\languages\\deutsch.lng");
}

TEST_F(LanguagePathTest, WithoutGetLongPathNameTheShellsParserGivesTheLongForm)
{
    winsim::AddFile(u"C:\\tools\\plugin\\languages\\deutsch.lng");
    winsim::SetShortName(u"C:\\tools\\plugin\\languages", u"LANGUA~1");
    winsim::HideExport("kernel32.dll", "GetLongPathNameW");
    EXPECT_EQ(U8(ResolveLanguagePath(u"LANGUA~1\\deutsch.lng")), "C:\\tools\\plugin\\languages\\deutsch.lng");
    EXPECT_EQ(winsim::CountCalls("SHGetDesktopFolder"), 1u);
    EXPECT_EQ(winsim::CountCalls("GetLongPathNameW"), 0u);
}

TEST_F(LanguagePathTest, APathWithTwoColonsGoesThroughTheShell)
{
    EXPECT_EQ(U8(ResolveLanguagePath(u"ab::c.lng")), "C:\\tools\\plugin\\ab::c.lng");
    EXPECT_EQ(winsim::CountCalls("SHGetDesktopFolder"), 1u);
    EXPECT_EQ(winsim::CountCalls("GetLongPathNameW"), 0u);
}

TEST_F(LanguagePathTest, AFailedExpansionUsesTheTextUnexpanded)
{
    winsim::SetEnvironment(u"LANGDIR", u"C:\\tools");
    winsim::FailAlways("ExpandEnvironmentStringsW", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(U8(ResolveLanguagePath(u"%LANGDIR%\\x.lng")), "C:\\tools\\plugin\\%LANGDIR%\\x.lng");
}

// A language file on a share (the plugin's own folder there, or a path
// typed so) is probed and read through "\\\\?\\UNC\\", the long form of a
// share; "\\\\?\\\\\\server" names nothing. A path typed with "/" is found too.
TEST_F(LanguagePathTest, LanguageFilesOnSharesAndWithForwardSlashesAreFound)
{
    ASSERT_EQ(InitPlugin(), 0);
    winsim::AddNetworkDrive(u'S', u"\\\\server\\share");
    std::string lines = "wfx_Tarnwick language file\r\nunused\r\n";
    for (int n = 2; n <= 21; ++n)
        lines += (n == 2 ? std::string("Keine Verzeichnisse in Dateien.") : "line " + std::to_string(n)) + "\r\n";
    winsim::AddFile(u"S:\\lang\\x.lng", lines);
    winsim::AddFile(u"C:\\tools\\plugin\\lang\\y.lng", lines);
    const char16_t* typed[] = {u"\\\\server\\share\\lang\\x.lng", u"//server/share/lang/x.lng", u"lang/y.lng",
                               u"C:/tools/plugin/lang/y.lng"};
    for (const char16_t* language : typed) {
        SCOPED_TRACE(U8(language));
        winsim::AddFile(u"C:\\tools\\plugin\\TC_wfx_NTFSTarnwick.ini",
                        Utf8Bytes(u"[wfx_NTFSTarnwick]\r\nLanguage=" + std::u16string(language) + u"\r\n", false));
        winsim::ClearCallLog();
        LoadSettings();
        EXPECT_EQ(U8(Message(Msg::NoDirInFile)), "Keine Verzeichnisse in Dateien.");
        for (const auto& call : winsim::CallLog())
            EXPECT_EQ(call.argument.find(u"\\\\?\\\\\\"), std::u16string::npos) << call.function;
    }
}

TEST_F(LanguagePathTest, APluginFolderDeeperThanMaxPathIsFound)
{
    std::u16string deep = u"C:\\tools";
    while (deep.size() < 600)
        deep += u"\\folder";
    winsim::SetModulePath(deep + u"\\NTFSTarnwick.wfx64");
    EXPECT_EQ(U8(PluginFolder()), U8(deep + u"\\"));
    EXPECT_EQ(U8(SettingsFilePath()), U8(deep + u"\\TC_wfx_NTFSTarnwick.ini"));
}

}  // namespace
