#pragma once
// The plan operations, one named function each, and what they share. The table that names
// them, with their arguments and measurements, is Operations() in operations.cpp.

#include "bt/ibluetooth.h"
#include "run/operations.h"

namespace run::op {

// Every record sent to the phone is data version 1.
constexpr uint8_t kVersion = 1;

// The BR/EDR payload patterns as request records carry them: kind and fixed byte by
// pattern number (00000000, 00110011, 01010101, 00001111, 11111111, PRBS9).
inline constexpr uint8_t kBrPatternKind[] = {0, 0, 0, 0, 0, 1};
inline constexpr uint8_t kBrPatternByte[] = {0x00, 0x33, 0x55, 0x0F, 0xFF, 0x00};

// A confirm whose result field is not 0: the phone refused what it was asked.
T_Result Checked(T_Result result, int32_t phoneCode);

// The chip and the HCI interface (op_chip.cpp).
T_Result ChipOn(OpContext& c);
T_Result ChipOff(OpContext& c);
T_Result HwInfo(OpContext& c);
T_Result HciReset(OpContext& c);
T_Result FirmwareInfo(OpContext& c);
T_Result HciCommand(OpContext& c);
T_Result Wait(OpContext& c);

// RF test modes (op_rf.cpp).
T_Result RfTestMode(OpContext& c);
T_Result TxBurst(OpContext& c);
T_Result TxContinuous(OpContext& c);
T_Result RxContinuous(OpContext& c);
T_Result LeTx(OpContext& c);
T_Result LeRxStart(OpContext& c);
T_Result LeRxEnd(OpContext& c);
T_Result Rssi(OpContext& c);

// Trimming values, interfaces and PCM loopback (op_trim.cpp).
T_Result RtrimRead(OpContext& c);
T_Result RtrimWrite(OpContext& c);
T_Result KfreqIbiasdacRead(OpContext& c);
T_Result KfreqIbiasdacWrite(OpContext& c);
T_Result TmeasRead(OpContext& c);
T_Result TmeasWrite(OpContext& c);
T_Result VmeasRead(OpContext& c);
T_Result VmeasWrite(OpContext& c);
T_Result InterfacesRead(OpContext& c);
T_Result InterfacesWrite(OpContext& c);
T_Result PcmLoopback(OpContext& c);

// NVM parameters and device addresses (op_nvm.cpp).
T_Result NvmRead(OpContext& c);
T_Result NvmWrite(OpContext& c);
T_Result NvmVerify(OpContext& c);
T_Result BdaddrAssign(OpContext& c);
bool CheckAddressBlock(const Args& args, QString& error);

// The LE receiver's count against the packets sent: le_rx_packets and le_per.
void KeepLeRxResult(OpContext& c, int received, int expected);

// The radio measured over the air by a test set (op_radio.cpp): their table rows.
std::vector<OperationSpec> RadioOps();

} // namespace run::op
