// The fault sweep: an export scenario is run once to record the platform
// calls it makes (winsim's call log), then once more for every one of those
// calls, each time from a fresh world with exactly that call failing. Every
// run must end in a result the plugin's design allows, show no more than the
// allowed messages, and leave nothing open (handles, find handles, mappings,
// views, backup-read contexts, heap blocks, icons).
#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "host_fixture.h"

struct SweepScenario {
    std::string name;
    // The world and the plugin before the call: files, FsInitW. Its platform
    // calls are not swept (FsInitW has scenarios of its own).
    std::function<void()> arrange;
    // The export call or calls, as the host makes them; the export's result.
    std::function<long long()> act;
    // Which results the design allows, with and without a fault.
    std::vector<long long> allowed;
    std::size_t maxMessages = 0;
    // Further properties of the outcome ("the source is untouched"), given
    // the call that failed (null in the clean run): an empty text when they
    // hold, else what is wrong.
    std::function<std::string(long long result, const winsim::Call* fault)> verify;
};

struct SweepResult {
    std::size_t callsSwept = 0;
    std::set<std::string> functions;  // the functions among them
    std::vector<std::string> failures;  // one line per broken run
};

// The world every run starts from: volume C:, the plugin's folder, the host
// recorder cleared, the plugin loaded but not initialised.
void FreshSweepWorld();

// Runs the scenario clean and then with each of its platform calls failing.
SweepResult RunFaultSweep(const SweepScenario& scenario);

// The error an injected fault reports for a function: what the system says
// in a plausible failure of that call.
DWORD SweepErrorFor(const std::string& function);

// The scenarios' results, for tables.
inline constexpr long long kTrue = -1;  // the plugin's TRUE: all bits set
inline constexpr long long kFalse = 0;

// Runs each scenario as a test step and reports the calls swept.
void ExpectSweepsClean(const std::vector<SweepScenario>& scenarios);
