// FsGetPreviewBitmapW names the file or stream the host draws the preview
// from; the ANSI form answers FS_BITMAP_NONE.
#include <algorithm>
#include <vector>

#include "host_fixture.h"
#include "presentation/preview.h"

namespace {

constexpr WCHAR kGuard = 0xFEFE;

class PreviewTest : public PluginTest {
protected:
    // The host's buffer: MAX_PATH characters holding the plugin path, followed
    // by guard characters that must survive.
    std::u16string Preview(const std::u16string& remote, int& result, HBITMAP& bitmap,
                           std::size_t capacity = MAX_PATH)
    {
        std::vector<WCHAR> buffer(std::max(capacity, remote.size() + 1) + 16, kGuard);
        std::copy(remote.begin(), remote.end(), buffer.begin());
        buffer[remote.size()] = 0;
        const std::size_t used = std::max(capacity, remote.size() + 1);
        bitmap = reinterpret_cast<HBITMAP>(static_cast<std::uintptr_t>(0xBAD));
        result = FsGetPreviewBitmapW(buffer.data(), 100, 100, &bitmap);
        for (std::size_t i = used; i < buffer.size(); ++i)
            EXPECT_EQ(buffer[i], kGuard) << "written past the buffer at " << i;
        return std::u16string(buffer.data());
    }
};

TEST_F(PreviewTest, TheHostGetsTheLocalOrStreamPath)
{
    ASSERT_EQ(InitPlugin(), 0);
    winsim::ClearCallLog();
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"\\C:\\d\\f.txt\\:s:$DATA", u"C:\\d\\f.txt:s:$DATA"},
        {u"\\C:\\d\\f.txt\\::$DATA", u"C:\\d\\f.txt"},
        {u"\\C:\\d\\f.txt\\::$EA_DATA", u"C:\\d\\f.txt::$EA_DATA"},
        {u"\\C:\\d\\f.txt", u"C:\\d\\f.txt"},
        {u"\\C:\\d\\", u"C:\\d"},
        {u"\\C:", u"C:"},
        {u"\\", u""},
    };
    for (const auto& [remote, expected] : cases) {
        SCOPED_TRACE(U8(remote));
        int result = -1;
        HBITMAP bitmap;
        EXPECT_EQ(U8(Preview(remote, result, bitmap)), U8(expected));
        EXPECT_EQ(result, FS_BITMAP_EXTRACT_YOURSELF);
        EXPECT_EQ(bitmap, nullptr);
    }
    EXPECT_TRUE(winsim::CallLog().empty()) << "the file system is never asked";
}

TEST_F(PreviewTest, AnswersTheSameWhileDisabled)
{
    // Not initialised: the preview is not gated.
    int result = -1;
    HBITMAP bitmap;
    winsim::ClearCallLog();
    EXPECT_EQ(U8(Preview(u"\\C:\\d\\f.txt\\:s:$DATA", result, bitmap)), "C:\\d\\f.txt:s:$DATA");
    EXPECT_EQ(result, FS_BITMAP_EXTRACT_YOURSELF);
    EXPECT_EQ(bitmap, nullptr);
    EXPECT_TRUE(winsim::CallLog().empty()) << "the file system is never asked";
}

TEST_F(PreviewTest, LongPathsAreCutTo258Characters)
{
    struct Case {
        std::size_t localLength;  // characters of the path handed back, before the cut
        std::size_t expected;
    };
    const Case cases[] = {{257, 257}, {258, 258}, {259, 258}, {300, 258}, {1000, 258}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.localLength);
        // "\C:\" + name: the local path is "C:\" + name.
        std::u16string local = u"C:\\" + std::u16string(c.localLength - 3, u'x');
        int result = -1;
        HBITMAP bitmap;
        // The host's buffer holds its text (which may be longer than MAX_PATH).
        std::u16string back = Preview(u"\\" + local, result, bitmap);
        EXPECT_EQ(result, FS_BITMAP_EXTRACT_YOURSELF);
        EXPECT_EQ(back.size(), c.expected);
        EXPECT_EQ(U8(back), U8(local.substr(0, c.expected)));
    }
}

TEST_F(PreviewTest, NothingIsWrittenBeyondTheHostsText)
{
    // A buffer only as long as the text: the answer is never longer.
    for (const char16_t* remote : {u"\\C:", u"C:", u"\\", u"", u"\\C:\\d\\f.txt\\:s:$DATA\\"}) {
        SCOPED_TRACE(U8(remote));
        int result = -1;
        HBITMAP bitmap;
        Preview(remote, result, bitmap, 0);
        EXPECT_EQ(result, FS_BITMAP_EXTRACT_YOURSELF);
    }
}

TEST_F(PreviewTest, NullArgumentsAndTheAnsiForm)
{
    HBITMAP bitmap = reinterpret_cast<HBITMAP>(static_cast<std::uintptr_t>(0xBAD));
    EXPECT_EQ(FsGetPreviewBitmapW(nullptr, 0, 0, &bitmap), FS_BITMAP_NONE);
    EXPECT_EQ(bitmap, nullptr);
    std::u16string name = u"\\C:\\d";
    EXPECT_EQ(FsGetPreviewBitmapW(name.data(), 0, 0, nullptr), FS_BITMAP_EXTRACT_YOURSELF);
    EXPECT_EQ(U8(name.c_str()), "C:\\d");

    char ansi[] = "\\C:\\d\\f.txt\\:s:$DATA";
    bitmap = reinterpret_cast<HBITMAP>(static_cast<std::uintptr_t>(0xBAD));
    EXPECT_EQ(FsGetPreviewBitmap(ansi, 10, 10, &bitmap), FS_BITMAP_NONE);
    EXPECT_EQ(std::string(ansi), "\\C:\\d\\f.txt\\:s:$DATA");
    EXPECT_EQ(bitmap, reinterpret_cast<HBITMAP>(static_cast<std::uintptr_t>(0xBAD))) << "the ANSI form touched it";
}

}  // namespace
