// Where a "Language" value of the settings file points: environment references
// expanded, made absolute against the plugin's folder, ".." and "." resolved,
// and short (8.3) names expanded.
#pragma once

#include "plugin/text.h"

// The full path of the language file; an empty text gives an empty path.
WString ResolveLanguagePath(WStringView text);

// The absolute form: a UNC or drive path stays; anything else is taken
// relative to the folder (which ends in a backslash), or stays when the folder
// is empty. The result is canonicalised.
WString MakeAbsoluteTo(WStringView folder, WStringView path);

// Removes "." pieces and ".." pieces with the piece before them, keeping the
// path's prefix (drive, root or "\\") untouched.
WString CanonicalisePath(WStringView path);

// "X:" or "\\machine\share" at the start of a path; empty for a relative path.
WString DrivePart(WStringView path);
bool IsUncPath(WStringView path);
bool IsDrivePath(WStringView path);
