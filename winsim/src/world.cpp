// The world itself and the test API that builds it.
#include <winsim/winsim.h>

#include <stdexcept>

#include "calls.h"
#include "handles.h"
#include "heap.h"
#include "exception_dispatch.h"
#include "local_memory.h"
#include "sections.h"
#include "pathname.h"
#include "sim.h"
#include "shellexec.h"
#include "ui.h"

namespace winsim::detail {

std::recursive_mutex& WorldMutex()
{
    static std::recursive_mutex m;
    return m;
}

World& TheWorld()
{
    static World world;
    return world;
}

WCHAR Upcase(WCHAR c)
{
    if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return static_cast<WCHAR>(c - 0x20);
    if (c >= 0x430 && c <= 0x44F)  // Cyrillic а..я
        return static_cast<WCHAR>(c - 0x20);
    if (c >= 0x450 && c <= 0x45F)
        return static_cast<WCHAR>(c - 0x50);
    return c;
}

std::u16string Upcase(std::u16string_view s)
{
    std::u16string r(s);
    for (auto& c : r)
        c = Upcase(c);
    return r;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Upcase(a[i]) != Upcase(b[i]))
            return false;
    return true;
}

std::u16string Widen(std::string_view utf8)
{
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        char32_t cp;
        int len;
        if (c < 0x80) { cp = c; len = 1; }
        else if ((c >> 5) == 6) { cp = c & 0x1F; len = 2; }
        else if ((c >> 4) == 14) { cp = c & 0x0F; len = 3; }
        else { cp = c & 0x07; len = 4; }
        for (int k = 1; k < len && i + k < utf8.size(); ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string Narrow(std::u16string_view s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

FILETIME Now()
{
    std::uint64_t t = TheWorld().clock;
    TheWorld().clock += 10'000'000;  // every change happens a second after the last
    return FILETIME{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
}

std::shared_ptr<Node> NewChild(Node& parent, std::u16string_view name, bool directory)
{
    auto node = std::make_shared<Node>();
    node->name = std::u16string(name);
    node->directory = directory;
    node->attributes = directory ? 0 : FILE_ATTRIBUTE_ARCHIVE;
    node->parent = &parent;
    node->created = node->accessed = node->written = Now();
    if (!directory)
        node->data = std::make_shared<Stream>();
    parent.children[Upcase(name)] = node;
    return node;
}

}  // namespace winsim::detail

namespace winsim {

using namespace detail;

namespace {

ResolvedPath MustResolve(std::u16string_view path)
{
    ResolvedPath r = ResolveForTest(path);
    if (r.error != 0)
        throw std::invalid_argument("winsim: not a usable path: " + detail::Narrow(path));
    return r;
}

std::shared_ptr<Node> MustFind(std::u16string_view path)
{
    ResolvedPath r = MustResolve(path);
    if (!r.node)
        throw std::invalid_argument("winsim: no such entry: " + detail::Narrow(path));
    return r.node;
}

std::shared_ptr<Node> MakeDirectories(std::u16string_view path)
{
    ResolvedPath r = MustResolve(path);
    std::shared_ptr<Node> cur = r.volume->root;
    for (const auto& c : r.components) {
        auto it = cur->children.find(Upcase(c));
        if (it != cur->children.end()) {
            cur = it->second;
            if (!cur->directory)
                throw std::invalid_argument("winsim: a file stands in the way: " + detail::Narrow(path));
        } else {
            cur = NewChild(*cur, c, true);
        }
    }
    return cur;
}

std::shared_ptr<Node> MakeFile(std::u16string_view path)
{
    ResolvedPath r = MustResolve(path);
    if (r.components.empty())
        throw std::invalid_argument("winsim: a root is not a file: " + detail::Narrow(path));
    std::u16string parentPath = r.LocalPath();
    parentPath.resize(parentPath.rfind(u'\\') + 1);
    std::shared_ptr<Node> parent = MakeDirectories(parentPath);
    auto it = parent->children.find(Upcase(r.components.back()));
    if (it != parent->children.end()) {
        if (it->second->directory)
            throw std::invalid_argument("winsim: a directory stands in the way: " + detail::Narrow(path));
        return it->second;
    }
    return NewChild(*parent, r.components.back(), false);
}

}  // namespace

void Reset()
{
    WorldLock lock(WorldMutex());
    TheWorld() = World{};
    TheWorld().clock = 133'485'408'000'000'000ull;  // 2024-01-01 00:00:00 UTC
    TheWorld().process.modulePath = u"C:\\plugins\\NTFSTarnwick.wfx64";
    TheWorld().process.currentDirectory = u"C:\\";
    RedirectionDisabledOnThisThread() = false;
    ThreadErrorMode() = 0;
    ResetCalls();
    ResetHandles();
    ResetHeap();
    ResetMappings();
    ResetLocalMemory();
    ResetExceptionHandlers();
    ResetWindows();
    ResetShellExecute();
}

void AddVolume(WCHAR letter, std::u16string_view fileSystem)
{
    WorldLock lock(WorldMutex());
    Volume v;
    v.letter = Upcase(letter);
    v.fileSystem = std::u16string(fileSystem);
    v.root = std::make_shared<Node>();
    v.root->directory = true;
    // A root reports hidden and system beside the directory bit.
    v.root->attributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    v.root->created = v.root->accessed = v.root->written = Now();
    TheWorld().volumes[v.letter] = std::move(v);
}

void AddDirectory(std::u16string_view path)
{
    WorldLock lock(WorldMutex());
    MakeDirectories(path);
}

void AddFile(std::u16string_view path, std::string_view contents, DWORD attributes)
{
    WorldLock lock(WorldMutex());
    auto node = MakeFile(path);
    node->data->data.Assign(contents);
    node->attributes = attributes;
}

void AddPatternFile(std::u16string_view path, std::uint64_t size, std::uint32_t seed)
{
    WorldLock lock(WorldMutex());
    MakeFile(path)->data->data = Content::Pattern(size, seed);
}

void AddJunction(std::u16string_view path, std::u16string_view target)
{
    WorldLock lock(WorldMutex());
    MustFind(target);
    auto node = MakeDirectories(path);
    node->attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    node->reparseTag = IO_REPARSE_TAG_MOUNT_POINT;
    node->reparseTarget = std::u16string(target);
}

void AddDirectorySymlink(std::u16string_view path, std::u16string_view target)
{
    AddJunction(path, target);
    WorldLock lock(WorldMutex());
    MustFind(path)->reparseTag = IO_REPARSE_TAG_SYMLINK;
}

void MakeSparse(std::u16string_view path, std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges)
{
    WorldLock lock(WorldMutex());
    auto node = MustFind(path);
    node->attributes |= FILE_ATTRIBUTE_SPARSE_FILE;
    node->allocatedRanges = std::move(ranges);
}

void AddHardLink(std::u16string_view path, std::u16string_view existing)
{
    WorldLock lock(WorldMutex());
    auto node = MustFind(existing);
    if (node->directory)
        throw std::invalid_argument("winsim: a directory has no hard links: " + detail::Narrow(existing));
    ResolvedPath r = MustResolve(path);
    if (r.node || !r.parent || r.components.empty())
        throw std::invalid_argument("winsim: no room for a link at " + detail::Narrow(path));
    r.parent->children[Upcase(r.components.back())] = node;
    node->otherNames.emplace_back(r.parent.get(), r.components.back());
    ++node->links;
}

void AddReparseFile(std::u16string_view path, DWORD tag, std::string_view contents)
{
    WorldLock lock(WorldMutex());
    auto node = MakeFile(path);
    node->data->data.Assign(contents);
    node->attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    node->reparseTag = tag;
}

void AddFileSymlink(std::u16string_view path, std::u16string_view target)
{
    WorldLock lock(WorldMutex());
    auto node = MakeFile(path);
    node->attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    node->reparseTag = IO_REPARSE_TAG_SYMLINK;
    node->reparseTarget = std::u16string(target);
}

void AddStream(std::u16string_view path, std::u16string_view streamName, std::string_view contents)
{
    WorldLock lock(WorldMutex());
    auto node = MustFind(path);
    auto stream = node->FindNamed(streamName);
    if (!stream) {
        stream = std::make_shared<Stream>();
        stream->name = std::u16string(streamName);
        node->named.push_back(stream);
    }
    stream->data.Assign(contents);
}

std::uint8_t PatternByte(std::uint32_t seed, std::uint64_t offset)
{
    return PatternByteAt(seed, offset);
}

bool Exists(std::u16string_view path)
{
    WorldLock lock(WorldMutex());
    ResolvedPath r = ResolveForTest(path);
    if (r.error != 0 || !r.node)
        return false;
    return !r.hasStream || r.node->FindNamed(r.streamName) != nullptr;
}

std::optional<std::string> Contents(std::u16string_view path)
{
    WorldLock lock(WorldMutex());
    ResolvedPath r = ResolveForTest(path);
    if (r.error != 0 || !r.node)
        return std::nullopt;
    std::shared_ptr<Stream> s = r.hasStream ? r.node->FindNamed(r.streamName) : r.node->data;
    if (!s)
        return std::nullopt;
    return s->data.Materialise();
}

DWORD Attributes(std::u16string_view path)
{
    WorldLock lock(WorldMutex());
    ResolvedPath r = ResolveForTest(path);
    return r.error == 0 && r.node ? r.node->EffectiveAttributes() : INVALID_FILE_ATTRIBUTES;
}

void SetAttributes(std::u16string_view path, DWORD attributes)
{
    WorldLock lock(WorldMutex());
    MustFind(path)->attributes = attributes & ~FILE_ATTRIBUTE_DIRECTORY;
}

void DenyAccess(std::u16string_view path)
{
    WorldLock lock(WorldMutex());
    MustFind(path)->denyAccess = true;
}

void SetShortName(std::u16string_view path, std::u16string_view shortName)
{
    WorldLock lock(WorldMutex());
    MustFind(path)->shortName = std::u16string(shortName);
}

HMODULE PluginModule()
{
    // Any stable, recognisable value: the simulated loader never maps an image.
    return reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(0x10000000));
}

void SetModulePath(std::u16string_view path)
{
    WorldLock lock(WorldMutex());
    TheWorld().process.modulePath = std::u16string(path);
}

void SetEnvironment(std::u16string_view name, std::u16string_view value)
{
    WorldLock lock(WorldMutex());
    TheWorld().process.environment[Upcase(name)] = {std::u16string(name), std::u16string(value)};
}

void SetCurrentDirectory(std::u16string_view path)
{
    WorldLock lock(WorldMutex());
    std::u16string p(path);
    while (p.size() > 3 && p.back() == u'\\')
        p.pop_back();
    TheWorld().process.currentDirectory = p;
}

void SetPrivilegesHeld(bool backup, bool restore)
{
    WorldLock lock(WorldMutex());
    TheWorld().process.holdsBackup = backup;
    TheWorld().process.holdsRestore = restore;
}

void SetElevated(bool elevated)
{
    WorldLock lock(WorldMutex());
    TheWorld().process.elevated = elevated;
}

bool PrivilegeEnabled(std::u16string_view name)
{
    WorldLock lock(WorldMutex());
    return TheWorld().process.enabledPrivileges.count(Upcase(name)) > 0;
}

void SetPlatform(DWORD platformId, DWORD major, DWORD minor, DWORD build)
{
    WorldLock lock(WorldMutex());
    auto& p = TheWorld().process;
    p.platformId = platformId;
    p.major = major;
    p.minor = minor;
    p.build = build;
}

void SetAnsiCodePage(UINT codePage)
{
    WorldLock lock(WorldMutex());
    TheWorld().process.ansiCodePage = codePage;
}

void HideExport(std::string_view module, std::string_view function)
{
    WorldLock lock(WorldMutex());
    std::string m(module);
    for (auto& c : m)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    TheWorld().process.hiddenExports.insert({m, std::string(function)});
}

std::vector<std::string> Leaks()
{
    WorldLock lock(WorldMutex());
    std::vector<std::string> leaks = HandleLeaks();
    for (auto& l : HeapLeaks())
        leaks.push_back(std::move(l));
    for (auto& l : MappingLeaks())
        leaks.push_back(std::move(l));
    for (auto& l : LocalMemoryLeaks())
        leaks.push_back(std::move(l));
    for (auto& l : ExceptionHandlerLeaks())
        leaks.push_back(std::move(l));
    if (RedirectionDisabledOnThisThread())
        leaks.push_back("the file-system redirector left off (revert with Wow64RevertWow64FsRedirection)");
    return leaks;
}

std::string Narrow(std::u16string_view text)
{
    return detail::Narrow(text);
}

}  // namespace winsim
