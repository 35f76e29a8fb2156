#pragma once
// NVM parameters as a plan sees them: by name, their values as JSON (numbers, or hex text
// for the byte arrays), their units, and plan values checked against the parameter's kind.

#include <QJsonValue>
#include <QString>

#include "bt/ibluetooth.h"
#include "bt/nvm_params.h"
#include "run/operations.h"

namespace run::nvmvalue {

// The index of the parameter named `name` in nvm::Params(), or -1.
int Index(const QString& name);
const nvm::ParamInfo& Param(int index);
bool IsBytes(nvm::Kind kind);
// dBm, Hz or "" (codes, counts and flags).
QString Units(const nvm::ParamInfo& p);
// The measurement's value type of the parameter.
ValueType TypeOf(const nvm::ParamInfo& p);

// The parameter's value in `all` as it is measured.
QJsonValue Read(const T_BT_ALL_NVM_PARAMS& all, const nvm::ParamInfo& p);
// Puts a checked plan value into `all`.
void Write(T_BT_ALL_NVM_PARAMS& all, const nvm::ParamInfo& p, const ArgValue& value);
// Checks one value written in a plan against the parameter's kind; false with the message.
bool Parse(const nvm::ParamInfo& p, const QJsonValue& given, ArgValue& out, QString& error);

} // namespace run::nvmvalue
