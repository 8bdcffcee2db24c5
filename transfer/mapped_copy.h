// The mapped copy engine: copies the whole content of a file or stream into
// another through two file mappings, one 640 KiB view of each at a time, with
// a progress report to the host after every view. It shows nothing: the
// callers turn its outcome into messages and results.
#pragma once

#include <cstdint>
#include <stdexcept>

#include "plugin/text.h"

// Ten times the 64 KiB allocation granularity: every view offset is a
// multiple of the granularity, as MapViewOfFile demands.
constexpr std::int64_t CopyChunkSize = 655360;

enum TCopyOutcome {
    coOk,
    coSourceOpenFailed,
    coSourceSizeFailed,
    coSourceMappingFailed,
    coTargetCreateFailed,
    // The source is encrypted and the target's file system cannot encrypt:
    // no clear-text copy is made.
    coTargetEncryptionFailed,
    coTargetMappingFailed,
    coSourceViewFailed,
    coTargetViewFailed,
    // Every byte was copied, but could not be made the target: written to the
    // disk (a move's durability) or put in the existing file's place.
    coTargetCommitFailed,
    coAborted,
};

// Where the last error is cleared: right before the engine calls whose
// failure the caller reports with the system's text, and before no other.
struct LastErrorClearing {
    bool beforeSourceMapping = false;
    bool beforeTargetCreate = false;
    bool beforeTargetMapping = false;
};

struct MappedCopyOptions {
    LastErrorClearing clearing;
    // Every view and the target file flushed to the disk before the copy
    // counts as complete (a move deletes its source after it).
    bool durable = false;
    // The source opened as the listing opened it: with backup semantics (an
    // elevated user reads past its ACL) and shared with writers and deleters
    // (a log or database another program writes).
    bool sourceAsListed = false;
};

// Raised when a page of a view could not be read or written while bytes
// moved; both views and both mappings are released on the way out.
class CopyFault : public std::runtime_error {
public:
    CopyFault() : std::runtime_error("a page of a mapped view could not be read or written") {}
};

// The bytes that count as one percent: size div 100, at least 1.
std::int64_t OnePercent(std::int64_t size);

// The percentage reported after `copied` bytes: copied div OnePercent, at most 100.
int PercentDone(std::int64_t copied, std::int64_t onePercent);

// Copies source to target (local or stream paths, made long-path inside). The
// target (CreateCopyTarget: an existing file is replaced only once the copy is
// complete) is given the source's length before the first byte moves. A copy
// that fails or is aborted after the target was created does not leave it
// looking complete (DiscardIncompleteTarget). Progress goes to the host under
// the two given names.
TCopyOutcome MappedCopy(const WString& sourcePath, const WString& targetPath, const WCHAR* progressSourceName,
                        const WCHAR* progressTargetName, const MappedCopyOptions& options);
