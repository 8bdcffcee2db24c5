#include "transfer/system_error.h"

#include "plugin/host_bridge.h"
#include "plugin/redirection.h"
#include "plugin/win_owner.h"

WString SystemErrorText(DWORD code)
{
    // The message tables are loaded as libraries: not with the redirector off.
    FileSystemRedirectionBackOn library;
    WCHAR* buffer = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                      FORMAT_MESSAGE_ARGUMENT_ARRAY | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                                  nullptr, code, 0, reinterpret_cast<WCHAR*>(&buffer), 0, nullptr);
    UniqueLocalMemory owner(reinterpret_cast<HLOCAL>(buffer));
    WString text = length != 0 && buffer ? WString(buffer, length) : WString();
    // The system's texts end in ".\r\n"; the message puts its own ending.
    while (!text.empty() && (text.back() <= 32 || text.back() == '.'))
        text.pop_back();
    return text;
}

void ReportSystemError(Msg slot, WStringView separator)
{
    // Read first: building the message calls the system again.
    DWORD error = GetLastError();
    ShowHostMessage(Message(slot) + WString(separator) + SystemErrorText(error));
}
