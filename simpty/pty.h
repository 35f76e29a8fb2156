#pragma once
// What the simulators that serve a line (phonesim, refsim) need of a pseudo-terminal: one
// in raw mode whose device stays open on our side, a fixed name for it that survives a
// restart, writes that wait for a slow reader, and a stop on SIGTERM or SIGINT. Standard
// library and POSIX only, like the simulators; shared by them, never by the code they check.

#include <csignal>
#include <string>
#include <termios.h>

namespace simpty {

struct Pty {
    int master = -1;
    int keeper = -1; // our own hold on the device: its master stays readable without a user
    std::string device;
};

// Opens a pseudo-terminal in raw mode at `speed` (what a real line would run at; the
// pseudo-terminal ignores it); false after saying what failed, with `program` in front.
bool OpenPty(Pty& pty, speed_t speed, const char* program);

// A symbolic link PATH to `target`, made under a temporary name and renamed over PATH, so
// that a user reopening PATH never finds it missing or half made.
bool MakeLink(const std::string& target, const std::string& path);
// Removes PATH only while it still leads to `target`: a newer simulator may own it.
void RemoveLink(const std::string& target, const std::string& path);

// The flag SIGTERM and SIGINT set (SIGPIPE is ignored).
extern volatile std::sig_atomic_t Stop;
void CatchStopSignals();

// Writes all of `bytes` to the non-blocking `fd`, waiting while it is full; false when it
// failed or a stop signal came.
bool WriteAll(int fd, const std::string& bytes);

} // namespace simpty
