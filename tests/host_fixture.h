// The host's side for tests: plays the file manager around the plugin. Every
// test starts from a fresh winsim world with volume C: and the plugin freshly
// loaded; at the end it checks that nothing was left open.
#pragma once

#include <gtest/gtest.h>
#include <winsim/winsim.h>

#include <functional>
#include <string>
#include <vector>

#include "plugin/host_interface.h"
#include "plugin/plugin_state.h"

struct ProgressReport {
    std::u16string source;
    std::u16string target;
    int percent;
};

struct HostRecorder {
    std::vector<std::u16string> messages;  // RT_MsgOK texts, in order
    std::vector<int> messagePluginNrs;
    std::vector<ProgressReport> progress;
    // Answers a progress report; the default continues (0). 1 aborts.
    std::function<int(const ProgressReport&)> answer;
    int otherRequests = 0;  // requests that were not RT_MsgOK
    // Callbacks the plugin made while it had the WOW64 file-system
    // redirector off: the host's own code (its progress window, its message
    // box) must run as the host set it up.
    int callbacksWithRedirectionOff = 0;
};

HostRecorder& Host();

int WINAPI HostProgress(int PluginNr, WCHAR* SourceName, WCHAR* TargetName, int PercentDone);
void WINAPI HostLog(int PluginNr, int MsgType, WCHAR* LogString);
BOOL WINAPI HostRequest(int PluginNr, int RequestType, WCHAR* CustomTitle, WCHAR* CustomText, WCHAR* ReturnedText,
                        int maxlen);

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // FsInitW as the host calls it, with the recording callbacks.
    int InitPlugin(int pluginNr = 7);
};

// The settings in force, changed for a test as a reload publishes them: the
// filter, or one text, replaced in a copy of the current snapshot.
void SetStreamFilter(const TStreamIds& filter);
void SetMessageText(Msg slot, const WString& text);
// The settings in force, as a call that starts now sees them.
const TStreamIds StreamFilterInForce();

// Test output: UTF-16 as UTF-8.
std::string U8(std::u16string_view s);
// ASCII text as UTF-16.
std::u16string U16(std::string_view ascii);
