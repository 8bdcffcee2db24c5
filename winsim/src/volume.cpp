// Drive letters and their volumes: the DOS device names behind the letters,
// the volume query, and the process's error mode.
//
// What Windows answers, by kind of drive letter:
//   local volume      QueryDosDeviceW "\Device\HarddiskVolumeN"; its file system
//   substituted drive "\??\C:\path"; the volume of the target
//   network drive     "\Device\LanmanRedirector\;Z:0000...\server\share"; the
//                     server's file system (an NTFS share reports "NTFS")
//   empty drive       "\Device\CdRom0"; GetVolumeInformationW fails with
//                     ERROR_NOT_READY, after a critical-error dialog unless
//                     SEM_FAILCRITICALERRORS is set
//   no drive          QueryDosDeviceW ERROR_FILE_NOT_FOUND,
//                     GetVolumeInformationW ERROR_PATH_NOT_FOUND
#include <winsim/winsim.h>

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "calls.h"
#include "handles.h"
#include "pathname.h"
#include "sim.h"

using namespace winsim::detail;

namespace {

bool IsLetter(WCHAR c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

std::u16string DeviceOf(const Volume& v)
{
    if (!v.dosTarget.empty())
        return v.dosTarget;
    return u"\\Device\\HarddiskVolume" + Widen(std::to_string(v.letter - u'A' + 1));
}

// "X:" exactly, any case: the name of a drive-letter device.
Volume* DriveDevice(std::u16string_view name)
{
    if (name.size() != 2 || !IsLetter(name[0]) || name[1] != u':')
        return nullptr;
    auto it = TheWorld().volumes.find(Upcase(name[0]));
    return it == TheWorld().volumes.end() ? nullptr : &it->second;
}

// Copies a list of strings, each with its zero, and the list's final zero.
DWORD CopyMultiString(const std::vector<std::u16string>& items, LPWSTR out, DWORD capacity)
{
    std::u16string all;
    for (const auto& s : items) {
        all += s;
        all += u'\0';
    }
    all += u'\0';
    if (!out || all.size() > capacity)
        return Fail(ERROR_INSUFFICIENT_BUFFER, DWORD{0});
    std::copy(all.begin(), all.end(), out);
    return static_cast<DWORD>(all.size());
}

bool CopyName(std::u16string_view name, LPWSTR out, DWORD capacity)
{
    if (!out)
        return true;  // a null buffer is not asked for
    if (name.size() + 1 > capacity)
        return false;
    std::copy(name.begin(), name.end(), out);
    out[name.size()] = 0;
    return true;
}

}  // namespace

extern "C" DWORD WINAPI QueryDosDeviceW(LPCWSTR lpDeviceName, LPWSTR lpTargetPath, DWORD ucchMax)
{
    WINSIM_ENTER("QueryDosDeviceW", ToU16(lpDeviceName), DWORD{0});
    if (!lpDeviceName) {
        // Every device name; here the drive letters.
        std::vector<std::u16string> names;
        for (const auto& [letter, volume] : TheWorld().volumes)
            names.push_back(std::u16string(1, letter) + u":");
        return CopyMultiString(names, lpTargetPath, ucchMax);
    }
    Volume* v = DriveDevice(lpDeviceName);
    if (!v)
        return Fail(ERROR_FILE_NOT_FOUND, DWORD{0});
    return CopyMultiString({DeviceOf(*v)}, lpTargetPath, ucchMax);
}

extern "C" BOOL WINAPI GetVolumeInformationW(LPCWSTR lpRootPathName, LPWSTR lpVolumeNameBuffer,
                                             DWORD nVolumeNameSize, LPDWORD lpVolumeSerialNumber,
                                             LPDWORD lpMaximumComponentLength, LPDWORD lpFileSystemFlags,
                                             LPWSTR lpFileSystemNameBuffer, DWORD nFileSystemNameSize)
{
    WINSIM_ENTER("GetVolumeInformationW", ToU16(lpRootPathName), FALSE);
    std::u16string root = lpRootPathName ? std::u16string(lpRootPathName)
                                         : TheWorld().process.currentDirectory.substr(0, 3);
    if (root.rfind(u"\\\\?\\", 0) == 0)
        root = root.substr(4);
    // The root of a volume, with its trailing backslash (documented as required).
    if (root.size() != 3 || !IsLetter(root[0]) || root[1] != u':' || root[2] != u'\\')
        return Fail(ERROR_INVALID_NAME, FALSE);
    Volume* v = DriveDevice(root.substr(0, 2));
    if (!v)
        return Fail(ERROR_PATH_NOT_FOUND, FALSE);
    if (!v->mediumPresent) {
        if (!((TheWorld().errorMode | ThreadErrorMode()) & SEM_FAILCRITICALERRORS))
            NoteMisuse("a critical-error dialog (no disk in drive " + Narrow(root.substr(0, 2)) +
                       ") raised without SEM_FAILCRITICALERRORS");
        return Fail(ERROR_NOT_READY, FALSE);
    }
    const bool ntfs = EqualsNoCase(v->fileSystem, u"NTFS");
    const std::u16string label = ntfs ? u"System" : u"";
    if (!CopyName(label, lpVolumeNameBuffer, nVolumeNameSize) ||
        !CopyName(v->fileSystem, lpFileSystemNameBuffer, nFileSystemNameSize))
        return Fail(ERROR_BAD_LENGTH, FALSE);
    if (lpVolumeSerialNumber)
        *lpVolumeSerialNumber = 0x1C2A0000u + v->letter;
    if (lpMaximumComponentLength)
        *lpMaximumComponentLength = 255;
    if (lpFileSystemFlags)
        *lpFileSystemFlags = ntfs ? FILE_CASE_SENSITIVE_SEARCH | FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK |
                                        FILE_PERSISTENT_ACLS | FILE_FILE_COMPRESSION | FILE_VOLUME_QUOTAS |
                                        FILE_SUPPORTS_SPARSE_FILES | FILE_SUPPORTS_REPARSE_POINTS |
                                        FILE_SUPPORTS_OBJECT_IDS | FILE_SUPPORTS_ENCRYPTION | FILE_NAMED_STREAMS
                                  : FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK;
    return TRUE;
}

DWORD& winsim::detail::ThreadErrorMode()
{
    thread_local DWORD mode = 0;
    return mode;
}

extern "C" BOOL WINAPI SetThreadErrorMode(DWORD dwNewMode, LPDWORD lpOldMode)
{
    WINSIM_ENTER("SetThreadErrorMode", Widen(std::to_string(dwNewMode)), FALSE);
    if (dwNewMode & ~static_cast<DWORD>(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX))
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (lpOldMode)
        *lpOldMode = ThreadErrorMode();
    ThreadErrorMode() = dwNewMode;
    return TRUE;
}

extern "C" UINT WINAPI SetErrorMode(UINT uMode)
{
    WINSIM_ENTER("SetErrorMode", Widen(std::to_string(uMode)), UINT{0});
    return std::exchange(TheWorld().errorMode, uMode);
}

namespace winsim {

void AddSubstDrive(WCHAR letter, std::u16string_view target)
{
    WorldLock lock(WorldMutex());
    std::u16string t(target);
    ResolvedPath r = Resolve(t.c_str());
    if (r.error != 0 || !r.node || !r.node->directory)
        throw std::invalid_argument("winsim: a drive can only be substituted onto a directory: " +
                                    detail::Narrow(target));
    Volume v;
    v.letter = Upcase(letter);
    v.fileSystem = r.volume->fileSystem;
    v.root = r.node;
    v.dosTarget = u"\\??\\" + t;
    TheWorld().volumes[v.letter] = std::move(v);
}

void AddNetworkDrive(WCHAR letter, std::u16string_view share, std::u16string_view fileSystem)
{
    WorldLock lock(WorldMutex());
    AddVolume(letter, fileSystem);
    Volume& v = TheWorld().volumes[Upcase(letter)];
    std::u16string s(share);
    v.share = s.rfind(u"\\\\", 0) == 0 ? s : u"\\" + s;
    if (s.rfind(u"\\\\", 0) == 0)
        s = s.substr(1);
    v.dosTarget = u"\\Device\\LanmanRedirector\\;" + std::u16string(1, v.letter) + u":0000000000012abc" + s;
}

void AddEmptyRemovableDrive(WCHAR letter)
{
    WorldLock lock(WorldMutex());
    AddVolume(letter, u"UDF");
    Volume& v = TheWorld().volumes[Upcase(letter)];
    v.dosTarget = u"\\Device\\CdRom0";
    v.mediumPresent = false;
}

UINT ErrorMode()
{
    WorldLock lock(WorldMutex());
    return TheWorld().errorMode;
}

}  // namespace winsim
