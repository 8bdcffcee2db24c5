// File times: SetFileTime, GetFileTime, SystemTimeToFileTime, FileTimeToSystemTime, the clock.
#pragma once

#include "win/types.h"
