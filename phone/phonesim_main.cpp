// phonesim: the phone simulator as a program behind a pseudo-terminal, so that the station
// reaches it as it reaches a real phone on a serial port.
//
//   phonesim --pty [--link PATH] [--fault KIND]... [--versions SPEC]... [--chip-on]
//            [--sim-unit FILE]
//
// The first line on stdout is the device the station opens (the --link path when given).

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
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "phonesim.h"
#include "unit_profile.h"
#include "wire_server.h"

namespace {

volatile sig_atomic_t Stop = 0;

extern "C" void OnStopSignal(int) {
    Stop = 1;
}

constexpr int kIdleMs = 200;       // a message that pauses this long is dropped
constexpr int kSplitPauseMs = 300; // between the pieces of a split reply

void Usage() {
    std::fprintf(stderr,
                 "usage: phonesim --pty [--link PATH] [--fault KIND]... [--versions SPEC]... "
                 "[--chip-on] [--sim-unit FILE]\n"
                 "  --link PATH      also reach the device through the symbolic link PATH\n"
                 "  --fault KIND     split, noise, damaged-copy, bad-crc or silent\n"
                 "  --versions SPEC  text:OPCODE=REQ,CON or binary:FUNCTION=REQ,CON\n"
                 "  --chip-on        start with the Bluetooth chip switched on\n"
                 "  --sim-unit FILE  take the readings of the unit profile FILE (docs/plans.md)\n");
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

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd out = {fd, POLLOUT, 0};
            ::poll(&out, 1, 100);
            if (Stop) return false;
            continue;
        }
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The link is made under a temporary name and renamed over PATH, so that a station
// reopening PATH never finds it missing or half made.
bool MakeLink(const std::string& target, const std::string& path) {
    const std::string temporary = path + ".new." + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    if (::symlink(target.c_str(), temporary.c_str()) != 0) return false;
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

// Removes PATH only while it still leads to our device: a newer phonesim may own it.
void RemoveLink(const std::string& target, const std::string& path) {
    char buffer[PATH_MAX] = {};
    const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer - 1);
    if (n > 0 && target == std::string(buffer, static_cast<std::size_t>(n))) ::unlink(path.c_str());
}

} // namespace

int main(int argc, char** argv) {
    bool pty = false, chipOn = false;
    std::string link, unitFile;
    std::set<phonesim::LinkFault> faults;
    std::vector<std::string> versions;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--pty") {
            pty = true;
        } else if (arg == "--chip-on") {
            chipOn = true;
        } else if (arg == "--link" && hasValue) {
            link = argv[++i];
        } else if (arg == "--fault" && hasValue) {
            phonesim::LinkFault fault{};
            if (!phonesim::ParseLinkFault(argv[++i], fault)) {
                std::fprintf(stderr, "phonesim: unknown fault '%s'\n", argv[i]);
                return 2;
            }
            faults.insert(fault);
        } else if (arg == "--sim-unit" && hasValue) {
            unitFile = argv[++i];
        } else if (arg == "--versions" && hasValue) {
            versions.emplace_back(argv[++i]);
        } else if (arg == "--help" || arg == "-h") {
            Usage();
            return 0;
        } else {
            Usage();
            return 2;
        }
    }
    if (!pty) {
        Usage();
        return 2;
    }

    phonesim::Simulator sim;
    for (const std::string& option : versions) {
        if (!ApplyVersions(option, sim)) {
            std::fprintf(stderr, "phonesim: bad --versions '%s'\n", option.c_str());
            return 2;
        }
    }
    sim.Chip().on = chipOn;
    if (!unitFile.empty()) {
        phonesim::UnitProfile profile;
        std::string error;
        if (!phonesim::LoadUnitProfile(unitFile, profile, error)) {
            std::fprintf(stderr, "phonesim: %s\n", error.c_str());
            return 2;
        }
        phonesim::ApplyUnitProfile(profile, 0, sim.Chip());
    }

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        std::perror("phonesim: pseudo-terminal");
        return 1;
    }
    const char* slaveName = ::ptsname(master);
    if (slaveName == nullptr) {
        std::perror("phonesim: ptsname");
        return 1;
    }
    const std::string slave = slaveName;
    // Holding the device open ourselves keeps the master readable while no station has it
    // open (Linux reports EIO and hang-ups on a master without any slave).
    const int keeper = ::open(slave.c_str(), O_RDWR | O_NOCTTY);
    termios raw{};
    if (keeper < 0 || ::tcgetattr(keeper, &raw) != 0) {
        std::perror("phonesim: open the device");
        return 1;
    }
    ::cfmakeraw(&raw);
    ::cfsetispeed(&raw, B115200);
    ::cfsetospeed(&raw, B115200);
    ::tcsetattr(keeper, TCSANOW, &raw);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);

    // Before the device is announced: whoever reads it may stop us at once.
    struct sigaction action {};
    action.sa_handler = &OnStopSignal;
    ::sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    if (!link.empty() && !MakeLink(slave, link)) {
        std::perror("phonesim: --link");
        return 1;
    }
    std::printf("%s\n", link.empty() ? slave.c_str() : link.c_str());
    std::fflush(stdout);

    phonesim::WireServer server(sim, faults);
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
            if (!WriteAll(master, pieces[i])) break;
        }
    }

    if (!link.empty()) RemoveLink(slave, link);
    ::close(keeper);
    ::close(master);
    return 0;
}
