// FsExecuteFileW: opening an entry, its properties, the settings dialog at the
// plugin's root, and the command lines typed while a directory of the
// plugin's file system is the current one.
#pragma once

#include <windows.h>

#include "plugin/text.h"

extern "C" int WINAPI FsExecuteFileW(HWND MainWin, WCHAR* RemoteName, WCHAR* Verb);

// A typed command line (what follows "quote "), as the plugin reads it.
struct TypedCommand {
    enum class Kind { Delete, MakeDirectory, Launch };
    Kind Action = Kind::Launch;
    // Delete and MakeDirectory: the argument, trimmed, with one enclosing
    // double quote removed from each end.
    WString Argument;
};

TypedCommand ParseCommandLine(WStringView line);

// The argument of "del", "rmdir" or "mkdir" as a full local path: a relative
// one ("old.txt", "sub\new", "..\x", "\x") is taken in the current plugin
// directory, as a user at a command line means it; an absolute one, and an
// empty one, stay as they are.
WString ResolveCommandArgument(WStringView currentDirectory, WStringView argument);

// The whole verb in lower case, by the system's mapping.
WString LowerCaseVerb(WStringView verb);
