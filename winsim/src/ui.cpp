// A modal dialog manager without a screen. DialogBoxParamW makes a dialog
// window, sends WM_INITDIALOG to the procedure, lets the test's script act as
// the user (typing, ticking, pressing buttons, the close box), and returns what
// EndDialog was given. Controls come into being when the dialog procedure
// first names them; their texts and check states are kept as Windows keeps
// them. MessageBoxW and GetOpenFileNameW record what they were asked and
// answer as the test configured.
#include <winsim/winsim.h>

#include <algorithm>
#include <map>

#include "calls.h"
#include "handles.h"
#include "pathname.h"
#include "sim.h"
#include "ui.h"

using namespace winsim::detail;

namespace {

struct Window {
    HWND parent = nullptr;  // the owner of a dialog, the dialog of a control
    int id = 0;
    std::u16string text;
    UINT check = BST_UNCHECKED;
    LONG style = 0;
    LONG exStyle = 0;
    RECT rect{};
    std::map<int, LONG_PTR> longs;
    HFONT font = nullptr;
    // Dialogs only.
    DLGPROC proc = nullptr;
    bool ended = false;
    INT_PTR result = 0;
    std::map<int, HWND> controls;
};

struct FontObject : Object {
    std::string Describe() const override { return "font from CreateFontW"; }
    const char* Closer() const override { return "DeleteObject"; }
};

struct Template {
    std::u16string caption;
    std::vector<winsim::DialogControl> controls;
};

struct UiState {
    std::map<int, Template> templates;
    std::map<HWND, Window> windows;
    std::uintptr_t nextWindow = 0x20000;
    int dpi = 96;
    std::function<void(HWND)> script;
    std::vector<winsim::DialogRecord> dialogs;
    std::vector<winsim::MessageBoxRecord> messageBoxes;
    std::vector<winsim::OpenFileRecord> openFileDialogs;
    std::optional<std::u16string> openFileAnswer;
    DWORD commDlgError = 0;
};

UiState& Ui()
{
    static UiState state;
    return state;
}

constexpr RECT kScreen{0, 0, 1920, 1080};
constexpr RECT kWorkArea{0, 0, 1920, 1040};  // a task bar at the bottom
const HMONITOR kMonitor = reinterpret_cast<HMONITOR>(static_cast<std::uintptr_t>(0x10001));
const HDC kScreenDc = reinterpret_cast<HDC>(static_cast<std::uintptr_t>(0x10002));

HWND NewWindow(Window w)
{
    auto h = reinterpret_cast<HWND>(Ui().nextWindow);
    Ui().nextWindow += 0x10;
    Ui().windows[h] = std::move(w);
    return h;
}

Window* Find(HWND h)
{
    auto it = Ui().windows.find(h);
    return it == Ui().windows.end() ? nullptr : &it->second;
}

HWND MainWindowHandle()
{
    for (auto& [h, w] : Ui().windows)
        if (w.id == -1)
            return h;
    Window main;
    main.id = -1;
    main.text = u"File Manager";
    main.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | WS_THICKFRAME;
    main.rect = {100, 50, 1300, 950};
    return NewWindow(main);
}

// A control of a dialog, null (ERROR_CONTROL_ID_NOT_FOUND) when its template
// has none of that identifier.
HWND Control(HWND dialog, int id)
{
    Window* d = Find(dialog);
    if (!d || !d->proc)
        return Fail(ERROR_INVALID_WINDOW_HANDLE, HWND{});
    auto it = d->controls.find(id);
    if (it == d->controls.end())
        return Fail(ERROR_CONTROL_ID_NOT_FOUND, HWND{});
    return it->second;
}

INT_PTR Deliver(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window* d = Find(dialog);
    if (!d || d->ended)
        return FALSE;
    DLGPROC proc = d->proc;
    return proc(dialog, message, wParam, lParam);
}

HWND ScriptDialog(HWND dialog)
{
    Window* d = Find(dialog);
    if (!d || !d->proc)
        throw std::logic_error("winsim: not a dialog that is shown");
    return dialog;
}

// A control that a script names must exist.
Window& ScriptControl(HWND dialog, int id)
{
    HWND c = Control(ScriptDialog(dialog), id);
    if (!c)
        throw std::logic_error("winsim: the dialog has no control " + std::to_string(id));
    return *Find(c);
}

}  // namespace

namespace winsim::detail {

void ResetWindows()
{
    Ui() = UiState{};
}

}  // namespace winsim::detail

// ---------------------------------------------------------------- dialogs

extern "C" INT_PTR WINAPI DialogBoxParamW(HINSTANCE, LPCWSTR lpTemplateName, HWND hWndParent,
                                          DLGPROC lpDialogFunc, LPARAM dwInitParam)
{
    std::function<void(HWND)> script;
    HWND dialog;
    {
        WINSIM_ENTER("DialogBoxParamW", {}, INT_PTR{-1});
        if (!lpDialogFunc)
            return Fail(ERROR_INVALID_PARAMETER, INT_PTR{-1});
        if (hWndParent && !Find(hWndParent))
            return Fail(ERROR_INVALID_WINDOW_HANDLE, INT_PTR{-1});
        auto templateId = reinterpret_cast<std::uintptr_t>(lpTemplateName);
        auto found = Ui().templates.find(static_cast<int>(templateId));
        if (templateId > 0xFFFF || found == Ui().templates.end())
            return Fail(ERROR_RESOURCE_NAME_NOT_FOUND, INT_PTR{-1});
        Window w;
        w.parent = hWndParent;
        w.proc = lpDialogFunc;
        w.id = static_cast<int>(templateId);
        w.text = found->second.caption;
        w.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | WS_VISIBLE;
        w.exStyle = WS_EX_DLGMODALFRAME;
        dialog = NewWindow(w);
        for (const auto& control : found->second.controls) {
            Window c;
            c.parent = dialog;
            c.id = control.id;
            c.text = control.text;
            c.style = WS_CHILD | WS_VISIBLE;
            HWND h = NewWindow(c);
            Find(dialog)->controls[control.id] = h;
        }
        script = Ui().script;
    }
    // The dialog procedure and the script run outside the world's lock, as the
    // user's input arrives on the host's thread while the modal loop runs.
    Deliver(dialog, WM_INITDIALOG, 0, dwInitParam);
    if (script && !Find(dialog)->ended)
        script(dialog);
    if (!Find(dialog)->ended)
        winsim::PressCloseBox(dialog);
    Window* d = Find(dialog);
    if (!d->ended) {
        // The procedure ignored the close box too: Windows would keep the
        // dialog open for ever; the test cannot go on.
        NoteMisuse("a dialog that does not end when its close box is pressed");
        d->ended = true;
        d->result = IDCANCEL;
    }
    d->ended = false;
    d->proc(dialog, WM_DESTROY, 0, 0);
    WorldLock lock(WorldMutex());
    d = Find(dialog);
    INT_PTR result = d->result;
    Ui().dialogs.push_back({hWndParent, static_cast<int>(d->id), result});
    for (auto& [id, control] : d->controls)
        Ui().windows.erase(control);
    Ui().windows.erase(dialog);
    return result;
}

extern "C" BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult)
{
    WINSIM_ENTER("EndDialog", {}, FALSE);
    Window* d = Find(hDlg);
    if (!d || !d->proc)
        return Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    d->ended = true;
    d->result = nResult;
    return TRUE;
}

extern "C" HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem)
{
    WINSIM_ENTER("GetDlgItem", {}, HWND{});
    return Control(hDlg, nIDDlgItem);
}

extern "C" BOOL WINAPI SetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString)
{
    WINSIM_ENTER("SetDlgItemTextW", ToU16(lpString), FALSE);
    HWND c = Control(hDlg, nIDDlgItem);
    if (!c)
        return FALSE;
    Find(c)->text = ToU16(lpString);
    return TRUE;
}

extern "C" BOOL WINAPI CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck)
{
    WINSIM_ENTER("CheckDlgButton", {}, FALSE);
    HWND c = Control(hDlg, nIDButton);
    if (!c)
        return FALSE;
    Find(c)->check = uCheck;
    return TRUE;
}

extern "C" UINT WINAPI IsDlgButtonChecked(HWND hDlg, int nIDButton)
{
    WINSIM_ENTER("IsDlgButtonChecked", {}, 0u);
    HWND c = Control(hDlg, nIDButton);
    return c ? Find(c)->check : 0u;
}

extern "C" LRESULT WINAPI SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    WINSIM_ENTER("SendMessageW", {}, LRESULT{0});
    Window* w = Find(hWnd);
    if (!w)
        return Fail(ERROR_INVALID_WINDOW_HANDLE, LRESULT{0});
    switch (Msg) {
    case WM_SETFONT:
        w->font = reinterpret_cast<HFONT>(wParam);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(w->font);
    case BM_SETCHECK:
        w->check = static_cast<UINT>(wParam);
        return 0;
    case BM_GETCHECK:
        return w->check;
    default:
        return 0;
    }
}

extern "C" LRESULT WINAPI SendDlgItemMessageW(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    HWND c;
    {
        WINSIM_ENTER("SendDlgItemMessageW", {}, LRESULT{0});
        c = Control(hDlg, nIDDlgItem);
        if (!c)
            return 0;
    }
    return SendMessageW(c, Msg, wParam, lParam);
}

// ---------------------------------------------------------------- windows

extern "C" BOOL WINAPI SetWindowTextW(HWND hWnd, LPCWSTR lpString)
{
    WINSIM_ENTER("SetWindowTextW", ToU16(lpString), FALSE);
    Window* w = Find(hWnd);
    if (!w)
        return Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    w->text = ToU16(lpString);
    return TRUE;
}

extern "C" int WINAPI GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount)
{
    WINSIM_ENTER("GetWindowTextW", {}, 0);
    Window* w = Find(hWnd);
    if (!w)
        return Fail(ERROR_INVALID_WINDOW_HANDLE, 0);
    if (!lpString || nMaxCount <= 0)
        return 0;
    // Cut to the buffer, always terminated; the result counts what was copied.
    std::size_t n = std::min<std::size_t>(w->text.size(), static_cast<std::size_t>(nMaxCount - 1));
    std::copy_n(w->text.begin(), n, lpString);
    lpString[n] = 0;
    if (n == 0)
        SetLastError(ERROR_SUCCESS);  // an empty text is told apart from a failure
    return static_cast<int>(n);
}

extern "C" int WINAPI GetWindowTextLengthW(HWND hWnd)
{
    WINSIM_ENTER("GetWindowTextLengthW", {}, 0);
    Window* w = Find(hWnd);
    if (!w)
        return Fail(ERROR_INVALID_WINDOW_HANDLE, 0);
    if (w->text.empty())
        SetLastError(ERROR_SUCCESS);
    return static_cast<int>(w->text.size());
}

extern "C" LONG_PTR WINAPI SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong)
{
    WINSIM_ENTER("SetWindowLongPtrW", {}, LONG_PTR{0});
    Window* w = Find(hWnd);
    if (!w)
        return Fail(ERROR_INVALID_WINDOW_HANDLE, LONG_PTR{0});
    LONG_PTR old;
    if (nIndex == GWL_STYLE) {
        old = w->style;
        w->style = static_cast<LONG>(dwNewLong);
    } else if (nIndex == GWL_EXSTYLE) {
        old = w->exStyle;
        w->exStyle = static_cast<LONG>(dwNewLong);
    } else {
        old = w->longs[nIndex];
        w->longs[nIndex] = dwNewLong;
    }
    // A previous value of 0 is told apart from a failure by a last error of 0.
    SetLastError(ERROR_SUCCESS);
    return old;
}

extern "C" LONG_PTR WINAPI GetWindowLongPtrW(HWND hWnd, int nIndex)
{
    WINSIM_ENTER("GetWindowLongPtrW", {}, LONG_PTR{0});
    Window* w = Find(hWnd);
    if (!w)
        return Fail(ERROR_INVALID_WINDOW_HANDLE, LONG_PTR{0});
    if (nIndex == GWL_STYLE)
        return w->style;
    if (nIndex == GWL_EXSTYLE)
        return w->exStyle;
    auto it = w->longs.find(nIndex);
    return it == w->longs.end() ? 0 : it->second;
}

extern "C" LONG WINAPI GetWindowLongW(HWND hWnd, int nIndex)
{
    return static_cast<LONG>(GetWindowLongPtrW(hWnd, nIndex));
}

extern "C" BOOL WINAPI SetWindowPos(HWND hWnd, HWND, int X, int Y, int cx, int cy, UINT uFlags)
{
    WINSIM_ENTER("SetWindowPos", {}, FALSE);
    Window* w = Find(hWnd);
    if (!w)
        return Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    RECT r = w->rect;
    if (!(uFlags & SWP_NOMOVE)) {
        LONG width = r.right - r.left, height = r.bottom - r.top;
        r = {X, Y, X + width, Y + height};
    }
    if (!(uFlags & SWP_NOSIZE)) {
        r.right = r.left + cx;
        r.bottom = r.top + cy;
    }
    w->rect = r;
    return TRUE;
}

extern "C" BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect)
{
    WINSIM_ENTER("GetWindowRect", {}, FALSE);
    Window* w = Find(hWnd);
    if (!w || !lpRect)
        return Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    *lpRect = w->rect;
    if (w->parent && !w->proc) {
        // A control's rectangle in screen coordinates; the dialog's client
        // area starts inside its frame.
        RECT d = Find(w->parent)->rect;
        lpRect->left += d.left;
        lpRect->right += d.left;
        lpRect->top += d.top;
        lpRect->bottom += d.top;
    }
    return TRUE;
}

extern "C" BOOL WINAPI AdjustWindowRectEx(LPRECT lpRect, DWORD dwStyle, BOOL, DWORD dwExStyle)
{
    WINSIM_ENTER("AdjustWindowRectEx", {}, FALSE);
    if (!lpRect)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    // Windows 7's classic metrics at 96 dpi: a dialog frame of 3 pixels (4
    // with a thick frame) and a caption of 19 pixels.
    LONG frame = (dwStyle & WS_THICKFRAME) ? 4 : ((dwStyle & WS_DLGFRAME) || (dwExStyle & WS_EX_DLGMODALFRAME)) ? 3 : 1;
    LONG caption = (dwStyle & WS_CAPTION) == WS_CAPTION ? 19 : 0;
    lpRect->left -= frame;
    lpRect->right += frame;
    lpRect->top -= frame + caption;
    lpRect->bottom += frame;
    return TRUE;
}

extern "C" BOOL WINAPI IsWindowVisible(HWND hWnd)
{
    WINSIM_ENTER("IsWindowVisible", {}, FALSE);
    Window* w = Find(hWnd);
    return w && (w->style & WS_VISIBLE) ? TRUE : FALSE;
}

extern "C" BOOL WINAPI IsIconic(HWND hWnd)
{
    WINSIM_ENTER("IsIconic", {}, FALSE);
    return FALSE;
}

extern "C" HMONITOR WINAPI MonitorFromWindow(HWND hwnd, DWORD dwFlags)
{
    WINSIM_ENTER("MonitorFromWindow", {}, HMONITOR{});
    if (!Find(hwnd) && dwFlags == MONITOR_DEFAULTTONULL)
        return nullptr;
    return kMonitor;
}

extern "C" BOOL WINAPI GetMonitorInfoW(HMONITOR hMonitor, LPMONITORINFO lpmi)
{
    WINSIM_ENTER("GetMonitorInfoW", {}, FALSE);
    if (hMonitor != kMonitor || !lpmi || lpmi->cbSize < sizeof(MONITORINFO))
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    lpmi->rcMonitor = kScreen;
    lpmi->rcWork = kWorkArea;
    lpmi->dwFlags = 1;  // MONITORINFOF_PRIMARY
    return TRUE;
}

// ---------------------------------------------------------------- GDI

extern "C" HDC WINAPI GetDC(HWND hWnd)
{
    WINSIM_ENTER("GetDC", {}, HDC{});
    if (hWnd && !Find(hWnd))
        return Fail(ERROR_INVALID_WINDOW_HANDLE, HDC{});
    return kScreenDc;
}

extern "C" int WINAPI ReleaseDC(HWND, HDC hDC)
{
    WINSIM_ENTER("ReleaseDC", {}, 0);
    return hDC == kScreenDc ? 1 : 0;
}

extern "C" int WINAPI GetDeviceCaps(HDC hdc, int index)
{
    WINSIM_ENTER("GetDeviceCaps", {}, 0);
    if (hdc != kScreenDc)
        return 0;
    return index == LOGPIXELSX || index == LOGPIXELSY ? Ui().dpi : 0;
}

extern "C" int WINAPI MulDiv(int nNumber, int nNumerator, int nDenominator)
{
    if (nDenominator == 0)
        return -1;
    // Rounded half away from zero, as Windows does.
    long long product = static_cast<long long>(nNumber) * nNumerator;
    bool negative = (product < 0) != (nDenominator < 0);
    long long a = product < 0 ? -product : product;
    long long d = nDenominator < 0 ? -static_cast<long long>(nDenominator) : nDenominator;
    long long q = (a + d / 2) / d;
    if (q > 0x7FFFFFFF)
        return -1;
    return static_cast<int>(negative ? -q : q);
}

extern "C" HFONT WINAPI CreateFontW(int, int, int, int, int, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD,
                                    LPCWSTR pszFaceName)
{
    WINSIM_ENTER("CreateFontW", ToU16(pszFaceName), HFONT{});
    return reinterpret_cast<HFONT>(Insert(std::make_shared<FontObject>()));
}

extern "C" BOOL WINAPI DeleteObject(HGDIOBJ ho)
{
    WINSIM_ENTER("DeleteObject", {}, FALSE);
    if (!LookupAs<FontObject>(static_cast<HANDLE>(ho)))
        return FALSE;
    Remove(static_cast<HANDLE>(ho));
    return TRUE;
}

// ---------------------------------------------------------------- common dialogs

extern "C" BOOL WINAPI GetOpenFileNameW(LPOPENFILENAMEW lpofn)
{
    WINSIM_ENTER("GetOpenFileNameW", {}, FALSE);
    Ui().commDlgError = 0;
    if (!lpofn || lpofn->lStructSize != sizeof(OPENFILENAMEW) || !lpofn->lpstrFile || lpofn->nMaxFile == 0) {
        Ui().commDlgError = 0x0001;  // CDERR_STRUCTSIZE / CDERR_INITIALIZATION
        return FALSE;
    }
    winsim::OpenFileRecord r;
    r.owner = lpofn->hwndOwner;
    r.title = ToU16(lpofn->lpstrTitle);
    if (const WCHAR* f = lpofn->lpstrFilter) {
        while (*f) {
            std::u16string piece(f);
            if (!r.filter.empty())
                r.filter += u'|';
            r.filter += piece;
            f += piece.size() + 1;
        }
    }
    r.initialDir = ToU16(lpofn->lpstrInitialDir);
    r.fileName = std::u16string(lpofn->lpstrFile, std::find(lpofn->lpstrFile, lpofn->lpstrFile + lpofn->nMaxFile, u'\0'));
    r.defaultExtension = ToU16(lpofn->lpstrDefExt);
    r.flags = lpofn->Flags;
    r.maxFile = lpofn->nMaxFile;
    Ui().openFileDialogs.push_back(r);
    if (!Ui().openFileAnswer)
        return FALSE;  // Cancel: CommDlgExtendedError stays 0
    const std::u16string& path = *Ui().openFileAnswer;
    if (path.size() + 1 > lpofn->nMaxFile) {
        Ui().commDlgError = FNERR_BUFFERTOOSMALL;
        return FALSE;
    }
    std::copy(path.begin(), path.end(), lpofn->lpstrFile);
    lpofn->lpstrFile[path.size()] = 0;
    std::size_t slash = path.rfind(u'\\');
    std::size_t name = slash == std::u16string::npos ? 0 : slash + 1;
    std::size_t dot = path.rfind(u'.');
    lpofn->nFileOffset = static_cast<WORD>(name);
    lpofn->nFileExtension = static_cast<WORD>(dot != std::u16string::npos && dot >= name ? dot + 1 : path.size());
    // Without OFN_NOCHANGEDIR the dialog leaves the process in the chosen
    // file's folder.
    if (!(lpofn->Flags & OFN_NOCHANGEDIR) && slash != std::u16string::npos)
        winsim::SetCurrentDirectory(path.substr(0, slash == 2 ? 3 : slash));
    return TRUE;
}

extern "C" DWORD WINAPI CommDlgExtendedError()
{
    WorldLock lock(WorldMutex());
    return Ui().commDlgError;
}

extern "C" int WINAPI MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType)
{
    WINSIM_ENTER("MessageBoxW", ToU16(lpText), 0);
    if (hWnd && !Find(hWnd))
        return Fail(ERROR_INVALID_WINDOW_HANDLE, 0);
    // A null caption shows "Error", as Windows does.
    Ui().messageBoxes.push_back({hWnd, ToU16(lpText), lpCaption ? ToU16(lpCaption) : u"Error", uType});
    return IDOK;
}

// ---------------------------------------------------------------- text

extern "C" DWORD WINAPI CharLowerBuffW(LPWSTR lpsz, DWORD cchLength)
{
    WINSIM_ENTER("CharLowerBuffW", {}, DWORD{0});
    if (!lpsz)
        return 0;
    // The inverse of the volume's upcase table as winsim models it: ASCII,
    // Latin-1 and Cyrillic letters.
    for (DWORD i = 0; i < cchLength; ++i) {
        WCHAR c = lpsz[i];
        if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x410 && c <= 0x42F))
            lpsz[i] = static_cast<WCHAR>(c + 0x20);
        else if (c >= 0x400 && c <= 0x40F)
            lpsz[i] = static_cast<WCHAR>(c + 0x50);
    }
    return cchLength;
}

// ---------------------------------------------------------------- the test side

namespace winsim {

void AddDialogTemplate(int id, std::u16string caption, std::vector<DialogControl> controls)
{
    WorldLock lock(WorldMutex());
    Ui().templates[id] = {std::move(caption), std::move(controls)};
}

HWND MainWindow()
{
    WorldLock lock(WorldMutex());
    return MainWindowHandle();
}

void SetScreenDpi(int dpi)
{
    WorldLock lock(WorldMutex());
    Ui().dpi = dpi;
}

void MoveDialogToDpi(HWND dialog, int dpi)
{
    RECT suggested{};
    int old = 96;
    {
        WorldLock lock(WorldMutex());
        Window* d = Find(ScriptDialog(dialog));
        old = Ui().dpi;
        Ui().dpi = dpi;
        suggested = d->rect;
        suggested.right = suggested.left + MulDiv(d->rect.right - d->rect.left, dpi, old);
        suggested.bottom = suggested.top + MulDiv(d->rect.bottom - d->rect.top, dpi, old);
    }
    Deliver(dialog, WM_DPICHANGED, static_cast<WPARAM>(dpi | (dpi << 16)), reinterpret_cast<LPARAM>(&suggested));
}

void SetDialogScript(std::function<void(HWND)> script)
{
    WorldLock lock(WorldMutex());
    Ui().script = std::move(script);
}

std::vector<DialogRecord> Dialogs()
{
    WorldLock lock(WorldMutex());
    return Ui().dialogs;
}

std::u16string WindowText(HWND window)
{
    WorldLock lock(WorldMutex());
    Window* w = Find(window);
    return w ? w->text : std::u16string();
}

std::u16string DialogItemText(HWND dialog, int id)
{
    WorldLock lock(WorldMutex());
    return ScriptControl(dialog, id).text;
}

bool DialogItemChecked(HWND dialog, int id)
{
    WorldLock lock(WorldMutex());
    return ScriptControl(dialog, id).check == BST_CHECKED;
}

RECT WindowRect(HWND window)
{
    WorldLock lock(WorldMutex());
    Window* w = Find(window);
    return w ? w->rect : RECT{};
}

void TypeDialogItemText(HWND dialog, int id, std::u16string_view text)
{
    WorldLock lock(WorldMutex());
    ScriptControl(dialog, id).text = std::u16string(text);
}

void TickDialogItem(HWND dialog, int id, bool checked)
{
    WorldLock lock(WorldMutex());
    ScriptControl(dialog, id).check = checked ? BST_CHECKED : BST_UNCHECKED;
}

void ClickDialogButton(HWND dialog, int id)
{
    HWND control;
    {
        WorldLock lock(WorldMutex());
        ScriptControl(dialog, id);
        control = Control(dialog, id);
    }
    Deliver(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

void PressCloseBox(HWND dialog)
{
    {
        WorldLock lock(WorldMutex());
        ScriptDialog(dialog);
    }
    if (!Deliver(dialog, WM_CLOSE, 0, 0))
        Deliver(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

bool DialogOpen(HWND dialog)
{
    WorldLock lock(WorldMutex());
    Window* d = Find(dialog);
    return d && d->proc && !d->ended;
}

std::vector<MessageBoxRecord> MessageBoxes()
{
    WorldLock lock(WorldMutex());
    return Ui().messageBoxes;
}

std::vector<OpenFileRecord> OpenFileDialogs()
{
    WorldLock lock(WorldMutex());
    return Ui().openFileDialogs;
}

void SetOpenFileAnswer(std::optional<std::u16string> path)
{
    WorldLock lock(WorldMutex());
    Ui().openFileAnswer = std::move(path);
}

}  // namespace winsim
