// MoveFileExW within one volume: an entry renamed or moved to another
// directory, replacing an existing file when asked, with the refusals Windows
// gives. Copying to another volume (MOVEFILE_COPY_ALLOWED) is not simulated:
// such a move fails with ERROR_NOT_SAME_DEVICE as without the flag.
#include <algorithm>

#include "calls.h"
#include "handles.h"
#include "pathname.h"
#include "sections.h"
#include "sim.h"

using namespace winsim::detail;

namespace {

bool Contains(const Node* directory, const Node* node)
{
    for (const Node* n = node; n; n = n->parent)
        if (n == directory)
            return true;
    return false;
}

}  // namespace

extern "C" BOOL WINAPI MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags)
{
    WINSIM_ENTER("MoveFileExW", ToU16(lpExistingFileName) + u" -> " + ToU16(lpNewFileName), FALSE);
    if (!lpExistingFileName || !lpNewFileName)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    ResolvedPath from = Resolve(lpExistingFileName);
    if (from.error != 0)
        return Fail(from.error, FALSE);
    if (from.hasStream || from.explicitUnnamed)
        return Fail(ERROR_INVALID_NAME, FALSE);
    if (from.volumeDevice || from.IsRoot())
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (!from.node)
        return Fail(from.missing, FALSE);
    ResolvedPath to = Resolve(lpNewFileName);
    if (to.error != 0)
        return Fail(to.error, FALSE);
    if (to.hasStream || to.explicitUnnamed)
        return Fail(ERROR_INVALID_NAME, FALSE);
    if (to.volumeDevice || to.IsRoot())
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (!to.parent)
        return Fail(ERROR_PATH_NOT_FOUND, FALSE);
    if (to.volume != from.volume)
        return Fail(ERROR_NOT_SAME_DEVICE, FALSE);

    const std::shared_ptr<Node> node = from.node;
    if (node->directory && Contains(node.get(), to.parent.get()))
        return Fail(ERROR_SHARING_VIOLATION, FALSE);
    if (node->denyAccess || from.parent->denyAccess || to.parent->denyAccess)
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (HeldWithoutShareDelete(node.get(), nullptr))
        return Fail(ERROR_SHARING_VIOLATION, FALSE);

    const std::shared_ptr<Node> existing = to.node;
    if (existing && existing != node) {
        if (!(dwFlags & MOVEFILE_REPLACE_EXISTING))
            return Fail(ERROR_ALREADY_EXISTS, FALSE);
        // Only a file is replaced, and only one that could be deleted.
        if (existing->directory || node->directory || existing->denyAccess ||
            (existing->attributes & FILE_ATTRIBUTE_READONLY) ||
            HeldWithoutShareDelete(existing.get(), nullptr) || NodeIsMapped(*existing))
            return Fail(ERROR_ACCESS_DENIED, FALSE);
        to.parent->children.erase(Upcase(existing->name));
        existing->parent = nullptr;
    }

    Node* oldParent = node->parent;
    oldParent->children.erase(Upcase(node->name));
    node->name = to.components.back();
    node->shortName.clear();
    node->parent = to.parent.get();
    to.parent->children[Upcase(node->name)] = node;
    oldParent->written = to.parent->written = Now();
    return TRUE;
}

// ReplaceFileW without a backup: the replacement's data takes the replaced
// file's place and identity. As documented, the replaced file keeps its
// creation time, short name, object identifier, DACL and the named streams the
// replacement does not have; the replacement's name is gone afterwards.
extern "C" BOOL WINAPI ReplaceFileW(LPCWSTR lpReplacedFileName, LPCWSTR lpReplacementFileName,
                                    LPCWSTR lpBackupFileName, DWORD, LPVOID, LPVOID)
{
    WINSIM_ENTER("ReplaceFileW", ToU16(lpReplacedFileName) + u" <- " + ToU16(lpReplacementFileName), FALSE);
    if (!lpReplacedFileName || !lpReplacementFileName || lpBackupFileName)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);  // backups are not modelled
    ResolvedPath replaced = Resolve(lpReplacedFileName);
    ResolvedPath replacement = Resolve(lpReplacementFileName);
    if (replaced.error != 0 || replacement.error != 0)
        return Fail(replaced.error != 0 ? replaced.error : replacement.error, FALSE);
    if (replaced.hasStream || replacement.hasStream || replaced.explicitUnnamed || replacement.explicitUnnamed)
        return Fail(ERROR_INVALID_NAME, FALSE);
    if (!replaced.node || !replacement.node)
        return Fail(ERROR_FILE_NOT_FOUND, FALSE);
    const std::shared_ptr<Node> target = replaced.node;
    const std::shared_ptr<Node> source = replacement.node;
    if (target->directory || source->directory || target == source)
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (replaced.volume != replacement.volume)
        return Fail(ERROR_UNABLE_TO_MOVE_REPLACEMENT, FALSE);
    if (target->denyAccess || (target->attributes & FILE_ATTRIBUTE_READONLY) || NodeIsMapped(*target))
        return Fail(ERROR_UNABLE_TO_REMOVE_REPLACED, FALSE);
    if (HeldWithoutShareDelete(target.get(), nullptr) || HeldWithoutShareDelete(source.get(), nullptr))
        return Fail(ERROR_SHARING_VIOLATION, FALSE);

    if (target->links > 1) {
        // The replacement is renamed into the replaced name: the file's other
        // names keep the old file, and the links are split. The replacement
        // takes the replaced file's creation time and the streams it lacks.
        for (const auto& s : target->named)
            if (!source->FindNamed(s->name))
                source->named.push_back(std::make_shared<Stream>(*s));
        source->created = target->created;
        Node* from = source->parent;
        from->children.erase(Upcase(source->name));
        from->written = Now();
        Node* dir = replaced.parent.get();
        const std::u16string key = Upcase(replaced.components.back());
        dir->children[key] = source;
        source->parent = dir;
        source->name = replaced.components.back();
        target->ForgetName(dir, key);
        return TRUE;
    }
    // The replaced entry stays (its identity); it takes the replacement's data
    // and attributes, and the streams of both.
    target->data = source->data;
    target->attributes = source->attributes;
    for (const auto& s : source->named) {
        auto same = std::find_if(target->named.begin(), target->named.end(),
                                 [&](const std::shared_ptr<Stream>& t) { return EqualsNoCase(t->name, s->name); });
        if (same != target->named.end())
            *same = s;
        else
            target->named.push_back(s);
    }
    target->written = source->written;
    Node* parent = source->parent;
    parent->children.erase(Upcase(source->name));
    source->parent = nullptr;
    parent->written = Now();
    return TRUE;
}
