// What a custom column costs against winsim: every stream field opens the
// file and walks all its stream headers, so the cost grows with the number of
// streams and not with the field; "Type" looks at attributes only. From the
// window thread (CONTENT_DELAYIFSLOW) the walking fields answer ft_delayed.
// winsim's own bookkeeping is part of every figure; the ratios matter.
#include <benchmark/benchmark.h>
#include <winsim/winsim.h>

#include <string>

#include "plugin/host_interface.h"
#include "plugin/plugin_state.h"
#include "presentation/content_exports.h"

namespace {

void MakeWorld(int namedStreams)
{
    winsim::Reset();
    winsim::AddVolume(u'C');
    winsim::AddDirectory(u"C:\\plugins");
    winsim::AddFile(u"C:\\d\\f.txt", "body");
    for (int i = 0; i < namedStreams; ++i) {
        std::string n = "stream" + std::to_string(i);
        winsim::AddStream(u"C:\\d\\f.txt", std::u16string(n.begin(), n.end()), "content of the stream");
    }
    OnProcessDetach();
    OnProcessAttach(winsim::PluginModule());
    FsInitW(1, nullptr, nullptr, nullptr);
}

void ColumnValue(benchmark::State& state, int field)
{
    MakeWorld(static_cast<int>(state.range(0)));
    std::u16string name = u"\\C:\\d\\f.txt";
    WCHAR buffer[1024];
    std::size_t calls = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FsContentGetValueW(name.data(), field, 0, buffer, sizeof(buffer), 0));
        if (++calls % 1024 == 0) {
            state.PauseTiming();
            winsim::ClearCallLog();
            state.ResumeTiming();
        }
    }
}

void BM_StreamsCount(benchmark::State& state) { ColumnValue(state, 1); }
void BM_AllStreamsOneLine(benchmark::State& state) { ColumnValue(state, 3); }
void BM_Type(benchmark::State& state) { ColumnValue(state, 4); }

// The default view's four columns of one file with three named streams, as
// the window thread pays for them: every field computed there (flags 0, as
// before the delay), or with CONTENT_DELAYIFSLOW (the fields that open the
// file answer ft_delayed at once); and the host's background call that then
// computes those three. Counters: the file's opens and headers read per file.
constexpr int kDefaultView[] = {4, 0, 1, 3};  // Type, Has Stream, Streams Count, All Streams One Line

void DefaultView(benchmark::State& state, int flags, bool delayedOnly)
{
    MakeWorld(3);
    std::u16string name = u"\\C:\\d\\f.txt";
    WCHAR buffer[1024];
    std::size_t files = 0;
    std::size_t opens = 0, headers = 0;
    winsim::ClearCallLog();
    for (auto _ : state) {
        for (int field : kDefaultView) {
            if (delayedOnly && field == 4)
                continue;  // "Type" is answered on the window thread
            benchmark::DoNotOptimize(FsContentGetValueW(name.data(), field, 0, buffer, sizeof(buffer), flags));
        }
        if (++files % 256 == 0) {
            state.PauseTiming();
            opens += winsim::CountCalls("CreateFileW");
            headers += winsim::CountCalls("BackupRead");
            winsim::ClearCallLog();
            state.ResumeTiming();
        }
    }
    opens += winsim::CountCalls("CreateFileW");
    headers += winsim::CountCalls("BackupRead");
    state.counters["opens/file"] = static_cast<double>(opens) / static_cast<double>(files);
    state.counters["BackupRead/file"] = static_cast<double>(headers) / static_cast<double>(files);
}

void BM_DefaultViewOnTheWindowThread(benchmark::State& state) { DefaultView(state, 0, false); }
void BM_DefaultViewDelayedOnTheWindowThread(benchmark::State& state) { DefaultView(state, CONTENT_DELAYIFSLOW, false); }
void BM_DefaultViewInTheBackground(benchmark::State& state) { DefaultView(state, 0, true); }
BENCHMARK(BM_DefaultViewOnTheWindowThread);
BENCHMARK(BM_DefaultViewDelayedOnTheWindowThread);
BENCHMARK(BM_DefaultViewInTheBackground);

BENCHMARK(BM_StreamsCount)->Arg(0)->Arg(2)->Arg(100);
BENCHMARK(BM_AllStreamsOneLine)->Arg(2)->Arg(100);
BENCHMARK(BM_Type)->Arg(2)->Arg(100);

}  // namespace
