#include "runner/tester_lock.h"

#include <QRandomGenerator>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace btrun {

namespace {

// Byte ranges locked (the lock file's data is the next ticket at 0 and the last holder's
// token at 8, apart from them).
constexpr off_t kCounter = 0, kTester = 1;
constexpr off_t kQueue = off_t(1) << 32; // ticket t waits at kQueue + t
constexpr off_t kNextTicket = 0, kToken = 8;

// Locks held by the open file (not the process), so two objects of one process exclude
// each other too, and released when it is closed.
bool Lock(int fd, off_t at, short type, bool wait) {
    struct flock range {};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = at;
    range.l_len = 1;
    return ::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &range) == 0;
}

// Waits for the byte: 0 once it is held, else the failed wait's errno (EINTR: `aborted`
// said stop).
int Wait(int fd, off_t at, const std::function<bool()>& aborted) {
    while (!Lock(fd, at, F_WRLCK, true)) {
        const int failed = errno;
        if (failed != EINTR || (aborted && aborted())) return failed;
    }
    return 0;
}

} // namespace

TesterLock::~TesterLock() {
    Release();
    if (fd_ >= 0) ::close(fd_);
}

bool TesterLock::Open(const QString& path, QString& error) {
    path_ = path;
    fd_ = ::open(path.toLocal8Bit().constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        error = QString("cannot open the test set's lock file %1: %2")
                    .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    // Never 0, which an empty file reads as.
    token_ = QRandomGenerator::system()->generate64() | 1;
    return true;
}

// A ticket's place is locked from the moment the ticket is drawn until the test set is
// given back. Its holder waits for the place before its own to come free, then for the
// test set itself: the queue makes the order, the test set's byte the exclusion (a waiter
// that died or gave up left its place early, and its successor then waits for the holder
// there).
bool TesterLock::Acquire(const std::function<bool()>& aborted, QString& error) {
    if (held_) return true;
    if (aborted && aborted()) return false;
    QElapsedTimer waiting;
    waiting.start();
    int failed = Wait(fd_, kCounter, {});
    if (failed == 0) {
        ticket_ = 0;
        if (::pread(fd_, &ticket_, sizeof ticket_, kNextTicket) != sizeof ticket_) ticket_ = 0;
        const std::uint64_t next = ticket_ + 1;
        if (::pwrite(fd_, &next, sizeof next, kNextTicket) != sizeof next) failed = errno;
        Lock(fd_, kQueue + off_t(ticket_), F_WRLCK, false);
        Lock(fd_, kCounter, F_UNLCK, false);
    }
    if (failed == 0 && ticket_ > 0) {
        failed = Wait(fd_, kQueue + off_t(ticket_) - 1, aborted);
        if (failed == 0) Lock(fd_, kQueue + off_t(ticket_) - 1, F_UNLCK, false);
    }
    if (failed == 0) failed = Wait(fd_, kTester, aborted);
    waitedNs_ += waiting.nsecsElapsed();
    if (failed == 0) failed = Mark();
    if (failed != 0) {
        Lock(fd_, kTester, F_UNLCK, false);
        Lock(fd_, kQueue + off_t(ticket_), F_UNLCK, false);
        if (failed != EINTR)
            error = QString("cannot take the test set's lock %1: %2")
                        .arg(path_, QString::fromLocal8Bit(std::strerror(failed)));
        return false;
    }
    held_ = true;
    heldSince_.start();
    return true;
}

int TesterLock::Mark() {
    std::uint64_t last = 0;
    othersHadIt_ = ::pread(fd_, &last, sizeof last, kToken) != sizeof last || last != token_;
    // A token that cannot be written must not leave the last holder's in place: that one
    // would take the test set as it left it.
    if (othersHadIt_ && ::pwrite(fd_, &token_, sizeof token_, kToken) != sizeof token_)
        return errno == 0 ? EIO : errno;
    return 0;
}

void TesterLock::Release() {
    if (!held_) return;
    Lock(fd_, kTester, F_UNLCK, false);
    Lock(fd_, kQueue + off_t(ticket_), F_UNLCK, false);
    heldNs_ += heldSince_.nsecsElapsed();
    held_ = false;
}

double TesterLock::HeldSeconds() const {
    return double(heldNs_ + (held_ ? heldSince_.nsecsElapsed() : 0)) / 1e9;
}

} // namespace btrun
