// The NVM parameter table drives getters, setters and command names: a slip in it would
// send or store a value under the wrong parameter. (Field offsets and the transfer order
// are pinned by the write-all golden line.)
#include <gtest/gtest.h>
#include <set>
#include <string>

#include "bt/nvm_params.h"

namespace {

TEST(NvmTable, HasEveryParameterOnceEachWithTheCommandOfItsField) {
    std::set<uint32_t> ids;
    std::set<std::string> commands;
    for (const nvm::ParamInfo& p : nvm::Params()) {
        ids.insert(p.id);
        commands.insert(p.command);
        EXPECT_EQ(std::string(p.command), std::string("at@bt:write_nvm_") + p.suffix);
    }
    EXPECT_EQ(ids.size(), 43u);
    EXPECT_EQ(*ids.rbegin(), static_cast<uint32_t>(BNPT_MAX_COUNT) - 1);
    EXPECT_EQ(commands.size(), 43u);
    EXPECT_EQ(nvm::FindById(BNPT_MAX_COUNT), nullptr);
}

} // namespace
