// What stream enumeration and the host's listings cost against winsim.
//
// Streams: a file whose data stream is 5 GiB against an empty one and a
// 1-byte one. The counters are per enumeration (first, next until the end,
// close): the platform calls made and the bytes BackupRead delivered. The
// bytes are equal; the 5 GiB stream costs the calls of the 1-byte one, and
// one seek more than the empty one, whose body needs no skipping.
//
// Listing: a directory of 100,000 entries through FsFindFirstW/FsFindNextW,
// beside a bare FindFirstFileW/FindNextFileW loop over the same directory.
// winsim's own bookkeeping (call log, handle table) is part of every figure;
// the ratio matters, not the absolute values.
#include <benchmark/benchmark.h>
#include <winsim/winsim.h>

#include <string>

#include "listing/listing.h"
#include "plugin/plugin_state.h"
#include "streams/stream_finder.h"

namespace {

constexpr int kEntries = 100'000;

void LoadPlugin()
{
    OnProcessDetach();
    OnProcessAttach(winsim::PluginModule());
    FsInitW(1, nullptr, nullptr, nullptr);
}

void BM_EnumerateStreams(benchmark::State& state)
{
    const std::uint64_t sizes[] = {0, 1, 5ull << 30};
    const std::uint64_t size = sizes[state.range(0)];
    winsim::Reset();
    winsim::AddVolume(u'C');
    winsim::AddPatternFile(u"C:\\file", size);
    winsim::AddStream(u"C:\\file", u"Zone.Identifier", "[ZoneTransfer]\r\nZoneId=3\r\n");
    LoadPlugin();
    const WString path = u"\\\\?\\C:\\file";
    std::size_t streams = 0;
    for (auto _ : state) {
        TFindStreamData d{};
        streams = 0;
        if (StreamFindFirst(path, TStreamIds{}, d)) {
            do
                ++streams;
            while (StreamFindNext(d));
            StreamFindClose(d);
        }
    }
    // One enumeration, counted outside the timing.
    winsim::ClearCallLog();
    winsim::ResetBackupCounters();
    TFindStreamData d{};
    if (StreamFindFirst(path, TStreamIds{}, d)) {
        while (StreamFindNext(d)) {
        }
        StreamFindClose(d);
    }
    state.counters["streams"] = static_cast<double>(streams);
    state.counters["BackupRead"] = static_cast<double>(winsim::CountCalls("BackupRead"));
    state.counters["BackupSeek"] = static_cast<double>(winsim::CountCalls("BackupSeek"));
    state.counters["bytesRead"] = static_cast<double>(winsim::BackupBytesRead());
    state.counters["allCalls"] = static_cast<double>(winsim::CallLog().size());
    const char* labels[] = {"empty data stream", "1-byte data stream", "5 GiB data stream"};
    state.SetLabel(labels[state.range(0)]);
}
BENCHMARK(BM_EnumerateStreams)->Arg(0)->Arg(1)->Arg(2);

std::u16string Number(int i)
{
    std::u16string n;
    for (char c : std::to_string(i))
        n += static_cast<char16_t>(c);
    return n;
}

// Built once and shared by both listing benchmarks (the benchmark library
// calls each function more than once).
void MakeBigDirectory()
{
    static bool built = false;
    if (built)
        return;
    built = true;
    winsim::Reset();
    winsim::AddVolume(u'C');
    winsim::AddDirectory(u"C:\\big");
    for (int i = 0; i < kEntries; ++i)
        winsim::AddFile(u"C:\\big\\file" + Number(i));
    LoadPlugin();
}

void BM_ListDirectoryThroughThePlugin(benchmark::State& state)
{
    MakeBigDirectory();
    std::u16string path = u"\\C:\\big";
    std::int64_t entries = 0;
    for (auto _ : state) {
        WIN32_FIND_DATAW f;
        HANDLE h = FsFindFirstW(path.data(), &f);
        std::int64_t n = 0;
        if (h != INVALID_HANDLE_VALUE) {
            do
                ++n;
            while (FsFindNextW(h, &f));
            FsFindClose(h);
        }
        entries += n;
        state.PauseTiming();
        winsim::ClearCallLog();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(entries);
}
BENCHMARK(BM_ListDirectoryThroughThePlugin)->Unit(benchmark::kMillisecond);

void BM_ListDirectoryBareFindFirstFile(benchmark::State& state)
{
    MakeBigDirectory();
    std::int64_t entries = 0;
    for (auto _ : state) {
        WIN32_FIND_DATAW f;
        HANDLE h = FindFirstFileW(u"C:\\big\\*.*", &f);
        std::int64_t n = 0;
        if (h != INVALID_HANDLE_VALUE) {
            do
                ++n;
            while (FindNextFileW(h, &f));
            FindClose(h);
        }
        entries += n;
        state.PauseTiming();
        winsim::ClearCallLog();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(entries);
}
BENCHMARK(BM_ListDirectoryBareFindFirstFile)->Unit(benchmark::kMillisecond);

}  // namespace
