// winsim's <shellapi.h>: the shell's launching calls, declared under
// win/shellexec.h.
#pragma once

#include <windows.h>
