// The target of a copy, created the same way in both directions and by both
// copies (the mapped one and the backup-stream one), and what becomes of it
// when the copy completes or does not.
//
// An existing file is never opened for overwriting: on NTFS that deletes its
// named streams (CREATE_ALWAYS and the other overwrite dispositions), and a
// copy that then fails has already destroyed the old content. The bytes go
// into a new file beside it, which replaces it (ReplaceFileW) only once
// complete: the file keeps its named streams, security, object identifier,
// creation time and attributes, and a copy that fails or is aborted leaves it
// exactly as it was. A file with several names (hard links) is the exception:
// a replacement would leave the other names with the old content, so it is
// written in place (TRUNCATE_EXISTING keeps its streams and its names); a
// copy into it that fails leaves it empty, never half full.
#pragma once

#include "plugin/text.h"
#include "plugin/win_owner.h"

struct CopyTarget {
    WString Target;   // what the copy is to become
    WString Written;  // where the bytes go: Target, or a new file beside it
    UniqueFile File;  // open on Written for reading and writing, unshared
    // Target was there before and is written in place (a stream, a file with
    // several names): an incomplete copy empties rather than deletes it.
    bool InPlace = false;

    bool Replacing() const { return Written != Target; }
};

// Creates the target for reading and writing, unshared, with the
// sequential-scan hint. A new file beside an existing file has the existing
// file's attributes but read-only (a hidden or system file stays so). The
// copy of an encrypted file's content is encrypted (as CopyFile does it): a
// target that a file system cannot encrypt fails with ERROR_ENCRYPTION_FAILED
// rather than holding the clear text. File is invalid on failure, with the
// system's error as the last error; nothing is left behind then.
CopyTarget CreateCopyTarget(const WString& targetPath, bool encrypted = false);

// Makes a complete copy the target, after every view and mapping of it is
// released. With durable the bytes are on the disk first (FlushFileBuffers),
// which a move needs before it deletes its source: pages written through a
// view reach the disk lazily, and a removed device loses what did not. Then a
// new file replaces the existing one. False with the system's error; the
// target is then as an incomplete copy leaves it.
bool CommitCopyTarget(CopyTarget& target, bool durable);

// A target that did not receive every byte must not look complete: a new file
// beside an existing one is deleted (the existing one untouched); a target
// the copy made (a new file, or any stream) is deleted; a file written in
// place is emptied. Closes the file first; runs after every view and mapping
// of it is released; keeps the caller's last error.
void DiscardIncompleteTarget(CopyTarget& target);
