// Creating a directory together with all its missing parents.
#pragma once

#include <stdexcept>

#include "plugin/paths.h"

// Raised for a directory with an empty name: the chain of parents ran out
// without reaching a drive ("newdir" has none). Carries ERROR_PATH_NOT_FOUND.
class DirectoryCreationError : public std::runtime_error {
public:
    explicit DirectoryCreationError(DWORD code)
        : std::runtime_error("Unable to create directory"), code_(code) {}
    DWORD Code() const { return code_; }

private:
    DWORD code_;
};

// Creates `path` and every missing directory above it, from the outermost in.
// True when it exists afterwards (a bare drive "C:" always does); false at the
// first directory that cannot be created, those created before it staying.
// Throws DirectoryCreationError for an empty name.
bool CreateDirectoryPathLong(const WString& path);
