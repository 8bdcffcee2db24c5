// Deleting and changing entries: DeleteFileW, RemoveDirectoryW, SetFileAttributesW, FormatMessageW.
#pragma once

#include "win/types.h"
