#pragma once
// Bluetooth device addresses handed out to phones from blocks a plan names: a phone keeps
// the address it holds in a block, every other phone gets the lowest free one, and an
// address goes to another phone only after it was released.

#include <QString>
#include <cstdint>

namespace store {

class Connection;

// The 6 bytes as one big-endian number: "001A7D000100" is 0x001A7D000100.
QString AddressText(uint64_t address);
// 12 hex digits; blanks, ':' and '-' may separate the bytes. False on anything else.
bool ParseAddress(const QString& text, uint64_t& address);

enum class AssignResult { Assigned, UsedUp, Failed };

// The address of phone `dutId` in [first, last]: the one it holds, else the lowest free
// one, recorded for it. UsedUp (with the message naming the block) writes nothing.
AssignResult AssignAddress(const Connection& connection, const QString& dutId,
                           const QString& stationId, uint64_t first, uint64_t last,
                           uint64_t& address, QString& error);

enum class ReleaseResult { Released, Unknown, Failed };

// Frees `address` for another phone; the assignment is kept in address_releases.
// `dutId` is the phone that held it.
ReleaseResult ReleaseAddress(const Connection& connection, uint64_t address, QString& dutId,
                             QString& error);

} // namespace store
