// One move-only owner per kind of Win32 resource. Releasing keeps the caller's
// last-error value: the error of the call that failed must survive the cleanup
// that follows it.
#pragma once

#include <windows.h>

#include <utility>

template <typename Traits>
class UniqueResource {
public:
    using Type = typename Traits::Type;

    UniqueResource() = default;
    explicit UniqueResource(Type value) : value_(value) {}
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : value_(other.Release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    ~UniqueResource() { Reset(); }

    Type Get() const { return value_; }
    bool Valid() const { return value_ != Traits::Invalid(); }
    explicit operator bool() const { return Valid(); }

    Type Release()
    {
        return std::exchange(value_, Traits::Invalid());
    }

    void Reset(Type value = Traits::Invalid())
    {
        if (Valid()) {
            DWORD error = GetLastError();
            Traits::Close(value_);
            SetLastError(error);
        }
        value_ = value;
    }

    // Closes explicitly and reports the close call's own result, for the few
    // places that must know whether the release worked.
    bool Close()
    {
        if (!Valid())
            return true;
        bool ok = Traits::Close(std::exchange(value_, Traits::Invalid()));
        return ok;
    }

private:
    Type value_ = Traits::Invalid();
};

// Files, directories and streams from CreateFileW: invalid is INVALID_HANDLE_VALUE.
struct FileHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Close(Type h) { return CloseHandle(h) != FALSE; }
};

// Kernel objects whose failure value is null: tokens, file mappings.
struct KernelHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return nullptr; }
    static bool Close(Type h) { return CloseHandle(h) != FALSE; }
};

// Directory searches from FindFirstFileW: closed by FindClose, not CloseHandle.
struct FindHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Close(Type h) { return FindClose(h) != FALSE; }
};

using UniqueFile = UniqueResource<FileHandleTraits>;
using UniqueFind = UniqueResource<FindHandleTraits>;
using UniqueKernelHandle = UniqueResource<KernelHandleTraits>;

// Blocks of the process heap (HeapAlloc on GetProcessHeap).
struct ProcessHeapBlockTraits {
    using Type = void*;
    static Type Invalid() { return nullptr; }
    static bool Close(Type p) { return HeapFree(GetProcessHeap(), 0, p) != FALSE; }
};

using UniqueHeapBlock = UniqueResource<ProcessHeapBlockTraits>;

// The read context of BackupRead: the first read allocates it, BackupRead and
// BackupSeek update it through its address, and only a final read with bAbort
// TRUE releases it (closing the file handle does not).
class UniqueBackupContext {
public:
    UniqueBackupContext() = default;
    UniqueBackupContext(const UniqueBackupContext&) = delete;
    UniqueBackupContext& operator=(const UniqueBackupContext&) = delete;
    UniqueBackupContext(UniqueBackupContext&& other) noexcept : context_(std::exchange(other.context_, nullptr)) {}
    UniqueBackupContext& operator=(UniqueBackupContext&& other) noexcept
    {
        if (this != &other) {
            Reset();
            context_ = std::exchange(other.context_, nullptr);
        }
        return *this;
    }
    ~UniqueBackupContext() { Reset(); }

    LPVOID Get() const { return context_; }
    bool Valid() const { return context_ != nullptr; }
    // For the calls that allocate or advance the context.
    LPVOID* Address() { return &context_; }

    void Reset()
    {
        DWORD error = GetLastError();
        Close();
        SetLastError(error);
    }

    // Releases the context and reports the abort read's own result; true when
    // there was nothing to release.
    bool Close()
    {
        if (!context_)
            return true;
        LPVOID context = std::exchange(context_, nullptr);
        DWORD bytesRead = 0;
        return BackupRead(nullptr, nullptr, 0, &bytesRead, TRUE, FALSE, &context) != FALSE;
    }

private:
    LPVOID context_ = nullptr;
};

// Icons from LoadIconWithScaleDown, LoadImageW and SHGetFileInfoW: DestroyIcon.
// An icon handed to the host is released from its owner, and the host destroys it.
struct IconTraits {
    using Type = HICON;
    static Type Invalid() { return nullptr; }
    static bool Close(Type h) { return DestroyIcon(h) != FALSE; }
};

using UniqueIcon = UniqueResource<IconTraits>;

// File mappings from CreateFileMappingW: null on failure, closed by CloseHandle.
using UniqueMapping = UniqueResource<KernelHandleTraits>;

// Views from MapViewOfFile: null on failure, released by UnmapViewOfFile.
struct ViewTraits {
    using Type = void*;
    static Type Invalid() { return nullptr; }
    static bool Close(Type view) { return UnmapViewOfFile(view) != FALSE; }
};
using UniqueView = UniqueResource<ViewTraits>;

// Buffers the system allocated for the caller (FormatMessageW's
// FORMAT_MESSAGE_ALLOCATE_BUFFER): LocalFree returns null on success.
struct LocalMemoryTraits {
    using Type = HLOCAL;
    static Type Invalid() { return nullptr; }
    static bool Close(Type block) { return LocalFree(block) == nullptr; }
};
using UniqueLocalMemory = UniqueResource<LocalMemoryTraits>;

// Registrations of AddVectoredExceptionHandler.
struct VectoredHandlerTraits {
    using Type = PVOID;
    static Type Invalid() { return nullptr; }
    static bool Close(Type handler) { return RemoveVectoredExceptionHandler(handler) != 0; }
};
using UniqueVectoredHandler = UniqueResource<VectoredHandlerTraits>;

// GDI objects (fonts) from CreateFontW and its kin: released by DeleteObject.
struct GdiObjectTraits {
    using Type = HFONT;
    static Type Invalid() { return nullptr; }
    static bool Close(Type h) { return DeleteObject(h) != FALSE; }
};

using UniqueFont = UniqueResource<GdiObjectTraits>;

// COM on the calling thread for as long as it lives, as the shell's calls
// need it; the host's icon thread may have none. Balanced: uninitialised only
// when this one initialised it (S_OK or S_FALSE); a thread already in the
// other apartment (RPC_E_CHANGED_MODE) keeps what it has, and the shell call
// runs in it.
class ComOnThisThread {
public:
    ComOnThisThread() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComOnThisThread()
    {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }
    // COM is there for the shell: initialised here, or already on the thread
    // in the other apartment.
    bool Ready() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }
    ComOnThisThread(const ComOnThisThread&) = delete;
    ComOnThisThread& operator=(const ComOnThisThread&) = delete;

private:
    HRESULT result_;
};
