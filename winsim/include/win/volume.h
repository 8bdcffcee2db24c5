// Volumes on drive letters: QueryDosDeviceW, GetVolumeInformationW, SetErrorMode.
#pragma once

#include "win/types.h"
