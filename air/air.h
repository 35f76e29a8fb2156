#pragma once
// The simulated air between the simulated phone and the simulated test instruments (test
// set, reference radio): what the phone's transmitter sends, and test packets sent to its
// receiver. The phone is the air's server; instruments reach it in the same process
// through a Radio, or from another process through a Unix socket (air/socket.h). The line
// protocol is in docs/tester.md. Standard library only: it is shared by simulators, never
// by the code they check.

#include <string>

namespace air {

// What the phone's transmitter does now, as the air carries it.
struct Transmission {
    enum class Mode { None, Le, Br, Carrier };
    Mode mode = Mode::None;
    int channel = 0;           // LE 0..39 (2402 + 2 k MHz) or BR 0..78 (2402 + k MHz)
    double mhz = 0;
    double powerDbm = 0;       // at the phone's antenna
    std::string pattern;       // PRBS9, PRBS15, 11110000, 10101010, 00001111, 01010101,
                               // 11111111, 00000000, 00110011
    int length = 0;            // payload bytes
    std::string packetType;    // BR: DH1, DH3, DH5, 2-DH1 ...; "-" otherwise
    double intervalUs = 625;   // one packet per interval
    // The phone's own radio.
    double offsetKhz = 0;      // carrier frequency offset
    double driftKhz = 0;       // over a packet
    double initialDriftKhz = 0;
    double driftRateKhz = 0;   // per 50 us
    double deltaF1Khz = 0;     // deviation with 11110000
    double f2f1Ratio = 0;      // delta f2 avg / delta f1 avg
};

// LE test packets sent to the phone.
struct Packets {
    int channel = 0;
    double levelDbm = 0; // at the phone's antenna
    int count = 0;
    int length = 37;
    std::string payload = "PRBS9";
};

// The phone's side of the air.
class Radio {
public:
    virtual ~Radio() = default;
    virtual Transmission Transmitting() = 0;
    // Returns how many of the packets the phone received (0 unless it is in LE RX on
    // their channel).
    virtual int Receive(const Packets& packets) = 0;
};

// The protocol's lines (docs/tester.md), shared by the socket's two ends.
std::string FormatTransmission(const Transmission& t);
bool ParseTransmission(const std::string& line, Transmission& t, std::string& error);
std::string FormatPackets(const Packets& p);
bool ParsePackets(const std::string& line, Packets& p, std::string& error);

// Mode names as the protocol writes them: none, le, br, carrier.
const char* ModeName(Transmission::Mode mode);

} // namespace air
