// Owner-drawn push buttons whose look is one of three bitmaps named after the
// button's text: TEXT_FOCUS while highlighted (hovered or focused),
// TEXT_DISABLE while disabled, TEXT_NOTFOCUS otherwise.
#pragma once

#include <windows.h>

#include "ui/Dialog.h"
#include "ui/GdiHandles.h"

class CSkinnedButton : public CSubclassedControl {
public:
    CSkinnedButton();

    // Attaches to control id of parent unless already attached, then loads the
    // faces named after the button's text. False when no names could be formed
    // (no control, empty text); true otherwise, whatever the loading gave.
    bool LoadFacesFromText(int id, HWND parent);
    // False when the FOCUS or NOTFOCUS face is missing or the button could not
    // be sized; a missing DISABLE face only means the button has none.
    bool LoadFaces(const char* focusName, const char* notFocusName, const char* disableName);
    // Sizes the button to its NOTFOCUS face without moving or redrawing it.
    bool SizeToFace();

    void DrawItem(const DRAWITEMSTRUCT& item) override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void FreeFaces();
    void Invalidate();
    void OnMouseMove(LPARAM lParam);

    int highlighted_;
    RECT hit_;
    GdiBitmap disableFace_;
    GdiBitmap notFocusFace_;
    GdiBitmap focusFace_;
};

// The main window's buttons: they also show the help viewer's hand cursor.
class CExButton : public CSkinnedButton {
public:
    CExButton();
    ~CExButton() override;
    // Fetches the hand cursor once; without it the default cursor stays.
    void LoadHandCursor();

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    HCURSOR handCursor_;
};

// The prompt dialog's buttons: no cursor handling.
class NCExButton : public CSkinnedButton {};
