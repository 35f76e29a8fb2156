// The two host transports of the text protocol against a local host: what reaches the host
// slot, the request and response buffer limits, how a failed host call is reported, and
// which transport the host's interface kind picks.
#include <gtest/gtest.h>

#include "local_host.h"
#include "transport/host_info.h"
#include "transport/itransportservice.h"

namespace {

using testhost::LocalHost;

TEST(Transport, CarriesTheCommandWholeOrRefusesItAndReportsAFailedHostCall) {
    struct Row {
        const char* name;
        bool quorix; // slot 175, else slot 54
        std::string command, reply;
        bool hostOk;
        int32_t code;
        std::string text;
        const char* refusal = nullptr; // second log line of a command refused unsent
    };
    const std::string ok = "3\r\n0\r\nOK\r\n";
    const Row rows[] = {
        {"54 plain", false, "at@bt:reset()", ok, true, T_RESULT_OK, ok},
        {"54 fills its buffer", false, std::string(512, '1'), ok, true, T_RESULT_OK, ok},
        // Regression: a command longer than the request buffer was copied past its end.
        {"54 one too long", false, std::string(513, '1'), ok, true, ITransportService::kNotSent, "",
         "Command too long for the link: 513 bytes, limit 512"},
        {"54 far too long", false, std::string(5000, '1'), ok, true, ITransportService::kNotSent,
         "", "Command too long for the link: 5000 bytes, limit 512"},
        {"54 failed call", false, "at@bt:hw_info()", ok, false, T_RESULT_FAILED, ""},
        {"175 plain", true, "at@bt:initialize(1)", ok, true, T_RESULT_OK, ok},
        {"175 longest HCI line", true, std::string(624, '2'), ok, true, T_RESULT_OK, ok},
        {"175 failed call keeps the host's text", true, "at@bt:reset()", "BUSY", false,
         T_RESULT_ERROR, "BUSY"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LocalHost host;
        host.phone = [&row](const std::string&, std::string& reply) {
            reply = row.reply;
            return row.hostOk;
        };
        std::unique_ptr<ITransportService> transport;
        if (row.quorix)
            transport = std::make_unique<QuorixTransportService>();
        else
            transport = std::make_unique<VrxioTransportService>();
        host.calls.clear();
        host.lines.clear();
        const T_Result r = transport->DoSendReceive(row.command);
        EXPECT_EQ(r.code, row.code);
        EXPECT_EQ(r.text, row.text);
        std::vector<std::string> lines = {row.command};
        if (row.refusal) lines.push_back(row.refusal);
        EXPECT_EQ(host.Texts(), lines);
        EXPECT_EQ(host.lines[0].flag, 1);
        ASSERT_EQ(host.calls.size(), row.refusal ? 0u : 1u) << "refused commands stay unsent";
        if (row.refusal) continue;
        EXPECT_EQ(host.calls[0].command, row.command);
        EXPECT_EQ(host.calls[0].slot, row.quorix ? 175 : 54);
        if (row.quorix)
            EXPECT_EQ(host.calls[0].extra, (std::vector<int32_t>{1, -1, 1, 0}));
        else
            EXPECT_EQ(host.calls[0].comHandle, LocalHost::kComHandle);
        host.SetSlot(row.quorix ? 175 : 54, nullptr);
        EXPECT_EQ(transport->DoSendReceive(row.command).code, row.quorix ? 3 : 1) << "no slot";
    }
}

// Regression: a host reporting more than 512 response bytes made the reply read past the
// response buffer.
TEST(Transport, Slot54TakesAReportedResponseLengthAbove512As512) {
    LocalHost host;
    host.phone = [](const std::string&, std::string& reply) {
        reply = std::string(600, 'r');
        return true;
    };
    host.reportedLength = 65535;
    EXPECT_EQ(VrxioTransportService().DoSendReceive("at@bt:hw_info()").text, std::string(512, 'r'));
}

TEST(Transport, Slot175ProbesTheLinkWhenBuiltAndKeepsTheLastTextAssignedWithItsNul) {
    LocalHost host;
    bool up = false;
    host.phone = [&up](const std::string&, std::string& reply) {
        reply = "0\r\nOK\r\n";
        return up;
    };
    QuorixTransportService transport;
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].command, "at@bt:?");
    EXPECT_EQ(host.Texts(), (std::vector<std::string>{"at@bt:?", "Connection lost"}));
    EXPECT_EQ(host.lines[1].flag, 1);
    up = true;
    EXPECT_EQ(transport.DoSendReceive("at@bt:reset()").code, T_RESULT_OK);

    auto twice = [](const char*, HostText* reply, int32_t, int32_t, int32_t, int32_t) -> uint8_t {
        reply->assign(reply, "first", 5);
        reply->assign(reply, "a\0b", 3);
        return 1;
    };
    host.SetSlot(host::kZepSendReceive,
                 reinterpret_cast<void*>(static_cast<ZEP_SendReceive_t>(twice)));
    EXPECT_EQ(transport.DoSendReceive("at@bt:reset()").text, std::string("a\0b", 3));
}

// The factory keeps its transports for the process's life: this is the only case that asks
// for them.
TEST(TransportFactory, Kind2BuildsOneProbedSendReceiveTransportAndEveryOtherTheIoLibrary) {
    LocalHost host;
    host.interfaceKind = 2;
    ITransportService* quorix = HostInfo::Instance().GetTransportService();
    EXPECT_NE(dynamic_cast<QuorixTransportService*>(quorix), nullptr);
    EXPECT_EQ(TransportServiceFactory(2), quorix);
    EXPECT_EQ(host.Count("at@bt:?"), 1u) << "probed once";
    host.calls.clear();
    ITransportService* vrxio = TransportServiceFactory(0);
    EXPECT_NE(dynamic_cast<VrxioTransportService*>(vrxio), nullptr);
    for (const int32_t kind : {0, 1, 3, -1, 255}) {
        host.interfaceKind = kind;
        EXPECT_EQ(HostInfo::Instance().GetInterfaceKind(), kind);
        EXPECT_EQ(HostInfo::Instance().GetTransportService(), vrxio);
        EXPECT_EQ(TransportServiceFactory(kind), vrxio);
    }
    EXPECT_TRUE(host.calls.empty()) << "the I/O library transport sends nothing when built";
    host.SetSlot(host::kGetInfoAsInt, nullptr);
    EXPECT_EQ(HostInfo::Instance().GetInterfaceKind(), 0) << "a host without item 31";
}

} // namespace
