// Icons: the plugin module's icon resources, the shell's icons for paths, and
// the icon handles they hand out. Every icon is tracked like a handle, so one
// that the caller never destroys shows in Leaks().
#include <winsim/winsim.h>

#include <algorithm>
#include <cstdlib>

#include "calls.h"
#include "handles.h"
#include "pathname.h"
#include "sim.h"

using namespace winsim::detail;

namespace {

struct IconObject : Object {
    winsim::IconInfo info;
    std::string Describe() const override
    {
        return "icon from " + info.loader + " (" + Narrow(info.origin) + ", " + std::to_string(info.width) + "x" +
               std::to_string(info.height) + ")";
    }
    const char* Closer() const override { return "DestroyIcon"; }
};

constexpr HRESULT HResultFromWin32(DWORD error)
{
    return static_cast<HRESULT>((error & 0xFFFF) | 0x80070000u);
}

HICON NewIcon(winsim::IconInfo info)
{
    auto object = std::make_shared<IconObject>();
    object->info = std::move(info);
    return reinterpret_cast<HICON>(Insert(object));
}

// The image edges of an icon group of the plugin module, or null with the
// error the resource loader gives.
const std::vector<int>* FindIconGroup(HINSTANCE module, LPCWSTR name, DWORD& error)
{
    if (module != winsim::PluginModule()) {
        error = ERROR_RESOURCE_TYPE_NOT_FOUND;  // the modelled system DLLs carry no icons
        return nullptr;
    }
    if (!name || IS_INTRESOURCE(name)) {
        error = ERROR_RESOURCE_NAME_NOT_FOUND;  // only named icons are modelled
        return nullptr;
    }
    const auto& resources = TheWorld().process.iconResources;
    auto it = resources.find(Upcase(ToU16(name)));
    if (it == resources.end() || it->second.empty()) {
        error = resources.empty() ? ERROR_RESOURCE_TYPE_NOT_FOUND : ERROR_RESOURCE_NAME_NOT_FOUND;
        return nullptr;
    }
    return &it->second;
}

// LoadIconWithScaleDown only scales down: it takes the smallest image at least
// as large as asked, and the largest image when none is.
int ImageForScaleDown(const std::vector<int>& edges, int cx)
{
    int best = 0, largest = 0;
    for (int e : edges) {
        largest = std::max(largest, e);
        if (e >= cx && (best == 0 || e < best))
            best = e;
    }
    return best ? best : largest;
}

// LoadImageW takes the image closest in size (an exact match when there is one).
int ImageForLoadImage(const std::vector<int>& edges, int cx)
{
    int best = edges.front();
    for (int e : edges)
        if (std::abs(e - cx) < std::abs(best - cx))
            best = e;
    return best;
}

}  // namespace

extern "C" HRESULT WINAPI LoadIconWithScaleDown(HINSTANCE hinst, LPCWSTR pszName, int cx, int cy, HICON* phico)
{
    WINSIM_ENTER("LoadIconWithScaleDown", IS_INTRESOURCE(pszName) ? u"" : ToU16(pszName), E_FAIL);
    if (!phico)
        return E_INVALIDARG;
    *phico = nullptr;
    if (cx <= 0 || cy <= 0)
        return E_INVALIDARG;
    DWORD error = 0;
    const std::vector<int>* edges = FindIconGroup(hinst, pszName, error);
    if (!edges)
        return HResultFromWin32(error);
    *phico = NewIcon({"LoadIconWithScaleDown", ToU16(pszName), cx, cy, ImageForScaleDown(*edges, cx)});
    return S_OK;
}

extern "C" HANDLE WINAPI LoadImageW(HINSTANCE hInst, LPCWSTR name, UINT type, int cx, int cy, UINT fuLoad)
{
    WINSIM_ENTER("LoadImageW", IS_INTRESOURCE(name) ? u"" : ToU16(name), nullptr);
    if (type != IMAGE_ICON)
        return Fail(ERROR_RESOURCE_TYPE_NOT_FOUND, HANDLE{});  // only icons are modelled
    if (fuLoad & LR_LOADFROMFILE)
        return Fail(ERROR_FILE_NOT_FOUND, HANDLE{});
    DWORD error = 0;
    const std::vector<int>* edges = FindIconGroup(hInst, name, error);
    if (!edges)
        return Fail(error, HANDLE{});
    // A zero size means the image's own size, or the system's icon size with
    // LR_DEFAULTSIZE.
    const int fallback = (fuLoad & LR_DEFAULTSIZE) ? 32 : edges->front();
    int w = cx > 0 ? cx : fallback;
    int h = cy > 0 ? cy : fallback;
    HICON icon = NewIcon({"LoadImageW", ToU16(name), w, h, ImageForLoadImage(*edges, w)});
    return reinterpret_cast<HANDLE>(icon);
}

extern "C" BOOL WINAPI DestroyIcon(HICON hIcon)
{
    WINSIM_ENTER("DestroyIcon", {}, FALSE);
    HANDLE h = reinterpret_cast<HANDLE>(hIcon);
    if (!LookupAs<IconObject>(h)) {
        NoteMisuse("DestroyIcon on a handle that is not an icon");
        return Fail(ERROR_INVALID_CURSOR_HANDLE, FALSE);
    }
    Remove(h);
    return TRUE;
}

namespace {
struct ComOnThread {
    int count = 0;
    DWORD apartment = 0;
};
ComOnThread& ThreadCom()
{
    thread_local ComOnThread com;
    return com;
}
}  // namespace

extern "C" HRESULT WINAPI CoInitializeEx(LPVOID, DWORD dwCoInit)
{
    WINSIM_ENTER("CoInitializeEx", {}, E_FAIL);
    ComOnThread& com = ThreadCom();
    const DWORD apartment = dwCoInit & COINIT_APARTMENTTHREADED;
    if (com.count > 0 && com.apartment != apartment)
        return RPC_E_CHANGED_MODE;
    com.apartment = apartment;
    return com.count++ == 0 ? S_OK : S_FALSE;
}

extern "C" void WINAPI CoUninitialize()
{
    WorldLock lock(WorldMutex());
    Enter("CoUninitialize");
    ComOnThread& com = ThreadCom();
    if (com.count == 0) {
        NoteMisuse("CoUninitialize without a CoInitializeEx that succeeded on the thread");
        return;
    }
    --com.count;
}

extern "C" DWORD_PTR WINAPI SHGetFileInfoW(LPCWSTR pszPath, DWORD, SHFILEINFOW* psfi, UINT, UINT uFlags)
{
    WINSIM_ENTER("SHGetFileInfoW", ToU16(pszPath), 0);
    // "You must initialize COM ... prior to calling SHGetFileInfo."
    if (ThreadCom().count == 0)
        NoteMisuse("SHGetFileInfoW on a thread without COM");
    if (!pszPath)
        return 0;
    if (psfi)
        psfi->hIcon = nullptr;
    // The shell parses the name itself: a path that does not fit MAX_PATH, a
    // stream and a missing entry have no icon (SHGFI_USEFILEATTRIBUTES, which
    // would skip the lookup, is not modelled).
    if (ToU16(pszPath).size() >= MAX_PATH || (uFlags & SHGFI_USEFILEATTRIBUTES))
        return 0;
    ResolvedPath r = Resolve(pszPath);
    if (r.error != 0 || !r.node || r.hasStream || r.volumeDevice)
        return 0;
    if (!(uFlags & SHGFI_ICON))
        return 1;
    if (!psfi)
        return 0;
    const int edge = (uFlags & SHGFI_SMALLICON) ? 16 : 32;
    psfi->hIcon = NewIcon({"SHGetFileInfoW", r.node->Path(r.volume->letter), edge, edge, 0});
    psfi->iIcon = 0;
    return 1;
}

namespace winsim {

void AddIconResource(std::u16string_view name, std::vector<int> edges)
{
    WorldLock lock(WorldMutex());
    TheWorld().process.iconResources[Upcase(name)] = std::move(edges);
}

std::optional<IconInfo> DescribeIcon(HICON icon)
{
    WorldLock lock(WorldMutex());
    auto object = LookupAs<IconObject>(reinterpret_cast<HANDLE>(icon));
    if (!object)
        return std::nullopt;
    return object->info;
}

}  // namespace winsim
