// Owning wrappers for what the windows draw with: GDI objects, memory
// drawing contexts, a window's drawing context, and an object selected into
// a context for a while. Each gives back what it holds exactly once.
#pragma once

#include <windows.h>

#include "platform/win32/Handles.h"

// Bitmaps, regions, fonts and brushes, freed with DeleteObject.
template <typename Object>
struct GdiObjectTraits {
    typedef Object Handle;
    static Handle Invalid() { return NULL; }
    static bool Close(Handle handle) { return DeleteObject(handle) != FALSE; }
};

// Contexts made with CreateCompatibleDC, freed with DeleteDC.
struct MemoryDcTraits {
    typedef HDC Handle;
    static Handle Invalid() { return NULL; }
    static bool Close(Handle handle) { return DeleteDC(handle) != FALSE; }
};

typedef ScopedHandle<GdiObjectTraits<HBITMAP>> GdiBitmap;
typedef ScopedHandle<GdiObjectTraits<HRGN>> GdiRegion;
typedef ScopedHandle<GdiObjectTraits<HFONT>> GdiFont;
typedef ScopedHandle<GdiObjectTraits<HBRUSH>> GdiBrush;
typedef ScopedHandle<MemoryDcTraits> MemoryDc;

// A window's drawing context from GetDC, given back with ReleaseDC, which
// needs the window as well: hence no traits of its own.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(window ? GetDC(window) : NULL) {}
    ~WindowDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;

    bool IsValid() const { return dc_ != NULL; }
    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// Selects an object into a context; the context's earlier object goes back
// when the selection ends, so that neither is deleted while still selected.
// Declare it after the context and the object it selects.
class SelectedObject {
public:
    SelectedObject() : dc_(NULL), previous_(NULL) {}
    SelectedObject(HDC dc, HGDIOBJ object) : SelectedObject() { Select(dc, object); }
    ~SelectedObject() { Restore(); }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

    // False when there is no context or object, or the selection failed.
    bool Select(HDC dc, HGDIOBJ object) {
        Restore();
        if (!dc || !object) return false;
        HGDIOBJ previous = SelectObject(dc, object);
        if (!previous || previous == HGDI_ERROR) return false;
        dc_ = dc;
        previous_ = previous;
        return true;
    }
    bool IsValid() const { return previous_ != NULL; }
    void Restore() {
        if (previous_) SelectObject(dc_, previous_);
        dc_ = NULL;
        previous_ = NULL;
    }

private:
    HDC dc_;
    HGDIOBJ previous_;
};
