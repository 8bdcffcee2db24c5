// The language files shipped with the plugin: each is accepted by the loader
// and gives every slot a text; English gives the built-in texts exactly.
#include <fstream>
#include <sstream>

#include "config/messages.h"
#include "config/settings.h"
#include "config/settings_dialog.h"
#include "config/text_file.h"
#include "host_fixture.h"

namespace {

std::string ShippedFile(const std::string& name)
{
    std::string here = __FILE__;
    std::ifstream in(here.substr(0, here.rfind("/tests/")) + "/resources/lang/" + name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class ShippedLanguageFiles : public PluginTest {};

TEST_F(ShippedLanguageFiles, EachIsAcceptedAndFillsEverySlot)
{
    ASSERT_EQ(InitPlugin(), 0);
    for (const char* name : {"English.lng", "German.lng", "Russian.lng"}) {
        SCOPED_TRACE(name);
        std::string bytes = ShippedFile(name);
        ASSERT_FALSE(bytes.empty());
        std::vector<WString> lines = SplitLines(DecodeText(bytes).Text);
        ASSERT_EQ(lines.size(), 22u);
        EXPECT_EQ(U8(lines[0]), "wfx_Tarnwick language file");
        for (int line = 2; line <= 21; ++line)
            EXPECT_FALSE(lines[static_cast<std::size_t>(line)].empty()) << "line " << line;
        // Line 12 is a filter of description and pattern pairs.
        EXPECT_EQ(std::count(lines[12].begin(), lines[12].end(), u'|'), 3);
        MessageTable table = DefaultMessages();
        ApplyLanguageLines(lines, table);
        for (int line = 2; line <= 21; ++line)
            if (IsMessageLine(line))
                EXPECT_EQ(U8(table[static_cast<std::size_t>(line)]),
                          U8(lines[static_cast<std::size_t>(line)]));
    }
}

TEST_F(ShippedLanguageFiles, EnglishRepeatsTheBuiltInTexts)
{
    ASSERT_EQ(InitPlugin(), 0);
    std::vector<WString> lines = SplitLines(DecodeText(ShippedFile("English.lng")).Text);
    ASSERT_EQ(lines.size(), 22u);
    const MessageTable defaults = DefaultMessages();
    for (int line = 2; line <= 21; ++line) {
        const WString& builtIn = defaults[static_cast<std::size_t>(line)];
        if (!builtIn.empty())
            EXPECT_EQ(U8(lines[static_cast<std::size_t>(line)]), U8(builtIn)) << "line " << line;
    }
    // The dialog's captions, which the built-in table leaves to the dialog.
    EXPECT_EQ(U8(lines[6]), "NTFS Tarnwick properties");
    EXPECT_EQ(U8(lines[7]), "Ok");
    EXPECT_EQ(U8(lines[8]), "Cancel");
    EXPECT_EQ(U8(lines[10]), "Streams types to display:");
    EXPECT_EQ(U8(lines[11]), U8(kOpenTitle));
    EXPECT_EQ(U8(lines[12]), U8(kOpenFilter));
}

}  // namespace
