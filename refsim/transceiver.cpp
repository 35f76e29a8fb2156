#include "refsim/transceiver.h"

#include <algorithm>
#include <cmath>

namespace refsim {

namespace {

constexpr double kSlotUs = 625;       // one LE test packet per slot
constexpr int kMaxPerRequest = 65535; // the most packets one PACKETS line carries

double ChannelMhz(int channel) {
    return 2402.0 + 2.0 * channel;
}

// The share of packets lost at `levelDbm`: 30.8 % (a bit error rate of 0.1 % over a
// 37-byte payload) at the sensitivity, falling steeply above it, as a good receiver does.
double LossProbability(double levelDbm, double sensitivityDbm) {
    return 1.0 / (1.0 + std::exp(2.0 * (levelDbm - sensitivityDbm) + 0.8095));
}

} // namespace

Transceiver::Transceiver(air::Radio* phone, const Options& options)
    : phone_(phone), options_(options), random_(options.seed) {}

void Transceiver::StartTransmitter(int channel, int length, const std::string& payload) {
    mode_ = Mode::Transmitter;
    channel_ = channel;
    start_ = last_ = Clock::now();
    packets_ = {};
    packets_.channel = channel;
    packets_.length = length;
    packets_.payload = payload;
    packets_.levelDbm =
        options_.powerDbm - testersim::LossAt(options_.pathLoss, ChannelMhz(channel));
    sent_ = 0;
}

void Transceiver::StartReceiver(int channel) {
    mode_ = Mode::Receiver;
    channel_ = channel;
    start_ = last_ = Clock::now();
    rateHz_ = 0;
    levelDbm_ = -200;
    owed_ = 0;
    received_ = 0;
    Listen(); // the phone's state at the start
}

void Transceiver::Tick() {
    if (mode_ == Mode::Transmitter) {
        const auto us =
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start_).count();
        Send(static_cast<long long>(static_cast<double>(us) / kSlotUs) - sent_);
    } else if (mode_ == Mode::Receiver) {
        Listen();
    }
}

long long Transceiver::End() {
    Tick();
    const long long received = mode_ == Mode::Receiver ? received_ : 0;
    mode_ = Mode::Idle;
    return received;
}

void Transceiver::Send(long long count) {
    sent_ += std::max(count, 0LL);
    while (count > 0 && phone_ != nullptr) {
        packets_.count = static_cast<int>(std::min<long long>(count, kMaxPerRequest));
        phone_->Receive(packets_);
        count -= packets_.count;
    }
}

// What the phone sent since the last look is taken to have changed evenly between the
// two looks: half the time at the old rate, half at the new.
void Transceiver::Listen() {
    const Clock::time_point now = Clock::now();
    const air::Transmission t = phone_ != nullptr ? phone_->Transmitting() : air::Transmission{};
    const bool sending = t.mode == air::Transmission::Mode::Le && t.channel == channel_ &&
                         t.intervalUs >= 1 && std::isfinite(t.powerDbm);
    const double rateHz = sending ? 1e6 / t.intervalUs : 0;
    const double seconds = std::chrono::duration<double>(now - last_).count();
    owed_ += seconds * (rateHz_ + rateHz) / 2;
    const double whole = std::floor(owed_);
    owed_ -= whole;
    if (sending)
        levelDbm_ = t.powerDbm - testersim::LossAt(options_.pathLoss, ChannelMhz(channel_));
    if (whole >= 1) {
        const double taken = 1 - LossProbability(levelDbm_, options_.sensitivityDbm);
        std::binomial_distribution<long long> draw(static_cast<long long>(whole), taken);
        received_ += draw(random_);
    }
    rateHz_ = rateHz;
    last_ = now;
}

} // namespace refsim
