// The binary side of the phone: test function number and request record in, confirm
// record out (status byte first, data version second in every data-carrying confirm).

#include <algorithm>
#include <optional>

#include "phone/chip_tables.h"
#include "phone/hci.h"
#include "phone/phone_radio.h"
#include "phone/phonesim.h"
#include "phone/test_functions.h"

namespace phonesim {
namespace {

constexpr uint8_t kStatusOk = 1;
constexpr uint8_t kStatusNotSupported = 2;
constexpr uint8_t kStatusRejected = 3;

// One accepted request on its way through a handler: the handler works on a copy of the
// chip, which becomes the chip only when the confirm says success.
struct Exchange {
    ChipState& chip;
    std::span<const uint8_t> request;
    std::vector<uint8_t>& confirm;
    const std::array<FunctionVersions, kFunctionCount>& versions;
    std::optional<Fault> fault;

    bool Faulty(Fault kind) const { return fault == kind; }
};

// Carries out one test function and returns the confirm's status byte.
using Handler = uint8_t (*)(Exchange&);

uint16_t Le16(std::span<const uint8_t> bytes, std::size_t at) {
    return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

uint8_t Nothing(Exchange&) {
    return kStatusOk;
}

// --- test modes ------------------------------------------------------------------------

// Starts a test mode on the channel the request carries at byte `channelAt`.
template <TestMode mode, std::size_t channelAt> uint8_t StartMode(Exchange& x) {
    StartTestMode(x.chip, mode, x.request[channelAt]);
    return kStatusOk;
}

// version, address[6], channel, power step, pattern kind, pattern byte, packet type,
// interval, hopping, AFH map[10], whitening, LPC 1M, 2M, 3M, LPC steps, LPC step size
uint8_t SetTxBurstMode(Exchange& x) {
    TxSettings tx;
    tx.powerStep = x.request[8];
    tx.patternKind = x.request[9];
    tx.patternByte = x.request[10];
    tx.packetType = x.request[11];
    StartTestMode(x.chip, TestMode::TxBurst, x.request[7], tx);
    return kStatusOk;
}

// version, channel, coarse power, fine power, pattern kind, pattern byte, modulation
uint8_t SetTxContinuousMode(Exchange& x) {
    TxSettings tx;
    tx.patternKind = x.request[4];
    tx.patternByte = x.request[5];
    StartTestMode(x.chip, TestMode::TxContinuous, x.request[1], tx);
    return kStatusOk;
}

// version, channel, data length, power level dBm, pattern
uint8_t SetTxLeMode(Exchange& x) {
    TxSettings tx;
    tx.length = x.request[2];
    tx.powerDbm = static_cast<int8_t>(x.request[3]);
    tx.lePattern = x.request[4];
    StartTestMode(x.chip, TestMode::TxLe, x.request[1], tx);
    return kStatusOk;
}

uint8_t Reset(Exchange& x) {
    x.chip.mode = TestMode::None;
    return kStatusOk;
}

uint8_t SetRfTestMode(Exchange& x) {
    x.chip.mode = TestMode::RfTest;
    return kStatusOk;
}

uint8_t RxLeEnd(Exchange& x) {
    if (x.chip.mode == TestMode::RxLe) x.chip.mode = TestMode::None;
    const uint16_t packets = LeRxReport(x.chip);
    x.confirm[2] = static_cast<uint8_t>(packets >> 8);
    x.confirm[3] = static_cast<uint8_t>(packets & 0xFF);
    return kStatusOk;
}

// --- the chip and its interfaces -------------------------------------------------------

uint8_t GetLumoraVersion(Exchange& x) {
    std::copy(x.chip.lumoraVersion.begin(), x.chip.lumoraVersion.end(), x.confirm.begin() + 2);
    return kStatusOk;
}

uint8_t HwInfo(Exchange& x) {
    x.confirm[2] = x.chip.hostInterface;
    x.confirm[3] = x.chip.on ? 1 : 0;
    return kStatusOk;
}

uint8_t Initialize(Exchange& x) {
    if (x.request[1] > 1) return kStatusRejected;
    x.chip.on = x.request[1] == 1;
    x.chip.mode = TestMode::None;
    return kStatusOk;
}

uint8_t SetPcmLoopback(Exchange& x) {
    if (x.request[1] > 2) return kStatusRejected;
    x.chip.loopback = x.request[1];
    return kStatusOk;
}

uint8_t GetPcmUartWakeupInterfaceStatus(Exchange& x) {
    x.confirm[2] = static_cast<uint8_t>(x.chip.pcm);
    x.confirm[3] = static_cast<uint8_t>(x.chip.uart);
    x.confirm[4] = static_cast<uint8_t>(x.chip.wakeup);
    return kStatusOk;
}

uint8_t SetPcmUartWakeupInterface(Exchange& x) {
    if (x.request[1] > 1 || x.request[2] > 1 || x.request[3] > 1) return kStatusRejected;
    x.chip.pcm = x.request[1];
    x.chip.uart = x.request[2];
    x.chip.wakeup = x.request[3];
    return kStatusOk;
}

uint8_t GetRssiValue(Exchange& x) {
    x.confirm[2] = static_cast<uint8_t>(x.chip.rssi);
    return kStatusOk;
}

// --- trimming and measurements ---------------------------------------------------------

uint8_t GetRtrimValues(Exchange& x) {
    x.confirm[2] = x.chip.rtrimUseManual;
    x.confirm[3] = x.chip.rtrimManual;
    x.confirm[4] = x.chip.rtrimFused;
    return kStatusOk;
}

uint8_t SetRtrimManualValues(Exchange& x) {
    x.chip.rtrimUseManual = x.request[1];
    x.chip.rtrimManual = x.request[2];
    return kStatusOk;
}

uint8_t GetKfreqIbiasdacValues(Exchange& x) {
    x.confirm[2] = x.chip.kfreqUseManual;
    x.confirm[3] = x.chip.kfreqManual;
    x.confirm[4] = x.chip.kfreqFused;
    x.confirm[5] = x.chip.ibiasdacUseManual;
    x.confirm[6] = x.chip.ibiasdacManual;
    x.confirm[7] = x.chip.ibiasdacFused;
    return kStatusOk;
}

uint8_t SetKfreqIbiasdacManualValues(Exchange& x) {
    x.chip.kfreqUseManual = x.request[1];
    x.chip.kfreqManual = x.request[2];
    x.chip.ibiasdacUseManual = x.request[3];
    x.chip.ibiasdacManual = x.request[4];
    return kStatusOk;
}

uint8_t GetTemperatureValues(Exchange& x) {
    x.confirm[2] = x.chip.tmeasUseManual;
    x.confirm[4] = static_cast<uint8_t>(x.chip.tmeasManual & 0xFF);
    x.confirm[5] = static_cast<uint8_t>(x.chip.tmeasManual >> 8);
    x.confirm[6] = static_cast<uint8_t>(x.chip.tmeasFused & 0xFF);
    x.confirm[7] = static_cast<uint8_t>(x.chip.tmeasFused >> 8);
    return kStatusOk;
}

uint8_t SetTemperatureValues(Exchange& x) {
    x.chip.tmeasUseManual = x.request[2];
    x.chip.tmeasManual = Le16(x.request, 4);
    return kStatusOk;
}

uint8_t GetVoltageValues(Exchange& x) {
    x.confirm[2] = x.chip.vmeasUseManual;
    x.confirm[3] = x.chip.vmeasPropagation;
    x.confirm[4] = x.chip.vmeasManual;
    x.confirm[5] = x.chip.vmeasFused;
    return kStatusOk;
}

uint8_t SetVoltageValues(Exchange& x) {
    x.chip.vmeasUseManual = x.request[1];
    x.chip.vmeasPropagation = x.request[2];
    x.chip.vmeasManual = x.request[3];
    return kStatusOk;
}

// --- NVM -------------------------------------------------------------------------------

// The value of a wire parameter as it travels: the BD address in six bytes, the others in
// the first of them.
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

uint8_t WriteToNvm(Exchange& x) {
    const uint8_t wire = x.request[0];
    if (wire >= kWireNvmCount) return kStatusRejected;
    const int param = kWireToParam[wire];
    std::vector<int64_t> values;
    if (wire == 0)
        values.assign(x.request.begin() + 2, x.request.begin() + 8);
    else if (kNvmParams[static_cast<std::size_t>(param)].kind == Kind::I8)
        values.push_back(static_cast<int8_t>(x.request[2]));
    else
        values.push_back(x.request[2]);
    StoreNvm(x.chip, param, values);
    x.chip.wireVersion[wire] = x.request[1];
    return kStatusOk;
}

uint8_t ReadFromNvm(Exchange& x) {
    const uint8_t wire = x.request[0];
    x.confirm[1] = wire;
    if (wire >= kWireNvmCount) return kStatusRejected;
    x.confirm[2] = x.chip.wireVersion[wire];
    const std::vector<uint8_t> value = WireValue(x.chip, wire);
    std::copy(value.begin(), value.end(), x.confirm.begin() + 3);
    if (x.Faulty(Fault::WrongNvmId))
        x.confirm[1] = static_cast<uint8_t>((wire + 1) % kWireNvmCount);
    // 2: the parameter is there but its value is not valid.
    return x.chip.wireStatus[wire];
}

// --- HCI and versions ------------------------------------------------------------------

uint8_t HciCommand(Exchange& x) {
    const std::size_t length = x.request[1];
    if (length > 150) return kStatusRejected;
    const std::vector<uint8_t> event = HciAnswer(x.chip, x.request.subspan(2, length));
    x.confirm[2] = static_cast<uint8_t>(event.size());
    std::copy(event.begin(), event.end(), x.confirm.begin() + 3);
    if (x.Faulty(Fault::HciTooLong)) x.confirm[2] = 151;
    return kStatusOk;
}

uint8_t GetOpcodeVersion(Exchange& x);

// The test functions by number: fixed request and confirm sizes, whether the request's
// byte 0 is its data version, and the handler. A request size of -1 marks a function the
// phone does not offer.
struct FunctionRow {
    TestFunction function;
    int request;
    int confirm;
    bool versioned;
    Handler handler;
};

constexpr FunctionRow kFunctions[] = {
    {TestFunction::Reset, 0, 1, true, Reset},
    {TestFunction::SetRfTestMode, 22, 1, true, SetRfTestMode},
    {TestFunction::SetTxBurstMode, 30, 1, true, SetTxBurstMode},
    {TestFunction::SetTxContinuousMode, 7, 1, true, SetTxContinuousMode},
    {TestFunction::SetRxContinuousMode, 2, 1, true, StartMode<TestMode::RxContinuous, 1>},
    {TestFunction::GetLumoraVersion, 0, 12, true, GetLumoraVersion},
    {TestFunction::SetPcmLoopback, 2, 1, true, SetPcmLoopback},
    {TestFunction::CheckHostInterface, 0, 1, true, Nothing},
    {TestFunction::HwInfo, 0, 4, true, HwInfo},
    {TestFunction::Initialize, 2, 1, true, Initialize},
    {TestFunction::CheckSleepxSignal, 0, 1, true, Nothing},
    {TestFunction::GetRtrimValues, 0, 5, true, GetRtrimValues},
    {TestFunction::SetRtrimManualValues, 3, 1, true, SetRtrimManualValues},
    {TestFunction::GetKfreqIbiasdacValues, 0, 8, true, GetKfreqIbiasdacValues},
    {TestFunction::SetKfreqIbiasdacManualValues, 5, 1, true, SetKfreqIbiasdacManualValues},
    {TestFunction::GetPcmUartWakeupInterfaceStatus, 0, 5, true, GetPcmUartWakeupInterfaceStatus},
    {TestFunction::SetPcmUartWakeupInterface, 4, 1, true, SetPcmUartWakeupInterface},
    {TestFunction::GetTemperatureValues, 0, 8, true, GetTemperatureValues},
    {TestFunction::SetTemperatureValues, 6, 1, true, SetTemperatureValues},
    {TestFunction::GetVoltageValues, 0, 6, true, GetVoltageValues},
    {TestFunction::SetVoltageValues, 4, 1, true, SetVoltageValues},
    {TestFunction::GetRssiValue, 3, 3, true, GetRssiValue},
    // The phone has no capabilities query; it says so when asked for its versions.
    {TestFunction::GetCapabilities, -1, 1, true, Nothing},
    {TestFunction::WriteToNvm, 8, 1, false, WriteToNvm},
    {TestFunction::ReadFromNvm, 1, 9, false, ReadFromNvm},
    {TestFunction::SetTxLeMode, 5, 1, true, SetTxLeMode},
    {TestFunction::RxLeStart, 2, 1, true, StartMode<TestMode::RxLe, 1>},
    {TestFunction::RxLeEnd, 0, 4, true, RxLeEnd},
    {TestFunction::HciCommand, 152, 153, true, HciCommand},
    {TestFunction::GetOpcodeVersion, 2, 3, false, GetOpcodeVersion},
};

static_assert(std::size(kFunctions) == kFunctionCount);
static_assert([] {
    for (std::size_t i = 0; i < std::size(kFunctions); ++i)
        if (static_cast<std::size_t>(kFunctions[i].function) != i) return false;
    return true;
}());

bool Offered(std::size_t function) {
    return kFunctions[function].request >= 0;
}

uint8_t GetOpcodeVersion(Exchange& x) {
    const uint16_t asked = Le16(x.request, 0);
    x.confirm = {kStatusNotSupported, 0, 0};
    if (asked >= kFunctionCount || !Offered(asked)) return kStatusNotSupported;
    x.confirm = {kStatusOk, x.versions[asked].request, x.versions[asked].confirm};
    return kStatusOk;
}

bool Accepted(const FunctionRow& row, const FunctionVersions& versions,
              std::span<const uint8_t> request) {
    return row.request >= 0 && static_cast<int>(request.size()) == row.request &&
           (!row.versioned || request.empty() || request[0] == versions.request);
}

// The faults that change a confirm after the phone has answered.
uint32_t SpoilConfirm(const FaultSpec& fault, std::vector<uint8_t>& confirm) {
    uint32_t reported = static_cast<uint32_t>(confirm.size());
    switch (fault.kind) {
    case Fault::ErrorCode:
        confirm[0] = static_cast<uint8_t>(fault.value ? fault.value : 5);
        break;
    case Fault::WrongSize:
        confirm.resize(fault.value > 0 ? static_cast<std::size_t>(fault.value) : confirm.size() + 1,
                       0);
        reported = static_cast<uint32_t>(confirm.size());
        break;
    case Fault::OversizeLength:
        reported = fault.value > 0 ? static_cast<uint32_t>(fault.value) : 16000;
        confirm.resize(std::min<std::size_t>(reported, kConfirmBufferSize), 0);
        break;
    default:
        break;
    }
    return reported;
}

} // namespace

BinaryAnswer Simulator::HandleBinary(int32_t function, std::span<const uint8_t> request) {
    const std::lock_guard lock(mutex_);
    FaultSpec fault;
    const bool faulty = TakeBinaryFault(function, fault);
    const BinaryAnswer answer = AnswerBinary(function, request, faulty ? &fault : nullptr);
    binaryLog_.push_back(
        {function, {request.begin(), request.end()}, answer.confirm, answer.hostOk});
    return answer;
}

BinaryAnswer Simulator::AnswerBinary(int32_t function, std::span<const uint8_t> request,
                                     const FaultSpec* fault) {
    const auto faulty = [&](Fault kind) { return fault != nullptr && fault->kind == kind; };
    if (faulty(Fault::HostCallFails)) return {false, {}, 0};
    if (faulty(Fault::NoReply)) return {true, {}, 0};
    if (faulty(Fault::Verbatim))
        return {true, fault->bytes, static_cast<uint32_t>(fault->bytes.size())};
    if (function < 0 || function >= kFunctionCount) return {true, {kStatusNotSupported}, 1};

    const FunctionRow& row = kFunctions[static_cast<std::size_t>(function)];
    const FunctionVersions& versions = binaryVersions_[static_cast<std::size_t>(function)];
    std::vector<uint8_t> confirm(static_cast<std::size_t>(row.confirm), 0);
    confirm[0] = kStatusOk;
    if (row.confirm > 1) confirm[1] = versions.confirm;
    if (faulty(Fault::Garbage)) {
        std::fill(confirm.begin(), confirm.end(), 0xA5);
        return {true, confirm, static_cast<uint32_t>(confirm.size())};
    }

    if (!Accepted(row, versions, request)) {
        confirm[0] = row.request >= 0 ? kStatusRejected : kStatusNotSupported;
    } else {
        ChipState chip = chip_;
        Exchange exchange{chip, request, confirm, binaryVersions_,
                          fault ? std::optional(fault->kind) : std::nullopt};
        confirm[0] = row.handler(exchange);
        // A request answered with an error status is not carried out.
        if (confirm[0] == kStatusOk && !faulty(Fault::ErrorCode)) chip_ = chip;
    }
    const uint32_t reported =
        fault ? SpoilConfirm(*fault, confirm) : static_cast<uint32_t>(confirm.size());
    return {true, confirm, reported};
}

} // namespace phonesim
