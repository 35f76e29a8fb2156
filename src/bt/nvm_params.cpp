#include "bt/nvm_params.h"

namespace nvm {

const std::array<ParamInfo, kParamCount>& Params() {
#define BT_NVM_INFO(Camel, field, id, kind, transfer, units)                                              \
    ParamInfo{#field,                                                                              \
              #Camel,                                                                              \
              "at@bt:write_nvm_" #field,                                                           \
              id,                                                                                  \
              Kind::kind,                                                                          \
              static_cast<uint8_t>(sizeof(T_BT_ALL_NVM_PARAMS::field)),                            \
              offsetof(T_BT_ALL_NVM_PARAMS, field),                                                \
              transfer,                                                                            \
              units},
    static const std::array<ParamInfo, kParamCount> params = {{BT_NVM_PARAMS(BT_NVM_INFO)}};
#undef BT_NVM_INFO
    return params;
}

const std::array<const ParamInfo*, kParamCount>& TransferOrder() {
    static const std::array<const ParamInfo*, kParamCount> order = [] {
        std::array<const ParamInfo*, kParamCount> byPosition{};
        for (const ParamInfo& p : Params())
            if (p.transfer >= 1 && p.transfer <= kParamCount) byPosition[p.transfer - 1] = &p;
        return byPosition;
    }();
    return order;
}

const ParamInfo* FindById(uint32_t id) {
    for (const ParamInfo& p : Params())
        if (p.id == id) return &p;
    return nullptr;
}

} // namespace nvm
