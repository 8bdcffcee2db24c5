// The host encloses every operation (a keystroke's calls: F5, F6, F8, ...) in
// FsStatusInfo start and end, on the thread that runs it. The one thing the
// plugin keeps from one call to the next is this record of the operation
// open on each thread, so that a whole file's outcome is one outcome: a file
// moved or deleted from the folder above it goes as a whole or not at all,
// and a failure is told once per operation. Every export works as before
// when no operation is open (a host that never calls FsStatusInfo).
#pragma once

#include <functional>
#include <set>

#include "plugin/text.h"

struct HostOperation {
    int Kind = 0;
    // The plugin folder the user stood in, without a trailing backslash.
    WString RemoteDir;
    // A message was shown in this operation: later failures are told by
    // their results alone (the host asks about each one itself).
    bool MessageShown = false;
    // The data streams copied complete in this operation (StreamKey).
    std::set<WString> CopiedComplete;
};

// FsStatusInfo's start and end on the calling thread.
void BeginOperation(const WString& remoteDir, int kind);
void EndOperation();

// Runs fn with the operation open on this thread, if any (false otherwise);
// the record is the calling thread's own, so nothing else touches it.
bool WithOperation(const std::function<void(HostOperation&)>& fn);

// Whether a stream entry of the plugin folder `owner` (a file's, or a
// directory's own) goes with its folder: an operation is open and the user
// did not stand in that folder, so the folder itself is removed at the end
// (a file as a whole, with every name it has).
bool EntryGoesWithItsFolder(WStringView owner);
// Whether the operation open on this thread moves files out (its folders
// are removed by the host at the end of a move).
bool OperationMovesOut();

// A data stream of a file or directory as the operation records it: the
// owner's local path and the stream's name ("" for the unnamed data stream).
WString StreamKey(WStringView ownerLocal, WStringView streamName);
