// The stream walk over any sequence of backup headers winsim can be made to
// deliver: any identifiers, attributes, names, sizes up to 2^63 - 1 and name
// lengths that disagree with what follows, any filter, and a failure of any
// one platform call on the way. Beyond not crashing: a walk never reports
// more streams than there are headers, every stream it reports passes the
// filter, and it leaves nothing open.
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_support.h"
#include "streams/stream_finder.h"

namespace {

std::u16string ConsumeName(FuzzedDataProvider& in, std::size_t maxUnits)
{
    std::u16string s;
    std::size_t n = in.ConsumeIntegralInRange<std::size_t>(0, maxUnits);
    for (std::size_t i = 0; i < n; ++i)
        s += static_cast<char16_t>(in.ConsumeIntegral<std::uint16_t>());
    return s;
}

std::uint64_t ConsumeSize(FuzzedDataProvider& in)
{
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
        return in.ConsumeIntegralInRange<std::uint64_t>(0, 300);
    case 1:
        return in.ConsumeIntegralInRange<std::uint64_t>(0, 1ull << 20);
    // No volume holds a stream of 2^63 bytes or more: the header's size is
    // a signed 64-bit number.
    case 2:
        return in.ConsumeIntegralInRange<std::uint64_t>(0, (1ull << 63) - 1);
    default:
        return (1ull << 63) - 1 - in.ConsumeIntegralInRange<std::uint64_t>(0, 70000);
    }
}

// One world, built from the input; the number of backup headers it makes.
std::size_t BuildWorld(FuzzedDataProvider& in, std::u16string& file)
{
    fuzz::FreshWorld();
    file = in.ConsumeBool() ? u"C:\\f.txt" : u"C:\\dir";
    // The security descriptor comes with every handle that may read it.
    std::size_t headers = 1;
    if (file == u"C:\\f.txt") {
        winsim::AddFile(file, std::string(in.ConsumeIntegralInRange<std::size_t>(0, 200), 'x'));
        ++headers;  // the unnamed data stream, also when empty
    } else {
        winsim::AddDirectory(file);
    }
    if (in.ConsumeBool()) {
        winsim::SetEaData(file, in.ConsumeIntegralInRange<std::uint64_t>(1, 5000));
        ++headers;
    }
    const int named = in.ConsumeIntegralInRange<int>(0, 3);
    for (int i = 0; i < named; ++i) {
        winsim::AddStream(file, u"s" + std::u16string(1, static_cast<char16_t>(u'a' + i)),
                          std::string(in.ConsumeIntegralInRange<std::size_t>(0, 100), 'y'));
        ++headers;
    }
    const int extras = in.ConsumeIntegralInRange<int>(0, 6);
    for (int i = 0; i < extras; ++i) {
        winsim::BackupStreamSpec entry;
        entry.id = in.ConsumeBool() ? in.ConsumeIntegralInRange<DWORD>(0, 12) : in.ConsumeIntegral<DWORD>();
        entry.attributes = in.ConsumeIntegral<DWORD>();
        entry.name = ConsumeName(in, 40);
        entry.size = ConsumeSize(in);
        if (in.ConsumeBool()) {
            // A name length far beyond what follows costs a buffer of that
            // size before the short read is noticed; 64 KiB keeps runs fast.
            entry.nameBytes = in.ConsumeBool() ? in.ConsumeIntegralInRange<DWORD>(0, 100)
                                              : in.ConsumeIntegralInRange<DWORD>(0, 65536);
        }
        winsim::AddBackupStream(file, entry);
        ++headers;
    }
    return headers;
}

// Walks the whole sequence and closes the cursor; checks every step.
void Walk(const std::u16string& file, TStreamIds filter, std::size_t headers, const std::u16string& input)
{
    std::size_t reported = 0;
    TFindStreamData cursor{};
    bool more = StreamFindFirst(WString(file.begin(), file.end()), filter, cursor);
    while (more) {
        ++reported;
        if (reported > headers)
            fuzz::Fail("a walk never reports more streams than headers", input);
        if (!filter.Empty() && !filter.Contains(cursor.StreamID))
            fuzz::Fail("every stream reported passes the filter", input, cursor.Name);
        if (cursor.Size < 0)
            fuzz::Fail("a stream's size is never negative", input, cursor.Name);
        more = StreamFindNext(cursor);
    }
    StreamFindClose(cursor);
}

// Release calls (the final BackupRead with bAbort TRUE, CloseHandle,
// HeapFree) are not failed: on Windows they do not fail for their owner.
bool IsRelease(const winsim::Call& call)
{
    return call.function == "CloseHandle" || call.function == "HeapFree" || call.function == "LocalFree" ||
           (call.function == "BackupRead" && call.argument == u"abort");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The world is built twice from the same bytes: once for a clean walk
    // whose call log gives the calls that can fail, once for the walk with
    // one of them failing.
    std::u16string file;
    FuzzedDataProvider first(data, size);
    const std::size_t headers = BuildWorld(first, file);
    const TStreamIds filter = TStreamIds::FromBits(first.ConsumeIntegral<std::uint16_t>());
    const std::size_t faultChoice = first.ConsumeIntegral<std::uint16_t>();
    std::u16string input = file + u" with ";
    for (char c : std::to_string(headers))
        input += static_cast<char16_t>(c);
    input += u" headers";
    winsim::ClearCallLog();
    Walk(file, filter, headers, input);
    const std::vector<winsim::Call> log = winsim::CallLog();
    std::vector<std::size_t> eligible;
    for (std::size_t i = 0; i < log.size(); ++i)
        if (!IsRelease(log[i]))
            eligible.push_back(i);
    fuzz::EndWorld(input);
    if (eligible.empty() || faultChoice == 0)
        return 0;

    // The chosen call by function name and occurrence, as FailCall counts.
    const std::size_t index = eligible[(faultChoice - 1) % eligible.size()];
    const winsim::Call& fault = log[index];
    int occurrence = 0;
    for (std::size_t i = 0; i <= index; ++i)
        occurrence += log[i].function == fault.function;
    FuzzedDataProvider second(data, size);
    BuildWorld(second, file);
    winsim::ClearCallLog();
    winsim::FailCall(fault.function, faultChoice % 2 ? ERROR_ACCESS_DENIED : ERROR_NOT_ENOUGH_MEMORY, occurrence);
    // A function that cannot be found (BackupSeek) raises, as it does for
    // the listing, whose export catches it at its boundary.
    try {
        Walk(file, filter, headers,
             input + u", " + std::u16string(fault.function.begin(), fault.function.end()) + u" failing");
    } catch (const std::exception&) {
    }
    fuzz::EndWorld(input);
    return 0;
}
