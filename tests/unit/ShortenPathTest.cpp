#include "engine/ShortenPath.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string Shorten(const std::string& source, int width, size_t size = 260) {
    char buffer[260];
    memset(buffer, 'x', sizeof buffer);
    EXPECT_TRUE(ShortenPath(source.c_str(), buffer, size, width));
    return buffer;
}

std::string Digits(size_t length) {
    std::string text;
    for (size_t i = 0; i < length; ++i) text += static_cast<char>('a' + i % 26);
    return text;
}

TEST(ShortenPathTest, StatusWidthKeepsBothEndsOfALongPath) {
    std::string path = "C:\\" + Digits(58);  // 61 characters
    std::string shown = Shorten(path, 60);
    EXPECT_EQ(60u, shown.size());
    EXPECT_EQ(path.substr(0, 29) + ".." + path.substr(32), shown);

    std::string veryLong = "D:\\" + Digits(250);
    shown = Shorten(veryLong, 60);
    EXPECT_EQ(veryLong.substr(0, 29) + ".." + veryLong.substr(veryLong.size() - 29), shown);
}

TEST(ShortenPathTest, APathThatFitsIsShownWhole) {
    std::string path = "C:\\" + Digits(57);  // 60 characters
    EXPECT_EQ(path, Shorten(path, 60));
    EXPECT_EQ("", Shorten("", 60));
}

TEST(ShortenPathTest, OddWidthsFillTheMiddleWithMoreDots) {
    // k = 7 / 2 - 1 = 2 characters each side, 3 dots between.
    EXPECT_EQ("ab...yz", Shorten("abcdefghijklmnopqrstuvwxyz", 7));
    EXPECT_EQ("ab..yz", Shorten("abcdefghijklmnopqrstuvwxyz", 6));
}

TEST(ShortenPathTest, WidthsTooSmallToShortenCopyTheSource) {
    EXPECT_EQ("abcdef", Shorten("abcdef", 3));
    EXPECT_EQ("abcdef", Shorten("abcdef", 0));
}

TEST(ShortenPathTest, TheCopyNeverOverrunsTheBuffer) {
    char buffer[8];
    EXPECT_TRUE(ShortenPath("abcdefghijkl", buffer, sizeof buffer, 3));
    EXPECT_STREQ("abcdefg", buffer);
}

TEST(ShortenPathTest, RefusesWidthsItCannotHonour) {
    char buffer[260] = "old";
    EXPECT_FALSE(ShortenPath("abc", buffer, sizeof buffer, 101));
    EXPECT_STREQ("", buffer);
    strcpy(buffer, "old");
    EXPECT_FALSE(ShortenPath("abc", buffer, sizeof buffer, -1));
    EXPECT_STREQ("", buffer);
    char small[60];
    EXPECT_FALSE(ShortenPath("abc", small, sizeof small, 60));  // no room for the zero
    EXPECT_TRUE(ShortenPath(Digits(80).c_str(), small, sizeof small, 59));
    EXPECT_EQ(59u, strlen(small));
}

}  // namespace
