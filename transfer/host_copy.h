// A copy as the host sees it, the same for copying out and copying in:
// progress 0, the mapped copy engine, progress 100. Each direction answers
// the engine's failures from a table of its own.
#pragma once

#include <functional>
#include <optional>

#include "config/messages.h"
#include "transfer/mapped_copy.h"

// What the host hears for an outcome of the engine: the message worth showing
// with the system's text (none for most), and the result. A failure is never
// answered FS_FILE_OK, message or not: the host trusts that result completely
// and deletes a move's source or an edit's temporary copy after it.
struct OutcomeAnswer {
    std::optional<Msg> message;
    int result;
};

using OutcomeTable = OutcomeAnswer (*)(TCopyOutcome);

// One run of a copy engine (the mapped one, or the backup-stream one), which
// reports its own progress between the two reports of the host copy.
using CopyEngine = std::function<TCopyOutcome()>;

// Runs the copy between the two reports. Nothing when the copy is complete
// and the host went on; else the result for the host: FS_FILE_USERABORT when
// it aborted at a report, or the table's answer to the engine's failure
// (after its message with the system's text where the answer has one).
// clearLastErrorFirst: the last error is cleared right before the engine runs.
std::optional<int> CopyForHost(const CopyEngine& copy, const WCHAR* progressSource, const WCHAR* progressTarget,
                               bool clearLastErrorFirst, OutcomeTable answerFor);
