// A thin dialog layer over the Win32 dialog manager: modal dialogs made from
// templates, with one static dialog procedure dispatching to virtual
// handlers, and controls subclassed by an object that sees their messages.
#pragma once

#include <windows.h>

// A control window taken over by an object. The object does not own the
// window: the dialog destroys it, and the object lets go at WM_NCDESTROY.
class CSubclassedControl {
public:
    CSubclassedControl();
    virtual ~CSubclassedControl();
    CSubclassedControl(const CSubclassedControl&) = delete;
    CSubclassedControl& operator=(const CSubclassedControl&) = delete;

    // Subclasses the control with this id; false when there is none.
    bool Attach(HWND dialog, int id);
    HWND Handle() const { return hwnd_; }

    // The object behind a control window, or null.
    static CSubclassedControl* FromHandle(HWND window);

    // Owner-drawn controls draw here; the dialog forwards WM_DRAWITEM.
    virtual void DrawItem(const DRAWITEMSTRUCT& item);

protected:
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The control's own window procedure.
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd_;

private:
    static LRESULT CALLBACK StaticWindowProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam);
    WNDPROC previous_;
};

class CModalDialog {
public:
    explicit CModalDialog(int templateId);
    virtual ~CModalDialog();
    CModalDialog(const CModalDialog&) = delete;
    CModalDialog& operator=(const CModalDialog&) = delete;

    // Runs the dialog; returns the code given to End, or -1 when it could not
    // be created.
    INT_PTR DoModal(HWND owner);
    HWND Handle() const { return hwnd_; }
    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }

protected:
    // Return true to let the dialog manager set the initial focus.
    virtual bool OnInitDialog() { return true; }
    // Return true when the command was handled. IDOK and IDCANCEL that are not
    // handled here go to OnOK and OnCancel.
    virtual bool OnCommand(int id, int code, HWND control);
    virtual void OnOK() { End(IDOK); }
    virtual void OnCancel() { End(IDCANCEL); }
    // Any other message. Return true when handled, with *result as the
    // message's result (for WM_CTLCOLOR* messages, the brush; the text is
    // drawn transparent whatever the brush).
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

    void End(INT_PTR code);

    HWND hwnd_;

private:
    static INT_PTR CALLBACK StaticDialogProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    int templateId_;
};

// Shows or hides, enables or disables a dialog control.
void ShowItem(HWND dialog, int id, bool show);
void EnableItem(HWND dialog, int id, bool enable);
