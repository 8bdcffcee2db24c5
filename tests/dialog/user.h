// A stand-in for the person at the screen: finds the windows that a thread of
// this process shows (a dialog by its caption, the message boxes it owns) and
// acts on their controls with the messages that mouse and keyboard produce.
// It runs on a thread of its own while the plugin's modal loop runs on the
// test's thread. Windows programs only (built with MinGW, run under Wine with
// an X display).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace dialogtest {

// A dialog window (class "#32770") that is visible: the settings dialog, a
// message box, the file-open dialog.
bool IsVisibleDialog(HWND window);

// Top-level windows of the thread that match, in the system's order.
std::vector<HWND> ThreadWindows(DWORD threadId, const std::function<bool(HWND)>& match);

// Waits up to timeoutMs for a visible dialog of the thread (class "#32770")
// owned by owner (nullptr: any owner); nullptr when none showed.
HWND WaitForDialog(DWORD threadId, HWND owner, DWORD timeoutMs);

// Waits up to timeoutMs until the window is gone; false when it stayed.
bool WaitUntilGone(HWND window, DWORD timeoutMs);

std::wstring Text(HWND window);
std::wstring ItemText(HWND dialog, int controlId);
// The text of a message box (its static text control, id 0xFFFF).
std::wstring MessageBoxText(HWND box);

// Whether the control's text, in the control's font, fits on one line of
// its client area (a label too narrow wraps its end out of sight).
bool TextFitsOneLine(HWND dialog, int controlId);

bool Checked(HWND dialog, int controlId);
// A click on a check box: it toggles and tells the dialog, as the mouse does.
void Click(HWND dialog, int controlId);
// A click on a button that may open a modal window: posted, so this thread
// does not wait for the window to close.
void PostClick(HWND dialog, int controlId);
// Replaces the edit control's text by typing: everything selected, then one
// WM_CHAR per character.
void Type(HWND dialog, int controlId, const std::wstring& text);
// A key pressed and released on the control that has the focus in the dialog.
void PressKey(HWND dialog, UINT virtualKey);
// The close box of the caption.
void CloseBox(HWND window);

// Copies the window as the screen shows it into a 24-bit BMP file. Returns an
// empty string on success, else what failed. distinctColours receives the
// number of different colours seen (a blank capture has one).
std::string SaveScreenshot(HWND window, const std::wstring& bmpPath, int* distinctColours);

}  // namespace dialogtest
