#pragma once
// One NVM record with a distinct value in every field, and the same values written out in
// the order of the read-all and write-all commands.

#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include "bt/nvm_params.h"

namespace testzep {

inline T_BT_ALL_NVM_PARAMS GoldenNvm() {
    // In the record's field order, which is not the transfer order.
    // clang-format off
    return T_BT_ALL_NVM_PARAMS{{0, 26, 125, 218, 113, 19}, 1234, 4294967295u,
                               {255, 254, 143, 254, 216, 63, 91, 135},
                               1, 2, 3, 4, 5, 15, 16, 17, 13, 14, -1, -2, -3, -18, -19, -20, 21,
                               22, -23, -25, -90, -27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38,
                               65535, 40, 41, 42, 43, -24};
    // clang-format on
}

// GoldenNvm() in transfer order, as the write-all command writes it.
inline const char* GoldenNvmArguments() {
    return "{0,26,125,218,113,19},1234,4294967295,{255,254,143,254,216,63,91,135},"
           "1,2,3,4,5,-1,-2,-3,13,14,15,16,17,-18,-19,-20,21,22,-23,-24,-25,-90,-27,"
           "28,29,30,31,32,33,34,35,36,37,38,65535,40,41,42,43";
}

// Field by field, named, so that a failure says which parameter differs.
inline void ExpectSameNvm(const T_BT_ALL_NVM_PARAMS& expected, const T_BT_ALL_NVM_PARAMS& actual) {
    for (const nvm::ParamInfo& p : nvm::Params()) {
        const auto* e = reinterpret_cast<const unsigned char*>(&expected) + p.offset;
        const auto* a = reinterpret_cast<const unsigned char*>(&actual) + p.offset;
        EXPECT_EQ(std::memcmp(e, a, p.width), 0) << p.suffix;
    }
}

} // namespace testzep
