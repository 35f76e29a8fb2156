#pragma once
// The phone firmware's binary test functions by the number each request frame carries.
// Written out here, in the phone's own words, rather than taken from the plug-in: a wrong
// number on either side then shows as a failed exchange instead of agreeing with itself.

#include <cstdint>

#include "phone/phonesim.h"

namespace phonesim {

enum class TestFunction : int32_t {
    Reset = 0,
    SetRfTestMode = 1,
    SetTxBurstMode = 2,
    SetTxContinuousMode = 3,
    SetRxContinuousMode = 4,
    GetLumoraVersion = 5,
    SetPcmLoopback = 6,
    CheckHostInterface = 7,
    HwInfo = 8,
    Initialize = 9,
    CheckSleepxSignal = 10,
    GetRtrimValues = 11,
    SetRtrimManualValues = 12,
    GetKfreqIbiasdacValues = 13,
    SetKfreqIbiasdacManualValues = 14,
    GetPcmUartWakeupInterfaceStatus = 15,
    SetPcmUartWakeupInterface = 16,
    GetTemperatureValues = 17,
    SetTemperatureValues = 18,
    GetVoltageValues = 19,
    SetVoltageValues = 20,
    GetRssiValue = 21,
    GetCapabilities = 22,
    WriteToNvm = 23,
    ReadFromNvm = 24,
    SetTxLeMode = 25,
    RxLeStart = 26,
    RxLeEnd = 27,
    HciCommand = 28,
    GetOpcodeVersion = 29,
};

static_assert(static_cast<int>(TestFunction::GetOpcodeVersion) + 1 == kFunctionCount);

} // namespace phonesim
