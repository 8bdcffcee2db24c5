// The host's plugin paths into local and stream paths. Beyond not crashing:
// a conversion only ever drops characters (the leading backslash, one
// trailing backslash, the backslash before a stream entry, or "::$DATA"),
// and it never makes a drive out of something that was not one.
#include "fuzz_support.h"
#include "plugin/paths.h"

namespace {

WString WithoutBackslashes(WStringView s)
{
    WString out;
    for (WCHAR c : s)
        if (c != '\\')
            out += c;
    return out;
}

bool IsDriveStart(WStringView s)
{
    return s.size() >= 2 && s[1] == ':';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const WString path = fuzz::InputText(data, size);
    const std::u16string input(path.begin(), path.end());

    WString local = PluginToLocalPath(path);
    if (!(local == path || (path.size() >= 2 && path[0] == '\\' && local == path.substr(1))))
        fuzz::Fail("PluginToLocalPath drops exactly one leading backslash or nothing", input, local);

    ResolvedStreamPath r = ResolveStreamPath(path);
    if (r.Path.size() > path.size())
        fuzz::Fail("a converted path is never longer than the plugin path", input, r.Path);

    // What the host wrote, less the unnamed data stream's suffix when that
    // was taken for the file itself.
    WStringView kept = path;
    if (!kept.empty() && kept.back() == '\\')
        kept.remove_suffix(1);
    if (!r.IsStream && kept.size() >= 9 && EqualsAsciiNoCase(kept.substr(kept.size() - 7), TEXT("::$DATA")))
        kept.remove_suffix(7);
    if (WithoutBackslashes(r.Path) != WithoutBackslashes(kept))
        fuzz::Fail("a conversion drops nothing but backslashes and \"::$DATA\"", input, r.Path);

    // A drive designator in the result stands where the host's path had it.
    WStringView base = PluginToLocalPath(path) == path ? WStringView(path) : WStringView(path).substr(1);
    if (IsDriveStart(r.Path) && !(IsDriveStart(base) && base[0] == r.Path[0]))
        fuzz::Fail("a converted path never grows a drive colon", input, r.Path);

    // The long form is the four characters in front, nothing else.
    WString longForm = ToLongPath(r.Path);
    if (longForm.size() != r.Path.size() + 4 || longForm.compare(4, WString::npos, r.Path) != 0)
        fuzz::Fail("ToLongPath puts \\\\?\\ in front", input, longForm);
    return 0;
}
