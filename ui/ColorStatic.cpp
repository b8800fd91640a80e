#include "ui/ColorStatic.h"

#include "ui/SharedLook.h"

namespace {

const COLORREF kTitleBandBlue = RGB(2, 77, 246);

}  // namespace

CColorStatic::CColorStatic() : textColour_(RGB(255, 255, 255)), text_() {}

LRESULT CColorStatic::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT) return Default(message, wParam, lParam);
    Paint();
    return 0;
}

void CColorStatic::Paint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd_, &paint);
    if (!dc) return;
    GetWindowTextA(hwnd_, text_, sizeof text_);
    SelectedObject font(dc, SharedLook.TitleFont());
    SetTextColor(dc, textColour_);
    SetBkColor(dc, kTitleBandBlue);
    RECT client;
    GetClientRect(hwnd_, &client);
    // Without DT_SINGLELINE the vertical centring has no effect: the text sits
    // at the top, centred across.
    DrawTextA(dc, text_, -1, &client, DT_CENTER | DT_VCENTER);
    font.Restore();
    EndPaint(hwnd_, &paint);
}
