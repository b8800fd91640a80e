// The main window's outline cut from its background picture, and its
// controls mapped from the template's layout onto the picture's design.
#pragma once

#include <windows.h>

// A region of every pixel of bitmap that is not the key colour, or NULL when
// there is no bitmap or a drawing context or the working copy cannot be made.
// The caller owns the region.
HRGN CreateRegionFromBitmap(HBITMAP bitmap, COLORREF key);

// Moves and sizes every child of window by the ratio of the window's client
// size to the reference size. Works on screen coordinates, so it is true to
// the window only while the window stands at the screen's top-left corner.
BOOL RescaleChildren(HWND window, int referenceWidth, int referenceHeight);
