// The handle table. A handle value refers to one kernel object; CloseHandle
// (or the object's own close call) removes it. Values start at 0x100 and step by
// 4, as Windows hands them out, so a stale or invented value is detectable.
#pragma once

#include "sim.h"

namespace winsim::detail {

struct Object {
    virtual ~Object() = default;
    // A line for Leaks(): what was left open.
    virtual std::string Describe() const = 0;
    // The call that must release it: "CloseHandle", "FindClose", ...
    virtual const char* Closer() const { return "CloseHandle"; }
};

// An open file, directory or stream.
struct FileObject : Object {
    std::shared_ptr<Node> node;
    std::shared_ptr<Stream> stream;  // null for a directory
    WCHAR driveLetter = 0;
    DWORD access = 0;
    DWORD share = 0;
    DWORD flags = 0;
    std::uint64_t position = 0;
    std::string Describe() const override;

    bool CanRead() const;
    bool CanWrite() const;
};

// A volume device ("\\?\C:") opened by an administrator: reads see the
// volume's raw sectors.
struct VolumeObject : Object {
    WCHAR letter = 0;
    std::string Describe() const override { return std::string("volume handle on ") + static_cast<char>(letter) + ":"; }
};

struct TokenObject : Object {
    DWORD access = 0;
    std::string Describe() const override { return "process token"; }
};

HANDLE Insert(std::shared_ptr<Object> object);
std::shared_ptr<Object> Lookup(HANDLE h);
template <typename T>
std::shared_ptr<T> LookupAs(HANDLE h)
{
    return std::dynamic_pointer_cast<T>(Lookup(h));
}
// Removes the handle; false when it was not in the table.
bool Remove(HANDLE h);
std::vector<std::shared_ptr<Object>> AllObjects();
// An open handle that did not grant FILE_SHARE_DELETE keeps the entry (or,
// for a named stream, that stream; null: any stream of it) from being deleted,
// renamed or replaced.
bool HeldWithoutShareDelete(const Node* node, const Stream* stream);
void ResetHandles();
// Open handles, and every misuse seen (a close of a handle that was not open):
// on Windows a double close can close somebody else's handle.
std::vector<std::string> HandleLeaks();
void NoteMisuse(std::string what);

// Access bits as the sharing check sees them.
bool WantsRead(DWORD access);
bool WantsWrite(DWORD access);
bool WantsDelete(DWORD access);

}  // namespace winsim::detail
