// The reporting step and the per-opcode version table of the text back-end.
#include <gtest/gtest.h>

#include "local_host.h"
#include "scripted_transport.h"
#include "zep/zep_engine.h"

namespace {

using testhost::LocalHost;
using testzep::ScriptedTransport;

struct ReportCase {
    uint8_t status;
    int32_t phoneCode;
    const char* hostError;
    const char* text; // of the result
    const char* line; // logged, nullptr for none
    uint8_t flag;
};

// The status is kept; the text and the one log line depend on it.
TEST(ReportResult, TurnsEachStatusIntoItsTextAndLogLine) {
    const ReportCase cases[] = {
        {0, 5, "No errors", "kept", "OK", 1},
        {1, 0, "No errors", "Error: communication error", "Error!", 0},
        {1, 0, "COM port closed", "Error: communication error", "COM port closed", 1},
        {3, 1, "No errors", "Not supported", "Not supported", 1},
        {3, -1, "No errors", "FAIL", "FAIL", 1},
        {3, 7, "No errors", "CUSTOM ERROR 7", "CUSTOM ERROR 7", 1},
        {3, -12, "No errors", "CUSTOM ERROR -12", "CUSTOM ERROR -12", 1},
        // Regression: an unacknowledged reply with phone code 0 was reported as "OK".
        {3, 0, "No errors", "FAIL", "FAIL", 1},
        {2, 3, "No errors", "kept", nullptr, 0},
        {4, 3, "No errors", "kept", nullptr, 0},
    };
    for (const ReportCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.status) + " " + std::to_string(c.phoneCode));
        LocalHost host;
        host.lastError = c.hostError;
        T_Result r{c.status, "kept"};
        ReportResult(r, c.phoneCode);
        EXPECT_EQ(r.code, c.status);
        EXPECT_EQ(r.text, c.text);
        ASSERT_EQ(host.lines.size(), c.line ? 1u : 0u);
        if (c.line) {
            EXPECT_EQ(host.lines[0].text, c.line);
            EXPECT_EQ(host.lines[0].flag, c.flag);
        }
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

TEST_F(VersionTable, AFailedOrUnacknowledgedQueryIsNotStoredAndIsAskedAgain) {
    link.FailVersions(RESET);
    OpcodeVersions v{9, 9, 9};
    const T_Result r = table.GetOpcodeVersions(RESET, &v);
    EXPECT_EQ(r.code, T_RESULT_FAILED);
    EXPECT_EQ(r.text, "Error: communication error");
    EXPECT_EQ(v.request, 0);
    EXPECT_EQ(v.confirm, 0);
    EXPECT_EQ(host.Count("Opcode versions for 'RESET' is req=0 con=0"), 0u);
    link.versions[RESET] = T_Result{0, "1\r\n1\r\n0\r\n"};
    EXPECT_EQ(table.GetOpcodeVersions(RESET, nullptr).code, T_RESULT_ERROR);
    EXPECT_FALSE(table.IsKnown(RESET));
    link.versions.erase(RESET);
    EXPECT_EQ(table.GetReqVersion(RESET), 1);
    EXPECT_EQ(link.Count("at@bt:get_opcode_version"), 3u);
    EXPECT_TRUE(table.IsKnown(RESET));
}

TEST_F(VersionTable, OpcodesPastTheTableAreAskedEachTimeWithoutHarm) {
    link.Versions(40, 1, 1);
    EXPECT_EQ(table.GetReqVersion(40), 1);
    EXPECT_EQ(table.GetReqVersion(65535), 1);
    EXPECT_EQ(table.GetReqVersion(40), 1);
    EXPECT_EQ(link.Count("at@bt:get_opcode_version"), 3u);
}

struct CheckCase {
    uint16_t opcode;
    int request, confirm; // -1: the query fails
    char check;           // 'R'eq, 'C'on or both 'V'ersions
    const char* mismatch; // nullptr: the check passes
};

TEST(VersionChecks, NameTheQuotedOpcodeAndTheRecordSideAfterOneQuery) {
    const CheckCase cases[] = {
        {SET_RTRIM_MANUAL_VALUES, 2, 1, 'R',
         "'SET_RTRIM_MANUAL_VALUES' Req: expected = 1, actual = 2"},
        {SET_RTRIM_MANUAL_VALUES, 2, 1, 'C', nullptr},
        {GET_RTRIM_VALUES, 1, 3, 'C', "'GET_RTRIM_VALUES' Con: expected = 1, actual = 3"},
        {GET_RSSI_VALUE, 1, 2, 'V', "'GET_RSSI_VALUE' Con: expected = 1, actual = 2"},
        {HCI_COMMAND, 2, 2, 'V', "'HCI_COMMAND' Req: expected = 1, actual = 2"},
        {RX_LE_END, 1, 1, 'V', nullptr},
        {RESET, -1, -1, 'R', "'RESET' Req: expected = 1, actual = 0"},
    };
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.opcode) + c.check);
        LocalHost host;
        ScriptedTransport link;
        MANAGED_IF::bt command{&link};
        OpcodeVersionTable table{command};
        if (c.request < 0)
            link.FailVersions(c.opcode);
        else
            link.Versions(c.opcode, c.request, c.confirm);
        T_Result r{T_RESULT_ERROR, ""};
        if (c.check == 'R') table.CheckReqVersion(1, c.opcode, r);
        if (c.check == 'C') table.CheckConVersion(1, c.opcode, r);
        if (c.check == 'V') table.CheckVersions(1, c.opcode, r);
        EXPECT_EQ(r.code, c.mismatch ? T_RESULT_VERSION_MISMATCH : T_RESULT_OK);
        if (c.mismatch) {
            EXPECT_EQ(r.text, std::string("\nData version mismatch. ") + c.mismatch);
        }
        EXPECT_EQ(link.Count("at@bt:get_opcode_version"), 1u);
    }
}

} // namespace
