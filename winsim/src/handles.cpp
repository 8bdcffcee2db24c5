#include "handles.h"

#include "calls.h"

namespace winsim::detail {

namespace {

struct Table {
    std::map<std::uintptr_t, std::shared_ptr<Object>> objects;
    std::uintptr_t next = 0x100;
    std::vector<std::string> misuses;
};

Table& TheTable()
{
    static Table table;
    return table;
}

}  // namespace

bool WantsRead(DWORD access)
{
    return access & (GENERIC_READ | GENERIC_ALL | FILE_READ_DATA);
}

bool WantsWrite(DWORD access)
{
    return access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA);
}

bool WantsDelete(DWORD access)
{
    return access & (DELETE | GENERIC_ALL);
}

bool FileObject::CanRead() const
{
    return WantsRead(access);
}

bool FileObject::CanWrite() const
{
    return WantsWrite(access);
}

std::string FileObject::Describe() const
{
    std::string s = "file handle on " + Narrow(node->Path(driveLetter));
    if (stream && !stream->name.empty()) {
        s += ':';
        s += Narrow(stream->name);
    }
    return s;
}

HANDLE Insert(std::shared_ptr<Object> object)
{
    auto& t = TheTable();
    std::uintptr_t value = t.next;
    t.next += 4;
    t.objects[value] = std::move(object);
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<Object> Lookup(HANDLE h)
{
    auto& t = TheTable();
    auto it = t.objects.find(reinterpret_cast<std::uintptr_t>(h));
    return it == t.objects.end() ? nullptr : it->second;
}

bool Remove(HANDLE h)
{
    return TheTable().objects.erase(reinterpret_cast<std::uintptr_t>(h)) > 0;
}

std::vector<std::shared_ptr<Object>> AllObjects()
{
    std::vector<std::shared_ptr<Object>> all;
    for (const auto& [value, object] : TheTable().objects)
        all.push_back(object);
    return all;
}

bool HeldWithoutShareDelete(const Node* node, const Stream* stream)
{
    for (const auto& object : AllObjects()) {
        auto f = std::dynamic_pointer_cast<FileObject>(object);
        if (!f || f->node.get() != node)
            continue;
        if (stream && f->stream.get() != stream)
            continue;
        if (!(f->share & FILE_SHARE_DELETE))
            return true;
    }
    return false;
}

void ResetHandles()
{
    TheTable() = Table{};
}

void NoteMisuse(std::string what)
{
    TheTable().misuses.push_back(std::move(what));
}

std::vector<std::string> HandleLeaks()
{
    std::vector<std::string> leaks = TheTable().misuses;
    for (const auto& [value, object] : TheTable().objects)
        leaks.push_back(object->Describe() + " (release with " + object->Closer() + ")");
    return leaks;
}

}  // namespace winsim::detail

extern "C" BOOL WINAPI CloseHandle(HANDLE hObject)
{
    using namespace winsim::detail;
    WINSIM_ENTER("CloseHandle", {}, FALSE);
    auto object = Lookup(hObject);
    // Find handles, mappings' views and the like have their own close calls;
    // CloseHandle on them is an invalid handle, as on Windows.
    if (!object || std::string(object->Closer()) != "CloseHandle") {
        NoteMisuse("CloseHandle on a handle that is not open");
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    }
    Remove(hObject);
    return TRUE;
}
