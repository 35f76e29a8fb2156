#include "air/socket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace air {

namespace {

// Air lines are short; anything longer is not a client of ours.
constexpr std::size_t kMaxLine = 4096;
constexpr std::size_t kMaxClients = 32;
// The phone answers at once; a phone silent this long is hung or gone.
constexpr int kAnswerMs = 5000;
constexpr int kSendMs = 1000;

std::string ErrnoText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

bool MakeAddress(const std::string& path, sockaddr_un& address, std::string& error) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        error = "air socket path '" + path + "' is empty or too long";
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

int Connect(const std::string& path, std::string& error) {
    sockaddr_un address{};
    if (!MakeAddress(path, address, error)) return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = ErrnoText("air socket");
        return -1;
    }
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = ErrnoText("no phone on the air at " + path);
        ::close(fd);
        return -1;
    }
    return fd;
}

// Sends all of `text`, waiting at most `waitMs` for room each time; a peer that is gone
// makes it fail, never raises SIGPIPE.
bool SendAll(int fd, const std::string& text, int waitMs) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n =
            ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd out = {fd, POLLOUT, 0};
            if (::poll(&out, 1, waitMs) <= 0) return false;
        } else {
            return false;
        }
    }
    return true;
}

std::string Printable(const std::string& text) {
    std::string shown;
    for (const char c : text.substr(0, 60))
        shown += (c >= 0x20 && c < 0x7f) ? c : '?';
    return shown;
}

} // namespace

// ---- the phone's end ----

struct Server::Impl {
    Radio& radio;
    std::string path;
    int listenFd = -1;
    int wake[2] = {-1, -1};
    ino_t inode = 0;
    std::thread thread;
    struct Client {
        int fd;
        std::string pending;
    };
    std::vector<Client> clients;

    Impl(Radio& r, std::string p) : radio(r), path(std::move(p)) {}
    bool Listen(std::string& error);
    bool ClearStaleSocket(std::string& error);
    void Run();
    bool Read(Client& client);
    std::string Answer(const std::string& request);
};

Server::Server(Radio& radio, std::string path) : impl_(std::make_unique<Impl>(radio, path)) {}

Server::~Server() {
    if (impl_->thread.joinable()) {
        const char byte = 0;
        [[maybe_unused]] const ssize_t n = ::write(impl_->wake[1], &byte, 1);
        impl_->thread.join();
    }
    for (const auto& client : impl_->clients)
        ::close(client.fd);
    for (const int fd : {impl_->listenFd, impl_->wake[0], impl_->wake[1]})
        if (fd >= 0) ::close(fd);
    // Only our own socket file: a newer phone may have taken the path over since.
    struct stat info {};
    if (impl_->listenFd >= 0 && ::lstat(impl_->path.c_str(), &info) == 0 &&
        info.st_ino == impl_->inode)
        ::unlink(impl_->path.c_str());
}

bool Server::Start(std::string& error) {
    if (impl_->listenFd >= 0) {
        error = "the air at " + impl_->path + " is served already";
        return false;
    }
    if (!impl_->Listen(error)) return false;
    impl_->thread = std::thread([this] { impl_->Run(); });
    return true;
}

// A socket file nobody listens on is what a killed phone leaves behind; anything else at
// the path belongs to someone.
bool Server::Impl::ClearStaleSocket(std::string& error) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return true;
    if (!S_ISSOCK(info.st_mode)) {
        error = path + " exists and is not a socket";
        return false;
    }
    std::string ignored;
    const int fd = Connect(path, ignored);
    if (fd >= 0) {
        ::close(fd);
        error = "another phone serves the air at " + path;
        return false;
    }
    ::unlink(path.c_str());
    return true;
}

bool Server::Impl::Listen(std::string& error) {
    sockaddr_un address{};
    if (!MakeAddress(path, address, error) || !ClearStaleSocket(error)) return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        error = ErrnoText("air socket");
        return false;
    }
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = ErrnoText("air socket " + path);
        ::close(fd);
        return false;
    }
    struct stat info {};
    if (::listen(fd, 8) != 0 || ::lstat(path.c_str(), &info) != 0 ||
        ::pipe2(wake, O_CLOEXEC) != 0) {
        error = ErrnoText("air socket " + path);
        ::close(fd);
        ::unlink(path.c_str());
        return false;
    }
    listenFd = fd;
    inode = info.st_ino;
    return true;
}

void Server::Impl::Run() {
    while (true) {
        std::vector<pollfd> fds = {{wake[0], POLLIN, 0}, {listenFd, POLLIN, 0}};
        for (const auto& client : clients)
            fds.push_back({client.fd, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[0].revents != 0) return;
        // Newest first, so that erasing leaves the indices still to visit in place.
        for (std::size_t i = fds.size(); i-- > 2;) {
            if (fds[i].revents == 0) continue;
            if (!Read(clients[i - 2])) {
                ::close(clients[i - 2].fd);
                clients.erase(clients.begin() + static_cast<std::ptrdiff_t>(i - 2));
            }
        }
        if (fds[1].revents & POLLIN) {
            const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd >= 0 && clients.size() < kMaxClients)
                clients.push_back({fd, {}});
            else if (fd >= 0)
                ::close(fd);
        }
    }
}

// Answers every whole line that arrived; false when the client is to be dropped.
bool Server::Impl::Read(Client& client) {
    char buffer[1024];
    const ssize_t n = ::read(client.fd, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return true;
    if (n <= 0) return false;
    client.pending.append(buffer, static_cast<std::size_t>(n));
    std::size_t end;
    while ((end = client.pending.find('\n')) != std::string::npos) {
        std::string line = client.pending.substr(0, end);
        client.pending.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!SendAll(client.fd, Answer(line) + "\n", kSendMs)) return false;
    }
    if (client.pending.size() > kMaxLine) {
        SendAll(client.fd, "ERROR line longer than 4096 bytes\n", kSendMs);
        return false;
    }
    return true;
}

std::string Server::Impl::Answer(const std::string& request) {
    if (request == "TX?") return FormatTransmission(radio.Transmitting());
    if (request.rfind("PACKETS", 0) == 0) {
        Packets packets;
        std::string error;
        if (!ParsePackets(request, packets, error)) return "ERROR " + error;
        return "received=" + std::to_string(radio.Receive(packets));
    }
    return "ERROR unknown request '" + Printable(request) + "'";
}

// ---- the instrument's end ----

RemoteRadio::RemoteRadio(std::string path) : path_(std::move(path)) {}

RemoteRadio::~RemoteRadio() {
    Disconnect();
}

void RemoteRadio::Disconnect() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

Transmission RemoteRadio::Transmitting() {
    Transmission t;
    std::string answer, error;
    if (!Ask("TX?", true, answer)) return t;
    if (!ParseTransmission(answer, t, error)) {
        error_ = "the phone's answer to TX?: " + error;
        return Transmission{};
    }
    return t;
}

int RemoteRadio::Receive(const Packets& packets) {
    std::string answer;
    // Sent twice, the packets would count twice.
    if (!Ask(FormatPackets(packets), false, answer)) return 0;
    int received = -1;
    if (answer.rfind("received=", 0) == 0) {
        const std::string number = answer.substr(9);
        if (!number.empty() && number.size() < 7 &&
            number.find_first_not_of("0123456789") == std::string::npos)
            received = std::stoi(number);
    }
    if (received < 0) {
        error_ = "the phone's answer to PACKETS: '" + Printable(answer) + "'";
        return 0;
    }
    return received;
}

bool RemoteRadio::Ask(const std::string& request, bool repeatable, std::string& answer) {
    // A connection the phone closed (it restarted) shows as readable before we send.
    if (fd_ >= 0) {
        pollfd in = {fd_, POLLIN, 0};
        if (::poll(&in, 1, 0) != 0) Disconnect();
    }
    bool sent = false;
    if (!Exchange(request, answer, sent) &&
        ((sent && !repeatable) || !Exchange(request, answer, sent)))
        return false;
    if (answer.rfind("ERROR", 0) == 0) {
        error_ = "the phone at " + path_ + " answered '" + Printable(answer) + "'";
        return false;
    }
    error_.clear();
    return true;
}

// One request and its answer line; false with error_ set, and the connection closed.
bool RemoteRadio::Exchange(const std::string& request, std::string& answer, bool& sent) {
    sent = false;
    if (fd_ < 0 && (fd_ = Connect(path_, error_)) < 0) return false;
    if (!SendAll(fd_, request + "\n", kAnswerMs)) {
        error_ = ErrnoText("the phone at " + path_ + " went away");
        Disconnect();
        return false;
    }
    sent = true;
    answer.clear();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAnswerMs);
    char c = 0;
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd in = {fd_, POLLIN, 0};
        const int ready = left.count() > 0 ? ::poll(&in, 1, static_cast<int>(left.count())) : 0;
        if (ready < 0 && errno == EINTR) continue;
        const ssize_t n = ready > 0 ? ::read(fd_, &c, 1) : -1;
        if (n == 1 && c == '\n') break;
        if (n == 1 && answer.size() < kMaxLine) {
            answer += c;
            continue;
        }
        error_ = "the phone at " + path_ +
                 (ready == 0 ? " did not answer"
                  : n == 1   ? " answered too long a line"
                             : " closed the air");
        Disconnect();
        return false;
    }
    if (!answer.empty() && answer.back() == '\r') answer.pop_back();
    return true;
}

} // namespace air
