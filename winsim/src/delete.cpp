// DeleteFileW and RemoveDirectoryW, with the refusals Windows gives: a
// read-only file, an open handle that does not share delete, a mapped file, a
// directory that is not empty, a volume root, the process's current directory.
#include <algorithm>

#include "calls.h"
#include "handles.h"
#include "pathname.h"
#include "sections.h"
#include "sim.h"

using namespace winsim::detail;

namespace {

void Unlink(const std::shared_ptr<Node>& node)
{
    Node* parent = node->parent;
    parent->children.erase(Upcase(node->name));
    parent->written = Now();
    // Handles still open on it (they shared delete) keep the node alive; it is
    // gone from the namespace at once, as with POSIX delete semantics.
    node->parent = nullptr;
}

// Removes the one name a path reached. A file with other names stays for
// them; its first name moves to one of those when it was the one removed.
void UnlinkName(const ResolvedPath& r)
{
    const std::shared_ptr<Node>& node = r.node;
    if (node->links <= 1) {
        Unlink(node);
        return;
    }
    Node* dir = r.parent.get();
    std::u16string key;
    for (const auto& [k, child] : dir->children)
        if (child == node && (k == Upcase(r.components.back()) || EqualsNoCase(node->shortName, r.components.back())))
            key = k;
    dir->children.erase(key);
    dir->written = Now();
    node->ForgetName(dir, key);
}

bool IsCurrentDirectory(const Node* node)
{
    const std::u16string& cwd = TheWorld().process.currentDirectory;
    if (cwd.empty())
        return false;
    ResolvedPath r = Resolve(cwd.c_str());
    return r.error == 0 && r.node.get() == node;
}

}  // namespace

extern "C" BOOL WINAPI DeleteFileW(LPCWSTR lpFileName)
{
    WINSIM_ENTER("DeleteFileW", ToU16(lpFileName), FALSE);
    if (!lpFileName)
        return Fail(ERROR_PATH_NOT_FOUND, FALSE);
    ResolvedPath r = Resolve(lpFileName);
    if (r.error != 0)
        return Fail(r.error, FALSE);
    if (r.volumeDevice || r.IsRoot())
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (!r.node)
        return Fail(r.missing, FALSE);
    const std::shared_ptr<Node>& node = r.node;
    if (r.hasStream) {
        // "file:name" deletes that stream only; the file (or directory) stays.
        std::shared_ptr<Stream> stream = node->FindNamed(r.streamName);
        if (!stream)
            return Fail(ERROR_FILE_NOT_FOUND, FALSE);
        if (node->denyAccess || (!node->directory && (node->attributes & FILE_ATTRIBUTE_READONLY)))
            return Fail(ERROR_ACCESS_DENIED, FALSE);
        if (HeldWithoutShareDelete(node.get(), stream.get()))
            return Fail(ERROR_SHARING_VIOLATION, FALSE);
        if (StreamIsMapped(stream.get()))
            return Fail(ERROR_ACCESS_DENIED, FALSE);
        std::erase(node->named, stream);
        node->written = Now();
        return TRUE;
    }
    // A directory is not a file, "dir::$DATA" included.
    if (node->directory)
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (r.trailingSlash)
        return Fail(ERROR_INVALID_NAME, FALSE);
    if (node->denyAccess || (node->attributes & FILE_ATTRIBUTE_READONLY))
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (HeldWithoutShareDelete(node.get(), nullptr))
        return Fail(ERROR_SHARING_VIOLATION, FALSE);
    // A file with a mapped section cannot be deleted (STATUS_CANNOT_DELETE).
    if (NodeIsMapped(*node))
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    UnlinkName(r);
    return TRUE;
}

extern "C" BOOL WINAPI RemoveDirectoryW(LPCWSTR lpPathName)
{
    WINSIM_ENTER("RemoveDirectoryW", ToU16(lpPathName), FALSE);
    if (!lpPathName)
        return Fail(ERROR_PATH_NOT_FOUND, FALSE);
    ResolvedPath r = Resolve(lpPathName);
    if (r.error != 0)
        return Fail(r.error, FALSE);
    if (r.hasStream || r.explicitUnnamed)
        return Fail(ERROR_INVALID_NAME, FALSE);
    if (r.volumeDevice || r.IsRoot())
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (!r.node)
        return Fail(r.missing, FALSE);
    const std::shared_ptr<Node>& node = r.node;
    if (!node->directory)
        return Fail(ERROR_DIRECTORY, FALSE);
    if (node->denyAccess || (node->attributes & FILE_ATTRIBUTE_READONLY))
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    // A junction or directory symbolic link is removed as the link itself; its
    // target's entries are not looked at (the path walk stopped at the link).
    if (node->reparseTarget.empty() && !node->children.empty())
        return Fail(ERROR_DIR_NOT_EMPTY, FALSE);
    // The process holds its current directory open without sharing delete.
    if (HeldWithoutShareDelete(node.get(), nullptr) || IsCurrentDirectory(node.get()))
        return Fail(ERROR_SHARING_VIOLATION, FALSE);
    Unlink(node);
    return TRUE;
}
