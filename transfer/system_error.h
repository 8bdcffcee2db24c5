// The system's text for an error code, and the message box that joins it to
// one of the plugin's message slots.
#pragma once

#include "config/messages.h"
#include "plugin/text.h"

// FormatMessageW's text for the code, without its trailing full stop, line
// break and blanks; empty when the system has no text for it.
WString SystemErrorText(DWORD code);

// Shows the slot's text, the separator and the system's text of the thread's
// last error in the host's OK message box.
void ReportSystemError(Msg slot, WStringView separator = TEXT("\r\n"));
