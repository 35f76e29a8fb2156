// BluetoothLegacy end to end where it differs from the text back-end: the plug-in's slot 18
// served by the phone simulator through the tests' fake host. The chip operations both
// back-ends share run in one table in tests/zep/e2e_test.cpp.

#include <functional>
#include <ostream>

#include <gtest/gtest.h>

#include "fake_host.h"
#include "legacy/bluetoothlegacy.h"

using phonesim::Fault;
using Bytes = std::vector<uint8_t>;

namespace {

struct Sim {
    Sim() {
        host.InstallIntoPlugin();
        legacy_framing::detail::ClearOpcodeVersionTable();
    }
    ~Sim() { ShowLineCallback = nullptr; }
    phonesim::Simulator& Phone() { return host.Phone(); }
    phonesim::ChipState& Chip() { return host.Phone().Chip(); }
    Bytes LastRequest() { return host.Phone().LastRequest(); }

    fakehost::FakeHost host;
    BluetoothLegacy bt;
};

struct Operation {
    const char* name;
    std::function<void(Sim&)> run;
};
void PrintTo(const Operation& op, std::ostream* os) {
    *os << op.name;
}

class LegacyOperation : public ::testing::TestWithParam<Operation> {};

TEST_P(LegacyOperation, BehavesAgainstThePhone) {
    Sim sim;
    GetParam().run(sim);
    // Every confirm has the size the plug-in expects, unless the row made it otherwise.
    for (const std::string& line : sim.host.LogTexts())
        EXPECT_EQ(line.rfind("WARNING --->", 0), std::string::npos) << line;
}

const Operation kOperations[] = {
    {"HwInfoWithoutAnAnswerLeavesTheChipOffAndNoInterface",
     [](Sim& s) {
         s.Chip().on = true;
         ASSERT_EQ(s.bt.GetHwInfo(1).code, T_RESULT_OK);
         s.host.SetLastError("Timeout waiting for the phone");
         s.Phone().InjectBinary({Fault::HostCallFails}, atctst_bt_hw_info);
         const T_Result r = s.bt.GetHwInfo(1);
         EXPECT_EQ(r.code, T_RESULT_FAILED);
         EXPECT_EQ(r.text, "Error: not able to retrieve BT HW information\n");
         EXPECT_EQ(s.bt.IsBtOn(), 0);
         EXPECT_EQ(s.bt.GetHostInterface(), 2);
         EXPECT_TRUE(s.host.HasLine("Timeout waiting for the phone", 1));
     }},
    {"InitializeAfterARejectedStartAsksToStartAgain",
     [](Sim& s) {
         s.Phone().InjectBinary({Fault::ErrorCode, 5}, atctst_bt_initialize);
         EXPECT_EQ(s.bt.Initialize(1).code, T_RESULT_FAILED);
         EXPECT_TRUE(s.host.HasLine("CUSTOM ERROR 5", 1));
         EXPECT_FALSE(s.Chip().on);
         ASSERT_EQ(s.bt.Initialize(1).code, T_RESULT_OK);
         EXPECT_EQ(s.LastRequest(), (Bytes{1, 1}));
         EXPECT_EQ(s.bt.IsBtOn(), 1);
     }},
    {"HostInterfaceAndSleepxChecks",
     [](Sim& s) {
         uint8_t flag = 0;
         EXPECT_TRUE(s.bt.CheckHostInterface(&flag));
         EXPECT_EQ(flag, 1);
         flag = 0;
         EXPECT_TRUE(s.bt.CheckSleepxSignal(&flag));
         EXPECT_EQ(flag, 1);
         EXPECT_TRUE(s.host.HasLine("Checking host interface", 1));
     }},
    {"HciReplyLongerThan150IsRefusedWithCodeFour",
     [](Sim& s) {
         s.Phone().InjectBinary({Fault::HciTooLong}, atctst_bt_hci_command);
         T_BT_HCI_COMMAND_CON con{};
         const T_Result r = s.bt.HciCommand(1, {3, {0x03, 0x0C, 0x00}}, &con, 16);
         EXPECT_EQ(r.code, T_RESULT_DATA_TOO_LONG);
         EXPECT_EQ(r.text, "");
         EXPECT_EQ(con.length, 0);
         EXPECT_EQ(con.data[0], 0);
     }},
    {"OversizeConfirmLengthIsNamedAndNothingPastTheBufferIsRead",
     [](Sim& s) {
         s.Phone().InjectBinary({Fault::OversizeLength, 16000}, atctst_bt_get_voltage_values);
         T_BT_GET_VOLTAGE_VALUES_CON volt{};
         EXPECT_EQ(s.bt.GetVoltageValues(1, &volt).code, T_RESULT_OK);
         EXPECT_TRUE(s.host.HasLine("WARNING ---> 'atctst_bt_get_voltage_values' - Datasize from "
                                    "target does not match expected data size\nExpected data "
                                    "size :6   Actual data size :16000",
                                    1));
         EXPECT_EQ(volt.fused_value, s.Chip().vmeasFused);
         s.host.ClearLog();
     }},
    {"GarbageConfirmIsAFailureNotData",
     [](Sim& s) {
         s.Phone().InjectBinary({Fault::Garbage}, atctst_bt_get_rtrim_values);
         T_BT_GET_RTRIM_VALUES_CON rtrim{};
         EXPECT_EQ(s.bt.GetRtrimValues(1, &rtrim).code, T_RESULT_FAILED);
         EXPECT_EQ(rtrim.fused_value, 0);
         EXPECT_TRUE(s.host.HasLine("CUSTOM ERROR 165", 1));
     }},
    {"UnsupportedFunctionIsAskedOnceAndRefused",
     [](Sim& s) {
         s.Phone().SetBinarySupported(atctst_bt_rx_le_start, false);
         EXPECT_EQ(s.bt.RxLeStart(1, {1}).code, T_RESULT_VERSION_MISMATCH);
         EXPECT_EQ(s.bt.RxLeStart(1, {1}).code, T_RESULT_VERSION_MISMATCH);
         EXPECT_EQ(s.host.CountLine("Opcode for 'atctst_bt_rx_le_start' is not supported"), 1u);
         EXPECT_EQ(s.Phone().BinaryCount(atctst_bt_get_opcode_version), 1u);
         EXPECT_EQ(s.Phone().BinaryCount(atctst_bt_rx_le_start), 0u);
     }},
    {"FailedVersionQueryIsAskedAgainByTheNextOperation",
     [](Sim& s) {
         s.Phone().InjectBinary({Fault::HostCallFails}, atctst_bt_get_opcode_version);
         EXPECT_EQ(s.bt.SetPcmLoopback(1, {1}).code, T_RESULT_VERSION_MISMATCH);
         EXPECT_EQ(s.bt.SetPcmLoopback(1, {1}).code, T_RESULT_OK);
         EXPECT_EQ(s.Phone().BinaryCount(atctst_bt_get_opcode_version), 2u);
         EXPECT_EQ(s.Chip().loopback, 1u);
     }},
    {"EachOfTheSixteenNvmGettersReadsItsOwnParameter",
     [](Sim& s) {
         // Distinct values, so that a getter asking for another wire id is caught.
         uint8_t distinct = 0x30;
#define BT_TEST_SEED(Camel, field, id, kind, transfer) s.Chip().nvm[id][0] = distinct++;
         BT_NVM_PARAMS(BT_TEST_SEED)
#undef BT_TEST_SEED
         std::vector<uint8_t> asked;
#define BT_TEST_GET(Camel, field, id, kind, transfer)                                              \
    if (asked.size() < 16) {                                                                       \
        uint8_t value[8];                                                                          \
        std::fill(std::begin(value), std::end(value), 0xEE);                                       \
        EXPECT_EQ(s.bt.GetNvm##Camel(1, reinterpret_cast<BT_NVM_VALUE_T_##kind*>(value)).code,     \
                  T_RESULT_OK)                                                                     \
            << #Camel;                                                                             \
        EXPECT_EQ(value[0], static_cast<uint8_t>(s.Chip().nvm[id][0])) << #Camel;                  \
        EXPECT_EQ(value[1] == 0xEE, id != BNPT_BT_ADDRESS) << #Camel << " writes its width only";  \
        asked.push_back(s.LastRequest().at(0));                                                    \
    }
         BT_NVM_PARAMS(BT_TEST_GET)
#undef BT_TEST_GET
         std::sort(asked.begin(), asked.end());
         EXPECT_EQ(asked, (Bytes{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
         EXPECT_TRUE(s.host.HasLine("Getting BR power level value", 1));
         EXPECT_EQ(s.Phone().BinaryCount(atctst_bt_get_opcode_version), 0u);
     }},
    {"NvmReadIsCachedAndAWriteMakesTheNextReadAskAgain",
     [](Sim& s) {
         int8_t level = 0;
         ASSERT_EQ(s.bt.GetNvmBrPwrLevel(1, &level).code, T_RESULT_OK);
         ASSERT_EQ(s.bt.GetNvmBrPwrLevel(1, &level).code, T_RESULT_OK);
         EXPECT_EQ(s.Phone().BinaryCount(atctst_bt_read_from_nvm), 1u);
         ASSERT_EQ(s.bt.SetNvmBrPwrLevel(1, -3).code, T_RESULT_OK);
         EXPECT_EQ(s.LastRequest(), (Bytes{14, 1, 0xFD, 0, 0, 0, 0, 0}));
         EXPECT_TRUE(s.host.HasLine("Setting BR power level value", 1));
         ASSERT_EQ(s.bt.GetNvmBrPwrLevel(1, &level).code, T_RESULT_OK);
         EXPECT_EQ(level, -3);
         EXPECT_EQ(s.Phone().BinaryCount(atctst_bt_read_from_nvm), 2u);
     }},
    {"NvmAddressIsWrittenWhole",
     [](Sim& s) {
         uint8_t address[6] = {};
         ASSERT_EQ(s.bt.GetNvmBdaddr(1, address).code, T_RESULT_OK);
         const uint8_t fresh[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
         ASSERT_EQ(s.bt.SetNvmBdaddr(1, fresh).code, T_RESULT_OK);
         EXPECT_EQ(s.LastRequest(), (Bytes{0, 1, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55}));
         const auto stored = s.Phone().BdAddress();
         EXPECT_TRUE(std::equal(stored.begin(), stored.end(), fresh));
     }},
    {"NvmValuePresentButNotValidIsDelivered",
     [](Sim& s) {
         s.Chip().wireStatus[BT_NVM_LE_PWR_LEVEL] = 2;
         int8_t level = 0;
         EXPECT_EQ(s.bt.GetNvmLePwrLevel(1, &level).code, T_RESULT_OK);
         EXPECT_EQ(level, static_cast<int8_t>(s.Chip().nvm[BNPT_LE_PWR_LEVEL][0]));
     }},
    {"NvmWrongIdFailsZeroesTheVersionAndBlocksTheSet",
     [](Sim& s) {
         s.Phone().InjectBinary({Fault::WrongNvmId}, atctst_bt_read_from_nvm);
         uint8_t steps = 0;
         EXPECT_EQ(s.bt.GetNvmEpcPwrctrlSteps(1, &steps).code, T_RESULT_FAILED);
         EXPECT_EQ(s.bt.GetNvmDataVersion(BNPT_EPC_NUM_OF_PWR_CTRL_STEPS), 0);
         EXPECT_EQ(s.bt.SetNvmEpcPwrctrlSteps(1, 3).code, T_RESULT_VERSION_MISMATCH);
         EXPECT_EQ(s.Phone().BinaryCount(atctst_bt_write_to_nvm), 0u);
         EXPECT_EQ(s.bt.GetNvmEpcPwrctrlSteps(1, &steps).code, T_RESULT_OK);
         EXPECT_EQ(s.bt.GetNvmDataVersion(BNPT_EPC_NUM_OF_PWR_CTRL_STEPS), 1);
     }},
    {"NvmValueOfAnotherVersionIsAMismatchAndNotWritable",
     [](Sim& s) {
         s.Chip().wireVersion[BT_NVM_EPC_MAX_POWER_3MBPS] = 2;
         int8_t power = 9;
         const T_Result r = s.bt.GetNvmEpcPower3mbps(1, &power);
         EXPECT_EQ(r.code, T_RESULT_VERSION_MISMATCH);
         EXPECT_EQ(r.text, "\nData version mismatch. NVM:EPC maximum power 3 MBit/S: "
                           "expected = 1, actual = 2");
         EXPECT_EQ(power, 9);
         EXPECT_EQ(s.bt.SetNvmEpcPower3mbps(1, 1).code, T_RESULT_VERSION_MISMATCH);
         EXPECT_EQ(s.Phone().BinaryCount(atctst_bt_write_to_nvm), 0u);
     }},
    {"NvmSetBeforeAnyReadAndUnsupportedParametersNeverReachThePhone",
     [](Sim& s) {
         const T_Result set = s.bt.SetNvmEpcPower1mbps(1, 4);
         EXPECT_EQ(set.code, T_RESULT_VERSION_MISMATCH);
         EXPECT_EQ(set.text, "");
         uint8_t features[8] = {};
         EXPECT_EQ(s.bt.GetNvmLmpFeatures(1, features).code, T_RESULT_ERROR);
         T_BT_ALL_NVM_PARAMS all{};
         EXPECT_EQ(s.bt.ReadAllNvmParams(1, &all).code, T_RESULT_ERROR);
         EXPECT_TRUE(s.Phone().BinaryLog().empty());
     }},
};

INSTANTIATE_TEST_SUITE_P(Every, LegacyOperation, ::testing::ValuesIn(kOperations),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
