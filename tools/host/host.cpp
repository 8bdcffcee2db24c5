// tarnwick-host: a command-line stand-in for the file manager. It loads a
// plugin (.wfx64 / .wfx) with LoadLibraryW, finds every entry point with
// GetProcAddress by its plain name, hands FsInitW the three callbacks, and runs
// the commands given on its command line, printing what the plugin answers.
// The end-to-end tests drive it under Wine; a person can try the plugin with
// it from a shell. Output is UTF-8, one fact per line.
//
//   tarnwick-host [OPTIONS] PLUGIN COMMAND [ARGS...] [+ COMMAND [ARGS...]]...
//
// Options: --abort-at N (answer "abort" to the Nth progress report of each
// command), --shrink-at N PATH (at the Nth report, cut PATH to 0 bytes behind
// the system's back, as a failing medium would: under Wine only),
// --raise-after-unload (after FreeLibrary, raise an exception that the host's
// own handler must receive: nothing of the plugin may be left in the
// exception dispatch), --backup-from-files (serve the DLL's backup API from
// the files Wine holds, since Wine has none: tools/host/backup_layer.h).
//
// A command whose export the DLL lacks prints "export missing: Name" and makes
// the exit status 4. A fault inside the plugin prints "fault: ..." and exits
// with 70 (under Wine the status of a process that dies of a fault is not
// reliable, so the host ends itself).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "plugin/host_interface.h"
#include "tools/host/backup_layer.h"

namespace {

// ------------------------------------------------------------------ output
// A background copy prints beside the window thread: one whole line at a time.
CRITICAL_SECTION g_outLock;

void Out(const std::string& line)
{
    std::string text = line + "\n";
    DWORD written = 0;
    EnterCriticalSection(&g_outLock);
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    LeaveCriticalSection(&g_outLock);
}

std::string Utf8(const WCHAR* text, int length = -1)
{
    if (!text)
        return "(null)";
    if (length < 0)
        length = static_cast<int>(wcslen(text));
    if (length == 0)
        return {};
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, result.data(), bytes, nullptr, nullptr);
    return result;
}

std::string Utf8(const std::wstring& text)
{
    return Utf8(text.c_str(), static_cast<int>(text.size()));
}

// Messages keep to one line: control characters are shown escaped.
std::string OneLine(const std::string& text)
{
    std::string result;
    for (char c : text) {
        if (c == '\r')
            result += "\\r";
        else if (c == '\n')
            result += "\\n";
        else if (c == '\t')
            result += "\\t";
        else
            result += c;
    }
    return result;
}

std::string Hex(unsigned long long value, int digits = 8)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "0x%0*llx", digits, value);
    return buffer;
}

std::string FileTimeText(const FILETIME& time)
{
    ULONGLONG ticks = (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    SYSTEMTIME st{};
    if (ticks == 0 || !FileTimeToSystemTime(&time, &st))
        return std::to_string(ticks);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04u-%02u-%02uT%02u:%02u:%02u.%07llu", st.wYear, st.wMonth, st.wDay,
                  st.wHour, st.wMinute, st.wSecond, ticks % 10000000ULL);
    return buffer;
}

// ------------------------------------------------------------------ a shrinking file
// Windows and Wine refuse to cut a file that is mapped (ERROR_USER_MAPPED_FILE),
// which is the point: only a failing medium, or another system, makes a mapped
// view's pages vanish. Under Wine the file is a Linux file, so the host cuts it
// with the Linux system call itself, the way a process outside Wine would.
using WineGetUnixFileName = char*(CDECL*)(LPCWSTR);

long LinuxTruncate(const char* path)
{
    long result = 0;
#if defined(__x86_64__)
    // truncate(2) is system call 76 on x86-64.
    asm volatile("syscall" : "=a"(result) : "0"(76L), "D"(path), "S"(0L) : "rcx", "r11", "memory");
#else
    // truncate(2) is system call 92 on i386.
    asm volatile("int $0x80" : "=a"(result) : "0"(92L), "b"(path), "c"(0L) : "memory");
#endif
    return result;
}

bool ShrinkBehindTheSystem(const std::wstring& path)
{
    auto toUnix = reinterpret_cast<WineGetUnixFileName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) {
        Out("shrink: not under Wine, the file stays as it is");
        return false;
    }
    char* unixPath = toUnix(path.c_str());
    if (!unixPath) {
        Out("shrink: no Linux path for " + Utf8(path));
        return false;
    }
    long result = LinuxTruncate(unixPath);
    HeapFree(GetProcessHeap(), 0, unixPath);
    Out("shrink: " + Utf8(path) + " cut to 0 bytes" + (result == 0 ? "" : ", failed: " + std::to_string(-result)));
    return result == 0;
}

// ------------------------------------------------------------------ callbacks
// Counted by whichever thread runs the copy (one at a time).
LONG volatile g_progressCount = 0;
int g_abortAt = 0;  // answer 1 (abort) to this progress report; 0 never
int g_shrinkAt = 0;  // cut g_shrinkPath at this progress report; 0 never
std::wstring g_shrinkPath;

int WINAPI Progress(int PluginNr, WCHAR* SourceName, WCHAR* TargetName, int PercentDone)
{
    const LONG count = InterlockedIncrement(&g_progressCount);
    if (g_shrinkAt != 0 && count == g_shrinkAt)
        ShrinkBehindTheSystem(g_shrinkPath);
    int answer = (g_abortAt != 0 && count == g_abortAt) ? 1 : 0;
    Out("progress: " + std::to_string(PercentDone) + "% " + Utf8(SourceName) + " -> " + Utf8(TargetName) +
        " (plugin " + std::to_string(PluginNr) + (answer ? ", answered abort)" : ")"));
    return answer;
}

void WINAPI Log(int PluginNr, int MsgType, WCHAR* LogString)
{
    Out("log " + std::to_string(MsgType) + ": " + OneLine(Utf8(LogString)) + " (plugin " + std::to_string(PluginNr) +
        ")");
}

BOOL WINAPI Request(int PluginNr, int RequestType, WCHAR* CustomTitle, WCHAR* CustomText, WCHAR* ReturnedText,
                    int maxlen)
{
    if (RequestType == RT_MsgOK) {
        Out("message: " + OneLine(Utf8(CustomText)) + (CustomTitle ? " [title " + Utf8(CustomTitle) + "]" : "") +
            " (plugin " + std::to_string(PluginNr) + ")");
        return TRUE;
    }
    Out("request " + std::to_string(RequestType) + ": " + OneLine(Utf8(CustomText)) + " (maxlen " +
        std::to_string(maxlen) + ", declined)");
    if (ReturnedText && maxlen > 0)
        ReturnedText[0] = 0;
    return FALSE;
}

LONG WINAPI Fault(EXCEPTION_POINTERS* info)
{
    const EXCEPTION_RECORD* record = info ? info->ExceptionRecord : nullptr;
    Out("fault: exception " + Hex(record ? record->ExceptionCode : 0) + " at " +
        Hex(reinterpret_cast<ULONG_PTR>(record ? record->ExceptionAddress : nullptr), 16));
    ExitProcess(70);
    return EXCEPTION_EXECUTE_HANDLER;
}

// After the plugin is gone, the host's own exceptions must reach the host's
// own handlers: a handler the plugin left registered would run freed code.
constexpr DWORD kHostException = 0xE0000001;
bool g_hostHandlerRan = false;

LONG WINAPI HostHandler(EXCEPTION_POINTERS* info)
{
    if (info->ExceptionRecord->ExceptionCode != kHostException)
        return EXCEPTION_CONTINUE_SEARCH;
    g_hostHandlerRan = true;
    return EXCEPTION_CONTINUE_EXECUTION;
}

void RaiseOwnException()
{
    PVOID handler = AddVectoredExceptionHandler(0, HostHandler);
    RaiseException(kHostException, 0, 0, nullptr);
    RemoveVectoredExceptionHandler(handler);
    Out(std::string("after unload: ") +
        (g_hostHandlerRan ? "the host's own exception handler ran" : "the host's own exception handler never ran"));
}

// ------------------------------------------------------------------ the plugin
HMODULE g_plugin = nullptr;
bool g_missing = false;

template <typename F>
F Export(const char* name)
{
    // GetProcAddress returns FARPROC; the cast to the export's own type is the
    // file manager's way too.
    FARPROC proc = GetProcAddress(g_plugin, name);
    if (!proc) {
        Out(std::string("export missing: ") + name);
        g_missing = true;
    }
    return reinterpret_cast<F>(reinterpret_cast<void*>(proc));
}

using FsInitWProc = int(WINAPI*)(int, tProgressProcW, tLogProcW, tRequestProcW);
using FsSetDefaultParamsProc = void(WINAPI*)(FsDefaultParamStruct*);
using FsGetDefRootNameProc = void(WINAPI*)(char*, int);
using FsFindFirstWProc = HANDLE(WINAPI*)(WCHAR*, WIN32_FIND_DATAW*);
using FsFindNextWProc = BOOL(WINAPI*)(HANDLE, WIN32_FIND_DATAW*);
using FsFindCloseProc = int(WINAPI*)(HANDLE);
using FsGetFileWProc = int(WINAPI*)(WCHAR*, WCHAR*, int, RemoteInfoStruct*);
using FsPutFileWProc = int(WINAPI*)(WCHAR*, WCHAR*, int);
using FsRenMovFileWProc = int(WINAPI*)(WCHAR*, WCHAR*, BOOL, BOOL, RemoteInfoStruct*);
using FsPathProc = BOOL(WINAPI*)(WCHAR*);
using FsExecuteFileWProc = int(WINAPI*)(HWND, WCHAR*, WCHAR*);
using FsSetAttrWProc = BOOL(WINAPI*)(WCHAR*, int);
using FsSetTimeWProc = BOOL(WINAPI*)(WCHAR*, FILETIME*, FILETIME*, FILETIME*);
using FsExtractCustomIconWProc = int(WINAPI*)(WCHAR*, int, HICON*);
using FsGetPreviewBitmapWProc = int(WINAPI*)(WCHAR*, int, int, HBITMAP*);
using FsContentGetSupportedFieldProc = int(WINAPI*)(int, char*, char*, int);
using FsContentGetValueWProc = int(WINAPI*)(WCHAR*, int, int, void*, int, int);
using FsContentGetDefaultSortOrderProc = int(WINAPI*)(int);
using FsContentGetDefaultViewWProc = BOOL(WINAPI*)(WCHAR*, WCHAR*, WCHAR*, WCHAR*, int);

// The host's name buffers: in/out names hold 1,023 characters and a null.
constexpr int kNameBuffer = 1024;

struct NameBuffer {
    WCHAR text[kNameBuffer] = {};
    explicit NameBuffer(const std::wstring& value) { wcsncpy(text, value.c_str(), kNameBuffer - 1); }
};

std::string FileResultName(int result)
{
    static const char* const names[] = {"FS_FILE_OK",         "FS_FILE_EXISTS",     "FS_FILE_NOTFOUND",
                                        "FS_FILE_READERROR",  "FS_FILE_WRITEERROR", "FS_FILE_USERABORT",
                                        "FS_FILE_NOTSUPPORTED", "FS_FILE_EXISTSRESUMEALLOWED"};
    if (result >= 0 && result <= 7)
        return std::to_string(result) + " " + names[result];
    return std::to_string(result);
}

std::string BoolText(BOOL value)
{
    return std::to_string(value) + (value ? " TRUE" : " FALSE");
}

int ParseInt(const std::wstring& text)
{
    return static_cast<int>(std::wcstol(text.c_str(), nullptr, 0));
}

// "-" (leave unchanged), a decimal FILETIME count, or YYYY-MM-DDThh:mm:ss[.fffffff] (UTC).
bool ParseTime(const std::wstring& text, FILETIME& time, bool& given)
{
    given = text != L"-";
    if (!given)
        return true;
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    unsigned long long fraction = 0;
    ULONGLONG ticks = 0;
    if (std::swscanf(text.c_str(), L"%u-%u-%uT%u:%u:%u.%llu", &year, &month, &day, &hour, &minute, &second,
                     &fraction) >= 6) {
        SYSTEMTIME st{};
        st.wYear = static_cast<WORD>(year);
        st.wMonth = static_cast<WORD>(month);
        st.wDay = static_cast<WORD>(day);
        st.wHour = static_cast<WORD>(hour);
        st.wMinute = static_cast<WORD>(minute);
        st.wSecond = static_cast<WORD>(second);
        if (!SystemTimeToFileTime(&st, &time))
            return false;
        ticks = ((static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime) + fraction;
    } else {
        wchar_t* end = nullptr;
        ticks = std::wcstoull(text.c_str(), &end, 10);
        if (!end || *end != 0)
            return false;
    }
    time.dwLowDateTime = static_cast<DWORD>(ticks);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return true;
}

void PrintFindData(const WIN32_FIND_DATAW& data)
{
    ULONGLONG size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    Out("entry: " + Hex(data.dwFileAttributes) + " " + std::to_string(size) + " " +
        FileTimeText(data.ftLastWriteTime) + " " + Utf8(data.cFileName));
}

// ------------------------------------------------------------------ commands
using Args = std::vector<std::wstring>;

bool Need(const Args& args, size_t count, const char* usage)
{
    if (args.size() >= count + 1)
        return true;
    Out(std::string("usage: ") + usage);
    return false;
}

bool List(const Args& a)
{
    if (!Need(a, 1, "list PATH"))
        return false;
    auto first = Export<FsFindFirstWProc>("FsFindFirstW");
    auto next = Export<FsFindNextWProc>("FsFindNextW");
    auto close = Export<FsFindCloseProc>("FsFindClose");
    if (!first || !next || !close)
        return true;
    NameBuffer path(a[1]);
    WIN32_FIND_DATAW data{};
    SetLastError(0xdeadbeef);
    HANDLE h = first(path.text, &data);
    if (h == INVALID_HANDLE_VALUE) {
        Out("FsFindFirstW: INVALID_HANDLE_VALUE, error " + std::to_string(GetLastError()));
        Out("entries: 0");
        return true;
    }
    int count = 0;
    do {
        PrintFindData(data);
        ++count;
        data = WIN32_FIND_DATAW{};
        SetLastError(0xdeadbeef);
    } while (next(h, &data));
    DWORD error = GetLastError();
    Out("FsFindNextW: FALSE, error " + std::to_string(error));
    Out("FsFindClose = " + std::to_string(close(h)));
    Out("entries: " + std::to_string(count));
    return true;
}

bool Get(const Args& a)
{
    if (!Need(a, 2, "get REMOTE LOCAL [COPYFLAGS]"))
        return false;
    auto get = Export<FsGetFileWProc>("FsGetFileW");
    if (!get)
        return true;
    NameBuffer remote(a[1]);
    NameBuffer local(a[2]);
    int flags = a.size() > 3 ? ParseInt(a[3]) : 0;
    RemoteInfoStruct info{};
    int result = get(remote.text, local.text, flags, &info);
    Out("local name: " + Utf8(local.text));
    Out("FsGetFileW = " + FileResultName(result));
    return true;
}

bool Put(const Args& a)
{
    if (!Need(a, 2, "put LOCAL REMOTE [COPYFLAGS]"))
        return false;
    auto put = Export<FsPutFileWProc>("FsPutFileW");
    if (!put)
        return true;
    NameBuffer local(a[1]);
    NameBuffer remote(a[2]);
    int flags = a.size() > 3 ? ParseInt(a[3]) : 0;
    int result = put(local.text, remote.text, flags);
    if (a[2] != remote.text)
        Out("remote name now: " + Utf8(remote.text));
    Out("FsPutFileW = " + FileResultName(result));
    return true;
}

bool Rename(const Args& a)
{
    if (!Need(a, 2, "rename OLD NEW [MOVE [OVERWRITE]]"))
        return false;
    auto ren = Export<FsRenMovFileWProc>("FsRenMovFileW");
    if (!ren)
        return true;
    NameBuffer from(a[1]);
    NameBuffer to(a[2]);
    BOOL move = a.size() > 3 ? ParseInt(a[3]) : FALSE;
    BOOL overwrite = a.size() > 4 ? ParseInt(a[4]) : FALSE;
    RemoteInfoStruct info{};
    Out("FsRenMovFileW = " + FileResultName(ren(from.text, to.text, move, overwrite, &info)));
    return true;
}

bool PathCommand(const Args& a, const char* exportName)
{
    if (!Need(a, 1, "del|rmdir|mkdir PATH"))
        return false;
    auto call = Export<FsPathProc>(exportName);
    if (!call)
        return true;
    NameBuffer path(a[1]);
    SetLastError(0xdeadbeef);
    BOOL result = call(path.text);
    DWORD error = GetLastError();
    Out(std::string(exportName) + " = " + BoolText(result) + ", error " + std::to_string(error));
    return true;
}

// Another program holding a file open without sharing it, until the host ends.
std::vector<HANDLE> g_held;

bool Hold(const Args& a)
{
    if (!Need(a, 1, "hold PATH [SHARE]"))
        return false;
    // SHARE: the share mode the other program grants (1 read, 2 write, 4
    // delete); none by default.
    const DWORD share = a.size() > 2 ? static_cast<DWORD>(ParseInt(a[2])) : 0;
    HANDLE h = CreateFileW(a[1].c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        Out("hold: cannot open " + Utf8(a[1]) + ", error " + std::to_string(GetLastError()));
        return false;
    }
    g_held.push_back(h);
    Out("held: " + Utf8(a[1]));
    return true;
}

// FsStatusInfoW as the file manager sends it around an operation.
using FsStatusInfoWProc = void(WINAPI*)(WCHAR*, int, int);

bool Status(const Args& a)
{
    if (!Need(a, 3, "status start|end DIR OPERATION"))
        return false;
    auto status = Export<FsStatusInfoWProc>("FsStatusInfoW");
    if (!status)
        return true;
    std::wstring dir = a[2];
    const int startEnd = a[1] == L"end" ? 1 : 0;
    status(dir.data(), startEnd, ParseInt(a[3]));
    Out("FsStatusInfoW " + Utf8(a[1]) + " " + Utf8(a[2]) + " " + Utf8(a[3]));
    return true;
}

bool Attr(const Args& a)
{
    if (!Need(a, 2, "attr PATH ATTRIBUTES"))
        return false;
    auto set = Export<FsSetAttrWProc>("FsSetAttrW");
    if (!set)
        return true;
    NameBuffer path(a[1]);
    Out("FsSetAttrW = " + BoolText(set(path.text, ParseInt(a[2]))));
    return true;
}

bool Time(const Args& a)
{
    if (!Need(a, 4, "time PATH CREATION ACCESS WRITE (each -, a FILETIME count or YYYY-MM-DDThh:mm:ss[.fffffff])"))
        return false;
    FILETIME times[3]{};
    bool given[3]{};
    for (int i = 0; i < 3; ++i) {
        if (!ParseTime(a[static_cast<size_t>(i) + 2], times[i], given[i])) {
            Out("bad time: " + Utf8(a[static_cast<size_t>(i) + 2]));
            return false;
        }
    }
    auto set = Export<FsSetTimeWProc>("FsSetTimeW");
    if (!set)
        return true;
    NameBuffer path(a[1]);
    BOOL result = set(path.text, given[0] ? &times[0] : nullptr, given[1] ? &times[1] : nullptr,
                      given[2] ? &times[2] : nullptr);
    Out("FsSetTimeW = " + BoolText(result));
    return true;
}

bool Exec(const Args& a)
{
    if (!Need(a, 2, "exec PATH VERB"))
        return false;
    auto exec = Export<FsExecuteFileWProc>("FsExecuteFileW");
    if (!exec)
        return true;
    NameBuffer path(a[1]);
    NameBuffer verb(a[2]);
    int result = exec(nullptr, path.text, verb.text);
    if (a[1] != path.text)
        Out("name now: " + Utf8(path.text));
    Out("FsExecuteFileW = " + std::to_string(result));
    return true;
}

std::string FieldTypeName(int type)
{
    static const char* const names[] = {"nomorefields", "numeric_32",     "numeric_64", "numeric_floating",
                                        "date",         "time",           "boolean",    "multiplechoice",
                                        "string",       "fulltext",       "datetime",   "stringw"};
    if (type >= 0 && type <= 11)
        return names[type];
    switch (type) {
    case ft_nosuchfield:
        return "nosuchfield";
    case ft_fileerror:
        return "fileerror";
    case ft_fieldempty:
        return "fieldempty";
    case ft_ondemand:
        return "ondemand";
    }
    return std::to_string(type);
}

std::string ValueText(int type, const unsigned char* value)
{
    switch (type) {
    case ft_numeric_32:
    case ft_boolean: {
        int v = 0;
        memcpy(&v, value, sizeof v);
        return std::to_string(v);
    }
    case ft_numeric_64: {
        long long v = 0;
        memcpy(&v, value, sizeof v);
        return std::to_string(v);
    }
    case ft_numeric_floating: {
        double v = 0;
        memcpy(&v, value, sizeof v);
        return std::to_string(v);
    }
    case ft_datetime: {
        FILETIME t{};
        memcpy(&t, value, sizeof t);
        return FileTimeText(t);
    }
    case ft_string:
    case ft_multiplechoice:
    case ft_fulltext:
        return OneLine(reinterpret_cast<const char*>(value));
    case ft_stringw:
        return OneLine(Utf8(reinterpret_cast<const WCHAR*>(value)));
    }
    return {};
}

bool Fields(const Args&)
{
    auto field = Export<FsContentGetSupportedFieldProc>("FsContentGetSupportedField");
    if (!field)
        return true;
    auto order = Export<FsContentGetDefaultSortOrderProc>("FsContentGetDefaultSortOrder");
    for (int i = 0; i < 100; ++i) {
        char name[256] = {}, units[256] = {};
        int type = field(i, name, units, sizeof name);
        if (type == ft_nomorefields)
            break;
        Out("field " + std::to_string(i) + ": " + name + " (" + FieldTypeName(type) + ")" +
            (units[0] ? std::string(" units ") + units : "") +
            (order ? ", sort order " + std::to_string(order(i)) : ""));
    }
    return true;
}

bool Columns(const Args& a)
{
    if (!Need(a, 1, "columns PATH [FLAGS]"))
        return false;
    auto field = Export<FsContentGetSupportedFieldProc>("FsContentGetSupportedField");
    auto value = Export<FsContentGetValueWProc>("FsContentGetValueW");
    if (!field || !value)
        return true;
    int flags = a.size() > 2 ? ParseInt(a[2]) : 0;
    for (int i = 0; i < 100; ++i) {
        char name[256] = {}, units[256] = {};
        if (field(i, name, units, sizeof name) == ft_nomorefields)
            break;
        NameBuffer path(a[1]);
        // maxlen is a size in bytes; the buffer is aligned for every value type.
        alignas(8) unsigned char buffer[4096] = {};
        int type = value(path.text, i, 0, buffer, sizeof buffer, flags);
        Out("column " + std::string(name) + ": " + FieldTypeName(type) + " " + ValueText(type, buffer));
    }
    return true;
}

bool View(const Args&)
{
    auto view = Export<FsContentGetDefaultViewWProc>("FsContentGetDefaultViewW");
    if (!view)
        return true;
    WCHAR contents[1024] = {}, headers[1024] = {}, widths[1024] = {}, options[1024] = {};
    BOOL result = view(contents, headers, widths, options, 1024);
    Out("FsContentGetDefaultViewW = " + BoolText(result));
    Out("view contents: " + Utf8(contents));
    Out("view headers: " + OneLine(Utf8(headers)));
    Out("view widths: " + Utf8(widths));
    Out("view options: " + Utf8(options));
    return true;
}

std::string IconText(HICON icon)
{
    ICONINFO info{};
    if (!GetIconInfo(icon, &info))
        return "an icon GetIconInfo cannot read, error " + std::to_string(GetLastError());
    BITMAP bitmap{};
    HBITMAP shape = info.hbmColor ? info.hbmColor : info.hbmMask;
    GetObjectW(shape, sizeof bitmap, &bitmap);
    int height = info.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2;  // a mask-only icon stacks AND and XOR
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
    return std::to_string(bitmap.bmWidth) + "x" + std::to_string(height);
}

bool Icon(const Args& a)
{
    if (!Need(a, 1, "icon PATH [FLAGS]  (1 small, 2 background)"))
        return false;
    auto extract = Export<FsExtractCustomIconWProc>("FsExtractCustomIconW");
    if (!extract)
        return true;
    NameBuffer path(a[1]);
    int flags = a.size() > 2 ? ParseInt(a[2]) : 0;
    HICON icon = nullptr;
    int result = extract(path.text, flags, &icon);
    static const char* const names[] = {"FS_ICON_USEDEFAULT", "FS_ICON_EXTRACTED", "FS_ICON_EXTRACTED_DESTROY",
                                        "FS_ICON_DELAYED"};
    Out("FsExtractCustomIconW = " + std::to_string(result) + (result >= 0 && result <= 3 ? std::string(" ") + names[result] : ""));
    if (a[1] != path.text)
        Out("name now: " + Utf8(path.text));
    if (icon) {
        Out("icon: " + IconText(icon));
        if (result == FS_ICON_EXTRACTED_DESTROY)
            DestroyIcon(icon);
    } else {
        Out("icon: none");
    }
    return true;
}

bool Preview(const Args& a)
{
    if (!Need(a, 1, "preview PATH [WIDTH HEIGHT]"))
        return false;
    auto preview = Export<FsGetPreviewBitmapWProc>("FsGetPreviewBitmapW");
    if (!preview)
        return true;
    NameBuffer path(a[1]);
    int width = a.size() > 2 ? ParseInt(a[2]) : 96;
    int height = a.size() > 3 ? ParseInt(a[3]) : 96;
    HBITMAP bitmap = nullptr;
    int result = preview(path.text, width, height, &bitmap);
    Out("FsGetPreviewBitmapW = " + std::to_string(result));
    Out("name now: " + Utf8(path.text));
    if (bitmap) {
        BITMAP info{};
        GetObjectW(bitmap, sizeof info, &info);
        Out("bitmap: " + std::to_string(info.bmWidth) + "x" + std::to_string(info.bmHeight));
        DeleteObject(bitmap);
    }
    return true;
}

bool RootName(const Args&)
{
    auto root = Export<FsGetDefRootNameProc>("FsGetDefRootName");
    if (!root)
        return true;
    char name[MAX_PATH] = {};
    root(name, MAX_PATH);
    Out(std::string("root name: ") + name);
    return true;
}

bool Run(const Args& a);

// ------------------------------------------------------------------ a background copy
// The file manager asks FsGetBackgroundFlags and, where the plugin allows it,
// runs an F5/F6 on a thread of its own, enclosed in FsStatusInfoW there,
// while the user keeps browsing on the window thread: listings, and every
// column, first from the window thread (CONTENT_DELAYIFSLOW) and then as its
// background column call.
using FsGetBackgroundFlagsProc = int(WINAPI*)();

struct BackgroundCopy {
    Args transfer;
    std::wstring remoteDir;
    int operation = 0;
    HANDLE windowStarted = nullptr;
};

DWORD WINAPI RunBackgroundCopy(LPVOID parameter)
{
    auto* job = static_cast<BackgroundCopy*>(parameter);
    // The copy starts once the window thread is busy, so the two overlap.
    WaitForSingleObject(job->windowStarted, 10000);
    auto status = Export<FsStatusInfoWProc>("FsStatusInfoW");
    std::wstring dir = job->remoteDir;
    if (status)
        status(dir.data(), FS_STATUS_START, job->operation);
    Out("background thread: " + Utf8(job->transfer[0]) + " starts");
    Run(job->transfer);
    if (status)
        status(dir.data(), FS_STATUS_END, job->operation);
    Out("background thread: ends");
    return 0;
}

bool Background(const Args& a)
{
    if (!Need(a, 4, "background WATCH get|put FROM TO [FLAGS]") || (a[2] != L"get" && a[2] != L"put"))
        return false;
    auto flagsOf = Export<FsGetBackgroundFlagsProc>("FsGetBackgroundFlags");
    auto first = Export<FsFindFirstWProc>("FsFindFirstW");
    auto next = Export<FsFindNextWProc>("FsFindNextW");
    auto close = Export<FsFindCloseProc>("FsFindClose");
    auto field = Export<FsContentGetSupportedFieldProc>("FsContentGetSupportedField");
    auto value = Export<FsContentGetValueWProc>("FsContentGetValueW");
    if (!flagsOf || !first || !next || !close || !field || !value)
        return true;
    const bool get = a[2] == L"get";
    const int flags = flagsOf();
    Out("FsGetBackgroundFlags = " + std::to_string(flags));
    BackgroundCopy job;
    job.transfer.assign(a.begin() + 2, a.end());
    if (!(flags & (get ? BG_DOWNLOAD : BG_UPLOAD))) {
        Out("in the foreground: the plugin does not allow this direction in the background");
        return Run(job.transfer);
    }
    const std::wstring& remote = get ? a[3] : a[4];
    job.remoteDir = remote.substr(0, remote.find_last_of(L'\\'));
    job.operation = get ? FS_STATUS_OP_GET_MULTI : FS_STATUS_OP_PUT_MULTI;
    job.windowStarted = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, RunBackgroundCopy, &job, 0, nullptr);
    if (!thread) {
        Out("background: no thread, error " + std::to_string(GetLastError()));
        CloseHandle(job.windowStarted);
        return false;
    }
    int fields = 0;
    for (char name[256], units[256]; fields < 100 && field(fields, name, units, sizeof name) != ft_nomorefields;)
        ++fields;
    int rounds = 0, entries = 0, delayed = 0, failures = 0;
    do {
        NameBuffer watch(a[1]);
        WIN32_FIND_DATAW data{};
        HANDLE h = first(watch.text, &data);
        SetEvent(job.windowStarted);
        if (h == INVALID_HANDLE_VALUE) {
            ++failures;
            continue;
        }
        entries = 0;
        do {
            ++entries;
            for (int i = 0; i < fields; ++i) {
                NameBuffer path(a[1] + L"\\" + data.cFileName);
                alignas(8) unsigned char buffer[4096] = {};
                delayed += value(path.text, i, 0, buffer, sizeof buffer, CONTENT_DELAYIFSLOW) == ft_delayed;
                failures += value(path.text, i, 0, buffer, sizeof buffer, 0) == ft_fileerror;
            }
        } while (next(h, &data));
        close(h);
        ++rounds;
    } while (WaitForSingleObject(thread, 0) == WAIT_TIMEOUT);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CloseHandle(job.windowStarted);
    Out("window thread: " + std::to_string(rounds) + " rounds while the copy ran, " + std::to_string(entries) +
        " entries, " + std::to_string(delayed) + " values delayed, " + std::to_string(failures) + " failures");
    return true;
}

void Usage()
{
    Out("usage: tarnwick-host [OPTIONS] PLUGIN COMMAND [ARGS...] [+ COMMAND [ARGS...]]...");
    Out("commands:");
    Out("  list PATH                      FsFindFirstW/FsFindNextW/FsFindClose (PATH \\ is the root)");
    Out("  get REMOTE LOCAL [FLAGS]       FsGetFileW: copy out (1 overwrite, 4 move)");
    Out("  put LOCAL REMOTE [FLAGS]       FsPutFileW: copy in");
    Out("  rename OLD NEW [MOVE [OVER]]   FsRenMovFileW");
    Out("  del PATH | rmdir PATH | mkdir PATH");
    Out("  attr PATH ATTRIBUTES           FsSetAttrW (0x21 = read-only and archive)");
    Out("  time PATH CREATED ACCESSED WRITTEN   FsSetTimeW (- keeps; YYYY-MM-DDThh:mm:ss UTC)");
    Out("  exec PATH VERB                 FsExecuteFileW (open, properties, \"chmod 644\", \"quote mkdir x\")");
    Out("  fields | columns PATH | view   the content columns");
    Out("  icon PATH [FLAGS]              FsExtractCustomIconW (1 small, 2 background)");
    Out("  preview PATH [W H]             FsGetPreviewBitmapW");
    Out("  rootname                       FsGetDefRootName");
    Out("  hold PATH [SHARE]              keep PATH open for writing (unshared, or SHARE) until the host ends");
    Out("  status start|end DIR OP        FsStatusInfoW (8 delete, 3 copy out, 5 copy in)");
    Out("  background WATCH get|put FROM TO [FLAGS]   the copy on a thread of its own (if FsGetBackgroundFlags");
    Out("                                 allows), while this thread lists WATCH and reads its columns");
    Out("options: --abort-at N, --shrink-at N PATH (under Wine), --raise-after-unload, --backup-from-files");
}

bool Run(const Args& a)
{
    const std::wstring& c = a[0];
    if (c == L"list")
        return List(a);
    if (c == L"get")
        return Get(a);
    if (c == L"put")
        return Put(a);
    if (c == L"rename")
        return Rename(a);
    if (c == L"del")
        return PathCommand(a, "FsDeleteFileW");
    if (c == L"rmdir")
        return PathCommand(a, "FsRemoveDirW");
    if (c == L"mkdir")
        return PathCommand(a, "FsMkDirW");
    if (c == L"attr")
        return Attr(a);
    if (c == L"time")
        return Time(a);
    if (c == L"exec")
        return Exec(a);
    if (c == L"fields")
        return Fields(a);
    if (c == L"columns")
        return Columns(a);
    if (c == L"view")
        return View(a);
    if (c == L"icon")
        return Icon(a);
    if (c == L"preview")
        return Preview(a);
    if (c == L"rootname")
        return RootName(a);
    if (c == L"hold")
        return Hold(a);
    if (c == L"status")
        return Status(a);
    if (c == L"background")
        return Background(a);
    Out("unknown command: " + Utf8(c));
    return false;
}

}  // namespace

int main()
{
    InitializeCriticalSection(&g_outLock);
    SetUnhandledExceptionFilter(Fault);
    // The arguments as UTF-16: stream names need not fit the ANSI code page.
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    Args args;
    for (int i = 1; argv && i < argc; ++i)
        args.emplace_back(argv[i]);
    LocalFree(argv);

    size_t at = 0;
    bool raiseAfterUnload = false;
    bool backupFromFiles = false;
    for (;;) {
        if (at + 1 < args.size() && args[at] == L"--abort-at") {
            g_abortAt = ParseInt(args[at + 1]);
            at += 2;
        } else if (at + 2 < args.size() && args[at] == L"--shrink-at") {
            g_shrinkAt = ParseInt(args[at + 1]);
            g_shrinkPath = args[at + 2];
            at += 3;
        } else if (at < args.size() && args[at] == L"--raise-after-unload") {
            raiseAfterUnload = true;
            at += 1;
        } else if (at < args.size() && args[at] == L"--backup-from-files") {
            backupFromFiles = true;
            at += 1;
        } else {
            break;
        }
    }
    if (args.size() < at + 2) {
        Usage();
        return 2;
    }
    const std::wstring pluginPath = args[at++];
    g_plugin = LoadLibraryW(pluginPath.c_str());
    if (!g_plugin) {
        Out("cannot load " + Utf8(pluginPath) + ": error " + std::to_string(GetLastError()));
        return 3;
    }
    if (backupFromFiles && backup_layer::Install(g_plugin))
        Out("backup API: served from Wine's files by the host (Wine has none)");
    // The file manager's order: FsInitW, then FsSetDefaultParams.
    auto init = Export<FsInitWProc>("FsInitW");
    if (!init)
        return 4;
    Out("FsInitW = " + std::to_string(init(1, Progress, Log, Request)));
    if (auto params = reinterpret_cast<FsSetDefaultParamsProc>(
            reinterpret_cast<void*>(GetProcAddress(g_plugin, "FsSetDefaultParams")))) {
        FsDefaultParamStruct dps{};
        dps.size = sizeof dps;
        dps.PluginInterfaceVersionHi = 2;
        dps.PluginInterfaceVersionLow = 0;
        std::snprintf(dps.DefaultIniName, sizeof dps.DefaultIniName, "C:\\fsplugin.ini");
        params(&dps);
    }

    bool ok = true;
    while (at < args.size()) {
        Args command;
        while (at < args.size() && args[at] != L"+")
            command.push_back(args[at++]);
        ++at;  // the "+" between commands
        if (command.empty())
            continue;
        g_progressCount = 0;
        Out("> " + Utf8(command[0]));
        ok = Run(command) && ok;
    }
    // Unload as the file manager does at exit.
    FreeLibrary(g_plugin);
    for (HANDLE h : g_held)
        CloseHandle(h);
    if (raiseAfterUnload)
        RaiseOwnException();
    if (g_missing)
        return 4;
    return ok ? 0 : 2;
}
