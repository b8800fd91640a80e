// Unattended runs: the switches, the exit status, and the answers given in
// place of a person.
#include <gtest/gtest.h>

#include <string>

#include "engine/ScanRun.h"
#include "memory/MemoryScan.h"
#include "ui/logic/RunResult.h"

TEST(UnattendedRun, SwitchesInAnyCaseWithEitherPrefixAndQuotedPaths) {
    RunSwitches s;
    char refusal[400];
    ASSERT_TRUE(ParseSwitches(" -SILENT\t/NoFix \"/log=C:\\My Logs\\a.log\" -reboot ", &s, refusal, sizeof refusal));
    EXPECT_TRUE(s.given && s.silent && s.noFix && s.reboot && !s.usage);
    EXPECT_STREQ("C:\\My Logs\\a.log", s.logPath);
    ASSERT_TRUE(ParseSwitches("/LOG=\"C:\\x y\\b.log\" /?", &s, refusal, sizeof refusal));
    EXPECT_TRUE(s.usage && !s.silent && std::string(s.logPath) == "C:\\x y\\b.log");
    EXPECT_TRUE(ParseSwitches(("/log=" + std::string(259, 'a')).c_str(), &s, refusal, sizeof refusal));
    EXPECT_FALSE(HasSwitches(" \t "));
}

TEST(UnattendedRun, RefusalsNameTheFirstBadWordAndSilentStillCounts) {
    const std::string path(260, 'a');  // one more than a path buffer holds
    const struct { std::string line, refusal; bool silent; } cases[] = {
        {"/silentx /silent -x", "Unknown switch: /silentx", true},
        {"/log= -silent", "The switch /log= needs the path of the log file", true},
        {"/? /Silent", "The usage (/?) cannot be shown with /silent", true},
        {"silent /log=" + path, "Unknown switch: silent", false},
        {"/log=" + path, "The path of the log file is too long: " + path + "...", false},
    };
    for (const auto& c : cases) {
        RunSwitches s;
        char refusal[400];
        EXPECT_FALSE(ParseSwitches(c.line.c_str(), &s, refusal, sizeof refusal)) << c.line;
        EXPECT_EQ(c.refusal, refusal);
        EXPECT_EQ(c.silent, s.silent) << c.line;
    }
}

TEST(UnattendedRun, ExitStatusFollowsTheOutcome) {
    // The outcome: ran, infected, removed, scheduled, cancelled, ended after the memory pass, restarted.
    const struct { ScanOutcome outcome; int status; } cases[] = {
        {{true, 0, 0, 0, false, false, false}, 0},
        {{true, 2, 2, 0, false, false, false}, 1},
        {{true, 2, 0, 0, false, false, false}, 2},  // every /nofix run that found something
        {{true, 3, 1, 1, false, false, false}, 2},  // one neither removed nor scheduled
        {{true, 0, 0, 0, true, false, false}, 2},   // terminated: not everything was looked at
        {{true, 2, 1, 1, false, false, false}, 3010},
        {{true, 2, 1, 1, false, false, true}, 1641},
        {{false, 0, 0, 0, false, false, false}, 3},
    };
    for (const auto& c : cases) EXPECT_EQ(c.status, ExitStatusOf(c.outcome)) << &c - cases;
}

TEST(UnattendedRun, AnswersKeepTheMachineRunningUnlessRebootIsGiven) {
    RunSwitches s = {true, true, false, false, false, ""};  // /silent
    EXPECT_EQ(kAnswerCancel, UnattendedAnswer(s, kMemoryRestartQuestion, kStyleOkCancelInformation));
    s.reboot = true;
    EXPECT_EQ(kAnswerOk, UnattendedAnswer(s, kMemoryRestartQuestion, kStyleOkCancelInformation));
    EXPECT_EQ(kAnswerNo, UnattendedAnswer(s, "Terminate the Scan now?", kStyleYesNoQuestion));
}
