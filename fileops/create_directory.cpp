#include "fileops/create_directory.h"

#include <vector>

#include "fileops/delete_tree.h"
#include "plugin/paths.h"

bool CreateDirectoryPathLong(const WString& path)
{
    // Climb to the first directory that exists (or to a bare drive), noting
    // the missing ones; then create them from the outermost in. The climb
    // makes the same probes, in the same order, as creating each parent first
    // would, without a call depth that grows with the path.
    std::vector<WString> missing;  // innermost first
    WString dir = path;
    for (;;) {
        if (dir.empty()) {
            SetLastError(ERROR_PATH_NOT_FOUND);
            throw DirectoryCreationError(ERROR_PATH_NOT_FOUND);
        }
        dir = RemoveTrailingBackslash(dir);
        if (dir.size() < 3 || DirectoryExistsLong(dir))
            break;
        WString parent = DirectoryPart(dir);
        if (parent == dir)
            break;
        missing.push_back(dir);
        dir = std::move(parent);
    }
    // The long form skips Windows' name rules: a name they refuse would make
    // a directory that Explorer and most programs cannot open or delete.
    for (const WString& dir : missing) {
        if (!IsNameWindowsAccepts(NamePart(dir))) {
            SetLastError(ERROR_INVALID_NAME);
            return false;
        }
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it)
        if (!CreateDirectoryW(ToLongPath(*it + TEXT("\\")).c_str(), nullptr))
            return false;
    return true;
}
