// The host's published file-system plugin interface: the callbacks it hands
// over, the records it passes, and its result codes and flags. Written once
// here; every other file uses these names.
//
// The contract, briefly: the host loads the library, calls FsInitW once before
// any other export, keeps the callbacks valid until unload, and hands every
// handle from FsFindFirstW back to FsFindNextW and FsFindClose. Every export
// and callback uses the stdcall convention; nothing may unwind into the host.
#pragma once

#include <windows.h>

extern "C" {

typedef int(WINAPI* tProgressProcW)(int PluginNr, WCHAR* SourceName, WCHAR* TargetName, int PercentDone);
typedef void(WINAPI* tLogProcW)(int PluginNr, int MsgType, WCHAR* LogString);
typedef BOOL(WINAPI* tRequestProcW)(int PluginNr, int RequestType, WCHAR* CustomTitle, WCHAR* CustomText,
                                     WCHAR* ReturnedText, int maxlen);
typedef int(WINAPI* tProgressProc)(int PluginNr, char* SourceName, char* TargetName, int PercentDone);
typedef void(WINAPI* tLogProc)(int PluginNr, int MsgType, char* LogString);
typedef BOOL(WINAPI* tRequestProc)(int PluginNr, int RequestType, char* CustomTitle, char* CustomText,
                                    char* ReturnedText, int maxlen);

typedef struct {
    int size;
    DWORD PluginInterfaceVersionLow;
    DWORD PluginInterfaceVersionHi;
    char DefaultIniName[MAX_PATH];
} FsDefaultParamStruct;

typedef struct {
    DWORD SizeLow, SizeHigh;
    FILETIME LastWriteTime;
    int Attr;
} RemoteInfoStruct;

}  // extern "C"

// Request types of RequestProc.
enum : int {
    RT_Other = 0,
    RT_UserName = 1,
    RT_Password = 2,
    RT_Account = 3,
    RT_UserNameFirewall = 4,
    RT_PasswordFirewall = 5,
    RT_TargetDir = 6,
    RT_URL = 7,
    RT_MsgOK = 8,
    RT_MsgYesNo = 9,
    RT_MsgOKCancel = 10,
};

// Log message types (the plugin sends none).
enum : int {
    MSGTYPE_CONNECT = 1,
    MSGTYPE_DISCONNECT = 2,
    MSGTYPE_DETAILS = 3,
    MSGTYPE_TRANSFERCOMPLETE = 4,
    MSGTYPE_CONNECTCOMPLETE = 5,
    MSGTYPE_IMPORTANTERROR = 6,
    MSGTYPE_OPERATIONCOMPLETE = 7,
};

// Results of FsGetFileW, FsPutFileW, FsRenMovFileW.
enum : int {
    FS_FILE_OK = 0,
    FS_FILE_EXISTS = 1,
    FS_FILE_NOTFOUND = 2,
    FS_FILE_READERROR = 3,
    FS_FILE_WRITEERROR = 4,
    FS_FILE_USERABORT = 5,
    FS_FILE_NOTSUPPORTED = 6,
    FS_FILE_EXISTSRESUMEALLOWED = 7,
};

enum : int {
    FS_COPYFLAGS_OVERWRITE = 1,
    FS_COPYFLAGS_RESUME = 2,
    FS_COPYFLAGS_MOVE = 4,
    FS_COPYFLAGS_EXISTS_SAMECASE = 8,
    FS_COPYFLAGS_EXISTS_DIFFERENTCASE = 16,
};

// FsStatusInfo: the host encloses every operation in a start and an end.
enum : int {
    FS_STATUS_START = 0,
    FS_STATUS_END = 1,
};
enum : int {
    FS_STATUS_OP_LIST = 1,
    FS_STATUS_OP_GET_SINGLE = 2,
    FS_STATUS_OP_GET_MULTI = 3,
    FS_STATUS_OP_PUT_SINGLE = 4,
    FS_STATUS_OP_PUT_MULTI = 5,
    FS_STATUS_OP_RENMOV_SINGLE = 6,
    FS_STATUS_OP_RENMOV_MULTI = 7,
    FS_STATUS_OP_DELETE = 8,
    FS_STATUS_OP_ATTRIB = 9,
    FS_STATUS_OP_MKDIR = 10,
    FS_STATUS_OP_EXEC = 11,
    FS_STATUS_OP_CALCSIZE = 12,
    FS_STATUS_OP_SEARCH = 13,
    FS_STATUS_OP_SEARCH_TEXT = 14,
    FS_STATUS_OP_SYNC_SEARCH = 15,
    FS_STATUS_OP_SYNC_GET = 16,
    FS_STATUS_OP_SYNC_PUT = 17,
    FS_STATUS_OP_SYNC_DELETE = 18,
    FS_STATUS_OP_GET_MULTI_THREAD = 19,
    FS_STATUS_OP_PUT_MULTI_THREAD = 20,
};

enum : int {
    FS_EXEC_OK = 0,
    FS_EXEC_ERROR = 1,
    FS_EXEC_YOURSELF = -1,
    FS_EXEC_SYMLINK = -2,
};

enum : int {
    FS_ICONFLAG_SMALL = 1,
    FS_ICONFLAG_BACKGROUND = 2,
    FS_ICON_USEDEFAULT = 0,
    FS_ICON_EXTRACTED = 1,
    FS_ICON_EXTRACTED_DESTROY = 2,
    FS_ICON_DELAYED = 3,
};

enum : int {
    FS_BITMAP_NONE = 0,
    FS_BITMAP_EXTRACTED = 1,
    FS_BITMAP_EXTRACT_YOURSELF = 2,
    FS_BITMAP_EXTRACT_YOURSELF_ANDDELETE = 3,
    FS_BITMAP_CACHE = 256,
};

// Content-plugin field types and value results.
enum : int {
    ft_nomorefields = 0,
    ft_numeric_32 = 1,
    ft_numeric_64 = 2,
    ft_numeric_floating = 3,
    ft_date = 4,
    ft_time = 5,
    ft_boolean = 6,
    ft_multiplechoice = 7,
    ft_string = 8,
    ft_fulltext = 9,
    ft_datetime = 10,
    ft_stringw = 11,
    ft_nosuchfield = -1,
    ft_fileerror = -2,
    ft_fieldempty = -3,
    ft_ondemand = -4,
    ft_delayed = 0,
};

// FsContentGetSupportedFieldFlags: how the host may show a field.
enum : int {
    contflags_edit = 1,
    contflags_substsize = 2,
};

enum : int { CONTENT_DELAYIFSLOW = 1 };

// FsGetBackgroundFlags: which transfers the host may run on a thread of its own.
enum : int {
    BG_DOWNLOAD = 1,
    BG_UPLOAD = 2,
    BG_ASK_USER = 4,
};

// The plugin's boolean results: FALSE is 0, TRUE all bits set, except where an
// export passes the system's own value on.
constexpr BOOL kPluginTrue = -1;
inline BOOL PluginBool(bool value)
{
    return value ? kPluginTrue : FALSE;
}

// The exports, under their plain names (the .def file keeps them undecorated).
extern "C" {
int WINAPI FsInitW(int PluginNr, tProgressProcW pProgressProc, tLogProcW pLogProc, tRequestProcW pRequestProc);
int WINAPI FsInit(int PluginNr, tProgressProc pProgressProc, tLogProc pLogProc, tRequestProc pRequestProc);
HANDLE WINAPI FsFindFirst(char* Path, WIN32_FIND_DATAA* FindData);
BOOL WINAPI FsFindNext(HANDLE Hdl, WIN32_FIND_DATAA* FindData);
void WINAPI FsGetDefRootName(char* DefRootName, int maxlen);
void WINAPI FsSetDefaultParams(FsDefaultParamStruct* dps);
void WINAPI FsStatusInfoW(WCHAR* RemoteDir, int InfoStartEnd, int InfoOperation);
void WINAPI FsStatusInfo(char* RemoteDir, int InfoStartEnd, int InfoOperation);
}
