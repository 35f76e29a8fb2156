#pragma once
// The chip's NVM parameter table, shared by both protocols of the simulator.

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "phone/phonesim.h"

namespace phonesim {

// How a value travels in text commands.
enum class Kind : uint8_t { U8, I8, U16, U32, Bytes2, Bytes6, Bytes8, Bytes10, Bytes150 };

struct NvmParam {
    std::string_view suffix; // "at@bt:write_nvm_" + suffix
    Kind kind;
    int64_t initial; // power-up value of scalar parameters
};

// Indexed by the BNPT_* identifier.
extern const std::array<NvmParam, 43> kNvmParams;
// BNPT_* identifiers in the order the all-parameter commands carry them.
extern const std::array<int, 43> kTransferOrder;

// The BNPT_* identifier of the parameter named `suffix`; -1 when there is none.
int NvmParamIndex(std::string_view suffix);

// Number of elements of an array kind, 1 for the scalars.
int ElementCount(Kind kind);

// Stores a written value (one element per byte for the arrays); the wire copy of the
// parameter, if it has one, becomes valid.
void StoreNvm(ChipState& chip, int param, const std::vector<int64_t>& values);

} // namespace phonesim
