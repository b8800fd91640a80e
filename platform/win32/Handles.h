// Owning wrappers for the Win32 handle kinds the program opens. Each closes
// its handle exactly once; the traits say what "no handle" looks like,
// because FindFirstFileA and CreateFileA fail with INVALID_HANDLE_VALUE while
// most other calls fail with NULL. The windows' drawing handles have theirs
// in ui/GdiHandles.h.
#pragma once

#include <windows.h>

template <typename Traits>
class ScopedHandle {
public:
    typedef typename Traits::Handle Handle;

    ScopedHandle() : handle_(Traits::Invalid()) {}
    explicit ScopedHandle(Handle handle) : handle_(handle) {}
    ~ScopedHandle() { Close(); }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    bool IsValid() const { return handle_ != Traits::Invalid(); }
    Handle Get() const { return handle_; }
    // For out-parameters of the opening call: closes any current handle first.
    Handle* Receive() {
        Close();
        return &handle_;
    }
    // Takes over handle, closing any current one first.
    void Reset(Handle handle) {
        Close();
        handle_ = handle;
    }
    // Gives up ownership; the caller closes the handle.
    Handle Release() {
        Handle handle = handle_;
        handle_ = Traits::Invalid();
        return handle;
    }
    bool Close() {
        if (!IsValid()) return true;
        bool closed = Traits::Close(handle_);
        handle_ = Traits::Invalid();
        return closed;
    }

private:
    Handle handle_;
};

struct FindHandleTraits {
    typedef HANDLE Handle;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Close(Handle handle) { return FindClose(handle) != FALSE; }
};

// CreateFileA fails with INVALID_HANDLE_VALUE rather than NULL.
struct FileHandleTraits {
    typedef HANDLE Handle;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Close(Handle handle) { return CloseHandle(handle) != FALSE; }
};

// CreateMutexA, like most other kernel calls, fails with NULL.
struct KernelObjectTraits {
    typedef HANDLE Handle;
    static Handle Invalid() { return NULL; }
    static bool Close(Handle handle) { return CloseHandle(handle) != FALSE; }
};

typedef ScopedHandle<FindHandleTraits> FindHandle;
typedef ScopedHandle<FileHandleTraits> FileHandle;
typedef ScopedHandle<KernelObjectTraits> KernelHandle;
