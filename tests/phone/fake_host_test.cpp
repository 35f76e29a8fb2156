// The tests' fake host: the slots it serves and which host is the plug-in's.

#include <gtest/gtest.h>

#include "fake_host.h"
#include "host_slots.h"
#include "plugin/host.h"

using fakehost::FakeHost;

TEST(FakeHost, ServesTheSevenSlotsThePluginCallsInA216SlotTable) {
    FakeHost host;
    for (int slot = 0; slot < FakeHost::kSlots; ++slot) {
        const bool served = slot == 3 || slot == 18 || slot == 54 || slot == 147 || slot == 149 ||
                            slot == 174 || slot == 175;
        EXPECT_EQ(host.Slot(slot) != nullptr, served) << "slot " << slot;
    }
    EXPECT_EQ(host.TableBytes(), static_cast<int32_t>(216 * sizeof(void*)));
}

TEST(FakeHost, OnlyTheNewestHostIsActiveAndSlotsFailQuietlyWithNone) {
    void* infoEntry = nullptr;
    {
        FakeHost first;
        {
            FakeHost second;
            first.LogCallback()("to the current host", 1);
            EXPECT_TRUE(second.HasLine("to the current host"));
            EXPECT_TRUE(first.Log().empty());
            EXPECT_EQ(phonesim::BoundSimulator(), &second.Phone());
        }
        EXPECT_EQ(FakeHost::Current(), &first);
        EXPECT_EQ(phonesim::BoundSimulator(), &first.Phone());
        infoEntry = first.Slot(174);
    }
    int32_t value = 0;
    EXPECT_EQ(reinterpret_cast<TSI_GetInfoAsInt_t>(infoEntry)(31, &value), 0);
}
