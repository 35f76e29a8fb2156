// LAN instruments through liblxi. liblxi sends with plain send(), so a peer that has gone
// raises SIGPIPE; that signal is blocked around each send and a pending one taken back, so
// a killed instrument is a link error and not the end of the program. It also prints
// "Error: Timeout" and the like to stderr on its way out of a failed call; the caller says
// what went wrong, naming the instrument, so those lines are kept off the console.
//
// liblxi is loaded when the first LAN tester connects, not with the program: it brings
// mDNS, XML and RPC libraries that a station without a LAN tester does not need (a few
// megabytes of resident memory in every btrun), and its VXI-11 half wants libtirpc, which
// its own library does not name.

#include <dlfcn.h>
#include <lxi.h>
#include <netdb.h>
#include <pthread.h>
#include <signal.h>

#include <QElapsedTimer>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <utility>

#include "tester/connection.h"

namespace tester {

namespace {

struct Lxi {
    decltype(&lxi_init) init = nullptr;
    decltype(&lxi_connect) connect = nullptr;
    decltype(&lxi_send) send = nullptr;
    decltype(&lxi_receive) receive = nullptr;
    decltype(&lxi_disconnect) disconnect = nullptr;
    QString error; // why it could not be loaded
};

template <typename F> bool Resolve(void* library, const char* name, F& function) {
    function = reinterpret_cast<F>(dlsym(library, name));
    return function != nullptr;
}

// liblxi wants lxi_init once before anything else, and lxi_init forgets every open
// session, so a second call would cut the links of other testers in this process.
const Lxi& LoadLxiOnce() {
    static Lxi lxi;
    static std::once_flag once;
    std::call_once(once, [] {
        if (dlopen("libtirpc.so.3", RTLD_NOW | RTLD_GLOBAL) == nullptr ||
            dlopen("liblxi.so.1", RTLD_NOW | RTLD_GLOBAL) == nullptr) {
            lxi.error = QString("cannot load liblxi (Debian package liblxi1): %1")
                            .arg(QString::fromLocal8Bit(dlerror()));
            return;
        }
        void* library = dlopen("liblxi.so.1", RTLD_NOW | RTLD_NOLOAD);
        if (!Resolve(library, "lxi_init", lxi.init) ||
            !Resolve(library, "lxi_connect", lxi.connect) ||
            !Resolve(library, "lxi_send", lxi.send) ||
            !Resolve(library, "lxi_receive", lxi.receive) ||
            !Resolve(library, "lxi_disconnect", lxi.disconnect)) {
            lxi.error = "liblxi lacks the functions this program calls";
            lxi.init = nullptr;
            return;
        }
        lxi.init();
    });
    return lxi;
}

// While liblxi runs, its fprintf(stderr, ...) goes nowhere. Only the stream it names is
// swapped; the process's file descriptor 2 and other writers' streams stay as they are.
class LiblxiQuiet {
public:
    LiblxiQuiet() : saved_(stderr) { stderr = Sink(); }
    ~LiblxiQuiet() { stderr = saved_; }
    LiblxiQuiet(const LiblxiQuiet&) = delete;
    LiblxiQuiet& operator=(const LiblxiQuiet&) = delete;

private:
    static FILE* Sink() {
        static FILE* const sink = [] {
            cookie_io_functions_t nothing{};
            nothing.write = [](void*, const char*, size_t size) -> ssize_t {
                return static_cast<ssize_t>(size);
            };
            FILE* made = fopencookie(nullptr, "w", nothing);
            return made != nullptr ? made : stderr;
        }();
        return sink;
    }
    FILE* saved_;
};

class SigpipeBlocked {
public:
    SigpipeBlocked() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        sigset_t pending;
        sigemptyset(&pending);
        sigpending(&pending);
        wasPending_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe_, &old_);
    }
    ~SigpipeBlocked() {
        if (!wasPending_) {
            const timespec now{};
            while (sigtimedwait(&pipe_, nullptr, &now) == SIGPIPE) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    }
    SigpipeBlocked(const SigpipeBlocked&) = delete;
    SigpipeBlocked& operator=(const SigpipeBlocked&) = delete;

private:
    sigset_t pipe_;
    sigset_t old_;
    bool wasPending_ = false;
};

QString ErrnoText(int code) {
    QString text = QString::fromLocal8Bit(std::strerror(code));
    if (!text.isEmpty()) text[0] = text[0].toLower();
    return text;
}

class LxiConnection : public Connection {
    static const Lxi& Lib() { return LoadLxiOnce(); }

public:
    explicit LxiConnection(VisaResource resource) : resource_(std::move(resource)) {}
    ~LxiConnection() override { Close(); }
    QString Address() const override { return resource_.text; }

protected:
    Status DoOpen(int timeoutMs, QString& why) override {
        if (!Lib().init) {
            why = Lib().error;
            return Status::Failed;
        }
        const QByteArray host = resource_.host.toLatin1();
        const bool raw = resource_.kind == VisaResource::Kind::Socket;
        if (raw) {
            // liblxi says only "Host not found"; the name is checked here to say which.
            addrinfo hints{};
            hints.ai_family = AF_INET;
            addrinfo* found = nullptr;
            if (getaddrinfo(host.constData(), nullptr, &hints, &found) != 0) {
                why = QString("unknown host '%1'").arg(resource_.host);
                return Status::Failed;
            }
            freeaddrinfo(found);
        }
        const QByteArray device = resource_.device.toLatin1();
        LiblxiQuiet quiet;
        errno = 0;
        device_ = Lib().connect(host.constData(), resource_.port, raw ? nullptr : device.constData(),
                              timeoutMs, raw ? RAW : VXI11);
        const int code = errno;
        pending_.clear();
        fresh_ = true;
        if (device_ >= 0) return Status::Ok;
        if (!raw) {
            why = QString("no VXI-11 device '%1' answers there").arg(resource_.device);
            return Status::Failed;
        }
        if (code == 0) return Status::Timeout;
        why = ErrnoText(code);
        return Status::Failed;
    }

    void DoClose() override {
        LiblxiQuiet quiet;
        Lib().disconnect(device_);
        device_ = -1;
    }

    Status DoSend(const QByteArray& bytes, int timeoutMs, QString& why) override {
        SigpipeBlocked blocked;
        LiblxiQuiet quiet;
        errno = 0;
        const int sent = Lib().send(device_, bytes.constData(), static_cast<int>(bytes.size()),
                                  std::max(timeoutMs, 1));
        const int code = errno;
        const bool first = std::exchange(fresh_, false);
        if (sent == bytes.size()) return Status::Ok;
        // liblxi takes a raw connect as made without asking the socket whether it was
        // refused; a socket that cannot take its very first line was never connected (a
        // peer that accepts and hangs up at once still lets the first line go out).
        if (first && resource_.kind == VisaResource::Kind::Socket && code != 0) {
            why = "connection refused or host unreachable";
            return Status::Unreachable;
        }
        if (code == EPIPE || code == ECONNRESET || code == ENOTCONN) return Status::Closed;
        if (code == 0) return Status::Timeout;
        why = ErrnoText(code);
        return Status::Failed;
    }

    Status DoReceive(QByteArray& line, int timeoutMs, QString& why) override {
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            const qsizetype end = pending_.indexOf('\n');
            if (end >= 0) {
                line = pending_.left(end);
                pending_.remove(0, end + 1);
                return Status::Ok;
            }
            if (pending_.size() > kMaxAnswer) {
                why = QString("an answer longer than %1 bytes").arg(kMaxAnswer);
                return Status::Failed;
            }
            const qint64 left = timeoutMs - clock.elapsed();
            if (left <= 0) return Status::Timeout;
            LiblxiQuiet quiet;
            errno = 0;
            const int n = Lib().receive(device_, chunk_, sizeof chunk_, static_cast<int>(left));
            const int code = errno;
            if (n < 0) {
                if (code == EINTR) continue;
                // liblxi says -1 for a time-out (errno untouched) and for a failed select().
                if (code == 0 || resource_.kind == VisaResource::Kind::Vxi11)
                    return Status::Timeout;
                why = ErrnoText(code);
                return Status::Failed;
            }
            if (n == 0) return Status::Closed;
            pending_.append(chunk_, n);
            // VXI-11 delivers whole messages; one without a line feed still ends there.
            if (resource_.kind == VisaResource::Kind::Vxi11 && !pending_.endsWith('\n'))
                pending_.append('\n');
        }
    }

private:
    static constexpr qsizetype kMaxAnswer = 1 << 20;
    VisaResource resource_;
    int device_ = -1;
    bool fresh_ = false;
    QByteArray pending_;
    char chunk_[65536];
};

} // namespace

std::unique_ptr<Connection> MakeLanConnection(const VisaResource& resource) {
    return std::make_unique<LxiConnection>(resource);
}

} // namespace tester
