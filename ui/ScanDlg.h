// The main scan window: dialog template 141, skinned and shaped, with the
// status line and the log list that the scan reports into.
#pragma once

#include <windows.h>

#include "ui/ColorStatic.h"
#include "ui/Dialog.h"
#include "ui/ExButton.h"
#include "ui/GdiHandles.h"

// What it shares with the windows it opens is in ui/SharedLook.h.
class CScanDlg : public CModalDialog {
public:
    CScanDlg();
    ~CScanDlg() override;

protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnOK() override;      // the Enter key: ignored
    void OnCancel() override;  // CANCEL, Escape, Close: terminate request
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    void BindControls();
    void ShowIdleLayout();
    void SetTitleTexts();
    void ApplyProductLayout();
    void ShapeFromBackground();
    void SkinButtons();

    void OnScan();
    void TerminateRequest(int sourceId);
    void OnScanTimer();
    void ReceiveLogLine();
    void ReceiveStatusText();
    void Paint();

    HICON icon_;
    // The background picture stays selected into its own context for painting.
    GdiBitmap background_;
    int backgroundWidth_;
    int backgroundHeight_;
    MemoryDc backgroundContext_;
    SelectedObject backgroundSelection_;
    GdiFont searchingFont_;
    HWND statusLine_;  // the status line, taken once at initialisation

    CExButton ok_;
    CExButton cancel_;
    CExButton scan_;
    CExButton download_;
    CExButton closeX_;
    CExButton downloadLink_;
    CExButton utilityLink_;
    CExButton logo_;
    CColorStatic familyLine_;

    // Each skinned button with the control it takes over.
    struct SkinnedButton {
        CExButton CScanDlg::*button;
        int id;
    };
    static const SkinnedButton kSkinnedButtons[];
};
