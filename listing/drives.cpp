#include "listing/drives.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "plugin/dynamic_proc.h"

namespace {

// Switches the system's critical-error dialogs off for its lifetime, so that
// an empty removable drive does not stop the listing with a dialog. The
// calling thread's mode only: SetErrorMode would change the whole process
// (the host's other threads) and drop the host's own flags.
// Windows 7 and later; found at run time.
using SetThreadErrorModeFn = BOOL WINAPI(DWORD, LPDWORD);
DynamicProc<SetThreadErrorModeFn> setThreadErrorMode(TEXT("kernel32.dll"), "SetThreadErrorMode");

class CriticalErrorsSilenced {
public:
    CriticalErrorsSilenced() : threadMode_(setThreadErrorMode.TryGet())
    {
        if (threadMode_)
            ok_ = threadMode_(SEM_FAILCRITICALERRORS, &previous_) != FALSE;
        else
            previous_ = SetErrorMode(SEM_FAILCRITICALERRORS);  // a system older than Windows 7
    }
    ~CriticalErrorsSilenced()
    {
        if (!threadMode_)
            SetErrorMode(previous_);
        else if (ok_)
            threadMode_(previous_, nullptr);
    }
    CriticalErrorsSilenced(const CriticalErrorsSilenced&) = delete;
    CriticalErrorsSilenced& operator=(const CriticalErrorsSilenced&) = delete;

private:
    SetThreadErrorModeFn* threadMode_;
    DWORD previous_ = 0;
    bool ok_ = false;
};

// Days from 1 January 1970 to a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

}  // namespace

WString VolumeFileSystemName(WCHAR Letter)
{
    const WCHAR root[] = {Letter, ':', '\\', 0};
    std::array<WCHAR, 261> volumeName{};
    std::array<WCHAR, 16> fileSystemName{};
    DWORD serial = 0, maximumComponentLength = 0, flags = 0;
    BOOL ok;
    {
        CriticalErrorsSilenced silenced;
        ok = GetVolumeInformationW(root, volumeName.data(), static_cast<DWORD>(volumeName.size()), &serial,
                                   &maximumComponentLength, &flags, fileSystemName.data(),
                                   static_cast<DWORD>(fileSystemName.size()));
    }
    if (!ok)
        return WString();
    fileSystemName.back() = 0;
    return WString(fileSystemName.data());
}

WString NtfsDriveLetters()
{
    WString letters;
    for (WCHAR letter = 'A'; letter <= 'Z'; ++letter) {
        const WCHAR device[] = {letter, ':', 0};
        // Two characters more than offered, so that the list always ends in zeros.
        std::array<WCHAR, 1026> targets{};
        QueryDosDeviceW(device, targets.data(), 1024);  // an unknown letter leaves zeros
        const bool substitutedOrRemote =
            std::any_of(targets.begin(), targets.end(), [](WCHAR c) { return c == ':' || c == '?'; });
        if (substitutedOrRemote)
            continue;
        static constexpr WCHAR kNtfs[] = {'N', 'T', 'F', 'S'};
        if (EqualsAsciiNoCase(VolumeFileSystemName(letter), WStringView(kNtfs, 4)))
            letters += letter;
    }
    return letters;
}

FILETIME CalendarFileTime(const SYSTEMTIME& local)
{
    // Days since 1 January 1601 with the time of day, to the millisecond, in
    // 100-ns ticks. Integer arithmetic gives exactly the whole number a
    // floating-point day count would only approximate.
    const std::int64_t days = DaysFromCivil(local.wYear, local.wMonth, local.wDay) - DaysFromCivil(1601, 1, 1);
    const std::int64_t ms = days * 86'400'000 + local.wHour * 3'600'000LL + local.wMinute * 60'000LL +
                            local.wSecond * 1'000LL + local.wMilliseconds;
    const auto ticks = static_cast<std::uint64_t>(ms) * 10'000;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

void DriveToFindData(WIN32_FIND_DATAW& FindData, WCHAR Letter)
{
    FindData.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_NORMAL;
    // The host reads every time of a record as UTC.
    SYSTEMTIME now{};
    GetSystemTime(&now);
    const FILETIME time = CalendarFileTime(now);
    FindData.ftCreationTime = FindData.ftLastAccessTime = FindData.ftLastWriteTime = time;
    FindData.nFileSizeHigh = FindData.nFileSizeLow = 0;
    const WCHAR name[] = {Letter, ':', 0};
    std::copy(std::begin(name), std::end(name), FindData.cFileName);
    std::copy(std::begin(name), std::end(name), FindData.cAlternateFileName);
}
