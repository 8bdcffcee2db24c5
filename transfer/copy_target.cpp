#include "transfer/copy_target.h"

#include "plugin/paths.h"

namespace {

// The attribute bits a new file may be given; the rest belong to the system.
constexpr DWORD kCreatableAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                       FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                       FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_ENCRYPTED;

HANDLE CreateWritable(const WString& longPath, DWORD disposition, DWORD attributes)
{
    return CreateFileW(longPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, disposition,
                       FILE_FLAG_SEQUENTIAL_SCAN | (attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL), nullptr);
}

// How many names the file has; 1 when the system cannot tell.
DWORD LinkCount(const WString& path)
{
    const std::optional<BY_HANDLE_FILE_INFORMATION> info = FileInformation(path);
    return info && info->nNumberOfLinks != 0 ? info->nNumberOfLinks : 1;
}

// A new file beside the target, in its folder and so on its volume, as
// ReplaceFileW needs. A name that is taken is skipped.
CopyTarget CreateBeside(const WString& targetPath, DWORD attributes)
{
    CopyTarget t;
    t.Target = targetPath;
    for (unsigned n = 0; n < 100; ++n) {
        WString name = targetPath + TEXT(".~tnw");
        name += static_cast<WCHAR>('0' + n / 10);
        name += static_cast<WCHAR>('0' + n % 10);
        t.File.Reset(CreateWritable(ToLongPath(name), CREATE_NEW, attributes));
        if (t.File) {
            t.Written = name;
            return t;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    t.Written = targetPath;
    return t;
}

// "f.txt::$DATA" is the file itself, and is overwritten as the file is.
WString FileItself(const WString& path)
{
    constexpr WStringView kUnnamed = TEXT("::$DATA");
    if (path.size() > kUnnamed.size() &&
        EqualsAsciiNoCase(WStringView(path).substr(path.size() - kUnnamed.size()), kUnnamed))
        return path.substr(0, path.size() - kUnnamed.size());
    return path;
}

CopyTarget CreatePlainCopyTarget(const WString& targetPath, DWORD extra)
{
    const WString longPath = ToLongPath(targetPath);
    const DWORD existing = GetFileAttributesW(longPath.c_str());
    const bool existingFile = existing != INVALID_FILE_ATTRIBUTES && !(existing & FILE_ATTRIBUTE_DIRECTORY);
    // The probe's error is not the one a failure reports.
    SetLastError(ERROR_SUCCESS);
    if (existingFile && !IsStreamPath(targetPath)) {
        // A read-only file is not overwritten, before a byte is copied.
        if (existing & FILE_ATTRIBUTE_READONLY) {
            SetLastError(ERROR_ACCESS_DENIED);
            return CopyTarget{targetPath, targetPath, UniqueFile(), false};
        }
        if (LinkCount(targetPath) > 1) {
            CopyTarget t{targetPath, targetPath, UniqueFile(), true};
            SetLastError(ERROR_SUCCESS);
            t.File.Reset(CreateWritable(longPath, TRUNCATE_EXISTING, 0));
            return t;
        }
        SetLastError(ERROR_SUCCESS);
        return CreateBeside(targetPath, (existing & kCreatableAttributes) | extra);
    }
    // A new file, or a stream (created or cut: its file and the file's other
    // streams stay as they are).
    CopyTarget t{targetPath, targetPath, UniqueFile(), false};
    t.File.Reset(CreateWritable(longPath, CREATE_ALWAYS, extra));
    return t;
}

// A target made for an encrypted source that is not encrypted (a file
// system without encryption) is removed: it must not hold the clear text.
bool EnsureEncrypted(CopyTarget& t)
{
    if (!t.File)
        return false;
    const DWORD attributes = GetFileAttributesW(ToLongPath(t.Written).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_ENCRYPTED))
        return true;
    DiscardIncompleteTarget(t);
    t.Written = t.Target;
    SetLastError(ERROR_ENCRYPTION_FAILED);
    return false;
}

}  // namespace

CopyTarget CreateCopyTarget(const WString& requestedPath, bool encrypted)
{
    const WString targetPath = FileItself(requestedPath);
    // A stream takes its file's encryption: nothing to ask for there.
    const bool encrypt = encrypted && !IsStreamPath(targetPath);
    CopyTarget t = CreatePlainCopyTarget(targetPath, encrypt ? FILE_ATTRIBUTE_ENCRYPTED : 0);
    if (encrypt)
        EnsureEncrypted(t);
    return t;
}

bool CommitCopyTarget(CopyTarget& target, bool durable)
{
    if (durable && target.File && !FlushFileBuffers(target.File.Get()))
        return false;
    target.File.Reset();
    if (!target.Replacing())
        return true;
    // The replaced file keeps its identity, streams and security; the new
    // file's name is gone once it succeeds. A replacement that fails leaves
    // both files as they were.
    return ReplaceFileW(ToLongPath(target.Target).c_str(), ToLongPath(target.Written).c_str(), nullptr,
                        REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != FALSE;
}

void DiscardIncompleteTarget(CopyTarget& target)
{
    DWORD error = GetLastError();
    target.File.Reset();
    const WString longPath = ToLongPath(target.Written);
    if (target.InPlace) {
        UniqueFile emptied(CreateFileW(longPath.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    } else {
        DeleteFileW(longPath.c_str());
    }
    SetLastError(error);
}
