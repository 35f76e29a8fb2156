#pragma once
// What the simulated test set reads from the phone's transmission: the fixture and the air
// between them, and the spread of a real measurement.

#include <cstddef>
#include <random>
#include <string>
#include <vector>

#include "air/air.h"

namespace testersim {

enum class System { Le, Br };
enum class Quantity { Power, Frequency, Df1, Df2 };

struct Setup {
    System system = System::Le;
    Quantity quantity = Quantity::Power;
    int channel = 0;
    int packets = 100;
    std::string packetType = "DH1"; // BR only
    double pathLossDb = 0;          // the air's true loss, antenna to instrument
    double fixtureLossDb = 0;       // the loss the instrument was told to add back
};

struct Reading {
    std::vector<double> fields; // empty when the measurement failed
    int error = 0;              // the SCPI error it failed with
    std::string why;            // the text after the error's own
};

// LE channels are 2 MHz apart, BR channels 1 MHz, both from 2402 MHz.
double ChannelMhz(System system, int channel);
// The air time of `packets` packets, in microseconds.
double AirTimeUs(System system, const std::string& packetType, int packets);
std::size_t FieldCount(System system, Quantity quantity);
Reading Measure(const air::Transmission& t, const Setup& setup, std::mt19937_64& random);

} // namespace testersim
