#include "ui/PromptDlg.h"

#include <cstring>

#include "res/resource.h"
#include "ui/SharedLook.h"

namespace {

const COLORREF kBodyBlue = RGB(207, 233, 254);
// Every button of the template, in the order the layout moves them.
const int kButtonIds[] = {IDC_PROMPT_LONE_OK, IDC_PROMPT_OK, IDC_PROMPT_CANCEL, IDC_PROMPT_YES,
                          IDC_PROMPT_NO};

PromptRect WindowRectOf(HWND window) {
    RECT r = {0, 0, 0, 0};
    GetWindowRect(window, &r);
    PromptRect rect = {r.left, r.top, r.right, r.bottom};
    return rect;
}

void Place(HWND window, const PromptPlacement& p) {
    MoveWindow(window, p.x, p.y, p.width, p.height, TRUE);
}

}  // namespace

CPromptDlg::CPromptDlg(const char* text, const char* caption, int style)
    : CModalDialog(IDD_PROMPT_DIALOG),
      text_(text ? text : ""),
      caption_(caption ? caption : ""),
      pictureId_(DecodePromptPicture(style)),
      buttons_(DecodePromptButtons(style)),
      textBefore_() {}

bool CPromptDlg::OnInitDialog() {
    yes_.Attach(hwnd_, IDC_PROMPT_YES);
    ok_.Attach(hwnd_, IDC_PROMPT_OK);
    no_.Attach(hwnd_, IDC_PROMPT_NO);
    loneOk_.Attach(hwnd_, IDC_PROMPT_LONE_OK);
    cancel_.Attach(hwnd_, IDC_PROMPT_CANCEL);

    Layout();
    for (int id : kButtonIds) ShowItem(hwnd_, id, PromptButtonShown(id, buttons_));
    ok_.LoadFacesFromText(IDC_PROMPT_OK, hwnd_);
    loneOk_.LoadFacesFromText(IDC_PROMPT_LONE_OK, hwnd_);
    cancel_.LoadFacesFromText(IDC_PROMPT_CANCEL, hwnd_);
    yes_.LoadFacesFromText(IDC_PROMPT_YES, hwnd_);
    no_.LoadFacesFromText(IDC_PROMPT_NO, hwnd_);

    if (PromptPictureMoves(ComputePromptGrowth(static_cast<int>(strlen(text_))))) {
        HWND picture = Item(IDC_PROMPT_PICTURE);
        Place(picture, PlacePromptPicture(WindowRectOf(picture), textBefore_));
    }
    SetDlgItemTextA(hwnd_, IDC_PROMPT_TEXT, text_);
    SetWindowTextA(hwnd_, PromptCaptionOrDefault(caption_));
    CentreOverMainWindow();
    return true;
}

void CPromptDlg::Layout() {
    PromptGrowth growth = ComputePromptGrowth(static_cast<int>(strlen(text_)));
    RECT outer;
    GetWindowRect(hwnd_, &outer);
    int width = outer.right - outer.left + growth.b;
    int height = outer.bottom - outer.top + growth.c;
    MoveWindow(hwnd_, 0, 0, width, height, TRUE);

    HWND text = Item(IDC_PROMPT_TEXT);
    textBefore_ = WindowRectOf(text);
    Place(text, PlacePromptText(textBefore_, growth, LargeFontScreen));
    for (int id : kButtonIds) {
        HWND button = Item(id);
        if (button) Place(button, PlacePromptButton(WindowRectOf(button), growth, height));
    }
}

void CPromptDlg::CentreOverMainWindow() {
    if (!MainDialog || !MainDialog->Handle()) return;
    RECT main, own;
    GetWindowRect(MainDialog->Handle(), &main);
    GetWindowRect(hwnd_, &own);
    int width = own.right - own.left;
    int height = own.bottom - own.top;
    int x = main.left + ((main.right - main.left) - width) / 2;
    int y = main.top + ((main.bottom - main.top) - height) / 2;
    SetWindowPos(hwnd_, NULL, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CPromptDlg::OnCommand(int id, int, HWND) {
    if (id == IDC_PROMPT_OK || id == IDC_PROMPT_CANCEL) return false;  // OnOK, OnCancel
    int code = PromptEndCode(id, buttons_);
    if (code < 0) return false;
    End(code);
    return true;
}

void CPromptDlg::OnOK() { End(PromptEndCode(IDC_PROMPT_OK, buttons_)); }

void CPromptDlg::OnCancel() { End(PromptEndCode(IDC_PROMPT_CANCEL, buttons_)); }

void CPromptDlg::PaintPicture() {
    PAINTSTRUCT paint;
    BeginPaint(hwnd_, &paint);
    EndPaint(hwnd_, &paint);
    // Loaded anew for every paint and freed right after.
    GdiBitmap picture(static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(NULL),
                                                      MAKEINTRESOURCEA(pictureId_), IMAGE_BITMAP,
                                                      0, 0, LR_LOADMAP3DCOLORS)));
    if (!picture.IsValid()) return;
    HWND frame = Item(IDC_PROMPT_PICTURE);
    WindowDc dc(frame);
    if (!dc.IsValid()) return;
    MemoryDc memory(CreateCompatibleDC(dc.Get()));
    if (!memory.IsValid()) return;
    SelectedObject selection(memory.Get(), picture.Get());
    RECT client;
    GetClientRect(frame, &client);
    BitBlt(dc.Get(), 0, 0, client.right, client.bottom, memory.Get(), 0, 0, SRCCOPY);
}

bool CPromptDlg::OnMessage(UINT message, WPARAM, LPARAM, LRESULT* result) {
    switch (message) {
    case WM_PAINT:
        PaintPicture();
        *result = 0;
        return true;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        if (!bodyBrush_.IsValid()) bodyBrush_.Reset(CreateSolidBrush(kBodyBlue));
        *result = reinterpret_cast<LRESULT>(bodyBrush_.Get());
        return bodyBrush_.IsValid();
    default:
        return false;
    }
}

int RunPromptDialog(const char* text, const char* caption, int style) {
    CPromptDlg dialog(text, caption, style);
    // Like a framework dialog without a parent: owned by the main window.
    HWND owner = (MainDialog && MainDialog->Handle()) ? MainDialog->Handle() : NULL;
    return static_cast<int>(dialog.DoModal(owner));
}
