// The program's own prompt: a skinned message box (dialog template 142) whose
// buttons, picture and size follow a message-box-like style value.
#pragma once

#include <windows.h>

#include "ui/Dialog.h"
#include "ui/ExButton.h"
#include "ui/GdiHandles.h"
#include "ui/logic/PromptRules.h"

class CPromptDlg : public CModalDialog {
public:
    CPromptDlg(const char* text, const char* caption, int style);

protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnOK() override;
    void OnCancel() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    void Layout();
    void CentreOverMainWindow();
    void PaintPicture();

    const char* text_;
    const char* caption_;
    int pictureId_;
    PromptButtons buttons_;  // exactly one set is shown
    GdiBrush bodyBrush_;  // made at the first colour message, freed with the dialog
    PromptRect textBefore_;  // the text's window rectangle before the layout moved it

    NCExButton yes_;
    NCExButton ok_;
    NCExButton no_;
    NCExButton loneOk_;
    NCExButton cancel_;
};

// Shows the prompt; returns 6 YES, 7 NO, 1 OK, 2 Cancel (7 for Cancel when
// YES and NO are shown), or -1 when the dialog could not be made.
int RunPromptDialog(const char* text, const char* caption, int style);
