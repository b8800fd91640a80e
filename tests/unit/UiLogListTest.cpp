// The main window's log list: reset at 150 lines during the walk, selection
// of the last line, and the horizontal scroll range.
#include <gtest/gtest.h>

#include <vector>

#include "ui/logic/LogListRules.h"

namespace {

// Plays the receiver's list steps over a plain vector, as the window does
// with its list box, and records what it selects.
struct ListModel {
    int lines = 0;
    int selected = -1;
    bool statisticsShown = false;

    void Receive() {
        if (LogListNeedsReset(lines, statisticsShown)) lines = 0;
        ++lines;
        int index = LogSelectionIndex(lines);
        selected = index < lines ? index : -1;  // past the end selects nothing
    }
};

}  // namespace

TEST(UiLogList, WalkNeverHoldsMoreThan150Lines) {
    ListModel list;
    int most = 0;
    for (int i = 0; i < 1000; ++i) {
        list.Receive();
        if (list.lines > most) most = list.lines;
    }
    EXPECT_EQ(150, most);
    // 1000 = 6 * 150 + 100: the 901st line started the seventh list.
    EXPECT_EQ(100, list.lines);
}

TEST(UiLogList, The151stLineBecomesTheOnlyLine) {
    ListModel list;
    for (int i = 0; i < 150; ++i) list.Receive();
    EXPECT_EQ(150, list.lines);
    EXPECT_EQ(149, list.selected);
    list.Receive();
    EXPECT_EQ(1, list.lines);
    EXPECT_EQ(-1, list.selected);
}

TEST(UiLogList, StatisticsAreNeverCut) {
    ListModel list;
    for (int i = 0; i < 148; ++i) list.Receive();
    list.statisticsShown = true;
    for (int i = 0; i < 7; ++i) list.Receive();
    EXPECT_EQ(155, list.lines);
    EXPECT_EQ(154, list.selected);
    EXPECT_FALSE(LogListNeedsReset(10000, true));
}

TEST(UiLogList, ResetBoundaryIsExactly150) {
    EXPECT_FALSE(LogListNeedsReset(0, false));
    EXPECT_FALSE(LogListNeedsReset(149, false));
    EXPECT_TRUE(LogListNeedsReset(150, false));
    EXPECT_TRUE(LogListNeedsReset(151, false));
}

TEST(UiLogList, OneOrTwoLinesSelectNothingThreeSelectTheLast) {
    EXPECT_EQ(1, LogSelectionIndex(1));  // index 1 of a one-line list: no line
    EXPECT_EQ(2, LogSelectionIndex(2));
    EXPECT_EQ(2, LogSelectionIndex(3));
    EXPECT_EQ(149, LogSelectionIndex(150));
    ListModel list;
    list.Receive();
    EXPECT_EQ(-1, list.selected);
    list.Receive();
    EXPECT_EQ(-1, list.selected);
    list.Receive();
    EXPECT_EQ(2, list.selected);
}

TEST(UiLogExtent, LinesUpTo560PixelsLeaveItAlone) {
    int extent = -7;
    EXPECT_FALSE(NextHorizontalExtent(0, 0, &extent));
    EXPECT_FALSE(NextHorizontalExtent(0, 300, &extent));
    EXPECT_FALSE(NextHorizontalExtent(0, 560, &extent));
    EXPECT_EQ(-7, extent);
}

TEST(UiLogExtent, WiderLineSetsThreeQuarters) {
    int extent = 0;
    ASSERT_TRUE(NextHorizontalExtent(0, 561, &extent));
    EXPECT_EQ(420, extent);  // 561 * 3 / 4 = 420.75, truncated
    ASSERT_TRUE(NextHorizontalExtent(0, 1000, &extent));
    EXPECT_EQ(750, extent);
    // 1001 wants 750 (750.75 truncated): the extent already is that.
    EXPECT_FALSE(NextHorizontalExtent(750, 1001, &extent));
    ASSERT_TRUE(NextHorizontalExtent(750, 1002, &extent));
    EXPECT_EQ(751, extent);
}

TEST(UiLogExtent, SameWidestLineAgainChangesNothingAfterTheFirstTime) {
    int current = 0;
    int extent = 0;
    ASSERT_TRUE(NextHorizontalExtent(current, 800, &extent));
    current = extent;
    EXPECT_EQ(600, current);
    EXPECT_FALSE(NextHorizontalExtent(current, 800, &extent));
}

TEST(UiLogExtent, NeverShrinksAfterTheListStartedAfresh) {
    // 1200 px gave 900; after a reset the widest line is 1000 px (750 wanted).
    int extent = 900;
    EXPECT_FALSE(NextHorizontalExtent(900, 1000, &extent));
    EXPECT_EQ(900, extent);
    // A current extent at or above the widest line is left as it is.
    EXPECT_FALSE(NextHorizontalExtent(2000, 1500, &extent));
}

TEST(UiLogExtent, HugeMeasurementDoesNotWrap) {
    int extent = 0;
    ASSERT_TRUE(NextHorizontalExtent(0, 2000000000, &extent));
    EXPECT_EQ(1500000000, extent);
}
