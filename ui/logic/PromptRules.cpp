#include "ui/logic/PromptRules.h"

#include "common/Shared.h"
#include "res/resource.h"

namespace {

// Every started kCharactersPerStep characters of text add kGrowthStep to a.
const int kCharactersPerStep = 30;
const int kGrowthStep = 10;
// Pixels: the text's lift (and its extra height on a large-font screen), the
// button row's distance from the dialog's bottom, and the picture's lift
// above the text once a passes kPictureMoveGrowth.
const int kTextLift = 25;
const int kButtonRowFromBottom = 65;
const int kPictureLift = 30;
const int kPictureMoveGrowth = 30;

}  // namespace

PromptButtons DecodePromptButtons(int style) {
    if (style & kStyleOkCancel) return PromptButtons::OkCancel;
    if (style & kStyleYesNo) return PromptButtons::YesNo;
    return PromptButtons::LoneOk;
}

int DecodePromptPicture(int style) {
    if ((style & kStylePictureWarning) == kStylePictureWarning) return IDB_PROMPT_WARNING;
    if (style & kStylePictureInformation) return IDB_PROMPT_INFORMATION;
    if (style & kStylePictureQuestion) return IDB_PROMPT_QUESTION;
    if (style & kStylePictureError) return IDB_PROMPT_ERROR;
    return IDB_PROMPT_WARNING;
}

bool PromptButtonShown(int buttonId, PromptButtons buttons) {
    switch (buttons) {
    case PromptButtons::OkCancel:
        return buttonId == IDC_PROMPT_OK || buttonId == IDC_PROMPT_CANCEL;
    case PromptButtons::YesNo:
        return buttonId == IDC_PROMPT_YES || buttonId == IDC_PROMPT_NO;
    case PromptButtons::LoneOk:
        return buttonId == IDC_PROMPT_LONE_OK;
    }
    return false;
}

int PromptEndCode(int commandId, PromptButtons buttons) {
    switch (commandId) {
    case IDC_PROMPT_YES:
        return kAnswerYes;
    case IDC_PROMPT_NO:
        return kAnswerNo;
    case IDC_PROMPT_LONE_OK:
    case IDC_PROMPT_OK:
        return kAnswerOk;
    case IDC_PROMPT_CANCEL:
        return buttons == PromptButtons::YesNo ? kAnswerNo : kAnswerCancel;
    default:
        return -1;
    }
}

PromptGrowth ComputePromptGrowth(int textLength) {
    PromptGrowth growth;
    if (textLength < 0) textLength = 0;
    growth.a = kGrowthStep * (textLength / kCharactersPerStep + 1);
    growth.b = growth.a * 5 / 4;  // a * 1.25, truncated
    growth.c = growth.a - growth.b / 4;
    return growth;
}

PromptPlacement PlacePromptText(const PromptRect& text, const PromptGrowth& growth,
                                bool largeFontScreen) {
    PromptPlacement placement;
    placement.x = text.left;
    placement.y = text.top - kTextLift;
    placement.width = text.right - text.left + growth.b;
    placement.height = text.bottom - text.top + growth.c + (largeFontScreen ? kTextLift : 0);
    return placement;
}

PromptPlacement PlacePromptButton(const PromptRect& button, const PromptGrowth& growth,
                                  int dialogOuterHeight) {
    PromptPlacement placement;
    placement.x = button.left + growth.b / 2;
    placement.y = dialogOuterHeight - kButtonRowFromBottom;
    placement.width = button.right - button.left;
    placement.height = button.bottom - button.top;
    return placement;
}

bool PromptPictureMoves(const PromptGrowth& growth) { return growth.a > kPictureMoveGrowth; }

PromptPlacement PlacePromptPicture(const PromptRect& picture, const PromptRect& text) {
    PromptPlacement placement;
    placement.x = picture.left;
    placement.y = text.top - kPictureLift;
    placement.width = picture.right - picture.left;
    placement.height = picture.bottom - picture.top;
    return placement;
}

const char* PromptCaptionOrDefault(const char* caption) {
    return (caption == nullptr || caption[0] == '\0') ? kProgramCaption : caption;
}
