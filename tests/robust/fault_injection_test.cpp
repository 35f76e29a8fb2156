// Every IBluetooth operation of both back-ends against every fault of the phone simulator.
// Each case first runs the operation on a healthy phone to learn which command or test
// function it sends, then once more on a fresh phone with the fault aimed at exactly that
// exchange, and checks the code, the text, the outputs and the log.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "bt/bluetooth_transport.h"
#include "bt/bt_types.h"
#include "fake_host.h"
#include "ibluetooth_ops.h"
#include "legacy/bluetoothlegacy.h"
#include "phonesim.h"
#include "zep/bluetoothzep.h"

namespace {

using phonesim::Fault;

enum class Backend { Text54, Text175, Legacy };

struct FaultCase {
    const char* name;
    Fault kind;
    bool versionTwo = false; // instead of a fault: the phone reports data version 2
};

const FaultCase kFaults[] = {
    {"HostCallFails", Fault::HostCallFails},
    {"NoReply", Fault::NoReply},
    {"Garbage", Fault::Garbage},
    {"MissingOk", Fault::MissingOk},
    {"ErrorCode5", Fault::ErrorCode},
    {"ValueShort", Fault::ValueShort},
    {"ValueExtra", Fault::ValueExtra},
    {"WrongSize", Fault::WrongSize},
    {"OversizeLength", Fault::OversizeLength},
    {"WrongNvmId", Fault::WrongNvmId},
    {"HciTooLong", Fault::HciTooLong},
    {"Version2", Fault::NoReply, true},
};

// A request every operation's phone side accepts: zero except the few fields whose zero
// the firmware refuses.
btops::Request HealthyRequest() {
    btops::Request r;
    r.bytes.assign(sizeof(T_BT_ALL_NVM_PARAMS), 0);
    return r;
}

struct Sent {
    std::string command; // text: the command name, e.g. "at@bt:hw_info"
    int32_t function = -1;
};

std::string NameOf(const std::string& command) {
    return command.substr(0, command.find('('));
}

bool IsBoolOperation(const btops::Call& call) {
    return call.output &&
           (std::strcmp(call.output, "resetOk") == 0 || std::strcmp(call.output, "check") == 0);
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

class Rig {
public:
    explicit Rig(Backend backend) : backend_(backend) {
        host_.SetInterfaceKind(backend == Backend::Text54 ? 1 : 2);
        host_.SetLastError("link down");
        host_.InstallIntoPlugin();
        legacy_framing::detail::ClearOpcodeVersionTable();
        if (backend == Backend::Legacy)
            bt_ = std::make_unique<BluetoothLegacy>();
        else
            bt_ = std::make_unique<BluetoothZep>();
        host_.Phone().ClearLogs();
        host_.ClearLog();
    }

    IBluetooth& Bt() { return *bt_; }
    fakehost::FakeHost& Host() { return host_; }
    phonesim::Simulator& Phone() { return host_.Phone(); }

    // What the operation sent besides version queries and probes, the last one.
    Sent LastSent() {
        Sent sent;
        for (const auto& rec : host_.Phone().TextLog()) {
            const std::string name = NameOf(rec.command);
            if (name != "at@bt:get_opcode_version" && name != "at@bt:?") sent.command = name;
        }
        for (const auto& rec : host_.Phone().BinaryLog())
            if (rec.function != atctst_bt_get_opcode_version) sent.function = rec.function;
        return sent;
    }

private:
    Backend backend_;
    fakehost::FakeHost host_;
    std::unique_ptr<IBluetooth> bt_;
};

struct Param {
    Backend backend;
    std::size_t fault;
};

std::string BackendName(Backend b);

void PrintTo(const Param& p, std::ostream* os) {
    *os << BackendName(p.backend) << " " << kFaults[p.fault].name;
}

std::string BackendName(Backend b) {
    switch (b) {
    case Backend::Text54:
        return "Text54";
    case Backend::Text175:
        return "Text175";
    case Backend::Legacy:
        return "Legacy";
    }
    return "?";
}

std::string CaseName(const testing::TestParamInfo<Param>& info) {
    return BackendName(info.param.backend) + "_" + kFaults[info.param.fault].name;
}

// The result field of the confirm record an operation filled, if it has one.
const int32_t* ResultField(const btops::Outputs& out, const char* output) {
    if (output == nullptr) return nullptr;
    const std::string o = output;
    if (o == "rxLeEnd") return &out.rxLeEnd.result;
    if (o == "lumora") return &out.lumora.result;
    if (o == "rssi") return &out.rssi.result;
    if (o == "rtrim") return &out.rtrim.result;
    if (o == "kfreq") return &out.kfreq.result;
    if (o == "temperature") return &out.temperature.result;
    if (o == "voltage") return &out.voltage.result;
    if (o == "interfaces") return &out.interfaces.result;
    if (o == "hci") return &out.hci.result;
    return nullptr;
}

void CheckOperation(const Param& p, const btops::Operation& op) {
    const FaultCase& fc = kFaults[p.fault];
    const btops::Request request = HealthyRequest();

    Sent sent;
    btops::Call healthy;
    {
        Rig rig(p.backend);
        btops::Outputs out;
        healthy = op.run(rig.Bt(), 1, request, out);
        sent = rig.LastSent();
    }
    const bool text = p.backend != Backend::Legacy;
    const bool exchanges = text ? !sent.command.empty() : sent.function >= 0;

    Rig rig(p.backend);
    phonesim::FaultSpec fault;
    fault.kind = fc.kind;
    if (fc.kind == Fault::ErrorCode) fault.value = 5;
    if (fc.versionTwo) {
        if (text) {
            for (int opcode = 0; opcode < phonesim::kOpcodeCount; ++opcode)
                rig.Phone().SetTextVersions(opcode, 2, 2);
        } else {
            for (int fn = 0; fn < phonesim::kFunctionCount; ++fn)
                rig.Phone().SetBinaryVersions(fn, 2, 2);
        }
    } else if (text) {
        rig.Phone().InjectText(fault, sent.command.empty() ? "at@bt:none" : sent.command);
    } else {
        rig.Phone().InjectBinary(fault, sent.function);
    }
    btops::Outputs out;
    const btops::Outputs untouched;
    const btops::Call call = op.run(rig.Bt(), 1, request, out);
    const bool outputUntouched = std::memcmp(&out, &untouched, sizeof out) == 0;
    std::size_t firstChanged = 0;
    while (firstChanged < sizeof out &&
           reinterpret_cast<const uint8_t*>(&out)[firstChanged] ==
               reinterpret_cast<const uint8_t*>(&untouched)[firstChanged])
        ++firstChanged;
    SCOPED_TRACE("first output byte written: " + std::to_string(firstChanged));
    const bool boolOp = IsBoolOperation(call);
    SCOPED_TRACE("healthy code " + std::to_string(healthy.result.code) + " sent '" + sent.command +
                 "' function " + std::to_string(sent.function));

    const std::string name = op.name;
    const bool nvm = StartsWith(name, "GetNvm") || StartsWith(name, "SetNvm") ||
                     StartsWith(name, "ReadAll") || StartsWith(name, "WriteAll");
    if (fc.versionTwo) {
        // The binary NVM operations check the data version of the value, not of the record.
        if (!text && nvm) return;
        if (call.result.code == 2) {
            EXPECT_TRUE(StartsWith(call.result.text, "\nData version mismatch. "))
                << call.result.text;
            EXPECT_TRUE(outputUntouched);
        } else if (exchanges && !boolOp && healthy.result.code == 0 && !text) {
            // Every binary operation with a record checks its version.
            ADD_FAILURE() << "version 2 accepted with code " << int(call.result.code);
        }
        return;
    }

    // A fault the protocol cannot carry, or an operation that reaches no phone: the
    // outcome is the healthy one.
    const bool textFault = fc.kind != Fault::WrongSize && fc.kind != Fault::OversizeLength &&
                           fc.kind != Fault::WrongNvmId;
    const bool binaryFault =
        fc.kind == Fault::HostCallFails || fc.kind == Fault::NoReply || fc.kind == Fault::Garbage ||
        fc.kind == Fault::ErrorCode || fc.kind == Fault::WrongSize ||
        fc.kind == Fault::OversizeLength || fc.kind == Fault::HciTooLong ||
        (fc.kind == Fault::WrongNvmId && sent.function == atctst_bt_read_from_nvm);
    const bool hci =
        text ? sent.command == "at@bt:hci_command" : sent.function == atctst_bt_hci_command;
    if (!exchanges || (text ? !textFault : !binaryFault) ||
        (fc.kind == Fault::HciTooLong && !hci)) {
        EXPECT_EQ(call.result.code, healthy.result.code);
        return;
    }
    ASSERT_EQ(healthy.result.code, 0) << "the healthy run must succeed for the fault to count";

    if (text) {
        uint8_t expected = 3;
        if (fc.kind == Fault::HostCallFails) expected = p.backend == Backend::Text54 ? 1 : 3;
        // A phone error code in a reply that ends in "OK" is no failure of the exchange:
        // it lands in the record's result field for the form to judge.
        // Read-all has no code of its own: the inserted one is a 44th value.
        if (fc.kind == Fault::ErrorCode) expected = name == "ReadAllNvmParams" ? 3 : 0;
        // Only a reply's length is judged, never the untouched record's (0xEE here).
        if (hci && fc.kind == Fault::HciTooLong) expected = T_RESULT_DATA_TOO_LONG;
        if (boolOp) expected = expected ? 1 : 0;
        EXPECT_EQ(call.result.code, expected) << call.result.text;
        if (hci && expected == T_RESULT_DATA_TOO_LONG) {
            EXPECT_EQ(call.result.text, "HCI command response data length above limit: 150");
        }
        if (!boolOp && expected == 1) {
            EXPECT_EQ(call.result.text, "Error: communication error");
        }
        if (fc.kind == Fault::HostCallFails) {
            EXPECT_TRUE(boolOp || outputUntouched);
            if (p.backend == Backend::Text54) {
                EXPECT_TRUE(rig.Host().HasLine("link down"));
            } else if (!boolOp) { // no reply: the record's old result is no phone code
                EXPECT_EQ(call.result.text, "FAIL");
            }
        }
        if (fc.kind == Fault::ErrorCode) {
            const int32_t* phoneCode = ResultField(out, call.output);
            if (phoneCode) {
                EXPECT_EQ(*phoneCode, 5);
            }
            if (call.output && std::strcmp(call.output, "resetOk") == 0) {
                EXPECT_FALSE(out.resetOk);
            }
            if (name == "GetHwInfo") {
                EXPECT_EQ(rig.Bt().IsBtOn(), 0);
                EXPECT_EQ(rig.Bt().GetHostInterface(), 2);
            }
        }
        if (fc.kind == Fault::HciTooLong && call.result.code == 0) {
            EXPECT_LE(out.hci.length, kHciDataSize);
        }
        return;
    }

    // Binary back-end.
    const uint16_t expectedSize = kLegacyFunctionSizes[sent.function].confirm;
    switch (fc.kind) {
    case Fault::HostCallFails:
        EXPECT_EQ(call.result.code, 1);
        EXPECT_TRUE(boolOp || outputUntouched);
        EXPECT_TRUE(rig.Host().HasLine("link down"));
        break;
    case Fault::NoReply:
    case Fault::Garbage:
    case Fault::ErrorCode:
    case Fault::WrongNvmId:
        // The exchange took place; its status says failure.
        EXPECT_EQ(call.result.code, boolOp ? 0 : 1);
        if (boolOp) {
            EXPECT_EQ(std::strcmp(call.output, "resetOk") == 0 ? uint8_t(out.resetOk) : out.check,
                      0);
        } else if (call.output && std::strcmp(call.output, "hci") != 0) {
            EXPECT_TRUE(outputUntouched);
        }
        if (fc.kind == Fault::ErrorCode) {
            EXPECT_TRUE(rig.Host().HasLine(t_result_to_string(5), 1));
        }
        if (fc.kind == Fault::NoReply) {
            EXPECT_TRUE(
                rig.Host().HasLine(legacy_framing::SizeWarning(sent.function, expectedSize, 0), 1));
        }
        break;
    case Fault::WrongSize:
        EXPECT_TRUE(rig.Host().HasLine(
            legacy_framing::SizeWarning(sent.function, expectedSize, expectedSize + 1u), 1));
        EXPECT_EQ(call.result.code, 0);
        break;
    case Fault::OversizeLength:
        EXPECT_TRUE(
            rig.Host().HasLine(legacy_framing::SizeWarning(sent.function, expectedSize, 16000), 1));
        EXPECT_EQ(call.result.code, 0);
        break;
    case Fault::HciTooLong:
        if (call.result.code == 0) {
            EXPECT_LE(out.hci.length, kHciDataSize);
        }
        break;
    default:
        break;
    }
}

class FaultInjection : public testing::TestWithParam<Param> {};

// One case per back-end and fault, over every operation.
TEST_P(FaultInjection, EveryOperationGivesTheDocumentedOutcome) {
    for (const btops::Operation& op : btops::AllOperations()) {
        SCOPED_TRACE(op.name);
        CheckOperation(GetParam(), op);
    }
}

std::vector<Param> AllCases() {
    std::vector<Param> cases;
    for (Backend b : {Backend::Text54, Backend::Text175, Backend::Legacy})
        for (std::size_t f = 0; f < std::size(kFaults); ++f)
            cases.push_back({b, f});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryOperation, FaultInjection, testing::ValuesIn(AllCases()), CaseName);

} // namespace
