// Decoding the plugin's text files and splitting them into lines.
#include "config/ini.h"
#include "config/text_file.h"
#include "host_fixture.h"
#include "text_encoding.h"

namespace {

TEST(SplitLines, EndsLinesAtCrLfLfAndCr)
{
    struct Case {
        const char16_t* text;
        std::vector<std::u16string> lines;
    };
    const Case cases[] = {
        {u"", {}},
        {u"a", {u"a"}},
        {u"a\r\n", {u"a"}},
        {u"a\r\n\r\n", {u"a", u""}},
        {u"a\nb\rc\r\nd", {u"a", u"b", u"c", u"d"}},
        {u"\n", {u""}},
        {u"\r\r", {u"", u""}},
        {u"\n\r", {u"", u""}},  // LF then a lone CR: two breaks
        {u"a\r\n\nb", {u"a", u"", u"b"}},
    };
    for (const auto& c : cases) {
        auto lines = SplitLines(c.text);
        ASSERT_EQ(lines.size(), c.lines.size()) << "for \"" << U8(c.text) << "\"";
        for (std::size_t i = 0; i < lines.size(); ++i)
            EXPECT_EQ(U8(lines[i]), U8(c.lines[i])) << "line " << i << " of \"" << U8(c.text) << "\"";
    }
}

class DecodeTextTest : public PluginTest {};

TEST_F(DecodeTextTest, FollowsTheByteOrderMark)
{
    struct Case {
        const char* name;
        std::string bytes;
        const char16_t* text;
        TextEncoding encoding;
    };
    const Case cases[] = {
        {"ANSI", "caf\xE9", u"café", TextEncoding::Ansi},
        {"UTF-8", "\xEF\xBB\xBF" "caf\xC3\xA9", u"café", TextEncoding::Utf8},
        {"UTF-16 LE", Utf16Bytes(u"café", false), u"café", TextEncoding::Utf16LE},
        {"UTF-16 BE", Utf16Bytes(u"café", true), u"café", TextEncoding::Utf16BE},
        {"UTF-8 mark alone", "\xEF\xBB\xBF", u"", TextEncoding::Utf8},
        {"UTF-16 LE mark alone", "\xFF\xFE", u"", TextEncoding::Utf16LE},
        {"nothing", "", u"", TextEncoding::Ansi},
        {"a partial mark is ANSI", "\xEF\xBB", u"ï»", TextEncoding::Ansi},
        // Notepad's default: UTF-8 without a mark, read as UTF-8 when it is
        // valid throughout; ANSI when not.
        {"UTF-8 without a mark", "caf\xC3\xA9", u"café", TextEncoding::Utf8WithoutMark},
        {"Cyrillic UTF-8 without a mark", "\xD0\x9F\xD1\x83\xD1\x81\xD0\xBA",
         u"\u041f\u0443\u0441\u043a", TextEncoding::Utf8WithoutMark},
        {"ANSI that is not UTF-8", "caf\xE9 na\xEFve", u"café naïve", TextEncoding::Ansi},
        {"plain ASCII is ANSI", "plain", u"plain", TextEncoding::Ansi},
    };
    for (const auto& c : cases) {
        DecodedText d = DecodeText(c.bytes);
        EXPECT_EQ(U8(d.Text), U8(c.text)) << c.name;
        EXPECT_EQ(d.Encoding, c.encoding) << c.name;
    }
}

TEST_F(DecodeTextTest, RefusesWhatCannotBeDecoded)
{
    const std::pair<const char*, std::string> cases[] = {
        {"UTF-16 LE of odd length", Utf16Bytes(u"ab", false) + "c"},
        {"UTF-16 BE of odd length", std::string("\xFE\xFF\x00", 3)},
        {"invalid UTF-8", "\xEF\xBB\xBF\xC3\x28"},
        {"truncated UTF-8", "\xEF\xBB\xBF\xE2\x82"},
        {"UTF-8 surrogate", "\xEF\xBB\xBF\xED\xA0\x80"},
        {"overlong UTF-8", "\xEF\xBB\xBF\xC0\xAF"},
    };
    for (const auto& [name, bytes] : cases)
        EXPECT_THROW(DecodeText(bytes), TextFileError) << name;
}

TEST(IniDocument, ReadsTheFirstValueOfAKeyAndSkipsWhatIsNotAKey)
{
    IniDocument ini = IniDocument::Parse(u"top=1\r\n[A]\r\nk=1\r\nk=2\r\nbare\r\n;k=3\r\n[B]\r\nk = b \r\n[a]\r\nj=4\r\n");
    EXPECT_EQ(U8(ini.Get(u"a", u"K").value_or(u"-")), "1");
    EXPECT_EQ(U8(ini.Get(u"A", u"j").value_or(u"-")), "4") << "a repeated section joins the first";
    EXPECT_EQ(U8(ini.Get(u"b", u"k").value_or(u"-")), "b");
    EXPECT_FALSE(ini.Get(u"A", u"bare").has_value());
    EXPECT_FALSE(ini.Get(u"", u"top").has_value()) << "lines before the first section belong to none";
    EXPECT_FALSE(ini.Get(u"C", u"k").has_value());
}

TEST(IniDocument, SettingKeepsPlacesAndAppendsWhatIsMissing)
{
    IniDocument ini = IniDocument::Parse(u"; c\r\n[other]\r\nx=1\r\n[wfx_NTFSTarnwick]\r\nStreamTypes=5\r\nkeep=me\r\n");
    ini.Set(u"WFX_NTFSTARNWICK", u"streamtypes", u"18");
    ini.Set(u"wfx_NTFSTarnwick", u"Language", u"lang\\x.lng");
    ini.Set(u"new", u"k", u"v");
    EXPECT_EQ(U8(ini.Serialize()),
              "[other]\r\nx=1\r\n\r\n[wfx_NTFSTarnwick]\r\nStreamTypes=18\r\nkeep=me\r\nLanguage=lang\\x.lng\r\n\r\n"
              "[new]\r\nk=v\r\n\r\n");
}

}  // namespace
