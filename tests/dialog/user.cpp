#include "tests/dialog/user.h"

#include <set>

namespace dialogtest {

namespace {

constexpr DWORD kPollMs = 20;

}  // namespace

bool IsVisibleDialog(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return std::wstring(name) == L"#32770" && IsWindowVisible(window);
}

namespace {

struct Search {
    const std::function<bool(HWND)>* match;
    std::vector<HWND> found;
};

// A callback of the system's own calling convention (stdcall on 32 bits,
// which no lambda converts to).
BOOL CALLBACK CollectMatching(HWND window, LPARAM data)
{
    auto* s = reinterpret_cast<Search*>(data);
    if ((*s->match)(window))
        s->found.push_back(window);
    return TRUE;
}

}  // namespace

std::vector<HWND> ThreadWindows(DWORD threadId, const std::function<bool(HWND)>& match)
{
    Search search{&match, {}};
    EnumThreadWindows(threadId, CollectMatching, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForDialog(DWORD threadId, HWND owner, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        std::vector<HWND> found = ThreadWindows(threadId, [owner](HWND w) {
            return IsVisibleDialog(w) && (!owner || GetWindow(w, GW_OWNER) == owner);
        });
        if (!found.empty())
            return found.front();
        if (GetTickCount() - start > timeoutMs)
            return nullptr;
        Sleep(kPollMs);
    }
}

bool WaitUntilGone(HWND window, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (IsWindow(window)) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(kPollMs);
    }
    return true;
}

std::wstring Text(HWND window)
{
    // WM_GETTEXT is answered by the window's own thread.
    wchar_t buffer[1024] = {};
    SendMessageW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

std::wstring ItemText(HWND dialog, int controlId)
{
    HWND item = GetDlgItem(dialog, controlId);
    return item ? Text(item) : L"(no control " + std::to_wstring(controlId) + L")";
}

std::wstring MessageBoxText(HWND box)
{
    return ItemText(box, 0xFFFF);
}

bool TextFitsOneLine(HWND dialog, int controlId)
{
    HWND control = GetDlgItem(dialog, controlId);
    std::wstring text = Text(control);
    HDC dc = GetDC(control);
    if (!dc)
        return false;
    auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    if (old)
        SelectObject(dc, old);
    ReleaseDC(control, dc);
    RECT client{};
    GetClientRect(control, &client);
    return extent.cx <= client.right - client.left;
}

bool Checked(HWND dialog, int controlId)
{
    return SendDlgItemMessageW(dialog, controlId, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Click(HWND dialog, int controlId)
{
    SendDlgItemMessageW(dialog, controlId, BM_CLICK, 0, 0);
}

void PostClick(HWND dialog, int controlId)
{
    PostMessageW(GetDlgItem(dialog, controlId), BM_CLICK, 0, 0);
}

void Type(HWND dialog, int controlId, const std::wstring& text)
{
    HWND edit = GetDlgItem(dialog, controlId);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    for (wchar_t c : text)
        SendMessageW(edit, WM_CHAR, c, 1);
}

void PressKey(HWND dialog, UINT virtualKey)
{
    // Posted to the control with the focus, as the keyboard would: the modal
    // loop's dialog manager turns Esc and Enter into the dialog's commands.
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    HWND target = dialog;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) && info.hwndFocus)
        target = info.hwndFocus;
    UINT scan = MapVirtualKeyW(virtualKey, 0);
    PostMessageW(target, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
    PostMessageW(target, WM_KEYUP, virtualKey, 1 | (scan << 16) | (1u << 30) | (1u << 31));
}

void CloseBox(HWND window)
{
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

std::string SaveScreenshot(HWND window, const std::wstring& bmpPath, int* distinctColours)
{
    RECT r{};
    if (!GetWindowRect(window, &r))
        return "GetWindowRect failed: error " + std::to_string(GetLastError());
    const int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0)
        return "the window has no area";

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as BMP files store rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    const DWORD imageSize = stride * static_cast<DWORD>(height);

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::string failure;
    if (!memory || !bitmap) {
        failure = "no bitmap for the capture: error " + std::to_string(GetLastError());
    } else {
        HGDIOBJ old = SelectObject(memory, bitmap);
        if (!BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY))
            failure = "BitBlt from the screen failed: error " + std::to_string(GetLastError());
        GdiFlush();
        SelectObject(memory, old);
    }
    if (failure.empty()) {
        std::set<DWORD> colours;
        const auto* p = static_cast<const unsigned char*>(bits);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const unsigned char* px = p + static_cast<DWORD>(y) * stride + static_cast<DWORD>(x) * 3;
                colours.insert(px[0] | (px[1] << 8) | (px[2] << 16));
            }
        if (distinctColours)
            *distinctColours = static_cast<int>(colours.size());

        BITMAPFILEHEADER file{};
        file.bfType = 0x4D42;  // "BM"
        file.bfOffBits = sizeof(file) + sizeof(info.bmiHeader);
        file.bfSize = file.bfOffBits + imageSize;
        info.bmiHeader.biSizeImage = imageSize;
        HANDLE out = CreateFileW(bmpPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        if (out == INVALID_HANDLE_VALUE) {
            failure = "cannot create the screenshot file: error " + std::to_string(GetLastError());
        } else {
            bool ok = WriteFile(out, &file, sizeof(file), &written, nullptr) &&
                      WriteFile(out, &info.bmiHeader, sizeof(info.bmiHeader), &written, nullptr) &&
                      WriteFile(out, bits, imageSize, &written, nullptr);
            if (!ok)
                failure = "cannot write the screenshot: error " + std::to_string(GetLastError());
            CloseHandle(out);
        }
    }
    if (bitmap)
        DeleteObject(bitmap);
    if (memory)
        DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return failure;
}

}  // namespace dialogtest
