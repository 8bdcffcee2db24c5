// The settings dialog: which language file supplies the texts and which kinds
// of stream are listed. The logic (TfmSetup) works on the dialog through the
// SetupWindow interface; the Win32 window is one implementation of it, and
// tests drive the logic through a scripted one.
#pragma once

#include <windows.h>

#include <optional>

#include "plugin/text.h"
#include "resources/dialog_ids.h"

// A stream check box: its control and its bit in the "StreamTypes" mask.
struct StreamCheckBox {
    int ControlId;
    int Bit;
};

// In tab order.
inline constexpr StreamCheckBox kStreamCheckBoxes[] = {
    {IDC_SHOW_STANDART, 1},  {IDC_ALTERNATE, 4},         {IDC_SECURITY, 3},
    {IDC_EXTENDED_ATTRIBUTE, 2}, {IDC_HARD_LINK, 5},     {IDC_PROPERTY, 6},
    {IDC_OBJECT_IDENTIFIER, 7},  {IDC_REPARSE_POINTS, 8}, {IDC_SPARSE_FILE, 9},
    {IDC_INVALID, 0},
};

// The texts of the file-open dialog as designed; the message table may
// replace the title and the filter.
inline constexpr const WCHAR* kOpenTitle = TEXT("Select a new language file:");
inline constexpr const WCHAR* kOpenFilter = TEXT("Language files (*.lng)|*.lng|All files|*");
inline constexpr const WCHAR* kOpenDefaultExtension = TEXT("lng");

// What the file-open dialog (odOpen) is shown with.
struct OpenFileRequest {
    WString Title;
    WString Filter;  // description and pattern alternating, separated by "|"
    WString DefaultExtension;
    WString InitialFolder;
    WString FileName;
};

// The texts of the dialog that the message table can replace.
enum class SetupText { Title, OkButton, CancelButton, StreamsLabel };

class SetupWindow {
public:
    virtual ~SetupWindow() = default;

    virtual WString Title() const = 0;
    virtual void SetText(SetupText which, const WString& text) = 0;
    virtual WString LanguageField() const = 0;
    virtual void SetLanguageField(const WString& text) = 0;
    virtual bool Checked(int controlId) const = 0;
    virtual void SetChecked(int controlId, bool checked) = 0;
    // A message box owned by the dialog: OK button, information icon.
    virtual void ShowMessage(const WString& text, const WString& title) = 0;
    // The standard file-open dialog; the chosen file's full path, or nothing
    // when the user cancelled.
    virtual std::optional<WString> ChooseFile(const OpenFileRequest& request) = 0;
    // Ends the modal dialog with the OK or the Cancel result.
    virtual void Close(bool ok) = 0;
};

// The dialog's logic, fmSetup while the dialog is shown.
class TfmSetup {
public:
    explicit TfmSetup(SetupWindow& window) : window_(window) {}

    // Before the dialog shows: the captions from the message table, the
    // language field and the check boxes from the settings file.
    void Initialise();

    void btOkClick();
    void btCancelClick();
    void btBrowseLangClick();

private:
    // The ticked check boxes' bits.
    int Mask() const;
    // The field's language file, checked as the loader would read it; false
    // (after a message) when it is missing or not a language file.
    bool LanguageFileAcceptable(const WString& path);

    SetupWindow& window_;
    WString openTitle_ = kOpenTitle;
    WString openFilter_ = kOpenFilter;
};

// A "|"-separated filter in the form of the file-open dialog: every piece
// followed by a NUL, and one more NUL at the end.
WString OpenDialogFilter(WStringView filter);

// The plugin's module file with its extension replaced by ".lng".
WString DefaultLanguageFileName();

// Shows the dialog modally, owned by ownerWindow; true when it was closed with
// OK (after the settings file has been written, or the write failed silently).
bool ShowSettingsDialog(HWND ownerWindow);
