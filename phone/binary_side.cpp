#include "phonesim.h"

namespace phonesim {

BinaryAnswer Simulator::HandleBinary(int32_t function, std::span<const uint8_t> request) {
    BinaryAnswer answer{true, {2}, 1};
    binaryLog_.push_back({function, {request.begin(), request.end()}, answer.confirm, true});
    return answer;
}

} // namespace phonesim
