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

    // What every export is told: a stream's file is the start of its path, a
    // named stream's name lies within it, and only streams have a stream path
    // of their own.
    const PluginEntry e = ResolvePluginPath(path);
    if (e.StreamPath.compare(0, e.LocalPath.size(), e.LocalPath) != 0)
        fuzz::Fail("a stream path begins with its file's path", input, e.StreamPath);
    if (e.Kind == EntryKind::NamedStream && e.StreamPath.find(e.StreamName, e.LocalPath.size()) == WString::npos)
        fuzz::Fail("a named stream's name is in its stream path", input, e.StreamName);
    if ((e.Kind == EntryKind::NamedStream || e.Kind == EntryKind::SpecialStream) != r.IsStream)
        fuzz::Fail("a stream entry is what the stream path says it is", input, e.StreamPath);
    if (!e.IsStreamEntry() && e.StreamPath != e.LocalPath)
        fuzz::Fail("only streams have a path of their own", input, e.StreamPath);

    // The long form: a long or device path, the same again when made long
    // once more, and never the volume device of a bare drive.
    WString longForm = ToLongPath(r.Path);
    const WStringView l = longForm;
    if (l.substr(0, 4) != TEXT("\\\\?\\") && l.substr(0, 4) != TEXT("\\\\.\\"))
        fuzz::Fail("ToLongPath gives a long or device path", input, longForm);
    if (ToLongPath(longForm) != longForm)
        fuzz::Fail("ToLongPath of a long path is that path", input, longForm);
    // (A path that came long already is the caller's own.)
    const bool cameLong = WStringView(r.Path).substr(0, 4) == l.substr(0, 4);
    if (!cameLong && l.size() == 6 && l[5] == ':')
        fuzz::Fail("ToLongPath never names a volume device", input, longForm);
    if (r.Path.find('\\') == WString::npos && r.Path.find(':') == WString::npos &&
        l.substr(4) != WStringView(r.Path))
        fuzz::Fail("a plain name gets the prefix alone", input, longForm);
    return 0;
}
