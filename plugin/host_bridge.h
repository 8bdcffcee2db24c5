// The two ways the plugin talks to the user: the host's OK message box and the
// host's progress report with abort.
#pragma once

#include "plugin/text.h"

// Shows text in the host's message box with an OK button; nothing happens
// before FsInitW has handed over the callbacks.
void ShowHostMessage(const WString& text);

// Reports progress; true when the host asks to abort (its result is exactly 1).
bool ReportProgress(const WCHAR* sourceName, const WCHAR* targetName, int percentDone);
