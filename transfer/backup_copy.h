// Copying out a special stream (the security descriptor, EA data, reparse data
// and the other kinds without a name of their own): no file call opens those
// by name, so the body is read as the backup API gives it, in bounded pieces,
// and written to an ordinary local file.
#pragma once

#include "plugin/text.h"
#include "streams/stream_ids.h"
#include "transfer/mapped_copy.h"

// The piece read and written at a time, and reported to the host after.
constexpr DWORD BackupCopyPieceSize = 65536;

// Copies the body of the first stream of `kind` without a name of its own in
// the backup sequence of filePath to targetPath, with a progress report after
// every piece. The outcomes are the mapped copy's: the file cannot be opened
// or has no such stream (coSourceOpenFailed), a read fails (coSourceViewFailed),
// the target cannot be created (coTargetCreateFailed) or written
// (coTargetViewFailed), the host aborts (coAborted). A target that did not
// receive every byte is discarded as the mapped copy does it; with durable it
// is on the disk before the copy counts as complete (coTargetCommitFailed).
TCopyOutcome BackupStreamCopy(const WString& filePath, TStreamId kind, const WString& targetPath,
                              const WCHAR* progressSourceName, const WCHAR* progressTargetName,
                              bool durable = false);
