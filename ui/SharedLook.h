// What the main window shares with the windows and controls it opens:
// itself (prompts are owned by it and centred on it), whether the screen
// uses large fonts, and the font and brush that several windows paint with.
#pragma once

#include <windows.h>

#include "ui/Dialog.h"
#include "ui/GdiHandles.h"

// The main window from its initialisation until it is destroyed, else null.
extern CModalDialog* MainDialog;
// Set at the main window's initialisation: 120 or more logical pixels per
// inch across.
extern bool LargeFontScreen;

// The shared font and brush, each made once and kept until the program ends.
class CSharedLook {
public:
    // The family line's font: the window's own font (the system font when it
    // has none), 15 units high and bold, without underline or italic.
    void CreateTitleFont(HWND window);
    // White: the main window's background and its statics.
    void CreateDialogBrush();

    HFONT TitleFont() const { return titleFont_.Get(); }
    HBRUSH DialogBrush() const { return dialogBrush_.Get(); }

private:
    GdiFont titleFont_;
    GdiBrush dialogBrush_;
};

extern CSharedLook SharedLook;
