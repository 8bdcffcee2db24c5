// The shell's launching calls: ShellExecuteW, ShellExecuteExW, SetCurrentDirectoryW.
#pragma once

#include "win/types.h"
