#include "ui/ExButton.h"

#include "common/Shared.h"
#include "ui/logic/ButtonRules.h"

namespace {

// The help viewer in the Windows folder, whose cursor 106 is the hand.
const char kHelpViewer[] = "\\winhlp32.exe";
const int kHandCursorId = 106;

HBITMAP LoadFace(const char* name) {
    // Resource names match without regard to case; the 3-D mapping swaps the
    // face's greys for the current 3-D colours.
    return static_cast<HBITMAP>(
        LoadImageA(GetModuleHandleA(NULL), name, IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS));
}

}  // namespace

CSkinnedButton::CSkinnedButton() : highlighted_(0), hit_() {}

void CSkinnedButton::FreeFaces() {
    disableFace_.Close();
    notFocusFace_.Close();
    focusFace_.Close();
}

bool CSkinnedButton::LoadFacesFromText(int id, HWND parent) {
    if (!hwnd_ && !Attach(parent, id)) return false;
    char text[64];
    int length = GetWindowTextLengthA(hwnd_);
    // A text cut to fit would name some other face: such a button stays bare.
    if (length <= 0 || length >= static_cast<int>(sizeof text)) return false;
    if (GetWindowTextA(hwnd_, text, sizeof text) != length) return false;
    char focus[96], notFocus[96], disable[96];
    if (!FormFaceNames(text, focus, notFocus, disable, sizeof focus)) return false;
    LoadFaces(focus, notFocus, disable);
    return true;
}

bool CSkinnedButton::LoadFaces(const char* focusName, const char* notFocusName,
                               const char* disableName) {
    FreeFaces();
    focusFace_.Reset(LoadFace(focusName));
    if (!focusFace_.IsValid()) return false;
    notFocusFace_.Reset(LoadFace(notFocusName));
    if (!notFocusFace_.IsValid()) return false;
    disableFace_.Reset(LoadFace(disableName));
    return SizeToFace();
}

bool CSkinnedButton::SizeToFace() {
    BITMAP info;
    if (!notFocusFace_.IsValid() || !GetObjectA(notFocusFace_.Get(), sizeof info, &info))
        return false;
    if (!SetWindowPos(hwnd_, NULL, 0, 0, info.bmWidth, info.bmHeight,
                      SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE))
        return false;
    SetRect(&hit_, 0, 0, info.bmWidth, info.bmHeight);
    return true;
}

void CSkinnedButton::DrawItem(const DRAWITEMSTRUCT& item) {
    HBITMAP face = NULL;
    switch (ChooseButtonFace(highlighted_ != 0, (item.itemState & ODS_DISABLED) != 0)) {
    case ButtonFace::Focus:
        face = focusFace_.Get();
        break;
    case ButtonFace::Disable:
        face = disableFace_.Get();
        break;
    case ButtonFace::NotFocus:
        face = notFocusFace_.Get();
        break;
    }
    if (!face) return;
    MemoryDc memory(CreateCompatibleDC(item.hDC));
    if (!memory.IsValid()) return;
    SelectedObject selection(memory.Get(), face);
    if (!selection.IsValid()) return;
    const RECT& r = item.rcItem;
    BitBlt(item.hDC, r.left, r.top, r.right - r.left, r.bottom - r.top, memory.Get(), 0, 0,
           SRCCOPY);
}

void CSkinnedButton::Invalidate() { InvalidateRect(hwnd_, NULL, FALSE); }

void CSkinnedButton::OnMouseMove(LPARAM lParam) {
    int x = static_cast<short>(LOWORD(lParam));
    int y = static_cast<short>(HIWORD(lParam));
    switch (HoverOnMouseMove(GetCapture() == hwnd_, x, y, hit_.right, hit_.bottom)) {
    case HoverStep::Enter:
        SetFocus(hwnd_);
        highlighted_ = 1;
        SetCapture(hwnd_);
        Invalidate();
        break;
    case HoverStep::Leave:
        ReleaseCapture();
        highlighted_ = 0;
        Invalidate();
        break;
    case HoverStep::Stay:
        break;
    }
}

LRESULT CSkinnedButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_MOUSEMOVE:
        OnMouseMove(lParam);
        return Default(message, wParam, lParam);
    case WM_KILLFOCUS: {
        LRESULT result = Default(message, wParam, lParam);
        highlighted_ = 0;
        Invalidate();
        return result;
    }
    case WM_SETFOCUS: {
        LRESULT result = Default(message, wParam, lParam);
        highlighted_ = 1;
        Invalidate();
        return result;
    }
    default:
        return Default(message, wParam, lParam);
    }
}

CExButton::CExButton() : handCursor_(NULL) {}

CExButton::~CExButton() {
    if (handCursor_) DestroyCursor(handCursor_);
}

void CExButton::LoadHandCursor() {
    if (handCursor_) return;
    char path[kPathSize + sizeof kHelpViewer];
    UINT length = GetWindowsDirectoryA(path, kPathSize);
    if (length == 0 || length >= kPathSize) return;
    if (!AppendText(path, sizeof path, kHelpViewer)) return;
    HMODULE viewer = LoadLibraryA(path);
    if (!viewer) return;
    HCURSOR cursor = LoadCursorA(viewer, MAKEINTRESOURCEA(kHandCursorId));
    if (cursor) handCursor_ = CopyIcon(cursor);
    FreeLibrary(viewer);
}

LRESULT CExButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETCURSOR && handCursor_) {
        SetCursor(handCursor_);
        return TRUE;
    }
    return CSkinnedButton::WindowProc(message, wParam, lParam);
}
