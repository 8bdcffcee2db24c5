#include "listing/entries.h"

#include "plugin/paths.h"
#include "plugin/win_owner.h"

bool GetEntryTimes(const WString& LocalPath, EntryTimes& Times)
{
    WIN32_FIND_DATAW found{};
    UniqueFind search(FindFirstFileW(PlainPathOrLong(LocalPath).c_str(), &found));
    if (!search)
        return false;
    Times.Creation = found.ftCreationTime;
    Times.LastAccess = found.ftLastAccessTime;
    Times.LastWrite = found.ftLastWriteTime;
    return true;
}

void WriteTimes(WIN32_FIND_DATAW& FindData, const EntryTimes& Times)
{
    FindData.ftCreationTime = Times.Creation;
    FindData.ftLastAccessTime = Times.LastAccess;
    FindData.ftLastWriteTime = Times.LastWrite;
}

DWORD DirectoryEntryAttributes(const WIN32_FIND_DATAW& entry)
{
    const DWORD attributes = entry.dwFileAttributes;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && IsLinkEntry(attributes, entry.dwReserved0))
        return (attributes & kDirectoryEntryAttributeMask & ~FILE_ATTRIBUTE_DIRECTORY) | FILE_ATTRIBUTE_REPARSE_POINT;
    return MaskDirectoryEntryAttributes(attributes);
}
