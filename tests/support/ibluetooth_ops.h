#pragma once
// Every IBluetooth operation as one entry, made from the operation and NVM parameter
// tables, so that fuzz targets and tests drive all of them the same way: the request
// record is read from caller bytes, and the outputs land in one Outputs record.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>
#include <vector>

#include "bt/ibluetooth.h"

namespace btops {

constexpr uint8_t kUntouched = 0xEE;

// The confirm record an operation fills (read it with As<T>()), the flag of the two checks
// and ResetHci's answer. The record and the flag start out as `fill`.
struct Outputs {
    explicit Outputs(uint8_t fill = kUntouched) : check(fill) {
        std::memset(record, fill, sizeof record);
    }
    template <typename T> T& As() {
        static_assert(sizeof(T) <= sizeof record);
        return *reinterpret_cast<T*>(record);
    }
    alignas(8) unsigned char record[sizeof(T_BT_HCI_COMMAND_CON)];
    uint8_t check;
    bool resetOk = false;
};

// Request bytes: an operation copies as many as its record takes, zero-padded. A setter of
// an array parameter takes them as its 6 or 8 bytes.
struct Request {
    std::vector<uint8_t> bytes;

    template <typename T> T As() const {
        if constexpr (std::is_pointer_v<T>) {
            static uint8_t array[8];
            std::memset(array, 0, sizeof array);
            std::copy_n(bytes.begin(), std::min(bytes.size(), sizeof array), array);
            return array;
        } else {
            T value{};
            std::copy_n(bytes.begin(), std::min(bytes.size(), sizeof value),
                        reinterpret_cast<uint8_t*>(&value));
            return value;
        }
    }
};

struct Operation {
    std::string_view name;
    T_Result (*run)(IBluetooth& bt, uint8_t version, const Request& req, Outputs& out);
};

#define BTOPS_CALL_Set(Name, Req, Con) b.Name(v, r.As<Req>())
#define BTOPS_CALL_Get(Name, Req, Con) b.Name(v, &o.As<Con>())
#define BTOPS_CALL_Query(Name, Req, Con) b.Name(v, r.As<Req>(), &o.As<Con>())
// Operations that answer true or false give code 0 or 1 with an empty text.
#define BTOPS_CALL_Check(Name, Req, Con)                                                           \
    T_Result {                                                                                     \
        uint8_t(!b.Name(&o.check)), {}                                                             \
    }
#define BTOPS_CALL_OwnVer(Name, Req, Con) b.Name(v)
#define BTOPS_CALL_OwnReset(Name, Req, Con)                                                        \
    T_Result {                                                                                     \
        uint8_t(!b.Name(v, &o.resetOk)), {}                                                        \
    }
#define BTOPS_CALL_OwnHci(Name, Req, Con) b.Name(v, r.As<Req>(), &o.As<Con>(), 16)
#define BTOPS_CALL_OwnSet BTOPS_CALL_Set
#define BTOPS_CALL_OwnGet BTOPS_CALL_Get
#define BTOPS_OP(Name, Shape, Req, Con, Function, Opcode, Command, Check, Action)                  \
    {#Name, [](IBluetooth& b, uint8_t v, const Request& r, Outputs& o) {                           \
         static_cast<void>(v), static_cast<void>(r), static_cast<void>(o);                         \
         return T_Result(BTOPS_CALL_##Shape(Name, Req, Con));                                      \
     }},
#define BTOPS_NVM(Camel, field, id, kind, transfer, units)                                                \
    {"GetNvm" #Camel,                                                                              \
     [](IBluetooth& b, uint8_t v, const Request&, Outputs& o) {                                    \
         return b.GetNvm##Camel(v, &o.As<BT_NVM_VALUE_T_##kind>());                                \
     }},                                                                                           \
        {"SetNvm" #Camel, [](IBluetooth& b, uint8_t v, const Request& r, Outputs&) {               \
             return b.SetNvm##Camel(v, r.As<BT_NVM_SET_T_##kind>());                               \
         }},

// The operations in table order, then each NVM parameter's getter and setter.
inline const std::vector<Operation>& AllOperations() {
    static const std::vector<Operation> ops = {BT_OPERATIONS(BTOPS_OP) BT_NVM_PARAMS(BTOPS_NVM)};
    return ops;
}

} // namespace btops
