#pragma once
// One test set shared by several btrun processes (the slots of a station, or stations on one
// PC with one LAN test set): a lock file they take in turn, first come, first served. Each
// draws a ticket and waits for the one before it (byte-range locks of the file, held by the
// open file), so a process that just gave the test set back queues behind those already
// waiting. The kernel drops a dead process's locks, so a crashed slot never blocks the
// others. The file also keeps a token of the last holder: a process that gets the test
// set back after another had it knows its settings may have changed.

#include <QElapsedTimer>
#include <QString>
#include <cstdint>
#include <functional>

namespace btrun {

class TesterLock {
public:
    TesterLock() = default;
    ~TesterLock();
    TesterLock(const TesterLock&) = delete;
    TesterLock& operator=(const TesterLock&) = delete;

    // Opens (creating) the lock file; false with why.
    bool Open(const QString& path, QString& error);
    const QString& Path() const { return path_; }

    // Waits for the test set; false when `aborted` said stop while waiting (checked when
    // a signal interrupts the wait), or with `error` when the lock cannot be taken.
    bool Acquire(const std::function<bool()>& aborted, QString& error);
    void Release();
    bool Held() const { return held_; }
    // After Acquire: whether another process held the test set since this one last did.
    bool OthersHadIt() const { return othersHadIt_; }

    // Seconds spent waiting for the test set and holding it, since this object was made.
    double WaitedSeconds() const { return double(waitedNs_) / 1e9; }
    double HeldSeconds() const;

private:
    // Notes this process as the holder; 0, or the errno of a failed write.
    int Mark();

    QString path_;
    int fd_ = -1;
    std::uint64_t token_ = 0;
    std::uint64_t ticket_ = 0;
    bool held_ = false;
    bool othersHadIt_ = true;
    qint64 waitedNs_ = 0, heldNs_ = 0;
    QElapsedTimer heldSince_;
};

} // namespace btrun
