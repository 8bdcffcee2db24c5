// The mapped copy engine against a plain read/write copy loop of the same
// bytes, both through winsim, in one run; and the memory of the 5 GiB copy.
// winsim's own costs (generating the source's pattern bytes, writing a view
// back) are part of both figures; the ratio and the memory matter.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <winsim/winsim.h>

#include <vector>

#include "plugin/plugin_state.h"
#include "plugin/win_owner.h"
#include "transfer/mapped_copy.h"

namespace {

constexpr std::uint64_t kGiB = 1ull << 30;

void MakeWorld(std::uint64_t size)
{
    winsim::Reset();
    winsim::AddVolume(u'C');
    winsim::AddPatternFile(u"C:\\source.bin", size, 7);
    OnProcessDetach();
    OnProcessAttach(winsim::PluginModule());
}

long PeakResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void MappedCopyOneGiB(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        MakeWorld(kGiB);
        state.ResumeTiming();
        TCopyOutcome outcome = MappedCopy(u"C:\\source.bin", u"C:\\target.bin", u"s", u"t", {});
        if (outcome != coOk)
            state.SkipWithError("the copy failed");
        state.counters["target_resident_KiB"] = static_cast<double>(winsim::ResidentBytes(u"C:\\target.bin")) / 1024;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kGiB));
}

// What a copy without mappings costs: ReadFile and WriteFile of 640 KiB at a
// time through one buffer of the caller's.
void ReadWriteLoopOneGiB(benchmark::State& state)
{
    std::vector<char> buffer(static_cast<std::size_t>(CopyChunkSize));
    for (auto _ : state) {
        state.PauseTiming();
        MakeWorld(kGiB);
        state.ResumeTiming();
        UniqueFile source(CreateFileW(u"C:\\source.bin", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        UniqueFile target(CreateFileW(u"C:\\target.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        DWORD read = 0, written = 0;
        while (ReadFile(source.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) && read > 0)
            WriteFile(target.Get(), buffer.data(), read, &written, nullptr);
        state.PauseTiming();
        state.counters["target_resident_KiB"] = static_cast<double>(winsim::ResidentBytes(u"C:\\target.bin")) / 1024;
        source.Reset();
        target.Reset();
        winsim::ClearCallLog();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kGiB));
}

// 8,192 views of each file; never more than two mapped at once, and the
// target's pages cost nothing (they are recorded as copies of the source's).
void MappedCopyFiveGiBMemory(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        MakeWorld(5 * kGiB);
        long before = PeakResidentKiB();
        state.ResumeTiming();
        TCopyOutcome outcome = MappedCopy(u"C:\\source.bin", u"C:\\target.bin", u"s", u"t", {});
        state.PauseTiming();
        if (outcome != coOk)
            state.SkipWithError("the copy failed");
        state.counters["peak_views_KiB"] = static_cast<double>(winsim::PeakMappedViewBytes()) / 1024;
        state.counters["target_resident_KiB"] = static_cast<double>(winsim::ResidentBytes(u"C:\\target.bin")) / 1024;
        state.counters["process_peak_growth_KiB"] = static_cast<double>(PeakResidentKiB() - before);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * 5 * kGiB));
}

}  // namespace

BENCHMARK(MappedCopyOneGiB)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(ReadWriteLoopOneGiB)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(MappedCopyFiveGiBMemory)->Unit(benchmark::kMillisecond)->Iterations(1);
