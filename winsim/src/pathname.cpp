#include "pathname.h"

namespace winsim::detail {

std::u16string ToU16(const WCHAR* s)
{
    return s ? std::u16string(s) : std::u16string();
}

namespace {

bool IsLetter(WCHAR c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

// NTFS refuses these in a name; the colon is dealt with separately because it
// introduces a stream.
bool InvalidNameChar(WCHAR c, bool allowWildcards)
{
    if (c < 0x20)
        return true;
    switch (c) {
    case u'<': case u'>': case u'"': case u'/': case u'|':
        return true;
    case u'?': case u'*':
        return !allowWildcards;
    default:
        return false;
    }
}

std::vector<std::u16string> Split(std::u16string_view s)
{
    std::vector<std::u16string> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= s.size(); ++i) {
        if (i == s.size() || s[i] == u'\\') {
            parts.emplace_back(s.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

// CON, PRN, AUX, NUL, COM1-9, LPT1-9, alone or with an extension.
bool IsReservedDeviceName(std::u16string_view name)
{
    std::u16string base(name.substr(0, name.find(u'.')));
    while (!base.empty() && base.back() == u' ')
        base.pop_back();
    base = Upcase(base);
    if (base == u"CON" || base == u"PRN" || base == u"AUX" || base == u"NUL")
        return true;
    return base.size() == 4 && (base.compare(0, 3, u"COM") == 0 || base.compare(0, 3, u"LPT") == 0) &&
           base[3] >= u'1' && base[3] <= u'9';
}

// Win32 drops trailing dots and spaces of a component of an ordinary path.
std::u16string StripTrailingDotsAndSpaces(std::u16string s)
{
    if (s == u"." || s == u"..")
        return s;
    while (!s.empty() && (s.back() == u'.' || s.back() == u' '))
        s.pop_back();
    return s;
}

// A path below a share ("server\share\rest", without the leading
// backslashes) as the path of the network drive mapped to it: "X:\rest".
// Shares no drive is mapped to are not in this world (ERROR_BAD_NETPATH).
std::optional<std::u16string> ShareToDrive(std::u16string_view unc, DWORD& error)
{
    std::size_t server = unc.find(u'\\');
    std::size_t share = server == std::u16string_view::npos ? server : unc.find(u'\\', server + 1);
    std::u16string_view root = unc.substr(0, share);
    std::u16string_view rest = share == std::u16string_view::npos ? std::u16string_view() : unc.substr(share + 1);
    for (const auto& [letter, volume] : TheWorld().volumes) {
        if (!volume.share.empty() && EqualsNoCase(volume.share.substr(2), root))
            return std::u16string(1, letter) + u":\\" + std::u16string(rest);
    }
    error = ERROR_BAD_NETPATH;
    return std::nullopt;
}

// The absolute form of an ordinary (not "\\?\") path: "X:" followed by
// "\component" pieces, relative forms completed from the current directory.
std::optional<std::u16string> MakeAbsolute(std::u16string p, DWORD& error)
{
    for (auto& c : p)
        if (c == u'/')
            c = u'\\';
    const std::u16string& cwd = TheWorld().process.currentDirectory;
    if (p.size() >= 2 && p[0] == u'\\' && p[1] == u'\\') {
        if (p.size() >= 4 && (p[2] == u'.' || p[2] == u'?') && p[3] == u'\\') {
            error = ERROR_FILE_NOT_FOUND;  // devices other than volumes are not modelled
            return std::nullopt;
        }
        return ShareToDrive(std::u16string_view(p).substr(2), error);
    }
    if (p.size() >= 2 && IsLetter(p[0]) && p[1] == u':') {
        if (p.size() >= 3 && p[2] == u'\\')
            return p;
        // "X:rest" is relative to the current directory of that drive; only the
        // process's own current directory is modelled, other drives use their root.
        std::u16string rest = p.substr(2);
        if (!cwd.empty() && EqualsNoCase(cwd.substr(0, 1), p.substr(0, 1)))
            return cwd + u"\\" + rest;
        return p.substr(0, 2) + u"\\" + rest;
    }
    if (!p.empty() && p[0] == u'\\')
        return cwd.substr(0, 2) + p;
    return cwd + u"\\" + p;
}

bool SplitStream(std::u16string& last, ResolvedPath& r)
{
    auto colon = last.find(u':');
    if (colon == std::u16string::npos)
        return true;
    std::u16string entry = last.substr(colon + 1);
    last.resize(colon);
    std::u16string name = entry, type;
    auto second = entry.find(u':');
    if (second != std::u16string::npos) {
        name = entry.substr(0, second);
        type = entry.substr(second + 1);
        if (type.find(u':') != std::u16string::npos)
            return false;
        // Only data streams can be opened by name; the other attribute types of
        // the backup format ("::$EA_DATA", "::") are not files.
        if (!EqualsNoCase(type, u"$DATA"))
            return false;
    }
    for (WCHAR c : name)
        if (c == u'\\' || c == u'/' || c < 0x20)
            return false;
    if (name.empty()) {
        if (type.empty())
            return false;  // "file:" names nothing
        r.explicitUnnamed = true;
        return true;
    }
    r.hasStream = true;
    r.streamName = name;
    return true;
}

}  // namespace

bool& RedirectionDisabledOnThisThread()
{
    thread_local bool disabled = false;
    return disabled;
}

namespace {

// What the redirector does to a file call of a 32-bit process: the 64-bit
// system folder is the 32-bit one. (Windows exempts a few folders below it,
// such as drivers\etc; they are not modelled.)
void Redirect(std::u16string& absolute)
{
    static const std::u16string kSystem = u"C:\\Windows\\System32";
    if (!TheWorld().process.wow64 || RedirectionDisabledOnThisThread())
        return;
    if (absolute.size() < kSystem.size() || !EqualsNoCase(std::u16string_view(absolute).substr(0, kSystem.size()), kSystem))
        return;
    if (absolute.size() > kSystem.size() && absolute[kSystem.size()] != u'\\')
        return;
    absolute = u"C:\\Windows\\SysWOW64" + absolute.substr(kSystem.size());
}

// The test side sees the world as it is, never redirected.
bool& ResolvingForTest()
{
    thread_local bool forTest = false;
    return forTest;
}

}  // namespace

std::u16string ResolvedPath::LocalPath() const
{
    std::u16string s;
    if (volume)
        s += volume->letter;
    s += u':';
    if (components.empty())
        s += u'\\';
    for (const auto& c : components)
        s += u'\\' + c;
    return s;
}

ResolvedPath Resolve(const WCHAR* path, bool allowWildcardsInLast)
{
    ResolvedPath r;
    std::u16string p = ToU16(path);
    if (p.empty()) {
        r.error = ERROR_PATH_NOT_FOUND;
        return r;
    }
    // The name handed to the kernel is a UNICODE_STRING: at most 32,767
    // characters (STATUS_NAME_TOO_LONG).
    if (p.size() > 32767) {
        r.error = ERROR_FILENAME_EXCED_RANGE;
        return r;
    }
    bool verbatim = p.rfind(u"\\\\?\\", 0) == 0;
    std::u16string absolute;
    if (verbatim && p.size() >= 8 && EqualsNoCase(std::u16string_view(p).substr(4, 4), u"UNC\\")) {
        auto made = ShareToDrive(std::u16string_view(p).substr(8), r.error);
        if (!made)
            return r;
        absolute = *made;
    } else if (verbatim) {
        absolute = p.substr(4);
        if (absolute.size() < 2 || !IsLetter(absolute[0]) || absolute[1] != u':') {
            r.error = ERROR_FILE_NOT_FOUND;  // UNC\ and device names are not modelled
            return r;
        }
        if (absolute.size() == 2)
            r.volumeDevice = true;
        else if (absolute[2] != u'\\') {
            r.error = ERROR_INVALID_NAME;
            return r;
        }
    } else {
        auto made = MakeAbsolute(p, r.error);
        if (!made)
            return r;
        absolute = *made;
        // A process that has not opted into long paths reaches MAX_PATH
        // characters through ordinary paths, the terminating zero included.
        if (absolute.size() >= MAX_PATH) {
            r.error = ERROR_PATH_NOT_FOUND;
            return r;
        }
    }

    if (!ResolvingForTest())
        Redirect(absolute);
    auto vol = TheWorld().volumes.find(Upcase(absolute[0]));
    if (vol == TheWorld().volumes.end()) {
        r.error = ERROR_PATH_NOT_FOUND;
        return r;
    }
    r.volume = &vol->second;
    if (r.volumeDevice)
        return r;

    std::u16string rest = absolute.substr(3);
    r.trailingSlash = !rest.empty() && rest.back() == u'\\';
    std::vector<std::u16string> parts = rest.empty() ? std::vector<std::u16string>{} : Split(rest);
    if (r.trailingSlash)
        parts.pop_back();

    for (std::size_t i = 0; i < parts.size(); ++i) {
        std::u16string part = parts[i];
        bool last = i + 1 == parts.size();
        if (verbatim) {
            // "\\?\" turns off all parsing: "." and ".." and empty components are
            // names NTFS refuses.
            if (part.empty() || part == u"." || part == u"..") {
                r.error = ERROR_INVALID_NAME;
                return r;
            }
        } else {
            if (part.empty() || part == u".")
                continue;
            if (part == u"..") {
                if (!r.components.empty())
                    r.components.pop_back();
                continue;
            }
        }
        if (last && !SplitStream(part, r)) {
            r.error = ERROR_INVALID_NAME;
            return r;
        }
        if (!verbatim) {
            part = StripTrailingDotsAndSpaces(part);
            // The last component of a plain path that is a reserved device
            // name ("CON", "nul.txt") names the device, never a file of that
            // name; devices are not modelled.
            if (last && IsReservedDeviceName(part)) {
                r.error = ERROR_FILE_NOT_FOUND;
                return r;
            }
        }
        if (part.empty()) {
            if (last && (r.hasStream || r.explicitUnnamed) && r.components.empty()) {
                r.error = ERROR_INVALID_NAME;  // "C:\:name" has no file to hold the stream
                return r;
            }
            continue;
        }
        for (WCHAR c : part) {
            if (c == u':' || InvalidNameChar(c, last && allowWildcardsInLast)) {
                r.error = ERROR_INVALID_NAME;
                return r;
            }
        }
        r.components.push_back(part);
    }
    if (!r.components.empty() && (r.hasStream || r.explicitUnnamed) && r.trailingSlash) {
        r.error = ERROR_INVALID_NAME;
        return r;
    }

    // The walk.
    std::shared_ptr<Node> cur = r.volume->root;
    for (std::size_t i = 0; i < r.components.size(); ++i) {
        bool last = i + 1 == r.components.size();
        if (i > 0)
            cur = FollowLink(cur);
        if (!cur || !cur->directory) {
            r.missing = ERROR_PATH_NOT_FOUND;
            return r;
        }
        std::shared_ptr<Node> next;
        auto it = cur->children.find(Upcase(r.components[i]));
        if (it != cur->children.end()) {
            next = it->second;
        } else {
            for (const auto& [key, child] : cur->children)
                if (!child->shortName.empty() && EqualsNoCase(child->shortName, r.components[i]))
                    next = child;
        }
        if (!next) {
            if (last) {
                r.parent = cur;
                r.missing = ERROR_FILE_NOT_FOUND;
            } else {
                r.missing = ERROR_PATH_NOT_FOUND;
            }
            return r;
        }
        if (last)
            r.parent = cur;
        cur = next;
    }
    r.node = cur;
    return r;
}

ResolvedPath ResolveForTest(std::u16string_view path)
{
    struct Flag {
        Flag() { ResolvingForTest() = true; }
        ~Flag() { ResolvingForTest() = false; }
    } flag;
    std::u16string p(path);
    if (p.size() >= MAX_PATH && p.size() >= 3 && p[1] == u':' && p[2] == u'\\')
        p = u"\\\\?\\" + p;
    return Resolve(p.c_str());
}

std::shared_ptr<Node> FollowLink(const std::shared_ptr<Node>& node)
{
    if (!node->directory || node->reparseTarget.empty())
        return node;
    ResolvedPath target = Resolve(node->reparseTarget.c_str());
    return target.error == 0 ? target.node : nullptr;
}

}  // namespace winsim::detail
