// The target of a copy, created the same way in both directions and by both
// copies (the mapped one and the backup-stream one), and what is done with it
// when the copy does not complete.
#pragma once

#include "plugin/text.h"
#include "plugin/win_owner.h"

struct CopyTarget {
    UniqueFile File;
    // The target was there before (CREATE_ALWAYS answered ERROR_ALREADY_EXISTS).
    bool Existed = false;
};

// Creates or truncates the target for reading and writing, unshared, with the
// sequential-scan hint. An existing hidden or system file keeps those bits:
// Windows refuses to overwrite it (ERROR_ACCESS_DENIED) with FILE_ATTRIBUTE_NORMAL.
// The file is invalid on failure, with the system's error as the last error.
CopyTarget CreateCopyTarget(const WString& targetPath);

// A target that did not receive every byte must not look complete: one the
// copy made (a new file, or any stream) is deleted; an existing file's own data
// is emptied, so that the file keeps its named streams, security and
// attributes. Runs after every view, mapping and handle of the target is
// released; keeps the caller's last error.
void DiscardIncompleteTarget(const WString& targetPath, bool existed);
