// The clock: GetLocalTime, GetSystemTime.
#pragma once

#include "win/types.h"
