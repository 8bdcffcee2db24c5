// Opening, reading and writing files, directories and streams, and the
// attribute and directory-creation calls, with Windows' dispositions, sharing
// rules and error codes.
#include <algorithm>

#include "calls.h"
#include "handles.h"
#include "pathname.h"
#include "sections.h"
#include "sim.h"

using namespace winsim::detail;

namespace {

// Attribute bits CreateFileW and SetFileAttributesW accept for a file.
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                      FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_TEMPORARY |
                                      FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// The sharing check of an open against every handle already open on the same
// file (or, for a named stream, the same stream: NTFS keeps share access per
// stream).
bool TakesPartInSharing(DWORD access)
{
    return WantsRead(access) || WantsWrite(access) || WantsDelete(access);
}

// An open that asks for none of reading, writing or deleting (only attributes)
// neither is checked nor restricts others, as the I/O manager's share check.
bool SharingConflict(const Node* node, const Stream* stream, DWORD access, DWORD share)
{
    if (!TakesPartInSharing(access))
        return false;
    for (const auto& object : AllObjects()) {
        auto f = std::dynamic_pointer_cast<FileObject>(object);
        if (!f || f->node.get() != node || f->stream.get() != stream || !TakesPartInSharing(f->access))
            continue;
        if ((WantsRead(access) && !(f->share & FILE_SHARE_READ)) ||
            (WantsWrite(access) && !(f->share & FILE_SHARE_WRITE)) ||
            (WantsDelete(access) && !(f->share & FILE_SHARE_DELETE)) ||
            (WantsRead(f->access) && !(share & FILE_SHARE_READ)) ||
            (WantsWrite(f->access) && !(share & FILE_SHARE_WRITE)) ||
            (WantsDelete(f->access) && !(share & FILE_SHARE_DELETE)))
            return true;
    }
    return false;
}

std::shared_ptr<FileObject> FileFromHandle(HANDLE h)
{
    return LookupAs<FileObject>(h);
}

}  // namespace

extern "C" HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                     LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition,
                                     DWORD dwFlagsAndAttributes, HANDLE)
{
    WINSIM_ENTER("CreateFileW", ToU16(lpFileName), INVALID_HANDLE_VALUE);
    if (dwCreationDisposition < CREATE_NEW || dwCreationDisposition > TRUNCATE_EXISTING)
        return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    ResolvedPath r = Resolve(lpFileName);
    if (r.error != 0)
        return Fail(r.error, INVALID_HANDLE_VALUE);
    if (r.volumeDevice) {
        // Opening a volume needs administrators; for them it is the raw volume.
        if (!TheWorld().process.elevated)
            return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
        auto volume = std::make_shared<VolumeObject>();
        volume->letter = r.volume->letter;
        HANDLE h = Insert(volume);
        SetLastError(ERROR_SUCCESS);
        return h;
    }
    // Backup semantics with the backup privilege enabled read past an entry's
    // ACL (the restore privilege writes past it); nothing else does.
    const auto& privileges = TheWorld().process.enabledPrivileges;
    const bool pastAcl = (dwFlagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS) &&
                         (WantsWrite(dwDesiredAccess) ? privileges.count(u"SERESTOREPRIVILEGE") > 0
                                                      : privileges.count(u"SEBACKUPPRIVILEGE") > 0);

    const DWORD disposition = dwCreationDisposition;
    const bool mayCreate = disposition == CREATE_NEW || disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS;
    bool existed = true;
    std::shared_ptr<Node> node = r.node;

    if (!node) {
        if (r.missing == ERROR_PATH_NOT_FOUND)
            return Fail(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);
        if (!mayCreate)
            return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
        if (r.trailingSlash)
            return Fail(ERROR_INVALID_NAME, INVALID_HANDLE_VALUE);
        if (r.parent->denyAccess)
            return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
        node = NewChild(*r.parent, r.components.back(), false);
        node->attributes = (dwFlagsAndAttributes & kSettableAttributes & ~FILE_ATTRIBUTE_NORMAL) | FILE_ATTRIBUTE_ARCHIVE;
        // A new file asked for encrypted is encrypted where the file system
        // can (NTFS); elsewhere the bit is dropped without a word.
        if ((dwFlagsAndAttributes & FILE_ATTRIBUTE_ENCRYPTED) && EqualsNoCase(r.volume->fileSystem, u"NTFS"))
            node->attributes |= FILE_ATTRIBUTE_ENCRYPTED;
        r.parent->written = Now();
        existed = false;
    } else if (node->denyAccess && !pastAcl) {
        return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
    } else if (node->reparseTag != 0 && node->reparseTarget.empty() &&
               !(dwFlagsAndAttributes & FILE_FLAG_OPEN_REPARSE_POINT)) {
        // A reparse point that no filter handles cannot be opened as data.
        return Fail(ERROR_CANT_ACCESS_FILE, INVALID_HANDLE_VALUE);
    } else if (node->directory && !node->reparseTarget.empty() &&
               !(dwFlagsAndAttributes & FILE_FLAG_OPEN_REPARSE_POINT)) {
        // A junction or directory symbolic link opens its target.
        std::shared_ptr<Node> target = FollowLink(node);
        if (!target)
            return Fail(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);
        if (target->denyAccess && !pastAcl)
            return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
        node = target;
    } else if (!node->directory && node->reparseTag == IO_REPARSE_TAG_SYMLINK &&
               !(dwFlagsAndAttributes & FILE_FLAG_OPEN_REPARSE_POINT)) {
        // A symbolic link to a file is followed unless the link itself is asked for.
        ResolvedPath target = Resolve(node->reparseTarget.c_str());
        if (target.error != 0 || !target.node)
            return Fail(target.error != 0 ? target.error : target.missing, INVALID_HANDLE_VALUE);
        if (target.node->denyAccess)
            return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
        node = target.node;
    }

    auto object = std::make_shared<FileObject>();
    object->node = node;
    object->driveLetter = r.volume->letter;
    object->access = dwDesiredAccess;
    object->share = dwShareMode;
    object->flags = dwFlagsAndAttributes;

    if (node->directory && !r.hasStream) {
        // A directory is opened only with backup semantics, and never as a file
        // to be created, overwritten or read as data.
        if (r.explicitUnnamed || !(dwFlagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS))
            return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
        if (disposition == CREATE_NEW)
            return Fail(ERROR_FILE_EXISTS, INVALID_HANDLE_VALUE);
        if (disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING)
            return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
        if (SharingConflict(node.get(), nullptr, dwDesiredAccess, dwShareMode))
            return Fail(ERROR_SHARING_VIOLATION, INVALID_HANDLE_VALUE);
        HANDLE h = Insert(object);
        SetLastError(disposition == OPEN_ALWAYS ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
        return h;
    }
    if (!node->directory && r.trailingSlash)
        return Fail(ERROR_INVALID_NAME, INVALID_HANDLE_VALUE);

    const bool readOnly = (node->attributes & FILE_ATTRIBUTE_READONLY) && !node->directory;
    std::shared_ptr<Stream> stream = r.hasStream ? node->FindNamed(r.streamName) : node->data;
    bool streamExisted = existed && stream != nullptr;
    if (!stream) {
        if (!mayCreate)
            return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
        if (readOnly)
            return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
    } else if (streamExisted) {
        if (disposition == CREATE_NEW)
            return Fail(ERROR_FILE_EXISTS, INVALID_HANDLE_VALUE);
        if (readOnly && (WantsWrite(dwDesiredAccess) || disposition == CREATE_ALWAYS ||
                         disposition == TRUNCATE_EXISTING || (dwFlagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE)))
            return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
        // Overwriting a hidden or system file must repeat those attributes.
        if (disposition == CREATE_ALWAYS && !r.hasStream &&
            (((node->attributes & FILE_ATTRIBUTE_HIDDEN) && !(dwFlagsAndAttributes & FILE_ATTRIBUTE_HIDDEN)) ||
             ((node->attributes & FILE_ATTRIBUTE_SYSTEM) && !(dwFlagsAndAttributes & FILE_ATTRIBUTE_SYSTEM))))
            return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
        if (SharingConflict(node.get(), stream.get(), dwDesiredAccess, dwShareMode))
            return Fail(ERROR_SHARING_VIOLATION, INVALID_HANDLE_VALUE);
        // A stream held by a mapping cannot be cut, even after its handles closed.
        if ((disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING) && StreamIsMapped(stream.get()))
            return Fail(ERROR_USER_MAPPED_FILE, INVALID_HANDLE_VALUE);
    }
    if (!stream) {
        stream = std::make_shared<Stream>();
        stream->name = r.streamName;
        node->named.push_back(stream);
    }
    object->stream = stream;

    if (streamExisted && (disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING)) {
        stream->WillChange();
        stream->data.Resize(0);
        node->written = Now();
        if (disposition == CREATE_ALWAYS && !r.hasStream) {
            node->attributes = (dwFlagsAndAttributes & kSettableAttributes & ~FILE_ATTRIBUTE_NORMAL) |
                               FILE_ATTRIBUTE_ARCHIVE;
            // Overwriting a file (not TRUNCATE_EXISTING) deletes its named
            // streams: NTFS supersedes the whole file.
            node->named.clear();
        }
    }
    HANDLE h = Insert(object);
    SetLastError(streamExisted && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS)
                     ? ERROR_ALREADY_EXISTS
                     : ERROR_SUCCESS);
    return h;
}

extern "C" BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                                LPDWORD lpNumberOfBytesRead, void*)
{
    WINSIM_ENTER("ReadFile", {}, FALSE);
    auto f = FileFromHandle(hFile);
    if (!f)
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (!lpNumberOfBytesRead)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    *lpNumberOfBytesRead = 0;
    if (!f->stream)
        return Fail(ERROR_INVALID_FUNCTION, FALSE);
    if (!f->CanRead())
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    std::uint64_t size = f->stream->data.Size();
    std::uint64_t available = f->position < size ? size - f->position : 0;
    DWORD n = static_cast<DWORD>(std::min<std::uint64_t>(available, nNumberOfBytesToRead));
    f->stream->data.Read(f->position, lpBuffer, n);
    f->position += n;
    *lpNumberOfBytesRead = n;
    return TRUE;
}

extern "C" BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                                 LPDWORD lpNumberOfBytesWritten, void*)
{
    WINSIM_ENTER("WriteFile", {}, FALSE);
    auto f = FileFromHandle(hFile);
    if (!f)
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (!lpNumberOfBytesWritten)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    *lpNumberOfBytesWritten = 0;
    if (!f->stream)
        return Fail(ERROR_INVALID_FUNCTION, FALSE);
    if (!f->CanWrite())
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    f->stream->WillChange();
    f->stream->data.Write(f->position, lpBuffer, nNumberOfBytesToWrite);
    f->position += nNumberOfBytesToWrite;
    f->node->written = Now();
    *lpNumberOfBytesWritten = nNumberOfBytesToWrite;
    return TRUE;
}

extern "C" BOOL WINAPI GetFileInformationByHandle(HANDLE hFile, LPBY_HANDLE_FILE_INFORMATION lpFileInformation)
{
    WINSIM_ENTER("GetFileInformationByHandle", {}, FALSE);
    auto f = FileFromHandle(hFile);
    if (!f)
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (!lpFileInformation)
        return Fail(ERROR_NOACCESS, FALSE);
    BY_HANDLE_FILE_INFORMATION info{};
    info.dwFileAttributes = f->node->EffectiveAttributes();
    info.ftCreationTime = f->node->created;
    info.ftLastAccessTime = f->node->accessed;
    info.ftLastWriteTime = f->node->written;
    info.dwVolumeSerialNumber = static_cast<DWORD>(f->driveLetter);
    const std::uint64_t size = f->node->data ? f->node->data->data.Size() : 0;
    info.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    info.nFileSizeLow = static_cast<DWORD>(size);
    info.nNumberOfLinks = f->node->links;
    const auto index = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(f->node.get()));
    info.nFileIndexHigh = static_cast<DWORD>(index >> 32);
    info.nFileIndexLow = static_cast<DWORD>(index);
    *lpFileInformation = info;
    return TRUE;
}

// Every write to the stream the handle is open on reaches the medium; it
// needs a handle that may write.
extern "C" BOOL WINAPI FlushFileBuffers(HANDLE hFile)
{
    WINSIM_ENTER("FlushFileBuffers", {}, FALSE);
    auto f = FileFromHandle(hFile);
    if (!f)
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (!f->CanWrite())
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (f->stream)
        f->stream->onMedium.reset();
    return TRUE;
}

// The path of what a handle reached, after every link: "\\?\C:\dir\file".
// Only the form the plugin asks for (normalized, with a drive letter).
extern "C" DWORD WINAPI GetFinalPathNameByHandleW(HANDLE hFile, LPWSTR lpszFilePath, DWORD cchFilePath,
                                                  DWORD dwFlags)
{
    WINSIM_ENTER("GetFinalPathNameByHandleW", {}, 0);
    auto f = FileFromHandle(hFile);
    if (!f)
        return Fail(ERROR_INVALID_HANDLE, 0);
    if (dwFlags != (FILE_NAME_NORMALIZED | VOLUME_NAME_DOS))
        return Fail(ERROR_INVALID_PARAMETER, 0);
    const Node* top = f->node.get();
    while (top->parent)
        top = top->parent;
    WCHAR letter = 0;
    for (const auto& [l, volume] : TheWorld().volumes)
        if (volume.root.get() == top)
            letter = l;
    if (letter == 0)  // deleted while open
        return Fail(ERROR_FILE_NOT_FOUND, 0);
    // Node::Path gives "C:\" for the root and no trailing backslash otherwise.
    std::u16string path = u"\\\\?\\" + f->node->Path(letter);
    if (cchFilePath <= path.size())
        return static_cast<DWORD>(path.size() + 1);  // the size needed, with the null
    std::copy(path.begin(), path.end(), lpszFilePath);
    lpszFilePath[path.size()] = 0;
    return static_cast<DWORD>(path.size());
}

extern "C" DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh)
{
    WINSIM_ENTER("GetFileSize", {}, INVALID_FILE_SIZE);
    auto f = FileFromHandle(hFile);
    if (!f)
        return Fail(ERROR_INVALID_HANDLE, INVALID_FILE_SIZE);
    std::uint64_t size = f->stream ? f->stream->data.Size() : 0;
    if (lpFileSizeHigh)
        *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
    DWORD low = static_cast<DWORD>(size);
    // A size whose low part looks like the failure value is told apart by a
    // last error of 0; any other success leaves the last error untouched.
    if (low == INVALID_FILE_SIZE)
        SetLastError(ERROR_SUCCESS);
    return low;
}

extern "C" BOOL WINAPI GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize)
{
    WINSIM_ENTER("GetFileSizeEx", {}, FALSE);
    auto f = FileFromHandle(hFile);
    if (!f)
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (!lpFileSize)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    lpFileSize->QuadPart = f->stream ? static_cast<LONGLONG>(f->stream->data.Size()) : 0;
    return TRUE;
}

extern "C" DWORD WINAPI GetFileAttributesW(LPCWSTR lpFileName)
{
    WINSIM_ENTER("GetFileAttributesW", ToU16(lpFileName), INVALID_FILE_ATTRIBUTES);
    ResolvedPath r = Resolve(lpFileName);
    if (r.error != 0)
        return Fail(r.error, INVALID_FILE_ATTRIBUTES);
    if (r.volumeDevice)
        return Fail(ERROR_INVALID_PARAMETER, INVALID_FILE_ATTRIBUTES);
    if (!r.node)
        return Fail(r.missing, INVALID_FILE_ATTRIBUTES);
    if (!r.node->directory && r.trailingSlash)
        return Fail(ERROR_INVALID_NAME, INVALID_FILE_ATTRIBUTES);
    if (r.hasStream && !r.node->FindNamed(r.streamName))
        return Fail(ERROR_FILE_NOT_FOUND, INVALID_FILE_ATTRIBUTES);
    if (r.explicitUnnamed && r.node->directory)
        return Fail(ERROR_FILE_NOT_FOUND, INVALID_FILE_ATTRIBUTES);
    return r.node->EffectiveAttributes();
}

extern "C" BOOL WINAPI CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES)
{
    WINSIM_ENTER("CreateDirectoryW", ToU16(lpPathName), FALSE);
    ResolvedPath r = Resolve(lpPathName);
    if (r.error != 0)
        return Fail(r.error, FALSE);
    if (r.hasStream || r.explicitUnnamed)
        return Fail(ERROR_INVALID_NAME, FALSE);
    if (r.volumeDevice || r.IsRoot())
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (r.node)
        return Fail(ERROR_ALREADY_EXISTS, FALSE);
    if (r.missing == ERROR_PATH_NOT_FOUND)
        return Fail(ERROR_PATH_NOT_FOUND, FALSE);
    if (r.parent->denyAccess)
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    NewChild(*r.parent, r.components.back(), true);
    r.parent->written = Now();
    return TRUE;
}

extern "C" BOOL WINAPI SetFileAttributesW(LPCWSTR lpFileName, DWORD dwFileAttributes)
{
    WINSIM_ENTER("SetFileAttributesW", ToU16(lpFileName), FALSE);
    ResolvedPath r = Resolve(lpFileName);
    if (r.error != 0)
        return Fail(r.error, FALSE);
    if (r.volumeDevice)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (!r.node)
        return Fail(r.missing, FALSE);
    if (r.hasStream && !r.node->FindNamed(r.streamName))
        return Fail(ERROR_FILE_NOT_FOUND, FALSE);
    if (!r.node->directory && r.trailingSlash)
        return Fail(ERROR_INVALID_NAME, FALSE);
    if (r.node->denyAccess)
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    // The file system refuses the directory bit on a file and a temporary
    // directory; every other unknown bit is dropped without a word.
    if ((!r.node->directory && (dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ||
        (r.node->directory && (dwFileAttributes & FILE_ATTRIBUTE_TEMPORARY)))
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    // Only these bits can be set; the directory, reparse, sparse, compressed and
    // encrypted bits belong to other calls. NORMAL alone clears the rest.
    DWORD keep = r.node->attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_SPARSE_FILE |
                                       FILE_ATTRIBUTE_COMPRESSED | FILE_ATTRIBUTE_ENCRYPTED);
    r.node->attributes = keep | (dwFileAttributes & kSettableAttributes & ~FILE_ATTRIBUTE_NORMAL);
    return TRUE;
}
