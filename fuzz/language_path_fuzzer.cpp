// Where a "Language" value points: the canonical form and the absolute form
// against the plugin's folder. Beyond not crashing: canonicalising is
// idempotent, never lengthens a path, never climbs above a drive's root, and
// a relative name under a drive folder stays on that drive.
#include "config/language_path.h"
#include "fuzz_support.h"

namespace {

bool HasDotPiece(WStringView s)
{
    std::size_t start = 0;
    for (std::size_t j = 0; j <= s.size(); ++j) {
        if (j != s.size() && s[j] != '\\')
            continue;
        WStringView piece = s.substr(start, j - start);
        if (piece == TEXT(".") || piece == TEXT(".."))
            return true;
        start = j + 1;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<WString> f = fuzz::Fields(fuzz::InputText(data, size), 2);
    const WString& path = f[0];
    const WString& folder = f[1];
    const std::u16string input(path.begin(), path.end());

    WString canonical = CanonicalisePath(path);
    if (canonical.size() > std::max<std::size_t>(path.size(), 1))
        fuzz::Fail("canonicalising never lengthens a path", input, canonical);
    if (CanonicalisePath(canonical) != canonical)
        fuzz::Fail("canonicalising twice changes nothing", input, canonical);
    if (IsDrivePath(path) && path.substr(0, 4) != TEXT("\\\\.\\")) {
        if (canonical.substr(0, 3) != path.substr(0, 3))
            fuzz::Fail("a drive path keeps its drive and root", input, canonical);
        if (HasDotPiece(WStringView(canonical).substr(3)))
            fuzz::Fail("a drive path keeps no \".\" or \"..\" piece", input, canonical);
    }

    // Against a folder of the plugin's kind ("X:\...\"), and against the
    // fuzzer's own folder for the rest.
    WString driveFolder = TEXT("C:\\plugins\\") + folder;
    if (driveFolder.back() != '\\')
        driveFolder += '\\';
    for (const WString& base : {driveFolder, folder}) {
        WString absolute = MakeAbsoluteTo(base, path);
        if (CanonicalisePath(absolute) != absolute)
            fuzz::Fail("an absolute path is canonical", input, absolute);
    }
    WString absolute = MakeAbsoluteTo(driveFolder, path);
    bool relative = DrivePart(path).empty() && !IsUncPath(path) && !(path.size() >= 1 && path[0] == '\\');
    if (relative && !EqualsAsciiNoCase(WStringView(absolute).substr(0, 3), TEXT("C:\\")))
        fuzz::Fail("a relative name stays on the plugin's drive", input, absolute);
    return 0;
}
