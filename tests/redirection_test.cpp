// The 32-bit plugin on 64-bit Windows: every file call of the process would go
// to SysWOW64 where the user sees System32. Each export acts on the folder the
// user sees, and leaves the redirector on again however it ends.
#include "fileops/attributes_times.h"
#include "fileops/delete_create_exports.h"
#include "host_fixture.h"
#include "listing/listing.h"
#include "presentation/content_exports.h"
#include "presentation/icons.h"
#include "transfer/transfer_exports.h"

namespace {

class RedirectionTest : public PluginTest {
protected:
    void SetUp() override
    {
        PluginTest::SetUp();
        winsim::AddVolume(u'D');
        winsim::AddDirectory(u"D:\\out");
        winsim::AddFile(u"C:\\Windows\\System32\\real.txt", "64-bit folder");
        winsim::AddStream(u"C:\\Windows\\System32\\real.txt", u"s", "stream");
        winsim::AddFile(u"C:\\Windows\\SysWOW64\\real.txt", "32-bit folder");
        winsim::AddFile(u"C:\\Windows\\SysWOW64\\wow.txt", "only in SysWOW64");
        winsim::AddFile(u"D:\\in.txt", "copied in");
        winsim::SetWow64(true);
        ASSERT_EQ(InitPlugin(), 0);
    }
};

TEST_F(RedirectionTest, EveryExportSeesTheFolderTheUserSees)
{
    std::vector<std::u16string> listed;
    std::u16string folder = u"\\C:\\Windows\\System32";
    WIN32_FIND_DATAW data{};
    HANDLE h = FsFindFirstW(folder.data(), &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    do
        listed.emplace_back(data.cFileName);
    while (FsFindNextW(h, &data));
    FsFindClose(h);
    EXPECT_FALSE(winsim::RedirectionDisabled());
    EXPECT_NE(std::find(listed.begin(), listed.end(), u"real.txt"), listed.end());
    EXPECT_EQ(std::find(listed.begin(), listed.end(), u"wow.txt"), listed.end()) << "SysWOW64 was listed";

    struct Row {
        const char* what;
        std::function<long long()> call;
        std::function<bool()> done;
    };
    const Row rows[] = {
        {"copy out",
         [] {
             std::u16string r = u"\\C:\\Windows\\System32\\real.txt\\::$DATA";
             std::vector<WCHAR> l(1023, 0);
             std::u16string local = u"D:\\out\\x";
             std::copy(local.begin(), local.end(), l.begin());
             return static_cast<long long>(FsGetFileW(r.data(), l.data(), 0, nullptr));
         },
         [] { return winsim::Contents(u"D:\\out\\real.txt") == "64-bit folder"; }},
        {"copy in",
         [] {
             std::u16string l = u"D:\\in.txt";
             std::vector<WCHAR> r(260, 0);
             std::u16string remote = u"\\C:\\Windows\\System32\\in.txt";
             std::copy(remote.begin(), remote.end(), r.begin());
             return static_cast<long long>(FsPutFileW(l.data(), r.data(), 0));
         },
         [] { return winsim::Exists(u"C:\\Windows\\System32\\in.txt") && !winsim::Exists(u"C:\\Windows\\SysWOW64\\in.txt"); }},
        {"attributes",
         [] {
             std::u16string p = u"\\C:\\Windows\\System32\\real.txt";
             return static_cast<long long>(FsSetAttrW(p.data(), FILE_ATTRIBUTE_HIDDEN));
         },
         [] { return (winsim::Attributes(u"C:\\Windows\\System32\\real.txt") & FILE_ATTRIBUTE_HIDDEN) != 0; }},
        {"the Type column",
         [] {
             std::u16string p = u"\\C:\\Windows\\System32\\in.txt";
             WCHAR v[64] = {};
             int type = FsContentGetValueW(p.data(), 4, 0, v, sizeof v, 0);
             return static_cast<long long>(type == ft_stringw && std::u16string(v) == u"txt" ? 1 : 0);
         },
         [] { return true; }},
        {"an icon",
         [] {
             std::u16string p = u"\\C:\\Windows\\System32\\in.txt";
             HICON icon = nullptr;
             int r = FsExtractCustomIconW(p.data(), FS_ICONFLAG_BACKGROUND, &icon);
             if (icon)
                 DestroyIcon(icon);
             return static_cast<long long>(r);
         },
         [] { return true; }},
        {"delete a stream",
         [] {
             std::u16string p = u"\\C:\\Windows\\System32\\real.txt\\:s:$DATA";
             return static_cast<long long>(FsDeleteFileW(p.data()));
         },
         [] { return !winsim::Exists(u"C:\\Windows\\System32\\real.txt:s"); }},
        {"make a directory",
         [] {
             std::u16string p = u"\\C:\\Windows\\System32\\made";
             return static_cast<long long>(FsMkDirW(p.data()));
         },
         [] { return winsim::Exists(u"C:\\Windows\\System32\\made") && !winsim::Exists(u"C:\\Windows\\SysWOW64\\made"); }},
        {"remove the file",
         [] {
             std::u16string p = u"\\C:\\Windows\\System32\\in.txt";
             return static_cast<long long>(FsRemoveDirW(p.data()));
         },
         [] { return !winsim::Exists(u"C:\\Windows\\System32\\in.txt"); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        long long r = row.call();
        EXPECT_TRUE(row.done()) << "result " << r;
        EXPECT_FALSE(winsim::RedirectionDisabled()) << "the redirector is left off";
    }
    EXPECT_EQ(winsim::Contents(u"C:\\Windows\\SysWOW64\\real.txt"), "32-bit folder");
    // A failure inside puts it back too.
    winsim::FailAlways("CreateFileW", ERROR_ACCESS_DENIED);
    std::u16string r = u"\\C:\\Windows\\System32\\real.txt\\::$DATA";
    std::vector<WCHAR> l(1023, 0);
    EXPECT_NE(FsGetFileW(r.data(), l.data(), FS_COPYFLAGS_OVERWRITE, nullptr), FS_FILE_OK);
    EXPECT_FALSE(winsim::RedirectionDisabled());
}

}  // namespace
