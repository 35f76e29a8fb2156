// The reporting step and the per-opcode version table of the text back-end.
#include <gtest/gtest.h>

#include "local_host.h"
#include "scripted_transport.h"
#include "zep/zep_engine.h"

namespace {

using testhost::LocalHost;
using testzep::ScriptedTransport;

TEST(ReportResult, Status0LogsOneOkAndKeepsTheText) {
    LocalHost host;
    T_Result r{T_RESULT_OK, "kept"};
    ReportResult(r, 5);
    EXPECT_EQ(r.code, T_RESULT_OK);
    EXPECT_EQ(r.text, "kept");
    ASSERT_EQ(host.lines.size(), 1u);
    EXPECT_EQ(host.lines[0].text, "OK");
    EXPECT_EQ(host.lines[0].flag, 1);
}

TEST(ReportResult, Status1ReportsTheHostErrorThenSetsCommunicationError) {
    for (const auto& [hostText, line, flag] :
         {std::tuple{"No errors", "Error!", 0},
          std::tuple{"COM port closed", "COM port closed", 1}}) {
        LocalHost host;
        host.lastError = hostText;
        T_Result r{T_RESULT_FAILED, ""};
        ReportResult(r, 0);
        EXPECT_EQ(r.code, T_RESULT_FAILED);
        EXPECT_EQ(r.text, "Error: communication error");
        ASSERT_EQ(host.lines.size(), 1u);
        EXPECT_EQ(host.lines[0].text, line);
        EXPECT_EQ(host.lines[0].flag, flag);
    }
}

TEST(ReportResult, Status3LogsTheTextOfThePhoneCode) {
    for (const auto& [code, text] :
         {std::pair{1, "Not supported"}, std::pair{-1, "FAIL"}, std::pair{7, "CUSTOM ERROR 7"},
          std::pair{-12, "CUSTOM ERROR -12"}}) {
        LocalHost host;
        T_Result r{T_RESULT_ERROR, ""};
        ReportResult(r, code);
        EXPECT_EQ(r.code, T_RESULT_ERROR);
        EXPECT_EQ(r.text, text);
        ASSERT_EQ(host.lines.size(), 1u);
        EXPECT_EQ(host.lines[0].text, text);
        EXPECT_EQ(host.lines[0].flag, 1);
    }
}

// Regression: an unacknowledged reply whose phone code was 0 was logged and returned as "OK".
TEST(ReportResult, Status3WithPhoneCode0IsNotReportedAsOk) {
    LocalHost host;
    T_Result r{T_RESULT_ERROR, ""};
    ReportResult(r, 0);
    EXPECT_EQ(r.text, "FAIL");
    EXPECT_EQ(host.Texts(), std::vector<std::string>{"FAIL"});
}

TEST(ReportResult, OtherStatusesChangeNothing) {
    for (const uint8_t status : {uint8_t{2}, uint8_t{4}, uint8_t{9}}) {
        LocalHost host;
        T_Result r{status, "mismatch"};
        ReportResult(r, 3);
        EXPECT_EQ(r.code, status);
        EXPECT_EQ(r.text, "mismatch");
        EXPECT_TRUE(host.lines.empty());
    }
}

class VersionTable : public ::testing::Test {
protected:
    LocalHost host;
    ScriptedTransport link;
    MANAGED_IF::bt command{&link};
    OpcodeVersionTable table{command};
};

TEST_F(VersionTable, AsksThePhoneOnFirstUseOnlyAndLogsIt) {
    link.Versions(HW_INFO, 1, 2);
    OpcodeVersions v;
    EXPECT_EQ(table.GetOpcodeVersions(HW_INFO, &v).code, T_RESULT_OK);
    EXPECT_EQ(v.request, 1);
    EXPECT_EQ(v.confirm, 2);
    EXPECT_EQ(link.sent, std::vector<std::string>{"at@bt:get_opcode_version(9)"});
    EXPECT_EQ(host.Texts(),
              (std::vector<std::string>{"Get header version for opcode 'HW_INFO'", "OK",
                                        "Opcode versions for 'HW_INFO' is req=1 con=2"}));
    host.lines.clear();
    OpcodeVersions again;
    EXPECT_EQ(table.GetOpcodeVersions(HW_INFO, &again).code, T_RESULT_OK);
    EXPECT_EQ(again.confirm, 2);
    EXPECT_EQ(link.sent.size(), 1u);
    EXPECT_TRUE(host.lines.empty());
    EXPECT_TRUE(table.IsKnown(HW_INFO));
}

TEST_F(VersionTable, KeepsEachOpcodeApart) {
    link.Versions(RESET, 1, 1);
    link.Versions(INITIALIZE, 3, 4);
    EXPECT_EQ(table.GetReqVersion(RESET), 1);
    EXPECT_EQ(table.GetReqVersion(INITIALIZE), 3);
    EXPECT_EQ(table.GetConVersion(INITIALIZE), 4);
    EXPECT_EQ(link.sent.size(), 2u);
}

TEST_F(VersionTable, AFailedQueryIsNotStoredAndIsAskedAgain) {
    link.FailVersions(RESET);
    OpcodeVersions v{9, 9, 9};
    const T_Result r = table.GetOpcodeVersions(RESET, &v);
    EXPECT_EQ(r.code, T_RESULT_FAILED);
    EXPECT_EQ(r.text, "Error: communication error");
    EXPECT_EQ(v.request, 0);
    EXPECT_EQ(v.confirm, 0);
    EXPECT_FALSE(table.IsKnown(RESET));
    EXPECT_EQ(host.Count("Opcode versions for 'RESET' is req=0 con=0"), 0u);
    link.versions.erase(RESET);
    EXPECT_EQ(table.GetReqVersion(RESET), 1);
    EXPECT_EQ(link.Count("at@bt:get_opcode_version"), 2u);
    EXPECT_TRUE(table.IsKnown(RESET));
}

TEST_F(VersionTable, AnUnacknowledgedQueryIsNotStored) {
    link.versions[RESET] = T_Result{0, "1\r\n1\r\n0\r\n"};
    EXPECT_EQ(table.GetOpcodeVersions(RESET, nullptr).code, T_RESULT_ERROR);
    EXPECT_FALSE(table.IsKnown(RESET));
}

TEST_F(VersionTable, OpcodesPastTheTableAreAskedEachTimeWithoutHarm) {
    link.Versions(40, 1, 1);
    EXPECT_EQ(table.GetReqVersion(40), 1);
    EXPECT_EQ(table.GetReqVersion(65535), 1);
    EXPECT_EQ(table.GetReqVersion(40), 1);
    EXPECT_EQ(link.Count("at@bt:get_opcode_version"), 3u);
    EXPECT_FALSE(table.IsKnown(40));
}

TEST_F(VersionTable, ChecksNameTheQuotedOpcodeAndTheRecordSide) {
    link.Versions(SET_RTRIM_MANUAL_VALUES, 2, 1);
    link.Versions(GET_RTRIM_VALUES, 1, 3);
    T_Result r;
    table.CheckReqVersion(1, SET_RTRIM_MANUAL_VALUES, r);
    EXPECT_EQ(r.code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(r.text,
              "\nData version mismatch. 'SET_RTRIM_MANUAL_VALUES' Req: expected = 1, actual = 2");
    T_Result c;
    table.CheckConVersion(1, GET_RTRIM_VALUES, c);
    EXPECT_EQ(c.code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(c.text, "\nData version mismatch. 'GET_RTRIM_VALUES' Con: expected = 1, actual = 3");
    T_Result ok{T_RESULT_ERROR, ""};
    table.CheckConVersion(1, SET_RTRIM_MANUAL_VALUES, ok);
    EXPECT_EQ(ok.code, T_RESULT_OK);
}

TEST_F(VersionTable, CheckVersionsAsksOnceAndNamesConWhenOnlyTheConfirmDiffers) {
    link.Versions(GET_RSSI_VALUE, 1, 2);
    T_Result r;
    table.CheckVersions(1, GET_RSSI_VALUE, r);
    EXPECT_EQ(r.code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(r.text, "\nData version mismatch. 'GET_RSSI_VALUE' Con: expected = 1, actual = 2");
    EXPECT_EQ(link.Count("at@bt:get_opcode_version"), 1u);

    link.Versions(HCI_COMMAND, 2, 2);
    T_Result req;
    table.CheckVersions(1, HCI_COMMAND, req);
    EXPECT_EQ(req.text, "\nData version mismatch. 'HCI_COMMAND' Req: expected = 1, actual = 2");

    link.Versions(RX_LE_END, 1, 1);
    T_Result both;
    table.CheckVersions(1, RX_LE_END, both);
    EXPECT_EQ(both.code, T_RESULT_OK);
}

TEST_F(VersionTable, AFailedQueryRefusesTheCheckAsAMismatch) {
    link.FailVersions(RESET);
    T_Result r;
    table.CheckReqVersion(1, RESET, r);
    EXPECT_EQ(r.code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(r.text, "\nData version mismatch. 'RESET' Req: expected = 1, actual = 0");
}

} // namespace
