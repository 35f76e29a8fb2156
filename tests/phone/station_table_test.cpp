// The station's table serves the link slots from its in-process phone.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host_slots.h"
#include "host_table.h"

namespace {

template <typename F> F Entry(const HostTable& table, int slot) {
    return reinterpret_cast<F>(table.entries[static_cast<std::size_t>(slot)]);
}

using Binary = uint8_t (*)(int32_t, uint16_t, const uint8_t*, uint16_t*, uint8_t*, int32_t);
using Zep = uint8_t (*)(int32_t, uint16_t, const uint8_t*, uint16_t*, uint8_t*, int32_t);

} // namespace

TEST(StationTable, LinkSlotsTalkToTheStationPhone) {
    HostTable table;
    FillStationSlots(table);
    for (int slot : {3, 18, 54, 147, 149, 174, 175})
        EXPECT_NE(table.entries[static_cast<std::size_t>(slot)], nullptr) << slot;

    uint8_t confirm[phonesim::kConfirmBufferSize] = {};
    uint16_t length = 0;
    const uint8_t start[] = {1, 1};
    ASSERT_EQ(Entry<Binary>(table, 18)(9, 2, start, &length, confirm, 1), 1);
    EXPECT_TRUE(StationPhone().Chip().on);

    const std::string command = "at@bt:hw_info()";
    uint8_t response[phonesim::kZepBufferSize] = {};
    ASSERT_EQ(Entry<Zep>(table, 54)(0, static_cast<uint16_t>(command.size()),
                                    reinterpret_cast<const uint8_t*>(command.data()), &length,
                                    response, 1),
              1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(response), length), "0\r\n1\r\n0\r\nOK\r\n");
    EXPECT_EQ(StationPhone().TextCount("at@bt:hw_info"), 1u);
}
