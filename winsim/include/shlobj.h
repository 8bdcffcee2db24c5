// winsim's <shlobj.h>: the shell namespace calls the plugin makes. Only the
// members the plugin calls are declared; their signatures match the SDK's.
#pragma once

#include <windows.h>

typedef struct _ITEMIDLIST ITEMIDLIST;
typedef ITEMIDLIST* LPITEMIDLIST;
typedef const ITEMIDLIST* LPCITEMIDLIST;
typedef ITEMIDLIST* PIDLIST_RELATIVE;
typedef const ITEMIDLIST* PCIDLIST_ABSOLUTE;
struct IBindCtx;

struct IShellFolder {
    virtual HRESULT WINAPI ParseDisplayName(HWND hwnd, IBindCtx* pbc, LPWSTR pszDisplayName, ULONG* pchEaten,
                                            PIDLIST_RELATIVE* ppidl, ULONG* pdwAttributes) = 0;
    virtual ULONG WINAPI Release() = 0;

protected:
    virtual ~IShellFolder() = default;
};

extern "C" {
HRESULT WINAPI SHGetDesktopFolder(IShellFolder** ppshf);
BOOL WINAPI SHGetPathFromIDListW(PCIDLIST_ABSOLUTE pidl, LPWSTR pszPath);
void WINAPI CoTaskMemFree(LPVOID pv);
}
