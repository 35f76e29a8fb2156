// The two host transports of the text protocol against the fake host's phone: what reaches
// the host slot, the request and response buffer limits, how a failed host call is reported,
// and which transport the host's interface kind picks.
#include <gtest/gtest.h>

#include <cstring>

#include "fake_host.h"
#include "phone/host_slots.h"
#include "plugin/host.h"
#include "transport/host_info.h"
#include "transport/itransportservice.h"

namespace {

using fakehost::FakeHost;
using phonesim::Fault;
using Texts = std::vector<std::string>;

// The phone's link slots, noting what the plug-in passes beside the command.
int32_t passedComHandle = 0;
std::vector<int32_t> passedToSlot175;
uint8_t Slot54(int32_t zero, uint16_t length, const uint8_t* command, uint16_t* responseLength,
               uint8_t* response, int32_t comHandle) {
    passedComHandle = comHandle;
    return PhonesimZepGeneric(zero, length, command, responseLength, response, comHandle);
}
uint8_t Slot175(const char* command, HostText* reply, int32_t a, int32_t b, int32_t c, int32_t d) {
    passedToSlot175 = {a, b, c, d};
    auto* object = reinterpret_cast<phonesim::SlotHostText*>(reply);
    return PhonesimZepSendReceive(command, object, a, b, c, d);
}

TEST(Transport, CarriesTheCommandWholeOrRefusesItAndReportsAFailedHostCall) {
    struct Row {
        const char* name;
        bool quorix; // slot 175, else slot 54
        std::string command;
        phonesim::FaultSpec phone;
        int32_t code;
        std::string text;
        const char* refusal = nullptr; // second log line of a command refused unsent
    };
    const std::string ok = "3\r\n0\r\nOK\r\n";
    const phonesim::FaultSpec answer{Fault::Verbatim, 0, ok};
    const Row rows[] = {
        {"54 plain", false, "at@bt:reset()", answer, T_RESULT_OK, ok},
        {"54 fills its buffer", false, std::string(512, '1'), answer, T_RESULT_OK, ok},
        // Regression: a command longer than the request buffer was copied past its end.
        {"54 one too long", false, std::string(513, '1'), answer, ITransportService::kNotSent, "",
         "Command too long for the link: 513 bytes, limit 512"},
        {"54 far too long", false, std::string(5000, '1'), answer, ITransportService::kNotSent, "",
         "Command too long for the link: 5000 bytes, limit 512"},
        {"54 failed call", false, "at@bt:hw_info()", {Fault::HostCallFails}, T_RESULT_FAILED, ""},
        {"175 plain", true, "at@bt:initialize(1)", answer, T_RESULT_OK, ok},
        {"175 longest HCI line", true, std::string(624, '2'), answer, T_RESULT_OK, ok},
        {"175 failed call keeps the host's text",
         true,
         "at@bt:reset()",
         {Fault::HostCallFails, 0, "BUSY"},
         T_RESULT_ERROR,
         "BUSY"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakeHost host;
        host.SetSlot(host::kZepGeneric, reinterpret_cast<void*>(&Slot54));
        host.SetSlot(host::kZepSendReceive, reinterpret_cast<void*>(&Slot175));
        host.InstallIntoPlugin();
        std::unique_ptr<ITransportService> transport;
        if (row.quorix)
            transport = std::make_unique<QuorixTransportService>();
        else
            transport = std::make_unique<VrxioTransportService>();
        host.ClearLog();
        host.Phone().ClearLogs();
        host.Phone().InjectText(row.phone);
        const T_Result r = transport->DoSendReceive(row.command);
        EXPECT_EQ(r.code, row.code);
        EXPECT_EQ(r.text, row.text);
        Texts lines = {row.command};
        if (row.refusal) lines.push_back(row.refusal);
        EXPECT_EQ(host.LogTexts(), lines);
        EXPECT_EQ(host.Log()[0].flag, 1);
        const auto& sent = host.Phone().TextLog();
        ASSERT_EQ(sent.size(), row.refusal ? 0u : 1u) << "refused commands stay unsent";
        if (row.refusal) continue;
        EXPECT_EQ(sent[0].command, row.command);
        EXPECT_EQ(sent[0].slot, row.quorix ? 175 : 54);
        if (row.quorix)
            EXPECT_EQ(passedToSlot175, (std::vector<int32_t>{1, -1, 1, 0}));
        else
            EXPECT_EQ(passedComHandle, FakeHost::kComHandle);
        host.SetSlot(row.quorix ? 175 : 54, nullptr);
        host.InstallIntoPlugin();
        EXPECT_EQ(transport->DoSendReceive(row.command).code, row.quorix ? 3 : 1) << "no slot";
    }
}

// Regression: a host reporting more than 512 response bytes made the reply read past the
// response buffer.
TEST(Transport, Slot54TakesAReportedResponseLengthAbove512As512) {
    FakeHost host;
    auto overlong = [](int32_t, uint16_t, const uint8_t*, uint16_t* length, uint8_t* response,
                       int32_t) -> uint8_t {
        std::memset(response, 'r', host::kZepBufferSize);
        *length = 65535;
        return 1;
    };
    host.SetSlot(host::kZepGeneric, reinterpret_cast<void*>(+overlong));
    host.InstallIntoPlugin();
    EXPECT_EQ(VrxioTransportService().DoSendReceive("at@bt:hw_info()").text, std::string(512, 'r'));
}

TEST(Transport, Slot175ProbesTheLinkWhenBuiltAndKeepsTheLastTextAssignedWithItsNul) {
    FakeHost host;
    host.InstallIntoPlugin();
    host.Phone().InjectText({Fault::HostCallFails});
    QuorixTransportService transport;
    EXPECT_EQ(host.Phone().LastCommand(), "at@bt:?");
    EXPECT_EQ(host.LogTexts(), (Texts{"at@bt:?", "Connection lost"}));
    EXPECT_EQ(host.Log()[1].flag, 1);
    EXPECT_EQ(transport.DoSendReceive("at@bt:reset()").code, T_RESULT_OK);

    auto twice = [](const char*, HostText* reply, int32_t, int32_t, int32_t, int32_t) -> uint8_t {
        reply->assign(reply, "first", 5);
        reply->assign(reply, "a\0b", 3);
        return 1;
    };
    host.SetSlot(host::kZepSendReceive, reinterpret_cast<void*>(+twice));
    host.InstallIntoPlugin();
    EXPECT_EQ(transport.DoSendReceive("at@bt:reset()").text, std::string("a\0b", 3));
}

// The factory keeps its transports for the process's life: this is the only case that asks
// for them.
TEST(TransportFactory, Kind2BuildsOneProbedSendReceiveTransportAndEveryOtherTheIoLibrary) {
    FakeHost host; // interface kind 2
    host.InstallIntoPlugin();
    ITransportService* quorix = HostInfo::Instance().GetTransportService();
    EXPECT_NE(dynamic_cast<QuorixTransportService*>(quorix), nullptr);
    EXPECT_EQ(TransportServiceFactory(2), quorix);
    EXPECT_EQ(host.CountLine("at@bt:?"), 1u) << "probed once";
    host.Phone().ClearLogs();
    ITransportService* vrxio = TransportServiceFactory(0);
    EXPECT_NE(dynamic_cast<VrxioTransportService*>(vrxio), nullptr);
    for (const int32_t kind : {0, 1, 3, -1, 255}) {
        host.SetInterfaceKind(kind);
        EXPECT_EQ(HostInfo::Instance().GetInterfaceKind(), kind);
        EXPECT_EQ(HostInfo::Instance().GetTransportService(), vrxio);
        EXPECT_EQ(TransportServiceFactory(kind), vrxio);
    }
    EXPECT_TRUE(host.Phone().TextLog().empty()) << "the I/O library transport sends nothing";
    host.SetSlot(host::kGetInfoAsInt, nullptr);
    host.InstallIntoPlugin();
    EXPECT_EQ(HostInfo::Instance().GetInterfaceKind(), 0) << "a host without item 31";
}

} // namespace
