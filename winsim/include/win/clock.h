// The clock: GetLocalTime, GetSystemTime.
#pragma once

#include "win/types.h"

extern "C" {
void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime);
void WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime);
}
