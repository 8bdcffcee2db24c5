// The content-plugin exports that the host calls for its custom columns.
#pragma once

#include <windows.h>

extern "C" {
int WINAPI FsContentGetSupportedField(int FieldIndex, char* FieldName, char* Units, int maxlen);
int WINAPI FsContentGetValueW(WCHAR* FileName, int FieldIndex, int UnitIndex, void* FieldValue, int maxlen,
                              int flags);
int WINAPI FsContentGetValue(char* FileName, int FieldIndex, int UnitIndex, void* FieldValue, int maxlen, int flags);
int WINAPI FsContentGetDefaultSortOrder(int FieldIndex);
int WINAPI FsContentGetSupportedFieldFlags(int FieldIndex);
void WINAPI FsContentStopGetValueW(WCHAR* FileName);
void WINAPI FsContentStopGetValue(char* FileName);
BOOL WINAPI FsContentGetDefaultViewW(WCHAR* ViewContents, WCHAR* ViewHeaders, WCHAR* ViewWidths, WCHAR* ViewOptions,
                                     int maxlen);
BOOL WINAPI FsContentGetDefaultView(char* ViewContents, char* ViewHeaders, char* ViewWidths, char* ViewOptions,
                                    int maxlen);
}

// The default column view. Each "\n" is the two characters backslash and n.
inline constexpr const WCHAR* kViewContents =
    TEXT("[=<fs>.Type]\\n[=<fs>.Has Stream]\\n[=<fs>.Streams Count]\\n[=<fs>.All Streams One Line]");
inline constexpr const WCHAR* kViewHeaders = TEXT("Type\\nHas Stream\\nStreams Count\\nAll Streams One Line");
inline constexpr const WCHAR* kViewWidths = TEXT("80,-30,-40,-37,50,510");
inline constexpr const WCHAR* kViewOptions = TEXT("-1|0");
