// Rules of the skinned buttons: face names from the button's text, the face
// for a state, and hover tracking.
#pragma once

#include <cstddef>

// Forms text + "_FOCUS", "_NOTFOCUS" and "_DISABLE" into the three buffers,
// each of the given size. False (buffers emptied) for an empty text or when a
// name would not fit.
bool FormFaceNames(const char* text, char* focus, char* notFocus, char* disable, size_t size);

enum class ButtonFace { Focus, NotFocus, Disable };

// Highlighted wins over disabled: a pressed or hovered button keeps its FOCUS face.
ButtonFace ChooseButtonFace(bool highlighted, bool disabled);

// What a mouse move does to a button.
enum class HoverStep {
    Enter,  // take the focus, highlight, capture the mouse, repaint
    Leave,  // release the capture, drop the highlight, repaint
    Stay    // nothing beyond default processing
};

// (x, y) in the button's client coordinates; the hit rectangle is
// (0, 0, width, height) of its face, right and bottom exclusive.
HoverStep HoverOnMouseMove(bool holdsCapture, int x, int y, int hitRight, int hitBottom);
