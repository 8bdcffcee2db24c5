// Writing the settings file: keys keep their place, the file keeps its
// encoding, and reading gives back what was written.
#include "config/ini.h"
#include "config/settings_writer.h"
#include "config/text_file.h"
#include "host_fixture.h"

namespace {

constexpr const char16_t* kIni = u"C:\\plugins\\TC_wfx_NTFSTarnwick.ini";

std::string Utf16Bytes(std::u16string_view text, bool bigEndian)
{
    std::string out = bigEndian ? std::string("\xFE\xFF", 2) : std::string("\xFF\xFE", 2);
    for (char16_t c : text) {
        char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    }
    return out;
}

class SettingsWriter : public PluginTest {};

TEST_F(SettingsWriter, NewFileIsWrittenInTheAnsiCodePageWithCrLf)
{
    WriteSettingsFile(kIni, u"lang\\\u00e9t\u00e9.lng", 1023);
    EXPECT_EQ(winsim::Contents(kIni).value_or("<missing>"),
              "[wfx_NTFSTarnwick]\r\nLanguage=lang\\\xE9t\xE9.lng\r\nStreamTypes=1023\r\n\r\n");
}

TEST_F(SettingsWriter, KeysKeepTheirPlaceAndOtherSectionsTheirValues)
{
    winsim::AddFile(kIni,
                    "; written by hand\r\n"
                    "stray=before any section\r\n"
                    "[Other]\r\nLanguage=keep me\r\n"
                    "[WFX_NTFSTARNWICK]\r\nSTREAMTYPES = 5\r\nExtra=1\r\n"
                    "[Last]\nA=b\n");
    WriteSettingsFile(kIni, u"x.lng", 18);
    // Comments and lines before the first section are not written back; the
    // missing key goes to the end of its section.
    EXPECT_EQ(winsim::Contents(kIni).value_or("<missing>"),
              "[Other]\r\nLanguage=keep me\r\n\r\n"
              "[WFX_NTFSTARNWICK]\r\nSTREAMTYPES=18\r\nExtra=1\r\nLanguage=x.lng\r\n\r\n"
              "[Last]\r\nA=b\r\n\r\n");
}

TEST_F(SettingsWriter, MissingSectionGoesToTheEnd)
{
    winsim::AddFile(kIni, "[Other]\r\nK=v\r\n");
    WriteSettingsFile(kIni, u"", 0);
    EXPECT_EQ(winsim::Contents(kIni).value_or("<missing>"),
              "[Other]\r\nK=v\r\n\r\n[wfx_NTFSTarnwick]\r\nLanguage=\r\nStreamTypes=0\r\n\r\n");
}

struct EncodingCase {
    const char* name;
    std::string before;     // the file as it was
    std::string mark;       // the byte-order mark it must keep
    TextEncoding encoding;
};

TEST_F(SettingsWriter, RoundTripsInEveryEncoding)
{
    const std::u16string text = u"[wfx_NTFSTarnwick]\r\nLanguage=old.lng\r\n";
    // A language path with letters from outside Western Europe and outside
    // the basic plane.
    const std::u16string language = u"C:\\\u044f\u0437\u044b\u043a\\\U0001F600\\x.lng";
    const EncodingCase cases[] = {
        {"UTF-8", "\xEF\xBB\xBF" + winsim::Narrow(text), "\xEF\xBB\xBF", TextEncoding::Utf8},
        {"UTF-16 LE", Utf16Bytes(text, false), "\xFF\xFE", TextEncoding::Utf16LE},
        {"UTF-16 BE", Utf16Bytes(text, true), "\xFE\xFF", TextEncoding::Utf16BE},
        // As Notepad saves it: UTF-8 without a mark stays so.
        {"UTF-8 without a mark", "[wfx_NTFSTarnwick]\r\nLanguage=\xD1\x8F.lng\r\n", "[", TextEncoding::Utf8WithoutMark},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        winsim::AddFile(kIni, c.before);
        WriteSettingsFile(kIni, language, -1);
        std::string after = winsim::Contents(kIni).value_or("");
        EXPECT_EQ(after.substr(0, c.mark.size()), c.mark);
        DecodedText decoded = DecodeText(after);
        EXPECT_EQ(decoded.Encoding, c.encoding);
        IniDocument ini = IniDocument::Parse(decoded.Text);
        EXPECT_EQ(U8(ini.Get(u"wfx_NTFSTarnwick", u"Language").value_or(u"<none>")), U8(language));
        EXPECT_EQ(U8(ini.Get(u"wfx_NTFSTarnwick", u"StreamTypes").value_or(u"<none>")), "-1");
    }
}

TEST_F(SettingsWriter, AnsiTextTheCodePageCannotHoldIsWrittenAsUtf8)
{
    // Under the Western code page a Cyrillic folder name would become "?"s
    // and the language file would never be found again.
    const std::u16string language = u"C:\\\u044f\u0437\u044b\u043a\\ru.lng";
    winsim::AddFile(kIni, "[wfx_NTFSTarnwick]\r\n");
    WriteSettingsFile(kIni, language, 2);
    std::string after = winsim::Contents(kIni).value_or("");
    EXPECT_EQ(after.substr(0, 3), "\xEF\xBB\xBF");
    IniDocument ini = IniDocument::Parse(DecodeText(after).Text);
    EXPECT_EQ(U8(ini.Get(u"wfx_NTFSTarnwick", u"Language").value_or(u"")), U8(language));

    // Under the Cyrillic code page the same text stays ANSI.
    winsim::SetAnsiCodePage(1251);
    winsim::AddFile(kIni, "[wfx_NTFSTarnwick]\r\n");
    WriteSettingsFile(kIni, language, 2);
    after = winsim::Contents(kIni).value_or("");
    EXPECT_EQ(after, "[wfx_NTFSTarnwick]\r\nLanguage=C:\\\xFF\xE7\xFB\xEA\\ru.lng\r\nStreamTypes=2\r\n\r\n");
}

TEST_F(SettingsWriter, HiddenFileIsRewrittenInPlace)
{
    winsim::AddFile(kIni, "[wfx_NTFSTarnwick]\r\nStreamTypes=1\r\n",
                    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
    WriteSettingsFile(kIni, u"", 3);
    EXPECT_EQ(winsim::Contents(kIni).value_or(""), "[wfx_NTFSTarnwick]\r\nStreamTypes=3\r\nLanguage=\r\n\r\n");
    EXPECT_TRUE(winsim::Attributes(kIni) & FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(SettingsWriter, FailuresRaiseAndLeaveTheFileAsItWas)
{
    struct Case {
        const char* name;
        std::string contents;
        DWORD attributes;
    };
    const Case cases[] = {
        {"read-only file", "[wfx_NTFSTarnwick]\r\nStreamTypes=1\r\n",
         FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE},
        {"invalid UTF-8 after its mark", "\xEF\xBB\xBF[wfx_NTFSTarnwick]\r\n\xC3(\r\n", FILE_ATTRIBUTE_ARCHIVE},
        {"UTF-16 of odd length", std::string("\xFF\xFE[\0w", 5), FILE_ATTRIBUTE_ARCHIVE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        winsim::AddFile(kIni, c.contents, FILE_ATTRIBUTE_ARCHIVE);
        winsim::SetAttributes(kIni, c.attributes);
        EXPECT_THROW(WriteSettingsFile(kIni, u"x.lng", 2), TextFileError);
        EXPECT_EQ(winsim::Contents(kIni).value_or(""), c.contents);
        winsim::SetAttributes(kIni, FILE_ATTRIBUTE_ARCHIVE);
    }
    // A write that fails half-way is reported too.
    winsim::AddFile(kIni, "");
    winsim::FailCall("WriteFile", ERROR_DISK_FULL);
    EXPECT_THROW(WriteSettingsFile(kIni, u"x.lng", 2), TextFileError);
}

}  // namespace

namespace {

// The new contents are written beside the file and renamed over it: whatever
// fails on the way, the user's file keeps its bytes and no ".new" stays.
TEST_F(SettingsWriter, AFailureOnTheWayLeavesTheFileAndNoNewFile)
{
    const std::string original = "; mine\r\n[wfx_NTFSTarnwick]\r\nStreamTypes=1\r\n";
    struct Row {
        const char* name;
        const char* call;
        int nth;  // counted from the settings file's read
        const char* also = nullptr;  // a second call that fails too
    };
    const Row rows[] = {
        {"the disk fills while writing", "WriteFile", 1},
        {"the new file cannot be created", "CreateFileW", 2},
        {"the attributes cannot be carried over", "SetFileAttributesW", 1},
        {"the replace and the rename are refused", "ReplaceFileW", 1, "MoveFileExW"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        winsim::AddFile(kIni, original, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
        winsim::FailCall(row.call, ERROR_DISK_FULL, row.nth);
        if (row.also)
            winsim::FailCall(row.also, ERROR_ACCESS_DENIED, 1);
        EXPECT_THROW(WriteSettingsFile(kIni, u"x.lng", 2), TextFileError);
        EXPECT_EQ(winsim::Contents(kIni).value_or("(gone)"), original);
        EXPECT_EQ(winsim::Attributes(kIni), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
        EXPECT_FALSE(winsim::Exists(std::u16string(kIni) + u".new"));
    }
}

// The file is replaced, not renamed over: it keeps its named streams and
// object identifier. Where the replace is refused, the rename still writes it.
TEST_F(SettingsWriter, TheFileKeepsWhatItHoldsBesideItsText)
{
    for (bool replaceRefused : {false, true}) {
        SCOPED_TRACE(replaceRefused ? "the replace is refused" : "replaced");
        winsim::AddFile(kIni, "[wfx_NTFSTarnwick]\r\nStreamTypes=1\r\n");
        winsim::AddStream(kIni, u"Zone.Identifier", "[ZoneTransfer]");
        winsim::SetObjectId(kIni);
        if (replaceRefused)
            winsim::FailCall("ReplaceFileW", ERROR_INVALID_FUNCTION);
        WriteSettingsFile(kIni, u"x.lng", 3);
        EXPECT_EQ(winsim::Contents(kIni).value_or("<missing>"),
                  "[wfx_NTFSTarnwick]\r\nStreamTypes=3\r\nLanguage=x.lng\r\n\r\n");
        EXPECT_EQ(winsim::Contents(std::u16string(kIni) + u":Zone.Identifier").has_value(), !replaceRefused);
        EXPECT_FALSE(winsim::Exists(std::u16string(kIni) + u".new"));
        DeleteFileW(kIni);
    }
}

// Best fit would write "Łukasz" as "Lukasz" under 1252 and say nothing: the
// text must come back as it was typed, in whichever encoding holds it.
TEST_F(SettingsWriter, TextTheEncodingCannotHoldIsWrittenInOneThatCan)
{
    struct Row {
        const char* name;
        UINT codePage;
        std::string before;       // the file as it was; empty: none
        std::u16string language;
        std::string startsWith;   // the bytes the file begins with afterwards
    };
    const Row rows[] = {
        {"Latin-2 letters under 1252: UTF-8", 1252, "", u"\u0141ukasz\\German.lng", "\xEF\xBB\xBF[wfx"},
        {"Latin-1 letters under 1251: UTF-8", 1251, "", u"\u00e9t\u00e9.lng", "\xEF\xBB\xBF[wfx"},
        {"infinity under 1252: UTF-8", 1252, "", u"\u221e.lng", "\xEF\xBB\xBF[wfx"},
        {"what 1252 holds stays ANSI", 1252, "", u"\u00e9t\u00e9.lng", "[wfx"},
        {"a lone surrogate in a UTF-8 file: UTF-16 LE", 1252, "\xEF\xBB\xBF[x]\r\n", u"a\xD800" u"b.lng",
         std::string("\xFF\xFE[\0", 4)},
        {"a lone surrogate in an ANSI file: UTF-16 LE", 1252, "[x]\r\n", u"a\xDC00.lng", std::string("\xFF\xFE[\0", 4)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        winsim::SetAnsiCodePage(row.codePage);
        DeleteFileW(kIni);
        if (!row.before.empty())
            winsim::AddFile(kIni, row.before);
        WriteSettingsFile(kIni, row.language, 5);
        std::string bytes = winsim::Contents(kIni).value_or("");
        EXPECT_EQ(bytes.substr(0, row.startsWith.size()), row.startsWith);
        IniDocument ini = IniDocument::Parse(DecodeText(bytes).Text);
        EXPECT_EQ(ini.Get(u"wfx_NTFSTarnwick", u"Language").value_or(u"<none>"), row.language)
            << "the text read back is not the text written";
    }
}

}  // namespace
