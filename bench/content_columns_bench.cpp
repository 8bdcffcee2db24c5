// What a custom column costs against winsim: every FsContentGetValueW call
// opens the file and walks all its stream headers, whatever field is asked
// for, so the cost grows with the number of streams and not with the field.
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

BENCHMARK(BM_StreamsCount)->Arg(0)->Arg(2)->Arg(100);
BENCHMARK(BM_AllStreamsOneLine)->Arg(2)->Arg(100);
BENCHMARK(BM_Type)->Arg(2)->Arg(100);

}  // namespace
