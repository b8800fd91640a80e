#include "ui/logic/PromptRules.h"

#include "common/Shared.h"

PromptButtons DecodePromptButtons(int style) {
    if (style & 1) return PromptButtons::OkCancel;
    if (style & 4) return PromptButtons::YesNo;
    return PromptButtons::LoneOk;
}

int DecodePromptPicture(int style) {
    if ((style & 48) == 48) return kPictureWarning;
    if (style & 64) return kPictureInformation;
    if (style & 32) return kPictureQuestion;
    if (style & 16) return kPictureError;
    return kPictureWarning;
}

bool PromptButtonShown(int buttonId, PromptButtons buttons) {
    switch (buttons) {
    case PromptButtons::OkCancel:
        return buttonId == kPromptOkId || buttonId == kPromptCancelId;
    case PromptButtons::YesNo:
        return buttonId == kPromptYesId || buttonId == kPromptNoId;
    case PromptButtons::LoneOk:
        return buttonId == kPromptLoneOkId;
    }
    return false;
}

int PromptEndCode(int commandId, PromptButtons buttons) {
    switch (commandId) {
    case kPromptYesId:
        return 6;
    case kPromptNoId:
        return 7;
    case kPromptLoneOkId:
    case kPromptOkId:
        return 1;
    case kPromptCancelId:
        return buttons == PromptButtons::YesNo ? 7 : 2;
    default:
        return -1;
    }
}

PromptGrowth ComputePromptGrowth(int textLength) {
    PromptGrowth growth;
    if (textLength < 0) textLength = 0;
    growth.a = 10 * (textLength / 30 + 1);
    growth.b = growth.a * 5 / 4;  // a * 1.25, truncated
    growth.c = growth.a - growth.b / 4;
    return growth;
}

PromptPlacement PlacePromptText(const PromptRect& text, const PromptGrowth& growth,
                                bool largeFontScreen) {
    PromptPlacement placement;
    placement.x = text.left;
    placement.y = text.top - 25;
    placement.width = text.right - text.left + growth.b;
    placement.height = text.bottom - text.top + growth.c + (largeFontScreen ? 25 : 0);
    return placement;
}

PromptPlacement PlacePromptButton(const PromptRect& button, const PromptGrowth& growth,
                                  int dialogOuterHeight) {
    PromptPlacement placement;
    placement.x = button.left + growth.b / 2;
    placement.y = dialogOuterHeight - 65;
    placement.width = button.right - button.left;
    placement.height = button.bottom - button.top;
    return placement;
}

bool PromptPictureMoves(const PromptGrowth& growth) { return growth.a > 30; }

PromptPlacement PlacePromptPicture(const PromptRect& picture, const PromptRect& text) {
    PromptPlacement placement;
    placement.x = picture.left;
    placement.y = text.top - 30;
    placement.width = picture.right - picture.left;
    placement.height = picture.bottom - picture.top;
    return placement;
}

const char* PromptCaptionOrDefault(const char* caption) {
    return (caption == nullptr || caption[0] == '\0') ? kProgramCaption : caption;
}
