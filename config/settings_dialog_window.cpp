// The settings dialog's window: the DIALOGEX resource IDD_SETUP shown modally,
// laid out in pixels of its 120-dpi design scaled to the screen's density,
// and every event handed to the dialog's logic (TfmSetup).
#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <vector>

#include "config/settings_dialog.h"
#include "plugin/dynamic_proc.h"
#include "plugin/plugin_state.h"
#include "plugin/win_owner.h"

namespace {

constexpr int kDesignDpi = 120;
constexpr SIZE kDesignClient = {356, 434};
// The font's character height at the design density. The shell dialog font:
// a raster font such as MS Sans Serif has no font linking (Cyrillic on a
// Western system shows as garbage) and is a scaled bitmap at 150-200 %; this
// one maps to the system's own dialog face, links fonts for every script and
// scales cleanly.
constexpr int kDesignFontHeight = 14;
constexpr const WCHAR* kFontFace = TEXT("MS Shell Dlg 2");
// Sent when the dialog moves to a monitor of another density (Windows 8.1 on).
constexpr UINT kDpiChanged = 0x02E0;
// Room for any path the file-open dialog can return.
constexpr std::size_t kFileBufferChars = 32768;

struct Placement {
    int ControlId;
    RECT Design;  // left, top, right, bottom in pixels at 120 dpi
};

constexpr RECT Box(int left, int top, int width, int height)
{
    return {left, top, left + width, top + height};
}

// The two labels reach across the dialog: at their designed widths (101 and
// 150) a longer translation of the streams label, or a font with wider
// letters, wraps the text's end onto a second line that the 16-pixel height
// hides. Left-aligned, a wider box draws the same.
constexpr int kLabelWidth = kDesignClient.cx - 2 * 10;

constexpr Placement kLayout[] = {
    {IDC_LANG_HEADER, Box(10, 10, kLabelWidth, 16)},
    {IDC_LANG, Box(20, 30, 286, 24)},
    {IDC_BROWSE_LANG, Box(315, 30, 26, 25)},
    {IDC_STREAMS_HEADER, Box(10, 69, kLabelWidth, 16)},
    {IDC_SHOW_STANDART, Box(20, 98, 316, 21)},
    {IDC_ALTERNATE, Box(20, 128, 316, 21)},
    {IDC_SECURITY, Box(20, 158, 316, 20)},
    {IDC_EXTENDED_ATTRIBUTE, Box(20, 187, 316, 21)},
    {IDC_HARD_LINK, Box(20, 217, 316, 21)},
    {IDC_PROPERTY, Box(20, 246, 316, 21)},
    {IDC_OBJECT_IDENTIFIER, Box(20, 276, 316, 21)},
    {IDC_REPARSE_POINTS, Box(20, 305, 316, 21)},
    {IDC_SPARSE_FILE, Box(20, 335, 316, 21)},
    {IDC_INVALID, Box(20, 364, 316, 21)},
    {IDOK, Box(148, 394, 92, 31)},
    {IDCANCEL, Box(256, 394, 92, 31)},
};

using GetDpiForWindowFn = UINT WINAPI(HWND);

// The density the dialog is shown at: the window's own where the system
// knows it (Windows 10 1607 and later), else the screen's.
int DialogDpi(HWND dialog)
{
    static DynamicProc<GetDpiForWindowFn> getDpiForWindow(TEXT("user32.dll"), "GetDpiForWindow");
    if (GetDpiForWindowFn* fn = getDpiForWindow.TryGet())
        if (UINT dpi = fn(dialog))
            return static_cast<int>(dpi);
    int dpi = 0;
    if (HDC dc = GetDC(dialog)) {
        dpi = GetDeviceCaps(dc, LOGPIXELSY);
        ReleaseDC(dialog, dc);
    }
    return dpi > 0 ? dpi : 96;
}

WString WindowText(HWND window)
{
    int length = GetWindowTextLengthW(window);
    if (length <= 0)
        return {};
    WString text(static_cast<std::size_t>(length) + 1, WCHAR{});
    int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return text;
}

class DialogWindow final : public SetupWindow {
public:
    void Attach(HWND dialog) { dialog_ = dialog; }

    WString Title() const override { return WindowText(dialog_); }

    void SetText(SetupText which, const WString& text) override
    {
        switch (which) {
        case SetupText::Title:
            SetWindowTextW(dialog_, text.c_str());
            break;
        case SetupText::OkButton:
            SetDlgItemTextW(dialog_, IDOK, text.c_str());
            break;
        case SetupText::CancelButton:
            SetDlgItemTextW(dialog_, IDCANCEL, text.c_str());
            break;
        case SetupText::StreamsLabel:
            SetDlgItemTextW(dialog_, IDC_STREAMS_HEADER, text.c_str());
            break;
        }
    }

    WString LanguageField() const override { return WindowText(GetDlgItem(dialog_, IDC_LANG)); }

    void SetLanguageField(const WString& text) override { SetDlgItemTextW(dialog_, IDC_LANG, text.c_str()); }

    bool Checked(int controlId) const override { return IsDlgButtonChecked(dialog_, controlId) == BST_CHECKED; }

    void SetChecked(int controlId, bool checked) override
    {
        CheckDlgButton(dialog_, controlId, checked ? BST_CHECKED : BST_UNCHECKED);
    }

    void ShowMessage(const WString& text, const WString& title) override
    {
        MessageBoxW(dialog_, text.c_str(), title.c_str(), MB_OK | MB_ICONINFORMATION);
    }

    std::optional<WString> ChooseFile(const OpenFileRequest& request) override
    {
        WString filter = OpenDialogFilter(request.Filter);
        std::vector<WCHAR> file(std::max(kFileBufferChars, request.FileName.size() + 1), WCHAR{});
        std::copy(request.FileName.begin(), request.FileName.end(), file.begin());
        OPENFILENAMEW ofn{};
        ofn.lStructSize = sizeof(ofn);
        ofn.hwndOwner = dialog_;
        ofn.lpstrFilter = filter.c_str();
        ofn.nFilterIndex = 1;
        ofn.lpstrFile = file.data();
        ofn.nMaxFile = static_cast<DWORD>(file.size());
        ofn.lpstrInitialDir = request.InitialFolder.empty() ? nullptr : request.InitialFolder.c_str();
        ofn.lpstrTitle = request.Title.c_str();
        ofn.lpstrDefExt = request.DefaultExtension.c_str();
        // OFN_NOCHANGEDIR: the dialog would otherwise leave the host's process
        // in the chosen file's folder.
        ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_ENABLESIZING |
                    OFN_NOCHANGEDIR;
        if (!GetOpenFileNameW(&ofn))
            return std::nullopt;
        return WString(file.data());
    }

    void Close(bool ok) override { EndDialog(dialog_, ok ? IDOK : IDCANCEL); }

private:
    HWND dialog_ = nullptr;
};

struct DialogContext {
    HWND owner = nullptr;
    DialogWindow window;
    TfmSetup form{window};
    UniqueFont font;
};

// Places every control at its design position scaled to the density, gives
// them the design font, sizes the client area and centres the dialog over its
// owner, kept inside the owner's monitor; at a new density (the dialog moved
// to another monitor) where the system suggests instead.
void LayOut(HWND dialog, HWND owner, DialogContext& context, const RECT* suggested = nullptr)
{
    int dpi = DialogDpi(dialog);
    auto scale = [dpi](LONG pixels) { return MulDiv(pixels, dpi, kDesignDpi); };

    context.font.Reset(CreateFontW(-scale(kDesignFontHeight), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                   DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                   DEFAULT_PITCH | FF_DONTCARE, kFontFace));
    for (const auto& p : kLayout) {
        HWND control = GetDlgItem(dialog, p.ControlId);
        if (!control)
            continue;
        if (context.font)
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(context.font.Get()), FALSE);
        SetWindowPos(control, nullptr, scale(p.Design.left), scale(p.Design.top),
                     scale(p.Design.right) - scale(p.Design.left), scale(p.Design.bottom) - scale(p.Design.top),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }

    RECT frame{0, 0, scale(kDesignClient.cx), scale(kDesignClient.cy)};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(dialog, GWL_EXSTYLE)));
    LONG width = frame.right - frame.left;
    LONG height = frame.bottom - frame.top;
    if (suggested) {
        SetWindowPos(dialog, nullptr, suggested->left, suggested->top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }

    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    RECT work{0, 0, width, height};
    if (GetMonitorInfoW(MonitorFromWindow(owner ? owner : dialog, MONITOR_DEFAULTTONEAREST), &monitor))
        work = monitor.rcWork;
    RECT around = work;
    RECT ownerRect{};
    if (owner && IsWindowVisible(owner) && !IsIconic(owner) && GetWindowRect(owner, &ownerRect))
        around = ownerRect;
    LONG x = around.left + ((around.right - around.left) - width) / 2;
    LONG y = around.top + ((around.bottom - around.top) - height) / 2;
    x = std::max(work.left, std::min(x, work.right - width));
    y = std::max(work.top, std::min(y, work.bottom - height));
    SetWindowPos(dialog, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

DialogContext* ContextOf(HWND dialog)
{
    return reinterpret_cast<DialogContext*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Nothing may unwind through the system's dialog manager.
    try {
        switch (message) {
        case WM_INITDIALOG: {
            auto* context = reinterpret_cast<DialogContext*>(lParam);
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            context->window.Attach(dialog);
            LayOut(dialog, context->owner, *context);
            context->form.Initialise();
            return TRUE;  // the focus goes to the first control in tab order
        }
        case kDpiChanged: {
            // Laid out again for the new density: the font made anew, every
            // control placed, the client sized.
            DialogContext* context = ContextOf(dialog);
            if (!context)
                return FALSE;
            LayOut(dialog, context->owner, *context, reinterpret_cast<const RECT*>(lParam));
            return TRUE;
        }
        case WM_COMMAND: {
            DialogContext* context = ContextOf(dialog);
            if (!context || HIWORD(wParam) != BN_CLICKED)
                return FALSE;
            switch (LOWORD(wParam)) {
            case IDOK:
                context->form.btOkClick();
                return TRUE;
            case IDCANCEL:
                // The Cancel button, Esc and the close box.
                context->form.btCancelClick();
                return TRUE;
            case IDC_BROWSE_LANG:
                context->form.btBrowseLangClick();
                return TRUE;
            default:
                return FALSE;
            }
        }
        default:
            return FALSE;
        }
    } catch (...) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
}

}  // namespace

bool ShowSettingsDialog(HWND ownerWindow)
{
    DialogContext context;
    context.owner = ownerWindow;
    INT_PTR result = DialogBoxParamW(PluginState().Module, MAKEINTRESOURCEW(IDD_SETUP), ownerWindow,
                                     SetupDialogProc, reinterpret_cast<LPARAM>(&context));
    return result == IDOK;
}
