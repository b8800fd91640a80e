#include "ui/SharedLook.h"

CModalDialog* MainDialog;
bool LargeFontScreen;
CSharedLook SharedLook;

namespace {

const LONG kTitleFontHeight = 15;
const COLORREF kDialogWhite = RGB(255, 255, 255);

}  // namespace

void CSharedLook::CreateTitleFont(HWND window) {
    if (titleFont_.IsValid()) return;
    HFONT current = reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
    if (!current) current = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    LOGFONTA font;
    if (!GetObjectA(current, sizeof font, &font)) return;
    font.lfHeight = kTitleFontHeight;
    font.lfWeight = FW_BOLD;
    font.lfUnderline = FALSE;
    font.lfItalic = FALSE;
    titleFont_.Reset(CreateFontIndirectA(&font));
}

void CSharedLook::CreateDialogBrush() {
    if (!dialogBrush_.IsValid()) dialogBrush_.Reset(CreateSolidBrush(kDialogWhite));
}
