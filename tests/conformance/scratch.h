// The platform side of the conformance suite: where its files live and which
// platform answers. The build picks the implementation: scratch_winsim.cpp
// (a world winsim builds for each test) or scratch_windows.cpp (a folder under
// C:\scratch of the real, or Wine's, Win32).
#pragma once

#include <windows.h>

#include <string>

namespace conformance {

using WString = std::basic_string<WCHAR>;

// A fresh, empty folder for the running test: a local path without a trailing
// backslash. Every file a test makes lives below it.
WString FreshScratchFolder();

// True when the calls are answered by Wine (its expectations may be marked as
// known differences from Windows); false on Windows and on winsim.
bool OnWine();

// "winsim", "Wine 8.0" or "Windows", for the test output.
std::string PlatformName();

}  // namespace conformance
