#include "testersim/instrument.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <random>
#include <string_view>

#include "testersim/measure.h"
#include "testersim/scpi.h"

namespace testersim {

namespace {

constexpr const char* kVersion = "1.0";
constexpr double kFirstLossMhz = 2400, kLastLossMhz = 2484, kMaxFixtureLossDb = 60;
constexpr std::size_t kMaxLossPoints = 100;
// What a failed measurement answers in each field: SCPI's "not a number".
constexpr const char* kNotANumber = "9.91E37";

// The power-up settings, which *RST restores.
struct Settings {
    double leChannel = 0, lePackets = 100;
    double brChannel = 0, brPackets = 100;
    double sourceChannel = 0, sourceLevelDbm = -70, sourcePackets = 1500;
    std::string lePhy = "1M", brType = "DH1";
    std::size_t port = 1; // the RF switch: which phone is on the instrument
};

// A setting is set by its header with one value, and read back by its query.
struct SettingRow {
    const char* header;
    enum class Kind { Whole, Real, Choice } kind;
    double low, high;
    const char* choices; // Choice: the words allowed, blank-separated
    double Settings::*number;
    std::string Settings::*text;
};
using Kind = SettingRow::Kind;

const SettingRow kSettings[] = {
    {"CONFigure:LE:CHANnel", Kind::Whole, 0, 39, nullptr, &Settings::leChannel, nullptr},
    {"CONFigure:LE:PHY", Kind::Choice, 0, 0, "1M", nullptr, &Settings::lePhy},
    {"CONFigure:LE:PACKets", Kind::Whole, 1, 50000, nullptr, &Settings::lePackets, nullptr},
    {"CONFigure:BR:CHANnel", Kind::Whole, 0, 78, nullptr, &Settings::brChannel, nullptr},
    {"CONFigure:BR:PTYPe", Kind::Choice, 0, 0, "DH1 DH3 DH5", nullptr, &Settings::brType},
    {"CONFigure:BR:PACKets", Kind::Whole, 1, 50000, nullptr, &Settings::brPackets, nullptr},
    {"SOURce:LE:CHANnel", Kind::Whole, 0, 39, nullptr, &Settings::sourceChannel, nullptr},
    {"SOURce:LE:LEVel", Kind::Real, -120, 0, nullptr, &Settings::sourceLevelDbm, nullptr},
    {"SOURce:LE:PACKets", Kind::Whole, 1, 65535, nullptr, &Settings::sourcePackets, nullptr},
};

struct MeasurementRow {
    const char* header;
    System system;
    Quantity quantity;
};

const MeasurementRow kMeasurements[] = {
    {"READ:LE:POWer", System::Le, Quantity::Power},
    {"READ:LE:FREQuency", System::Le, Quantity::Frequency},
    {"READ:LE:MODulation:DF1", System::Le, Quantity::Df1},
    {"READ:LE:MODulation:DF2", System::Le, Quantity::Df2},
    {"READ:BR:POWer", System::Br, Quantity::Power},
    {"READ:BR:FREQuency", System::Br, Quantity::Frequency},
    {"READ:BR:MODulation:DF1", System::Br, Quantity::Df1},
    {"READ:BR:MODulation:DF2", System::Br, Quantity::Df2},
};

// Fixed decimals and '.', whatever the locale of the program that runs us.
std::string Fixed(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    const double rounded = std::round(value * scale) / scale + 0.0; // no "-0.00"
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, rounded, std::chars_format::fixed, decimals);
    return std::string(buffer, result.ptr);
}

std::string Shortest(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string Upper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

} // namespace

struct Instrument::Impl {
    using Handler = int (Impl::*)(const scpi::Command&, std::vector<std::string>&);
    struct CommandRow {
        const char* header;
        bool query;
        std::size_t params;
        Handler handler;
    };
    static const CommandRow kCommands[];

    std::vector<air::Radio*> ports;
    Options options;
    Settings settings;
    std::vector<LossPoint> fixture;
    scpi::ErrorQueue errors;
    std::mt19937_64 random;
    std::mutex waitMutex;
    std::condition_variable waitDone;
    bool stopped = false;

    Impl(std::vector<air::Radio*> p, Options o)
        : ports(std::move(p)), options(std::move(o)), random(options.seed) {}

    air::Radio& Radio() { return *ports[settings.port - 1]; }

    void Line(std::string_view line, std::vector<std::string>& answers);
    int Dispatch(const scpi::Command& command, std::vector<std::string>& path,
                 std::vector<std::string>& answers);
    bool Find(const std::vector<std::string>& nodes, const scpi::Command& command,
              std::vector<std::string>& answers, int& result);
    int Set(const SettingRow& row, const std::string& param);
    std::string Get(const SettingRow& row) const;
    int Read(const MeasurementRow& row, std::vector<std::string>& answers);
    void Wait(double microseconds);

    int Identify(const scpi::Command&, std::vector<std::string>& answers) {
        answers.push_back("BTSIM,TESTERSIM," + options.serial + "," + kVersion);
        return 0;
    }
    int Reset(const scpi::Command&, std::vector<std::string>&) {
        settings = Settings{};
        fixture.clear();
        return 0;
    }
    int ClearStatus(const scpi::Command&, std::vector<std::string>&) {
        errors.Clear();
        return 0;
    }
    int OperationComplete(const scpi::Command&, std::vector<std::string>&) {
        errors.OperationComplete();
        return 0;
    }
    // Every command before it has finished: each runs to its end before the next.
    int AskOperationComplete(const scpi::Command&, std::vector<std::string>& answers) {
        answers.push_back("1");
        return 0;
    }
    int EventStatus(const scpi::Command&, std::vector<std::string>& answers) {
        answers.push_back(std::to_string(errors.TakeEventStatus()));
        return 0;
    }
    int NextError(const scpi::Command&, std::vector<std::string>& answers) {
        answers.push_back(errors.Pop());
        return 0;
    }
    int ClearLoss(const scpi::Command&, std::vector<std::string>&) {
        fixture.clear();
        return 0;
    }
    int CountLoss(const scpi::Command&, std::vector<std::string>& answers) {
        answers.push_back(std::to_string(fixture.size()));
        return 0;
    }
    int Route(const scpi::Command& command, std::vector<std::string>&) {
        double port = 0;
        if (!scpi::ParseNumber(command.params[0], port)) return scpi::kDataTypeError;
        port = std::round(port);
        if (!(port >= 1 && port <= double(ports.size()))) return scpi::kDataOutOfRange;
        settings.port = static_cast<std::size_t>(port);
        return 0;
    }
    int AskRoute(const scpi::Command&, std::vector<std::string>& answers) {
        answers.push_back(std::to_string(settings.port));
        return 0;
    }
    int AddLoss(const scpi::Command& command, std::vector<std::string>&);
    int Send(const scpi::Command&, std::vector<std::string>&);
};

const Instrument::Impl::CommandRow Instrument::Impl::kCommands[] = {
    {"*IDN", true, 0, &Impl::Identify},
    {"*RST", false, 0, &Impl::Reset},
    {"*CLS", false, 0, &Impl::ClearStatus},
    {"*OPC", false, 0, &Impl::OperationComplete},
    {"*OPC", true, 0, &Impl::AskOperationComplete},
    {"*ESR", true, 0, &Impl::EventStatus},
    {"SYSTem:ERRor:[NEXT]", true, 0, &Impl::NextError},
    {"CORRection:LOSS:CLEar", false, 0, &Impl::ClearLoss},
    {"CORRection:LOSS:POINt", false, 2, &Impl::AddLoss},
    {"CORRection:LOSS:POINt:COUNt", true, 0, &Impl::CountLoss},
    {"SOURce:LE:SEND", false, 0, &Impl::Send},
    {"ROUTe:PORT", false, 1, &Impl::Route},
    {"ROUTe:PORT", true, 0, &Impl::AskRoute},
};

Instrument::Instrument(air::Radio& radio, Options options)
    : Instrument(std::vector<air::Radio*>{&radio}, std::move(options)) {}

Instrument::Instrument(std::vector<air::Radio*> ports, Options options)
    : impl_(std::make_unique<Impl>(std::move(ports), std::move(options))) {}

Instrument::~Instrument() = default;

std::vector<std::string> Instrument::Execute(const std::string& line) {
    std::vector<std::string> answers;
    std::string_view rest = line;
    while (true) {
        const std::size_t end = rest.find('\n');
        impl_->Line(rest.substr(0, end), answers);
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    return answers;
}

void Instrument::Stop() {
    {
        std::lock_guard<std::mutex> lock(impl_->waitMutex);
        impl_->stopped = true;
    }
    impl_->waitDone.notify_all();
}

void Instrument::Impl::Line(std::string_view line, std::vector<std::string>& answers) {
    // A command without a leading ':' continues from the node of the one before it.
    std::vector<std::string> path;
    for (const std::string_view text : scpi::SplitCommands(line)) {
        scpi::Command command;
        int error = scpi::ParseCommand(text, command);
        if (error == 0 && command.nodes.empty()) continue;
        if (error == 0) error = Dispatch(command, path, answers);
        if (error == 0) continue;
        errors.Push(error);
        if (error <= -100 && error > -200) return; // a command error drops the rest
    }
}

int Instrument::Impl::Dispatch(const scpi::Command& command, std::vector<std::string>& path,
                               std::vector<std::string>& answers) {
    std::vector<std::string> relative = path;
    relative.insert(relative.end(), command.nodes.begin(), command.nodes.end());
    int result = 0;
    // Relative to the path first; a full header from the root is understood too.
    const std::vector<std::string>* tries[] = {&relative, &command.nodes};
    for (const auto* nodes : tries) {
        if ((command.common || command.absolute) && nodes == &relative) continue;
        if (!Find(*nodes, command, answers, result)) continue;
        if (!command.common) path.assign(nodes->begin(), nodes->end() - 1);
        return result;
    }
    return scpi::kUndefinedHeader;
}

// Runs the command `nodes` name, if any does; `result` is its error or 0.
bool Instrument::Impl::Find(const std::vector<std::string>& nodes, const scpi::Command& command,
                            std::vector<std::string>& answers, int& result) {
    const std::size_t given = command.params.size();
    const auto count = [&](std::size_t wanted) {
        return given > wanted   ? scpi::kParameterNotAllowed
               : given < wanted ? scpi::kMissingParameter
                                : 0;
    };
    for (const CommandRow& row : kCommands) {
        if (row.query != command.query || !scpi::MatchHeader(row.header, nodes)) continue;
        result = count(row.params);
        if (result == 0) result = (this->*row.handler)(command, answers);
        return true;
    }
    for (const SettingRow& row : kSettings) {
        if (!scpi::MatchHeader(row.header, nodes)) continue;
        result = count(command.query ? 0 : 1);
        if (result == 0 && command.query) answers.push_back(Get(row));
        if (result == 0 && !command.query) result = Set(row, command.params[0]);
        return true;
    }
    for (const MeasurementRow& row : kMeasurements) {
        if (!command.query || !scpi::MatchHeader(row.header, nodes)) continue;
        result = count(0);
        if (result == 0) result = Read(row, answers);
        return true;
    }
    return false;
}

int Instrument::Impl::Set(const SettingRow& row, const std::string& param) {
    double value = 0;
    const bool number = scpi::ParseNumber(param, value);
    if (row.kind == Kind::Choice) {
        const std::string word = Upper(param);
        std::string_view choices = row.choices;
        while (!choices.empty()) {
            const std::string_view choice = choices.substr(0, choices.find(' '));
            if (word == choice) {
                settings.*row.text = word;
                return 0;
            }
            choices.remove_prefix(std::min(choices.size(), choice.size() + 1));
        }
        return number ? scpi::kDataTypeError : scpi::kIllegalParameterValue;
    }
    if (!number) return scpi::kDataTypeError;
    // Whole settings take the nearest whole number, as instruments round.
    if (row.kind == Kind::Whole) value = std::round(value);
    if (!(value >= row.low && value <= row.high)) return scpi::kDataOutOfRange;
    settings.*row.number = value;
    return 0;
}

std::string Instrument::Impl::Get(const SettingRow& row) const {
    if (row.kind == Kind::Choice) return settings.*row.text;
    if (row.kind == Kind::Whole) return Fixed(settings.*row.number, 0);
    return Shortest(settings.*row.number);
}

int Instrument::Impl::AddLoss(const scpi::Command& command, std::vector<std::string>&) {
    double mhz = 0, db = 0;
    if (!scpi::ParseNumber(command.params[0], mhz) || !scpi::ParseNumber(command.params[1], db))
        return scpi::kDataTypeError;
    if (!(mhz >= kFirstLossMhz && mhz <= kLastLossMhz && db >= 0 && db <= kMaxFixtureLossDb))
        return scpi::kDataOutOfRange;
    for (LossPoint& point : fixture) {
        if (point.mhz != mhz) continue;
        point.db = db;
        return 0;
    }
    if (fixture.size() >= kMaxLossPoints) return scpi::kTooMuchData;
    fixture.push_back({mhz, db});
    return 0;
}

int Instrument::Impl::Read(const MeasurementRow& row, std::vector<std::string>& answers) {
    Setup setup;
    setup.system = row.system;
    setup.quantity = row.quantity;
    const bool le = row.system == System::Le;
    setup.channel = static_cast<int>(le ? settings.leChannel : settings.brChannel);
    setup.packets = static_cast<int>(le ? settings.lePackets : settings.brPackets);
    setup.packetType = settings.brType;
    const double mhz = ChannelMhz(row.system, setup.channel);
    setup.pathLossDb = LossAt(options.pathLoss, mhz);
    setup.fixtureLossDb = LossAt(fixture, mhz);

    const air::Transmission transmission = Radio().Transmitting();
    Wait(AirTimeUs(row.system, setup.packetType, setup.packets));
    const Reading reading = Measure(transmission, setup, random);

    std::string answer;
    for (std::size_t i = 0; i < FieldCount(row.system, row.quantity); ++i) {
        answer += i == 0 ? "" : ",";
        if (reading.error != 0 || i >= reading.fields.size()) {
            answer += kNotANumber;
            continue;
        }
        // dBm and % to a hundredth, Hz to the hertz.
        const bool fine =
            row.quantity == Quantity::Power || (row.quantity == Quantity::Df2 && i == 1);
        answer += Fixed(reading.fields[i], fine ? 2 : 0);
    }
    if (reading.error != 0) errors.Push(reading.error, reading.why);
    answers.push_back(answer);
    return 0;
}

// The instrument emits the level plus the fixture loss it was told; the air takes its own
// loss off on the way to the phone.
int Instrument::Impl::Send(const scpi::Command&, std::vector<std::string>&) {
    air::Packets packets;
    packets.channel = static_cast<int>(settings.sourceChannel);
    packets.count = static_cast<int>(settings.sourcePackets);
    const double mhz = ChannelMhz(System::Le, packets.channel);
    packets.levelDbm =
        settings.sourceLevelDbm + LossAt(fixture, mhz) - LossAt(options.pathLoss, mhz);
    Wait(AirTimeUs(System::Le, {}, packets.count));
    Radio().Receive(packets);
    return 0;
}

void Instrument::Impl::Wait(double microseconds) {
    if (!options.realTime) return;
    std::unique_lock<std::mutex> lock(waitMutex);
    waitDone.wait_for(lock, std::chrono::microseconds(std::llround(microseconds)),
                      [this] { return stopped; });
}

} // namespace testersim
