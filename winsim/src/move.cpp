// MoveFileExW within one volume: an entry renamed or moved to another
// directory, replacing an existing file when asked, with the refusals Windows
// gives. Copying to another volume (MOVEFILE_COPY_ALLOWED) is not simulated:
// such a move fails with ERROR_NOT_SAME_DEVICE as without the flag.
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
