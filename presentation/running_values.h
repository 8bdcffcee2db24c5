// The column values being computed in the host's background call, by file:
// when the user leaves the folder the host asks the plugin to stop them
// (FsContentStopGetValue), and a stopped walk ends at its next stream.
#pragma once

#include <atomic>

#include "plugin/text.h"

// Registers one computation of a value of `fileName` (the host's plugin path)
// for as long as it lives; its flag is set when the host stops that file.
class RunningValue {
public:
    explicit RunningValue(WString fileName);
    ~RunningValue();
    RunningValue(const RunningValue&) = delete;
    RunningValue& operator=(const RunningValue&) = delete;

    const std::atomic<bool>& StopFlag() const { return stop_; }

private:
    WString key_;
    std::atomic<bool> stop_{false};
};

// Sets the flag of every computation of `fileName` running now; a later one
// for the same file starts afresh.
void StopRunningValues(const WString& fileName);
