// The main window's own texts, byte for byte.
#include <gtest/gtest.h>

#include <cstring>
#include <string_view>

#include "ui/logic/ScanWindowTexts.h"

static_assert(std::string_view(kProductNotice) ==
                  "This program is a part of Kestrova antivirus software.",
              "the product notice, byte for byte");
static_assert(sizeof kMakerNotice > 1, "the maker's notice says something");

TEST(UiScanWindowTexts, TitleTextsByteForByte) {
    char text[260];
    ASSERT_TRUE(FormDescriptionText(text, sizeof text));
    EXPECT_STREQ(
        "Cordafix Ver 1.0 - Tool to detect and remove all the variants of W32/Drovak Trojan",
        text);
    ASSERT_TRUE(FormFamilyLineText(text, sizeof text));
    EXPECT_STREQ("for W32/Drovak Trojan", text);
    ASSERT_TRUE(FormSearchingForText(text, sizeof text));
    EXPECT_STREQ("Searching for W32/Drovak Trojan and its variants", text);
}

TEST(UiScanWindowTexts, TooSmallBufferGivesNoCutText) {
    char text[21];  // "for W32/Drovak Trojan" needs 22 bytes
    memset(text, 'x', sizeof text);
    EXPECT_FALSE(FormFamilyLineText(text, sizeof text));
    EXPECT_STREQ("", text);
    char exact[22];
    EXPECT_TRUE(FormFamilyLineText(exact, sizeof exact));
    EXPECT_FALSE(FormDescriptionText(exact, sizeof exact));
    EXPECT_STREQ("", exact);
}
