// FsSetTimeW and SetEntryTimes: the given times are set together through one
// handle that only writes attributes.
#include <cstdint>

#include "fileops/attributes_times.h"
#include "plugin/host_interface.h"
#include "plugin/paths.h"
#include "plugin/plugin_state.h"
#include "plugin/redirection.h"
#include "plugin/win_owner.h"

namespace {

constexpr std::uint64_t kTicksPerMillisecond = 10'000;

std::uint64_t Ticks(const FILETIME& t)
{
    return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

FILETIME FromTicks(std::uint64_t ticks)
{
    FILETIME t;
    t.dwLowDateTime = static_cast<DWORD>(ticks);
    t.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return t;
}

// The time at millisecond resolution, rounded to the nearest millisecond, as
// the calendar form (SYSTEMTIME) holds it. Times past the last millisecond of
// 30827 have no calendar form: FileTimeToSystemTime refuses values from
// 0x80000000'00000000 on, and SystemTimeToFileTime refuses the year 30828 that
// the values just below give.
bool RoundThroughCalendar(const FILETIME& time, FILETIME& rounded)
{
    std::uint64_t ticks = Ticks(time);
    std::uint64_t whole = ticks - ticks % kTicksPerMillisecond;
    // Near 2^64 the rounding would wrap to a small, valid time; such values
    // are refused below as they stand.
    if (ticks % kTicksPerMillisecond >= kTicksPerMillisecond / 2 && whole <= UINT64_MAX - kTicksPerMillisecond)
        whole += kTicksPerMillisecond;
    FILETIME truncated = FromTicks(whole);
    SYSTEMTIME calendar;
    if (!FileTimeToSystemTime(&truncated, &calendar))
        return false;
    return SystemTimeToFileTime(&calendar, &rounded) != FALSE;
}

BOOL SetTimes(const WCHAR* remoteName, const FILETIME* creation, const FILETIME* lastAccess,
              const FILETIME* lastWrite)
{
    if (PluginState().Disabled)
        return kPluginTrue;
    ResolvedStreamPath target = ResolveStreamPath(FromHost(remoteName));
    if (target.IsStream)
        return kPluginTrue;
    if (!creation && !lastAccess && !lastWrite)
        return kPluginTrue;
    FileSystemRedirectionOff redirection;
    return PluginBool(SetEntryTimes(DriveAsRoot(target.Path), creation, lastAccess, lastWrite));
}

}  // namespace

bool SetEntryTimes(const WString& path, const FILETIME* creation, const FILETIME* lastAccess,
                   const FILETIME* lastWrite)
{
    // Every time is checked before anything is set: all of them or none.
    FILETIME converted[3];
    const FILETIME* given[3] = {creation, lastAccess, lastWrite};
    const FILETIME* set[3] = {};
    for (int i = 0; i < 3; ++i) {
        if (!given[i])
            continue;
        if (!RoundThroughCalendar(*given[i], converted[i]))
            return false;
        set[i] = &converted[i];
    }
    // The right to write attributes only, shared with everyone: a document
    // another program has open, a read-only file and (with backup semantics)
    // a directory all take new times. A link's own times change, never its
    // target's, as SetFileAttributesW acts on the link too.
    UniqueFile file(CreateFileW(PlainPathOrLong(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file)
        return false;
    return SetFileTime(file.Get(), set[0], set[1], set[2]) != FALSE;
}

extern "C" BOOL WINAPI FsSetTimeW(WCHAR* RemoteName, FILETIME* CreationTime, FILETIME* LastAccessTime,
                                  FILETIME* LastWriteTime)
{
    try {
        return SetTimes(RemoteName, CreationTime, LastAccessTime, LastWriteTime);
    } catch (...) {
        return FALSE;
    }
}
