// The two host transports of the text protocol against a local host: what reaches the host
// slot, the request and response buffer limits, and how a failed host call is reported.
#include <gtest/gtest.h>

#include "local_host.h"
#include "transport/itransportservice.h"

namespace {

using testhost::LocalHost;

bool Answer(const char* text, bool ok, std::string& reply) {
    reply = text;
    return ok;
}

TEST(VrxioTransport, SendsTheCommandBytesAsGivenAndReturnsTheReply) {
    LocalHost host;
    host.phone = [](const std::string&, std::string& reply) {
        return Answer("3\r\n0\r\nOK\r\n", true, reply);
    };
    VrxioTransportService transport;
    const T_Result r = transport.DoSendReceive("at@bt:reset()");
    EXPECT_EQ(r.code, T_RESULT_OK);
    EXPECT_EQ(r.text, "3\r\n0\r\nOK\r\n");
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].slot, host::kZepGeneric);
    EXPECT_EQ(host.calls[0].command, "at@bt:reset()");
    EXPECT_EQ(host.calls[0].comHandle, LocalHost::kComHandle);
    ASSERT_EQ(host.lines.size(), 1u);
    EXPECT_EQ(host.lines[0].text, "at@bt:reset()");
    EXPECT_EQ(host.lines[0].flag, 1);
}

// Regression: a command longer than the 512-byte request buffer was copied past its end.
// The longest HCI command line is 624 characters.
TEST(VrxioTransport, SendsUpTo512BytesWholeAndRefusesLongerCommandsUnsent) {
    for (const std::size_t length : {512u, 513u, 624u, 5000u}) {
        SCOPED_TRACE(length);
        LocalHost host;
        VrxioTransportService transport;
        const std::string command(length, '1');
        const T_Result r = transport.DoSendReceive(command);
        if (length == 512) {
            EXPECT_EQ(r.code, T_RESULT_OK);
            ASSERT_EQ(host.calls.size(), 1u);
            EXPECT_EQ(host.calls[0].command, command);
            continue;
        }
        EXPECT_EQ(r.code, ITransportService::kNotSent);
        EXPECT_EQ(r.text, "");
        EXPECT_TRUE(host.calls.empty());
        ASSERT_EQ(host.lines.size(), 2u);
        EXPECT_EQ(host.lines[1].text,
                  "Command too long for the link: " + std::to_string(length) + " bytes, limit 512");
        EXPECT_EQ(host.lines[1].flag, 1);
    }
}

// Regression: a host reporting more than 512 response bytes made the reply read past the
// response buffer.
TEST(VrxioTransport, TakesAReportedResponseLengthAbove512As512) {
    LocalHost host;
    host.phone = [](const std::string&, std::string& reply) {
        reply = std::string(600, 'r');
        return true;
    };
    host.reportedLength = 65535;
    VrxioTransportService transport;
    const T_Result r = transport.DoSendReceive("at@bt:hw_info()");
    EXPECT_EQ(r.code, T_RESULT_OK);
    EXPECT_EQ(r.text, std::string(512, 'r'));
}

TEST(VrxioTransport, AFailedOrMissingHostSlotGivesCode1AndNoText) {
    LocalHost host;
    host.phone = [](const std::string&, std::string& reply) {
        return Answer("0\r\nOK\r\n", false, reply);
    };
    VrxioTransportService transport;
    const T_Result r = transport.DoSendReceive("at@bt:hw_info()");
    EXPECT_EQ(r.code, T_RESULT_FAILED);
    EXPECT_EQ(r.text, "");
    host.SetSlot(host::kZepGeneric, nullptr);
    EXPECT_EQ(transport.DoSendReceive("at@bt:hw_info()").code, T_RESULT_FAILED);
}

TEST(QuorixTransport, ProbesTheLinkWhenBuiltAndLogsConnectionLostIfItFails) {
    LocalHost host;
    bool up = false;
    host.phone = [&](const std::string&, std::string& reply) {
        return Answer("0\r\nOK\r\n", up, reply);
    };
    QuorixTransportService transport;
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].slot, host::kZepSendReceive);
    EXPECT_EQ(host.calls[0].command, "at@bt:?");
    EXPECT_EQ(host.Texts(), (std::vector<std::string>{"at@bt:?", "Connection lost"}));
    EXPECT_EQ(host.lines[1].flag, 1);
    up = true;
    EXPECT_EQ(transport.DoSendReceive("at@bt:reset()").code, T_RESULT_OK);
}

TEST(QuorixTransport, PassesTheWholeCommandAndTheFixedArgumentsToTheHost) {
    LocalHost host;
    QuorixTransportService transport;
    host.calls.clear();
    const std::string longest(624, '2');
    for (const std::string& command : {std::string("at@bt:initialize(1)"), longest}) {
        const T_Result r = transport.DoSendReceive(command);
        EXPECT_EQ(r.code, T_RESULT_OK);
        EXPECT_EQ(r.text, "0\r\nOK\r\n");
        EXPECT_EQ(host.calls.back().command, command);
        EXPECT_EQ(host.calls.back().extra, (std::vector<int32_t>{1, -1, 1, 0}));
    }
}

TEST(QuorixTransport, AFailedHostCallGivesCode3WithTheReplyTheHostFilledIn) {
    LocalHost host;
    QuorixTransportService transport;
    host.phone = [](const std::string&, std::string& reply) {
        return Answer("BUSY", false, reply);
    };
    const T_Result r = transport.DoSendReceive("at@bt:reset()");
    EXPECT_EQ(r.code, T_RESULT_ERROR);
    EXPECT_EQ(r.text, "BUSY");
    host.SetSlot(host::kZepSendReceive, nullptr);
    EXPECT_EQ(transport.DoSendReceive("at@bt:reset()").code, T_RESULT_ERROR);
}

TEST(QuorixTransport, KeepsTheLastTextTheHostAssignedAndBytesAfterANul) {
    LocalHost host;
    QuorixTransportService transport;
    auto twice = [](const char*, HostText* reply, int32_t, int32_t, int32_t, int32_t) -> uint8_t {
        reply->assign(reply, "first", 5);
        reply->assign(reply, "a\0b", 3);
        return 1;
    };
    host.SetSlot(host::kZepSendReceive,
                 reinterpret_cast<void*>(static_cast<ZEP_SendReceive_t>(twice)));
    EXPECT_EQ(transport.DoSendReceive("at@bt:reset()").text, std::string("a\0b", 3));
}

} // namespace
