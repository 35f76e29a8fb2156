// The binary back-end where the operation table in tests/robust does not reach: the record
// versions asked once per library, the framing's edges, and the NVM parameter cache.
#include <gtest/gtest.h>

#include "fake_host.h"
#include "legacy/bluetoothlegacy.h"

namespace {

using phonesim::Fault;
using Lines = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;

struct Legacy : ::testing::Test {
    Legacy() {
        host.SetLastError("link down");
        host.InstallIntoPlugin();
        legacy_framing::detail::ClearOpcodeVersionTable();
    }
    phonesim::Simulator& Phone() { return host.Phone(); }
    void Answer(Bytes confirm) { // the phone's next confirm, whatever was asked
        phonesim::FaultSpec verbatim{Fault::Verbatim};
        verbatim.bytes = std::move(confirm);
        Phone().InjectBinary(verbatim);
    }
    Lines Log() {
        Lines lines = host.LogTexts();
        host.ClearLog();
        return lines;
    }

    fakehost::FakeHost host;
    BluetoothLegacy bt;
};

const std::string kAsk = "Get header version for opcode 'atctst_bt_set_tx_burst_mode'";

// Only a whole answer saying supported or not supported is remembered, for the library's
// life; anything else is asked again by the next use (a failed host call too: see
// tests/robust). Regression: a garbled or short answer was remembered and refused the
// function until the library was loaded again.
TEST_F(Legacy, RecordVersionsAreAskedUntilThePhoneAnsweredWhole) {
    // clang-format off
    const struct {
        const char* what;
        Bytes answer;
        Lines log;
        uint8_t request, confirm; // the versions the query gives, then a second object
        bool remembered;
    } cases[] = {
        {"supported", {1, 1, 3}, {kAsk, "OK",
          "Opcode versions for 'atctst_bt_set_tx_burst_mode' is req=1 con=3"}, 1, 3, true},
        {"not supported", {2, 7, 7}, {kAsk, "CUSTOM ERROR 2",
          "Opcode for 'atctst_bt_set_tx_burst_mode' is not supported"}, 0, 0, true},
        {"other status", {5, 1, 1}, {kAsk, "CUSTOM ERROR 5", ""}, 0, 1, false},
        {"short", {1, 1}, {kAsk, "OK", "WARNING ---> 'atctst_bt_get_opcode_version' - Datasize "
          "from target does not match expected data size\nExpected data size :3   Actual data "
          "size :2", ""}, 0, 1, false}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        legacy_framing::detail::ClearOpcodeVersionTable();
        Phone().ClearLogs();
        host.ClearLog();
        Answer(c.answer);
        EXPECT_EQ(bt.GetReqVersion(atctst_bt_set_tx_burst_mode), c.request);
        EXPECT_EQ(Log(), c.log);
        ASSERT_EQ(Phone().BinaryLog().size(), 1u);
        EXPECT_EQ(Phone().BinaryLog()[0].function, 29);
        EXPECT_EQ(Phone().BinaryLog()[0].request, (Bytes{2, 0}));
        // The table is the library's: another object knows what this one learnt.
        BluetoothLegacy second;
        EXPECT_EQ(second.GetConVersion(atctst_bt_set_tx_burst_mode), c.confirm);
        EXPECT_EQ(Phone().BinaryLog().size(), c.remembered ? 1u : 2u);
        EXPECT_EQ(Log().empty(), c.remembered);
    }
    EXPECT_EQ(bt.GetReqVersion(30), 0) << "no function 30, nothing to ask";
    EXPECT_EQ(bt.GetConVersion(0xFFFF), 0);
    EXPECT_EQ(Phone().BinaryLog().size(), 2u);
}

// Regression: a confirm shorter than its record showed the tail of the confirm before it.
TEST_F(Legacy, AShortConfirmNeverCarriesBytesOfThePreviousOne) {
    T_BT_GET_LUMORA_VERSION_CON con{};
    ASSERT_EQ(bt.GetLumoraVersion(1, &con).code, T_RESULT_OK);
    ASSERT_EQ(con.version_info[0], 4);
    Answer({1, 1});
    EXPECT_EQ(bt.GetLumoraVersion(1, &con).code, T_RESULT_OK);
    EXPECT_EQ(Bytes(con.version_info, con.version_info + 10), Bytes(10, 0));
}

// A value is written only in the data version last read of it.
TEST_F(Legacy, AParameterIsWrittenOnlyInTheVersionLastReadOfIt) {
    const T_Result unread = bt.SetNvmEpcPower1mbps(1, 4);
    EXPECT_EQ(unread.code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(unread.text, "");
    Phone().Chip().wireVersion[BT_NVM_EPC_MAX_POWER_3MBPS] = 2;
    int8_t power = 9;
    const T_Result other = bt.GetNvmEpcPower3mbps(1, &power);
    EXPECT_EQ(other.code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(other.text, "\nData version mismatch. NVM:EPC maximum power 3 MBit/S: "
                          "expected = 1, actual = 2");
    EXPECT_EQ(power, 9);
    EXPECT_EQ(bt.SetNvmEpcPower3mbps(1, 1).code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(Phone().BinaryCount(atctst_bt_write_to_nvm), 0u);
}

// A read answered for another parameter or with a bad status forgets the version, so the
// value cannot be written; a read whose host call failed forgets nothing. A failed write
// keeps what was read.
TEST_F(Legacy, AFailedExchangeDecidesWhatTheCacheStillKnows) {
    for (const Fault fault : {Fault::WrongNvmId, Fault::ErrorCode, Fault::HostCallFails}) {
        SCOPED_TRACE(static_cast<int>(fault));
        BluetoothLegacy fresh;
        uint8_t steps = 0;
        ASSERT_EQ(fresh.GetNvmEpcPwrctrlSteps(1, &steps).code, T_RESULT_OK);
        Phone().InjectBinary({Fault::ErrorCode});
        EXPECT_EQ(fresh.SetNvmEpcPwrctrlSteps(1, 9).code, T_RESULT_FAILED);
        EXPECT_EQ(fresh.GetNvmEpcPwrctrlSteps(1, &steps).code, T_RESULT_OK);
        EXPECT_EQ(steps, Phone().Chip().nvm[BNPT_EPC_NUM_OF_PWR_CTRL_STEPS][0]);
        ASSERT_EQ(fresh.SetNvmEpcPwrctrlSteps(1, 3).code, T_RESULT_OK);
        Phone().InjectBinary({fault});
        EXPECT_EQ(fresh.GetNvmEpcPwrctrlSteps(1, &steps).code, T_RESULT_FAILED);
        const bool forgotten = fault != Fault::HostCallFails;
        EXPECT_EQ(fresh.GetNvmDataVersion(BNPT_EPC_NUM_OF_PWR_CTRL_STEPS), forgotten ? 0 : 1);
        EXPECT_EQ(fresh.SetNvmEpcPwrctrlSteps(1, 4).code,
                  forgotten ? T_RESULT_VERSION_MISMATCH : T_RESULT_OK);
    }
    EXPECT_EQ(Phone().BinaryCount(atctst_bt_read_from_nvm), 6u)
        << "the failed write re-asked nothing";
}

} // namespace
