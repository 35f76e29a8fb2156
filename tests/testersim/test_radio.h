#pragma once
// Stands in for the phone on the air: transmits what the test sets and takes the packets
// sent to it, of which it receives all but three.

#include <mutex>
#include <vector>

#include "air/air.h"

// LE test packets on channel 19 (2440 MHz) with a PRBS9 payload, from an ordinary radio.
inline air::Transmission LeOn19(double powerDbm) {
    air::Transmission t;
    t.mode = air::Transmission::Mode::Le;
    t.channel = 19;
    t.mhz = 2440;
    t.powerDbm = powerDbm;
    t.pattern = "PRBS9";
    t.length = 37;
    t.packetType = "-";
    t.offsetKhz = 12.5;
    t.driftKhz = 3.1;
    t.initialDriftKhz = 1.2;
    t.driftRateKhz = 2.5;
    t.deltaF1Khz = 250.1;
    t.f2f1Ratio = 0.92;
    return t;
}

struct TestRadio : air::Radio {
    std::mutex mutex;
    air::Transmission tx = LeOn19(0.42);
    std::vector<air::Packets> received;
    air::Transmission Transmitting() override {
        std::lock_guard<std::mutex> lock(mutex);
        return tx;
    }
    int Receive(const air::Packets& packets) override {
        std::lock_guard<std::mutex> lock(mutex);
        received.push_back(packets);
        return packets.count - 3;
    }
};
