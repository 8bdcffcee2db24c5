// The backup API: BackupRead, BackupSeek and the WIN32_STREAM_ID format.
#pragma once

#include "win/types.h"
