#include "ui/ScanDlg.h"

#include <shellapi.h>

#include "common/ProductKey.h"
#include "common/Shared.h"
#include "engine/ScanRun.h"
#include "res/resource.h"
#include "ui/RunLog.h"
#include "ui/ShapedWindow.h"
#include "ui/SharedLook.h"
#include "ui/UnattendedRun.h"
#include "ui/logic/LogListRules.h"
#include "ui/logic/MakerSite.h"
#include "ui/logic/ScanSession.h"
#include "ui/logic/ScanWindowTexts.h"

namespace {

const UINT_PTR kScanStartTimer = 100;
const UINT kScanStartDelay = 100;
const int kReferenceWidth = 600;
const int kReferenceHeight = 337;
const int kWindowWidth = 600;
const int kWindowHeight = 462;
const COLORREF kRegionKey = RGB(255, 0, 255);
const int kLargeFontPixelsPerInch = 120;
const int kSearchingFontHeight = 15;

void SetItemText(HWND dialog, int id, const char* text) { SetDlgItemTextA(dialog, id, text); }

// The widest of the list's first count lines in pixels, measured in the
// list's context as obtained, without the list's font; -1 without a context.
int WidestLine(HWND list, int count) {
    WindowDc dc(list);
    if (!dc.IsValid()) return -1;
    int widest = 0;
    char line[sizeof LogLine];
    for (int i = 0; i < count; ++i) {
        LRESULT length = SendMessageA(list, LB_GETTEXTLEN, i, 0);
        if (length < 0 || length >= static_cast<LRESULT>(sizeof line)) continue;
        SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line));
        SIZE size;
        if (GetTextExtentPoint32A(dc.Get(), line, static_cast<int>(length), &size) &&
            size.cx > widest)
            widest = size.cx;
    }
    return widest;
}

}  // namespace

CScanDlg::CScanDlg()
    : CModalDialog(IDD_SCAN_DIALOG),
      icon_(LoadIconA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDI_MAIN))),
      backgroundWidth_(0),
      backgroundHeight_(0),
      statusLine_(NULL) {}

// The picture, its context and the searching font give themselves back.
CScanDlg::~CScanDlg() {
    if (MainDialog == this) MainDialog = nullptr;
}

void CScanDlg::BindControls() {
    HWND d = hwnd_;
    ok_.Attach(d, IDC_OK_BUTTON);
    cancel_.Attach(d, IDCANCEL);
    scan_.Attach(d, IDC_SCAN);
    download_.Attach(d, IDC_DOWNLOAD);
    closeX_.Attach(d, IDC_CLOSE_X);
    downloadLink_.Attach(d, IDC_DLINK);
    utilityLink_.Attach(d, IDC_ULINK);
    logo_.Attach(d, IDC_LOGO);
    familyLine_.Attach(d, IDC_FAMILY_LINE);
    // The status line changes for every entry of a scan: no child-window
    // search each time.
    statusLine_ = Item(IDC_STATUS_LINE);
}

void CScanDlg::ShowIdleLayout() {
    const int hidden[] = {IDC_STATUS_LINE, IDC_STATUS_GROUP, IDC_SEARCHING_FOR,
                          IDC_LOG_LIST,    IDC_LOG_GROUP,    IDCANCEL};
    for (int id : hidden) ShowItem(hwnd_, id, false);
    EnableItem(hwnd_, IDC_OK_BUTTON, false);
    ShowItem(hwnd_, IDC_OK_BUTTON, false);
}

void CScanDlg::SetTitleTexts() {
    char text[kPathSize];
    FormDescriptionText(text, sizeof text);
    SetItemText(hwnd_, IDC_DESCRIPTION, text);
    FormFamilyLineText(text, sizeof text);
    SetItemText(hwnd_, IDC_FAMILY_LINE, text);
    SetItemText(hwnd_, IDC_MAKER_NOTICE, kMakerNotice);
    SetItemText(hwnd_, IDC_PRODUCT_NOTICE, kProductNotice);
}

void CScanDlg::ApplyProductLayout() {
    if (IsProductInstalled()) {
        EnableItem(hwnd_, IDC_DLINK, false);
        ShowItem(hwnd_, IDC_DLINK, false);
        EnableItem(hwnd_, IDC_DOWNLOAD, false);
    } else {
        ShowItem(hwnd_, IDC_PRODUCT_NOTICE, false);
    }
}

void CScanDlg::ShapeFromBackground() {
    background_.Reset(static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(NULL),
                                                      MAKEINTRESOURCEA(IDB_BACKGROUND),
                                                      IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS)));
    if (!background_.IsValid()) return;  // rectangular, no picture
    GdiRegion region(CreateRegionFromBitmap(background_.Get(), kRegionKey));
    // Once the window has the region, the system owns it.
    if (region.IsValid() && SetWindowRgn(hwnd_, region.Get(), TRUE)) region.Release();
    BITMAP info;
    if (GetObjectA(background_.Get(), sizeof info, &info)) {
        backgroundWidth_ = info.bmWidth;
        backgroundHeight_ = info.bmHeight;
    }
    backgroundContext_.Reset(CreateCompatibleDC(NULL));
    backgroundSelection_.Select(backgroundContext_.Get(), background_.Get());
}

void CScanDlg::SkinButtons() {
    ok_.LoadFacesFromText(IDC_OK_BUTTON, hwnd_);
    cancel_.LoadFacesFromText(IDCANCEL, hwnd_);
    scan_.LoadFacesFromText(IDC_SCAN, hwnd_);
    download_.LoadFacesFromText(IDC_DOWNLOAD, hwnd_);
    closeX_.LoadFacesFromText(IDC_CLOSE_X, hwnd_);
    utilityLink_.LoadFacesFromText(IDC_ULINK, hwnd_);
    downloadLink_.LoadFacesFromText(IDC_DLINK, hwnd_);
    logo_.LoadFacesFromText(IDC_LOGO, hwnd_);
}

bool CScanDlg::OnInitDialog() {
    BindControls();
    ShowIdleLayout();
    MainDialog = this;
    SharedLook.CreateTitleFont(hwnd_);
    SetTitleTexts();

    WindowDc dc(hwnd_);
    if (dc.IsValid()) LargeFontScreen = GetDeviceCaps(dc.Get(), LOGPIXELSX) >= kLargeFontPixelsPerInch;
    RescaleChildren(hwnd_, kReferenceWidth, kReferenceHeight);
    MoveWindow(hwnd_, 0, 0, kWindowWidth, kWindowHeight, TRUE);

    ApplyProductLayout();
    SharedLook.CreateDialogBrush();
    if (icon_) {
        SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
        SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    }
    // The captionless window's task-bar entry then offers minimize and close.
    SetWindowLongPtrA(hwnd_, GWL_STYLE,
                      GetWindowLongPtrA(hwnd_, GWL_STYLE) | WS_SYSMENU | WS_MINIMIZEBOX);

    ShapeFromBackground();
    SkinButtons();
    SetWindowTextA(hwnd_, kProgramCaption);
    CExButton* withHand[] = {&scan_, &closeX_, &download_, &ok_, &cancel_, &downloadLink_,
                             &utilityLink_};
    for (CExButton* button : withHand) button->LoadHandCursor();
    return true;
}

bool CScanDlg::OnCommand(int id, int, HWND) {
    // A click posted to a disabled button still reaches this window under
    // some systems; a disabled button has no command, as a user sees it.
    if (id != IDCANCEL && id != IDOK) {
        HWND button = Item(id);
        if (button && !IsWindowEnabled(button)) return true;
    }
    switch (id) {
    case IDC_SCAN:
        OnScan();
        return true;
    case IDC_CLOSE_X:
        TerminateRequest(id);
        return true;
    case IDC_OK_BUTTON:
        // OK is enabled but hidden while a scan runs; should a click reach it
        // all the same, the hidden window must not go on scanning alone.
        if (ScanInProgress) ScanCancelled = 1;
        End(1);
        return true;
    case IDC_DOWNLOAD:
    case IDC_DLINK:
    case IDC_ULINK:
        ShellExecuteA(NULL, "open", PageForCommand(id), NULL, NULL, SW_SHOWNORMAL);
        return true;
    default:
        return false;  // IDOK and IDCANCEL go to OnOK and OnCancel
    }
}

void CScanDlg::OnOK() {}

void CScanDlg::OnCancel() { TerminateRequest(IDCANCEL); }

void CScanDlg::OnScan() {
    if (!RequestScan()) return;
    EnableItem(hwnd_, IDC_SCAN, false);
    EnableItem(hwnd_, IDC_ULINK, false);
    ShowItem(hwnd_, IDC_ULINK, false);
    EnableItem(hwnd_, IDC_DLINK, false);
    ShowItem(hwnd_, IDC_DLINK, false);
    EnableItem(hwnd_, IDCANCEL, true);
    ShowItem(hwnd_, IDCANCEL, true);
    EnableItem(hwnd_, IDC_OK_BUTTON, true);

    const int hide[] = {IDC_DESCRIPTION, IDC_PRODUCT_NOTICE, IDC_MAKER_NOTICE};
    for (int id : hide) ShowItem(hwnd_, id, false);
    const int show[] = {IDC_SEARCHING_FOR, IDC_LOG_LIST, IDC_STATUS_LINE, IDC_STATUS_GROUP,
                        IDC_LOG_GROUP};
    for (int id : show) ShowItem(hwnd_, id, true);
    SetItemText(hwnd_, IDC_STATUS_GROUP, "Scanning");

    char heading[kPathSize];
    FormSearchingForText(heading, sizeof heading);
    SetItemText(hwnd_, IDC_SEARCHING_FOR, heading);
    if (!searchingFont_.IsValid())
        searchingFont_.Reset(CreateFontA(kSearchingFontHeight, 0, 0, 0, FW_BOLD, FALSE, FALSE,
                                         FALSE, 0, 0, 0, 0, FF_SWISS, "Arial"));
    SendDlgItemMessageA(hwnd_, IDC_SEARCHING_FOR, WM_SETFONT,
                        reinterpret_cast<WPARAM>(searchingFont_.Get()), TRUE);

    PrepareScan(reinterpret_cast<uintptr_t>(hwnd_), GivenSwitches().noFix);
    SetTimer(hwnd_, kScanStartTimer, kScanStartDelay, NULL);
}

void CScanDlg::TerminateRequest(int sourceId) {
    switch (DecideTerminate()) {
    case TerminateAction::EndDialog:
        End(IDCANCEL);
        return;
    case TerminateAction::Ignore:
        return;
    case TerminateAction::Ask:
        break;
    }
    SetTerminateQuestionOpen(true);
    int answer =
        ShowPrompt("Terminate the Scan now?", TerminateCaption(sourceId), kStyleYesNoQuestion);
    SetTerminateQuestionOpen(false);
    if (answer != kAnswerYes) return;
    ShowItem(hwnd_, IDCANCEL, false);
    ShowItem(hwnd_, IDC_OK_BUTTON, true);
    ScanCancelled = 1;
}

void CScanDlg::OnScanTimer() {
    KillTimer(hwnd_, kScanStartTimer);
    if (!BeginScanRun()) return;
    ScanCancelled = 0;
    ScanRun();
    ConcludeScan();
    ShowItem(hwnd_, IDCANCEL, false);
    ShowItem(hwnd_, IDC_OK_BUTTON, true);
    ShowItem(hwnd_, IDC_SEARCHING_FOR, false);
    SetItemText(hwnd_, IDC_STATUS_GROUP, "");
    FinishScanRun();
}

void CScanDlg::ReceiveLogLine() {
    WriteRunLogLine(LogLine);
    HWND list = Item(IDC_LOG_LIST);
    if (!list) return;
    int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    if (LogListNeedsReset(count, StatisticsShown != 0)) SendMessageA(list, LB_RESETCONTENT, 0, 0);
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(LogLine));
    count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    SendMessageA(list, LB_SETCURSEL, LogSelectionIndex(count), 0);

    int widest = WidestLine(list, count);
    if (widest < 0) return;
    int current = static_cast<int>(SendMessageA(list, LB_GETHORIZONTALEXTENT, 0, 0));
    int extent = 0;
    if (NextHorizontalExtent(current, widest, &extent))
        SendMessageA(list, LB_SETHORIZONTALEXTENT, extent, 0);
}

void CScanDlg::ReceiveStatusText() {
    if (statusLine_) SetWindowTextA(statusLine_, StatusText);
}

void CScanDlg::Paint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd_, &paint);
    if (dc && backgroundContext_.IsValid())
        BitBlt(dc, 0, 0, backgroundWidth_, backgroundHeight_, backgroundContext_.Get(), 0, 0,
               SRCCOPY);
    EndPaint(hwnd_, &paint);
}

bool CScanDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (message) {
    case kNotifyLogLine:
        ReceiveLogLine();
        *result = 0;
        return true;
    case kNotifyStatusText:
        ReceiveStatusText();
        *result = 0;
        return true;
    case WM_TIMER:
        DefWindowProcA(hwnd_, message, wParam, lParam);
        OnScanTimer();
        *result = 0;
        return true;
    case WM_PAINT:
        Paint();
        *result = 0;
        return true;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        // Asked on every repaint of every static: the id travels with the
        // control's own handle, no child-window search needed.
        if (message == WM_CTLCOLORSTATIC &&
            GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == IDC_FAMILY_LINE)
            return false;  // default brush
        *result = reinterpret_cast<LRESULT>(SharedLook.DialogBrush());
        return SharedLook.DialogBrush() != NULL;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSCROLLBAR:
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return false;  // default brush
    case WM_LBUTTONDOWN:
        // A captionless window is dragged by pretending the click hit a caption.
        PostMessageA(hwnd_, WM_NCLBUTTONDOWN, HTCAPTION, lParam);
        return false;
    default:
        return false;
    }
}
