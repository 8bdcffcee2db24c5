// The content exports as the host calls them for its custom columns.
#include <array>
#include <cstring>

#include "host_fixture.h"
#include "presentation/content_columns.h"
#include "presentation/content_exports.h"

namespace {

constexpr unsigned char kGuard = 0xCD;

// A value buffer of fixed size, filled with a guard byte so that every byte
// the plugin did not write can be told apart.
struct ValueBuffer {
    std::array<unsigned char, 1024> bytes;
    ValueBuffer() { bytes.fill(kGuard); }
    std::u16string Text() const
    {
        std::u16string s;
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
            char16_t c = static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
            if (c == 0)
                break;
            s += c;
        }
        return s;
    }
    std::int32_t Int() const
    {
        std::int32_t v;
        std::memcpy(&v, bytes.data(), sizeof(v));
        return v;
    }
    // Bytes from offset on that the plugin left untouched.
    bool UntouchedFrom(std::size_t offset) const
    {
        for (std::size_t i = offset; i < bytes.size(); ++i)
            if (bytes[i] != kGuard)
                return false;
        return true;
    }
};

struct Value {
    int result;
    std::u16string text;
    std::int32_t number;
};

Value Get(std::u16string name, int field, int unit = 0, int maxlen = 1024)
{
    ValueBuffer b;
    int result = FsContentGetValueW(name.data(), field, unit, b.bytes.data(), maxlen, 0);
    return {result, b.Text(), b.Int()};
}

class ContentColumns : public PluginTest {
protected:
    void SetUp() override
    {
        PluginTest::SetUp();
        ASSERT_EQ(InitPlugin(), 0);
        winsim::AddFile(u"C:\\d\\two.txt", "body");
        winsim::AddStream(u"C:\\d\\two.txt", u"a", "1");
        winsim::AddStream(u"C:\\d\\two.txt", u"b", "22");
        winsim::AddFile(u"C:\\d\\plain.txt", "x");
        winsim::AddFile(u"C:\\d\\archive.tar.gz", "");
        winsim::AddFile(u"C:\\d\\README", "");
        winsim::AddDirectory(u"C:\\d\\sub.dir");
    }
};

TEST(ContentFields, TableAndUnits)
{
    struct Case {
        int index;
        int type;
        const char* name;
        const char* units;
    };
    const Case cases[] = {
        {0, ft_boolean, "Has Stream", ""},
        {1, ft_numeric_32, "Streams Count", ""},
        {2, ft_stringw, "Stream", "1|2|3|4|5|6|7|8|9|10"},
        {3, ft_stringw, "All Streams One Line", ""},
        {4, ft_stringw, "Type", ""},
        {5, ft_numeric_64, "Streams Size", ""},
        {6, ft_multiplechoice, "Zone", "Local machine|Local intranet|Trusted sites|Internet|Restricted sites"},
        {7, ft_stringw, "Zone Host URL", ""},
        {8, ft_stringw, "Zone Referrer URL", ""},
    };
    for (const auto& c : cases) {
        char name[128], units[128];
        EXPECT_EQ(FsContentGetSupportedField(c.index, name, units, 128), c.type) << c.index;
        // The host's rule for field names.
        EXPECT_EQ(std::string(name).find_first_of(".|:"), std::string::npos) << name;
        EXPECT_STREQ(name, c.name);
        EXPECT_STREQ(units, c.units);
    }
    // Outside the table nothing is written.
    for (int index : {9, -1, 1000, INT32_MIN}) {
        char name[8] = "guard", units[8] = "guard";
        EXPECT_EQ(FsContentGetSupportedField(index, name, units, 8), ft_nomorefields) << index;
        EXPECT_STREQ(name, "guard");
        EXPECT_STREQ(units, "guard");
    }
    // Short buffers: maxlen - 1 characters and the NUL; 0 or less: nothing.
    char name[8] = "guard..", units[8] = "guard..";
    EXPECT_EQ(FsContentGetSupportedField(2, name, units, 5), ft_stringw);
    EXPECT_STREQ(name, "Stre");
    EXPECT_STREQ(units, "1|2|");
    for (int maxlen : {0, -1}) {
        char n[4] = "abc", u[4] = "abc";
        EXPECT_EQ(FsContentGetSupportedField(0, n, u, maxlen), ft_boolean);
        EXPECT_STREQ(n, "abc");
        EXPECT_STREQ(u, "abc");
    }
    EXPECT_EQ(FsContentGetSupportedField(0, nullptr, nullptr, 64), ft_boolean);
}

TEST_F(ContentColumns, ValuesOfFilesDirectoriesAndEntries)
{
    struct Case {
        const char16_t* path;
        int field;
        int unit;
        int result;
        const char* text;  // for text fields
        int number;        // for the others
    };
    // With every kind in force a file's sequence is its security descriptor,
    // its unnamed data, then its named streams.
    const Case cases[] = {
        {u"\\C:\\d\\two.txt", 0, 0, ft_boolean, "", 1},
        {u"\\C:\\d\\two.txt", 1, 0, ft_numeric_32, "", 4},
        {u"\\C:\\d\\two.txt", 2, 0, ft_stringw, "", 0},  // the security descriptor has no name
        {u"\\C:\\d\\two.txt", 2, 2, ft_stringw, "a", 0},
        {u"\\C:\\d\\two.txt", 2, 3, ft_stringw, "b", 0},
        {u"\\C:\\d\\two.txt", 2, 4, ft_stringw, "", 0},  // beyond the last
        {u"\\C:\\d\\two.txt", 2, 9, ft_stringw, "", 0},
        {u"\\C:\\d\\two.txt", 2, -7, ft_stringw, "", 0},
        {u"\\C:\\d\\two.txt", 2, INT32_MAX, ft_stringw, "", 0},
        {u"\\C:\\d\\two.txt", 3, 0, ft_stringw, "a; b", 0},
        {u"\\C:\\d\\two.txt", 4, 0, ft_stringw, "txt", 0},
        {u"\\C:\\d\\plain.txt", 0, 0, ft_boolean, "", 1},
        {u"\\C:\\d\\plain.txt", 1, 0, ft_numeric_32, "", 2},
        {u"\\C:\\d\\plain.txt", 3, 0, ft_stringw, "", 0},
        {u"\\C:\\d\\archive.tar.gz", 4, 0, ft_stringw, "gz", 0},
        {u"\\C:\\d\\README", 4, 0, ft_stringw, "", 0},
        {u"\\C:\\d\\sub.dir", 4, 0, ft_stringw, "<Dir>", 0},
        {u"\\C:\\d\\sub.dir\\", 4, 0, ft_stringw, "<Dir>", 0},
        {u"\\C:", 4, 0, ft_stringw, "<Dir>", 0},
        {u"\\C:\\d\\two.txt\\::$DATA", 4, 0, ft_stringw, "<Stream>", 0},
        {u"\\C:\\d\\two.txt\\:a:$DATA", 4, 0, ft_stringw, "<Stream>", 0},
        {u"\\C:\\d\\missing.txt", 0, 0, ft_boolean, "", 0},
        {u"\\C:\\d\\missing.txt", 1, 0, ft_numeric_32, "", 0},
        {u"\\C:\\d\\missing.txt", 3, 0, ft_stringw, "", 0},
        {u"\\C:\\d\\missing.txt", 4, 0, ft_stringw, "?", 0},
        {u"\\Q:\\x", 4, 0, ft_stringw, "?", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.path) + " field " + std::to_string(c.field) + " unit " + std::to_string(c.unit));
        Value v = Get(c.path, c.field, c.unit);
        EXPECT_EQ(v.result, c.result);
        if (c.result == ft_stringw)
            EXPECT_EQ(U8(v.text), c.text);
        else
            EXPECT_EQ(v.number, c.number);
    }
}

TEST_F(ContentColumns, FieldsOutsideTheTableAndStreamNamesWriteNothing)
{
    const std::pair<std::u16string, int> cases[] = {
        {u"\\C:\\d\\two.txt", 9}, {u"\\C:\\d\\two.txt", -1}, {u"\\:x", 0}, {u"\\:x", 4}, {u":", 3},
    };
    for (const auto& [path, field] : cases) {
        ValueBuffer b;
        std::u16string p = path;
        EXPECT_EQ(FsContentGetValueW(p.data(), field, 0, b.bytes.data(), 1024, 0), ft_fieldempty) << U8(path);
        EXPECT_TRUE(b.UntouchedFrom(0)) << U8(path);
    }
}

// The Mark of the Web as browsers and other programs write it, and as
// malformed ones are: a value or an empty field, never a fault.
TEST_F(ContentColumns, TheMarkOfTheWebAndTheStreamsSize)
{
    auto utf16 = [](std::u16string_view text) {
        std::string bytes = "\xFF\xFE";
        for (char16_t c : text) {
            bytes += static_cast<char>(c & 0xFF);
            bytes += static_cast<char>(c >> 8);
        }
        return bytes;
    };
    const struct {
        const char* what;
        std::string bytes;
        const char* zone;  // null: empty
        const char* host;
        const char* referrer;
    } rows[] = {
        {"a browser's download",
         "[ZoneTransfer]\r\nZoneId=3\r\nReferrerUrl=https://example.org/page\r\nHostUrl=https://example.org/f.zip\r\n",
         "Internet", "https://example.org/f.zip", "https://example.org/page"},
        {"a mail attachment", "[ZoneTransfer]\r\nZoneId=3\r\n", "Internet", nullptr, nullptr},
        {"UTF-8 with a mark, lower case", "\xEF\xBB\xBF[zonetransfer]\nzoneid = 2\n", "Trusted sites", nullptr, nullptr},
        {"UTF-16 with a mark", utf16(u"[ZoneTransfer]\r\nZoneId=4\r\nHostUrl=about:internet\r\n"), "Restricted sites",
         "about:internet", nullptr},
        {"a zone outside 0-4", "[ZoneTransfer]\r\nZoneId=7\r\n", nullptr, nullptr, nullptr},
        {"a zone that is no number", "[ZoneTransfer]\r\nZoneId=3x\r\n", nullptr, nullptr, nullptr},
        {"no section", "ZoneId=3\r\n", nullptr, nullptr, nullptr},
        {"garbage", std::string("\x00\xFF\xFE\x01[Zone", 9), nullptr, nullptr, nullptr},
        {"the zone beyond the first 64 KiB", std::string(70000, ';') + "\r\n[ZoneTransfer]\r\nZoneId=3\r\n", nullptr,
         nullptr, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        winsim::AddStream(u"C:\\d\\two.txt", u"Zone.Identifier", row.bytes);
        std::u16string p = u"\\C:\\d\\two.txt";
        ValueBuffer b;
        const int zone = FsContentGetValueW(p.data(), cfZone, 0, b.bytes.data(), 1024, 0);
        if (row.zone) {
            EXPECT_EQ(zone, ft_multiplechoice);
            EXPECT_STREQ(reinterpret_cast<const char*>(b.bytes.data()), row.zone);
        } else {
            EXPECT_EQ(zone, ft_fieldempty);
        }
        for (const auto& [field, expected] : {std::pair{cfZoneHostUrl, row.host}, std::pair{cfZoneReferrerUrl, row.referrer}}) {
            ValueBuffer u;
            const int r = FsContentGetValueW(p.data(), field, 0, u.bytes.data(), 1024, 0);
            if (expected) {
                EXPECT_EQ(r, ft_stringw);
                EXPECT_EQ(U8(reinterpret_cast<const char16_t*>(u.bytes.data())), expected);
            } else {
                EXPECT_EQ(r, ft_fieldempty) << field;
            }
        }
    }
    // No Zone.Identifier at all: empty.
    std::u16string plain = u"\\C:\\d\\plain.txt";
    ValueBuffer b;
    EXPECT_EQ(FsContentGetValueW(plain.data(), cfZone, 0, b.bytes.data(), 1024, 0), ft_fieldempty);

    // Streams Size: the named streams' bytes, whatever the filter; shown as a size.
    TStreamIds standard;
    standard.Add(TStreamId::siStandard);
    SetStreamFilter(standard);
    std::u16string two = u"\\C:\\d\\two.txt";
    std::int64_t size = -1;
    EXPECT_EQ(FsContentGetValueW(two.data(), cfStreamsSize, 0, &size, sizeof size, 0), ft_numeric_64);
    const std::int64_t expected = static_cast<std::int64_t>(winsim::Size(u"C:\\d\\two.txt:a") +
                                                            winsim::Size(u"C:\\d\\two.txt:b") +
                                                            winsim::Size(u"C:\\d\\two.txt:Zone.Identifier"));
    EXPECT_EQ(size, expected);
    EXPECT_EQ(FsContentGetValueW(plain.data(), cfStreamsSize, 0, &size, sizeof size, 0), ft_numeric_64);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(FsContentGetSupportedFieldFlags(cfStreamsSize), contflags_substsize);
    EXPECT_EQ(FsContentGetSupportedFieldFlags(-1), contflags_substsize);
    EXPECT_EQ(FsContentGetSupportedFieldFlags(cfType), 0);
    EXPECT_EQ(FsContentGetSupportedFieldFlags(9), 0);
}

// From the window thread (CONTENT_DELAYIFSLOW) a field that opens the file
// answers at once and is asked again in the background; "Type" is quick.
TEST_F(ContentColumns, SlowFieldsAreDelayedFromTheWindowThread)
{
    winsim::AddStream(u"C:\\d\\two.txt", u"Zone.Identifier", "[ZoneTransfer]\r\nZoneId=3\r\n");
    const struct {
        int field;
        int windowThread;  // with CONTENT_DELAYIFSLOW
        int background;    // without
    } rows[] = {
        {cfHasStream, ft_delayed, ft_boolean},         {cfStreamsCount, ft_delayed, ft_numeric_32},
        {cfStream, ft_delayed, ft_stringw},            {cfAllStreamsOneLine, ft_delayed, ft_stringw},
        {cfType, ft_stringw, ft_stringw},              {cfStreamsSize, ft_delayed, ft_numeric_64},
        {cfZone, ft_delayed, ft_multiplechoice},       {cfZoneHostUrl, ft_delayed, ft_fieldempty},
        {cfZoneReferrerUrl, ft_delayed, ft_fieldempty}, {kContentFieldCount, ft_fieldempty, ft_fieldempty},
    };
    for (const auto& row : rows) {
        std::u16string p = u"\\C:\\d\\two.txt";
        winsim::ClearCallLog();
        ValueBuffer b;
        EXPECT_EQ(FsContentGetValueW(p.data(), row.field, 0, b.bytes.data(), 1024, CONTENT_DELAYIFSLOW),
                  row.windowThread)
            << "field " << row.field;
        EXPECT_EQ(winsim::CountCalls("CreateFileW"), 0u) << "field " << row.field << " opened the file";
        EXPECT_EQ(winsim::CountCalls("BackupRead"), 0u) << "field " << row.field;
        if (row.windowThread == ft_delayed)
            EXPECT_EQ(U8(b.Text()), "") << "field " << row.field << ": nothing to show meanwhile";
        ValueBuffer later;
        EXPECT_EQ(FsContentGetValueW(p.data(), row.field, 0, later.bytes.data(), 1024, 0), row.background)
            << "field " << row.field;
    }
}

// The user leaves the folder while a value is computed in the background:
// the walk ends at its next stream and the value is empty; the next request
// for the same file starts afresh.
TEST_F(ContentColumns, AStoppedWalkEndsEarlyWithAnEmptyValue)
{
    for (int i = 0; i < 20; ++i)
        winsim::AddStream(u"C:\\d\\two.txt", u"s" + U16(std::to_string(i)), "x");
    for (const int field : {cfHasStream, cfStreamsCount, cfAllStreamsOneLine, cfStreamsSize}) {
        SCOPED_TRACE(field);
        std::u16string p = u"\\C:\\d\\two.txt";
        winsim::ClearCallLog();
        // The host's stop arrives as the walk reads its third header; the
        // name is spelled in another case, as the file system folds it.
        winsim::BeforeCall("BackupRead", 3, [] {
            std::u16string name = u"\\c:\\D\\TWO.txt";
            FsContentStopGetValueW(name.data());
        });
        ValueBuffer b;
        EXPECT_EQ(FsContentGetValueW(p.data(), field, 0, b.bytes.data(), 1024, 0), ft_fieldempty);
        EXPECT_LT(winsim::CountCalls("BackupRead"), 10u) << "the walk went on after the stop";
        std::int64_t value = 0;
        EXPECT_NE(FsContentGetValueW(p.data(), field, 0, &value, sizeof value, 0), ft_fieldempty)
            << "a later request must not inherit the stop";
    }
    // A stop for a file nobody computes, or for nothing, changes nothing.
    std::u16string other = u"\\C:\\d\\plain.txt";
    FsContentStopGetValueW(other.data());
    FsContentStopGetValueW(nullptr);
    FsContentStopGetValue(nullptr);
    char ansi[] = "\\C:\\d\\plain.txt";
    FsContentStopGetValue(ansi);
    std::int32_t count = 0;
    EXPECT_EQ(FsContentGetValueW(other.data(), cfStreamsCount, 0, &count, sizeof count, 0), ft_numeric_32);
    EXPECT_GT(count, 0);
}

TEST_F(ContentColumns, TheFilterInForceDecidesWhatCounts)
{
    TStreamIds alternate;
    alternate.Add(TStreamId::siAlternate);
    SetStreamFilter(alternate);
    EXPECT_EQ(Get(u"\\C:\\d\\two.txt", 1).number, 2);
    EXPECT_EQ(U8(Get(u"\\C:\\d\\two.txt", 2, 0).text), "a");
    EXPECT_EQ(Get(u"\\C:\\d\\plain.txt", 0).number, 0);
    EXPECT_EQ(Get(u"\\C:\\d\\plain.txt", 1).number, 0);
}

TEST_F(ContentColumns, TypeTextsComeFromTheMessageTable)
{
    SetMessageText(Msg::DirType, u"<Verz>");
    SetMessageText(Msg::StreamType, u"<Strom>");
    EXPECT_EQ(U8(Get(u"\\C:\\d\\sub.dir", 4).text), "<Verz>");
    EXPECT_EQ(U8(Get(u"\\C:\\d\\two.txt\\:a:$DATA", 4).text), "<Strom>");
}

TEST_F(ContentColumns, TextBuffersAreNeverOverrun)
{
    struct Case {
        int maxlen;
        const char* text;        // what the buffer then holds
        std::size_t firstUntouched;
    };
    const Case cases[] = {
        {8, "a;", 6},  // (8 div 2) - 2 = 2 characters and the NUL
        {9, "a;", 6},
        {10, "a; ", 8},
        {5, "", 2},
        {4, "", 2},
        {3, "", 2},
        {2, "", 2},
        {1, "", 0},
        {0, "", 0},
        {-8, "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.maxlen);
        ValueBuffer b;
        std::u16string name = u"\\C:\\d\\two.txt";
        EXPECT_EQ(FsContentGetValueW(name.data(), 3, 0, b.bytes.data(), c.maxlen, 0), ft_stringw);
        if (c.firstUntouched > 0)
            EXPECT_EQ(U8(b.Text()), c.text);
        EXPECT_TRUE(b.UntouchedFrom(c.firstUntouched));
    }
    // A number needs four bytes; a smaller buffer gets nothing and no value.
    for (int maxlen : {3, 0, -1}) {
        ValueBuffer b;
        std::u16string name = u"\\C:\\d\\two.txt";
        EXPECT_EQ(FsContentGetValueW(name.data(), 1, 0, b.bytes.data(), maxlen, 0), ft_fieldempty) << maxlen;
        EXPECT_TRUE(b.UntouchedFrom(0)) << maxlen;
    }
}

TEST_F(ContentColumns, EmptyOrMissingNamesGiveTheEmptyResults)
{
    winsim::ClearCallLog();
    std::u16string empty;
    for (WCHAR* name : {empty.data(), static_cast<WCHAR*>(nullptr)}) {
        for (int field = 0; field < 5; ++field) {
            ValueBuffer b;
            int expected = field == 0 ? ft_boolean : field == 1 ? ft_numeric_32 : ft_stringw;
            EXPECT_EQ(FsContentGetValueW(name, field, 0, b.bytes.data(), 64, 0), expected) << field;
            EXPECT_EQ(b.Int() & (field >= 2 ? 0xFFFF : -1), 0);
        }
    }
    EXPECT_EQ(winsim::CountCalls("CreateFileW") + winsim::CountCalls("GetFileAttributesW"), 0u);
}

TEST_F(ContentColumns, TheAnsiVariantConvertsTheName)
{
    winsim::AddFile(u"C:\\d\\caf\u00e9.txt", "x");
    winsim::AddStream(u"C:\\d\\caf\u00e9.txt", u"note", "n");
    ValueBuffer b;
    char name[] = "\\C:\\d\\caf\xE9.txt";
    EXPECT_EQ(FsContentGetValue(name, 3, 0, b.bytes.data(), 64, 0), ft_stringw);
    EXPECT_EQ(U8(b.Text()), "note");
    EXPECT_EQ(FsContentGetValue(nullptr, 4, 0, b.bytes.data(), 64, 0), ft_stringw);
}

TEST_F(ContentColumns, UnreadableAttributesFallBackToTheSearch)
{
    struct Case {
        const char16_t* path;
        DWORD error;
        const char* type;
    };
    const Case cases[] = {
        {u"\\C:\\d\\plain.txt", ERROR_ACCESS_DENIED, "txt"},    // found by the search as a file
        {u"\\C:\\d\\sub.dir", ERROR_ACCESS_DENIED, "<Dir>"},    // there, and not a file
        {u"\\C:\\d\\missing", ERROR_SHARING_VIOLATION, "<Dir>"},  // not absent, so taken for a directory
        {u"\\C:\\d\\plain.txt", ERROR_NOT_READY, "txt"},
        {u"\\C:\\d\\missing", ERROR_NOT_READY, "?"},
        {u"\\C:\\d\\missing", ERROR_BAD_NETPATH, "?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.path) + " " + std::to_string(c.error));
        winsim::FailCall("GetFileAttributesW", c.error);
        EXPECT_EQ(U8(Get(c.path, 4).text), c.type);
    }
}

TEST_F(ContentColumns, LinksCountAsWhatTheyLeadTo)
{
    winsim::AddJunction(u"C:\\d\\link", u"C:\\d\\sub.dir");
    EXPECT_EQ(U8(Get(u"\\C:\\d\\link", 4).text), "<Dir>");
}

TEST(CleanStreamName, CutsTheDataSuffixAndTheLeadingColon)
{
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u":notes:$DATA", u"notes"}, {u":notes:$data", u"notes"}, {u":a.b:$DaTa", u"a.b"},
        {u":x", u"x"},               {u"x", u"x"},                {u"", u""},
        {u":", u""},                 {u":$DATA", u""},            {u"::$DATA", u""},
        // Only the first ":$DATA" counts, and only when it ends the name.
        {u":a:$DATA:$DATA", u"a:$DATA:$DATA"}, {u":a:$DATAx", u"a:$DATAx"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(U8(CleanStreamName(in)), U8(out)) << U8(in);
}

// Hosts ask for the fields and the default view before FsInitW, and may ask
// for a value then too: nothing is refused for want of the settings.
using ContentBeforeInit = PluginTest;
TEST_F(ContentBeforeInit, FieldsTheViewAndValuesAnswer)
{
    ASSERT_TRUE(PluginState().Disabled);
    char name[64] = {}, units[128] = {};
    EXPECT_EQ(FsContentGetSupportedField(cfZone, name, units, 64), ft_multiplechoice);
    EXPECT_STREQ(name, "Zone");
    EXPECT_EQ(FsContentGetSupportedFieldFlags(-1), contflags_substsize);
    std::array<WCHAR, 512> contents{}, headers{}, widths{}, options{};
    EXPECT_EQ(FsContentGetDefaultViewW(contents.data(), headers.data(), widths.data(), options.data(), 1024), -1);
    EXPECT_EQ(U8(headers.data()), "Type\\nHas Stream\\nStreams Count\\nAll Streams One Line");
    winsim::AddFile(u"C:\\d\\f.txt", "x");
    winsim::AddStream(u"C:\\d\\f.txt", u"s", "y");
    std::u16string f = u"\\C:\\d\\f.txt";
    ValueBuffer b;
    EXPECT_EQ(FsContentGetValueW(f.data(), cfHasStream, 0, b.bytes.data(), 1024, CONTENT_DELAYIFSLOW), ft_delayed);
    EXPECT_EQ(FsContentGetValueW(f.data(), cfAllStreamsOneLine, 0, b.bytes.data(), 1024, 0), ft_stringw);
    EXPECT_EQ(U8(b.Text()), "s");
}

TEST(ContentDefaultView, TextsSortOrderAndTheAnsiVariant)
{
    std::array<WCHAR, 512> contents{}, headers{}, widths{}, options{};
    EXPECT_EQ(FsContentGetDefaultViewW(contents.data(), headers.data(), widths.data(), options.data(), 1024), -1);
    EXPECT_EQ(U8(contents.data()),
              "[=<fs>.Type]\\n[=<fs>.Has Stream]\\n[=<fs>.Streams Count]\\n[=<fs>.All Streams One Line]");
    EXPECT_EQ(U8(headers.data()), "Type\\nHas Stream\\nStreams Count\\nAll Streams One Line");
    EXPECT_EQ(U8(widths.data()), "80,-30,-40,-37,50,510");
    EXPECT_EQ(U8(options.data()), "-1|0");

    // Cut to (maxlen div 2) - 2 characters.
    EXPECT_EQ(FsContentGetDefaultViewW(contents.data(), headers.data(), widths.data(), options.data(), 12), -1);
    EXPECT_EQ(U8(contents.data()), "[=<f");
    EXPECT_EQ(U8(options.data()), "-1|0");

    char a[8] = "guard", b[8] = "guard", c[8] = "guard", d[8] = "guard";
    EXPECT_EQ(FsContentGetDefaultView(a, b, c, d, 8), 0);
    EXPECT_STREQ(a, "guard");

    for (int field : {0, 1, 2, 3, 5, -1})
        EXPECT_EQ(FsContentGetDefaultSortOrder(field), -1) << field;
    EXPECT_EQ(FsContentGetDefaultSortOrder(4), 1);
}

}  // namespace
