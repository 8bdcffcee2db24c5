#include "host_fixture.h"

HostRecorder& Host()
{
    static HostRecorder recorder;
    return recorder;
}

int WINAPI HostProgress(int, WCHAR* SourceName, WCHAR* TargetName, int PercentDone)
{
    ProgressReport r{SourceName ? SourceName : u"", TargetName ? TargetName : u"", PercentDone};
    Host().callbacksWithRedirectionOff += winsim::RedirectionDisabled();
    Host().progress.push_back(r);
    return Host().answer ? Host().answer(r) : 0;
}

void WINAPI HostLog(int, int, WCHAR*)
{
    ADD_FAILURE() << "the plugin writes no log, but LogProc was called";
}

BOOL WINAPI HostRequest(int PluginNr, int RequestType, WCHAR* CustomTitle, WCHAR* CustomText, WCHAR* ReturnedText,
                        int maxlen)
{
    Host().callbacksWithRedirectionOff += winsim::RedirectionDisabled();
    if (RequestType != RT_MsgOK) {
        ++Host().otherRequests;
        return FALSE;
    }
    EXPECT_EQ(CustomTitle, nullptr) << "a message box uses the host's own title";
    EXPECT_EQ(ReturnedText, nullptr);
    EXPECT_EQ(maxlen, 0);
    Host().messages.push_back(CustomText ? CustomText : u"");
    Host().messagePluginNrs.push_back(PluginNr);
    return TRUE;
}

void PluginTest::SetUp()
{
    winsim::Reset();
    winsim::AddVolume(u'C');
    winsim::AddDirectory(u"C:\\plugins");
    Host() = HostRecorder{};
    OnProcessAttach(winsim::PluginModule());
}

void PluginTest::TearDown()
{
    EXPECT_EQ(Host().callbacksWithRedirectionOff, 0) << "the host's callbacks ran with the redirector off";
    Host().callbacksWithRedirectionOff = 0;
    OnProcessDetach();
    std::string all;
    for (const auto& leak : winsim::Leaks())
        all += "\n  " + leak;
    EXPECT_TRUE(all.empty()) << "left behind:" << all;
}

int PluginTest::InitPlugin(int pluginNr)
{
    return FsInitW(pluginNr, HostProgress, HostLog, HostRequest);
}

std::string U8(std::u16string_view s)
{
    return winsim::Narrow(s);
}

std::u16string U16(std::string_view ascii)
{
    return std::u16string(ascii.begin(), ascii.end());
}

void SetStreamFilter(const TStreamIds& filter)
{
    SettingsSnapshot next = *CurrentSettings();
    next.StreamFilter = filter;
    PublishSettings(std::move(next));
}

void SetMessageText(Msg slot, const WString& text)
{
    SettingsSnapshot next = *CurrentSettings();
    next.Messages[static_cast<std::size_t>(slot)] = text;
    PublishSettings(std::move(next));
}

const TStreamIds StreamFilterInForce()
{
    return CurrentSettings()->StreamFilter;
}
