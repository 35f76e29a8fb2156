// The phone's radio on the air: what each transmitter test mode sends as the plug-in starts
// it over either protocol, which LE test packets its receiver takes and how the LE RX end
// reports them, and the radio a unit profile gives a phone.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "phone/phonesim.h"
#include "phone/unit_profile.h"

using Mode = air::Transmission::Mode;
using phonesim::Simulator;

namespace {

std::string Hci(const std::vector<int>& command) {
    std::string line = "at@bt:hci_command(" + std::to_string(command.size()) + ",{";
    for (std::size_t i = 0; i < 150; ++i)
        line += (i ? "," : "") + std::to_string(i < command.size() ? command[i] : 0);
    return line + "})";
}

const std::string kMap = "{247,255,255,255,255,255,255,255,255,255}";

// Carries out one line and returns what came back: a text command ("at@bt:...") its reply,
// a binary request ("FUNCTION: hex bytes") its confirm in hex, LE test packets from the air
// ("air CHANNEL LEVEL COUNT") how many the phone received.
std::string Do(Simulator& sim, const std::string& line) {
    if (line.starts_with("at@bt:")) return sim.HandleText(line).reply;
    std::istringstream in(line.substr(line.find_first_of(": ") + 1));
    if (line.starts_with("air ")) {
        air::Packets packets;
        in >> packets.channel >> packets.levelDbm >> packets.count;
        return std::to_string(sim.Air().Receive(packets));
    }
    std::vector<uint8_t> request;
    for (unsigned byte = 0; in >> std::hex >> byte;)
        request.push_back(static_cast<uint8_t>(byte));
    std::string confirm;
    for (uint8_t byte : sim.HandleBinary(std::stoi(line), request).confirm) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%s%02X", confirm.empty() ? "" : " ", byte);
        confirm += hex;
    }
    return confirm;
}

} // namespace

TEST(PhoneAir, EachTransmitterTestModeSendsWhatItsRequestAndTheUnitSay) {
    struct Row {
        std::vector<std::string> lines;
        Mode mode;
        int channel = 0;
        double mhz = 0, powerDbm = 0;
        std::string pattern = "-";
        int length = 0;
        std::string packetType = "-";
        double intervalUs = 625, deltaF1Khz = 0;
    };
    const std::string le = "at@bt:set_tx_le_mode(19,37,-4,3)";
    const std::string burst =
        "at@bt:set_tx_burst_mode({0,26,125,218,113,19},5,3,0,51,10,0,1,8,6," + kMap + ",10,8,8,2)";
    const Row rows[] = {
        {{le}, Mode::Le, 19, 2440, -3.5, "PRBS15", 37, "-", 625, 251},
        {{"25: 01 27 25 DD 07"}, Mode::Le, 39, 2480, -34.5, "01010101", 37, "-", 625, 251},
        // HCI's LE transmitter test sends at the NVM's LE power level.
        {{"at@bt:write_nvm_le_pwr_level(-6)", Hci({0x1E, 0x20, 0x03, 12, 16, 2})},
         Mode::Le,
         12,
         2426,
         -5.5,
         "10101010",
         16,
         "-",
         625,
         251},
        // BR: the NVM's BR power level less power step x EPC step size (3 dB).
        {{burst}, Mode::Br, 5, 2407, -4.5, "00110011", 339, "DH5", 3750, 161},
        {{"2: 01 00 1A 7D DA 71 13 00 00 01 00 08 FE 01 7F FF FF FF 00 FF FF FF FF 01 00 00 FE "
          "FC 05 02"},
         Mode::Br,
         0,
         2402,
         4.5,
         "PRBS9",
         1021,
         "3-DH5",
         3750,
         161},
        {{"at@bt:write_nvm_br_pwr_level(10)", "23: 05 01 02 00 00 00 00 00",
          "2: 01 00 1A 7D DA 71 13 4E 03 00 0F 00 00 00 F7 FF FF FF FF FF FF FF FF FF 01 00 FE "
          "FC 05 02"},
         Mode::Br,
         78,
         2480,
         4.5,
         "00001111",
         27,
         "DH1",
         1250,
         161},
        {{"at@bt:set_tx_burst_mode({0,26,125,218,113,19},1,1,0,255,0,0,1,5,2," + kMap +
          ",0,-2,-4,1)"},
         Mode::Br,
         1,
         2403,
         1.5,
         "11111111",
         183,
         "DH3",
         2500,
         161},
        {{"at@bt:set_tx_continuous_mode(10,3,2,1,0,2)"},
         Mode::Carrier,
         10,
         2412,
         4.5,
         "PRBS9",
         0,
         "-",
         625,
         161},
        {{"3: 01 0A 03 02 00 55 01"}, Mode::Carrier, 10, 2412, 4.5, "01010101", 0, "-", 625, 161},
        // Another mode, a chip switched off or on, a reset, and the end of the test end it.
        {{burst, le}, Mode::Le, 19, 2440, -3.5, "PRBS15", 37, "-", 625, 251},
        {{le, "at@bt:rx_le_start(19)"}, Mode::None},
        {{le, "at@bt:initialize(1)"}, Mode::None},
        {{burst, "9: 01 00"}, Mode::None},
        {{le, "at@bt:reset()"}, Mode::None},
        {{burst, "0:"}, Mode::None},
        {{le, Hci({0x03, 0x0C, 0x00})}, Mode::None},
        {{Hci({0x1E, 0x20, 0x03, 12, 16, 2}), Hci({0x1F, 0x20, 0x00})}, Mode::None},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.lines.back());
        Simulator sim;
        sim.Chip().radio = {0.5, 12.5, 3.1, 1.2, 2.0, 251, 161, 0.92, -92, 1};
        for (const std::string& line : row.lines) {
            const std::string answer = Do(sim, line);
            EXPECT_TRUE(line.starts_with("at@bt:") ? answer.ends_with("0\r\nOK\r\n")
                                                   : answer.starts_with("01"))
                << line;
        }
        const air::Transmission t = sim.Air().Transmitting();
        EXPECT_EQ(t.mode, row.mode);
        EXPECT_EQ(t.channel, row.channel);
        EXPECT_DOUBLE_EQ(t.mhz, row.mhz);
        EXPECT_DOUBLE_EQ(t.powerDbm, row.powerDbm);
        EXPECT_EQ(t.pattern, row.pattern);
        EXPECT_EQ(t.length, row.length);
        EXPECT_EQ(t.packetType, row.packetType);
        EXPECT_DOUBLE_EQ(t.intervalUs, row.intervalUs);
        EXPECT_DOUBLE_EQ(t.deltaF1Khz, row.deltaF1Khz);
        const bool sending = row.mode != Mode::None;
        EXPECT_EQ(std::vector<double>(
                      {t.offsetKhz, t.driftKhz, t.initialDriftKhz, t.driftRateKhz, t.f2f1Ratio}),
                  sending ? std::vector<double>({12.5, 3.1, 1.2, 2.0, 0.92})
                          : std::vector<double>(5, 0.0));
    }
}

// The LE RX end reports the packets of the air since the LE RX started, lost ones included,
// over both protocols and HCI; when none came it reports the imaginary tester's count.
TEST(PhoneAir, LeRxEndReportsThePacketsReceivedOverTheAir) {
    const std::pair<std::string, std::string> steps[] = {
        {"at@bt:rx_le_start(19)", "0\r\nOK\r\n"},
        {"air 19 -60 1000", "1000"},
        {"air 18 -60 1000", "0"}, // another channel
        {"air 19 -60 500", "500"},
        {"at@bt:rx_le_end()", "5\r\n220\r\n0\r\nOK\r\n"},
        {"air 19 -60 10", "0"}, // the test has ended
        {"at@bt:rx_le_start(19)", "0\r\nOK\r\n"},
        {"air 20 -60 10", "0"},
        {"at@bt:rx_le_end()", "5\r\n198\r\n0\r\nOK\r\n"},
        {"26: 01 13", "01"},
        {"air 19 -60 300", "300"},
        {"27:", "01 01 01 2C"},
        {"26: 01 13", "01"},
        {"air 19 -150 300", "0"}, // far below the sensitivity: all of them lost
        {"27:", "01 01 00 00"},
        {"at@bt:set_tx_le_mode(19,37,0,0)", "0\r\nOK\r\n"},
        {"air 19 -60 10", "0"},            // transmitting
        {Hci({0x1D, 0x20, 0x01, 19}), ""}, // HCI's LE receiver test
        {"air 19 -60 4", "4"},
        {Hci({0x1F, 0x20, 0x00}), ""},
        {"27:", "01 01 00 04"},
    };
    Simulator sim;
    sim.Chip().leRxPackets = 1478;
    for (const auto& [line, expected] : steps) {
        const std::string answer = Do(sim, line);
        EXPECT_TRUE(expected.empty() || answer == expected) << line << " answered " << answer;
    }
}

TEST(PhoneAir, ReceiverLosesPacketsAsItsSensitivityFalls) {
    struct Row {
        double aboveSensitivityDb;
        int low, high; // of 1500 received
    };
    // 30.8 % lost at the sensitivity: 1038 received, +- 3.7 standard deviations.
    const Row rows[] = {{10, 1500, 1500}, {0, 972, 1104}, {-5, 0, 3}, {-20, 0, 0}};
    for (const Row& row : rows) {
        for (double sensitivity : {-92.0, -65.0}) {
            SCOPED_TRACE(std::to_string(row.aboveSensitivityDb) + " dB above " +
                         std::to_string(sensitivity));
            Simulator sim;
            sim.Chip().radio.sensitivityDbm = sensitivity;
            Do(sim, "at@bt:rx_le_start(7)");
            const int received = std::stoi(
                Do(sim, "air 7 " + std::to_string(sensitivity + row.aboveSensitivityDb) + " 1500"));
            EXPECT_GE(received, row.low);
            EXPECT_LE(received, row.high);
        }
    }
}

// The air server's thread receives while the exchanges go on: no packet may get lost in
// an exchange that carries the chip's state from before it.
TEST(PhoneAir, PacketsFromAnotherThreadAreNotLostInTheExchanges) {
    Simulator sim;
    Do(sim, "at@bt:rx_le_start(3)");
    std::atomic<bool> sending = true;
    std::thread air([&] {
        for (int i = 0; i < 60000; ++i)
            sim.Air().Receive({3, -40, 1});
        sending = false;
    });
    while (sending)
        sim.HandleText("at@bt:get_rtrim_values()");
    air.join();
    EXPECT_EQ(Do(sim, "at@bt:rx_le_end()"), "234\r\n96\r\n0\r\nOK\r\n"); // 60000
}

TEST(UnitProfileRadio, RefusesBadRadiosWithTheFileAndWhy) {
    const std::pair<const char*, std::string> rows[] = {
        {R"({"radio": 3})", "u.json: 'radio' must be an object"},
        {R"({"radio": {"sensitivity": -90}})",
         "u.json: unknown radio key 'sensitivity' (known: power_error_db, freq_offset_khz, "
         "drift_khz, initial_drift_khz, drift_rate_khz, le_delta_f1_khz, br_delta_f1_khz, "
         "f2_f1_ratio, sensitivity_dbm)"},
        {R"({"radio": {"drift_khz": "5"}})",
         R"(u.json: radio 'drift_khz' must be a number or {"mean": M, "spread": S} with S >= 0)"},
        {R"({"radio": {"f2_f1_ratio": {"mean": 1.9, "spread": 0.2}}})",
         "u.json: radio 'f2_f1_ratio' must lie within 0 to 2, spread included"},
        {R"({"radio": {"sensitivity_dbm": 10}})",
         "u.json: radio 'sensitivity_dbm' must lie within -120 to 0, spread included"},
    };
    for (const auto& [json, message] : rows) {
        phonesim::UnitProfile profile;
        std::string error;
        EXPECT_FALSE(phonesim::ParseUnitProfile(json, "u.json", profile, error)) << json;
        EXPECT_EQ(error, message);
    }
}

// A unit with a radio keeps the readings it had without one.
TEST(UnitProfileRadio, IsDrawnApartFromTheOtherReadings) {
    const std::string readings = R"("tmeas_fused": {"mean": 500, "spread": 50},
        "rssi": {"mean": -55, "spread": 4}, "nvm": {"le_pwr_level": {"mean": 0, "spread": 4}})";
    phonesim::UnitProfile plain, radio;
    std::string error;
    ASSERT_TRUE(phonesim::ParseUnitProfile("{" + readings + "}", "a", plain, error));
    ASSERT_TRUE(phonesim::ParseUnitProfile(
        "{" + readings + R"(, "radio": {"power_error_db": {"mean": 0, "spread": 3}}})", "b", radio,
        error));
    std::set<double> powerErrors;
    for (uint64_t unit = 0; unit < 5; ++unit) {
        phonesim::ChipState a = phonesim::DefaultChip(), b = a;
        phonesim::ApplyUnitProfile(plain, unit, a);
        phonesim::ApplyUnitProfile(radio, unit, b);
        EXPECT_EQ(a.tmeasFused, b.tmeasFused);
        EXPECT_EQ(a.rssi, b.rssi);
        EXPECT_EQ(a.nvm[24], b.nvm[24]);
        EXPECT_EQ(a.radio.powerErrorDb, 0);
        EXPECT_NEAR(b.radio.powerErrorDb, 0, 3);
        powerErrors.insert(b.radio.powerErrorDb);
    }
    EXPECT_EQ(powerErrors.size(), 5u);
}

// Judged as a test set would judge them with the Bluetooth RF test limits: the golden unit
// passes every radio item, each failing unit fails its own items only.
TEST(UnitProfileRadio, EachShippedUnitFailsOnlyItsOwnRadioItems) {
    const std::pair<const char*, std::set<std::string>> units[] = {
        {"golden", {}},
        {"weak-tx", {"le_power", "br_power"}},
        {"off-frequency", {"le_offset", "br_icft"}},
        {"drifting", {"le_drift", "le_drift_rate", "br_drift", "br_drift_rate"}},
        {"insensitive", {"le_per"}},
        {"deaf", {"le_per"}},
        {"hot", {}},
    };
    for (const auto& [name, items] : units) {
        phonesim::UnitProfile profile;
        std::string error;
        ASSERT_TRUE(phonesim::LoadUnitProfile(std::string(PLANS_DIR) + "/units/" + name + ".json",
                                              profile, error))
            << error;
        for (uint64_t unit = 0; unit < 20; ++unit) {
            SCOPED_TRACE(std::string(name) + " unit " + std::to_string(unit));
            Simulator sim;
            phonesim::ApplyUnitProfile(profile, unit, sim.Chip());
            Do(sim, "at@bt:set_tx_le_mode(0,37,0,0)");
            const air::Transmission le = sim.Air().Transmitting();
            Do(sim, "at@bt:set_tx_burst_mode({0,26,125,218,113,19},0,0,1,0,0,0,1,5,2," + kMap +
                        ",0,-2,-4,0)");
            const air::Transmission br = sim.Air().Transmitting();
            Do(sim, "at@bt:rx_le_start(0)");
            const double per = (1500 - std::stoi(Do(sim, "air 0 -70 1500"))) / 15.0;
            const std::pair<std::string, bool> passes[] = {
                {"le_power", le.powerDbm >= -20 && le.powerDbm <= 10},
                {"le_offset", std::abs(le.offsetKhz) <= 150},
                {"le_drift", std::abs(le.driftKhz) <= 50},
                {"le_initial_drift", std::abs(le.initialDriftKhz) <= 23},
                {"le_drift_rate", std::abs(le.driftRateKhz) <= 20},
                {"le_delta_f1", le.deltaF1Khz >= 225 && le.deltaF1Khz <= 275},
                {"le_f2_f1", le.f2f1Ratio >= 0.8},
                {"br_power", br.powerDbm >= -6 && br.powerDbm <= 4}, // power class 2
                {"br_icft", std::abs(br.offsetKhz) <= 75},
                {"br_drift", std::abs(br.driftKhz) <= 25}, // DH1
                {"br_drift_rate", std::abs(br.driftRateKhz) <= 20},
                {"br_delta_f1", br.deltaF1Khz >= 140 && br.deltaF1Khz <= 175},
                {"le_per", per <= 30.8},
            };
            std::set<std::string> failed;
            for (const auto& [item, pass] : passes)
                if (!pass) failed.insert(item);
            EXPECT_EQ(failed, items);
        }
    }
}
