// The legacy engine's NVM cache against a scripted slot 18: the failure paths the phone
// simulator does not produce.

#include <gtest/gtest.h>

#include "bt/bluetooth_engine.h"
#include "scripted_link.h"

namespace {

class Engine : public scripted::Test {
protected:
    LegacyEngine engine;
    TNVMDataDetails details;
};

std::vector<uint8_t> ReadConfirm(uint8_t status, uint8_t id, uint8_t version, uint8_t value) {
    return {status, id, version, value, 0, 0, 0, 0, 0};
}

TEST_F(Engine, StatusTwoIsAReadOfAValueThatIsNotValid) {
    scripted::Queue(ReadConfirm(2, 5, 1, 9));
    ASSERT_TRUE(engine.ReadNvm(5, &details, 0));
    EXPECT_EQ(details.valid, 0);
    EXPECT_EQ(details.cached, 1);
    EXPECT_EQ(details.value.data[0], 9);
    EXPECT_EQ(engine.GetNvmDataVersion(5), 1);
}

TEST_F(Engine, WrongIdOrBadStatusFailsAndZeroesTheVersion) {
    for (const auto& confirm :
         {ReadConfirm(1, 8, 1, 1), ReadConfirm(5, 7, 1, 1), ReadConfirm(0, 7, 1, 1)}) {
        SCOPED_TRACE(::testing::PrintToString(confirm));
        LegacyEngine fresh;
        // A value written before keeps a version until the failed read clears it.
        scripted::Queue({1});
        ASSERT_TRUE(fresh.WriteNvm({7, 1, {3}}));
        ASSERT_EQ(fresh.GetNvmDataVersion(7), 1);
        scripted::Queue(confirm);
        EXPECT_FALSE(fresh.ReadNvm(7, &details, 0));
        EXPECT_EQ(details.valid, 0);
        EXPECT_EQ(details.value.version, 0);
        EXPECT_EQ(fresh.GetNvmDataVersion(7), 0);
    }
}

TEST_F(Engine, FailedHostCallLeavesTheEntryAsItWas) {
    scripted::Queue({1});
    ASSERT_TRUE(engine.WriteNvm({9, 1, {0xEC}}));
    scripted::QueueHostFailure();
    EXPECT_FALSE(engine.ReadNvm(9, &details, 0));
    EXPECT_EQ(details.value.version, 1);
    EXPECT_EQ(details.value.data[0], 0xEC);
    EXPECT_EQ(details.cached, 0);
}

// Regression: a forced read that failed left the entry cached with version 0, so no
// later read ever asked the phone again and the parameter could not be set.
TEST_F(Engine, FailedForcedReadIsNotServedFromTheCacheAfterwards) {
    scripted::Queue(ReadConfirm(1, 2, 1, 7));
    scripted::Queue(ReadConfirm(1, 4, 1, 7));
    scripted::Queue(ReadConfirm(1, 2, 1, 8));
    ASSERT_TRUE(engine.ReadNvm(2, &details, 0));
    EXPECT_FALSE(engine.ReadNvm(2, &details, 1));
    EXPECT_EQ(details.cached, 0);
    ASSERT_TRUE(engine.ReadNvm(2, &details, 0));
    EXPECT_EQ(details.value.data[0], 8);
    EXPECT_EQ(scripted::requests.size(), 3u);
}

TEST_F(Engine, FailedWriteKeepsTheCachedValue) {
    scripted::Queue(ReadConfirm(1, 15, 1, 4));
    ASSERT_TRUE(engine.ReadNvm(15, &details, 0));
    scripted::Queue({5});
    EXPECT_FALSE(engine.WriteNvm({15, 1, {9}}));
    ASSERT_TRUE(engine.ReadNvm(15, &details, 0));
    EXPECT_EQ(details.value.data[0], 4);
    EXPECT_EQ(scripted::requests.size(), 2u);
}

TEST_F(Engine, IdsOutsideTheSixteenParametersAreRefusedWithoutExchange) {
    EXPECT_FALSE(engine.ReadNvm(16, &details, 0));
    EXPECT_FALSE(engine.WriteNvm({16, 1, {}}));
    EXPECT_EQ(engine.GetNvmDataVersion(200), 0);
    EXPECT_TRUE(scripted::requests.empty());
}

} // namespace
