#include "ui/Dialog.h"

namespace {

const char kControlProperty[] = "CordafixControl";

bool IsColourMessage(UINT message) {
    return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
}

}  // namespace

CSubclassedControl::CSubclassedControl() : hwnd_(NULL), previous_(NULL) {}

CSubclassedControl::~CSubclassedControl() {
    // The dialog normally destroyed the window first; if not, give it back its
    // own procedure so no message reaches a dead object.
    if (hwnd_ && previous_) {
        SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
        RemovePropA(hwnd_, kControlProperty);
    }
}

bool CSubclassedControl::Attach(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    if (!control || hwnd_) return false;
    if (!SetPropA(control, kControlProperty, this)) return false;
    hwnd_ = control;
    previous_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StaticWindowProc)));
    if (!previous_) {
        RemovePropA(control, kControlProperty);
        hwnd_ = NULL;
        return false;
    }
    return true;
}

CSubclassedControl* CSubclassedControl::FromHandle(HWND window) {
    if (!window) return nullptr;
    return static_cast<CSubclassedControl*>(GetPropA(window, kControlProperty));
}

void CSubclassedControl::DrawItem(const DRAWITEMSTRUCT&) {}

LRESULT CSubclassedControl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return Default(message, wParam, lParam);
}

LRESULT CSubclassedControl::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcA(previous_, hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK CSubclassedControl::StaticWindowProc(HWND window, UINT message, WPARAM wParam,
                                                      LPARAM lParam) {
    CSubclassedControl* control = FromHandle(window);
    if (!control) return DefWindowProcA(window, message, wParam, lParam);
    if (message != WM_NCDESTROY) return control->WindowProc(message, wParam, lParam);
    WNDPROC previous = control->previous_;
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    RemovePropA(window, kControlProperty);
    control->hwnd_ = NULL;
    control->previous_ = NULL;
    return CallWindowProcA(previous, window, message, wParam, lParam);
}

CModalDialog::CModalDialog(int templateId) : hwnd_(NULL), templateId_(templateId) {}

CModalDialog::~CModalDialog() {}

INT_PTR CModalDialog::DoModal(HWND owner) {
    return DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(templateId_), owner,
                           &StaticDialogProc, reinterpret_cast<LPARAM>(this));
}

bool CModalDialog::OnCommand(int, int, HWND) { return false; }

bool CModalDialog::OnMessage(UINT, WPARAM, LPARAM, LRESULT*) { return false; }

void CModalDialog::End(INT_PTR code) { EndDialog(hwnd_, code); }

INT_PTR CALLBACK CModalDialog::StaticDialogProc(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        CModalDialog* dialog = reinterpret_cast<CModalDialog*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        dialog->hwnd_ = window;
        return dialog->OnInitDialog() ? TRUE : FALSE;
    }
    CModalDialog* dialog = reinterpret_cast<CModalDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    if (!dialog) return FALSE;  // messages before WM_INITDIALOG
    INT_PTR handled = dialog->Dispatch(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, DWLP_USER, 0);
        dialog->hwnd_ = NULL;
    }
    return handled;
}

INT_PTR CModalDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        int id = LOWORD(wParam);
        if (OnCommand(id, HIWORD(wParam), reinterpret_cast<HWND>(lParam))) return TRUE;
        if (id == IDOK) {
            OnOK();
            return TRUE;
        }
        if (id == IDCANCEL) {
            OnCancel();
            return TRUE;
        }
        return FALSE;
    }
    if (message == WM_DRAWITEM) {
        const DRAWITEMSTRUCT* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        CSubclassedControl* control = CSubclassedControl::FromHandle(item->hwndItem);
        if (!control) return FALSE;
        control->DrawItem(*item);
        return TRUE;
    }
    // Every control of the skinned dialogs shows its text on the brush the
    // dialog gives, or on the default one, without a background of its own.
    if (IsColourMessage(message)) SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
    LRESULT result = 0;
    if (!OnMessage(message, wParam, lParam, &result)) return FALSE;
    if (IsColourMessage(message)) return static_cast<INT_PTR>(result);
    SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, result);
    return TRUE;
}

void ShowItem(HWND dialog, int id, bool show) {
    ShowWindow(GetDlgItem(dialog, id), show ? SW_SHOW : SW_HIDE);
}

void EnableItem(HWND dialog, int id, bool enable) {
    EnableWindow(GetDlgItem(dialog, id), enable ? TRUE : FALSE);
}
