// The shell namespace, as far as the plugin parses names with it: the desktop
// folder parses a file-system path into an item list, and the item list gives
// the path back in its long form.
#include <shlobj.h>

#include <algorithm>

#include "calls.h"
#include "handles.h"
#include "pathname.h"
#include "sim.h"

using namespace winsim::detail;

struct _ITEMIDLIST {
    std::u16string path;
};

namespace {

struct ShellAllocation : Object {
    std::string Describe() const override { return "item list from the shell (release with CoTaskMemFree)"; }
    const char* Closer() const override { return "CoTaskMemFree"; }
};

constexpr LONG kFileNotFound = static_cast<LONG>(0x80070002);  // HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)

// Item lists are tracked like handles so that one never freed shows as a leak.
std::map<const ITEMIDLIST*, HANDLE>& Lists()
{
    static std::map<const ITEMIDLIST*, HANDLE> lists;
    return lists;
}

class DesktopFolder : public IShellFolder {
public:
    HRESULT WINAPI ParseDisplayName(HWND, IBindCtx*, LPWSTR name, ULONG* eaten, PIDLIST_RELATIVE* pidl,
                                    ULONG*) override
    {
        WINSIM_ENTER("IShellFolder::ParseDisplayName", ToU16(name), E_FAIL);
        if (!pidl)
            return E_FAIL;
        *pidl = nullptr;
        ResolvedPath r = Resolve(name);
        if (r.error != 0 || !r.node || r.hasStream)
            return kFileNotFound;
        auto* list = new ITEMIDLIST{r.node->Path(r.volume->letter)};
        Lists()[list] = Insert(std::make_shared<ShellAllocation>());
        if (eaten)
            *eaten = static_cast<ULONG>(ToU16(name).size());
        *pidl = list;
        return S_OK;
    }

    ULONG WINAPI Release() override
    {
        delete this;
        return 0;
    }
};

}  // namespace

extern "C" HRESULT WINAPI SHGetDesktopFolder(IShellFolder** ppshf)
{
    WINSIM_ENTER("SHGetDesktopFolder", {}, E_FAIL);
    if (!ppshf)
        return E_FAIL;
    *ppshf = new DesktopFolder;
    return S_OK;
}

extern "C" BOOL WINAPI SHGetPathFromIDListW(PCIDLIST_ABSOLUTE pidl, LPWSTR pszPath)
{
    WINSIM_ENTER("SHGetPathFromIDListW", {}, FALSE);
    if (!pidl || !pszPath || !Lists().count(pidl))
        return FALSE;
    // The buffer is MAX_PATH characters; a longer path does not fit.
    if (pidl->path.size() >= MAX_PATH) {
        pszPath[0] = 0;
        return FALSE;
    }
    std::copy(pidl->path.begin(), pidl->path.end(), pszPath);
    pszPath[pidl->path.size()] = 0;
    return TRUE;
}

extern "C" void WINAPI CoTaskMemFree(LPVOID pv)
{
    WorldLock lock(WorldMutex());
    Enter("CoTaskMemFree");
    if (!pv)
        return;
    auto* list = static_cast<ITEMIDLIST*>(pv);
    auto it = Lists().find(list);
    if (it == Lists().end()) {
        NoteMisuse("CoTaskMemFree of memory the shell did not hand out");
        return;
    }
    Remove(it->second);
    Lists().erase(it);
    delete list;
}
