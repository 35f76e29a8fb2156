#include <gtest/gtest.h>
#include <vector>

#include "plugin/host.h"

namespace {

// A host table whose slot i holds the recognisable pointer value i + 1.
std::vector<void*> NumberedTable(std::size_t slots) {
    std::vector<void*> table(slots);
    for (std::size_t i = 0; i < slots; ++i) table[i] = reinterpret_cast<void*>(i + 1);
    return table;
}

std::size_t FilledSlots() {
    std::size_t filled = 0;
    for (void* slot : HostFunctions) filled += slot != nullptr;
    return filled;
}

class HostTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::vector<void*> zeros(host::kSlotCount);
        SetFuncInterface(zeros.data(), static_cast<int32_t>(host::kTableBytes));
    }
};

TEST_F(HostTableTest, SlotIsAtPointerSizedOffset) {
    const auto table = NumberedTable(host::kSlotCount);
    SetFuncInterface(table.data(), static_cast<int32_t>(host::kTableBytes));
    EXPECT_EQ(HostFunctions[0], reinterpret_cast<void*>(1));
    EXPECT_EQ(HostFunctions[175], reinterpret_cast<void*>(176));
    EXPECT_EQ(HostFunctions[215], reinterpret_cast<void*>(216));
}

TEST_F(HostTableTest, CopiesNoMoreThanTheTable) {
    const auto big = NumberedTable(400); // a host that claims a larger table
    SetFuncInterface(big.data(), static_cast<int32_t>(400 * sizeof(void*)));
    EXPECT_EQ(FilledSlots(), static_cast<std::size_t>(host::kSlotCount));
    EXPECT_EQ(HostFunctions[215], reinterpret_cast<void*>(216));
}

TEST_F(HostTableTest, ShortTableLeavesTheRestNull) {
    const auto table = NumberedTable(host::kSlotCount);
    SetFuncInterface(table.data(), static_cast<int32_t>(100 * sizeof(void*)));
    EXPECT_EQ(HostFunctions[99], reinterpret_cast<void*>(100));
    EXPECT_EQ(HostFunctions[100], nullptr);
    EXPECT_EQ(FilledSlots(), 100u);
}

TEST_F(HostTableTest, SecondShorterTableClearsWhatItDoesNotReach) {
    const auto table = NumberedTable(host::kSlotCount);
    SetFuncInterface(table.data(), static_cast<int32_t>(host::kTableBytes));
    const auto shorter = NumberedTable(20);
    SetFuncInterface(shorter.data(), static_cast<int32_t>(20 * sizeof(void*)));
    EXPECT_EQ(FilledSlots(), 20u);
    EXPECT_EQ(HostFunctions[175], nullptr);
}

TEST_F(HostTableTest, NullTableOrSizeBelowOneLeavesTheTable) {
    const auto table = NumberedTable(host::kSlotCount);
    SetFuncInterface(table.data(), static_cast<int32_t>(host::kTableBytes));
    const auto other = NumberedTable(host::kSlotCount);
    SetFuncInterface(nullptr, static_cast<int32_t>(host::kTableBytes));
    SetFuncInterface(other.data(), 0);
    SetFuncInterface(other.data(), -8);
    EXPECT_EQ(FilledSlots(), static_cast<std::size_t>(host::kSlotCount));
    EXPECT_EQ(HostFunctions[3], reinterpret_cast<void*>(4));
}

} // namespace
