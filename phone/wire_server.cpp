#include "phone/wire_server.h"

#include <algorithm>
#include <span>

namespace phonesim {

bool ParseLinkFault(const std::string& name, LinkFault& fault) {
    static const std::pair<const char*, LinkFault> kNames[] = {
        {"split", LinkFault::Split},
        {"noise", LinkFault::Noise},
        {"damaged-copy", LinkFault::DamagedCopy},
        {"bad-crc", LinkFault::BadCrc},
        {"silent", LinkFault::Silent},
    };
    for (const auto& [text, value] : kNames) {
        if (name == text) {
            fault = value;
            return true;
        }
    }
    return false;
}

namespace wire {

uint16_t Crc16(const uint8_t* data, std::size_t length) {
    uint16_t crc = 0xFFFF;
    while (length-- > 0) {
        crc ^= static_cast<uint16_t>(*data++ << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

std::string Frame(uint8_t function, const std::vector<uint8_t>& payload) {
    const std::size_t length = std::min(payload.size(), kMaxPayload);
    std::vector<uint8_t> bytes = {kStartByte, function, static_cast<uint8_t>(length & 0xFF),
                                  static_cast<uint8_t>(length >> 8)};
    bytes.insert(bytes.end(), payload.begin(), payload.begin() + static_cast<long>(length));
    const uint16_t crc = Crc16(bytes.data() + 1, bytes.size() - 1);
    bytes.push_back(static_cast<uint8_t>(crc & 0xFF));
    bytes.push_back(static_cast<uint8_t>(crc >> 8));
    return std::string(bytes.begin(), bytes.end());
}

} // namespace wire

namespace {

// Noise as a line picks it up, with start bytes that announce frames that never come.
const std::string kNoise("~\x00\xA5\x10\x20\xFF\xA5", 7);

} // namespace

WireServer::WireServer(Simulator& sim, std::set<LinkFault> faults)
    : sim_(sim), faults_(std::move(faults)) {}

void WireServer::LineIdle() {
    in_.clear();
    skipping_ = false;
}

void WireServer::Reply(std::string bytes, std::vector<std::string>& out) const {
    if (bytes.empty() || Has(LinkFault::Silent)) return;
    if (!Has(LinkFault::Split)) {
        out.push_back(std::move(bytes));
        return;
    }
    const std::size_t piece = std::max<std::size_t>(1, (bytes.size() + 3) / 4);
    for (std::size_t at = 0; at < bytes.size(); at += piece)
        out.push_back(bytes.substr(at, piece));
}

void WireServer::AnswerText(const std::string& command, std::vector<std::string>& out) {
    const TextAnswer answer = sim_.HandleText(command);
    // A failed host call has no bytes of its own on a line: the station sees silence.
    if (answer.hostOk) Reply(answer.reply, out);
}

void WireServer::AnswerBinary(uint8_t function, const std::vector<uint8_t>& request,
                              std::vector<std::string>& out) {
    const BinaryAnswer answer = sim_.HandleBinary(function, request);
    if (!answer.hostOk) return;
    const std::string good = wire::Frame(function, answer.confirm);
    std::string damaged = good;
    damaged.back() = static_cast<char>(damaged.back() ^ 0x5A);
    std::string bytes = Has(LinkFault::Noise) ? kNoise : std::string();
    if (Has(LinkFault::BadCrc))
        bytes += damaged;
    else
        bytes += (Has(LinkFault::DamagedCopy) ? damaged : std::string()) + good;
    Reply(std::move(bytes), out);
}

std::vector<std::string> WireServer::Feed(const uint8_t* data, std::size_t length) {
    std::vector<std::string> out;
    if (data != nullptr) in_.insert(in_.end(), data, data + length);
    for (;;) {
        if (skipping_) {
            const auto start = std::find(in_.begin(), in_.end(), wire::kStartByte);
            in_.erase(in_.begin(), start);
            if (in_.empty()) break;
            skipping_ = false;
        }
        if (in_.empty()) break;
        if (in_[0] == wire::kStartByte) {
            if (in_.size() < 4) break;
            const std::size_t size = in_[2] | (std::size_t{in_[3]} << 8);
            bool good = size <= wire::kMaxPayload;
            if (good && in_.size() < size + 6) break;
            good = good &&
                   wire::Crc16(in_.data() + 1, size + 3) == (in_[size + 4] | (in_[size + 5] << 8));
            if (!good) {
                ++badFrames_;
                in_.erase(in_.begin());
                skipping_ = true;
                continue;
            }
            const uint8_t function = in_[1];
            const std::vector<uint8_t> request(in_.begin() + 4,
                                               in_.begin() + 4 + static_cast<long>(size));
            in_.erase(in_.begin(), in_.begin() + static_cast<long>(size + 6));
            AnswerBinary(function, request, out);
            continue;
        }
        if (in_[0] == '\r' || in_[0] == '\n') {
            in_.erase(in_.begin());
            continue;
        }
        const auto cr = std::find(in_.begin(), in_.end(), '\r');
        if (cr == in_.end()) {
            // Keep the head of an endless line only, so that its CR still ends it.
            if (in_.size() > wire::kMaxCommand + 1) in_.resize(wire::kMaxCommand + 1);
            break;
        }
        const std::string command(in_.begin(), cr);
        in_.erase(in_.begin(), cr + 1);
        if (command.size() > wire::kMaxCommand)
            Reply("ERROR\r\n", out);
        else
            AnswerText(command, out);
    }
    return out;
}

} // namespace phonesim
