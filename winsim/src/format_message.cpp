// FormatMessageW for system messages: Windows' own English texts (each ends in
// ".\r\n", as the system's message table has them), returned in a buffer of the
// caller's or, with FORMAT_MESSAGE_ALLOCATE_BUFFER, in a local block that the
// caller releases with LocalFree. Wine's texts differ ("Access denied."); these
// are Windows'.
#include <algorithm>

#include "calls.h"
#include "handles.h"
#include "local_memory.h"
#include "pathname.h"
#include "sim.h"

using namespace winsim::detail;

namespace {

struct SystemText {
    DWORD code;
    const char16_t* text;
};

constexpr SystemText kTexts[] = {
    {ERROR_SUCCESS, u"The operation completed successfully.\r\n"},
    {ERROR_INVALID_FUNCTION, u"Incorrect function.\r\n"},
    {ERROR_FILE_NOT_FOUND, u"The system cannot find the file specified.\r\n"},
    {ERROR_PATH_NOT_FOUND, u"The system cannot find the path specified.\r\n"},
    {ERROR_TOO_MANY_OPEN_FILES, u"The system cannot open the file.\r\n"},
    {ERROR_ACCESS_DENIED, u"Access is denied.\r\n"},
    {ERROR_INVALID_HANDLE, u"The handle is invalid.\r\n"},
    {ERROR_NOT_ENOUGH_MEMORY, u"Not enough memory resources are available to process this command.\r\n"},
    {ERROR_INVALID_DATA, u"The data is invalid.\r\n"},
    {ERROR_OUTOFMEMORY, u"Not enough memory resources are available to complete this operation.\r\n"},
    {ERROR_INVALID_DRIVE, u"The system cannot find the drive specified.\r\n"},
    {ERROR_CURRENT_DIRECTORY, u"The directory cannot be removed.\r\n"},
    {ERROR_NO_MORE_FILES, u"There are no more files.\r\n"},
    {ERROR_WRITE_PROTECT, u"The media is write protected.\r\n"},
    {ERROR_NOT_READY, u"The device is not ready.\r\n"},
    {ERROR_CRC, u"Data error (cyclic redundancy check).\r\n"},
    {ERROR_WRITE_FAULT, u"The system cannot write to the specified device.\r\n"},
    {ERROR_UNABLE_TO_REMOVE_REPLACED, u"Unable to remove the file to be replaced.\r\n"},
    {ERROR_UNABLE_TO_MOVE_REPLACEMENT, u"The replacement file could not be renamed.\r\n"},
    {ERROR_ENCRYPTION_FAILED, u"The specified file could not be encrypted.\r\n"},
    {ERROR_READ_FAULT, u"The system cannot read from the specified device.\r\n"},
    {ERROR_GEN_FAILURE, u"A device attached to the system is not functioning.\r\n"},
    {ERROR_SHARING_VIOLATION, u"The process cannot access the file because it is being used by another process.\r\n"},
    {ERROR_LOCK_VIOLATION,
     u"The process cannot access the file because another process has locked a portion of the file.\r\n"},
    {ERROR_HANDLE_EOF, u"Reached the end of the file.\r\n"},
    {ERROR_HANDLE_DISK_FULL, u"The disk is full.\r\n"},
    {ERROR_NOT_SUPPORTED, u"The request is not supported.\r\n"},
    {ERROR_BAD_NETPATH, u"The network path was not found.\r\n"},
    {ERROR_FILE_EXISTS, u"The file exists.\r\n"},
    {ERROR_INVALID_PARAMETER, u"The parameter is incorrect.\r\n"},
    {ERROR_DISK_FULL, u"There is not enough space on the disk.\r\n"},
    {ERROR_INSUFFICIENT_BUFFER, u"The data area passed to a system call is too small.\r\n"},
    {ERROR_INVALID_NAME, u"The filename, directory name, or volume label syntax is incorrect.\r\n"},
    {ERROR_DIR_NOT_EMPTY, u"The directory is not empty.\r\n"},
    {ERROR_ALREADY_EXISTS, u"Cannot create a file when that file already exists.\r\n"},
    {ERROR_FILENAME_EXCED_RANGE, u"The filename or extension is too long.\r\n"},
    {ERROR_DIRECTORY, u"The directory name is invalid.\r\n"},
    {ERROR_INVALID_ADDRESS, u"Attempt to access invalid address.\r\n"},
    {ERROR_OPERATION_ABORTED,
     u"The I/O operation has been aborted because of either a thread exit or an application request.\r\n"},
    {ERROR_NOACCESS, u"Invalid access to memory location.\r\n"},
    {ERROR_FILE_INVALID,
     u"The volume for a file has been externally altered so that the opened file is no longer valid.\r\n"},
    {ERROR_MAPPED_ALIGNMENT, u"The base address or the file offset specified does not have the proper alignment.\r\n"},
    {ERROR_CANCELLED, u"The operation was canceled by the user.\r\n"},
    {ERROR_USER_MAPPED_FILE,
     u"The requested operation cannot be performed on a file with a user-mapped section open.\r\n"},
    {ERROR_NOT_ALL_ASSIGNED, u"Not all privileges or groups referenced are assigned to the caller.\r\n"},
    {ERROR_PRIVILEGE_NOT_HELD, u"A required privilege is not held by the client.\r\n"},
    {ERROR_CANT_ACCESS_FILE, u"The file cannot be accessed by the system.\r\n"},
};

const char16_t* FindText(DWORD code)
{
    for (const auto& t : kTexts)
        if (t.code == code)
            return t.text;
    return nullptr;
}

// The languages whose texts this system has: the neutral choices and English.
bool KnownLanguage(DWORD languageId)
{
    return languageId == 0 || languageId == MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT) ||
           (languageId & 0x3FF) == LANG_ENGLISH;
}

}  // namespace

extern "C" DWORD WINAPI FormatMessageW(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                                       LPWSTR lpBuffer, DWORD nSize, va_list*)
{
    WINSIM_ENTER("FormatMessageW", {}, DWORD{0});
    // The system's message tables are loaded as libraries: a 32-bit process
    // with its redirector off would load the 64-bit ones and fail.
    if (TheWorld().process.wow64 && RedirectionDisabledOnThisThread())
        NoteMisuse("FormatMessageW with the file-system redirector off");
    if (!lpBuffer)
        return Fail(ERROR_INVALID_PARAMETER, DWORD{0});
    std::u16string text;
    if (dwFlags & FORMAT_MESSAGE_FROM_STRING) {
        if (!lpSource)
            return Fail(ERROR_INVALID_PARAMETER, DWORD{0});
        text = static_cast<const char16_t*>(lpSource);
    } else if (dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) {
        if (!KnownLanguage(dwLanguageId))
            return Fail(ERROR_RESOURCE_LANG_NOT_FOUND, DWORD{0});
        const char16_t* found = FindText(dwMessageId);
        if (!found)
            return Fail(ERROR_MR_MID_NOT_FOUND, DWORD{0});
        text = found;
    } else {
        return Fail(ERROR_INVALID_PARAMETER, DWORD{0});  // module message tables are not modelled
    }
    // Inserts ("%1") are only modelled as left alone.
    if (!(dwFlags & FORMAT_MESSAGE_IGNORE_INSERTS) && text.find(u'%') != std::u16string::npos)
        return Fail(ERROR_INVALID_PARAMETER, DWORD{0});

    const auto length = static_cast<DWORD>(text.size());
    if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        SIZE_T chars = std::max<SIZE_T>(length + 1, nSize);
        HLOCAL block = AllocateLocal(chars * sizeof(WCHAR));
        if (!block)
            return Fail(ERROR_NOT_ENOUGH_MEMORY, DWORD{0});
        auto* out = reinterpret_cast<WCHAR*>(block);
        std::copy(text.begin(), text.end(), out);
        out[length] = 0;
        *reinterpret_cast<WCHAR**>(lpBuffer) = out;
        return length;
    }
    if (length + 1 > nSize)
        return Fail(ERROR_INSUFFICIENT_BUFFER, DWORD{0});
    std::copy(text.begin(), text.end(), lpBuffer);
    lpBuffer[length] = 0;
    return length;
}
