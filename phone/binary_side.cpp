// The binary side of the phone: test function number and request record in, confirm
// record out (status byte first, data version second in every data-carrying confirm).

#include <algorithm>

#include "chip_tables.h"
#include "hci.h"
#include "phonesim.h"

namespace phonesim {
namespace {

constexpr uint8_t kStatusOk = 1;
constexpr uint8_t kStatusNotSupported = 2;
constexpr uint8_t kStatusRejected = 3;

// Fixed request and confirm sizes per test function; -1 marks a function the phone has not.
struct Sizes {
    int request;
    int confirm;
};
constexpr std::array<Sizes, kFunctionCount> kSizes = {{
    {0, 1}, {22, 1}, {30, 1}, {7, 1}, {2, 1}, {0, 12}, {2, 1}, {0, 1}, {0, 4},     {2, 1},
    {0, 1}, {0, 5},  {3, 1},  {0, 8}, {5, 1}, {0, 5},  {4, 1}, {0, 8}, {6, 1},     {0, 6},
    {4, 1}, {3, 3},  {-1, 1}, {8, 1}, {1, 9}, {5, 1},  {2, 1}, {0, 4}, {152, 153}, {2, 3},
}};

constexpr int kWriteNvm = 23;
constexpr int kReadNvm = 24;
constexpr int kHciCommand = 28;
constexpr int kOpcodeVersion = 29;

// Functions whose request has no data version at byte 0.
bool RequestHasVersion(int function) {
    return function != kWriteNvm && function != kReadNvm && function != kOpcodeVersion;
}

uint16_t Le16(std::span<const uint8_t> bytes, std::size_t at) {
    return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

std::vector<uint8_t> WireValue(const ChipState& chip, int wire) {
    const auto& value =
        chip.nvm[static_cast<std::size_t>(kWireToParam[static_cast<std::size_t>(wire)])];
    std::vector<uint8_t> bytes(6, 0);
    const int n = wire == 0 ? 6 : 1;
    for (int i = 0; i < n; ++i)
        bytes[static_cast<std::size_t>(i)] =
            static_cast<uint8_t>(value[static_cast<std::size_t>(i)]);
    return bytes;
}

} // namespace

BinaryAnswer Simulator::HandleBinary(int32_t function, std::span<const uint8_t> request) {
    BinaryRecord record{function, {request.begin(), request.end()}, {}, true};
    FaultSpec fault;
    const bool faulty = TakeBinaryFault(function, fault);
    auto finish = [&](BinaryAnswer answer) {
        record.confirm = answer.confirm;
        record.hostOk = answer.hostOk;
        binaryLog_.push_back(record);
        return answer;
    };
    if (faulty && fault.kind == Fault::HostCallFails) return finish({false, {}, 0});
    if (faulty && fault.kind == Fault::NoReply) return finish({true, {}, 0});
    if (faulty && fault.kind == Fault::Verbatim)
        return finish({true, fault.bytes, static_cast<uint32_t>(fault.bytes.size())});

    if (function < 0 || function >= kFunctionCount) return finish({true, {kStatusNotSupported}, 1});
    const auto fn = static_cast<std::size_t>(function);
    const Sizes sizes = kSizes[fn];
    const FunctionVersions& versions = binaryVersions_[fn];
    std::vector<uint8_t> confirm(static_cast<std::size_t>(sizes.confirm), 0);
    confirm[0] = kStatusOk;
    if (sizes.confirm > 1) confirm[1] = versions.confirm;

    if (faulty && fault.kind == Fault::Garbage) {
        std::fill(confirm.begin(), confirm.end(), 0xA5);
        return finish({true, confirm, static_cast<uint32_t>(confirm.size())});
    }

    const bool accepted =
        versions.supported && static_cast<int>(request.size()) == sizes.request &&
        (!RequestHasVersion(function) || request.empty() || request[0] == versions.request);
    if (!accepted) {
        confirm[0] = versions.supported ? kStatusRejected : kStatusNotSupported;
    } else {
        ChipState chip = chip_;
        switch (function) {
        case 0:
            chip.mode = TestMode::None;
            break;
        case 1:
            chip.mode = TestMode::RfTest;
            break;
        case 2:
            chip.mode = TestMode::TxBurst;
            chip.channel = request[7];
            break;
        case 3:
            chip.mode = TestMode::TxContinuous;
            chip.channel = request[1];
            break;
        case 4:
            chip.mode = TestMode::RxContinuous;
            chip.channel = request[1];
            break;
        case 5:
            std::copy(chip.lumoraVersion.begin(), chip.lumoraVersion.end(), confirm.begin() + 2);
            break;
        case 6:
            if (request[1] > 2)
                confirm[0] = kStatusRejected;
            else
                chip.loopback = request[1];
            break;
        case 7:
        case 10:
            break;
        case 8:
            confirm[2] = chip.hostInterface;
            confirm[3] = chip.on ? 1 : 0;
            break;
        case 9:
            if (request[1] > 1)
                confirm[0] = kStatusRejected;
            else
                chip.on = request[1] == 1;
            break;
        case 11:
            confirm[2] = chip.rtrimUseManual;
            confirm[3] = chip.rtrimManual;
            confirm[4] = chip.rtrimFused;
            break;
        case 12:
            chip.rtrimUseManual = request[1];
            chip.rtrimManual = request[2];
            break;
        case 13:
            confirm[2] = chip.kfreqUseManual;
            confirm[3] = chip.kfreqManual;
            confirm[4] = chip.kfreqFused;
            confirm[5] = chip.ibiasdacUseManual;
            confirm[6] = chip.ibiasdacManual;
            confirm[7] = chip.ibiasdacFused;
            break;
        case 14:
            chip.kfreqUseManual = request[1];
            chip.kfreqManual = request[2];
            chip.ibiasdacUseManual = request[3];
            chip.ibiasdacManual = request[4];
            break;
        case 15:
            confirm[2] = static_cast<uint8_t>(chip.pcm);
            confirm[3] = static_cast<uint8_t>(chip.uart);
            confirm[4] = static_cast<uint8_t>(chip.wakeup);
            break;
        case 16:
            if (request[1] > 1 || request[2] > 1 || request[3] > 1) {
                confirm[0] = kStatusRejected;
                break;
            }
            chip.pcm = request[1];
            chip.uart = request[2];
            chip.wakeup = request[3];
            break;
        case 17:
            confirm[2] = chip.tmeasUseManual;
            confirm[4] = static_cast<uint8_t>(chip.tmeasManual & 0xFF);
            confirm[5] = static_cast<uint8_t>(chip.tmeasManual >> 8);
            confirm[6] = static_cast<uint8_t>(chip.tmeasFused & 0xFF);
            confirm[7] = static_cast<uint8_t>(chip.tmeasFused >> 8);
            break;
        case 18:
            chip.tmeasUseManual = request[2];
            chip.tmeasManual = Le16(request, 4);
            break;
        case 19:
            confirm[2] = chip.vmeasUseManual;
            confirm[3] = chip.vmeasPropagation;
            confirm[4] = chip.vmeasManual;
            confirm[5] = chip.vmeasFused;
            break;
        case 20:
            chip.vmeasUseManual = request[1];
            chip.vmeasPropagation = request[2];
            chip.vmeasManual = request[3];
            break;
        case 21:
            confirm[2] = static_cast<uint8_t>(chip.rssi);
            break;
        case kWriteNvm: {
            const uint8_t wire = request[0];
            if (wire >= kWireNvmCount) {
                confirm[0] = kStatusRejected;
                break;
            }
            const int param = kWireToParam[wire];
            std::vector<int64_t> values;
            if (wire == 0) {
                values.assign(request.begin() + 2, request.begin() + 8);
            } else if (kNvmParams[static_cast<std::size_t>(param)].kind == Kind::I8) {
                values.push_back(static_cast<int8_t>(request[2]));
            } else {
                values.push_back(request[2]);
            }
            StoreNvm(chip, param, values);
            chip.wireVersion[wire] = request[1];
            break;
        }
        case kReadNvm: {
            const uint8_t wire = request[0];
            confirm[1] = wire;
            if (wire >= kWireNvmCount) {
                confirm[0] = kStatusRejected;
                break;
            }
            confirm[0] = chip.wireStatus[wire];
            confirm[2] = chip.wireVersion[wire];
            const std::vector<uint8_t> value = WireValue(chip, wire);
            std::copy(value.begin(), value.end(), confirm.begin() + 3);
            if (faulty && fault.kind == Fault::WrongNvmId)
                confirm[1] = static_cast<uint8_t>((wire + 1) % kWireNvmCount);
            break;
        }
        case 25:
            chip.mode = TestMode::TxLe;
            chip.channel = request[1];
            break;
        case 26:
            chip.mode = TestMode::RxLe;
            chip.channel = request[1];
            break;
        case 27:
            if (chip.mode == TestMode::RxLe) chip.mode = TestMode::None;
            confirm[2] = static_cast<uint8_t>(chip.leRxPackets >> 8);
            confirm[3] = static_cast<uint8_t>(chip.leRxPackets & 0xFF);
            break;
        case kHciCommand: {
            const std::size_t length = request[1];
            if (length > 150) {
                confirm[0] = kStatusRejected;
                break;
            }
            const std::vector<uint8_t> event = HciAnswer(chip, request.subspan(2, length));
            confirm[2] = static_cast<uint8_t>(event.size());
            std::copy(event.begin(), event.end(), confirm.begin() + 3);
            if (faulty && fault.kind == Fault::HciTooLong) confirm[2] = 151;
            break;
        }
        case kOpcodeVersion: {
            const uint16_t asked = Le16(request, 0);
            confirm = {kStatusNotSupported, 0, 0};
            if (asked < kFunctionCount && binaryVersions_[asked].supported)
                confirm = {kStatusOk, binaryVersions_[asked].request,
                           binaryVersions_[asked].confirm};
            break;
        }
        default:
            break;
        }
        // A request answered with an error status is not carried out.
        if (confirm[0] == kStatusOk && !(faulty && fault.kind == Fault::ErrorCode)) chip_ = chip;
    }

    uint32_t reported = static_cast<uint32_t>(confirm.size());
    if (faulty) {
        switch (fault.kind) {
        case Fault::ErrorCode:
            confirm[0] = static_cast<uint8_t>(fault.value ? fault.value : 5);
            break;
        case Fault::WrongSize:
            confirm.resize(
                fault.value > 0 ? static_cast<std::size_t>(fault.value) : confirm.size() + 1, 0);
            reported = static_cast<uint32_t>(confirm.size());
            break;
        case Fault::OversizeLength:
            reported = fault.value > 0 ? static_cast<uint32_t>(fault.value) : 16000;
            confirm.resize(std::min<std::size_t>(reported, kConfirmBufferSize), 0);
            break;
        default:
            break;
        }
    }
    return finish({true, confirm, reported});
}

} // namespace phonesim
