// FsContentGetValueW as the host's columns call it, with any name, field,
// unit and buffer size, on files whose streams have any names. Beyond not
// crashing: nothing is written outside the buffer of maxlen bytes, a text
// value ends within it, the result is one the content interface knows, and
// nothing is left open.
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_support.h"
#include <algorithm>

#include "plugin/host_interface.h"
#include "presentation/content_exports.h"

namespace {

constexpr unsigned char kFill = 0xA5;
constexpr std::size_t kGuard = 32;

WString ConsumeText(FuzzedDataProvider& in, std::size_t maxUnits)
{
    WString s;
    std::size_t n = in.ConsumeIntegralInRange<std::size_t>(0, maxUnits);
    for (std::size_t i = 0; i < n; ++i)
        s += static_cast<WCHAR>(in.ConsumeBool() ? in.ConsumeIntegralInRange<int>('0', 'z')
                                                 : in.ConsumeIntegral<std::uint16_t>());
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    fuzz::FreshWorld();
    winsim::AddFile(u"C:\\d\\f.txt", "data");
    winsim::AddDirectory(u"C:\\d\\sub");
    const int streams = in.ConsumeIntegralInRange<int>(0, 5);
    for (int i = 0; i < streams; ++i) {
        WString name = ConsumeText(in, in.ConsumeBool() ? 8 : 255);
        // NTFS refuses these in a stream's name; winsim takes what it is given.
        std::u16string clean;
        for (WCHAR c : name)
            if (c != ':' && c != '\\' && c != '/' && c != 0)
                clean += c;
        if (!clean.empty())
            winsim::AddStream(i % 2 ? u"C:\\d\\f.txt" : u"C:\\d\\sub", clean, "s");
    }
    if (in.ConsumeBool())
        FsInitW(1, nullptr, nullptr, nullptr);

    static const char16_t* const kNames[] = {u"\\C:\\d\\f.txt", u"\\C:\\d\\sub", u"\\C:\\d", u"\\C:", u"\\",
                                            u"", u"\\C:\\d\\f.txt\\::$DATA", u"\\C:\\d\\missing"};
    WString name;
    if (in.ConsumeBool())
        name = kNames[in.ConsumeIntegralInRange<int>(0, 7)];
    else
        name = ConsumeText(in, in.ConsumeBool() ? 40 : 5000);
    const int field = in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(-2, 10) : in.ConsumeIntegral<int>();
    const int unit = in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(-2, 8) : in.ConsumeIntegral<int>();
    int maxlen = in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(-4, 64) : in.ConsumeIntegral<int>();
    // A buffer the size the host says, up to 1 MiB; beyond that the host's
    // claim is checked only for not being believed blindly.
    const std::size_t bytes = maxlen > 0 ? std::min<std::size_t>(static_cast<std::size_t>(maxlen), 1 << 20) : 0;
    if (maxlen > (1 << 20))
        maxlen = 1 << 20;
    std::vector<unsigned char> buffer(bytes + 2 * kGuard, kFill);
    const int flags = in.ConsumeIntegral<int>();
    const bool nullValue = in.ConsumeIntegralInRange<int>(0, 15) == 0;

    const std::u16string input(name.begin(), name.end());
    WString host = name;  // the host's own copy of the name
    int r = FsContentGetValueW(host.data(), field, unit, nullValue ? nullptr : buffer.data() + kGuard, maxlen, flags);

    for (std::size_t i = 0; i < kGuard; ++i)
        if (buffer[i] != kFill || buffer[kGuard + bytes + i] != kFill)
            fuzz::Fail("nothing is written outside the buffer of maxlen bytes", input);
    const int known[] = {ft_fieldempty, ft_fileerror,  ft_nosuchfield, ft_nomorefields,  ft_numeric_32,
                         ft_boolean,    ft_string,     ft_stringw,     ft_numeric_64,    ft_multiplechoice};
    if (std::find(std::begin(known), std::end(known), r) == std::end(known))
        fuzz::Fail("the result is a field type or a content error", input);
    if (r == ft_stringw && !nullValue && bytes >= 2) {
        bool terminated = false;
        for (std::size_t i = 0; i + 1 < bytes && !terminated; i += 2)
            terminated = buffer[kGuard + i] == 0 && buffer[kGuard + i + 1] == 0;
        if (!terminated)
            fuzz::Fail("a text value ends within the buffer", input);
    }
    if (r == ft_multiplechoice && !nullValue &&
        std::find(buffer.begin() + kGuard, buffer.begin() + kGuard + bytes, 0) == buffer.begin() + kGuard + bytes)
        fuzz::Fail("a choice ends within the buffer", input);
    fuzz::EndWorld(input);
    return 0;
}
