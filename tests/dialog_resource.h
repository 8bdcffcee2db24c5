// The settings dialog's resource script as the resource compiler reads it:
// the native build has no resources, so tests read resources/dialog.rc and
// hand its template to winsim's dialog manager.
#pragma once

#include <string>
#include <vector>

struct RcControl {
    std::string kind;  // DEFPUSHBUTTON, PUSHBUTTON, EDITTEXT, AUTOCHECKBOX, LTEXT
    std::u16string text;
    std::string idName;
    int id;
    std::string styles;
};

struct RcDialog {
    int id = 0;
    std::u16string caption;
    std::string style;
    std::string exStyle;
    std::string font;
    std::vector<RcControl> controls;  // in template order: the tab order
};

RcDialog ReadSettingsDialogResource();
// Registers the template with winsim, as loading the DLL would.
void InstallSettingsDialogTemplate();
