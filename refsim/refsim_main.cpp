// refsim: the simulated reference radio as a program behind a pseudo-terminal, so that a
// driver reaches it as it reaches a real controller on a serial port.
//
//   refsim --pty [--link PATH] [--dtm] [--air PATH] [--power DBM] [--path-loss FILE]
//          [--bdaddr HEX] [--refuse OPCODE[:STATUS]]
//
// The first line on stdout is the device to open (the --link path when given).

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "air/socket.h"
#include "refsim/controller.h"
#include "simpty/pty.h"

namespace {

using simpty::Stop;

constexpr int kTickMs = 50; // how often a running test looks at the air

void Usage(std::FILE* to) {
    std::fprintf(
        to, "usage: refsim --pty [--link PATH] [--dtm] [--air PATH] [--power DBM] "
            "[--path-loss FILE] [--bdaddr HEX] [--refuse OPCODE[:STATUS]]\n"
            "  --link PATH       also reach the device through the symbolic link PATH\n"
            "  --dtm             Direct Test Mode's 2-wire UART instead of HCI (H4)\n"
            "  --air PATH        the phone's air socket (phonesim --air PATH)\n"
            "  --power DBM       output power, -40..20 dBm (default 0)\n"
            "  --path-loss FILE  the true loss to the phone, a fixture file (default 0 dB)\n"
            "  --bdaddr HEX      the address HCI_Read_BD_ADDR answers, 12 hex digits, "
            "':' between pairs allowed (default 00:00:5E:00:53:01)\n"
            "  --refuse OP[:ST]  answer the HCI command OP (hex opcode) with status ST (hex,\n"
            "                    default 0C Command Disallowed), as a faulty controller would\n");
}

struct Options {
    bool pty = false, dtm = false;
    std::string link, air;
    refsim::Options radio;
};

bool ParsePower(const std::string& text, double& dbm) {
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || errno != 0 || *end != '\0' || !(value >= -40 && value <= 20)) return false;
    dbm = value;
    return true;
}

// "0011223344AA" or "00:11:22:33:44:AA", most significant byte first.
bool ParseBdaddr(const std::string& text, std::array<std::uint8_t, 6>& address) {
    std::string digits;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ':' && i % 3 == 2 && text.size() == 17) continue;
        if (!std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
        digits += text[i];
    }
    if (digits.size() != 12) return false;
    for (std::size_t i = 0; i < 6; ++i)
        address[i] = static_cast<std::uint8_t>(std::stoi(digits.substr(2 * i, 2), nullptr, 16));
    return true;
}

// Reads the command line; an exit status when the program ends here.
std::optional<int> ParseOptions(int argc, char** argv, Options& options) {
    std::string pathLoss;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return 0;
        }
        if (arg == "--pty" || arg == "--dtm") {
            (arg == "--pty" ? options.pty : options.dtm) = true;
            continue;
        }
        const bool hasValue = i + 1 < argc;
        const std::string value = hasValue ? argv[++i] : "";
        bool good = hasValue;
        if (arg == "--link") {
            options.link = value;
        } else if (arg == "--air") {
            options.air = value;
        } else if (arg == "--path-loss") {
            pathLoss = value;
        } else if (arg == "--power") {
            good = good && ParsePower(value, options.radio.powerDbm);
        } else if (arg == "--bdaddr") {
            good = good && ParseBdaddr(value, options.radio.bdaddr);
        } else if (arg == "--refuse") {
            // OPCODE[:STATUS], both hexadecimal: 0x201D:0x12.
            char* end = nullptr;
            const unsigned long opcode = std::strtoul(value.c_str(), &end, 16);
            unsigned long status = 0x0C;
            if (end && *end == ':') status = std::strtoul(end + 1, &end, 16);
            good = good && end && *end == '\0' && opcode > 0 && opcode <= 0xFFFF && status > 0 &&
                   status <= 0xFF;
            options.radio.refuseOpcode = static_cast<std::uint16_t>(opcode);
            options.radio.refuseStatus = static_cast<std::uint8_t>(status);
        } else {
            std::fprintf(stderr, "refsim: unknown option '%s'\n", arg.c_str());
            Usage(stderr);
            return 2;
        }
        if (!good || value.empty()) {
            std::fprintf(stderr, "refsim: %s needs %s\n", arg.c_str(),
                         hasValue ? ("a valid value, not '" + value + "'").c_str() : "a value");
            return 2;
        }
    }
    if (!options.pty) {
        std::fprintf(stderr, "refsim: --pty is required (the only line it serves)\n");
        Usage(stderr);
        return 2;
    }
    if (!pathLoss.empty()) {
        testersim::LossFile file;
        std::string error;
        if (!testersim::LoadLossFile(pathLoss, file, error)) {
            std::fprintf(stderr, "refsim: %s\n", error.c_str());
            return 2;
        }
        options.radio.pathLoss = file.points;
    }
    return std::nullopt;
}

// Answers what arrives on the master until a stop signal; a running test looks at the air
// every kTickMs, an unfinished message is dropped after kIdleMs of quiet.
void Serve(int master, refsim::Controller& controller) {
    using Clock = std::chrono::steady_clock;
    Clock::time_point lastByte = Clock::now();
    char buffer[4096];
    while (!Stop) {
        const auto quiet =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastByte);
        if (controller.Pending() && quiet.count() >= refsim::kIdleMs) {
            simpty::WriteAll(master, controller.LineIdle());
            lastByte = Clock::now();
        }
        int timeout = controller.Testing() ? kTickMs : 500;
        if (controller.Pending())
            timeout = std::min<int>(timeout, refsim::kIdleMs - static_cast<int>(quiet.count()));
        pollfd in = {master, POLLIN, 0};
        const int ready = ::poll(&in, 1, std::max(timeout, 1));
        if (controller.Testing()) controller.Tick();
        if (ready <= 0) continue;
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0) {
            // Nobody has the device open for a moment; wait for the next driver.
            if (n == 0 || errno == EIO) std::this_thread::sleep_for(std::chrono::milliseconds(50));
            continue;
        }
        lastByte = Clock::now();
        simpty::WriteAll(master, controller.Feed(reinterpret_cast<const std::uint8_t*>(buffer),
                                                 static_cast<std::size_t>(n)));
    }
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (const auto status = ParseOptions(argc, argv, options)) return *status;
    simpty::Pty pty;
    // What the two interfaces run at on a real line.
    if (!simpty::OpenPty(pty, options.dtm ? B19200 : B115200, "refsim")) return 1;
    // Before the device is announced: whoever reads it may stop us at once.
    simpty::CatchStopSignals();
    if (!options.link.empty() && !simpty::MakeLink(pty.device, options.link)) {
        std::perror("refsim: --link");
        return 1;
    }
    std::unique_ptr<air::RemoteRadio> phone;
    if (!options.air.empty()) phone = std::make_unique<air::RemoteRadio>(options.air);
    std::unique_ptr<refsim::Controller> controller;
    if (options.dtm)
        controller = std::make_unique<refsim::DtmController>(phone.get(), options.radio);
    else
        controller = std::make_unique<refsim::HciController>(phone.get(), options.radio);
    std::printf("%s\n", options.link.empty() ? pty.device.c_str() : options.link.c_str());
    std::fflush(stdout);

    Serve(pty.master, *controller);

    if (!options.link.empty()) simpty::RemoveLink(pty.device, options.link);
    ::close(pty.keeper);
    ::close(pty.master);
    return 0;
}
