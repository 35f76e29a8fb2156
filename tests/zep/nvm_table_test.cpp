// The NVM parameter table drives getters, setters, command names and the transfer order:
// a slip in it would send or store a value under the wrong parameter.
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <set>
#include <string>

#include "bt/nvm_params.h"

namespace {

TEST(NvmTable, HasEveryParameterIdentifierOnce) {
    std::set<uint32_t> ids;
    for (const nvm::ParamInfo& p : nvm::Params())
        ids.insert(p.id);
    EXPECT_EQ(ids.size(), 43u);
    EXPECT_EQ(*ids.begin(), 0u);
    EXPECT_EQ(*ids.rbegin(), static_cast<uint32_t>(BNPT_MAX_COUNT) - 1);
    EXPECT_EQ(nvm::FindById(BNPT_MAX_COUNT), nullptr);
}

TEST(NvmTable, NamesEachCommandAfterItsFieldAndCamelName) {
    std::set<std::string> commands;
    for (const nvm::ParamInfo& p : nvm::Params()) {
        EXPECT_EQ(std::string(p.command), std::string("at@bt:write_nvm_") + p.suffix);
        commands.insert(p.command);
        // The CamelCase name is the suffix without underscores, each word capitalised.
        std::string camel;
        bool upper = true;
        for (const char c : std::string(p.suffix)) {
            if (c == '_') {
                upper = true;
                continue;
            }
            camel += upper ? static_cast<char>(std::toupper(c)) : c;
            upper = false;
        }
        EXPECT_EQ(camel, p.camel);
    }
    EXPECT_EQ(commands.size(), 43u);
}

TEST(NvmTable, WidthsMatchTheKindsAndFieldsCoverTheRecordWithoutOverlap) {
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    for (const nvm::ParamInfo& p : nvm::Params()) {
        const int expected = p.kind == nvm::Kind::A6    ? 6
                             : p.kind == nvm::Kind::A8  ? 8
                             : p.kind == nvm::Kind::U16 ? 2
                             : p.kind == nvm::Kind::U32 ? 4
                                                        : 1;
        EXPECT_EQ(p.width, expected) << p.suffix;
        EXPECT_LE(p.offset + p.width, sizeof(T_BT_ALL_NVM_PARAMS)) << p.suffix;
        spans.emplace_back(p.offset, p.offset + p.width);
    }
    std::sort(spans.begin(), spans.end());
    std::size_t used = 0;
    for (std::size_t i = 0; i < spans.size(); ++i) {
        if (i > 0) {
            EXPECT_LE(spans[i - 1].second, spans[i].first);
        }
        used += spans[i].second - spans[i].first;
    }
    EXPECT_EQ(used, 64u) << "43 values fill 64 of the record's 68 bytes";
}

TEST(NvmTable, TransferOrderIsTheIdentifierOrderWithUartLpmLevelAfterUartInvert) {
    std::vector<uint32_t> expected;
    for (uint32_t id = 0; id < BNPT_MAX_COUNT; ++id)
        if (id != BNPT_UART_LPM_LEVEL) expected.push_back(id);
    expected.insert(std::find(expected.begin(), expected.end(), BNPT_UART_INVERT) + 1,
                    BNPT_UART_LPM_LEVEL);
    std::vector<uint32_t> actual;
    for (const nvm::ParamInfo* p : nvm::TransferOrder()) {
        ASSERT_NE(p, nullptr);
        actual.push_back(p->id);
    }
    EXPECT_EQ(actual, expected);
}

TEST(NvmTable, TheFirstSixteenAreTheParametersOfTheBinaryProtocol) {
    std::set<uint32_t> first;
    for (int i = 0; i < 16; ++i)
        first.insert(nvm::Params()[i].id);
    const std::set<uint32_t> binary = {BNPT_BT_ADDRESS,
                                       BNPT_EPC_MAX_POWER_1MBPS,
                                       BNPT_EPC_MAX_POWER_2MBPS,
                                       BNPT_EPC_MAX_POWER_3MBPS,
                                       BNPT_EPC_NUM_OF_PWR_CTRL_STEPS,
                                       BNPT_EPC_PWR_CTRL_STEP_SIZE,
                                       BNPT_EPC_HIGHEST_STEP_1MBPS,
                                       BNPT_EPC_HIGHEST_STEP_2MBPS,
                                       BNPT_EPC_HIGHEST_STEP_3MBPS,
                                       BNPT_LPC_MAX_POWER_1MBPS,
                                       BNPT_LPC_MAX_POWER_2MBPS,
                                       BNPT_LPC_MAX_POWER_3MBPS,
                                       BNPT_LPC_NUM_OF_PWR_CTRL_STEPS,
                                       BNPT_LPC_PWR_CTRL_STEP_SIZE,
                                       BNPT_BR_PWR_LEVEL,
                                       BNPT_LE_PWR_LEVEL};
    EXPECT_EQ(first, binary);
}

} // namespace
