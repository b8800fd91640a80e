#include "ui/logic/ButtonRules.h"

#include <cstdio>

namespace {

bool FormOne(char* buffer, size_t size, const char* text, const char* suffix) {
    int written = snprintf(buffer, size, "%s%s", text, suffix);
    return written > 0 && static_cast<size_t>(written) < size;
}

}  // namespace

bool FormFaceNames(const char* text, char* focus, char* notFocus, char* disable, size_t size) {
    if (size == 0) return false;
    bool formed = text != nullptr && text[0] != '\0' && FormOne(focus, size, text, "_FOCUS") &&
                  FormOne(notFocus, size, text, "_NOTFOCUS") &&
                  FormOne(disable, size, text, "_DISABLE");
    if (!formed) focus[0] = notFocus[0] = disable[0] = '\0';
    return formed;
}

ButtonFace ChooseButtonFace(bool highlighted, bool disabled) {
    if (highlighted) return ButtonFace::Focus;
    if (disabled) return ButtonFace::Disable;
    return ButtonFace::NotFocus;
}

HoverStep HoverOnMouseMove(bool holdsCapture, int x, int y, int hitRight, int hitBottom) {
    if (!holdsCapture) return HoverStep::Enter;
    bool inside = x >= 0 && y >= 0 && x < hitRight && y < hitBottom;
    return inside ? HoverStep::Stay : HoverStep::Leave;
}
