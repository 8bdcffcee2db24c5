// The listing entry of one stream: attributes, size and entry name.
#include "host_fixture.h"
#include "streams/stream_kinds.h"

namespace {

struct KindCase {
    int id;
    DWORD streamAttributes;
    const char16_t* name;
    std::int64_t size;
    DWORD attributes;
    const char16_t* entryName;
};

TEST(StreamToFindData, NamesAndMarksEveryKind)
{
    const KindCase cases[] = {
        {0, 0, u"", 0, 0x82, u"::"},
        {1, 0, u"", 5, 0x80, u"::$DATA"},
        {2, 0, u"", 40, 0x82, u"::$EA_DATA"},
        {3, STREAM_MODIFIED_WHEN_READ | STREAM_CONTAINS_SECURITY, u"", 0x74, 0x87, u"::$SECURITY_DESCRIPTOR"},
        {3, STREAM_CONTAINS_SECURITY, u"", 0x74, 0x86, u"::$SECURITY_DESCRIPTOR"},
        {4, 0, u"", 1, 0x82, u"::$ALTERNATE_DATA"},
        {5, 0, u"", 1, 0x82, u"::$LINK"},
        {6, STREAM_CONTAINS_PROPERTIES, u"", 1, 0x82, u"::$PROPERTY_DATA"},
        {7, 0, u"", 64, 0x82, u"::$OBJECT_ID"},
        {8, 0, u"", 1, 0x82, u"::$REPARSE_DATA"},
        {9, STREAM_SPARSE_ATTRIBUTE, u"", 1, 0x82, u"::$SPARSE_BLOCK"},
        {10, 0, u"", 3, 0x82, u"::"},
        {12, 0, u"", 0, 0x82, u"::"},
        {255, 0, u"", 0, 0x82, u"::"},
        // A named stream keeps its name and stays visible, whatever its kind.
        {4, 0, u":name:$DATA", 1, 0x80, u":name:$DATA"},
        {12, STREAM_MODIFIED_WHEN_READ, u":x:$DATA", 1, 0x81, u":x:$DATA"},
        {1, STREAM_SPARSE_ATTRIBUTE, u"", 0, 0x80, u"::$DATA"},
        // Sizes are full 64-bit values.
        {1, 0, u"", 0x123456789ALL, 0x80, u"::$DATA"},
        {4, 0, u":\U0001F600:$DATA", 0, 0x80, u":\U0001F600:$DATA"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("id " + std::to_string(c.id) + " " + U8(c.name));
        TFindStreamData d{};
        d.StreamID = static_cast<TStreamId>(c.id);
        d.Attributes = c.streamAttributes;
        d.Name = c.name;
        d.Size = c.size;
        WIN32_FIND_DATAW f{};
        f.ftCreationTime = {1, 2};
        f.dwReserved0 = 7;
        StreamToFindData(f, d);
        EXPECT_EQ(f.dwFileAttributes, c.attributes);
        EXPECT_EQ(U8(f.cFileName), U8(c.entryName));
        EXPECT_EQ(f.nFileSizeHigh, static_cast<DWORD>(static_cast<std::uint64_t>(c.size) >> 32));
        EXPECT_EQ(f.nFileSizeLow, static_cast<DWORD>(c.size));
        // What the caller set stays.
        EXPECT_EQ(f.ftCreationTime.dwLowDateTime, 1u);
        EXPECT_EQ(f.dwReserved0, 7u);
    }
}

TEST(StreamToFindData, CutsALongNameTo259Characters)
{
    TFindStreamData d{};
    d.StreamID = TStreamId::siAlternate;
    d.Name = u":" + std::u16string(400, u'n') + u":$DATA";
    WIN32_FIND_DATAW f;
    std::fill(std::begin(f.cFileName), std::end(f.cFileName), u'#');
    StreamToFindData(f, d);
    EXPECT_EQ(std::u16string(f.cFileName).size(), 259u);
    EXPECT_EQ(f.cFileName[259], 0);
}

}  // namespace
