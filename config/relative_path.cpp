#include "config/relative_path.h"

#include <vector>

#include "config/language_path.h"
#include "config/settings.h"

namespace {

// The directories between the drive part and the file name; empty pieces (the
// root's backslash, doubled backslashes) name no directory.
std::vector<WStringView> Directories(WStringView rest)
{
    std::vector<WStringView> dirs;
    std::size_t start = 0;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] != '\\')
            continue;
        if (i > start)
            dirs.push_back(rest.substr(start, i - start));
        start = i + 1;
    }
    return dirs;
}

}  // namespace

WString RelativeTo(WStringView folder, WStringView path)
{
    WString folderDrive = DrivePart(folder);
    WString pathDrive = DrivePart(path);
    if (folderDrive.empty() || !EqualsAsciiNoCase(folderDrive, pathDrive))
        return WString(path);
    WStringView rest = path.substr(pathDrive.size());
    // "C:x.lng" is relative to drive C's current directory, not to its root:
    // there is nothing to shorten.
    if (rest.empty() || rest[0] != '\\')
        return WString(path);
    std::size_t nameStart = rest.rfind('\\') + 1;
    WStringView fileName = rest.substr(nameStart);
    std::vector<WStringView> pathDirs = Directories(rest.substr(0, nameStart));
    std::vector<WStringView> folderDirs = Directories(folder.substr(folderDrive.size()));

    std::size_t common = 0;
    while (common < pathDirs.size() && common < folderDirs.size() &&
           EqualsAsciiNoCase(pathDirs[common], folderDirs[common]))
        ++common;
    WString out;
    for (std::size_t i = common; i < folderDirs.size(); ++i)
        out += TEXT("..\\");
    for (std::size_t i = common; i < pathDirs.size(); ++i) {
        out += pathDirs[i];
        out += '\\';
    }
    out += fileName;
    return out;
}

WString RelativeToPluginFolder(WStringView path)
{
    return RelativeTo(PluginFolder(), path);
}
