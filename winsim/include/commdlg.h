// winsim's <commdlg.h>: the standard file-open dialog, declared with the
// other window calls.
#pragma once

#include <windows.h>
