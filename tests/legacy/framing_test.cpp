// The binary framing against a scripted slot 18: status judgement, log lines, the size
// warning and the library-wide version table. (The fixed sizes per function are held to
// the simulator's: it refuses a request of another size, and the end-to-end run allows no
// size warning.)

#include <gtest/gtest.h>

#include "bt/bluetooth_transport.h"
#include "scripted_link.h"

using scripted::Line;

namespace {

class Framing : public scripted::Test {
protected:
    bool Reset() {
        return transport.Call<atctst_bt_reset>(nullptr, nullptr) ==
               legacy_framing::Outcome::Success;
    }
    bool Lumora(LegacyConfirm<atctst_bt_get_lumora_version>* c) {
        return transport.Call<atctst_bt_get_lumora_version>(nullptr, c) ==
               legacy_framing::Outcome::Success;
    }
    LegacyTransport transport;
};

const char* const kLumoraWarning = "WARNING ---> 'atctst_bt_get_lumora_version' - Datasize from "
                                   "target does not match expected data size\nExpected data size "
                                   ":12   Actual data size :";

struct StatusCase {
    const char* what;
    scripted::Answer answer;
    const char* lastError;
    bool ok;
    std::vector<Line> lines;
};

TEST_F(Framing, JudgesTheStatusAndLogsWhatThePhoneOrTheHostSaid) {
    const std::vector<StatusCase> cases = {
        {"status 5", {true, {5}, -1}, "No errors", false, {{"CUSTOM ERROR 5", 1}}},
        {"host error text", {false, {}, -1}, "COM port closed", false, {{"COM port closed", 1}}},
        {"host without error text", {false, {}, -1}, "No errors", false, {{"Error!", 0}}},
        // Regression: an empty confirm was judged by the status byte left from the exchange
        // before it, then by the cleared buffer's 0, which logged "OK".
        {"empty confirm after a good one",
         {true, {}, -1},
         "No errors",
         false,
         {{"FAIL", 1},
          {"WARNING ---> 'atctst_bt_reset' - Datasize from target does not match expected data "
           "size\nExpected data size :1   Actual data size :0",
           1}}},
        {"failure with a wrong size",
         {true, {2, 0, 0}, -1},
         "No errors",
         false,
         {{"CUSTOM ERROR 2", 1},
          {"WARNING ---> 'atctst_bt_reset' - Datasize from target does not match expected data "
           "size\nExpected data size :1   Actual data size :3",
           1}}},
    };
    for (const StatusCase& c : cases) {
        SCOPED_TRACE(c.what);
        scripted::Queue({1});
        ASSERT_TRUE(Reset());
        scripted::lines.clear();
        scripted::lastError = c.lastError;
        scripted::answers.push_back(c.answer);
        EXPECT_EQ(Reset(), c.ok);
        if (!c.lines.empty()) {
            EXPECT_EQ(scripted::lines, c.lines);
        }
    }
}

TEST_F(Framing, EmptyHostSlotCountsAsAFailedHostCall) {
    scripted::table[host::kBluetoothGeneric] = nullptr;
    SetFuncInterface(scripted::table, sizeof scripted::table);
    scripted::lastError = "no link";
    EXPECT_FALSE(Reset());
    EXPECT_EQ(scripted::lines, (std::vector<Line>{{"no link", 1}}));
}

TEST_F(Framing, ShortConfirmWarnsWithBothSizesAndStillSucceeds) {
    scripted::Queue({1, 1, 4, 6});
    LegacyConfirm<atctst_bt_get_lumora_version> confirm{};
    EXPECT_TRUE(Lumora(&confirm));
    EXPECT_EQ(scripted::lines,
              (std::vector<Line>{{"OK", 1}, {std::string(kLumoraWarning) + "4", 1}}));
}

// Regression: a confirm length reported above the 15000-byte buffer was read past its end.
TEST_F(Framing, ReportedLengthAboveTheBufferIsNamedButNeverRead) {
    std::vector<uint8_t> confirm(12, 0x11);
    confirm[0] = 1;
    scripted::Queue(confirm, 40000);
    LegacyConfirm<atctst_bt_get_lumora_version> out{};
    EXPECT_TRUE(Lumora(&out));
    EXPECT_EQ(out[11], 0x11);
    EXPECT_EQ(scripted::lines.back(), (Line{std::string(kLumoraWarning) + "40000", 1}));
}

// Regression: a confirm shorter than its record showed the tail of the confirm before it.
TEST_F(Framing, ShortConfirmNeverCarriesBytesOfThePreviousOne) {
    scripted::Queue(std::vector<uint8_t>(12, 0xAA));
    scripted::Queue({1, 1});
    LegacyConfirm<atctst_bt_get_lumora_version> out{};
    Lumora(&out);
    ASSERT_TRUE(Lumora(&out));
    EXPECT_EQ(out, (LegacyConfirm<atctst_bt_get_lumora_version>{1, 1}));
}

// --- record versions ------------------------------------------------------------------

TEST_F(Framing, FirstVersionQueryAsksAndLogsThenTheAnswerIsRemembered) {
    scripted::QueueVersions(1, 3);
    EXPECT_EQ(transport.GetReqVersion(atctst_bt_set_tx_burst_mode), 1);
    ASSERT_EQ(scripted::requests.size(), 1u);
    EXPECT_EQ(scripted::requests[0].opcode, 29);
    EXPECT_EQ(scripted::requests[0].bytes, (std::vector<uint8_t>{2, 0}));
    EXPECT_EQ(scripted::lines,
              (std::vector<Line>{
                  {"Get header version for opcode 'atctst_bt_set_tx_burst_mode'", 1},
                  {"OK", 1},
                  {"Opcode versions for 'atctst_bt_set_tx_burst_mode' is req=1 con=3", 1}}));
    scripted::lines.clear();
    LegacyTransport second; // the table is the library's, not the object's
    EXPECT_EQ(second.GetConVersion(atctst_bt_set_tx_burst_mode), 3);
    EXPECT_EQ(transport.GetReqVersion(atctst_bt_set_tx_burst_mode), 1);
    EXPECT_EQ(scripted::requests.size(), 1u);
    EXPECT_TRUE(scripted::lines.empty());
}

TEST_F(Framing, UnsupportedFunctionIsAnsweredOnceAndCountsAsVersionZero) {
    scripted::Queue({2, 7, 7});
    EXPECT_EQ(transport.GetReqVersion(atctst_bt_rx_le_end), 0);
    EXPECT_EQ(scripted::lines,
              (std::vector<Line>{{"Get header version for opcode 'atctst_bt_rx_le_end'", 1},
                                 {"CUSTOM ERROR 2", 1},
                                 {"Opcode for 'atctst_bt_rx_le_end' is not supported", 1}}));
    scripted::lines.clear();
    EXPECT_EQ(transport.GetConVersion(atctst_bt_rx_le_end), 0);
    EXPECT_EQ(scripted::requests.size(), 1u);
    EXPECT_TRUE(scripted::lines.empty());
}

// Regression: a garbled answer was remembered and refused the function until reload.
TEST_F(Framing, OtherStatusOrAShortAnswerLogsAnEmptyLineAndIsAskedAgain) {
    scripted::Queue({5, 1, 1});
    scripted::Queue({1, 1});
    scripted::QueueVersions(1, 1);
    EXPECT_EQ(transport.GetReqVersion(atctst_bt_reset), 0);
    ASSERT_EQ(scripted::lines.size(), 3u);
    EXPECT_TRUE(scripted::lines[2].nullText);
    EXPECT_EQ(transport.GetReqVersion(atctst_bt_reset), 0);
    EXPECT_TRUE(scripted::lines.back().nullText);
    EXPECT_EQ(transport.GetReqVersion(atctst_bt_reset), 1);
    EXPECT_EQ(scripted::requests.size(), 3u);
}

TEST_F(Framing, FailedVersionQueryIsNotRememberedAndAsksAgain) {
    scripted::QueueHostFailure();
    scripted::QueueVersions(1, 1);
    const OpcodeVersion failed = transport.GetOpcodeVersion(atctst_bt_initialize);
    EXPECT_EQ(failed.status, 0);
    EXPECT_EQ(failed.request_version, 0);
    EXPECT_EQ(transport.GetReqVersion(atctst_bt_initialize), 1);
    EXPECT_EQ(scripted::requests.size(), 2u);
}

TEST_F(Framing, FunctionNumberOutsideTheTableSendsNothing) {
    EXPECT_EQ(transport.GetReqVersion(30), 0);
    EXPECT_EQ(transport.GetConVersion(0xFFFF), 0);
    EXPECT_TRUE(scripted::requests.empty());
    EXPECT_TRUE(scripted::lines.empty());
}

} // namespace
