// The legacy engine's NVM cache against a scripted slot 18.

#include <set>

#include <gtest/gtest.h>

#include "bt/bluetooth_engine.h"
#include "scripted_link.h"

using scripted::Line;

namespace {

class Engine : public scripted::Test {
protected:
    LegacyEngine engine;
    TNVMDataDetails details;
};

std::vector<uint8_t> ReadConfirm(uint8_t status, uint8_t id, uint8_t version,
                                 std::vector<uint8_t> value) {
    std::vector<uint8_t> confirm{status, id, version};
    value.resize(6);
    confirm.insert(confirm.end(), value.begin(), value.end());
    return confirm;
}

TEST_F(Engine, ReadAsksWithTheWireIdAndKeepsTheValue) {
    scripted::Queue(ReadConfirm(1, 0, 1, {0x00, 0x1A, 0x7D, 0xDA, 0x71, 0x13}));
    ASSERT_TRUE(engine.ReadNvm(0, &details, 0));
    ASSERT_EQ(scripted::requests.size(), 1u);
    EXPECT_EQ(scripted::requests[0].opcode, 24);
    EXPECT_EQ(scripted::requests[0].bytes, (std::vector<uint8_t>{0}));
    EXPECT_EQ(details.name, "Bluetooth address");
    EXPECT_EQ(details.valid, 1);
    EXPECT_EQ(details.cached, 1);
    EXPECT_EQ(details.value.id, 0);
    EXPECT_EQ(details.value.version, 1);
    EXPECT_EQ(details.value.data[1], 0x1A);
    EXPECT_EQ(details.value.data[5], 0x13);
    EXPECT_EQ(engine.GetNvmDataVersion(0), 1);
}

TEST_F(Engine, SecondReadIsAnsweredFromTheCacheWithOneOk) {
    scripted::Queue(ReadConfirm(1, 14, 1, {0xF6}));
    ASSERT_TRUE(engine.ReadNvm(14, &details, 0));
    scripted::lines.clear();
    TNVMDataDetails again;
    ASSERT_TRUE(engine.ReadNvm(14, &again, 0));
    EXPECT_EQ(scripted::requests.size(), 1u);
    EXPECT_EQ(scripted::lines, (std::vector<Line>{{"OK", 1}}));
    EXPECT_EQ(again.value.data[0], 0xF6);
}

TEST_F(Engine, ForcedReadAsksAgain) {
    scripted::Queue(ReadConfirm(1, 3, 1, {4}));
    scripted::Queue(ReadConfirm(1, 3, 1, {5}));
    engine.ReadNvm(3, &details, 0);
    ASSERT_TRUE(engine.ReadNvm(3, &details, 1));
    EXPECT_EQ(scripted::requests.size(), 2u);
    EXPECT_EQ(details.value.data[0], 5);
}

TEST_F(Engine, StatusTwoIsAReadOfAValueThatIsNotValid) {
    scripted::Queue(ReadConfirm(2, 5, 1, {9}));
    ASSERT_TRUE(engine.ReadNvm(5, &details, 0));
    EXPECT_EQ(details.valid, 0);
    EXPECT_EQ(details.cached, 1);
    EXPECT_EQ(details.value.data[0], 9);
    EXPECT_EQ(engine.GetNvmDataVersion(5), 1);
}

struct BadRead {
    const char* what;
    std::vector<uint8_t> confirm;
};

TEST_F(Engine, WrongIdOrBadStatusFailsAndZeroesTheVersion) {
    const std::vector<BadRead> cases = {
        {"other id", ReadConfirm(1, 8, 1, {1})},
        {"status 5", ReadConfirm(5, 7, 1, {1})},
        {"status 0", ReadConfirm(0, 7, 1, {1})},
    };
    for (const BadRead& c : cases) {
        SCOPED_TRACE(c.what);
        LegacyEngine fresh;
        // A value written before keeps a version until the failed read clears it.
        scripted::Queue({1});
        ASSERT_TRUE(fresh.WriteNvm({7, 1, {3}}));
        ASSERT_EQ(fresh.GetNvmDataVersion(7), 1);
        scripted::Queue(c.confirm);
        EXPECT_FALSE(fresh.ReadNvm(7, &details, 0));
        EXPECT_EQ(details.valid, 0);
        EXPECT_EQ(details.value.id, 7);
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
    scripted::Queue(ReadConfirm(1, 2, 1, {7}));
    scripted::Queue(ReadConfirm(1, 4, 1, {7}));
    scripted::Queue(ReadConfirm(1, 2, 1, {8}));
    ASSERT_TRUE(engine.ReadNvm(2, &details, 0));
    EXPECT_FALSE(engine.ReadNvm(2, &details, 1));
    EXPECT_EQ(details.cached, 0);
    ASSERT_TRUE(engine.ReadNvm(2, &details, 0));
    EXPECT_EQ(details.value.data[0], 8);
    EXPECT_EQ(scripted::requests.size(), 3u);
}

TEST_F(Engine, WriteSendsTheEightValueBytesAndTheNextReadAsksAgain) {
    scripted::Queue(ReadConfirm(1, 14, 1, {0}));
    ASSERT_TRUE(engine.ReadNvm(14, &details, 0));
    scripted::Queue({1});
    ASSERT_TRUE(engine.WriteNvm({14, 1, {0xFB, 1, 2, 3, 4, 5}}));
    ASSERT_EQ(scripted::requests.size(), 2u);
    EXPECT_EQ(scripted::requests[1].opcode, 23);
    EXPECT_EQ(scripted::requests[1].bytes, (std::vector<uint8_t>{14, 1, 0xFB, 1, 2, 3, 4, 5}));
    scripted::Queue(ReadConfirm(1, 14, 1, {0xFB}));
    ASSERT_TRUE(engine.ReadNvm(14, &details, 0));
    EXPECT_EQ(scripted::requests.size(), 3u);
}

TEST_F(Engine, FailedWriteKeepsTheCachedValue) {
    scripted::Queue(ReadConfirm(1, 15, 1, {4}));
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

TEST_F(Engine, EveryParameterHasItsOwnDisplayName) {
    std::set<std::string> names;
    for (uint8_t id = 0; id < 16; ++id) {
        scripted::QueueHostFailure();
        engine.ReadNvm(id, &details, 0);
        EXPECT_NE(details.name, "Not defined") << int(id);
        EXPECT_FALSE(details.name.empty()) << int(id);
        EXPECT_EQ(details.cached, 0);
        names.insert(details.name);
    }
    EXPECT_EQ(names.size(), 16u);
}

TEST_F(Engine, OperationsAreTrueExactlyForStatusOne) {
    scripted::Queue({1});
    scripted::Queue({2});
    EXPECT_TRUE(engine.SetRfTestMode({}));
    EXPECT_FALSE(engine.SetRfTestMode({}));
}

} // namespace
