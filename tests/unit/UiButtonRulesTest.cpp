// Skinned buttons: face names from the text, the face per state, hover steps.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ui/logic/ButtonRules.h"

namespace {

// What FormFaceNames makes of text with three buffers of size bytes that
// held "old": "yes" or "no", then the three names.
std::string Faces(const char* text, size_t size = 64) {
    std::vector<char> focus(size), notFocus(size), disable(size);
    for (std::vector<char>* buffer : {&focus, &notFocus, &disable}) snprintf(buffer->data(), size, "old");
    bool formed = FormFaceNames(text, focus.data(), notFocus.data(), disable.data(), size);
    return std::string(formed ? "yes " : "no ") + focus.data() + " " + notFocus.data() + " " + disable.data();
}

}  // namespace

TEST(UiFaceNames, TextNamesTheThreeFacesOrNoneAtAll) {
    EXPECT_EQ("yes SCAN_FOCUS SCAN_NOTFOCUS SCAN_DISABLE", Faces("SCAN"));
    // The case stays as written; resource lookup ignores it.
    EXPECT_EQ("yes Cancel_FOCUS Cancel_NOTFOCUS Cancel_DISABLE", Faces("Cancel"));
    EXPECT_EQ("no   ", Faces(""));
    EXPECT_EQ("no   ", Faces(nullptr));
    // "ABCDEFG_NOTFOCUS" needs 17 bytes; with 16 the FOCUS name (14) would fit
    // but a cut NOTFOCUS name would load some other face.
    EXPECT_EQ("no   ", Faces("ABCDEFG", 16));
    EXPECT_EQ("yes ABCDEFG_FOCUS ABCDEFG_NOTFOCUS ABCDEFG_DISABLE", Faces("ABCDEFG", 17));
}

TEST(UiButtonFace, HighlightWinsThenDisabled) {
    EXPECT_EQ(ButtonFace::Focus, ChooseButtonFace(true, false));
    EXPECT_EQ(ButtonFace::Focus, ChooseButtonFace(true, true));
    EXPECT_EQ(ButtonFace::Disable, ChooseButtonFace(false, true));
    EXPECT_EQ(ButtonFace::NotFocus, ChooseButtonFace(false, false));
}

TEST(UiHover, FirstMoveWithoutCaptureEnters) {
    EXPECT_EQ(HoverStep::Enter, HoverOnMouseMove(false, 5, 5, 180, 33));
    // Even a point the button would not count as inside: the system only
    // sends it moves over the button while it lacks the capture.
    EXPECT_EQ(HoverStep::Enter, HoverOnMouseMove(false, 500, 5, 180, 33));
}

TEST(UiHover, WithCaptureLeavesOnlyOutsideTheFace) {
    EXPECT_EQ(HoverStep::Stay, HoverOnMouseMove(true, 0, 0, 180, 33));
    EXPECT_EQ(HoverStep::Stay, HoverOnMouseMove(true, 179, 32, 180, 33));
    EXPECT_EQ(HoverStep::Leave, HoverOnMouseMove(true, 180, 10, 180, 33));
    EXPECT_EQ(HoverStep::Leave, HoverOnMouseMove(true, 10, 33, 180, 33));
    EXPECT_EQ(HoverStep::Leave, HoverOnMouseMove(true, -1, 10, 180, 33));
    EXPECT_EQ(HoverStep::Leave, HoverOnMouseMove(true, 10, -3, 180, 33));
}

TEST(UiHover, ButtonWithoutFacesLeavesAtOnce) {
    // No faces loaded: the hit rectangle is empty, so the capture is let go
    // on the next move and the pointer is never trapped.
    EXPECT_EQ(HoverStep::Leave, HoverOnMouseMove(true, 0, 0, 0, 0));
}
