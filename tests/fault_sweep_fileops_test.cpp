// The fault sweep over the file operations, attributes and times, the refused
// rename, icons and preview. Each run checks, beside the result and the
// messages, that what a failure must not touch is still there: the file of
// a stream, the contents of whatever was not deleted, a junction's target.
#include "fault_sweep.h"
#include "fileops/attributes_times.h"
#include "fileops/delete_create_exports.h"
#include "presentation/icons.h"
#include "presentation/preview.h"
#include "transfer/rename.h"

namespace {

// A small tree: a file with a named stream, a read-only file, a hidden
// subdirectory with a file and a stream, and a junction leading out of the
// tree to a directory that a tree removal must leave alone.
void ArrangeTree()
{
    winsim::AddFile(u"C:\\d\\f.txt", "file contents");
    winsim::AddStream(u"C:\\d\\f.txt", u"s", "stream contents");
    winsim::AddFile(u"C:\\d\\ro.txt", "read-only contents", FILE_ATTRIBUTE_READONLY);
    winsim::AddFile(u"C:\\d\\sub\\g.txt", "g contents", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    winsim::AddStream(u"C:\\d\\sub\\g.txt", u"t", "t contents");
    winsim::SetAttributes(u"C:\\d\\sub", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
    winsim::AddFile(u"C:\\target\\keep.txt", "kept contents");
    winsim::AddJunction(u"C:\\d\\link", u"C:\\target");
    winsim::AddIconResource(u"FILESTREAM", {16, 32});
    FsInitW(7, HostProgress, HostLog, HostRequest);
}

// What a file still holds, if it is there: nothing is ever half-deleted or
// truncated by a failure.
std::string IntactOrGone(std::u16string_view path, std::string_view contents)
{
    auto actual = winsim::Contents(path);
    if (actual && *actual != contents)
        return U8(path) + " holds \"" + *actual + "\"";
    return {};
}

std::string TreeIntactOrGone()
{
    std::string s = IntactOrGone(u"C:\\d\\f.txt", "file contents") + IntactOrGone(u"C:\\d\\f.txt:s", "stream contents") +
                    IntactOrGone(u"C:\\d\\ro.txt", "read-only contents") +
                    IntactOrGone(u"C:\\d\\sub\\g.txt", "g contents") + IntactOrGone(u"C:\\d\\sub\\g.txt:t", "t contents");
    if (winsim::Contents(u"C:\\target\\keep.txt") != std::optional<std::string>("kept contents"))
        s += " the junction's target lost keep.txt";
    return s;
}

std::string Both(const std::string& a, const std::string& b)
{
    return a.empty() ? b : b.empty() ? a : a + "; " + b;
}

long long Call(BOOL (*fn)(WCHAR*), const char16_t* path)
{
    std::u16string p = path;
    return fn(p.data());
}

long long ExtractIcon(const char16_t* path, int flags)
{
    std::u16string p = path;
    HICON icon = reinterpret_cast<HICON>(static_cast<std::intptr_t>(0x1234));
    int r = FsExtractCustomIconW(p.data(), flags, &icon);
    // The host's side: an icon handed over with FS_ICON_EXTRACTED_DESTROY is
    // the host's to destroy; with any other result there is none.
    if (r == FS_ICON_EXTRACTED_DESTROY && icon)
        DestroyIcon(icon);
    else if (icon)
        return 100 + r;  // an icon with a result that does not hand it over
    else if (r == FS_ICON_EXTRACTED_DESTROY)
        return 200;  // FS_ICON_EXTRACTED_DESTROY without an icon
    return r;
}

std::vector<SweepScenario> FileOpsScenarios()
{
    auto tree = [](long long, const winsim::Call*) { return TreeIntactOrGone(); };
    return {
        {"FsDeleteFileW on a named stream", ArrangeTree,
         [] { return Call(FsDeleteFileW, u"\\C:\\d\\f.txt\\:s:$DATA"); }, {kTrue, kFalse}, 0,
         [](long long r, const winsim::Call*) {
             std::string s = TreeIntactOrGone();
             if (!winsim::Exists(u"C:\\d\\f.txt"))
                 s = Both(s, "deleting a stream took its file");
             if (r == kTrue && winsim::Exists(u"C:\\d\\f.txt:s"))
                 s = Both(s, "TRUE but the stream is still there");
             return s;
         }},
        {"FsDeleteFileW on the unnamed data stream", ArrangeTree,
         [] { return Call(FsDeleteFileW, u"\\C:\\d\\f.txt\\::$DATA"); }, {kTrue}, 0,
         [](long long, const winsim::Call*) {
             return winsim::Exists(u"C:\\d\\f.txt:s") && winsim::Exists(u"C:\\d\\f.txt") ? TreeIntactOrGone()
                                                                                          : "the file was deleted";
         }},
        {"FsDeleteFileW on a file", ArrangeTree, [] { return Call(FsDeleteFileW, u"\\C:\\d\\f.txt"); },
         {kTrue, kFalse}, 0,
         [](long long r, const winsim::Call*) {
             std::string s = TreeIntactOrGone();
             if ((r == kTrue) == winsim::Exists(u"C:\\d\\f.txt"))
                 s = Both(s, "the result does not tell whether the file is gone");
             return s;
         }},
        {"FsRemoveDirW on a tree with a junction, a read-only and a hidden entry", ArrangeTree,
         [] { return Call(FsRemoveDirW, u"\\C:\\d"); }, {kTrue, kFalse}, 0,
         [](long long r, const winsim::Call*) {
             std::string s = TreeIntactOrGone();
             if (r == kTrue && winsim::Exists(u"C:\\d"))
                 s = Both(s, "TRUE but the directory is still there");
             return s;
         }},
        {"FsRemoveDirW on a file with a stream", ArrangeTree, [] { return Call(FsRemoveDirW, u"\\C:\\d\\f.txt"); },
         {kTrue, kFalse}, 0, tree},
        {"FsRemoveDirW on a drive", ArrangeTree, [] { return Call(FsRemoveDirW, u"\\C:"); }, {kFalse}, 0,
         [](long long, const winsim::Call*) {
             return winsim::Exists(u"C:\\d\\f.txt") && winsim::Exists(u"C:\\d\\sub\\g.txt")
                        ? TreeIntactOrGone()
                        : "a drive entry emptied the volume";
         }},
        {"FsMkDirW with missing parents", ArrangeTree, [] { return Call(FsMkDirW, u"\\C:\\a\\b\\c"); },
         {kTrue, kFalse}, 0,
         [](long long r, const winsim::Call*) {
             if (r == kTrue && !winsim::Exists(u"C:\\a\\b\\c"))
                 return std::string("TRUE but no directory");
             return TreeIntactOrGone();
         }},
        {"FsMkDirW inside a file", ArrangeTree, [] { return Call(FsMkDirW, u"\\C:\\d\\f.txt\\new"); },
         {kFalse}, 1, tree},
        {"FsSetAttrW on a file", ArrangeTree,
         [] {
             std::u16string p = u"\\C:\\d\\f.txt";
             return static_cast<long long>(FsSetAttrW(p.data(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
         },
         {kTrue, kFalse, 1}, 0, tree},
        {"FsSetTimeW with all three times on a file", ArrangeTree,
         [] {
             std::u16string p = u"\\C:\\d\\f.txt";
             FILETIME t{0x12345678, 0x01D00000};
             FILETIME a = t, w = t;
             return static_cast<long long>(FsSetTimeW(p.data(), &t, &a, &w));
         },
         {kTrue, kFalse}, 0, tree},
        {"FsRenMovFileW of a stream", ArrangeTree,
         [] {
             std::u16string from = u"\\C:\\d\\f.txt\\:s:$DATA", to = u"\\C:\\d\\ro.txt\\:s:$DATA";
             RemoteInfoStruct ri{};
             return static_cast<long long>(FsRenMovFileW(from.data(), to.data(), TRUE, TRUE, &ri));
         },
         {FS_FILE_NOTSUPPORTED}, 1, tree},
        {"FsExtractCustomIconW on a stream", ArrangeTree,
         [] { return ExtractIcon(u"\\C:\\d\\f.txt\\:s:$DATA", FS_ICONFLAG_BACKGROUND | FS_ICONFLAG_SMALL); },
         {FS_ICON_USEDEFAULT, FS_ICON_EXTRACTED_DESTROY}, 0, tree},
        {"FsExtractCustomIconW on a file's unnamed data stream", ArrangeTree,
         [] { return ExtractIcon(u"\\C:\\d\\f.txt\\::$DATA", FS_ICONFLAG_BACKGROUND); },
         {FS_ICON_USEDEFAULT, FS_ICON_EXTRACTED_DESTROY}, 0, tree},
        {"FsExtractCustomIconW on a drive", ArrangeTree,
         [] { return ExtractIcon(u"\\C:", FS_ICONFLAG_BACKGROUND | FS_ICONFLAG_SMALL); },
         {FS_ICON_USEDEFAULT, FS_ICON_EXTRACTED_DESTROY}, 0, tree},
        {"FsExtractCustomIconW on a directory", ArrangeTree,
         [] { return ExtractIcon(u"\\C:\\d\\sub", FS_ICONFLAG_BACKGROUND); }, {FS_ICON_USEDEFAULT}, 0, tree},
        {"FsGetPreviewBitmapW on a stream", ArrangeTree,
         [] {
             WCHAR name[MAX_PATH] = u"\\C:\\d\\f.txt\\:s:$DATA";
             HBITMAP bitmap = nullptr;
             return static_cast<long long>(FsGetPreviewBitmapW(name, 64, 64, &bitmap));
         },
         {FS_BITMAP_EXTRACT_YOURSELF, FS_BITMAP_NONE}, 0, tree},
    };
}

TEST(FaultSweep, FileOperationsAttributesIconsAndPreview)
{
    ExpectSweepsClean(FileOpsScenarios());
}

}  // namespace
