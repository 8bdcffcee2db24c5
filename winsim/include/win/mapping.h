// File mappings and views: CreateFileMappingW, MapViewOfFile, UnmapViewOfFile.
#pragma once

#include "win/types.h"
