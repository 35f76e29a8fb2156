#include <array>

#include "run/nvm_values.h"
#include "run/op_steps.h"

namespace run::op {

namespace {

constexpr int kBinaryNvmCount = 16;

template <std::size_t N> uint8_t* Out(uint8_t (&field)[N]) {
    return field;
}
template <typename T> T* Out(T& field) {
    return &field;
}
template <std::size_t N> const uint8_t* In(const uint8_t (&field)[N]) {
    return field;
}
template <typename T> T In(const T& field) {
    return field;
}

// The IBluetooth getter and setter of each parameter, in nvm::Params() order.
struct NvmAccess {
    T_Result (*get)(IBluetooth&, T_BT_ALL_NVM_PARAMS&);
    T_Result (*set)(IBluetooth&, const T_BT_ALL_NVM_PARAMS&);
};

const std::array<NvmAccess, nvm::kParamCount>& NvmAccessors() {
#define RUN_NVM_ACCESS(Camel, field, id, kind, transfer, units)                                           \
    NvmAccess{[](IBluetooth& bt, T_BT_ALL_NVM_PARAMS& all) {                                       \
                  return bt.GetNvm##Camel(kVersion, Out(all.field));                               \
              },                                                                                   \
              [](IBluetooth& bt, const T_BT_ALL_NVM_PARAMS& all) {                                 \
                  return bt.SetNvm##Camel(kVersion, In(all.field));                                \
              }},
    static const std::array<NvmAccess, nvm::kParamCount> table = {{BT_NVM_PARAMS(RUN_NVM_ACCESS)}};
#undef RUN_NVM_ACCESS
    return table;
}

// Reads the named parameters (all when `names` is empty) into the readings. The text
// protocol reads all at once; the binary one has a getter per parameter.
T_Result ReadParams(OpContext& c, const QStringList& names) {
    T_BT_ALL_NVM_PARAMS all{};
    std::vector<int> wanted;
    for (const QString& n : names)
        wanted.push_back(nvmvalue::Index(n));
    // The binary protocol offers only the first kBinaryNvmCount parameters one by one.
    if (names.isEmpty())
        for (int i = 0; i < (c.textProtocol ? nvm::kParamCount : kBinaryNvmCount); ++i)
            wanted.push_back(i);
    if (c.textProtocol) {
        const T_Result r = c.bt.ReadAllNvmParams(kVersion, &all);
        if (r.code != T_RESULT_OK) return r;
    } else {
        for (int i : wanted) {
            const T_Result r = NvmAccessors()[static_cast<std::size_t>(i)].get(c.bt, all);
            if (r.code != T_RESULT_OK) return r;
        }
    }
    for (int i : wanted)
        c.readings[nvmvalue::Param(i).suffix] = nvmvalue::Read(all, nvmvalue::Param(i));
    return {};
}

// Writes one parameter. Phones with binary records take a write only in the parameter's
// data version, which the back-end learns when it reads the parameter: read it first.
T_Result WriteParam(OpContext& c, int index, const T_BT_ALL_NVM_PARAMS& all) {
    const NvmAccess& access = NvmAccessors()[static_cast<std::size_t>(index)];
    if (!c.textProtocol) {
        T_BT_ALL_NVM_PARAMS current{};
        const T_Result r = access.get(c.bt, current);
        if (r.code != T_RESULT_OK) return r;
    }
    return access.set(c.bt, all);
}

// A 6-byte address as a big-endian number, the order in which it is written and read.
uint64_t Address(const QByteArray& bytes) {
    uint64_t value = 0;
    for (const char byte : bytes)
        value = value << 8 | static_cast<uint8_t>(byte);
    return value;
}

} // namespace

T_Result NvmRead(OpContext& c) {
    const QString name = c.args.value("param").text;
    return ReadParams(c, name == "all" ? QStringList() : QStringList{name});
}

T_Result NvmWrite(OpContext& c) {
    const int i = nvmvalue::Index(c.args.value("param").text);
    T_BT_ALL_NVM_PARAMS all{};
    nvmvalue::Write(all, nvmvalue::Param(i), c.args.value("value"));
    return WriteParam(c, i, all);
}

T_Result NvmVerify(OpContext& c) {
    return ReadParams(c, c.args.value("expected").map.keys());
}

// Takes an address from the store and programs it: nothing reaches the phone unless the
// store handed one out, and what the phone reads back is the measurement.
T_Result BdaddrAssign(OpContext& c) {
    if (!c.assignAddress) return {T_RESULT_ERROR, "no address store to assign from"};
    uint64_t address = 0;
    QString why;
    if (!c.assignAddress(c.dutId, Address(c.Bytes("first")), Address(c.Bytes("last")), address,
                         why))
        return {T_RESULT_ERROR, why.toStdString()};
    T_BT_ALL_NVM_PARAMS all{};
    for (int i = 0; i < 6; ++i)
        all.bdaddr[i] = static_cast<uint8_t>(address >> (8 * (5 - i)));
    const T_Result r = WriteParam(c, nvmvalue::Index("bdaddr"), all);
    if (r.code != T_RESULT_OK) return r;
    const QString wanted = Hex(QByteArray(reinterpret_cast<const char*>(all.bdaddr), 6));
    const T_Result read = ReadParams(c, {"bdaddr"});
    if (read.code != T_RESULT_OK) return read;
    const QString kept = c.readings.value("bdaddr").toString();
    if (kept != wanted)
        c.failure = QString("the phone kept bdaddr %1, not the assigned %2").arg(kept, wanted);
    return {};
}

bool CheckAddressBlock(const Args& args, QString& error) {
    if (Address(args.value("first").bytes) <= Address(args.value("last").bytes)) return true;
    error = QString("argument 'first' (%1) is above 'last' (%2)")
                .arg(Hex(args.value("first").bytes), Hex(args.value("last").bytes));
    return false;
}

} // namespace run::op
