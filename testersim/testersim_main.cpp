// testersim: the simulated Bluetooth test set as a program, an SCPI instrument on a raw TCP
// socket (VISA: TCPIP::HOST::PORT::SOCKET) measuring the phone it finds on the air.
//
//   testersim [--listen HOST:PORT] [--air PATH]... [--path-loss FILE] [--seed N] [--serial TEXT]
//
// The first line on stdout says where it listens: "testersim: listening on 127.0.0.1:5025".

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "air/socket.h"
#include "testersim/instrument.h"

namespace {

int StopPipe[2] = {-1, -1};

extern "C" void OnStopSignal(int) {
    const char byte = 0;
    [[maybe_unused]] const ssize_t n = ::write(StopPipe[1], &byte, 1);
}

constexpr std::size_t kMaxLine = 64 * 1024;
constexpr std::size_t kMaxClients = 16;
constexpr std::size_t kMaxPorts = 16;

void Usage(std::FILE* to) {
    std::fprintf(to, "usage: testersim [--listen HOST:PORT] [--air PATH]... [--path-loss FILE] "
                     "[--seed N] [--serial TEXT]\n"
                     "  --listen HOST:PORT  where SCPI clients connect (default 127.0.0.1:5025; "
                     "port 0: any free port)\n"
                     "  --air PATH          the phone's air socket (phonesim --air PATH); without "
                     "it no phone is on the air;\n"
                     "                      again for each further RF port (ROUT:PORT 2, 3, ...)\n"
                     "  --path-loss FILE    the true loss between phone and instrument, a fixture "
                     "file (default 0 dB)\n"
                     "  --seed N            the measurement noise (default 1)\n"
                     "  --serial TEXT       the serial number *IDN? answers (default 000001)\n");
}

struct Options {
    std::string host = "127.0.0.1", port = "5025";
    std::vector<std::string> airs; // by RF port
    std::string pathLossFile;
    testersim::Options instrument;
};

// "127.0.0.1:5025", "localhost:0", "[::1]:5025".
bool SplitListen(const std::string& text, std::string& host, std::string& port) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos) return false;
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    return !host.empty() && !port.empty() && port.size() <= 5 &&
           port.find_first_not_of("0123456789") == std::string::npos && std::stoi(port) <= 65535;
}

bool ParseSeed(const std::string& text, std::uint64_t& seed) {
    if (text.empty() || text.size() > 19 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    seed = std::stoull(text);
    return true;
}

bool IsSerial(const std::string& text) {
    if (text.empty() || text.size() > 40) return false;
    for (const char c : text)
        if (c <= 0x20 || c >= 0x7f || c == ',' || c == ';' || c == '"') return false;
    return true;
}

// Reads the command line; an exit status when the program ends here.
std::optional<int> ParseOptions(int argc, char** argv, Options& options) {
    // Every option takes a value but --help, which ends the reading.
    for (int i = 1; i < argc; i += 2) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        const std::string value = hasValue ? argv[i + 1] : "";
        bool good = hasValue;
        if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return 0;
        } else if (arg == "--listen") {
            good = good && SplitListen(value, options.host, options.port);
        } else if (arg == "--air") {
            good = good && !value.empty() && options.airs.size() < kMaxPorts;
            options.airs.push_back(value);
        } else if (arg == "--path-loss") {
            options.pathLossFile = value;
        } else if (arg == "--seed") {
            good = good && ParseSeed(value, options.instrument.seed);
        } else if (arg == "--serial") {
            good = good && IsSerial(value);
            options.instrument.serial = value;
        } else {
            std::fprintf(stderr, "testersim: unknown option '%s'\n", arg.c_str());
            Usage(stderr);
            return 2;
        }
        if (!good) {
            std::fprintf(stderr, "testersim: %s needs %s\n", arg.c_str(),
                         hasValue ? ("a valid value, not '" + value + "'").c_str() : "a value");
            return 2;
        }
    }
    if (!options.pathLossFile.empty()) {
        testersim::LossFile file;
        std::string error;
        if (!testersim::LoadLossFile(options.pathLossFile, file, error)) {
            std::fprintf(stderr, "testersim: %s\n", error.c_str());
            return 2;
        }
        options.instrument.pathLoss = file.points;
    }
    return std::nullopt;
}

// The listening socket, or -1 after saying why; `where` is the address it took.
int Listen(const Options& options, std::string& where) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (const int status =
            ::getaddrinfo(options.host.c_str(), options.port.c_str(), &hints, &found)) {
        std::fprintf(stderr, "testersim: --listen %s: %s\n", options.host.c_str(),
                     ::gai_strerror(status));
        return -1;
    }
    int fd = -1;
    for (addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) {
        fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        const int yes = 1;
        if (fd >= 0 && (::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0 ||
                        ::bind(fd, a->ai_addr, a->ai_addrlen) != 0 || ::listen(fd, 16) != 0)) {
            std::fprintf(stderr, "testersim: --listen %s:%s: %s\n", options.host.c_str(),
                         options.port.c_str(), std::strerror(errno));
            ::close(fd);
            fd = -1;
        }
    }
    ::freeaddrinfo(found);
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    char host[NI_MAXHOST] = {}, port[NI_MAXSERV] = {};
    if (fd >= 0 && (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
                    ::getnameinfo(reinterpret_cast<sockaddr*>(&address), length, host, sizeof host,
                                  port, sizeof port, NI_NUMERICHOST | NI_NUMERICSERV) != 0)) {
        ::close(fd);
        return -1;
    }
    where = address.ss_family == AF_INET6 ? "[" + std::string(host) + "]:" + port
                                          : std::string(host) + ":" + port;
    return fd;
}

// No phone on the air: nothing to measure, nobody receiving.
class EmptyAir : public air::Radio {
public:
    air::Transmission Transmitting() override { return {}; }
    int Receive(const air::Packets&) override { return 0; }
};

// The one box every client talks to, one command line at a time.
struct Box {
    testersim::Instrument& instrument;
    std::mutex mutex;
};

struct Session {
    int fd = -1;
    std::thread thread;
    std::atomic<bool> done{false};
};

bool SendAll(int fd, const std::string& text) {
    std::size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

// Answers one client's lines until it leaves, misbehaves or the program stops.
void Serve(Session& session, Box& box) {
    std::string pending;
    char buffer[4096];
    while (true) {
        pollfd fds[2] = {{session.fd, POLLIN, 0}, {StopPipe[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) break;
        if (fds[1].revents != 0) break;
        if (fds[0].revents == 0) continue;
        const ssize_t n = ::read(session.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        pending.append(buffer, static_cast<std::size_t>(n));
        std::size_t end = 0;
        bool open = true;
        while (open && (end = pending.find('\n')) != std::string::npos && end <= kMaxLine) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            std::string out;
            {
                std::lock_guard<std::mutex> lock(box.mutex);
                for (const std::string& answer : box.instrument.Execute(line))
                    out += answer + "\n";
            }
            open = SendAll(session.fd, out);
        }
        if (!open) break;
        if (pending.size() > kMaxLine) {
            std::fprintf(stderr, "testersim: a client sent a line over 64 KiB; closed it\n");
            break;
        }
    }
    ::shutdown(session.fd, SHUT_RDWR);
    session.done = true;
}

void Reap(std::list<Session>& sessions, bool all) {
    for (auto it = sessions.begin(); it != sessions.end();) {
        if (!all && !it->done) {
            ++it;
            continue;
        }
        if (all) ::shutdown(it->fd, SHUT_RDWR);
        it->thread.join();
        ::close(it->fd);
        it = sessions.erase(it);
    }
}

// Takes clients until a stop signal; each is served on a thread of its own.
void Accept(int listenFd, Box& box) {
    std::list<Session> sessions;
    while (true) {
        pollfd fds[2] = {{listenFd, POLLIN, 0}, {StopPipe[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) break;
        if (fds[1].revents != 0) break;
        if ((fds[0].revents & POLLIN) == 0) continue;
        const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        Reap(sessions, false);
        if (sessions.size() >= kMaxClients) {
            std::fprintf(stderr, "testersim: more than %zu clients; refused one\n", kMaxClients);
            ::close(fd);
            continue;
        }
        Session& session = sessions.emplace_back();
        session.fd = fd;
        session.thread = std::thread(Serve, std::ref(session), std::ref(box));
    }
    box.instrument.Stop();
    Reap(sessions, true);
}

bool CatchStopSignals() {
    if (::pipe2(StopPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    struct sigaction action {};
    action.sa_handler = &OnStopSignal;
    ::sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (const auto status = ParseOptions(argc, argv, options)) return *status;
    if (!CatchStopSignals()) {
        std::perror("testersim: pipe");
        return 1;
    }
    std::string where;
    const int listenFd = Listen(options, where);
    if (listenFd < 0) return 1;

    EmptyAir emptyAir;
    std::vector<std::unique_ptr<air::RemoteRadio>> phones;
    std::vector<air::Radio*> ports;
    for (const std::string& path : options.airs)
        ports.push_back(phones.emplace_back(std::make_unique<air::RemoteRadio>(path)).get());
    if (ports.empty()) ports.push_back(&emptyAir);
    testersim::Instrument instrument(ports, options.instrument);
    Box box{instrument, {}};

    std::printf("testersim: listening on %s\n", where.c_str());
    std::fflush(stdout);
    Accept(listenFd, box);
    ::close(listenFd);
    return 0;
}
