#pragma once
// The phone simulator: a model of the phone's Bluetooth chip that answers the text test
// commands ("at@bt:...") and the binary test functions as the phone's test firmware does.
//
// It is a real endpoint, not a mock: it keeps the chip's state (on/off, host interface,
// trimming registers, interface settings, loopback, test mode and its transmitter settings,
// LE RX packet count, the NVM values and its BD address), answers with exact sizes and
// grammar, records what it received, and can be scripted to report other record versions
// or to fail. Its radio is on the simulated air (Air()): test instruments measure what its
// transmitter sends and send packets to its receiver.
//
// The codec here is the phone's own; it shares nothing with the plug-in's builders and
// parsers, so a fault on one side cannot hide a fault on the other.
//
// Text replies: each value on a line of its own, arrays as "{a,b,...}", then the result
// code (except for "at@bt:read_all_nvm_params") and "OK", every line ended by CR LF.
// A command the firmware does not know, or whose arguments do not fit (count, kind, range,
// blanks), is answered "ERROR" CR LF; a setting outside what the chip offers (initialize 2,
// loopback 3, interface 2) is answered with result code 1 and changes nothing. The link
// probe "at@bt:?" is answered "OK".
//
// Binary confirms: byte 0 is the status (1 success), byte 1 the confirm's data version in
// every data-carrying confirm; sizes are the fixed sizes of each test function. A request
// of the wrong size or whose version byte differs from the phone's request version gets
// status 3; a function the phone does not offer (22) status 2.
//
// Scripting in short:
//   sim.SetTextVersions(opcode, req, con) / sim.SetBinaryVersions(fn, req, con)
//   sim.InjectText({Fault::ErrorCode, 5}, "at@bt:initialize")      next initialize only
//   sim.InjectBinary({Fault::WrongSize, 4}, 5)                      next function 5 only
//   FaultSpec f{Fault::HostCallFails}; f.persistent = true; sim.InjectText(f);  every command
//   sim.TextLog(), sim.TextCount("at@bt:reset"), sim.BinaryLog(), sim.BinaryCount(9)
// Every exchange is recorded, also one answered with a fault. A command or request answered
// with an injected error code or status is not carried out.

#include <array>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "air/air.h"

namespace phonesim {

// Number of NVM parameters of the text commands, indexed by their BNPT_* identifier.
constexpr int kNvmParamCount = 43;
// Number of NVM parameters of the binary protocol, indexed by their wire id.
constexpr int kWireNvmCount = 16;
// Number of text opcodes whose versions the phone reports (0 NONE .. 33 READ_ALL_NVM_PARAMS).
constexpr int kOpcodeCount = 34;
// Number of binary test functions (0 .. 29 atctst_bt_get_opcode_version).
constexpr int kFunctionCount = 30;
// Largest confirm a host may write into its buffer for slot 18.
constexpr std::size_t kConfirmBufferSize = 15000;

// Wire id -> BNPT_* identifier of the 16 NVM parameters of the binary protocol.
constexpr std::array<int, kWireNvmCount> kWireToParam = {0,  9,  10, 11, 12, 13, 14, 15,
                                                         16, 17, 18, 19, 20, 21, 22, 24};

enum class TestMode { None, RfTest, TxBurst, TxContinuous, RxContinuous, TxLe, RxLe };

// The settings of the transmitter test mode started last, as its request gave them.
struct TxSettings {
    uint8_t length = 0;      // LE payload bytes
    int8_t powerDbm = 0;     // LE power level
    uint32_t lePattern = 0;  // LE 0..7: PRBS9, 11110000, 10101010, PRBS15, 11111111, ...
    uint8_t powerStep = 0;   // BR burst: steps below the BR power level
    uint8_t patternKind = 0; // BR burst and continuous: 0 the fixed byte below, else PRBS9
    uint8_t patternByte = 0;
    uint32_t packetType = 0; // BR burst 0..8: DH1, DH3, DH5, 2-DH1 ... 3-DH5
};

// The unit's own radio, as the air sees it (a unit profile's "radio").
struct RadioTraits {
    double powerErrorDb = 0; // added to the power the settings ask for
    double offsetKhz = 0;
    double driftKhz = 0;
    double initialDriftKhz = 0;
    double driftRateKhz = 0; // per 50 us
    double leDeltaF1Khz = 250;
    double brDeltaF1Khz = 160;
    double f2f1Ratio = 0.9;
    double sensitivityDbm = -92; // where 30.8 % of the LE packets are lost
    uint64_t receiverRandom = 1; // state of the draws that decide which packets are lost
};

// What the chip holds. Tests may read and change it directly between exchanges.
struct ChipState {
    bool on = false;
    uint8_t hostInterface = 0; // 0 UART, 1 BT-IF

    uint8_t rtrimUseManual = 0, rtrimManual = 0, rtrimFused = 0x17;
    uint8_t kfreqUseManual = 0, kfreqManual = 0, kfreqFused = 0x2A;
    uint8_t ibiasdacUseManual = 0, ibiasdacManual = 0, ibiasdacFused = 0x0C;
    uint8_t tmeasUseManual = 0;
    uint16_t tmeasManual = 0, tmeasFused = 0x01F4;
    uint8_t vmeasUseManual = 0, vmeasPropagation = 0, vmeasManual = 0, vmeasFused = 0x5C;

    uint32_t pcm = 0, uart = 0, wakeup = 0; // 0 internal, 1 external
    uint32_t loopback = 0;                  // 0 off, 1 air to air, 2 PCM to PCM

    TestMode mode = TestMode::None;
    uint8_t channel = 0; // channel of the last RF test mode started
    TxSettings tx;
    RadioTraits radio;
    // What "rx_le_end" / function 27 report when no packet came over the air since the
    // LE RX started; otherwise they report how many of those the phone received.
    uint16_t leRxPackets = 0;
    bool airPacketsCame = false;
    uint32_t airPacketsReceived = 0;
    int8_t rssi = -60; // what an RSSI query reports
    std::array<uint8_t, 10> lumoraVersion = {4, 6, 0, 0, 0x12, 0x34, 2, 0, 0, 1};

    // NVM values by BNPT_* identifier; array parameters (BD address: 6 bytes, LMP features:
    // 8 bytes) use one element per byte, the others element 0 only (signed values as such).
    std::array<std::array<int64_t, 8>, kNvmParamCount> nvm{};
    // Binary protocol: per wire id, the data version of the stored value and its status
    // (1 valid, 2 present but not valid).
    std::array<uint8_t, kWireNvmCount> wireVersion{};
    std::array<uint8_t, kWireNvmCount> wireStatus{};
};

// The chip's state at power-up: plausible, mostly non-zero NVM values, every wire value
// valid with data version 1, BD address 00:1A:7D:DA:71:13.
ChipState DefaultChip();

// What can go wrong in one exchange.
enum class Fault {
    HostCallFails,  // the host call returns failure (both); slot 175 still assigns `text`
    NoReply,        // the call succeeds, nothing comes back: empty text / confirm length 0
    Garbage,        // text: a line of non-numeric noise; binary: the expected size of 0xA5
    MissingOk,      // text: the reply without its "OK" line
    ErrorCode,      // text: result code `value` (default 5) instead of 0; for read-all the
                    // code is inserted before "OK". Binary: status byte `value` (default 5)
    ValueShort,     // text: the last value before the result code is left out (the code
                    // itself when the command returns no values, the 43rd for read-all)
    ValueExtra,     // text: one more number (0) before the result code / "OK"
    WrongSize,      // binary: confirm of `value` bytes (default expected + 1), cut or padded
    OversizeLength, // binary: reports length `value` (default 16000) above the buffer; the
                    // host still writes no more than 15000 bytes
    WrongNvmId,     // binary: function 24 confirms another wire id than asked
    HciTooLong,     // both: the HCI reply reports a length of 151
    Verbatim,       // text: `text` is the whole reply; binary: `bytes` is the whole confirm
};

// The versions the phone reports for one text opcode.
struct TextVersions {
    uint8_t request = 1, confirm = 1;
    int32_t code = 0;
};

// The versions the phone reports for one binary test function.
struct FunctionVersions {
    uint8_t request = 1, confirm = 1;
};

// One scripted fault. An empty `command` (text) or `function` -1 (binary) applies to every
// exchange of that protocol; `persistent` faults stay until cleared, others are used once.
struct FaultSpec {
    Fault kind = Fault::NoReply;
    int32_t value = 0;
    std::string text;
    std::vector<uint8_t> bytes;
    bool persistent = false;
};

// The text command as received and the reply the phone gave (empty when no reply).
struct TextRecord {
    std::string command;
    std::string reply;
    bool hostOk = true;
    int slot = 0; // host slot it came through (54 or 175); 0 when handed in directly
};

// The binary request as received and the confirm the phone gave.
struct BinaryRecord {
    int32_t function = 0;
    std::vector<uint8_t> request;
    std::vector<uint8_t> confirm;
    bool hostOk = true;
};

// Answer to one text exchange: hostOk is the host call's result.
struct TextAnswer {
    bool hostOk = true;
    std::string reply;
};

// Answer to one binary exchange; reportedLength may exceed confirm.size() (oversize fault).
struct BinaryAnswer {
    bool hostOk = true;
    std::vector<uint8_t> confirm;
    uint32_t reportedLength = 0;
};

class Simulator {
public:
    Simulator();

    // --- the two protocols ------------------------------------------------------------
    // One text command, exactly as the host passed it (no line terminator expected; a
    // trailing CR/LF is tolerated).
    TextAnswer HandleText(std::string_view command, int slot = 0);
    // One binary test function with its request bytes.
    BinaryAnswer HandleBinary(int32_t function, std::span<const uint8_t> request);

    // --- chip state -------------------------------------------------------------------
    // Not guarded: read and change it only while no instrument uses Air().
    ChipState& Chip() { return chip_; }
    const ChipState& Chip() const { return chip_; }

    // --- the air ----------------------------------------------------------------------
    // The phone's radio on the simulated air (docs/tester.md): what its transmitter test
    // mode sends, and LE test packets to its receiver. Safe to use from another thread
    // while the exchanges go on.
    air::Radio& Air() { return air_; }

    // --- versions ---------------------------------------------------------------------
    // Text: what "at@bt:get_opcode_version(opcode)" reports (default 1, 1, code 0; opcodes
    // of 34 and above: 0, 0, code 1).
    void SetTextVersions(int opcode, uint8_t request, uint8_t confirm, int32_t code = 0);
    // Binary: the versions function 29 reports for `function` (default 1, 1), also the
    // version byte of that function's confirms and the request version accepted.
    void SetBinaryVersions(int function, uint8_t request, uint8_t confirm);

    // --- faults -----------------------------------------------------------------------
    // Text fault for the named command ("at@bt:hw_info"; "" = every command).
    void InjectText(const FaultSpec& fault, std::string command = "");
    // Binary fault for one test function (-1 = every function).
    void InjectBinary(const FaultSpec& fault, int32_t function = -1);
    void ClearFaults();

    // --- what was received ------------------------------------------------------------
    const std::vector<TextRecord>& TextLog() const { return textLog_; }
    const std::vector<BinaryRecord>& BinaryLog() const { return binaryLog_; }
    // Commands received whose name (the text before "(") is `name`, e.g. "at@bt:reset".
    std::size_t TextCount(std::string_view name) const;
    std::size_t BinaryCount(int32_t function) const;
    // The last command / request received; empty when none.
    std::string LastCommand() const;
    std::vector<uint8_t> LastRequest() const;
    void ClearLogs();

    // Back to power-up: default chip, versions and no faults; the logs are kept.
    void Reset();

private:
    struct ScriptedText {
        FaultSpec fault;
        std::string command;
    };
    struct ScriptedBinary {
        FaultSpec fault;
        int32_t function;
    };

    class AirSide : public air::Radio {
    public:
        explicit AirSide(Simulator& sim) : sim_(sim) {}
        air::Transmission Transmitting() override;
        int Receive(const air::Packets& packets) override;

    private:
        Simulator& sim_;
    };

    bool TakeTextFault(std::string_view name, FaultSpec& out);
    bool TakeBinaryFault(int32_t function, FaultSpec& out);
    // The answer to one exchange; `fault` is null when none is scripted.
    TextAnswer AnswerText(std::string_view command, const FaultSpec* fault);
    BinaryAnswer AnswerBinary(int32_t function, std::span<const uint8_t> request,
                              const FaultSpec* fault);

    ChipState chip_;
    std::array<TextVersions, kOpcodeCount> textVersions_{};
    std::array<FunctionVersions, kFunctionCount> binaryVersions_{};
    std::vector<ScriptedText> textFaults_;
    std::vector<ScriptedBinary> binaryFaults_;
    std::vector<TextRecord> textLog_;
    std::vector<BinaryRecord> binaryLog_;
    // Held through every exchange and every use of the air, which may come from the air
    // server's thread.
    std::mutex mutex_;
    AirSide air_{*this};
};

} // namespace phonesim
