#include "transfer/copy_target.h"

#include "plugin/paths.h"

CopyTarget CreateCopyTarget(const WString& targetPath)
{
    const WString longPath = ToLongPath(targetPath);
    DWORD keep = 0;
    DWORD existing = GetFileAttributesW(longPath.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES && !(existing & FILE_ATTRIBUTE_DIRECTORY))
        keep = existing & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    // The probe's error is not the one a failure reports.
    SetLastError(ERROR_SUCCESS);
    CopyTarget t;
    t.File.Reset(CreateFileW(longPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_FLAG_SEQUENTIAL_SCAN | (keep != 0 ? keep : FILE_ATTRIBUTE_NORMAL), nullptr));
    t.Existed = t.File.Valid() && GetLastError() == ERROR_ALREADY_EXISTS;
    return t;
}

void DiscardIncompleteTarget(const WString& targetPath, bool existed)
{
    DWORD error = GetLastError();
    const WString longPath = ToLongPath(targetPath);
    if (existed && !IsStreamPath(targetPath)) {
        UniqueFile emptied(CreateFileW(longPath.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    } else {
        DeleteFileW(longPath.c_str());
    }
    SetLastError(error);
}
