// The prompt dialog's rules: style decoding, answers, growth and placement.
#include <gtest/gtest.h>

#include <cstring>

#include "res/resource.h"
#include "ui/logic/PromptRules.h"

static_assert(IDB_PROMPT_INFORMATION == 152 && IDB_PROMPT_QUESTION == 153 &&
                  IDB_PROMPT_WARNING == 154 && IDB_PROMPT_ERROR == 155,
              "the prompt pictures keep their resource ids");

TEST(UiPromptStyle, CallersStylesGiveTheirButtonsAndPictures) {
    // The terminate and restart questions.
    EXPECT_EQ(PromptButtons::YesNo, DecodePromptButtons(36));
    EXPECT_EQ(IDB_PROMPT_QUESTION, DecodePromptPicture(36));
    // Found in memory.
    EXPECT_EQ(PromptButtons::OkCancel, DecodePromptButtons(65));
    EXPECT_EQ(IDB_PROMPT_INFORMATION, DecodePromptPicture(65));
    // No bits at all.
    EXPECT_EQ(PromptButtons::LoneOk, DecodePromptButtons(0));
    EXPECT_EQ(IDB_PROMPT_WARNING, DecodePromptPicture(0));
}

TEST(UiPromptStyle, FirstMatchingTestDecides) {
    EXPECT_EQ(PromptButtons::OkCancel, DecodePromptButtons(5));
    EXPECT_EQ(PromptButtons::YesNo, DecodePromptButtons(4 | 2));
    EXPECT_EQ(PromptButtons::LoneOk, DecodePromptButtons(2 | 8 | 0x1000));
    EXPECT_EQ(IDB_PROMPT_WARNING, DecodePromptPicture(48));
    EXPECT_EQ(IDB_PROMPT_WARNING, DecodePromptPicture(48 | 64));  // 48 wins over 64
    EXPECT_EQ(IDB_PROMPT_INFORMATION, DecodePromptPicture(64 | 32));
    EXPECT_EQ(IDB_PROMPT_INFORMATION, DecodePromptPicture(64 | 16));
    EXPECT_EQ(IDB_PROMPT_QUESTION, DecodePromptPicture(32));
    EXPECT_EQ(IDB_PROMPT_ERROR, DecodePromptPicture(16));
    EXPECT_EQ(IDB_PROMPT_WARNING, DecodePromptPicture(1 | 4 | 128 | 256));
}

TEST(UiPromptButtons, EachSetShowsExactlyItsButtons) {
    const int ids[] = {1, 2, 3, 6, 7};
    struct Case {
        PromptButtons set;
        bool shown[5];
    } cases[] = {
        {PromptButtons::LoneOk, {false, false, true, false, false}},
        {PromptButtons::OkCancel, {true, true, false, false, false}},
        {PromptButtons::YesNo, {false, false, false, true, true}},
    };
    for (const Case& c : cases)
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(c.shown[i], PromptButtonShown(ids[i], c.set)) << "button " << ids[i];
    EXPECT_FALSE(PromptButtonShown(1085, PromptButtons::YesNo));
}

TEST(UiPromptEndCodes, ButtonsAnswerWithTheirCodes) {
    for (PromptButtons set : {PromptButtons::LoneOk, PromptButtons::OkCancel, PromptButtons::YesNo}) {
        EXPECT_EQ(6, PromptEndCode(6, set));
        EXPECT_EQ(7, PromptEndCode(7, set));
        EXPECT_EQ(1, PromptEndCode(3, set));  // the lone OK answers IDOK
        EXPECT_EQ(1, PromptEndCode(1, set));  // OK of the pair, and Enter
    }
}

TEST(UiPromptEndCodes, CancelAnswersNoOnlyInTheYesNoSet) {
    EXPECT_EQ(7, PromptEndCode(2, PromptButtons::YesNo));
    EXPECT_EQ(2, PromptEndCode(2, PromptButtons::OkCancel));
    EXPECT_EQ(2, PromptEndCode(2, PromptButtons::LoneOk));
}

TEST(UiPromptEndCodes, OtherCommandsDoNotEndTheDialog) {
    EXPECT_EQ(-1, PromptEndCode(0, PromptButtons::YesNo));
    EXPECT_EQ(-1, PromptEndCode(1085, PromptButtons::YesNo));
    EXPECT_EQ(-1, PromptEndCode(1086, PromptButtons::LoneOk));
    EXPECT_EQ(-1, PromptEndCode(4, PromptButtons::OkCancel));
}

TEST(UiPromptGrowth, EveryStarted30CharactersAdd10) {
    struct Case {
        int length, a, b, c;
    } cases[] = {
        {0, 10, 12, 7},   {29, 10, 12, 7},  {30, 20, 25, 14}, {59, 20, 25, 14},
        {60, 30, 37, 21}, {89, 30, 37, 21}, {90, 40, 50, 28}, {119, 40, 50, 28},
        {120, 50, 62, 35}, {299, 100, 125, 69},
    };
    for (const Case& c : cases) {
        PromptGrowth g = ComputePromptGrowth(c.length);
        EXPECT_EQ(c.a, g.a) << c.length;
        EXPECT_EQ(c.b, g.b) << c.length;
        EXPECT_EQ(c.c, g.c) << c.length;
    }
}

TEST(UiPromptGrowth, PictureMovesFrom90Characters) {
    EXPECT_FALSE(PromptPictureMoves(ComputePromptGrowth(0)));
    EXPECT_FALSE(PromptPictureMoves(ComputePromptGrowth(89)));
    EXPECT_TRUE(PromptPictureMoves(ComputePromptGrowth(90)));
    // The restart question (96 characters) moves it.
    const char* restart =
        "The system has to be restarted to remove the virus completely from your system. \n\n "
        "Restart now?";
    EXPECT_TRUE(PromptPictureMoves(ComputePromptGrowth(static_cast<int>(strlen(restart)))));
}

TEST(UiPromptPlacement, TextLiftsAndGrows) {
    PromptRect text = {100, 60, 300, 90};
    PromptGrowth g = ComputePromptGrowth(40);  // b 25, c 14
    PromptPlacement p = PlacePromptText(text, g, false);
    EXPECT_EQ(100, p.x);
    EXPECT_EQ(35, p.y);
    EXPECT_EQ(225, p.width);
    EXPECT_EQ(44, p.height);
    PromptPlacement large = PlacePromptText(text, g, true);
    EXPECT_EQ(69, large.height);
    EXPECT_EQ(p.width, large.width);
    EXPECT_EQ(p.y, large.y);
}

TEST(UiPromptPlacement, ButtonsShareTheRowAndKeepTheirSize) {
    PromptGrowth g = ComputePromptGrowth(90);  // b 50
    PromptRect yes = {40, 70, 115, 93};
    PromptRect no = {170, 70, 245, 93};
    PromptPlacement p = PlacePromptButton(yes, g, 150);
    PromptPlacement q = PlacePromptButton(no, g, 150);
    EXPECT_EQ(65, p.x);
    EXPECT_EQ(195, q.x);
    EXPECT_EQ(85, p.y);
    EXPECT_EQ(p.y, q.y);
    EXPECT_EQ(75, p.width);
    EXPECT_EQ(23, p.height);
    // An odd b is halved with truncation.
    EXPECT_EQ(40 + 6, PlacePromptButton(yes, ComputePromptGrowth(0), 150).x);
}

TEST(UiPromptPlacement, PictureGoes30PixelsAboveTheText) {
    PromptRect picture = {25, 30, 67, 70};
    PromptRect text = {80, 35, 300, 80};
    PromptPlacement p = PlacePromptPicture(picture, text);
    EXPECT_EQ(25, p.x);
    EXPECT_EQ(5, p.y);
    EXPECT_EQ(42, p.width);
    EXPECT_EQ(40, p.height);
}

TEST(UiPromptCaption, EmptyCaptionShowsTheProgramCaption) {
    EXPECT_STREQ("Cordafix Ver 1.0", PromptCaptionOrDefault(""));
    EXPECT_STREQ("Cordafix Ver 1.0", PromptCaptionOrDefault(nullptr));
    EXPECT_STREQ("DialogBoxTitle", PromptCaptionOrDefault("DialogBoxTitle"));
}
