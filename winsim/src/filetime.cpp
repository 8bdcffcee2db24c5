// File times and the calendar conversions, with Windows' limits: FILETIME
// counts 100-ns ticks since 1601-01-01 (a Monday) and is signed below the
// surface; SYSTEMTIME holds the years 1601 to 30827.
#include <winsim/winsim.h>

#include <stdexcept>

#include "calls.h"
#include "handles.h"
#include "pathname.h"
#include "sim.h"

using namespace winsim::detail;

namespace {

constexpr std::uint64_t kTicksPerMillisecond = 10'000;
constexpr std::uint64_t kTicksPerDay = 86'400'000ull * kTicksPerMillisecond;

std::uint64_t Ticks(const FILETIME& t)
{
    return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

bool IsLeap(std::int64_t y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(std::int64_t y, int m)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Days from 1601-01-01 to the given date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t y, int m, int d)
{
    std::int64_t days = 0;
    std::int64_t years = y - 1601;
    days += years * 365 + years / 4 - years / 100 + years / 400;
    for (int k = 1; k < m; ++k)
        days += DaysInMonth(y, k);
    return days + d - 1;
}

}  // namespace

extern "C" BOOL WINAPI FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime)
{
    WINSIM_ENTER("FileTimeToSystemTime", {}, FALSE);
    if (!lpFileTime || !lpSystemTime)
        return Fail(ERROR_NOACCESS, FALSE);
    std::uint64_t ticks = Ticks(*lpFileTime);
    if (ticks >= 0x8000000000000000ull)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    std::int64_t days = static_cast<std::int64_t>(ticks / kTicksPerDay);
    std::uint64_t rest = ticks % kTicksPerDay / kTicksPerMillisecond;
    // Whole 400-year cycles first (146097 days each), then years one by one.
    std::int64_t year = 1601 + days / 146097 * 400;
    days %= 146097;
    while (days >= (IsLeap(year) ? 366 : 365)) {
        days -= IsLeap(year) ? 366 : 365;
        ++year;
    }
    int month = 1;
    while (days >= DaysInMonth(year, month)) {
        days -= DaysInMonth(year, month);
        ++month;
    }
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDay = static_cast<WORD>(days + 1);
    st.wDayOfWeek = static_cast<WORD>((ticks / kTicksPerDay + 1) % 7);  // 1601-01-01 was a Monday
    st.wHour = static_cast<WORD>(rest / 3'600'000);
    st.wMinute = static_cast<WORD>(rest / 60'000 % 60);
    st.wSecond = static_cast<WORD>(rest / 1000 % 60);
    st.wMilliseconds = static_cast<WORD>(rest % 1000);
    *lpSystemTime = st;
    return TRUE;
}

extern "C" BOOL WINAPI SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, LPFILETIME lpFileTime)
{
    WINSIM_ENTER("SystemTimeToFileTime", {}, FALSE);
    if (!lpSystemTime || !lpFileTime)
        return Fail(ERROR_NOACCESS, FALSE);
    const SYSTEMTIME& st = *lpSystemTime;
    if (st.wYear < 1601 || st.wYear > 30827 || st.wMonth < 1 || st.wMonth > 12 || st.wDay < 1 ||
        st.wDay > DaysInMonth(st.wYear, st.wMonth) || st.wHour > 23 || st.wMinute > 59 || st.wSecond > 59 ||
        st.wMilliseconds > 999)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    std::uint64_t ms = static_cast<std::uint64_t>(DaysFromCivil(st.wYear, st.wMonth, st.wDay)) * 86'400'000ull +
                       st.wHour * 3'600'000ull + st.wMinute * 60'000ull + st.wSecond * 1000ull + st.wMilliseconds;
    std::uint64_t ticks = ms * kTicksPerMillisecond;
    lpFileTime->dwLowDateTime = static_cast<DWORD>(ticks);
    lpFileTime->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return TRUE;
}

extern "C" BOOL WINAPI SetFileTime(HANDLE hFile, const FILETIME* lpCreationTime, const FILETIME* lpLastAccessTime,
                                   const FILETIME* lpLastWriteTime)
{
    WINSIM_ENTER("SetFileTime", {}, FALSE);
    auto f = LookupAs<FileObject>(hFile);
    if (!f)
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (!(f->access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_ATTRIBUTES)))
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    // The file system sees signed times: 0 means "leave unchanged", -1 and -2
    // switch the automatic updates through this handle off and on again, any
    // other negative time is refused before anything is set.
    const FILETIME* given[] = {lpCreationTime, lpLastAccessTime, lpLastWriteTime};
    for (const FILETIME* t : given) {
        if (!t)
            continue;
        auto v = static_cast<std::int64_t>(Ticks(*t));
        if (v < -2)
            return Fail(ERROR_INVALID_PARAMETER, FALSE);
    }
    FILETIME* targets[] = {&f->node->created, &f->node->accessed, &f->node->written};
    for (int i = 0; i < 3; ++i) {
        if (given[i] && static_cast<std::int64_t>(Ticks(*given[i])) > 0)
            *targets[i] = *given[i];
    }
    return TRUE;
}

extern "C" BOOL WINAPI GetFileTime(HANDLE hFile, LPFILETIME lpCreationTime, LPFILETIME lpLastAccessTime,
                                   LPFILETIME lpLastWriteTime)
{
    WINSIM_ENTER("GetFileTime", {}, FALSE);
    auto f = LookupAs<FileObject>(hFile);
    if (!f)
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (lpCreationTime)
        *lpCreationTime = f->node->created;
    if (lpLastAccessTime)
        *lpLastAccessTime = f->node->accessed;
    if (lpLastWriteTime)
        *lpLastWriteTime = f->node->written;
    return TRUE;
}

namespace winsim {

namespace {

std::shared_ptr<Node> MustFindEntry(std::u16string_view path)
{
    ResolvedPath r = ResolveForTest(path);
    if (r.error != 0 || !r.node)
        throw std::invalid_argument("winsim: no such entry: " + detail::Narrow(path));
    return r.node;
}

}  // namespace

EntryTimes Times(std::u16string_view path)
{
    WorldLock lock(WorldMutex());
    auto node = MustFindEntry(path);
    return {node->created, node->accessed, node->written};
}

void SetTimes(std::u16string_view path, const EntryTimes& times)
{
    WorldLock lock(WorldMutex());
    auto node = MustFindEntry(path);
    node->created = times.creation;
    node->accessed = times.lastAccess;
    node->written = times.lastWrite;
}

}  // namespace winsim
