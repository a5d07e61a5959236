#pragma once
// A lock held while a project is open in a window, so that a second window (of this program or of
// another process) knows the project is already open and does not write over it. It is an flock
// on a small file of the user's recovery folder: it dies with its process, so a crash or a kill
// leaves no stale lock behind. The lock file itself stays (removing it would race with a process
// that has just opened it).

#include <QString>

enum class TLockResult {
    Held,         // this lock now holds the project
    Busy,         // another lock holds it: the project is open elsewhere
    Unavailable,  // the lock file cannot be made, or the file system keeps no locks
};

class TProjectLock {
  public:
    TProjectLock() = default;
    ~TProjectLock() { Release(); }
    TProjectLock(const TProjectLock&) = delete;
    TProjectLock& operator=(const TProjectLock&) = delete;

    // Releases a lock held before, then tries the one of `path` without waiting.
    TLockResult Acquire(const QString& path);
    void Release();
    bool Held() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
};
