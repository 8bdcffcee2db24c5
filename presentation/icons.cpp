#include "presentation/icons.h"

#include "plugin/dynamic_proc.h"
#include "plugin/host_interface.h"
#include "plugin/paths.h"
#include "plugin/plugin_state.h"
#include "plugin/redirection.h"

namespace {

// Indexed by the FS_ICONFLAG_SMALL bit: 0 large, 1 small.
constexpr int kIconEdge[2] = {32, 16};
constexpr UINT kShellIconSize[2] = {SHGFI_LARGEICON, SHGFI_SMALLICON};

constexpr const WCHAR* kStreamIconName = TEXT("FILESTREAM");

using LoadIconWithScaleDownFn = HRESULT WINAPI(HINSTANCE, LPCWSTR, int, int, HICON*);

DynamicProc<LoadIconWithScaleDownFn>& LoadIconWithScaleDownProc()
{
    // comctl32.dll exports it from version 6 on; an import would keep the
    // plugin from loading wherever an older comctl32.dll answers.
    static DynamicProc<LoadIconWithScaleDownFn> proc(TEXT("comctl32.dll"), "LoadIconWithScaleDown");
    return proc;
}

// Windows 6.0 or later. A version that cannot be read counts as older: the
// loader of older systems works on every system.
bool IsWindows6OrLater()
{
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExW(&version))
        return false;
    return version.dwMajorVersion >= 6;
}

UniqueIcon LoadImageIcon(const WCHAR* name, int edge)
{
    return UniqueIcon(static_cast<HICON>(
        LoadImageW(PluginState().Module, name, IMAGE_ICON, edge, edge, LR_DEFAULTCOLOR)));
}

int ExtractCustomIcon(const WCHAR* remoteName, int flags, HICON& theIcon)
{
    if (PluginState().Disabled)
        return FS_ICON_USEDEFAULT;
    // The host's first call comes from its main thread: answered at once,
    // without looking at the path, so that listing stays fast.
    if (!(flags & FS_ICONFLAG_BACKGROUND))
        return FS_ICON_DELAYED;
    const int small = (flags & FS_ICONFLAG_SMALL) ? 1 : 0;
    ResolvedStreamPath entry = ResolveStreamPath(FromHost(remoteName));

    UniqueIcon icon;
    if (entry.IsStream) {
        icon = LoadResourceIcon(kStreamIconName, kIconEdge[small]);
    } else {
        FileSystemRedirectionOff redirection;
        WString& path = entry.Path;
        if (path == TEXT(".."))
            return FS_ICON_USEDEFAULT;
        if (FileExistsLong(path) || path.size() == 2 || FileExistsPlain(path)) {
            // The shell reads a bare drive as its current directory.
            if (path.size() == 2 && path[1] == ':')
                path += '\\';
            icon = GetShellIcon(path, small != 0);
        }
    }
    if (!icon)
        return FS_ICON_USEDEFAULT;
    theIcon = icon.Release();  // the host destroys it
    return FS_ICON_EXTRACTED_DESTROY;
}

}  // namespace

UniqueIcon LoadResourceIcon(const WCHAR* name, int edge)
{
    if (!IsWindows6OrLater())
        return LoadImageIcon(name, edge);
    LoadIconWithScaleDownFn* loadIconWithScaleDown = LoadIconWithScaleDownProc().TryGet();
    // A process that loaded an older comctl32.dll lacks it even on Windows 6:
    // the older loader still gives the icon.
    if (!loadIconWithScaleDown)
        return LoadImageIcon(name, edge);
    HICON icon = nullptr;
    HRESULT result = loadIconWithScaleDown(PluginState().Module, name, edge, edge, &icon);
    UniqueIcon owner(icon);
    if (result != S_OK)
        return UniqueIcon();
    return owner;
}

UniqueIcon GetShellIcon(const WString& path, bool small)
{
    // The shell takes at most MAX_PATH characters and no long-path form: a
    // longer path gets the host's default icon.
    if (path.size() >= MAX_PATH)
        return UniqueIcon();
    SHFILEINFOW info{};
    FileSystemRedirectionBackOn shell;
    ComOnThisThread com;
    if (!com.Ready())
        return UniqueIcon();
    DWORD_PTR found = SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), SHGFI_ICON | kShellIconSize[small ? 1 : 0]);
    UniqueIcon icon(info.hIcon);
    if (!found)
        return UniqueIcon();
    return icon;
}

bool FileExistsPlain(const WString& plain)
{
    const WString path = PlainPathOrLong(plain);
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME)
            return false;
        // A locked entry (pagefile.sys answers ERROR_SHARING_VIOLATION): the
        // directory search still sees it.
        WIN32_FIND_DATAW data;
        UniqueFind search(FindFirstFileW(path.c_str(), &data));
        return search.Valid() && !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return false;  // a junction or a directory link
    // A link to a file: it exists when its target does (a target held open by
    // someone else exists too).
    UniqueFile target(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    return target.Valid() || GetLastError() == ERROR_SHARING_VIOLATION;
}

extern "C" int WINAPI FsExtractCustomIconW(WCHAR* RemoteName, int ExtractFlags, HICON* TheIcon)
{
    if (!TheIcon)
        return FS_ICON_USEDEFAULT;  // nowhere to put an icon: the host draws its own
    *TheIcon = nullptr;
    try {
        return ExtractCustomIcon(RemoteName, ExtractFlags, *TheIcon);
    } catch (...) {
        *TheIcon = nullptr;
        return FS_ICON_USEDEFAULT;
    }
}
