#pragma once
// Framing of the binary test functions: one fixed-size request record goes out and one
// confirm record comes back through the host's generic Bluetooth call. The framing judges
// the confirm's status byte, warns about unexpected confirm sizes and remembers, for the
// life of the library, which record versions the phone uses for each function.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "bt/bt_types.h"
#include "plugin/host.h"
#include "plugin/plugin.h"

// Request and confirm sizes in bytes of one test function; a request size of 0 means the
// function sends no request data.
struct TLegacyFunctionSizes {
    uint16_t request;
    uint16_t confirm;
};

// Indexed by T_ATCTST_BT_FUNCTION.
inline constexpr std::array<TLegacyFunctionSizes, ATCTST_BT_FUNCTION_COUNT> kLegacyFunctionSizes{{
#define BT_FUNCTION_SIZES(name, request, confirm, opcode) {request, confirm},
    BT_TEST_FUNCTIONS(BT_FUNCTION_SIZES)
#undef BT_FUNCTION_SIZES
}};

// A function's wire request record and its confirm record, sized by the table above.
template <T_ATCTST_BT_FUNCTION F>
using LegacyRequest = std::array<uint8_t, kLegacyFunctionSizes[F].request>;
template <T_ATCTST_BT_FUNCTION F>
using LegacyConfirm = std::array<uint8_t, kLegacyFunctionSizes[F].confirm>;

// The phone's answer to the version query of one function: status (1 supported,
// 2 not supported), then the data versions of the request and the confirm record.
struct OpcodeVersion {
    uint8_t status = 0;
    uint8_t request_version = 0;
    uint8_t confirm_version = 0;
};

struct TOpcodeVersionEntry {
    uint8_t known = 0;
    OpcodeVersion version;
};
static_assert(sizeof(TOpcodeVersionEntry) == 4);

inline constexpr std::size_t kLegacyConfirmBufferSize = host::kConfirmBufferSize;

// Shared by every exchange of every legacy object: the host writes each confirm here,
// and it stays readable until the next exchange.
extern uint8_t LegacyConfirmBuffer[kLegacyConfirmBufferSize];
// One entry per test function, shared by every legacy object of the library.
extern TOpcodeVersionEntry LegacyOpcodeVersionTable[ATCTST_BT_FUNCTION_COUNT];

// The host's generic Bluetooth call (slot 18). False when the host reports failure, or
// when the host has not filled the slot.
struct HostBluetoothGeneric {
    static bool Call(int32_t opcode, uint16_t requestLength, const uint8_t* request,
                     uint16_t* confirmLength, uint8_t* confirm);
};

namespace legacy_framing {

enum class Outcome {
    HostFailed, // the host call itself failed; the confirm buffer holds nothing new
    Success,    // confirm status 1
    Failure,    // the phone answered with another status
};

// The log line for a confirm whose length differs from the function's fixed size.
std::string SizeWarning(uint16_t function, uint32_t expected, uint32_t actual);
// The log line after a version query answered with `version`.
std::string VersionAnswerText(uint16_t function, const OpcodeVersion& version);

namespace detail {
// Forgets every remembered function version, as at library load. For tests only.
void ClearOpcodeVersionTable();
} // namespace detail

} // namespace legacy_framing

template <typename Link> class template_transport {
public:
    // Exchanges one record and reports the outcome: "OK", the status text ("FAIL" for an
    // empty confirm, which fails), and a size warning when the confirm length differs from
    // `expectedConfirmSize`.
    legacy_framing::Outcome Exchange(uint16_t function, uint16_t expectedConfirmSize,
                                     const uint8_t* request, uint16_t requestSize) {
        confirmLength_ = 0;
        // A confirm shorter than its record must not show the bytes of the one before.
        std::memset(LegacyConfirmBuffer, 0, sizeof LegacyConfirmBuffer);
        const auto opcode = static_cast<int32_t>(static_cast<int8_t>(function));
        if (!Link::Call(opcode, requestSize, requestSize ? request : nullptr, &confirmLength_,
                        LegacyConfirmBuffer)) {
            ReportHostError();
            return legacy_framing::Outcome::HostFailed;
        }
        // An empty confirm has no status byte; the cleared buffer's 0 would read "OK".
        const uint8_t status = LegacyConfirmBuffer[0];
        if (confirmLength_ == 0)
            ShowLine(t_result_to_string(-1), 1);
        else if (status == 1)
            ShowOk();
        else
            ShowLine(t_result_to_string(status), 1);
        if (confirmLength_ != expectedConfirmSize)
            ShowLine(legacy_framing::SizeWarning(function, expectedConfirmSize, confirmLength_), 1);
        return confirmLength_ > 0 && status == 1 ? legacy_framing::Outcome::Success
                                                 : legacy_framing::Outcome::Failure;
    }

    // True when the phone's status is 1; the confirm stays in LegacyConfirmBuffer.
    bool Send(uint16_t function, uint16_t expectedConfirmSize, const uint8_t* request,
              uint16_t requestSize) {
        return Exchange(function, expectedConfirmSize, request, requestSize) ==
               legacy_framing::Outcome::Success;
    }

    // One function with its fixed sizes. The confirm's leading bytes go to `confirm`
    // whenever the host delivered one, also when its status is a failure.
    template <T_ATCTST_BT_FUNCTION F>
    legacy_framing::Outcome Call(const LegacyRequest<F>* request, LegacyConfirm<F>* confirm) {
        constexpr TLegacyFunctionSizes sizes = kLegacyFunctionSizes[F];
        const auto outcome =
            Exchange(F, sizes.confirm, request ? request->data() : nullptr, sizes.request);
        if (confirm && outcome != legacy_framing::Outcome::HostFailed)
            std::memcpy(confirm->data(), LegacyConfirmBuffer, sizes.confirm);
        return outcome;
    }

    // The phone's versions for `function`, asked once per library. Only a whole answer
    // saying supported (1) or not supported (2) is remembered; a failed host call, a short
    // confirm or another status gets the all-zero answer and is asked again next time.
    // Numbers outside the function table have no entry and get the all-zero answer without
    // an exchange.
    OpcodeVersion GetOpcodeVersion(uint16_t function) {
        if (function >= ATCTST_BT_FUNCTION_COUNT) return {};
        TOpcodeVersionEntry& entry = LegacyOpcodeVersionTable[function];
        if (entry.known) return entry.version;
        ShowLine("Get header version for opcode " + t_atctst_function_to_string(function), 1);
        LegacyConfirm<atctst_bt_get_opcode_version> confirm{};
        const LegacyRequest<atctst_bt_get_opcode_version> request{
            static_cast<uint8_t>(function & 0xFF), static_cast<uint8_t>(function >> 8)};
        if (Call<atctst_bt_get_opcode_version>(&request, &confirm) ==
            legacy_framing::Outcome::HostFailed)
            return {};
        const OpcodeVersion version{confirm[0], confirm[1], confirm[2]};
        // A short answer's missing bytes are the cleared buffer's zeros, not versions.
        const bool whole = confirmLength_ >= confirm.size();
        ShowLine(whole ? legacy_framing::VersionAnswerText(function, version) : std::string(), 1);
        if (!whole || (version.status != 1 && version.status != 2)) return {};
        entry.known = 1;
        entry.version = version;
        return version;
    }

    uint8_t GetReqVersion(uint16_t function) {
        const OpcodeVersion v = GetOpcodeVersion(function);
        return v.status == 1 ? v.request_version : 0;
    }
    uint8_t GetConVersion(uint16_t function) {
        const OpcodeVersion v = GetOpcodeVersion(function);
        return v.status == 1 ? v.confirm_version : 0;
    }

private:
    // The length the host reported for the last confirm.
    uint16_t confirmLength_ = 0;
};

using LegacyTransport = template_transport<HostBluetoothGeneric>;
