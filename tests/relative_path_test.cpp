// The stored form of a language file: relative to the plugin's folder when it
// can be, and resolved back to the same file when the settings are read.
#include "config/language_path.h"
#include "config/relative_path.h"
#include "host_fixture.h"

namespace {

TEST(RelativeTo, ShortensPathsOnThePluginsDriveOnly)
{
    struct Case {
        const char16_t* folder;
        const char16_t* path;
        const char16_t* expected;
    };
    const Case cases[] = {
        {u"C:\\tools\\plugin\\", u"C:\\tools\\plugin\\lang\\x.lng", u"lang\\x.lng"},
        {u"C:\\tools\\plugin\\", u"C:\\tools\\plugin\\x.lng", u"x.lng"},
        {u"C:\\tools\\plugin\\", u"C:\\other\\x.lng", u"..\\..\\other\\x.lng"},
        {u"C:\\tools\\plugin\\", u"C:\\tools\\x.lng", u"..\\x.lng"},
        {u"C:\\tools\\plugin\\", u"C:\\x.lng", u"..\\..\\x.lng"},
        {u"C:\\tools\\plugin\\", u"D:\\x.lng", u"D:\\x.lng"},
        // Drive letters and directories compare without regard to case; the
        // path's own spelling is kept.
        {u"C:\\Tools\\Plugin\\", u"c:\\TOOLS\\plugin\\Lang\\X.lng", u"Lang\\X.lng"},
        // A directory that only begins like the folder's is another directory.
        {u"C:\\tools\\plugin\\", u"C:\\tools\\plugins\\x.lng", u"..\\plugins\\x.lng"},
        {u"\\\\srv\\share\\plugin\\", u"\\\\SRV\\share\\lang\\x.lng", u"..\\lang\\x.lng"},
        {u"\\\\srv\\share\\plugin\\", u"\\\\srv\\other\\x.lng", u"\\\\srv\\other\\x.lng"},
        {u"\\\\srv\\share\\plugin\\", u"C:\\x.lng", u"C:\\x.lng"},
        // Nothing to shorten: empty, already relative, drive-relative, no folder.
        {u"C:\\tools\\plugin\\", u"", u""},
        {u"C:\\tools\\plugin\\", u"lang\\x.lng", u"lang\\x.lng"},
        {u"C:\\tools\\plugin\\", u"\\x.lng", u"\\x.lng"},
        {u"C:\\tools\\plugin\\", u"C:x.lng", u"C:x.lng"},
        {u"", u"C:\\x.lng", u"C:\\x.lng"},
        {u"C:\\", u"C:\\lang\\x.lng", u"lang\\x.lng"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.folder) + " | " + U8(c.path));
        EXPECT_EQ(U8(RelativeTo(c.folder, c.path)), U8(c.expected));
    }
}

TEST(RelativeTo, ResolvesBackToTheSameFile)
{
    const char16_t* folder = u"C:\\tools\\plugin\\";
    const char16_t* paths[] = {u"C:\\tools\\plugin\\lang\\x.lng", u"C:\\other\\deep\\x.lng", u"C:\\x.lng",
                               u"D:\\x.lng"};
    for (const char16_t* p : paths)
        EXPECT_EQ(U8(MakeAbsoluteTo(folder, RelativeTo(folder, p))), U8(p));
}

class RelativeToPluginFolder_ : public PluginTest {};

TEST_F(RelativeToPluginFolder_, UsesTheModulesFolder)
{
    EXPECT_EQ(U8(RelativeToPluginFolder(u"C:\\plugins\\lang\\de.lng")), "lang\\de.lng");
    winsim::SetModulePath(u"D:\\tc\\plugins\\wfx\\NTFSTarnwick.wfx64");
    EXPECT_EQ(U8(RelativeToPluginFolder(u"D:\\tc\\lang\\de.lng")), "..\\..\\lang\\de.lng");
}

}  // namespace
