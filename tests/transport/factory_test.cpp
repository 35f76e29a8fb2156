// The factory's instances live as long as the process, so these cases run in a program of
// their own; the first case must be the first to ask for the send-and-receive transport.
#include <gtest/gtest.h>

#include "local_host.h"
#include "transport/host_info.h"
#include "transport/itransportservice.h"

namespace {

using testhost::LocalHost;

TEST(TransportServiceFactory, BuildsOneSendReceiveTransportAndProbesOnce) {
    LocalHost host;
    ITransportService* first = TransportServiceFactory(2);
    ITransportService* second = TransportServiceFactory(2);
    host.interfaceKind = 2;
    ITransportService* third = HostInfo::Instance().GetTransportService();
    EXPECT_NE(dynamic_cast<QuorixTransportService*>(first), nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, third);
    EXPECT_EQ(host.Count("at@bt:?"), 1u);
    EXPECT_EQ(host.calls.size(), 1u);
}

TEST(TransportServiceFactory, EveryKindButTwoGivesTheSameIoLibraryTransport) {
    LocalHost host;
    ITransportService* vrxio = TransportServiceFactory(0);
    EXPECT_NE(dynamic_cast<VrxioTransportService*>(vrxio), nullptr);
    for (const int32_t kind : {1, 3, -1, 255})
        EXPECT_EQ(TransportServiceFactory(kind), vrxio);
    EXPECT_TRUE(host.calls.empty()) << "building the I/O library transport sends nothing";
    EXPECT_NE(TransportServiceFactory(2), vrxio);
}

TEST(HostInfo, ReadsInformationItem31AndPicksTheTransportByIt) {
    LocalHost host;
    for (const int32_t kind : {0, 1, 2, 3, -1}) {
        host.interfaceKind = kind;
        EXPECT_EQ(HostInfo::Instance().GetInterfaceKind(), kind);
        EXPECT_EQ(HostInfo::Instance().GetTransportService(), TransportServiceFactory(kind));
    }
    host.interfaceKind = 2;
    EXPECT_NE(dynamic_cast<QuorixTransportService*>(HostInfo::Instance().GetTransportService()),
              nullptr);
}

TEST(HostInfo, AHostWithoutTheInformationSlotGivesKind0) {
    LocalHost host;
    host.SetSlot(host::kGetInfoAsInt, nullptr);
    EXPECT_EQ(HostInfo::Instance().GetInterfaceKind(), 0);
}

} // namespace
