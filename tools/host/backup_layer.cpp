#include "tools/host/backup_layer.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace backup_layer {

namespace {

constexpr std::size_t kHeaderBytes = 20;  // WIN32_STREAM_ID up to cStreamName

struct Entry {
    std::string prefix;       // the header and the name
    std::string body;         // a body held in memory (the security descriptor)
    std::wstring bodyPath;    // or the file whose bytes are the body
    unsigned long long size = 0;

    unsigned long long Total() const { return prefix.size() + size; }
};

// What the context pointer of BackupRead and BackupSeek stands for.
struct Context {
    std::vector<Entry> entries;
    std::size_t index = 0;
    unsigned long long offset = 0;  // within the current entry's prefix and body

    void Advance(unsigned long long n)
    {
        offset += n;
        if (index < entries.size() && offset == entries[index].Total()) {
            ++index;
            offset = 0;
        }
    }
};

void Put32(std::string& s, std::size_t at, DWORD value)
{
    for (int i = 0; i < 4; ++i)
        s[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

Entry MakeEntry(DWORD id, DWORD attributes, const std::wstring& name, unsigned long long size)
{
    Entry e;
    e.prefix.assign(kHeaderBytes, '\0');
    Put32(e.prefix, 0, id);
    Put32(e.prefix, 4, attributes);
    Put32(e.prefix, 8, static_cast<DWORD>(size));
    Put32(e.prefix, 12, static_cast<DWORD>(size >> 32));
    Put32(e.prefix, 16, static_cast<DWORD>(name.size() * 2));
    for (wchar_t c : name) {
        e.prefix += static_cast<char>(c & 0xFF);
        e.prefix += static_cast<char>((c >> 8) & 0xFF);
    }
    e.size = size;
    return e;
}

// The path of the entry a handle was opened on, in its plain form.
std::wstring PathOf(HANDLE file)
{
    std::vector<wchar_t> buffer(32768);
    DWORD n = GetFinalPathNameByHandleW(file, buffer.data(), static_cast<DWORD>(buffer.size()),
                                        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0 || n >= buffer.size())
        return {};
    std::wstring path(buffer.data(), n);
    if (path.compare(0, 4, L"\\\\?\\") == 0)
        path.erase(0, 4);
    return path;
}

unsigned long long SizeOf(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::vector<Entry> Snapshot(const std::wstring& path, bool processSecurity)
{
    std::vector<Entry> entries;
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return entries;
    if (processSecurity) {
        const SECURITY_INFORMATION what = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                                          DACL_SECURITY_INFORMATION;
        DWORD needed = 0;
        GetFileSecurityW(path.c_str(), what, nullptr, 0, &needed);
        std::string descriptor(needed, '\0');
        if (needed > 0 &&
            GetFileSecurityW(path.c_str(), what, reinterpret_cast<PSECURITY_DESCRIPTOR>(descriptor.data()), needed,
                             &needed)) {
            Entry e = MakeEntry(BACKUP_SECURITY_DATA, STREAM_CONTAINS_SECURITY, L"", descriptor.size());
            e.body = descriptor;
            entries.push_back(std::move(e));
        }
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        Entry e = MakeEntry(BACKUP_DATA, 0, L"", SizeOf(path));
        e.bodyPath = path;
        entries.push_back(std::move(e));
    }
    // The named streams: Wine keeps "entry:name:$DATA" as a file beside the entry.
    std::size_t slash = path.rfind(L'\\');
    if (slash == std::wstring::npos)
        return entries;
    const std::wstring folder = path.substr(0, slash + 1);
    const std::wstring own = path.substr(slash + 1) + L":";
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return entries;
    do {
        std::wstring name = found.cFileName;
        const std::wstring suffix = L":$DATA";
        if (name.size() <= own.size() + suffix.size() || _wcsnicmp(name.c_str(), own.c_str(), own.size()) != 0 ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        std::wstring stream = name.substr(own.size() - 1);  // ":name:$DATA"
        Entry e = MakeEntry(BACKUP_ALTERNATE_DATA, STREAM_NORMAL_ATTRIBUTE, stream,
                            (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow);
        e.bodyPath = folder + name;
        entries.push_back(std::move(e));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return entries;
}

bool ReadBody(const Entry& e, unsigned long long offset, BYTE* out, DWORD count)
{
    if (e.bodyPath.empty()) {
        std::memcpy(out, e.body.data() + offset, count);
        return true;
    }
    HANDLE f = CreateFileW(e.bodyPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    DWORD got = 0;
    bool ok = SetFilePointerEx(f, at, nullptr, FILE_BEGIN) && ReadFile(f, out, count, &got, nullptr);
    CloseHandle(f);
    // A file that shrank since the snapshot reads as zeros beyond its end.
    if (ok && got < count)
        std::memset(out + got, 0, count - got);
    return ok;
}

BOOL WINAPI LayerBackupRead(HANDLE file, LPBYTE buffer, DWORD count, LPDWORD done, BOOL abort,
                            BOOL processSecurity, LPVOID* context)
{
    if (!done || !context) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *done = 0;
    if (abort) {
        delete static_cast<Context*>(*context);
        *context = nullptr;
        return TRUE;
    }
    if (!*context) {
        const std::wstring path = PathOf(file);
        if (path.empty()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        auto* made = new Context;
        made->entries = Snapshot(path, processSecurity != FALSE);
        *context = made;
    }
    auto* c = static_cast<Context*>(*context);
    if (c->index >= c->entries.size())
        return TRUE;  // the end of the sequence: nothing more
    const Entry& e = c->entries[c->index];
    const DWORD n = static_cast<DWORD>(std::min<unsigned long long>(e.Total() - c->offset, count));
    for (DWORD i = 0; i < n;) {
        const unsigned long long at = c->offset + i;
        if (at < e.prefix.size()) {
            DWORD part = static_cast<DWORD>(std::min<unsigned long long>(e.prefix.size() - at, n - i));
            std::memcpy(buffer + i, e.prefix.data() + at, part);
            i += part;
        } else {
            if (!ReadBody(e, at - e.prefix.size(), buffer + i, n - i)) {
                SetLastError(ERROR_READ_FAULT);
                return FALSE;
            }
            i = n;
        }
    }
    c->Advance(n);
    *done = n;
    return TRUE;
}

BOOL WINAPI LayerBackupSeek(HANDLE, DWORD low, DWORD high, LPDWORD lowDone, LPDWORD highDone, LPVOID* context)
{
    if (!lowDone || !highDone || !context || !*context) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto* c = static_cast<Context*>(*context);
    const unsigned long long wanted = (static_cast<unsigned long long>(high) << 32) | low;
    const unsigned long long left =
        c->index < c->entries.size() ? c->entries[c->index].Total() - c->offset : 0;
    const unsigned long long moved = std::min(wanted, left);
    c->Advance(moved);
    *lowDone = static_cast<DWORD>(moved);
    *highDone = static_cast<DWORD>(moved >> 32);
    // As documented: a seek stops at the next header and then fails.
    if (moved < wanted) {
        SetLastError(ERROR_SEEK);
        return FALSE;
    }
    return TRUE;
}

FARPROC WINAPI LayerGetProcAddress(HMODULE module, LPCSTR name)
{
    // A name, not an ordinal (those are below 65536).
    if (reinterpret_cast<ULONG_PTR>(name) > 0xFFFF) {
        if (std::strcmp(name, "BackupSeek") == 0)
            return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&LayerBackupSeek));
        if (std::strcmp(name, "BackupRead") == 0)
            return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&LayerBackupRead));
    }
    return GetProcAddress(module, name);
}

bool PointImportAt(HMODULE module, const char* function, void* replacement)
{
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0)
        return false;
    bool pointed = false;
    for (auto* imported = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         imported->Name != 0; ++imported) {
        if (_stricmp(reinterpret_cast<const char*>(base + imported->Name), "kernel32.dll") != 0)
            continue;
        auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imported->FirstThunk);
        auto* named = reinterpret_cast<IMAGE_THUNK_DATA*>(
            base + (imported->OriginalFirstThunk ? imported->OriginalFirstThunk : imported->FirstThunk));
        for (; named->u1.AddressOfData != 0; ++named, ++slot) {
            if (IMAGE_SNAP_BY_ORDINAL(named->u1.Ordinal))
                continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + named->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0)
                continue;
            DWORD protection = 0;
            VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &protection);
            slot->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, protection, &protection);
            pointed = true;
        }
    }
    return pointed;
}

}  // namespace

bool Install(HMODULE module)
{
    bool read = PointImportAt(module, "BackupRead", reinterpret_cast<void*>(&LayerBackupRead));
    bool seek = PointImportAt(module, "BackupSeek", reinterpret_cast<void*>(&LayerBackupSeek));
    bool lookup = PointImportAt(module, "GetProcAddress", reinterpret_cast<void*>(&LayerGetProcAddress));
    return read || seek || lookup;
}

}  // namespace backup_layer
