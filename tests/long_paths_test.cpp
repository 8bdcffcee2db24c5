// Plain paths reach MAX_PATH characters only; below a deeper folder every
// export still works, through the long-path form, and the shell (which takes
// no long form) gives way to the host's default icon.
#include "fileops/attributes_times.h"
#include "fileops/delete_create_exports.h"
#include "host_fixture.h"
#include "presentation/content_exports.h"
#include "presentation/icons.h"

namespace {

class LongPathsTest : public PluginTest {
protected:
    void SetUp() override
    {
        PluginTest::SetUp();
        deep_ = u"C:\\deep";
        while (deep_.size() < 300)
            deep_ += u"\\directory";
        winsim::AddFile(deep_ + u"\\f.txt", "data");
        winsim::AddFile(deep_ + u"\\sub\\g.txt", "more", FILE_ATTRIBUTE_READONLY);
        ASSERT_EQ(InitPlugin(), 0);
    }
    std::u16string Remote(std::u16string_view below) const { return u"\\" + deep_ + u"\\" + std::u16string(below); }
    std::u16string deep_;
};

TEST_F(LongPathsTest, EveryExportWorksBelowAFolderDeeperThanMaxPath)
{
    std::u16string file = Remote(u"f.txt");
    SetLastError(0xdeadbeef);
    EXPECT_NE(FsSetAttrW(file.data(), FILE_ATTRIBUTE_HIDDEN), FALSE) << "error " << GetLastError();
    EXPECT_EQ(winsim::Attributes(deep_ + u"\\f.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));

    FILETIME t{0x12345678, 0x01D00000};
    EXPECT_EQ(FsSetTimeW(file.data(), nullptr, nullptr, &t), -1);
    EXPECT_EQ(winsim::Times(deep_ + u"\\f.txt").lastWrite.dwHighDateTime, t.dwHighDateTime);

    // The Type column: the extension, as for any file.
    WCHAR type[64] = {};
    EXPECT_EQ(FsContentGetValueW(file.data(), 4, 0, type, sizeof type, 0), ft_stringw);
    EXPECT_EQ(U8(type), "txt");

    HICON icon = nullptr;
    std::u16string entry = file + u"\\::$DATA";
    int r = FsExtractCustomIconW(entry.data(), FS_ICONFLAG_BACKGROUND, &icon);
    EXPECT_TRUE(r == FS_ICON_USEDEFAULT || r == FS_ICON_EXTRACTED_DESTROY) << r;
    if (icon)
        DestroyIcon(icon);
    std::u16string folder = Remote(u"sub");
    icon = nullptr;
    EXPECT_EQ(FsExtractCustomIconW(folder.data(), FS_ICONFLAG_BACKGROUND, &icon), FS_ICON_USEDEFAULT)
        << "the shell takes no long path";
    EXPECT_EQ(icon, nullptr);

    // The tree goes, read-only file and all.
    std::u16string top = u"\\" + deep_;
    EXPECT_EQ(FsRemoveDirW(top.data()), -1);
    EXPECT_FALSE(winsim::Exists(deep_));
}

}  // namespace
