// The random run, short and with a fixed seed, so that any run of it can be replayed.
#include <gtest/gtest.h>

#include "random_run.h"

namespace {

TEST(RandomRun, FixedSeedSurvivesThousandsOfActionsAndKeepsEveryHciTab) {
    robust::RandomRunOptions options;
    options.seed = 20261206;
    options.actions = 3000;
    options.reopenEvery = 300;
    const robust::RandomRunReport report = robust::RunRandom(options);
    for (const std::string& failure : report.failures)
        ADD_FAILURE() << failure;
    EXPECT_EQ(report.actions, options.actions);
    EXPECT_GE(report.opens, 3u);
    EXPECT_GT(report.dialogsAnswered, 0u);
    EXPECT_GT(report.mostHciTabs, 1u) << "the run must add HCI tabs to check their storage";
}

} // namespace
