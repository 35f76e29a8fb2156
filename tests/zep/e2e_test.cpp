// Every operation against the phone simulator, one row each: the chip operations through
// both back-ends (the binary one, and the text one through the host's I/O library slot,
// interface kind 0, and its send-and-receive slot, kind 2), then what only the text
// back-end does. The binary back-end's own cases are in tests/legacy.
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>
#include <tuple>

#include "fake_host.h"
#include "legacy/bluetoothlegacy.h"
#include "nvm_golden.h"
#include "transport/itransportservice.h"
#include "zep/bluetoothzep.h"

namespace {

using phonesim::Fault;
using phonesim::FaultSpec;
using phonesim::TestMode;

constexpr int32_t kBinary = -1;

struct Sim {
    // `backEnd`: kBinary, or the text back-end over the host link of that interface kind.
    explicit Sim(int32_t backEnd) : kind(backEnd) {
        host.SetInterfaceKind(kind);
        host.InstallIntoPlugin();
        legacy_framing::detail::ClearOpcodeVersionTable();
        if (kind == kBinary)
            bt = std::make_unique<BluetoothLegacy>();
        else
            bt = std::make_unique<BluetoothZep>();
        host.Phone().ClearLogs();
        host.ClearLog();
    }
    phonesim::Simulator& Phone() { return host.Phone(); }
    phonesim::ChipState& Chip() { return host.Phone().Chip(); }
    std::size_t Received(const std::string& name) { return host.Phone().TextCount(name); }

    int32_t kind;
    fakehost::FakeHost host;
    std::unique_ptr<IBluetooth> bt;
};

struct Operation {
    const char* name;
    std::function<void(Sim&)> run;
};
void PrintTo(const Operation& op, std::ostream* os) {
    *os << op.name;
}

T_BT_HCI_COMMAND_REQ Hci(std::initializer_list<uint8_t> bytes) {
    T_BT_HCI_COMMAND_REQ req{};
    req.length = static_cast<uint8_t>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), req.data);
    return req;
}

std::vector<uint8_t> Event(const T_BT_HCI_COMMAND_CON& con) {
    return std::vector<uint8_t>(con.data, con.data + std::min<int>(con.length, kHciDataSize));
}

// The chip operations both back-ends run alike.
const Operation kChipOperations[] = {
    {"SwitchesTheChipAndReadsItsHardwareInformation",
     [](Sim& s) {
         s.Chip().hostInterface = 1;
         EXPECT_EQ(s.bt->GetHwInfo(1).code, T_RESULT_OK);
         EXPECT_EQ(s.bt->GetHostInterface(), 1);
         EXPECT_EQ(s.bt->IsBtOn(), 0);
         EXPECT_TRUE(s.host.HasLine("Getting Hw information", 1));
         EXPECT_EQ(s.bt->Initialize(1).code, T_RESULT_OK);
         EXPECT_TRUE(s.Chip().on);
         EXPECT_EQ(s.bt->IsBtOn(), 1);
         EXPECT_EQ(s.bt->GetHwInfo(1).code, T_RESULT_OK);
         EXPECT_EQ(s.bt->IsBtOn(), 1);
         EXPECT_EQ(s.bt->Initialize(1).code, T_RESULT_OK);
         EXPECT_FALSE(s.Chip().on);
         EXPECT_EQ(s.bt->IsBtOn(), 0);
         EXPECT_TRUE(s.host.HasLine("Initializing Bluetooth chip", 1));
         EXPECT_TRUE(s.host.HasLine("Stopping Bluetooth chip", 1));
     }},
    {"RfTestMode",
     [](Sim& s) {
         EXPECT_EQ(s.bt->SetRfTestMode(1, {{0, 0x11, 0x22, 0x33, 0x44, 0x55},
                                           1,
                                           2,
                                           3,
                                           4,
                                           5,
                                           6,
                                           7,
                                           -4,
                                           -5,
                                           -6,
                                           -7,
                                           -8,
                                           -9,
                                           4,
                                           -3})
                       .code,
                   T_RESULT_OK);
         EXPECT_EQ(s.Chip().mode, TestMode::RfTest);
         EXPECT_TRUE(s.host.HasLine("Entering RF test mode", 1));
     }},
    {"TxBurstMode",
     [](Sim& s) {
         T_BT_SET_TX_BURST_MODE_REQ burst{};
         burst.channel = 39;
         burst.packet_type = BT_PACKET_3_DH5;
         std::memset(burst.afh_channel_map, 0xFF, sizeof burst.afh_channel_map);
         EXPECT_EQ(s.bt->SetTxBurstMode(1, burst).code, T_RESULT_OK);
         EXPECT_EQ(s.Chip().mode, TestMode::TxBurst);
         EXPECT_EQ(s.Chip().channel, 39);
     }},
    {"TxContinuousMode",
     [](Sim& s) {
         EXPECT_EQ(s.bt->SetTxContinuousMode(1, {40, 3, 2, 1, 0x55, BT_MODULATION_GFSK}).code, 0);
         EXPECT_EQ(s.Chip().mode, TestMode::TxContinuous);
     }},
    {"RxContinuousMode",
     [](Sim& s) {
         EXPECT_EQ(s.bt->SetRxContinuousMode(1, {41}).code, T_RESULT_OK);
         EXPECT_EQ(s.Chip().mode, TestMode::RxContinuous);
     }},
    {"TxLeMode",
     [](Sim& s) {
         EXPECT_EQ(s.bt->SetTxLeMode(1, {19, 37, -2, BT_LE_PATTERN_PRBS15}).code, T_RESULT_OK);
         EXPECT_EQ(s.Chip().mode, TestMode::TxLe);
     }},
    {"RxLeStartThenEndCountsPackets",
     [](Sim& s) {
         EXPECT_EQ(s.bt->RxLeStart(1, {20}).code, T_RESULT_OK);
         EXPECT_EQ(s.Chip().mode, TestMode::RxLe);
         EXPECT_EQ(s.Chip().channel, 20);
         s.Chip().leRxPackets = 0x1234;
         T_BT_RX_LE_END_CON le{};
         EXPECT_EQ(s.bt->RxLeEnd(1, &le).code, T_RESULT_OK);
         EXPECT_EQ(le.packets_high, 0x12);
         EXPECT_EQ(le.packets_low, 0x34);
         EXPECT_EQ(le.result, 0);
     }},
    {"ResetHciEndsTheTestMode",
     [](Sim& s) {
         s.Chip().mode = TestMode::TxLe;
         bool ok = false;
         EXPECT_TRUE(s.bt->ResetHci(1, &ok));
         EXPECT_TRUE(ok);
         EXPECT_EQ(s.Chip().mode, TestMode::None);
     }},
    {"LumoraVersion",
     [](Sim& s) {
         T_BT_GET_LUMORA_VERSION_CON version{};
         EXPECT_EQ(s.bt->GetLumoraVersion(1, &version).code, T_RESULT_OK);
         EXPECT_EQ(std::memcmp(version.version_info, s.Chip().lumoraVersion.data(), 10), 0);
     }},
    {"Rssi",
     [](Sim& s) {
         s.Chip().rssi = -70;
         T_BT_GET_RSSI_VALUE_CON rssi{};
         EXPECT_EQ(s.bt->GetRssiValue(1, {{0x00, 0x01}}, &rssi).code, T_RESULT_OK);
         EXPECT_EQ(rssi.rssi, -70);
     }},
    {"RtrimRoundTrip",
     [](Sim& s) {
         EXPECT_EQ(s.bt->SetRtrimManualValues(1, {1, 9}).code, T_RESULT_OK);
         T_BT_GET_RTRIM_VALUES_CON rtrim{};
         EXPECT_EQ(s.bt->GetRtrimValues(1, &rtrim).code, T_RESULT_OK);
         EXPECT_EQ(rtrim.use_manual, 1);
         EXPECT_EQ(rtrim.manual_value, 9);
         EXPECT_EQ(rtrim.fused_value, s.Chip().rtrimFused);
     }},
    {"KfreqIbiasdacRoundTrip",
     [](Sim& s) {
         EXPECT_EQ(s.bt->SetKfreqIbiasdacManualValues(1, {1, 42, 1, 7}).code, T_RESULT_OK);
         T_BT_GET_KFREQ_IBIASDAC_VALUES_CON k{};
         EXPECT_EQ(s.bt->GetKfreqIbiasdacValues(1, &k).code, T_RESULT_OK);
         EXPECT_EQ(std::vector<uint8_t>({k.use_manual_kfreq, k.manual_kfreq, k.fused_kfreq,
                                         k.use_manual_ibiasdac, k.manual_ibiasdac}),
                   (std::vector<uint8_t>{1, 42, s.Chip().kfreqFused, 1, 7}));
     }},
    {"TemperatureRoundTrip",
     [](Sim& s) {
         EXPECT_EQ(s.bt->SetTemperatureValues(1, {1, 60000}).code, T_RESULT_OK);
         T_BT_GET_TEMPERATURE_VALUES_CON t{};
         EXPECT_EQ(s.bt->GetTemperatureValues(1, &t).code, T_RESULT_OK);
         EXPECT_EQ(t.use_manual, 1);
         EXPECT_EQ(t.manual_value, 60000);
         EXPECT_EQ(t.fused_value, s.Chip().tmeasFused);
     }},
    {"VoltageRoundTrip",
     [](Sim& s) {
         EXPECT_EQ(s.bt->SetVoltageValues(1, {1, 2, 200}).code, T_RESULT_OK);
         T_BT_GET_VOLTAGE_VALUES_CON v{};
         EXPECT_EQ(s.bt->GetVoltageValues(1, &v).code, T_RESULT_OK);
         EXPECT_EQ(v.propagation, 2);
         EXPECT_EQ(v.manual_value, 200);
         EXPECT_EQ(v.fused_value, s.Chip().vmeasFused);
     }},
    {"InterfacesRoundTrip",
     [](Sim& s) {
         EXPECT_EQ(s.bt->SetPcmUartWakeupInterface(1, {1, 0, 1}).code, T_RESULT_OK);
         T_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON st{};
         EXPECT_EQ(s.bt->GetPcmUartWakeupInterfaceStatus(1, &st).code, T_RESULT_OK);
         EXPECT_EQ(std::vector<uint32_t>({st.pcm, st.uart, st.wakeup}),
                   (std::vector<uint32_t>{1, 0, 1}));
     }},
    {"PcmLoopback",
     [](Sim& s) {
         EXPECT_EQ(s.bt->SetPcmLoopback(1, {2}).code, T_RESULT_OK);
         EXPECT_EQ(s.Chip().loopback, 2u);
         EXPECT_EQ(s.bt->SetPcmLoopback(1, {0}).code, T_RESULT_OK);
         EXPECT_EQ(s.Chip().loopback, 0u);
     }},
    {"HciCommandsAnswerLikeTheChip",
     [](Sim& s) {
         T_BT_HCI_COMMAND_CON con{};
         EXPECT_EQ(s.bt->HciCommand(1, Hci({0x03, 0x0C, 0x00}), &con, 16).code, T_RESULT_OK);
         EXPECT_EQ(Event(con), (std::vector<uint8_t>{0x0E, 0x04, 0x01, 0x03, 0x0C, 0x00}));
         EXPECT_EQ(s.host.CountLine("Sending HCI command: 03 0C 00 "), 1u);
         EXPECT_EQ(s.bt->HciCommand(1, Hci({0x09, 0x10, 0x00}), &con, 16).code, T_RESULT_OK);
         const auto address = s.Phone().BdAddress();
         std::vector<uint8_t> expected = {0x0E, 0x0A, 0x01, 0x09, 0x10, 0x00};
         expected.insert(expected.end(), address.rbegin(), address.rend());
         EXPECT_EQ(Event(con), expected);
         EXPECT_EQ(s.bt->HciCommand(1, Hci({0x34, 0x12, 0x00}), &con, 16).code, T_RESULT_OK);
         ASSERT_EQ(con.length, 6);
         EXPECT_EQ(con.data[0], 0x0E) << "Command Complete";
         EXPECT_EQ(con.data[5], 0x01) << "Unknown HCI Command";
     }},
};

// What only the text back-end does.
const Operation kZepOperations[] = {
    {"UsesTheSlotOfItsInterfaceKind",
     [](Sim& s) {
         bool ok = false;
         EXPECT_TRUE(s.bt->ResetHci(1, &ok));
         EXPECT_TRUE(ok);
         ASSERT_FALSE(s.Phone().TextLog().empty());
         for (const auto& record : s.Phone().TextLog())
             EXPECT_EQ(record.slot, s.kind == 2 ? 175 : 54) << record.command;
     }},
    {"LogsEveryCommandAsSent",
     [](Sim& s) {
         s.bt->SetRtrimManualValues(1, {1, 9});
         EXPECT_EQ(s.host.LogTexts(),
                   (std::vector<std::string>{
                       "Get header version for opcode 'SET_RTRIM_MANUAL_VALUES'",
                       "at@bt:get_opcode_version(14)", "OK",
                       "Opcode versions for 'SET_RTRIM_MANUAL_VALUES' is req=1 con=1",
                       "Setting RTRIM manual values", "at@bt:set_rtrim_manual_values(1,9)", "OK"}));
         for (const auto& line : s.host.Log())
             EXPECT_EQ(line.flag, 1) << line.text;
     }},
    {"HciReplyAbove150BytesGivesStatus4",
     [](Sim& s) {
         s.Phone().InjectText(FaultSpec{Fault::HciTooLong}, "at@bt:hci_command");
         T_BT_HCI_COMMAND_CON con{};
         const T_Result r = s.bt->HciCommand(1, Hci({0x03, 0x0C, 0x00}), &con, 16);
         EXPECT_EQ(r.code, T_RESULT_DATA_TOO_LONG);
         EXPECT_EQ(r.text, "HCI command response data length above limit: 150");
         EXPECT_NE(s.host.LogTexts().back(), "OK") << "no OK after the refusal";
     }},
    {"WriteAllThenReadAllReturnsWhatWasWritten",
     [](Sim& s) {
         const T_BT_ALL_NVM_PARAMS golden = testzep::GoldenNvm();
         EXPECT_EQ(s.bt->WriteAllNvmParams(1, golden).code, T_RESULT_OK);
         EXPECT_TRUE(s.host.HasLine("Setting NVM: All NVM parameters", 1));
         T_BT_ALL_NVM_PARAMS read{};
         EXPECT_EQ(s.bt->ReadAllNvmParams(1, &read).code, T_RESULT_OK);
         testzep::ExpectSameNvm(golden, read);
         int8_t rssiMin = 0;
         EXPECT_EQ(s.bt->GetNvmRssiMin(1, &rssiMin).code, T_RESULT_OK);
         EXPECT_EQ(rssiMin, -90);
     }},
    {"EachParameterWriteReachesItsParameter",
     [](Sim& s) {
         const T_BT_ALL_NVM_PARAMS golden = testzep::GoldenNvm();
#define BT_NVM_SET(Camel, field, id, kind, transfer)                                               \
    EXPECT_EQ(s.bt->SetNvm##Camel(1, golden.field).code, T_RESULT_OK) << #field;
         BT_NVM_PARAMS(BT_NVM_SET)
#undef BT_NVM_SET
         T_BT_ALL_NVM_PARAMS read{};
         EXPECT_EQ(s.bt->ReadAllNvmParams(1, &read).code, T_RESULT_OK);
         testzep::ExpectSameNvm(golden, read);
     }},
    {"APhoneReportingOtherVersionsIsNotAskedToAct",
     [](Sim& s) {
         s.Phone().SetTextVersions(SET_PCM_LOOPBACK, 2, 1);
         s.Phone().SetTextVersions(GET_RSSI_VALUE, 1, 2);
         const T_Result loop = s.bt->SetPcmLoopback(1, {1});
         EXPECT_EQ(loop.code, T_RESULT_VERSION_MISMATCH);
         EXPECT_EQ(loop.text,
                   "\nData version mismatch. 'SET_PCM_LOOPBACK' Req: expected = 1, actual = 2");
         const T_Result rssi = s.bt->GetRssiValue(1, {}, nullptr);
         EXPECT_EQ(rssi.text,
                   "\nData version mismatch. 'GET_RSSI_VALUE' Con: expected = 1, actual = 2");
         EXPECT_EQ(s.Received("at@bt:set_pcm_loopback"), 0u);
         EXPECT_EQ(s.Received("at@bt:get_rssi_value"), 0u);
         EXPECT_FALSE(s.host.HasLine("Enabling PCM loopback - Air->Air"));
         s.bt->SetPcmLoopback(1, {1});
         EXPECT_EQ(s.Received("at@bt:get_opcode_version"), 2u) << "versions are asked once";
     }},
    {"AFailedHostCallIsReportedByItsTransport",
     [](Sim& s) {
         s.bt->GetReqVersion(SET_VOLTAGE_VALUES);
         s.Phone().InjectText(FaultSpec{Fault::HostCallFails}, "at@bt:set_voltage_values");
         s.host.SetLastError("Link down");
         const T_Result r = s.bt->SetVoltageValues(1, {1, 1, 1});
         if (s.kind == 2) {
             EXPECT_EQ(r.code, T_RESULT_ERROR);
             EXPECT_EQ(r.text, "FAIL");
         } else {
             EXPECT_EQ(r.code, T_RESULT_FAILED);
             EXPECT_EQ(r.text, "Error: communication error");
             EXPECT_TRUE(s.host.HasLine("Link down", 1));
             // Regression: a command refused for its length was followed by that host error.
             T_BT_HCI_COMMAND_REQ longest{150, {}};
             std::memset(longest.data, 200, sizeof longest.data);
             const T_Result refused = s.bt->HciCommand(1, longest, nullptr, 16);
             EXPECT_EQ(refused.code, T_RESULT_FAILED);
             EXPECT_EQ(refused.text, "Error: communication error");
             EXPECT_EQ(s.host.LogTexts().back(),
                       "Command too long for the link: 624 bytes, limit 512");
         }
     }},
    {"UnacknowledgedAndGarbledRepliesGiveStatus3",
     [](Sim& s) {
         for (const Fault fault : {Fault::MissingOk, Fault::Garbage, Fault::NoReply,
                                   Fault::ValueShort, Fault::ValueExtra}) {
             s.Phone().InjectText(FaultSpec{fault}, "at@bt:get_rtrim_values");
             T_BT_GET_RTRIM_VALUES_CON con{};
             const T_Result r = s.bt->GetRtrimValues(1, &con);
             EXPECT_EQ(r.code, T_RESULT_ERROR) << static_cast<int>(fault);
             EXPECT_FALSE(r.text.empty());
             EXPECT_NE(r.text, "OK");
         }
     }},
    {"APhoneErrorCodeReachesTheRecordAndTheChipState",
     [](Sim& s) {
         s.Phone().InjectText(FaultSpec{Fault::ErrorCode, 7}, "at@bt:get_voltage_values");
         T_BT_GET_VOLTAGE_VALUES_CON voltage{};
         EXPECT_EQ(s.bt->GetVoltageValues(1, &voltage).code, T_RESULT_OK);
         EXPECT_EQ(voltage.result, 7);
         s.Chip().hostInterface = 1;
         s.Chip().on = true;
         s.Phone().InjectText(FaultSpec{Fault::ErrorCode, 5}, "at@bt:hw_info");
         EXPECT_EQ(s.bt->GetHwInfo(1).code, T_RESULT_OK);
         EXPECT_EQ(s.bt->IsBtOn(), 0);
         EXPECT_EQ(s.bt->GetHostInterface(), 2);
         s.Phone().InjectText(FaultSpec{Fault::ErrorCode, 3}, "at@bt:write_nvm_rssi_min");
         EXPECT_EQ(s.bt->SetNvmRssiMin(1, -80).code, T_RESULT_OK);
     }},
    // Transport ownership: the factory keeps its instances, the back-end does not delete them.
    {"ASecondBackEndAfterTheFirstWasDestroyedWorks",
     [](Sim& s) {
         ITransportService* transport = TransportServiceFactory(s.kind);
         s.bt.reset();
         s.bt = std::make_unique<BluetoothZep>();
         EXPECT_EQ(TransportServiceFactory(s.kind), transport);
         EXPECT_EQ(s.bt->GetHwInfo(1).code, T_RESULT_OK);
         EXPECT_EQ(s.Received("at@bt:?"), 0u) << "the link is probed once per library life";
     }},
};

class Operations : public ::testing::TestWithParam<std::tuple<Operation, int32_t>> {};

TEST_P(Operations, BehaveAgainstThePhone) {
    Sim sim(std::get<1>(GetParam()));
    std::get<0>(GetParam()).run(sim);
    // Every binary confirm has the size the plug-in expects.
    for (const std::string& line : sim.host.LogTexts())
        EXPECT_EQ(line.rfind("WARNING --->", 0), std::string::npos) << line;
}

std::string CaseName(const ::testing::TestParamInfo<std::tuple<Operation, int32_t>>& info) {
    const int32_t kind = std::get<1>(info.param);
    return std::string(std::get<0>(info.param).name) + (kind == kBinary ? "_Binary"
                                                        : kind == 2     ? "_SendReceive"
                                                                        : "_IoLibrary");
}

INSTANTIATE_TEST_SUITE_P(Chip, Operations,
                         ::testing::Combine(::testing::ValuesIn(kChipOperations),
                                            ::testing::Values(kBinary, 0, 2)),
                         CaseName);
INSTANTIATE_TEST_SUITE_P(Text, Operations,
                         ::testing::Combine(::testing::ValuesIn(kZepOperations),
                                            ::testing::Values(0, 2)),
                         CaseName);

} // namespace
