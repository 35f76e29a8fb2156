#pragma once
// The air between processes: the phone serves its Radio on a Unix stream socket, and
// instruments in other processes reach it through a RemoteRadio.

#include <memory>
#include <string>

#include "air.h"

namespace air {

// Serves `radio` on a Unix socket at `path` (a stale socket file there is replaced) from
// a thread of its own; `radio` must be safe to call from that thread. Stops when destroyed.
class Server {
public:
    Server(Radio& radio, std::string path);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;
    // False with the reason when the socket could not be made.
    bool Start(std::string& error);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The phone's radio as seen from another process. When the phone cannot be reached, it
// transmits nothing and receives nothing, and LastError() says why.
class RemoteRadio : public Radio {
public:
    explicit RemoteRadio(std::string path);
    ~RemoteRadio() override;
    Transmission Transmitting() override;
    int Receive(const Packets& packets) override;
    std::string LastError() const { return error_; }

private:
    bool Ask(const std::string& request, std::string& answer);
    std::string path_;
    std::string error_;
    int fd_ = -1;
};

} // namespace air
