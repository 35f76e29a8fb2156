#include "trace/btsnoop.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace bttrace {
namespace {

constexpr uint32_t kVersion = 1;
constexpr uint32_t kDatalinkH4 = 1002;
constexpr uint32_t kFlagFromController = 0x01;
constexpr uint32_t kFlagCommandOrEvent = 0x02;
constexpr std::size_t kMaxEventParams = 255;

void PutBe32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

void PutBe64(std::vector<uint8_t>& out, uint64_t value) {
    for (int shift = 56; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

} // namespace

std::vector<uint8_t> BtsnoopHeader() {
    std::vector<uint8_t> out = {'b', 't', 's', 'n', 'o', 'o', 'p', 0};
    PutBe32(out, kVersion);
    PutBe32(out, kDatalinkH4);
    return out;
}

std::vector<uint8_t> BtsnoopRecord(uint8_t type, bool fromController,
                                   std::span<const uint8_t> packet, int64_t unixMicros) {
    const auto length = static_cast<uint32_t>(packet.size() + 1);
    uint32_t flags = fromController ? kFlagFromController : 0;
    if (type == kH4Command || type == kH4Event) flags |= kFlagCommandOrEvent;
    std::vector<uint8_t> out;
    out.reserve(24 + length);
    PutBe32(out, length);
    PutBe32(out, length);
    PutBe32(out, flags);
    PutBe32(out, 0);
    PutBe64(out, static_cast<uint64_t>(unixMicros + kUnixEpochMicros));
    out.push_back(type);
    out.insert(out.end(), packet.begin(), packet.end());
    return out;
}

bool IsHciCommand(std::span<const uint8_t> bytes) {
    return bytes.size() >= 3 && bytes[2] == bytes.size() - 3;
}

bool IsHciEvent(std::span<const uint8_t> bytes) {
    return bytes.size() >= 2 && bytes[1] == bytes.size() - 2;
}

int64_t BtsnoopWriter::SystemClock() {
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

bool BtsnoopWriter::Open(const std::string& path) {
    Close();
    path_ = path;
    records_ = 0;
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        error_ = std::strerror(errno);
        return false;
    }
    const std::vector<uint8_t> header = BtsnoopHeader();
    if (std::fwrite(header.data(), 1, header.size(), file_) != header.size() ||
        std::fflush(file_) != 0) {
        error_ = std::strerror(errno);
        Close();
        return false;
    }
    error_.clear();
    return true;
}

void BtsnoopWriter::Close() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
}

bool BtsnoopWriter::WritePacket(uint8_t type, bool fromController,
                                std::span<const uint8_t> packet) {
    if (file_ == nullptr) return false;
    const std::vector<uint8_t> record = BtsnoopRecord(type, fromController, packet, clock_());
    if (std::fwrite(record.data(), 1, record.size(), file_) != record.size() ||
        std::fflush(file_) != 0) {
        error_ = std::strerror(errno);
        return false;
    }
    ++records_;
    return true;
}

bool BtsnoopWriter::RecordCommand(std::span<const uint8_t> bytes) {
    // The chip reads a leading indicator the same way, so the trace shows what it received.
    if (!bytes.empty() && bytes[0] == kH4Command && IsHciCommand(bytes.subspan(1)))
        bytes = bytes.subspan(1);
    return WritePacket(kH4Command, false, bytes);
}

AnswerKind BtsnoopWriter::RecordAnswer(std::span<const uint8_t> bytes) {
    std::span<const uint8_t> event = bytes;
    if (!IsHciEvent(event) && !bytes.empty() && bytes[0] == kH4Event) event = bytes.subspan(1);
    if (IsHciEvent(event))
        return WritePacket(kH4Event, true, event) ? AnswerKind::Event : AnswerKind::NotWritten;
    std::size_t at = 0;
    do {
        const std::size_t n = std::min(kMaxEventParams, bytes.size() - at);
        std::vector<uint8_t> vendor = {kVendorEvent, static_cast<uint8_t>(n)};
        vendor.insert(vendor.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                      bytes.begin() + static_cast<std::ptrdiff_t>(at + n));
        if (!WritePacket(kH4Event, true, vendor)) return AnswerKind::NotWritten;
        at += n;
    } while (at < bytes.size());
    return AnswerKind::NotEvent;
}

} // namespace bttrace
