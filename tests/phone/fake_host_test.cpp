// The tests' fake host: its slots, its log and its installation into the plug-in.

#include <gtest/gtest.h>

#include "fake_host.h"
#include "host_slots.h"
#include "plugin/host.h"
#include "plugin/plugin.h"

using fakehost::FakeHost;

namespace {

template <typename F> F Entry(const FakeHost& host, int slot) {
    return reinterpret_cast<F>(host.Slot(slot));
}

} // namespace

TEST(FakeHostSlots, ServesTheSevenSlotsThePluginCalls) {
    FakeHost host;
    for (int slot = 0; slot < FakeHost::kSlots; ++slot) {
        const bool served = slot == 3 || slot == 18 || slot == 54 || slot == 147 || slot == 149 ||
                            slot == 174 || slot == 175;
        EXPECT_EQ(host.Slot(slot) != nullptr, served) << "slot " << slot;
    }
    EXPECT_EQ(host.TableBytes(), static_cast<int32_t>(216 * sizeof(void*)));
}

TEST(FakeHostSlots, LastErrorDefaultsToNoErrorsAndIsSettable) {
    FakeHost host;
    auto lastError = Entry<VRX_get_last_error_t>(host, 3);
    EXPECT_STREQ(lastError(), "No errors");
    host.SetLastError("COM port closed");
    EXPECT_STREQ(lastError(), "COM port closed");
}

TEST(FakeHostSlots, InformationItem31IsTheInterfaceKind) {
    FakeHost host;
    auto info = Entry<TSI_GetInfoAsInt_t>(host, 174);
    int32_t value = -5;
    EXPECT_EQ(info(31, &value), 1);
    EXPECT_EQ(value, 2);
    host.SetInterfaceKind(0);
    EXPECT_EQ(info(31, &value), 1);
    EXPECT_EQ(value, 0);
    value = -5;
    EXPECT_EQ(info(30, &value), 0);
    EXPECT_EQ(value, -5);
    EXPECT_EQ(host.InfoItemsAsked(), (std::vector<int32_t>{31, 31, 30}));
}

TEST(FakeHostSlots, RecordsTheTimeoutCalls) {
    FakeHost host;
    Entry<VRXIO_SetTimeOutDelay_t>(host, 149)(5);
    Entry<VRXIO_ResetTimeoutDelay_t>(host, 147)();
    Entry<VRXIO_SetTimeOutDelay_t>(host, 149)(9);
    EXPECT_EQ(host.TimeoutCalls(), (std::vector<int32_t>{5, 9}));
    EXPECT_EQ(host.ResetTimeoutCalls(), 1);
}

TEST(FakeHostSlots, LinkSlotsReachItsPhone) {
    FakeHost host;
    uint8_t confirm[host::kConfirmBufferSize] = {};
    uint16_t length = 0;
    const uint8_t start[] = {1, 1};
    EXPECT_EQ(Entry<VRX_bluetooth_generic_t>(host, 18)(9, 2, start, &length, confirm, 7), 1);
    EXPECT_TRUE(host.Phone().Chip().on);
    EXPECT_EQ(host.Phone().BinaryCount(9), 1u);
}

TEST(FakeHostLog, RecordsLinesWithTheirFlagsAndNullAsEmpty) {
    FakeHost host;
    host.LogCallback()("Resetting HCI interface", 1);
    host.LogCallback()("Error!", 0);
    host.LogCallback()(nullptr, 1);
    ASSERT_EQ(host.Log().size(), 3u);
    EXPECT_EQ(host.Log()[1].flag, 0);
    EXPECT_EQ(host.LogTexts(), (std::vector<std::string>{"Resetting HCI interface", "Error!", ""}));
    EXPECT_TRUE(host.HasLine("Error!", 0));
    EXPECT_FALSE(host.HasLine("Error!", 1));
    EXPECT_EQ(host.CountLine("Resetting HCI interface"), 1u);
    host.ClearLog();
    EXPECT_TRUE(host.Log().empty());
}

TEST(FakeHostInstall, HandsTableCallbackAndHandleToThePlugin) {
    FakeHost host;
    host.InstallIntoPlugin();
    for (int slot : {3, 18, 54, 147, 149, 174, 175})
        EXPECT_EQ(HostFunctions[slot], host.Slot(slot));
    EXPECT_EQ(ComHandle, FakeHost::kComHandle);
    ShowLine("through the plug-in", 1);
    EXPECT_TRUE(host.HasLine("through the plug-in", 1));
    ShowLineCallback = nullptr;
}

TEST(FakeHostCurrent, OnlyTheNewestHostIsActive) {
    FakeHost first;
    {
        FakeHost second;
        EXPECT_EQ(FakeHost::Current(), &second);
        first.LogCallback()("to the current host", 1);
        EXPECT_TRUE(second.HasLine("to the current host"));
        EXPECT_TRUE(first.Log().empty());
        EXPECT_EQ(phonesim::BoundSimulator(), &second.Phone());
    }
    EXPECT_EQ(FakeHost::Current(), &first);
    EXPECT_EQ(phonesim::BoundSimulator(), &first.Phone());
}

TEST(FakeHostCurrent, SlotsFailQuietlyWithNoHostActive) {
    void* lastErrorEntry = nullptr;
    void* infoEntry = nullptr;
    {
        FakeHost host;
        lastErrorEntry = host.Slot(3);
        infoEntry = host.Slot(174);
    }
    int32_t value = 0;
    EXPECT_STREQ(reinterpret_cast<VRX_get_last_error_t>(lastErrorEntry)(), "No errors");
    EXPECT_EQ(reinterpret_cast<TSI_GetInfoAsInt_t>(infoEntry)(31, &value), 0);
}
