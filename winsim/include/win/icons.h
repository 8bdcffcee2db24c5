// Icons and bitmaps: SHGetFileInfoW, LoadIconWithScaleDown, LoadImageW, DestroyIcon.
#pragma once

#include "win/types.h"

#define SHGFI_LARGEICON 0x000000000u
#define SHGFI_SMALLICON 0x000000001u
#define SHGFI_OPENICON 0x000000002u
#define SHGFI_SHELLICONSIZE 0x000000004u
#define SHGFI_USEFILEATTRIBUTES 0x000000010u
#define SHGFI_ICON 0x000000100u
#define SHGFI_DISPLAYNAME 0x000000200u
#define SHGFI_TYPENAME 0x000000400u
#define SHGFI_ATTRIBUTES 0x000000800u

#define IMAGE_BITMAP 0
#define IMAGE_ICON 1
#define IMAGE_CURSOR 2

#define LR_DEFAULTCOLOR 0x00000000u
#define LR_LOADFROMFILE 0x00000010u
#define LR_DEFAULTSIZE 0x00000040u
#define LR_SHARED 0x00008000u

#define IS_INTRESOURCE(r) ((reinterpret_cast<ULONG_PTR>(r) >> 16) == 0)

// Codes only the icon calls give (errors.h holds the common ones).
#ifndef ERROR_INVALID_CURSOR_HANDLE
#define ERROR_INVALID_CURSOR_HANDLE 1402L
#endif
#ifndef E_INVALIDARG
#define E_INVALIDARG (static_cast<HRESULT>(0x80070057L))
#endif

typedef struct _SHFILEINFOW {
    HICON hIcon;
    int iIcon;
    DWORD dwAttributes;
    WCHAR szDisplayName[MAX_PATH];
    WCHAR szTypeName[80];
} SHFILEINFOW;

extern "C" {
// Non-zero with SHGFI_ICON when the path names an existing entry; the icon in
// hIcon then belongs to the caller, who destroys it.
// COM on the calling thread, which the shell's calls need. A thread keeps
// the apartment its first initialisation chose: asking for the other one
// answers RPC_E_CHANGED_MODE (and counts nothing).
#define COINIT_MULTITHREADED 0x0u
#define COINIT_APARTMENTTHREADED 0x2u
#define COINIT_DISABLE_OLE1DDE 0x4u
HRESULT WINAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
void WINAPI CoUninitialize();
DWORD_PTR WINAPI SHGetFileInfoW(LPCWSTR pszPath, DWORD dwFileAttributes, SHFILEINFOW* psfi, UINT cbFileInfo,
                                UINT uFlags);
// Exported by comctl32.dll version 6 only: the plugin reaches it through
// GetProcAddress, never by an import.
HRESULT WINAPI LoadIconWithScaleDown(HINSTANCE hinst, LPCWSTR pszName, int cx, int cy, HICON* phico);
HANDLE WINAPI LoadImageW(HINSTANCE hInst, LPCWSTR name, UINT type, int cx, int cy, UINT fuLoad);
BOOL WINAPI DestroyIcon(HICON hIcon);
}
