#pragma once
// The air between processes: the phone serves its Radio on a Unix stream socket, and
// instruments in other processes reach it through a RemoteRadio.

#include <memory>
#include <string>

#include "air/air.h"

namespace air {

// Serves `radio` on a Unix socket at `path` (a stale socket file there is replaced) from
// a thread of its own, to any number of connections at once; `radio` must be safe to call
// from that thread. Stops when destroyed, and then removes the socket file it made.
class Server {
public:
    Server(Radio& radio, std::string path);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;
    // False with the reason when the socket could not be made: the path is too long, is
    // something other than a socket, or another live server holds it.
    bool Start(std::string& error);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The phone's radio as seen from another process. When the phone cannot be reached, it
// transmits nothing and receives nothing, and LastError() says why (empty after a call
// that reached it). It connects on first use and again after the phone restarted. One
// caller at a time.
class RemoteRadio : public Radio {
public:
    explicit RemoteRadio(std::string path);
    ~RemoteRadio() override;
    RemoteRadio(const RemoteRadio&) = delete;
    RemoteRadio& operator=(const RemoteRadio&) = delete;
    Transmission Transmitting() override;
    int Receive(const Packets& packets) override;
    std::string LastError() const { return error_; }

private:
    // `repeatable`: the request may be sent again when the connection broke after it went.
    bool Ask(const std::string& request, bool repeatable, std::string& answer);
    bool Exchange(const std::string& request, std::string& answer, bool& sent);
    void Disconnect();
    std::string path_;
    std::string error_;
    int fd_ = -1;
};

} // namespace air
