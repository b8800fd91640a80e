// The family line: its text in the bold title font, white on the blue of the
// background picture's title band.
#pragma once

#include <windows.h>

#include "common/Shared.h"
#include "ui/Dialog.h"

class CColorStatic : public CSubclassedControl {
public:
    CColorStatic();

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Paint();

    COLORREF textColour_;
    char text_[kPathSize];  // taken from the window text at each paint
};
