// phonesim: the phone simulator as a program behind a pseudo-terminal, so that the station
// reaches it as it reaches a real phone on a serial port.
//
//   phonesim --pty [--link PATH] [--fault KIND]... [--versions SPEC]... [--chip-on]
//            [--sim-unit FILE] [--air PATH]
//
// The first line on stdout is the device the station opens (the --link path when given);
// by then the air's socket (--air) is listening too.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "air/socket.h"
#include "phone/phonesim.h"
#include "phone/unit_profile.h"
#include "phone/wire_server.h"
#include "simpty/pty.h"

namespace {

using simpty::Stop;

constexpr int kIdleMs = 200;       // a message that pauses this long is dropped
constexpr int kSplitPauseMs = 300; // between the pieces of a split reply

void Usage() {
    std::fprintf(stderr,
                 "usage: phonesim --pty [--link PATH] [--fault KIND]... [--versions SPEC]... "
                 "[--chip-on] [--sim-unit FILE] [--air PATH]\n"
                 "  --link PATH      also reach the device through the symbolic link PATH\n"
                 "  --fault KIND     split, noise, damaged-copy, bad-crc or silent\n"
                 "  --versions SPEC  text:OPCODE=REQ,CON or binary:FUNCTION=REQ,CON\n"
                 "  --chip-on        start with the Bluetooth chip switched on\n"
                 "  --sim-unit FILE  take the readings of the unit profile FILE (docs/plans.md)\n"
                 "  --air PATH       serve the phone's radio to test sets on the Unix socket PATH\n"
                 "                   (docs/tester.md)\n");
}

bool ParseInt(const std::string& text, long low, long high, long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high) return false;
    value = parsed;
    return true;
}

// "text:5=2,1" or "binary:8=1,2".
bool ApplyVersions(const std::string& option, phonesim::Simulator& sim) {
    const auto colon = option.find(':'), equals = option.find('='), comma = option.find(',');
    if (colon == std::string::npos || equals == std::string::npos || comma == std::string::npos ||
        !(colon < equals && equals < comma))
        return false;
    const std::string kind = option.substr(0, colon);
    long number = 0, request = 0, confirm = 0;
    const bool text = kind == "text";
    if ((!text && kind != "binary") ||
        !ParseInt(option.substr(colon + 1, equals - colon - 1), 0,
                  text ? phonesim::kOpcodeCount - 1 : phonesim::kFunctionCount - 1, number) ||
        !ParseInt(option.substr(equals + 1, comma - equals - 1), 0, 255, request) ||
        !ParseInt(option.substr(comma + 1), 0, 255, confirm))
        return false;
    if (text)
        sim.SetTextVersions(static_cast<int>(number), static_cast<uint8_t>(request),
                            static_cast<uint8_t>(confirm));
    else
        sim.SetBinaryVersions(static_cast<int>(number), static_cast<uint8_t>(request),
                              static_cast<uint8_t>(confirm));
    return true;
}

struct Options {
    bool pty = false, chipOn = false;
    std::string link, unitFile, air;
    std::set<phonesim::LinkFault> faults;
    std::vector<std::string> versions;
};

// Reads the command line; an exit status when the program ends here.
std::optional<int> ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--pty") {
            options.pty = true;
        } else if (arg == "--chip-on") {
            options.chipOn = true;
        } else if (arg == "--link" && hasValue) {
            options.link = argv[++i];
        } else if (arg == "--fault" && hasValue) {
            phonesim::LinkFault fault{};
            if (!phonesim::ParseLinkFault(argv[++i], fault)) {
                std::fprintf(stderr, "phonesim: unknown fault '%s'\n", argv[i]);
                return 2;
            }
            options.faults.insert(fault);
        } else if (arg == "--sim-unit" && hasValue) {
            options.unitFile = argv[++i];
        } else if (arg == "--air" && hasValue) {
            options.air = argv[++i];
        } else if (arg == "--versions" && hasValue) {
            options.versions.emplace_back(argv[++i]);
        } else if (arg == "--help" || arg == "-h") {
            Usage();
            return 0;
        } else {
            Usage();
            return 2;
        }
    }
    if (!options.pty) {
        Usage();
        return 2;
    }
    return std::nullopt;
}

// Gives the phone the versions, chip state and unit readings asked for; false after saying
// what is wrong.
bool Prepare(const Options& options, phonesim::Simulator& sim) {
    for (const std::string& option : options.versions) {
        if (!ApplyVersions(option, sim)) {
            std::fprintf(stderr, "phonesim: bad --versions '%s'\n", option.c_str());
            return false;
        }
    }
    sim.Chip().on = options.chipOn;
    if (!options.unitFile.empty()) {
        phonesim::UnitProfile profile;
        std::string error;
        if (!phonesim::LoadUnitProfile(options.unitFile, profile, error)) {
            std::fprintf(stderr, "phonesim: %s\n", error.c_str());
            return false;
        }
        phonesim::ApplyUnitProfile(profile, 0, sim.Chip());
    }
    return true;
}

// Serves the phone's radio at `path`; null after saying what failed.
std::unique_ptr<air::Server> ServeAir(phonesim::Simulator& sim, const std::string& path) {
    auto server = std::make_unique<air::Server>(sim.Air(), path);
    std::string error;
    if (server->Start(error)) return server;
    std::fprintf(stderr, "phonesim: --air %s: %s\n", path.c_str(), error.c_str());
    return nullptr;
}

// Answers what arrives on the master until a stop signal.
void Serve(int master, phonesim::WireServer& server) {
    std::vector<uint8_t> buffer(4096);
    while (!Stop) {
        pollfd in = {master, POLLIN, 0};
        const int ready = ::poll(&in, 1, server.Pending() ? kIdleMs : 500);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) break;
        if (ready == 0) {
            server.LineIdle();
            continue;
        }
        const ssize_t n = ::read(master, buffer.data(), buffer.size());
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) {
            // Nobody has the device open for a moment; wait for the next station.
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            continue;
        }
        const std::vector<std::string> pieces =
            server.Feed(buffer.data(), static_cast<std::size_t>(n));
        for (std::size_t i = 0; i < pieces.size() && !Stop; ++i) {
            if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(kSplitPauseMs));
            if (!simpty::WriteAll(master, pieces[i])) break;
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (const auto status = ParseOptions(argc, argv, options)) return *status;
    phonesim::Simulator sim;
    if (!Prepare(options, sim)) return 2;
    simpty::Pty pty;
    if (!simpty::OpenPty(pty, B115200, "phonesim")) return 1;

    // Listening before the device is announced, so that whoever reads it finds the air.
    std::unique_ptr<air::Server> air;
    if (!options.air.empty() && !(air = ServeAir(sim, options.air))) return 1;
    // Before the device is announced: whoever reads it may stop us at once.
    simpty::CatchStopSignals();
    if (!options.link.empty() && !simpty::MakeLink(pty.device, options.link)) {
        std::perror("phonesim: --link");
        return 1;
    }
    std::printf("%s\n", options.link.empty() ? pty.device.c_str() : options.link.c_str());
    std::fflush(stdout);

    phonesim::WireServer server(sim, options.faults);
    Serve(pty.master, server);

    if (!options.link.empty()) simpty::RemoveLink(pty.device, options.link);
    ::close(pty.keeper);
    ::close(pty.master);
    return 0;
}
