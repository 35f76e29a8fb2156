#include "run/nvm_values.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace run::nvmvalue {

namespace {

void KindRange(nvm::Kind kind, int64_t& low, int64_t& high) {
    switch (kind) {
    case nvm::Kind::I8:
        low = -128, high = 127;
        break;
    case nvm::Kind::U16:
        low = 0, high = 0xFFFF;
        break;
    case nvm::Kind::U32:
        low = 0, high = 0xFFFFFFFFLL;
        break;
    default:
        low = 0, high = 0xFF;
    }
}

} // namespace

int Index(const QString& name) {
    const auto& params = nvm::Params();
    for (std::size_t i = 0; i < params.size(); ++i)
        if (name == params[i].suffix) return static_cast<int>(i);
    return -1;
}

const nvm::ParamInfo& Param(int index) {
    return nvm::Params()[static_cast<std::size_t>(index)];
}

bool IsBytes(nvm::Kind kind) {
    return kind == nvm::Kind::A6 || kind == nvm::Kind::A8;
}

QString Units(const nvm::ParamInfo& p) {
    return QString::fromLatin1(p.units);
}

ValueType TypeOf(const nvm::ParamInfo& p) {
    return IsBytes(p.kind) ? ValueType::Text : ValueType::Number;
}

QJsonValue Read(const T_BT_ALL_NVM_PARAMS& all, const nvm::ParamInfo& p) {
    const auto* at = reinterpret_cast<const uint8_t*>(&all) + p.offset;
    switch (p.kind) {
    case nvm::Kind::U8:
        return double(*at);
    case nvm::Kind::I8:
        return double(static_cast<int8_t>(*at));
    case nvm::Kind::U16: {
        uint16_t v;
        std::memcpy(&v, at, sizeof v);
        return double(v);
    }
    case nvm::Kind::U32: {
        uint32_t v;
        std::memcpy(&v, at, sizeof v);
        return double(v);
    }
    default:
        return Hex(QByteArray(reinterpret_cast<const char*>(at), p.width));
    }
}

void Write(T_BT_ALL_NVM_PARAMS& all, const nvm::ParamInfo& p, const ArgValue& value) {
    auto* at = reinterpret_cast<uint8_t*>(&all) + p.offset;
    if (IsBytes(p.kind)) {
        std::memcpy(at, value.bytes.constData(),
                    std::min<std::size_t>(p.width, value.bytes.size()));
        return;
    }
    const auto v32 = static_cast<uint32_t>(value.number);
    const auto v16 = static_cast<uint16_t>(value.number);
    const auto v8 = static_cast<uint8_t>(value.number);
    if (p.width == 4) std::memcpy(at, &v32, 4);
    if (p.width == 2) std::memcpy(at, &v16, 2);
    if (p.width == 1) *at = v8;
}

bool Parse(const nvm::ParamInfo& p, const QJsonValue& given, ArgValue& out, QString& error) {
    if (IsBytes(p.kind)) {
        if (!given.isString() || !ParseHex(given.toString(), out.bytes) ||
            out.bytes.size() != p.width) {
            error = QString("'%1' must be hex text of %2 bytes").arg(p.suffix).arg(p.width);
            return false;
        }
        return true;
    }
    int64_t low = 0, high = 0;
    KindRange(p.kind, low, high);
    const double v = given.toDouble(std::nan(""));
    if (!given.isDouble() || v != std::floor(v) || v < double(low) || v > double(high)) {
        error =
            QString("'%1' must be a whole number from %2 to %3").arg(p.suffix).arg(low).arg(high);
        return false;
    }
    out.number = static_cast<int64_t>(v);
    return true;
}

} // namespace run::nvmvalue
