// FsExtractCustomIconW and its helpers: which entry gets which icon, the
// delayed first call, the loader's two branches, and icons never leaked.
#include <optional>

#include "host_fixture.h"
#include "presentation/icons.h"

namespace {

constexpr int kSmall = FS_ICONFLAG_SMALL;
constexpr int kBackground = FS_ICONFLAG_BACKGROUND;

struct Extracted {
    int result;
    std::optional<winsim::IconInfo> icon;  // what the returned handle is
    bool handleNull;
};

class IconTest : public PluginTest {
protected:
    void SetUp() override
    {
        PluginTest::SetUp();
        // What resources/icon.rc builds into the DLL.
        winsim::AddIconResource(u"FILESTREAM", {16, 32});
        winsim::AddFile(u"C:\\d\\f.txt", "body");
        winsim::AddStream(u"C:\\d\\f.txt", u"s", "stream");
        ASSERT_EQ(InitPlugin(), 0);
    }

    // Calls the export as the host does and destroys the icon afterwards, as
    // the host does with FS_ICON_EXTRACTED_DESTROY.
    Extracted Extract(const char16_t* remote, int flags)
    {
        std::u16string name(remote);
        const std::u16string original = name;
        HICON icon = reinterpret_cast<HICON>(static_cast<std::uintptr_t>(0xBAD));
        Extracted e{FsExtractCustomIconW(name.data(), flags, &icon), std::nullopt, icon == nullptr};
        EXPECT_EQ(U8(name), U8(original)) << "the plugin wrote into RemoteName";
        if (icon) {
            e.icon = winsim::DescribeIcon(icon);
            EXPECT_TRUE(e.icon.has_value()) << "the handle is no icon";
            if (e.icon) {
                EXPECT_TRUE(DestroyIcon(icon));
            }
        }
        return e;
    }
};

TEST_F(IconTest, EachEntryGetsItsIcon)
{
    winsim::AddDirectory(u"C:\\target");
    winsim::AddJunction(u"C:\\d\\junction", u"C:\\target");
    winsim::AddFile(u"C:\\d\\denied.txt", "x");
    winsim::DenyAccess(u"C:\\d\\denied.txt");
    winsim::AddFileSymlink(u"C:\\d\\link.txt", u"C:\\d\\f.txt");
    winsim::AddFileSymlink(u"C:\\d\\dangling.txt", u"C:\\d\\gone.txt");
    struct Case {
        const char16_t* remote;
        int result;
        const char* loader;      // null: no icon
        const char16_t* origin;
    };
    const Case cases[] = {
        {u"\\C:\\d\\f.txt\\:s:$DATA", FS_ICON_EXTRACTED_DESTROY, "LoadIconWithScaleDown", u"FILESTREAM"},
        {u"\\C:\\d\\f.txt\\::$EA_DATA", FS_ICON_EXTRACTED_DESTROY, "LoadIconWithScaleDown", u"FILESTREAM"},
        {u"\\C:\\d\\f.txt\\::", FS_ICON_EXTRACTED_DESTROY, "LoadIconWithScaleDown", u"FILESTREAM"},
        // A stream that does not exist is still shown as a stream.
        {u"\\C:\\d\\f.txt\\:nothere:$DATA", FS_ICON_EXTRACTED_DESTROY, "LoadIconWithScaleDown", u"FILESTREAM"},
        {u"\\C:\\d\\f.txt\\::$DATA", FS_ICON_EXTRACTED_DESTROY, "SHGetFileInfoW", u"C:\\d\\f.txt"},
        {u"\\C:\\d\\f.txt", FS_ICON_EXTRACTED_DESTROY, "SHGetFileInfoW", u"C:\\d\\f.txt"},
        {u"\\C:\\d\\f.txt\\", FS_ICON_EXTRACTED_DESTROY, "SHGetFileInfoW", u"C:\\d\\f.txt"},
        {u"\\C:", FS_ICON_EXTRACTED_DESTROY, "SHGetFileInfoW", u"C:\\"},
        {u"\\C:\\", FS_ICON_EXTRACTED_DESTROY, "SHGetFileInfoW", u"C:\\"},
        // Not openable, but there: the plain probe finds it.
        {u"\\C:\\d\\denied.txt", FS_ICON_EXTRACTED_DESTROY, "SHGetFileInfoW", u"C:\\d\\denied.txt"},
        {u"\\C:\\d\\link.txt", FS_ICON_EXTRACTED_DESTROY, "SHGetFileInfoW", u"C:\\d\\link.txt"},
        {u"\\C:\\d\\dangling.txt", FS_ICON_USEDEFAULT, nullptr, nullptr},
        {u"\\C:\\d", FS_ICON_USEDEFAULT, nullptr, nullptr},
        {u"\\C:\\d\\junction", FS_ICON_USEDEFAULT, nullptr, nullptr},
        {u"\\..", FS_ICON_USEDEFAULT, nullptr, nullptr},
        {u"\\", FS_ICON_USEDEFAULT, nullptr, nullptr},
        {u"\\C:\\d\\missing.txt", FS_ICON_USEDEFAULT, nullptr, nullptr},
        {u"\\Q:", FS_ICON_USEDEFAULT, nullptr, nullptr},  // a drive that is not there
    };
    for (const auto& c : cases) {
        for (int small : {0, 1}) {
            SCOPED_TRACE(U8(c.remote) + (small ? " small" : " large"));
            Extracted e = Extract(c.remote, kBackground | (small ? kSmall : 0));
            EXPECT_EQ(e.result, c.result);
            if (!c.loader) {
                EXPECT_TRUE(e.handleNull);
                continue;
            }
            ASSERT_TRUE(e.icon.has_value());
            EXPECT_EQ(e.icon->loader, c.loader);
            EXPECT_EQ(U8(e.icon->origin), U8(c.origin));
            const int edge = small ? 16 : 32;
            EXPECT_EQ(e.icon->width, edge);
            EXPECT_EQ(e.icon->height, edge);
            if (e.icon->loader != "SHGetFileInfoW") {
                EXPECT_EQ(e.icon->imageEdge, edge) << "drawn from the other size, not from its own";
            }
        }
    }
}

TEST_F(IconTest, TheFirstCallIsDelayedWithoutLookingAtAnything)
{
    for (const char16_t* remote : {u"\\C:\\d\\f.txt\\:s:$DATA", u"\\C:\\d\\f.txt", u"\\C:", u"\\"}) {
        for (int flags : {0, kSmall, 0x7FFFFFF0, 0x7FFFFFF0 | kSmall}) {
            SCOPED_TRACE(U8(remote) + " flags " + std::to_string(flags));
            winsim::ClearCallLog();
            Extracted e = Extract(remote, flags);
            EXPECT_EQ(e.result, FS_ICON_DELAYED);
            EXPECT_TRUE(e.handleNull);
            EXPECT_TRUE(winsim::CallLog().empty()) << "called " << winsim::CallLog().front().function;
        }
    }
}

TEST_F(IconTest, UnknownFlagBitsAreIgnored)
{
    Extracted e = Extract(u"\\C:\\d\\f.txt\\:s:$DATA", static_cast<int>(0xFFFFFFF0u) | kBackground | kSmall);
    EXPECT_EQ(e.result, FS_ICON_EXTRACTED_DESTROY);
    ASSERT_TRUE(e.icon.has_value());
    EXPECT_EQ(e.icon->width, 16);
    e = Extract(u"\\C:\\d\\f.txt", static_cast<int>(0xFFFFFFF0u) | kBackground);
    ASSERT_TRUE(e.icon.has_value());
    EXPECT_EQ(e.icon->width, 32);
}

TEST_F(IconTest, DisabledGivesTheDefaultForEveryEntry)
{
    OnProcessDetach();
    OnProcessAttach(winsim::PluginModule());
    for (int flags : {0, kBackground, kBackground | kSmall}) {
        SCOPED_TRACE(flags);
        winsim::ClearCallLog();
        Extracted e = Extract(u"\\C:\\d\\f.txt\\:s:$DATA", flags);
        EXPECT_EQ(e.result, FS_ICON_USEDEFAULT);
        EXPECT_TRUE(e.handleNull);
        EXPECT_TRUE(winsim::CallLog().empty());
    }
}

TEST_F(IconTest, TheLoaderFollowsTheWindowsVersion)
{
    struct Case {
        DWORD major, minor;
        const char* loader;
    };
    const Case cases[] = {{5, 1, "LoadImageW"}, {5, 2, "LoadImageW"}, {6, 0, "LoadIconWithScaleDown"},
                          {6, 3, "LoadIconWithScaleDown"}, {10, 0, "LoadIconWithScaleDown"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor));
        winsim::SetPlatform(VER_PLATFORM_WIN32_NT, c.major, c.minor);
        for (int small : {0, 1}) {
            Extracted e = Extract(u"\\C:\\d\\f.txt\\:s:$DATA", kBackground | (small ? kSmall : 0));
            EXPECT_EQ(e.result, FS_ICON_EXTRACTED_DESTROY);
            ASSERT_TRUE(e.icon.has_value());
            EXPECT_EQ(e.icon->loader, c.loader);
            EXPECT_EQ(e.icon->width, small ? 16 : 32);
            EXPECT_EQ(e.icon->imageEdge, small ? 16 : 32);
        }
    }
}

TEST_F(IconTest, LoadIconWithScaleDownIsLookedUpOnceAtItsFirstCall)
{
    auto lookups = [] {
        std::size_t n = 0;
        for (const auto& call : winsim::CallLog())
            n += call.function == "GetProcAddress" && call.argument == u"LoadIconWithScaleDown";
        return n;
    };
    Extract(u"\\C:\\d\\f.txt", kBackground);
    EXPECT_EQ(lookups(), 0u) << "looked up before it was needed";
    Extract(u"\\C:\\d\\f.txt\\:s:$DATA", kBackground);
    Extract(u"\\C:\\d\\f.txt\\:t:$DATA", kBackground | kSmall);
    EXPECT_EQ(lookups(), 1u);
}

TEST_F(IconTest, AComctl32WithoutLoadIconWithScaleDownStillGivesTheIcon)
{
    // An older comctl32.dll loaded in the host's process lacks the function.
    winsim::HideExport("comctl32.dll", "LoadIconWithScaleDown");
    Extracted e = Extract(u"\\C:\\d\\f.txt\\:s:$DATA", kBackground | kSmall);
    EXPECT_EQ(e.result, FS_ICON_EXTRACTED_DESTROY);
    ASSERT_TRUE(e.icon.has_value());
    EXPECT_EQ(e.icon->loader, "LoadImageW");
    EXPECT_EQ(e.icon->width, 16);
}

TEST_F(IconTest, FailuresGiveTheDefaultIconAndLeakNothing)
{
    struct Case {
        const char16_t* remote;
        const char* call;
        DWORD error;
    };
    const Case cases[] = {
        {u"\\C:\\d\\f.txt\\:s:$DATA", "LoadIconWithScaleDown", ERROR_RESOURCE_NAME_NOT_FOUND},
        {u"\\C:\\d\\f.txt\\:s:$DATA", "GetVersionExW", ERROR_INVALID_PARAMETER},  // then LoadImageW ...
        {u"\\C:\\d\\f.txt", "SHGetFileInfoW", ERROR_FILE_NOT_FOUND},
        {u"\\C:", "SHGetFileInfoW", ERROR_FILE_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.remote) + " " + c.call);
        winsim::FailCall(c.call, c.error);
        if (std::string(c.call) == "GetVersionExW")
            winsim::FailCall("LoadImageW", ERROR_RESOURCE_NAME_NOT_FOUND);  // ... which fails too
        Extracted e = Extract(c.remote, kBackground);
        EXPECT_EQ(e.result, FS_ICON_USEDEFAULT);
        EXPECT_TRUE(e.handleNull);
    }
    EXPECT_EQ(FsExtractCustomIconW(nullptr, kBackground, nullptr), FS_ICON_USEDEFAULT);
    HICON icon = reinterpret_cast<HICON>(static_cast<std::uintptr_t>(0xBAD));
    EXPECT_EQ(FsExtractCustomIconW(nullptr, kBackground, &icon), FS_ICON_USEDEFAULT);
    EXPECT_EQ(icon, nullptr);
}

TEST_F(IconTest, AMissingResourceGivesTheDefault)
{
    winsim::Reset();
    winsim::AddVolume(u'C');
    winsim::AddFile(u"C:\\d\\f.txt", "body");
    OnProcessDetach();
    OnProcessAttach(winsim::PluginModule());
    ASSERT_EQ(InitPlugin(), 0);
    for (DWORD major : {5u, 6u}) {
        winsim::SetPlatform(VER_PLATFORM_WIN32_NT, major, 1);
        Extracted e = Extract(u"\\C:\\d\\f.txt\\:s:$DATA", kBackground);
        EXPECT_EQ(e.result, FS_ICON_USEDEFAULT) << "Windows " << major;
        EXPECT_TRUE(e.handleNull);
    }
}

TEST_F(IconTest, FileExistsPlainTellsEntriesThatAreNotDirectories)
{
    winsim::AddDirectory(u"C:\\target");
    winsim::AddJunction(u"C:\\junction", u"C:\\target");
    winsim::AddFileSymlink(u"C:\\link.txt", u"C:\\d\\f.txt");
    winsim::AddFileSymlink(u"C:\\dangling.txt", u"C:\\gone.txt");
    const std::pair<const char16_t*, bool> cases[] = {
        {u"C:\\d\\f.txt", true},      {u"C:\\d", false},          {u"C:\\", false},
        {u"C:\\junction", false},     {u"C:\\link.txt", true},    {u"C:\\dangling.txt", false},
        {u"C:\\missing", false},      {u"C:\\no\\such", false},
        // Windows reads the attributes of a stream's file through a stream path.
        {u"C:\\d\\f.txt:s", true},        {u"C:\\d\\f.txt:none", false},
        {u"C:\\bad|name", false},
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(FileExistsPlain(path), expected) << U8(path);
}

TEST_F(IconTest, FileExistsPlainAsksTheSearchAboutLockedEntries)
{
    // pagefile.sys: its attributes cannot be read, the directory search lists it.
    winsim::AddFile(u"C:\\pagefile.sys", "");
    winsim::FailCall("GetFileAttributesW", ERROR_SHARING_VIOLATION);
    EXPECT_TRUE(FileExistsPlain(u"C:\\pagefile.sys"));
    winsim::FailCall("GetFileAttributesW", ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(FileExistsPlain(u"C:\\d")) << "a directory";
    winsim::FailCall("GetFileAttributesW", ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(FileExistsPlain(u"C:\\gone.sys"));
    // A link whose target is held open without sharing exists all the same.
    winsim::AddFileSymlink(u"C:\\link.txt", u"C:\\d\\f.txt");
    winsim::FailCall("CreateFileW", ERROR_SHARING_VIOLATION);
    EXPECT_TRUE(FileExistsPlain(u"C:\\link.txt"));
    winsim::FailCall("CreateFileW", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(FileExistsPlain(u"C:\\link.txt"));
}

}  // namespace
