// Benchmarks of the genuine plugin under Wine, beside the bare system calls
// doing the same work, in one run (one process, one prefix):
//   - copying out a 1 GiB file through FsGetFileW ("::$DATA") beside CopyFileW;
//   - listing a 100,000-entry directory through FsFindFirstW/FsFindNextW beside
//     a bare FindFirstFileW/FindNextFileW loop;
//   - the price of a move's safety: FsGetFileW moving a file out (its copy
//     flushed to the disk before the source is deleted) beside copying it
//     (not flushed).
// Run it with tools/wine/wine.sh run PREFIX wine_bench.exe PLUGIN [GiB] [MiB] [LIST]
// (GiB for the copy, 0: none; MiB for the move, default 256, 0: none; LIST 0
// leaves the listing out); it
// works in C:\scratch\bench and prints the times and the ratios.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "plugin/host_interface.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

int WINAPI Progress(int, WCHAR*, WCHAR*, int)
{
    return 0;
}
void WINAPI Log(int, int, WCHAR*) {}
BOOL WINAPI Request(int, int, WCHAR*, WCHAR* text, WCHAR*, int)
{
    std::fwprintf(stderr, L"message: %ls\n", text ? text : L"");
    return TRUE;
}

template <typename F>
F Proc(HMODULE dll, const char* name)
{
    auto p = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
    if (!p) {
        std::printf("export missing: %s\n", name);
    }
    return p;
}

bool MakeBigFile(const std::wstring& path, unsigned long long bytes)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    std::string block(1 << 20, '\0');
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>(i * 31 + 7);
    DWORD written = 0;
    for (unsigned long long done = 0; done < bytes; done += block.size())
        WriteFile(h, block.data(), static_cast<DWORD>(block.size()), &written, nullptr);
    CloseHandle(h);
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::printf("usage: wine_bench PLUGIN [GiB]\n");
        return 2;
    }
    const unsigned long long gib = argc > 2 ? std::wcstoull(argv[2], nullptr, 10) : 1;
    const unsigned long long moveMib = argc > 3 ? std::wcstoull(argv[3], nullptr, 10) : 256;
    const bool listing = argc > 4 ? std::wcstoull(argv[4], nullptr, 10) != 0 : true;
    HMODULE dll = LoadLibraryW(argv[1]);
    if (!dll) {
        std::printf("cannot load the plugin: error %lu\n", GetLastError());
        return 3;
    }
    auto init = Proc<int(WINAPI*)(int, tProgressProcW, tLogProcW, tRequestProcW)>(dll, "FsInitW");
    if (!init)
        return 4;
    init(1, Progress, Log, Request);

    const std::wstring root = L"C:\\scratch\\bench";
    CreateDirectoryW(L"C:\\scratch", nullptr);
    CreateDirectoryW(root.c_str(), nullptr);

    // ---------------------------------------------------------------- copy out
    auto get = gib == 0 ? nullptr : Proc<int(WINAPI*)(WCHAR*, WCHAR*, int, RemoteInfoStruct*)>(dll, "FsGetFileW");
    if (get) {  // a size of 0 GiB leaves the copy out
        const std::wstring source = root + L"\\big.dat";
        const unsigned long long bytes = gib << 30;
        if (!MakeBigFile(source, bytes)) {
            std::printf("cannot make the source: error %lu\n", GetLastError());
            return 5;
        }
        CreateDirectoryW((root + L"\\out").c_str(), nullptr);
        std::wstring remote = L"\\" + source + L"\\::$DATA";
        WCHAR local[1024] = L"C:\\scratch\\bench\\out\\x";
        RemoteInfoStruct info{};
        // Each twice, alternating, the better time of each counts: both then
        // read a source that sits in the page cache.
        double plugin = 1e9, system = 1e9;
        int result = -1;
        BOOL copied = FALSE;
        for (int round = 0; round < 2; ++round) {
            auto start = Clock::now();
            copied = CopyFileW(source.c_str(), (root + L"\\out\\copyfile.dat").c_str(), FALSE);
            system = std::min(system, Seconds(start));
            start = Clock::now();
            result = get(remote.data(), local, FS_COPYFLAGS_OVERWRITE, &info);
            plugin = std::min(plugin, Seconds(start));
        }
        std::printf("copy out of %llu GiB: FsGetFileW %.2f s (result %d), CopyFileW %.2f s (%s); ratio %.2f\n", gib,
                    plugin, result, system, copied ? "ok" : "failed", plugin / system);
        DeleteFileW(source.c_str());
        DeleteFileW((root + L"\\out\\big.dat").c_str());
        DeleteFileW((root + L"\\out\\copyfile.dat").c_str());
    }

    // ---------------------------------------------------------------- move
    // A fresh source each time (a move deletes it); the better of three
    // rounds counts for each. The copy's bytes may still sit in the page
    // cache when FsGetFileW returns; the move's are on the disk.
    auto move = moveMib == 0 ? nullptr : Proc<int(WINAPI*)(WCHAR*, WCHAR*, int, RemoteInfoStruct*)>(dll, "FsGetFileW");
    if (move) {
        const std::wstring source = root + L"\\moved.dat";
        const std::wstring target = root + L"\\out\\moved.dat";
        CreateDirectoryW((root + L"\\out").c_str(), nullptr);
        const unsigned long long bytes = moveMib << 20;
        double copied = 1e9, moved = 1e9;
        int copyResult = -1, moveResult = -1;
        for (int round = 0; round < 3; ++round) {
            for (const int flags : {int{FS_COPYFLAGS_OVERWRITE}, int{FS_COPYFLAGS_OVERWRITE | FS_COPYFLAGS_MOVE}}) {
                if (!MakeBigFile(source, bytes)) {
                    std::printf("cannot make the source: error %lu\n", GetLastError());
                    return 5;
                }
                std::wstring remote = L"\\" + source + L"\\::$DATA";
                WCHAR local[1024] = {};
                wcsncpy(local, target.c_str(), 1023);
                RemoteInfoStruct info{};
                auto start = Clock::now();
                const int result = move(remote.data(), local, flags, &info);
                const double seconds = Seconds(start);
                if (flags & FS_COPYFLAGS_MOVE) {
                    moved = std::min(moved, seconds);
                    moveResult = result;
                } else {
                    copied = std::min(copied, seconds);
                    copyResult = result;
                }
                DeleteFileW(target.c_str());
            }
        }
        DeleteFileW(source.c_str());
        const double mb = static_cast<double>(bytes) / 1e6;
        std::printf("moving out %llu MiB: copy %.3f s (%.0f MB/s, result %d), move with its flush %.3f s "
                    "(%.0f MB/s, result %d); the flush costs %.0f %%\n",
                    moveMib, copied, mb / copied, copyResult, moved, mb / moved, moveResult,
                    (moved / copied - 1.0) * 100.0);
    }

    // ---------------------------------------------------------------- listing
    auto first = Proc<HANDLE(WINAPI*)(WCHAR*, WIN32_FIND_DATAW*)>(dll, "FsFindFirstW");
    auto next = Proc<BOOL(WINAPI*)(HANDLE, WIN32_FIND_DATAW*)>(dll, "FsFindNextW");
    auto close = Proc<int(WINAPI*)(HANDLE)>(dll, "FsFindClose");
    if (listing && first && next && close) {
        const std::wstring folder = root + L"\\many";
        const int kEntries = 100000;
        if (CreateDirectoryW(folder.c_str(), nullptr)) {
            for (int i = 0; i < kEntries; ++i) {
                HANDLE h = CreateFileW((folder + L"\\entry" + std::to_wstring(i) + L".txt").c_str(), GENERIC_WRITE, 0,
                                       nullptr, CREATE_NEW, 0, nullptr);
                if (h != INVALID_HANDLE_VALUE)
                    CloseHandle(h);
            }
        }
        WIN32_FIND_DATAW data{};
        auto start = Clock::now();
        int viaPlugin = 0;
        std::wstring remote = L"\\" + folder;
        HANDLE h = first(remote.data(), &data);
        if (h != INVALID_HANDLE_VALUE) {
            do
                ++viaPlugin;
            while (next(h, &data));
            close(h);
        }
        double plugin = Seconds(start);
        start = Clock::now();
        int bare = 0;
        HANDLE f = FindFirstFileW((folder + L"\\*.*").c_str(), &data);
        if (f != INVALID_HANDLE_VALUE) {
            do
                ++bare;
            while (FindNextFileW(f, &data));
            FindClose(f);
        }
        double system = Seconds(start);
        std::printf("listing %d entries: plugin %.3f s (%d entries), FindFirstFileW loop %.3f s (%d); ratio %.2f\n",
                    kEntries, plugin, viaPlugin, system, bare, plugin / system);
    }
    return 0;
}
