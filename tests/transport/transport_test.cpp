#include <gtest/gtest.h>

#include "local_host.h"
#include "transport/itransportservice.h"

namespace {

using testhost::LocalHost;

std::string Repeat(char c, std::size_t n) {
    return std::string(n, c);
}

TEST(VrxioTransport, SendsTheCommandBytesAsGivenAndReturnsTheReply) {
    LocalHost host;
    host.phone = [](const std::string&, std::string& reply) {
        reply = "3\r\n0\r\nOK\r\n";
        return true;
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

TEST(VrxioTransport, SendsA512ByteCommandWhole) {
    LocalHost host;
    VrxioTransportService transport;
    const std::string command = "at@bt:" + Repeat('x', 512 - 6);
    EXPECT_EQ(transport.DoSendReceive(command).code, T_RESULT_OK);
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].command, command);
}

// Regression: a command longer than the request buffer was copied past its end.
TEST(VrxioTransport, RefusesACommandLongerThanTheRequestBufferWithoutSendingIt) {
    for (const std::size_t length : {513u, 624u, 5000u}) {
        LocalHost host;
        VrxioTransportService transport;
        const T_Result r = transport.DoSendReceive(Repeat('1', length));
        EXPECT_EQ(r.code, T_RESULT_FAILED) << length;
        EXPECT_EQ(r.text, "");
        EXPECT_TRUE(host.calls.empty()) << length;
        ASSERT_EQ(host.lines.size(), 2u);
        EXPECT_EQ(host.lines[0].text, Repeat('1', length));
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
        reply = Repeat('r', 600);
        return true;
    };
    host.reportedLength = 65535;
    VrxioTransportService transport;
    const T_Result r = transport.DoSendReceive("at@bt:hw_info()");
    EXPECT_EQ(r.code, T_RESULT_OK);
    EXPECT_EQ(r.text, Repeat('r', 512));
}

TEST(VrxioTransport, AnEmptyReplyIsSuccessWithEmptyText) {
    LocalHost host;
    host.phone = [](const std::string&, std::string& reply) {
        reply.clear();
        return true;
    };
    VrxioTransportService transport;
    const T_Result r = transport.DoSendReceive("at@bt:hw_info()");
    EXPECT_EQ(r.code, T_RESULT_OK);
    EXPECT_EQ(r.text, "");
}

TEST(VrxioTransport, AFailedHostCallGivesCode1AndDropsWhatTheHostWrote) {
    LocalHost host;
    host.phone = [](const std::string&, std::string& reply) {
        reply = "0\r\nOK\r\n";
        return false;
    };
    VrxioTransportService transport;
    const T_Result r = transport.DoSendReceive("at@bt:hw_info()");
    EXPECT_EQ(r.code, T_RESULT_FAILED);
    EXPECT_EQ(r.text, "");
}

TEST(VrxioTransport, AHostWithoutTheSlotFailsTheCall) {
    LocalHost host;
    host.SetSlot(host::kZepGeneric, nullptr);
    VrxioTransportService transport;
    EXPECT_EQ(transport.DoSendReceive("at@bt:hw_info()").code, T_RESULT_FAILED);
}

TEST(ITransportService, SendGivesTheCodeAndSendReceiveTheWholeResult) {
    LocalHost host;
    VrxioTransportService transport;
    EXPECT_EQ(transport.Send("at@bt:reset()"), T_RESULT_OK);
    const T_Result r = transport.SendReceive("at@bt:reset()");
    EXPECT_EQ(r.code, T_RESULT_OK);
    EXPECT_EQ(r.text, "0\r\nOK\r\n");
    host.phone = [](const std::string&, std::string&) { return false; };
    EXPECT_EQ(transport.Send("at@bt:reset()"), T_RESULT_FAILED);
}

TEST(QuorixTransport, ProbesTheLinkOnceWhenBuilt) {
    LocalHost host;
    QuorixTransportService transport;
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].slot, host::kZepSendReceive);
    EXPECT_EQ(host.calls[0].command, "at@bt:?");
    EXPECT_EQ(host.Texts(), std::vector<std::string>{"at@bt:?"});
}

TEST(QuorixTransport, LogsConnectionLostWhenTheProbeFailsAndStillWorks) {
    LocalHost host;
    bool up = false;
    host.phone = [&](const std::string&, std::string& reply) {
        reply = "0\r\nOK\r\n";
        return up;
    };
    QuorixTransportService transport;
    EXPECT_EQ(host.Texts(), (std::vector<std::string>{"at@bt:?", "Connection lost"}));
    EXPECT_EQ(host.lines[1].flag, 1);
    up = true;
    EXPECT_EQ(transport.DoSendReceive("at@bt:reset()").code, T_RESULT_OK);
}

TEST(QuorixTransport, PassesTheCommandAndTheFixedArgumentsToTheHost) {
    LocalHost host;
    QuorixTransportService transport;
    host.calls.clear();
    const T_Result r = transport.DoSendReceive("at@bt:initialize(1)");
    EXPECT_EQ(r.code, T_RESULT_OK);
    EXPECT_EQ(r.text, "0\r\nOK\r\n");
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].command, "at@bt:initialize(1)");
    EXPECT_EQ(host.calls[0].extra, (std::vector<int32_t>{1, -1, 1, 0}));
}

TEST(QuorixTransport, AFailedHostCallGivesCode3WithTheReplyTheHostFilledIn) {
    LocalHost host;
    QuorixTransportService transport;
    host.phone = [](const std::string&, std::string& reply) {
        reply = "BUSY";
        return false;
    };
    const T_Result r = transport.DoSendReceive("at@bt:reset()");
    EXPECT_EQ(r.code, T_RESULT_ERROR);
    EXPECT_EQ(r.text, "BUSY");
}

TEST(QuorixTransport, KeepsTheLastTextTheHostAssignedAndBytesAfterANul) {
    LocalHost host;
    QuorixTransportService transport;
    auto twice = [](const char* command, HostText* reply, int32_t, int32_t, int32_t,
                    int32_t) -> uint8_t {
        reply->assign(reply, "first", 5);
        reply->assign(reply, std::string_view(command).size() > 100 ? "" : "a\0b", 3);
        return 1;
    };
    host.SetSlot(host::kZepSendReceive,
                 reinterpret_cast<void*>(static_cast<ZEP_SendReceive_t>(twice)));
    EXPECT_EQ(transport.DoSendReceive("at@bt:reset()").text, std::string("a\0b", 3));
}

TEST(QuorixTransport, AHostWithoutTheSlotFailsWithCode3) {
    LocalHost host;
    host.SetSlot(host::kZepSendReceive, nullptr);
    QuorixTransportService transport;
    EXPECT_EQ(host.Count("Connection lost"), 1u);
    EXPECT_EQ(transport.DoSendReceive("at@bt:reset()").code, T_RESULT_ERROR);
}

} // namespace
