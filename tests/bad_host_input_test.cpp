// Whatever the host hands over: null pointers where it could pass them, odd
// buffer sizes, paths of 40,000 characters, lone UTF-16 surrogates, names of
// things that do not exist. No export may crash, write outside a buffer,
// leave anything open (the fixture checks) or touch data the call does not
// name. Runs plain and under the sanitizers.
#include <climits>

#include "fileops/attributes_times.h"
#include "fileops/delete_create_exports.h"
#include "fileops/execute.h"
#include "host_fixture.h"
#include "listing/listing.h"
#include "presentation/icons.h"
#include "presentation/content_exports.h"
#include "presentation/preview.h"
#include "transfer/rename.h"
#include "transfer/transfer_exports.h"

namespace {

// A buffer of n elements between guard elements that must survive a call.
template <typename T>
class Guarded {
public:
    static constexpr std::size_t kGuard = 16;
    static constexpr T kFill = static_cast<T>(0x5A);

    explicit Guarded(std::size_t n, std::basic_string_view<T> initial = {}) : n_(n), v_(n + 2 * kGuard, kFill)
    {
        for (std::size_t i = 0; i < initial.size() && i < n; ++i)
            v_[kGuard + i] = initial[i];
        if (initial.size() < n)
            v_[kGuard + initial.size()] = 0;
    }
    T* data() { return v_.data() + kGuard; }
    // The text written, up to its null or the buffer's end.
    std::basic_string<T> Text() const
    {
        std::basic_string<T> s;
        for (std::size_t i = 0; i < n_ && v_[kGuard + i] != 0; ++i)
            s += v_[kGuard + i];
        return s;
    }
    bool Intact() const
    {
        for (std::size_t i = 0; i < kGuard; ++i)
            if (v_[i] != kFill || v_[kGuard + n_ + i] != kFill)
                return false;
        return true;
    }

private:
    std::size_t n_;
    std::vector<T> v_;
};

// Paths the host could pass, and some it never should.
std::vector<std::u16string> HostilePaths()
{
    // Components of 200 characters, as deep as NTFS allows within 40,000.
    std::u16string deep = u"\\C:";
    while (deep.size() < 40000)
        deep += u"\\" + std::u16string(200, u'c');
    std::u16string longStream = u"\\C:\\d\\f.txt\\:" + std::u16string(40000, u's') + u":$DATA";
    std::u16string longName = u"\\C:\\d\\" + std::u16string(40000, u'n');
    return {
        u"",
        u"\\",
        u"\\\\",
        u":",
        u"\\:",
        u"\\::$DATA",
        u"\\C:",
        u"\\C:\\",
        u"\\Z:\\nothing\\here",
        u"\\C:\\d\\f.txt\\::",
        u"\\C:\\d\\f.txt\\:",
        u"\\C:\\d\\f.txt\\::$DATA\\",
        u"\\C:\\d\\f.txt\\:missing:$DATA",
        u"\\C:\\d\\f.txt\\..\\..\\..\\..",
        u"\\C:/d/f.txt",
        u"\\C:\\d\\*?<>|\"",
        u"\\\\?\\C:\\d",
        u"\\\\.\\C:",
        u"\\C:\\CON",
        deep,
        longStream,
        longName,
        deep + u"\\:s:$DATA",
        std::u16string(u"\\C:\\d\\") + char16_t(0xD800),
        std::u16string(u"\\C:\\") + char16_t(0xDC00) + u"\\f",
        std::u16string(u"\\C:\\d\\f.txt\\:") + char16_t(0xD800) + u":$DATA",
        std::u16string(u"\\C:\\d\\f.txt\\") + char16_t(0xDBFF) + char16_t(0xDBFF),
        std::u16string(1, char16_t(0xDFFF)),
    };
}

class BadHostInputTest : public PluginTest {
protected:
    void SetUp() override
    {
        PluginTest::SetUp();
        winsim::AddVolume(u'D');
        winsim::AddFile(u"C:\\d\\f.txt", "file");
        winsim::AddStream(u"C:\\d\\f.txt", u"s", "stream");
        winsim::AddFile(u"D:\\keep\\k.txt", "keep", FILE_ATTRIBUTE_READONLY);
        winsim::AddIconResource(u"FILESTREAM", {16, 32});
        ASSERT_EQ(InitPlugin(), 0);
    }

    // Nothing any hostile call names is on D:.
    void ExpectKeepUntouched(const std::u16string& path)
    {
        EXPECT_EQ(winsim::Contents(u"D:\\keep\\k.txt"), "keep") << Show(path);
        EXPECT_EQ(winsim::Attributes(u"D:\\keep\\k.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY)) << Show(path);
    }

    static std::string Show(const std::u16string& path)
    {
        return path.size() > 80 ? U8(path.substr(0, 40)) + "... (" + std::to_string(path.size()) + " characters)"
                                : U8(path);
    }
};

bool IsBool(long long r)
{
    return r == 0 || r == -1;
}

TEST_F(BadHostInputTest, PathExportsTakeAnyPath)
{
    for (const std::u16string& path : HostilePaths()) {
        SCOPED_TRACE(Show(path));
        struct Call {
            const char* name;
            std::function<long long(WCHAR*)> call;
            std::function<bool(long long)> allowed;
        };
        const Call calls[] = {
            {"FsDeleteFileW", [](WCHAR* p) { return FsDeleteFileW(p); }, IsBool},
            {"FsRemoveDirW", [](WCHAR* p) { return FsRemoveDirW(p); }, IsBool},
            {"FsMkDirW", [](WCHAR* p) { return FsMkDirW(p); }, IsBool},
            {"FsSetAttrW", [](WCHAR* p) { return FsSetAttrW(p, FILE_ATTRIBUTE_READONLY); },
             [](long long r) { return r == 0 || r == -1 || r == 1; }},
            {"FsSetAttrW with every bit", [](WCHAR* p) { return FsSetAttrW(p, -1); },
             [](long long r) { return r == 0 || r == -1 || r == 1; }},
            {"FsSetTimeW without times", [](WCHAR* p) { return FsSetTimeW(p, nullptr, nullptr, nullptr); }, IsBool},
            {"FsSetTimeW with extreme times",
             [](WCHAR* p) {
                 FILETIME huge{0xFFFFFFFF, 0xFFFFFFFF}, zero{0, 0};
                 return FsSetTimeW(p, &huge, &zero, &huge);
             },
             IsBool},
            {"FsRenMovFileW",
             [](WCHAR* p) {
                 std::u16string to = u"\\C:\\d\\g.txt";
                 return FsRenMovFileW(p, to.data(), TRUE, TRUE, nullptr);
             },
             [](long long r) { return r == FS_FILE_NOTSUPPORTED; }},
            {"FsExtractCustomIconW",
             [](WCHAR* p) {
                 long long worst = 0;
                 for (int flags : {0, 1, 2, 3, -1, 0x7FFFFFFC}) {
                     HICON icon = nullptr;
                     int r = FsExtractCustomIconW(p, flags, &icon);
                     if (icon && r != FS_ICON_EXTRACTED_DESTROY)
                         worst = 1000;  // an icon the host would not destroy
                     if (icon)
                         DestroyIcon(icon);
                     if (r != FS_ICON_USEDEFAULT && r != FS_ICON_EXTRACTED_DESTROY && r != FS_ICON_DELAYED)
                         worst = r;
                     if (FsExtractCustomIconW(p, flags, nullptr) != FS_ICON_USEDEFAULT)
                         worst = 2000;
                 }
                 return worst;
             },
             [](long long r) { return r == 0; }},
        };
        for (const auto& c : calls) {
            // The host's own copy of the path, which the export may not
            // write beyond.
            Guarded<WCHAR> buffer(path.size() + 1, path);
            long long r = c.call(buffer.data());
            EXPECT_TRUE(c.allowed(r)) << c.name << " gave " << r;
            EXPECT_TRUE(buffer.Intact()) << c.name << " wrote outside the host's path";
            ExpectKeepUntouched(path);
        }
        Host().messages.clear();
    }
    // Null where a path belongs.
    EXPECT_TRUE(IsBool(FsDeleteFileW(nullptr)));
    EXPECT_TRUE(IsBool(FsRemoveDirW(nullptr)));
    EXPECT_TRUE(IsBool(FsMkDirW(nullptr)));
    EXPECT_TRUE(IsBool(FsSetAttrW(nullptr, 0)));
    EXPECT_TRUE(IsBool(FsSetTimeW(nullptr, nullptr, nullptr, nullptr)));
    EXPECT_EQ(FsRenMovFileW(nullptr, nullptr, FALSE, FALSE, nullptr), FS_FILE_NOTSUPPORTED);
    HICON icon = nullptr;
    EXPECT_EQ(FsExtractCustomIconW(nullptr, FS_ICONFLAG_BACKGROUND, &icon), FS_ICON_USEDEFAULT);
    EXPECT_EQ(icon, nullptr);
}

TEST_F(BadHostInputTest, PreviewWritesNoFurtherThanTheHostsPath)
{
    for (const std::u16string& path : HostilePaths()) {
        SCOPED_TRACE(Show(path));
        for (int size : {0, -1, INT_MIN, 1, 100000}) {
            Guarded<WCHAR> buffer(path.size() + 1, path);
            HBITMAP bitmap = reinterpret_cast<HBITMAP>(static_cast<std::intptr_t>(0x77));
            int r = FsGetPreviewBitmapW(buffer.data(), size, size, &bitmap);
            EXPECT_TRUE(r == FS_BITMAP_NONE || r == FS_BITMAP_EXTRACT_YOURSELF) << r;
            EXPECT_EQ(bitmap, nullptr);
            EXPECT_TRUE(buffer.Intact()) << "written beyond the host's path";
            EXPECT_LE(buffer.Text().size(), path.size());
            Guarded<WCHAR> again(path.size() + 1, path);
            FsGetPreviewBitmapW(again.data(), size, size, nullptr);
            EXPECT_TRUE(again.Intact());
        }
    }
    EXPECT_EQ(FsGetPreviewBitmapW(nullptr, 32, 32, nullptr), FS_BITMAP_NONE);
    EXPECT_EQ(FsGetPreviewBitmap(nullptr, 32, 32, nullptr), FS_BITMAP_NONE);
}

TEST_F(BadHostInputTest, TransfersTakeAnyNames)
{
    winsim::AddFile(u"D:\\in\\up.txt", "upload");
    winsim::AddFile(std::u16string(u"D:\\in\\") + char16_t(0xD800) + u".txt", "lone");
    const std::vector<std::u16string> locals = {
        u"D:\\in\\up.txt", std::u16string(u"D:\\in\\") + char16_t(0xD800) + u".txt", u"", u"D:\\in\\missing",
        u"D:\\" + std::u16string(40000, u'l'), u"D:\\in\\up.txt:s:$DATA", u"D:\\in\\",
    };
    for (const std::u16string& remote : HostilePaths()) {
        SCOPED_TRACE(Show(remote));
        for (const std::u16string& local : locals) {
            for (int flags : {0, int{FS_COPYFLAGS_OVERWRITE}, FS_COPYFLAGS_MOVE | FS_COPYFLAGS_OVERWRITE, -1}) {
                // Download: the host's LocalName holds 1,023 characters.
                std::u16string r = remote;
                Guarded<WCHAR> localName(1023, WStringView(local).substr(0, 1022));
                RemoteInfoStruct ri{};
                int got = FsGetFileW(r.data(), localName.data(), flags, flags < 0 ? nullptr : &ri);
                EXPECT_TRUE(got >= FS_FILE_OK && got <= FS_FILE_NOTSUPPORTED) << "FsGetFileW gave " << got;
                EXPECT_TRUE(localName.Intact()) << "FsGetFileW wrote beyond LocalName";

                // Upload: the host's RemoteName holds 260 characters, or the
                // whole path where it is longer.
                std::u16string l = local;
                Guarded<WCHAR> remoteName(std::max<std::size_t>(260, remote.size() + 1), remote);
                int put = FsPutFileW(l.data(), remoteName.data(), flags);
                EXPECT_TRUE(put >= FS_FILE_OK && put <= FS_FILE_NOTSUPPORTED) << "FsPutFileW gave " << put;
                EXPECT_TRUE(remoteName.Intact()) << "FsPutFileW wrote beyond RemoteName";
                ExpectKeepUntouched(remote);
                Host().messages.clear();
            }
        }
    }
    std::u16string r = u"\\C:\\d\\f.txt\\:s:$DATA";
    EXPECT_EQ(FsGetFileW(r.data(), nullptr, 0, nullptr), FS_FILE_READERROR);
    EXPECT_EQ(FsGetFileW(nullptr, nullptr, 0, nullptr), FS_FILE_READERROR);
    EXPECT_EQ(FsPutFileW(nullptr, r.data(), 0), FS_FILE_READERROR);
    std::u16string l = u"D:\\in\\up.txt";
    EXPECT_EQ(FsPutFileW(l.data(), nullptr, 0), FS_FILE_READERROR);
    EXPECT_EQ(winsim::Contents(u"C:\\d\\f.txt:s"), "stream");
}

TEST_F(BadHostInputTest, BufferSizesTheHostChooses)
{
    const std::string root = "NTFS - Tarnwick";
    for (int maxlen : {INT_MIN, -2, -1, 0, 1, 2, 3, 4, 5, 15, 16, 17, 1000}) {
        SCOPED_TRACE(maxlen);
        const std::size_t n = maxlen > 0 ? static_cast<std::size_t>(maxlen) : 0;
        Guarded<char> buffer(n);
        FsGetDefRootName(buffer.data(), maxlen);
        EXPECT_TRUE(buffer.Intact()) << "written outside a buffer of " << maxlen;
        if (maxlen >= 1) {
            EXPECT_EQ(buffer.Text(), root.substr(0, n - 1));
        }
        FsGetDefRootName(nullptr, maxlen < 1 ? maxlen : 0);
    }
    FsSetDefaultParams(nullptr);
    FsDefaultParamStruct params{};
    params.size = -1;
    FsSetDefaultParams(&params);
}

TEST_F(BadHostInputTest, ContentColumnsTakeAnyNameIndexAndSize)
{
    const int maxlens[] = {INT_MIN, -1, 0, 1, 2, 3, 4, 5, 8, 9, 100};
    const int known[] = {ft_fieldempty, ft_fileerror, ft_nosuchfield, ft_nomorefields, ft_numeric_32, ft_boolean,
                         ft_string,     ft_stringw,   ft_numeric_64,  ft_multiplechoice};
    auto isKnown = [&](int r) { return std::find(std::begin(known), std::end(known), r) != std::end(known); };
    for (int field : {INT_MIN, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 1000, INT_MAX}) {
        for (int maxlen : maxlens) {
            const std::size_t n = maxlen > 0 ? static_cast<std::size_t>(maxlen) : 0;
            Guarded<char> name(n), units(n);
            int r = FsContentGetSupportedField(field, name.data(), units.data(), maxlen);
            EXPECT_TRUE(isKnown(r)) << field << " gave " << r;
            EXPECT_TRUE(name.Intact() && units.Intact()) << "field " << field << ", maxlen " << maxlen;
            FsContentGetSupportedField(field, nullptr, nullptr, maxlen);
            FsContentGetDefaultSortOrder(field);
        }
    }
    for (const std::u16string& path : HostilePaths()) {
        SCOPED_TRACE(Show(path));
        for (int field : {-1, 0, 1, 2, 3, 4, 5}) {
            for (int maxlen : maxlens) {
                const std::size_t n = maxlen > 0 ? static_cast<std::size_t>(maxlen) : 0;
                Guarded<unsigned char> value(n);
                std::u16string p = path;
                int r = FsContentGetValueW(p.data(), field, field, value.data(), maxlen, CONTENT_DELAYIFSLOW);
                EXPECT_TRUE(isKnown(r)) << "field " << field << " gave " << r;
                EXPECT_TRUE(value.Intact()) << "field " << field << ", maxlen " << maxlen;
                p = path;
                FsContentGetValueW(p.data(), field, -1, nullptr, maxlen, 0);
            }
        }
        std::string narrow(path.begin(), path.end());  // code units cut to bytes, as a host's ANSI call
        Guarded<unsigned char> value(16);
        int r = FsContentGetValue(narrow.data(), 1, 0, value.data(), 16, 0);
        EXPECT_TRUE(isKnown(r)) << r;
        EXPECT_TRUE(value.Intact());
    }
    EXPECT_TRUE(isKnown(FsContentGetValueW(nullptr, 0, 0, nullptr, 0, 0)));
    for (int maxlen : maxlens) {
        const std::size_t n = maxlen > 0 ? static_cast<std::size_t>(maxlen) / 2 : 0;
        Guarded<WCHAR> a(n), b(n), c(n), d(n);
        FsContentGetDefaultViewW(a.data(), b.data(), c.data(), d.data(), maxlen);
        EXPECT_TRUE(a.Intact() && b.Intact() && c.Intact() && d.Intact()) << "maxlen " << maxlen;
        Guarded<char> e(n), f(n), g(n), h(n);
        FsContentGetDefaultView(e.data(), f.data(), g.data(), h.data(), maxlen);
        EXPECT_TRUE(e.Intact() && f.Intact() && g.Intact() && h.Intact()) << "maxlen " << maxlen;
    }
    FsContentGetDefaultViewW(nullptr, nullptr, nullptr, nullptr, 100);
}

TEST_F(BadHostInputTest, ExecuteTakesAnyNameAndVerb)
{
    std::u16string longVerb = u"quote mkdir " + std::u16string(40000, u'v');
    const std::vector<std::u16string> verbs = {
        u"open", u"OPEN", u"properties", u"chmod 777", u"chmod", u"quote", u"quote ", u"quote del", u"quote del ",
        u"quote rmdir \\", u"quote del \"", u"quote mkdir", u"quote mkdir \"\"", u"", u" ", u"\\x",
        std::u16string(u"quote del ") + char16_t(0xD800), std::u16string(1, char16_t(0xDC00)), longVerb,
    };
    for (const std::u16string& path : HostilePaths()) {
        if (path == u"\\")
            continue;  // the root's properties are the settings dialog, a test of its own
        SCOPED_TRACE(Show(path));
        for (const std::u16string& verb : verbs) {
            Guarded<WCHAR> name(path.size() + 1, path);
            Guarded<WCHAR> v(verb.size() + 1, verb);
            int r = FsExecuteFileW(nullptr, name.data(), v.data());
            EXPECT_TRUE(r == FS_EXEC_OK || r == FS_EXEC_ERROR || r == FS_EXEC_YOURSELF || r == FS_EXEC_SYMLINK)
                << U8(verb.substr(0, 40)) << " gave " << r;
            EXPECT_TRUE(name.Intact() && v.Intact()) << U8(verb.substr(0, 40));
            ExpectKeepUntouched(path);
            EXPECT_LE(Host().messages.size(), 1u) << U8(verb.substr(0, 40));
            Host().messages.clear();
        }
        std::u16string p = path;
        EXPECT_EQ(FsExecuteFileW(nullptr, p.data(), nullptr), FS_EXEC_ERROR);
    }
    std::u16string open = u"open";
    int r = FsExecuteFileW(nullptr, nullptr, open.data());
    EXPECT_TRUE(r == FS_EXEC_OK || r == FS_EXEC_ERROR);
    EXPECT_TRUE(winsim::Exists(u"C:\\d\\f.txt"));
}

TEST_F(BadHostInputTest, ListingTakesAnyPathAndAnyHandle)
{
    for (const std::u16string& path : HostilePaths()) {
        SCOPED_TRACE(Show(path));
        Guarded<WCHAR> name(path.size() + 1, path);
        Guarded<unsigned char> record(sizeof(WIN32_FIND_DATAW));
        auto* data = reinterpret_cast<WIN32_FIND_DATAW*>(record.data());
        HANDLE h = FsFindFirstW(name.data(), data);
        EXPECT_TRUE(name.Intact() && record.Intact());
        int entries = 0;
        if (h != INVALID_HANDLE_VALUE) {
            while (entries < 100000 && FsFindNextW(h, data))
                ++entries;
            EXPECT_TRUE(record.Intact());
            EXPECT_EQ(FsFindClose(h), 0);
            // Closed: the handle is the host's no more.
            EXPECT_EQ(FsFindNextW(h, data), FALSE);
            EXPECT_EQ(FsFindClose(h), 0);
        }
        EXPECT_LT(entries, 100000);
        std::u16string p = path;
        EXPECT_EQ(FsFindFirstW(p.data(), nullptr), INVALID_HANDLE_VALUE);
    }
    WIN32_FIND_DATAW data{};
    // No path at all: nothing, or the root, whose listing the host closes.
    if (HANDLE root = FsFindFirstW(nullptr, &data); root != INVALID_HANDLE_VALUE)
        EXPECT_EQ(FsFindClose(root), 0);
    // Handles the plugin never returned.
    for (std::intptr_t bad : {std::intptr_t{0}, std::intptr_t{-1}, std::intptr_t{1}, std::intptr_t{0x1234},
                              std::intptr_t{0x7FFFFFFF}, reinterpret_cast<std::intptr_t>(&data)}) {
        HANDLE h = reinterpret_cast<HANDLE>(bad);
        EXPECT_EQ(FsFindNextW(h, &data), FALSE) << bad;
        EXPECT_EQ(FsFindNextW(h, nullptr), FALSE) << bad;
        EXPECT_EQ(FsFindClose(h), 0) << bad;
    }
    // A handle still open, asked with a null record, keeps working.
    std::u16string d = u"\\C:\\d";
    HANDLE h = FsFindFirstW(d.data(), &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(FsFindNextW(h, nullptr), FALSE);
    while (FsFindNextW(h, &data)) {
    }
    EXPECT_EQ(FsFindClose(h), 0);
}

TEST_F(BadHostInputTest, TheAnsiEntryPointsTakeAnything)
{
    char path[] = "\\C:\\d";
    WIN32_FIND_DATAA data{};
    EXPECT_EQ(FsInit(1, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(FsFindFirst(nullptr, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(FsFindFirst(path, &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(FsFindNext(nullptr, nullptr), FALSE);
    EXPECT_EQ(FsFindNext(INVALID_HANDLE_VALUE, &data), FALSE);
    EXPECT_EQ(FsFindNext(reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(0xBAD)), &data), FALSE);
}

TEST_F(BadHostInputTest, NullCallbacksAreNeverCalled)
{
    // A host that hands over no callbacks: messages and progress go nowhere,
    // and the operations still finish.
    ASSERT_EQ(FsInitW(3, nullptr, nullptr, nullptr), 0);
    std::u16string inFile = u"\\C:\\d\\f.txt\\new";
    EXPECT_EQ(FsMkDirW(inFile.data()), FALSE);
    std::u16string from = u"\\C:\\d\\f.txt\\:s:$DATA", to = u"\\C:\\d\\x";
    EXPECT_EQ(FsRenMovFileW(from.data(), to.data(), TRUE, FALSE, nullptr), FS_FILE_NOTSUPPORTED);
    winsim::AddDirectory(u"D:\\out");
    Guarded<WCHAR> local(1023, u"D:\\out\\x");
    EXPECT_EQ(FsGetFileW(from.data(), local.data(), FS_COPYFLAGS_MOVE, nullptr), FS_FILE_OK);
    EXPECT_EQ(winsim::Contents(u"D:\\out\\s"), "stream");
    std::u16string missing = u"\\C:\\d\\f.txt\\:gone:$DATA";
    EXPECT_EQ(FsGetFileW(missing.data(), local.data(), 0, nullptr), FS_FILE_READERROR);  // the message goes nowhere
    EXPECT_TRUE(local.Intact());
    EXPECT_TRUE(Host().messages.empty());
}

}  // namespace
