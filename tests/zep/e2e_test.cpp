// Every BluetoothZep operation against the phone simulator, through the host's I/O library
// slot (interface kind 0) and its send-and-receive slot (kind 2).
#include <cstring>
#include <gtest/gtest.h>

#include "fake_host.h"
#include "nvm_golden.h"
#include "transport/itransportservice.h"
#include "zep/bluetoothzep.h"

namespace {

using phonesim::Fault;
using phonesim::FaultSpec;

class ZepOverHost : public ::testing::TestWithParam<int32_t> {
protected:
    ZepOverHost() {
        host.SetInterfaceKind(GetParam());
        host.InstallIntoPlugin();
        bt = std::make_unique<BluetoothZep>();
        host.Phone().ClearLogs();
        host.ClearLog();
    }

    phonesim::Simulator& Phone() { return host.Phone(); }
    bool ViaSendReceive() const { return GetParam() == 2; }
    // What a failed host call turns into on this transport.
    uint8_t HostFailureStatus() const {
        return ViaSendReceive() ? T_RESULT_ERROR : T_RESULT_FAILED;
    }
    std::size_t Received(const std::string& name) { return host.Phone().TextCount(name); }

    fakehost::FakeHost host;
    std::unique_ptr<BluetoothZep> bt;
};

TEST_P(ZepOverHost, UsesTheSlotOfItsInterfaceKind) {
    bool ok = false;
    EXPECT_TRUE(bt->ResetHci(1, &ok));
    EXPECT_TRUE(ok);
    ASSERT_FALSE(Phone().TextLog().empty());
    for (const auto& record : Phone().TextLog())
        EXPECT_EQ(record.slot, ViaSendReceive() ? 175 : 54) << record.command;
}

TEST_P(ZepOverHost, LogsEveryCommandAsSent) {
    bt->SetRtrimManualValues(1, {1, 9});
    EXPECT_EQ(host.LogTexts(),
              (std::vector<std::string>{
                  "Get header version for opcode 'SET_RTRIM_MANUAL_VALUES'",
                  "at@bt:get_opcode_version(14)", "OK",
                  "Opcode versions for 'SET_RTRIM_MANUAL_VALUES' is req=1 con=1",
                  "Setting RTRIM manual values", "at@bt:set_rtrim_manual_values(1,9)", "OK"}));
    for (const auto& line : host.Log())
        EXPECT_EQ(line.flag, 1) << line.text;
}

TEST_P(ZepOverHost, SwitchesTheChipAndReadsItsHardwareInformation) {
    Phone().Chip().hostInterface = 1;
    EXPECT_EQ(bt->GetHwInfo(1).code, T_RESULT_OK);
    EXPECT_EQ(bt->GetHostInterface(), 1);
    EXPECT_EQ(bt->IsBtOn(), 0);
    EXPECT_EQ(bt->Initialize(1).code, T_RESULT_OK);
    EXPECT_TRUE(Phone().Chip().on);
    EXPECT_EQ(bt->IsBtOn(), 1);
    EXPECT_EQ(bt->GetHwInfo(1).code, T_RESULT_OK);
    EXPECT_EQ(bt->IsBtOn(), 1);
    EXPECT_EQ(bt->Initialize(1).code, T_RESULT_OK);
    EXPECT_FALSE(Phone().Chip().on);
    EXPECT_EQ(bt->IsBtOn(), 0);
}

TEST_P(ZepOverHost, StartsEveryTestModeOnThePhone) {
    T_BT_SET_RF_TEST_MODE_REQ rf{
        {0, 0x11, 0x22, 0x33, 0x44, 0x55}, 1, 2, 3, 4, 5, 6, 7, -4, -5, -6, -7, -8, -9, 4, -3};
    EXPECT_EQ(bt->SetRfTestMode(1, rf).code, T_RESULT_OK);
    EXPECT_EQ(Phone().Chip().mode, phonesim::TestMode::RfTest);
    EXPECT_EQ(Phone().LastCommand(),
              "at@bt:set_rf_test_mode({0,17,34,51,68,85},1,2,3,4,5,6,7,-4,-5,-6,-7,-8,-9,4,-3)");

    T_BT_SET_TX_BURST_MODE_REQ burst{};
    burst.channel = 39;
    burst.packet_type = BT_PACKET_3_DH5;
    std::memset(burst.afh_channel_map, 0xFF, sizeof burst.afh_channel_map);
    EXPECT_EQ(bt->SetTxBurstMode(1, burst).code, T_RESULT_OK);
    EXPECT_EQ(Phone().Chip().mode, phonesim::TestMode::TxBurst);
    EXPECT_EQ(Phone().Chip().channel, 39);

    EXPECT_EQ(bt->SetTxContinuousMode(1, {40, 3, 2, 1, 0x55, BT_MODULATION_GFSK}).code, 0);
    EXPECT_EQ(Phone().Chip().mode, phonesim::TestMode::TxContinuous);
    EXPECT_EQ(bt->SetRxContinuousMode(1, {41}).code, T_RESULT_OK);
    EXPECT_EQ(Phone().Chip().mode, phonesim::TestMode::RxContinuous);
    EXPECT_EQ(bt->SetTxLeMode(1, {19, 37, -2, BT_LE_PATTERN_PRBS15}).code, T_RESULT_OK);
    EXPECT_EQ(Phone().Chip().mode, phonesim::TestMode::TxLe);
    EXPECT_EQ(bt->RxLeStart(1, {20}).code, T_RESULT_OK);
    EXPECT_EQ(Phone().Chip().mode, phonesim::TestMode::RxLe);
    EXPECT_EQ(Phone().Chip().channel, 20);

    Phone().Chip().leRxPackets = 0x1234;
    T_BT_RX_LE_END_CON le{};
    EXPECT_EQ(bt->RxLeEnd(1, &le).code, T_RESULT_OK);
    EXPECT_EQ(le.packets_high, 0x12);
    EXPECT_EQ(le.packets_low, 0x34);
    EXPECT_EQ(le.result, 0);

    bool ok = false;
    EXPECT_TRUE(bt->ResetHci(1, &ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ(Phone().Chip().mode, phonesim::TestMode::None);
}

TEST_P(ZepOverHost, ReadsVersionAndRssi) {
    T_BT_GET_LUMORA_VERSION_CON version{};
    EXPECT_EQ(bt->GetLumoraVersion(1, &version).code, T_RESULT_OK);
    EXPECT_EQ(std::memcmp(version.version_info, Phone().Chip().lumoraVersion.data(), 10), 0);

    Phone().Chip().rssi = -70;
    T_BT_GET_RSSI_VALUE_CON rssi{};
    EXPECT_EQ(bt->GetRssiValue(1, {{0x00, 0x01}}, &rssi).code, T_RESULT_OK);
    EXPECT_EQ(rssi.rssi, -70);
    EXPECT_EQ(Phone().LastCommand(), "at@bt:get_rssi_value({0,1})");
}

TEST_P(ZepOverHost, TrimmingValuesRoundTrip) {
    EXPECT_EQ(bt->SetRtrimManualValues(1, {1, 9}).code, T_RESULT_OK);
    T_BT_GET_RTRIM_VALUES_CON rtrim{};
    EXPECT_EQ(bt->GetRtrimValues(1, &rtrim).code, T_RESULT_OK);
    EXPECT_EQ(rtrim.use_manual, 1);
    EXPECT_EQ(rtrim.manual_value, 9);
    EXPECT_EQ(rtrim.fused_value, Phone().Chip().rtrimFused);

    EXPECT_EQ(bt->SetKfreqIbiasdacManualValues(1, {1, 42, 1, 7}).code, T_RESULT_OK);
    T_BT_GET_KFREQ_IBIASDAC_VALUES_CON kfreq{};
    EXPECT_EQ(bt->GetKfreqIbiasdacValues(1, &kfreq).code, T_RESULT_OK);
    EXPECT_EQ(kfreq.manual_kfreq, 42);
    EXPECT_EQ(kfreq.use_manual_ibiasdac, 1);
    EXPECT_EQ(kfreq.manual_ibiasdac, 7);
    EXPECT_EQ(kfreq.fused_kfreq, Phone().Chip().kfreqFused);

    EXPECT_EQ(bt->SetTemperatureValues(1, {1, 60000}).code, T_RESULT_OK);
    T_BT_GET_TEMPERATURE_VALUES_CON temperature{};
    EXPECT_EQ(bt->GetTemperatureValues(1, &temperature).code, T_RESULT_OK);
    EXPECT_EQ(temperature.use_manual, 1);
    EXPECT_EQ(temperature.manual_value, 60000);
    EXPECT_EQ(temperature.fused_value, Phone().Chip().tmeasFused);

    EXPECT_EQ(bt->SetVoltageValues(1, {1, 2, 200}).code, T_RESULT_OK);
    T_BT_GET_VOLTAGE_VALUES_CON voltage{};
    EXPECT_EQ(bt->GetVoltageValues(1, &voltage).code, T_RESULT_OK);
    EXPECT_EQ(voltage.propagation, 2);
    EXPECT_EQ(voltage.manual_value, 200);
    EXPECT_EQ(voltage.fused_value, Phone().Chip().vmeasFused);
}

TEST_P(ZepOverHost, InterfaceSettingsAndLoopbackRoundTrip) {
    EXPECT_EQ(bt->SetPcmUartWakeupInterface(1, {1, 0, 1}).code, T_RESULT_OK);
    T_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON status{};
    EXPECT_EQ(bt->GetPcmUartWakeupInterfaceStatus(1, &status).code, T_RESULT_OK);
    EXPECT_EQ(status.pcm, 1u);
    EXPECT_EQ(status.uart, 0u);
    EXPECT_EQ(status.wakeup, 1u);
    EXPECT_EQ(bt->SetPcmLoopback(1, {2}).code, T_RESULT_OK);
    EXPECT_EQ(Phone().Chip().loopback, 2u);
    EXPECT_EQ(bt->SetPcmLoopback(1, {0}).code, T_RESULT_OK);
    EXPECT_EQ(Phone().Chip().loopback, 0u);
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

TEST_P(ZepOverHost, HciCommandsAnswerLikeTheChip) {
    T_BT_HCI_COMMAND_CON con{};
    EXPECT_EQ(bt->HciCommand(1, Hci({0x03, 0x0C, 0x00}), &con, 16).code, T_RESULT_OK);
    EXPECT_EQ(Event(con), (std::vector<uint8_t>{0x0E, 0x04, 0x01, 0x03, 0x0C, 0x00}));
    EXPECT_EQ(host.CountLine("Sending HCI command: 03 0C 00 "), 1u);

    EXPECT_EQ(bt->HciCommand(1, Hci({0x09, 0x10, 0x00}), &con, 16).code, T_RESULT_OK);
    const auto address = Phone().BdAddress();
    std::vector<uint8_t> expected = {0x0E, 0x0A, 0x01, 0x09, 0x10, 0x00};
    expected.insert(expected.end(), address.rbegin(), address.rend());
    EXPECT_EQ(Event(con), expected);

    EXPECT_EQ(bt->HciCommand(1, Hci({0x34, 0x12, 0x00}), &con, 16).code, T_RESULT_OK);
    ASSERT_GE(con.length, 4);
    EXPECT_EQ(con.data[0], 0x0F) << "Command Status";
    EXPECT_EQ(con.data[2], 0x01) << "Unknown HCI Command";
}

TEST_P(ZepOverHost, AnHciReplyAbove150BytesGivesStatus4) {
    Phone().InjectText(FaultSpec{Fault::HciTooLong}, "at@bt:hci_command");
    T_BT_HCI_COMMAND_CON con{};
    const T_Result r = bt->HciCommand(1, Hci({0x03, 0x0C, 0x00}), &con, 16);
    EXPECT_EQ(r.code, T_RESULT_DATA_TOO_LONG);
    EXPECT_EQ(r.text, "HCI command response data length above limit: 150");
}

// The longest HCI command line is 624 characters: more than the I/O library's 512-byte
// request buffer, within what the send-and-receive service takes.
TEST_P(ZepOverHost, TheLongestHciCommandIsRefusedOnlyByTheIoLibraryLink) {
    T_BT_HCI_COMMAND_REQ req{};
    req.length = 150;
    std::memset(req.data, 200, sizeof req.data);
    bt->GetReqVersion(HCI_COMMAND);
    host.ClearLog();
    const T_Result r = bt->HciCommand(1, req, nullptr, 16);
    if (ViaSendReceive()) {
        EXPECT_EQ(Received("at@bt:hci_command"), 1u);
        EXPECT_EQ(Phone().LastCommand().size(), 624u);
        EXPECT_EQ(host.CountLine("Command too long for the link: 624 bytes, limit 512"), 0u);
    } else {
        EXPECT_EQ(r.code, T_RESULT_FAILED);
        EXPECT_EQ(r.text, "Error: communication error");
        EXPECT_EQ(Received("at@bt:hci_command"), 0u);
        EXPECT_TRUE(host.HasLine("Command too long for the link: 624 bytes, limit 512", 1));
    }
}

TEST_P(ZepOverHost, WriteAllThenReadAllReturnsWhatWasWritten) {
    const T_BT_ALL_NVM_PARAMS golden = testzep::GoldenNvm();
    EXPECT_EQ(bt->WriteAllNvmParams(1, golden).code, T_RESULT_OK);
    T_BT_ALL_NVM_PARAMS read{};
    EXPECT_EQ(bt->ReadAllNvmParams(1, &read).code, T_RESULT_OK);
    testzep::ExpectSameNvm(golden, read);
    int8_t rssiMin = 0;
    EXPECT_EQ(bt->GetNvmRssiMin(1, &rssiMin).code, T_RESULT_OK);
    EXPECT_EQ(rssiMin, -90);
}

TEST_P(ZepOverHost, EachParameterWriteReachesItsParameter) {
    const T_BT_ALL_NVM_PARAMS golden = testzep::GoldenNvm();
#define BT_NVM_SET(Camel, field, id, kind, transfer)                                               \
    EXPECT_EQ(bt->SetNvm##Camel(1, golden.field).code, T_RESULT_OK) << #field;
    BT_NVM_PARAMS(BT_NVM_SET)
#undef BT_NVM_SET
    T_BT_ALL_NVM_PARAMS read{};
    EXPECT_EQ(bt->ReadAllNvmParams(1, &read).code, T_RESULT_OK);
    testzep::ExpectSameNvm(golden, read);
}

TEST_P(ZepOverHost, APhoneReportingOtherVersionsIsNotAskedToAct) {
    Phone().SetTextVersions(SET_PCM_LOOPBACK, 2, 1);
    Phone().SetTextVersions(GET_RSSI_VALUE, 1, 2);
    const T_Result loop = bt->SetPcmLoopback(1, {1});
    EXPECT_EQ(loop.code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(loop.text,
              "\nData version mismatch. 'SET_PCM_LOOPBACK' Req: expected = 1, actual = 2");
    const T_Result rssi = bt->GetRssiValue(1, {}, nullptr);
    EXPECT_EQ(rssi.text, "\nData version mismatch. 'GET_RSSI_VALUE' Con: expected = 1, actual = 2");
    EXPECT_EQ(Received("at@bt:set_pcm_loopback"), 0u);
    EXPECT_EQ(Received("at@bt:get_rssi_value"), 0u);
    EXPECT_FALSE(host.HasLine("Enabling PCM loopback - Air->Air"));
    bt->SetPcmLoopback(1, {1});
    EXPECT_EQ(Received("at@bt:get_opcode_version"), 2u) << "versions are asked once";
}

TEST_P(ZepOverHost, AFailedHostCallIsReportedByItsTransport) {
    bt->GetReqVersion(SET_VOLTAGE_VALUES);
    Phone().InjectText(FaultSpec{Fault::HostCallFails}, "at@bt:set_voltage_values");
    host.SetLastError("Link down");
    const T_Result r = bt->SetVoltageValues(1, {1, 1, 1});
    EXPECT_EQ(r.code, HostFailureStatus());
    if (ViaSendReceive()) {
        EXPECT_EQ(r.text, "FAIL");
    } else {
        EXPECT_EQ(r.text, "Error: communication error");
        EXPECT_TRUE(host.HasLine("Link down", 1));
    }
}

TEST_P(ZepOverHost, UnacknowledgedAndGarbledRepliesGiveStatus3) {
    for (const Fault fault :
         {Fault::MissingOk, Fault::Garbage, Fault::NoReply, Fault::ValueShort, Fault::ValueExtra}) {
        Phone().InjectText(FaultSpec{fault}, "at@bt:get_rtrim_values");
        T_BT_GET_RTRIM_VALUES_CON con{};
        const T_Result r = bt->GetRtrimValues(1, &con);
        EXPECT_EQ(r.code, T_RESULT_ERROR) << static_cast<int>(fault);
        EXPECT_FALSE(r.text.empty());
        EXPECT_NE(r.text, "OK");
    }
}

TEST_P(ZepOverHost, APhoneErrorCodeReachesTheRecordAndTheChipState) {
    Phone().InjectText(FaultSpec{Fault::ErrorCode, 7}, "at@bt:get_voltage_values");
    T_BT_GET_VOLTAGE_VALUES_CON voltage{};
    EXPECT_EQ(bt->GetVoltageValues(1, &voltage).code, T_RESULT_OK);
    EXPECT_EQ(voltage.result, 7);

    Phone().Chip().hostInterface = 1;
    Phone().Chip().on = true;
    Phone().InjectText(FaultSpec{Fault::ErrorCode, 5}, "at@bt:hw_info");
    EXPECT_EQ(bt->GetHwInfo(1).code, T_RESULT_OK);
    EXPECT_EQ(bt->IsBtOn(), 0);
    EXPECT_EQ(bt->GetHostInterface(), 2);

    Phone().InjectText(FaultSpec{Fault::ErrorCode, 3}, "at@bt:write_nvm_rssi_min");
    EXPECT_EQ(bt->SetNvmRssiMin(1, -80).code, T_RESULT_OK);
}

TEST_P(ZepOverHost, ASecondBackEndAfterTheFirstWasDestroyedWorks) {
    ITransportService* transport = TransportServiceFactory(GetParam());
    bt.reset();
    bt = std::make_unique<BluetoothZep>();
    EXPECT_EQ(TransportServiceFactory(GetParam()), transport);
    EXPECT_EQ(bt->GetHwInfo(1).code, T_RESULT_OK);
    EXPECT_EQ(Received("at@bt:?"), 0u) << "the link is probed once per library life";
}

INSTANTIATE_TEST_SUITE_P(Transports, ZepOverHost, ::testing::Values(0, 2), [](const auto& info) {
    return info.param == 2 ? std::string("SendReceive") : std::string("IoLibrary");
});

} // namespace
