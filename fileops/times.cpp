// FsSetTimeW and SetEntryTime: each given time is set through a handle of its
// own, and the first one that cannot be set ends the work.
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
    FileSystemRedirectionOff redirection;
    const WString path = DriveAsRoot(target.Path);
    bool ok = true;
    if (creation)
        ok = SetEntryTime(path, TimeKind::Creation, *creation);
    if (lastAccess && ok)
        ok = SetEntryTime(path, TimeKind::LastAccess, *lastAccess);
    if (lastWrite && ok)
        ok = SetEntryTime(path, TimeKind::LastWrite, *lastWrite);
    return PluginBool(ok);
}

}  // namespace

bool SetEntryTime(const WString& path, TimeKind kind, const FILETIME& time)
{
    // No backup semantics: a directory cannot be opened this way, and a
    // read-only file refuses GENERIC_WRITE.
    UniqueFile file(
        CreateFileW(PlainPathOrLong(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return false;
    FILETIME converted;
    if (!RoundThroughCalendar(time, converted))
        return false;
    const FILETIME* creation = kind == TimeKind::Creation ? &converted : nullptr;
    const FILETIME* lastAccess = kind == TimeKind::LastAccess ? &converted : nullptr;
    const FILETIME* lastWrite = kind == TimeKind::LastWrite ? &converted : nullptr;
    return SetFileTime(file.Get(), creation, lastAccess, lastWrite) != FALSE;
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
