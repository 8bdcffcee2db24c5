// Icons and bitmaps: SHGetFileInfoW, LoadIconWithScaleDown, LoadImageW, DestroyIcon.
#pragma once

#include "win/types.h"
