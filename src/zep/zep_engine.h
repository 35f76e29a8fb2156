#pragma once
// The steps around every text-command exchange: reporting the outcome, and the phone's
// record versions per opcode, asked once and checked before each operation.

#include <array>
#include <cstdint>

#include "bt/bt_types.h"
#include "zep/managed_if.h"

// By the status already in `result`: 0 logs "OK"; 1 reports the host's error and sets
// "Error: communication error"; a command the transport refused unsent becomes status 1
// with that text and no host error; 3 sets and logs the text of the phone's code (a code
// of 0, which would read "OK", gives the text of -1 instead: the exchange was not
// acknowledged); any other status leaves everything as it is.
void ReportResult(T_Result& result, int32_t phoneCode);

// The phone's request and confirm versions per opcode, for the life of one text back-end.
class OpcodeVersionTable {
public:
    static constexpr int kEntries = BT_OPCODE_COUNT;

    explicit OpcodeVersionTable(MANAGED_IF::bt& command);

    // Answers a known opcode from the table; asks the phone otherwise and keeps the answer
    // only when the query succeeded. A failed query reports versions 0, which no caller
    // works with, so the operation that asked is refused as a mismatch. Opcodes past the
    // table are asked every time.
    T_Result GetOpcodeVersions(uint16_t opcode, OpcodeVersions* versions);
    uint8_t GetReqVersion(uint16_t opcode);
    uint8_t GetConVersion(uint16_t opcode);

    // Status 0 when `version` matches, else status 2 with the mismatch text naming the
    // quoted opcode and " Req" or " Con".
    void CheckReqVersion(uint8_t version, uint16_t opcode, T_Result& result);
    void CheckConVersion(uint8_t version, uint16_t opcode, T_Result& result);
    void CheckVersions(uint8_t version, uint16_t opcode, T_Result& result);

    bool IsKnown(uint16_t opcode) const;

private:
    struct Entry {
        uint8_t known;
        uint8_t request;
        uint8_t confirm;
        int32_t result;
    };

    MANAGED_IF::bt& command_;
    std::array<Entry, kEntries> entries_{};
};
