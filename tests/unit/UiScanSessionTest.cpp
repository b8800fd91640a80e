// The main window's scan life: one scan per run, one run per SCAN, and the
// terminate request's choices.
#include <gtest/gtest.h>

#include "res/resource.h"
#include "ui/logic/ScanSession.h"

class UiScanSession : public ::testing::Test {
protected:
    void SetUp() override { ResetScanSession(); }
    void TearDown() override { ResetScanSession(); }
};

TEST_F(UiScanSession, TimerBeforeScanStartsNothing) {
    EXPECT_FALSE(BeginScanRun());
    EXPECT_FALSE(ScanInProgress);
    EXPECT_EQ(TerminateAction::EndDialog, DecideTerminate());
}

TEST_F(UiScanSession, OneScanPerProgramRun) {
    ASSERT_TRUE(RequestScan());
    EXPECT_TRUE(ScanInProgress);
    // A click posted to the disabled SCAN button while the first one waits
    // for its timer.
    EXPECT_FALSE(RequestScan());
    ASSERT_TRUE(BeginScanRun());
    EXPECT_FALSE(RequestScan());  // during the run, e.g. from a prompt's loop
    EXPECT_FALSE(BeginScanRun()); // a second tick
    FinishScanRun();
    EXPECT_FALSE(ScanInProgress);
    EXPECT_FALSE(RequestScan());  // after it
    EXPECT_FALSE(BeginScanRun());
}

TEST_F(UiScanSession, TerminateAsksOnlyWhileScanning) {
    EXPECT_EQ(TerminateAction::EndDialog, DecideTerminate());
    RequestScan();
    EXPECT_EQ(TerminateAction::Ask, DecideTerminate());
    BeginScanRun();
    EXPECT_EQ(TerminateAction::Ask, DecideTerminate());
    FinishScanRun();
    EXPECT_EQ(TerminateAction::EndDialog, DecideTerminate());
}

TEST_F(UiScanSession, NoSecondQuestionWhileOneIsOpen) {
    RequestScan();
    SetTerminateQuestionOpen(true);
    EXPECT_EQ(TerminateAction::Ignore, DecideTerminate());
    SetTerminateQuestionOpen(false);
    EXPECT_EQ(TerminateAction::Ask, DecideTerminate());
}

TEST_F(UiScanSession, CaptionDependsOnTheSource) {
    EXPECT_STREQ("DialogBoxTitle", TerminateCaption(IDC_CLOSE_X));
    EXPECT_STREQ("Cordafix Ver 1.0", TerminateCaption(IDC_CANCEL_BUTTON));
    EXPECT_STREQ("Cordafix Ver 1.0", TerminateCaption(IDC_PROMPT_OK));
}
