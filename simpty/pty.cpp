#include "simpty/pty.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace simpty {

volatile std::sig_atomic_t Stop = 0;

namespace {

extern "C" void OnStopSignal(int) {
    Stop = 1;
}

} // namespace

bool OpenPty(Pty& pty, speed_t speed, const char* program) {
    pty.master = ::posix_openpt(O_RDWR | O_NOCTTY);
    const char* name = nullptr;
    if (pty.master < 0 || ::grantpt(pty.master) != 0 || ::unlockpt(pty.master) != 0 ||
        (name = ::ptsname(pty.master)) == nullptr) {
        std::fprintf(stderr, "%s: pseudo-terminal: ", program);
        std::perror(nullptr);
        return false;
    }
    pty.device = name;
    // Linux reports EIO and hang-ups on a master without any slave open.
    pty.keeper = ::open(pty.device.c_str(), O_RDWR | O_NOCTTY);
    termios raw{};
    if (pty.keeper < 0 || ::tcgetattr(pty.keeper, &raw) != 0) {
        std::fprintf(stderr, "%s: open the device: ", program);
        std::perror(nullptr);
        return false;
    }
    ::cfmakeraw(&raw);
    ::cfsetispeed(&raw, speed);
    ::cfsetospeed(&raw, speed);
    ::tcsetattr(pty.keeper, TCSANOW, &raw);
    ::fcntl(pty.master, F_SETFL, ::fcntl(pty.master, F_GETFL) | O_NONBLOCK);
    return true;
}

bool MakeLink(const std::string& target, const std::string& path) {
    const std::string temporary = path + ".new." + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    if (::symlink(target.c_str(), temporary.c_str()) != 0) return false;
    if (::rename(temporary.c_str(), path.c_str()) == 0) return true;
    ::unlink(temporary.c_str());
    return false;
}

void RemoveLink(const std::string& target, const std::string& path) {
    char buffer[PATH_MAX] = {};
    const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer - 1);
    if (n > 0 && target == std::string(buffer, static_cast<std::size_t>(n))) ::unlink(path.c_str());
}

void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = &OnStopSignal;
    ::sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
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

} // namespace simpty
