#pragma once
// The legacy back-end's engine: hands each binary test function to the framing and keeps
// what was last read of each of the 16 NVM parameters of the binary protocol.

#include <cstdint>
#include <cstring>
#include <tuple>
#include <vector>

#include "bt/bluetooth_transport.h"
#include "bt/bt_types.h"
#include "plugin/plugin.h"

// The form's class shape includes this; no engine holds or calls a notification target.
class template_engine_notify {
public:
    virtual ~template_engine_notify() = default;
    virtual bool Notify() = 0;
};

template <typename Transport> class template_engine {
public:
    template_engine() {
        nvm_details_.reserve(BT_NVM_PARAM_COUNT);
        for (uint8_t id = 0; id < BT_NVM_PARAM_COUNT; ++id)
            nvm_details_.emplace_back(id);
    }

    uint8_t GetReqVersion(uint16_t function) { return transport_.GetReqVersion(function); }
    uint8_t GetConVersion(uint16_t function) { return transport_.GetConVersion(function); }

    // Any test function with its fixed sizes; see template_transport::Call.
    template <T_ATCTST_BT_FUNCTION F>
    legacy_framing::Outcome Call(const LegacyRequest<F>* request, LegacyConfirm<F>* confirm) {
        return transport_.template Call<F>(request, confirm);
    }

    // Answers a cached parameter from the cache (logging "OK") unless `forceRead` is 1;
    // otherwise asks the phone. Status 1 and 2 both fill the cache, 2 with valid 0. A
    // confirm for another id or with another status fails and leaves valid 0, version 0
    // and the entry uncached; a failed host call fails and leaves the entry as it was. `details`
    // receives a copy of the entry whenever the index names one.
    bool ReadNvm(uint8_t index, TNVMDataDetails* details, uint8_t forceRead) {
        if (index >= nvm_details_.size()) return false;
        TNVMDataDetails& entry = nvm_details_[index];
        bool done = true;
        if (entry.cached == 1 && forceRead != 1) {
            ShowOk();
        } else {
            done = Exchange(index, entry);
        }
        if (details) *details = entry;
        return done;
    }

    // Writes `value` to the parameter its id names; after a successful write the entry
    // holds the written value and is no longer cached, so the next read asks the phone.
    bool WriteNvm(const T_BT_NVM_VALUE& value) {
        if (value.id >= nvm_details_.size()) return false;
        LegacyRequest<atctst_bt_write_to_nvm> request{};
        static_assert(sizeof value == std::tuple_size_v<decltype(request)>);
        std::memcpy(request.data(), &value, sizeof value);
        if (Call<atctst_bt_write_to_nvm>(&request, nullptr) != legacy_framing::Outcome::Success)
            return false;
        TNVMDataDetails& entry = nvm_details_[value.id];
        entry.cached = 0;
        entry.value = value;
        return true;
    }

    // The data version of the last value read or written; 0 before that and after a
    // failed read.
    uint8_t GetNvmDataVersion(uint8_t index) const {
        return index < nvm_details_.size() ? nvm_details_[index].value.version : 0;
    }

private:
    bool Exchange(uint8_t index, TNVMDataDetails& entry) {
        const LegacyRequest<atctst_bt_read_from_nvm> request{index};
        LegacyConfirm<atctst_bt_read_from_nvm> confirm{};
        const auto outcome = Call<atctst_bt_read_from_nvm>(&request, &confirm);
        if (outcome == legacy_framing::Outcome::HostFailed) return false;
        const uint8_t status = confirm[0];
        if (confirm[1] != index || (status != 1 && status != 2)) {
            entry.valid = 0;
            entry.cached = 0;
            entry.value.id = index;
            entry.value.version = 0;
            return false;
        }
        entry.valid = status == 1 ? 1 : 0;
        std::memcpy(&entry.value, confirm.data() + 1, sizeof entry.value);
        entry.cached = 1;
        return true;
    }

    Transport transport_;
    std::vector<TNVMDataDetails> nvm_details_;
};

using LegacyEngine = template_engine<LegacyTransport>;
