// Skinned buttons: face names from the text, the face per state, hover steps.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ui/logic/ButtonRules.h"

TEST(UiFaceNames, TextNamesTheThreeFaces) {
    char focus[64], notFocus[64], disable[64];
    ASSERT_TRUE(FormFaceNames("SCAN", focus, notFocus, disable, sizeof focus));
    EXPECT_STREQ("SCAN_FOCUS", focus);
    EXPECT_STREQ("SCAN_NOTFOCUS", notFocus);
    EXPECT_STREQ("SCAN_DISABLE", disable);
    // The case stays as written; resource lookup ignores it.
    ASSERT_TRUE(FormFaceNames("Cancel", focus, notFocus, disable, sizeof focus));
    EXPECT_STREQ("Cancel_FOCUS", focus);
    EXPECT_STREQ("Cancel_NOTFOCUS", notFocus);
}

TEST(UiFaceNames, EmptyOrMissingTextFormsNoNames) {
    char focus[64] = "old", notFocus[64] = "old", disable[64] = "old";
    EXPECT_FALSE(FormFaceNames("", focus, notFocus, disable, sizeof focus));
    EXPECT_STREQ("", focus);
    EXPECT_STREQ("", disable);
    EXPECT_FALSE(FormFaceNames(nullptr, focus, notFocus, disable, sizeof focus));
}

TEST(UiFaceNames, NameThatDoesNotFitIsNotCutShort) {
    // "ABCDEFG_NOTFOCUS" needs 17 bytes; with 16 the FOCUS name (14) would fit
    // but a cut NOTFOCUS name would load some other face.
    char focus[16], notFocus[16], disable[16];
    EXPECT_FALSE(FormFaceNames("ABCDEFG", focus, notFocus, disable, sizeof focus));
    EXPECT_STREQ("", focus);
    EXPECT_STREQ("", notFocus);
    EXPECT_STREQ("", disable);
    char exact[17], exact2[17], exact3[17];
    EXPECT_TRUE(FormFaceNames("ABCDEFG", exact, exact2, exact3, sizeof exact));
    EXPECT_STREQ("ABCDEFG_NOTFOCUS", exact2);
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
