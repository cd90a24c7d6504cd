// The leak check of the sanitizer build, with the suppressions the test run uses, on a Qt program: a
// leak made by our code inside a Qt callback is reported, and the program without it leaves no report,
// so that what Qt itself allocates does not stand in the way.
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool LeaksAreChecked = true;
#else
constexpr bool LeaksAreChecked = false;
#endif

struct Outcome {
    int status = -1;
    std::string err;
};

// Runs the program with the options scripts/test.sh gives the sanitizer build.
Outcome RunProgram(const std::string& mode) {
    TempDir dir;
    const std::string err = dir / "stderr.txt";
    const std::string command = "env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 "
                                "LSAN_OPTIONS=suppressions='" LSAN_SUPPRESSIONS
                                "':print_suppressions=0 '" LEAK_IN_QT_CALLBACK "' " +
                                mode + " 2>'" + err + "'";
    const int raw = std::system(command.c_str());
    Outcome run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    std::ifstream in(err);
    std::ostringstream text;
    text << in.rdbuf();
    run.err = text.str();
    return run;
}

} // namespace

TEST(LeakReport, ALeakOfOursInAQtCallbackIsReported) {
    if (!LeaksAreChecked)
        GTEST_SKIP() << "leaks are checked in the sanitizer build";
    const Outcome run = RunProgram("leak");
    EXPECT_NE(run.status, 0);
    EXPECT_THAT(run.err, testing::HasSubstr("LeakSanitizer: detected memory leaks"));
    EXPECT_THAT(run.err, testing::HasSubstr("LoseARecordInAQtCallback"));
    EXPECT_THAT(run.err, testing::HasSubstr("48 byte(s) leaked in 1 allocation(s)"));
}

TEST(LeakReport, TheSameProgramWithoutTheLeakLeavesNoReport) {
    if (!LeaksAreChecked)
        GTEST_SKIP() << "leaks are checked in the sanitizer build";
    const Outcome run = RunProgram("clean");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.err, testing::Not(testing::HasSubstr("LeakSanitizer")));
}
