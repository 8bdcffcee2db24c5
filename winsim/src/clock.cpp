// The wall clock. GetSystemTime reads the world's clock (UTC) without moving
// it; GetLocalTime returns what a test set, or the same reading when none was
// set (a machine in the UTC zone).
#include <winsim/winsim.h>

#include "calls.h"
#include "sim.h"

using namespace winsim::detail;

namespace {

constexpr std::uint64_t kTicksPerMillisecond = 10'000;
constexpr std::uint64_t kMillisecondsPerDay = 86'400'000;

// FILETIME ticks to a proleptic Gregorian date and time.
SYSTEMTIME FromTicks(std::uint64_t ticks)
{
    std::uint64_t ms = ticks / kTicksPerMillisecond;
    std::int64_t days = static_cast<std::int64_t>(ms / kMillisecondsPerDay);
    std::uint64_t inDay = ms % kMillisecondsPerDay;
    // Civil from days (H. Hinnant's algorithm); 1601-01-01, a Monday, is
    // 134774 days before 1970-01-01.
    std::int64_t z = days - 134774 + 719468;
    std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    std::int64_t doe = z - era * 146097;
    std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    std::int64_t y = yoe + era * 400;
    std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    std::int64_t mp = (5 * doy + 2) / 153;
    std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
    std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(y + (m <= 2));
    st.wMonth = static_cast<WORD>(m);
    st.wDay = static_cast<WORD>(d);
    st.wDayOfWeek = static_cast<WORD>((days + 1) % 7);  // Sunday is 0
    st.wHour = static_cast<WORD>(inDay / 3'600'000);
    st.wMinute = static_cast<WORD>(inDay / 60'000 % 60);
    st.wSecond = static_cast<WORD>(inDay / 1000 % 60);
    st.wMilliseconds = static_cast<WORD>(inDay % 1000);
    return st;
}

}  // namespace

extern "C" void WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime)
{
    WorldLock lock(WorldMutex());
    Enter("GetSystemTime");
    *lpSystemTime = FromTicks(TheWorld().clock);
}

extern "C" void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime)
{
    WorldLock lock(WorldMutex());
    Enter("GetLocalTime");
    const auto& local = TheWorld().localTime;
    *lpSystemTime = local ? *local : FromTicks(TheWorld().clock);
}

namespace winsim {

void SetLocalTime(const SYSTEMTIME& local)
{
    WorldLock lock(WorldMutex());
    TheWorld().localTime = local;
}

}  // namespace winsim
