#pragma once
// The operations a plan step can name: their arguments with ranges and defaults, the
// measurements each one takes with their units, and how each drives IBluetooth. One table
// serves the plan checks, the runner and the documentation.

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <vector>

#include "bt/bt_types.h"
#include "run/validator.h"

class IBluetooth;
namespace tester {
class ITester;
}

namespace run {

enum class ArgKind {
    Int,      // a whole number within [min, max]
    Bytes,    // hex text of exactly `min` bytes (blanks, ':' and '-' between bytes allowed)
    HexRun,   // hex text of min..max bytes
    NvmParam, // an NVM parameter name, or "all" where the operation reads all
    NvmValue, // a value of the parameter named by the argument "param"
    Expected, // an object of NVM parameter name -> expected value
    Choice,   // one text of `choices`
    Items,    // a non-empty list of texts of `choices`, each at most once (default: all)
};

struct ArgSpec {
    const char* name;
    ArgKind kind;
    int64_t min = 0;
    int64_t max = 0;
    bool required = false;
    int64_t number = 0;          // default of an Int
    const char* bytes = nullptr; // default of Bytes, as hex
    std::vector<const char*> choices = {}; // of Choice (the first is the default) and Items
};

struct MeasurementSpec {
    QString name;
    ValueType type;
    QString units; // "" when the value is a raw code, a count or text
};

struct ArgValue {
    int64_t number = 0;
    QByteArray bytes;
    QString text;                   // NvmParam: the parameter name or "all"; Choice: the choice
    QStringList items;              // Items: those chosen, in the order of the choices
    QHash<QString, QJsonValue> map; // Expected: parameter -> value as it will be measured
};
using Args = QHash<QString, ArgValue>;
// What one operation read, by measurement name.
using Readings = QHash<QString, QJsonValue>;

// Hands out a device address for the phone `dutId` from the block [first, last] (6-byte
// addresses as big-endian numbers): the one the phone already holds there, else the lowest
// free one. False with the reason (block used up, store out of reach).
using AddressSource = std::function<bool(const QString& dutId, uint64_t first, uint64_t last,
                                         uint64_t& address, QString& error)>;

struct OpContext {
    IBluetooth& bt;
    const Args& args;
    Readings& readings;
    bool textProtocol;
    // Polled while a wait step sleeps; waits are skipped when `waits` is false.
    const std::function<bool()>& aborted;
    bool waits;
    // Told of each raw HCI command sent (answer false) and of what came back (true).
    const std::function<void(const QByteArray& bytes, bool answer)>& hciTraffic;
    const QString& dutId;
    const AddressSource& assignAddress;
    // Set when every exchange worked but the phone did not do what it was told: the step
    // fails with this reason.
    QString& failure;
    // The test set that measures the phone over the air; null when there is none.
    tester::ITester* tester;

    int64_t Int(const char* name) const { return args.value(name).number; }
    QByteArray Bytes(const char* name) const { return args.value(name).bytes; }
};

struct OperationSpec {
    const char* name;
    std::vector<ArgSpec> args;
    std::vector<MeasurementSpec> measurements;
    // The measurements are NVM parameters (nvm_read, nvm_verify): see MeasurementsOf.
    bool nvm = false;
    // Runs the operation; status 0 means every exchange worked and the phone agreed.
    T_Result (*run)(OpContext&) = nullptr;
    // Checks the arguments together, once each alone is known good; false with the message.
    bool (*check)(const Args&, QString& error) = nullptr;
    // The measurements a step takes when they depend on its arguments (the items asked).
    std::vector<MeasurementSpec> (*measurementsOf)(const Args&) = nullptr;
    // The step needs a test set.
    bool usesTester = false;
};

const std::vector<OperationSpec>& Operations();
const OperationSpec* FindOperation(const QString& name);

// The measurements a step of `op` with `args` can take.
std::vector<MeasurementSpec> MeasurementsOf(const OperationSpec& op, const Args& args);

// Checks and converts the "args" object of a step; false with the message on a bad one.
bool ParseArgs(const OperationSpec& op, const QJsonObject& given, Args& out, QString& error);

// Bytes as upper-case hex without separators, the form in which byte values are measured.
QString Hex(const QByteArray& bytes);
// Hex text to bytes; blanks, ':' and '-' may separate bytes. False on anything else.
bool ParseHex(const QString& text, QByteArray& out);

// The names of the NVM parameters, in the order of the IBluetooth getters.
QStringList NvmParamNames();

} // namespace run
