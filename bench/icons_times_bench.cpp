// What the icon and time exports cost against winsim: the host's first icon
// call (answered at once, without the path) against the background call that
// extracts the icon, and a time change that opens the file once per time.
// winsim's own bookkeeping (call log, handle table) is part of every figure;
// the ratios matter, not the absolute values.
#include <benchmark/benchmark.h>
#include <winsim/winsim.h>

#include <string>

#include "fileops/attributes_times.h"
#include "plugin/host_interface.h"
#include "plugin/plugin_state.h"
#include "presentation/icons.h"

namespace {

void MakeWorld()
{
    winsim::Reset();
    winsim::AddVolume(u'C');
    winsim::AddDirectory(u"C:\\plugins");
    winsim::AddIconResource(u"FILESTREAM", {16, 32});
    winsim::AddFile(u"C:\\d\\f.txt", "body");
    winsim::AddStream(u"C:\\d\\f.txt", u"s", "stream");
    OnProcessDetach();
    OnProcessAttach(winsim::PluginModule());
    FsInitW(1, nullptr, nullptr, nullptr);
}

// The call log grows with every call; it is emptied outside the timing.
void TrimLog(benchmark::State& state, std::size_t& calls)
{
    if (++calls % 4096 == 0) {
        state.PauseTiming();
        winsim::ClearCallLog();
        state.ResumeTiming();
    }
}

void Extract(benchmark::State& state, const char16_t* remote, int flags)
{
    MakeWorld();
    std::u16string name(remote);
    std::size_t calls = 0;
    for (auto _ : state) {
        HICON icon = nullptr;
        benchmark::DoNotOptimize(FsExtractCustomIconW(name.data(), flags, &icon));
        if (icon)
            DestroyIcon(icon);
        TrimLog(state, calls);
    }
}

void BM_IconFirstCall(benchmark::State& state)
{
    Extract(state, u"\\C:\\d\\f.txt\\:s:$DATA", FS_ICONFLAG_SMALL);
}
BENCHMARK(BM_IconFirstCall);

void BM_IconBackgroundStream(benchmark::State& state)
{
    Extract(state, u"\\C:\\d\\f.txt\\:s:$DATA", FS_ICONFLAG_SMALL | FS_ICONFLAG_BACKGROUND);
}
BENCHMARK(BM_IconBackgroundStream);

void BM_IconBackgroundFile(benchmark::State& state)
{
    Extract(state, u"\\C:\\d\\f.txt", FS_ICONFLAG_SMALL | FS_ICONFLAG_BACKGROUND);
}
BENCHMARK(BM_IconBackgroundFile);

void BM_SetAllThreeTimes(benchmark::State& state)
{
    MakeWorld();
    std::u16string name(u"\\C:\\d\\f.txt");
    FILETIME t{0x12345678, 0x01D70000};
    std::size_t calls = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FsSetTimeW(name.data(), &t, &t, &t));
        TrimLog(state, calls);
    }
}
BENCHMARK(BM_SetAllThreeTimes);

}  // namespace
