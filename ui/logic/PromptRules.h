// Rules of the prompt dialog: which buttons and picture a style value asks
// for, how the dialog grows with its text, and what each button answers.
#pragma once

enum class PromptButtons { LoneOk, OkCancel, YesNo };

// The first matching test decides: OK/Cancel, else YES/NO, else the lone OK.
PromptButtons DecodePromptButtons(int style);
// The picture resource (IDB_PROMPT_...): warning when both the error and the
// question bits are set, else information, question, error, else warning.
int DecodePromptPicture(int style);

// Whether button id belongs to the set (the other buttons are hidden).
bool PromptButtonShown(int buttonId, PromptButtons buttons);

// The dialog's answer for a command, or -1 when the command does not end it.
int PromptEndCode(int commandId, PromptButtons buttons);

// Growth with the text: a = 10 * (n / 30 + 1), b = a * 1.25, c = a - b / 4,
// all truncated. b widens the dialog, c makes it taller.
struct PromptGrowth {
    int a;
    int b;
    int c;
};
PromptGrowth ComputePromptGrowth(int textLength);

// A rectangle as GetWindowRect gives it.
struct PromptRect {
    int left;
    int top;
    int right;
    int bottom;
};

// A control's new position and size in the dialog's client area.
struct PromptPlacement {
    int x;
    int y;
    int width;
    int height;
};

// The dialog is first moved to the screen's corner, so window rectangles read
// afterwards count from its outer corner; they are given back directly as
// client positions, and the 25 pixels of the text's lift make up for the
// caption bar that this shifts everything down by.
PromptPlacement PlacePromptText(const PromptRect& text, const PromptGrowth& growth,
                                bool largeFontScreen);
// Buttons keep their size and all share the row 65 pixels above the dialog's bottom.
PromptPlacement PlacePromptButton(const PromptRect& button, const PromptGrowth& growth,
                                  int dialogOuterHeight);
// Texts of 90 characters or more lift the picture to 30 pixels above the text.
bool PromptPictureMoves(const PromptGrowth& growth);
PromptPlacement PlacePromptPicture(const PromptRect& picture, const PromptRect& text);

// The caption shown: the given one, or the program's caption when it is empty.
const char* PromptCaptionOrDefault(const char* caption);
