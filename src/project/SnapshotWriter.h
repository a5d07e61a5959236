#pragma once
// Writes recovery snapshots on a thread of its own, so that encoding, checksumming and flushing a
// few megabytes to disk never hold the GUI thread. At most one write waits: a newer snapshot
// replaces one that has not started yet, since only the latest state is worth keeping.

#include <QString>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "RecoverySnapshot.h"

class TSnapshotWriter {
  public:
    // Told the outcome of every write that was attempted, on the writer's thread.
    using TReport = std::function<void(const QString& path, bool written)>;

    explicit TSnapshotWriter(TReport report);
    // Finishes the write that runs and the one that waits.
    ~TSnapshotWriter();
    TSnapshotWriter(const TSnapshotWriter&) = delete;
    TSnapshotWriter& operator=(const TSnapshotWriter&) = delete;

    // Finishes a snapshot on the writer's thread before it is encoded (work the GUI thread is
    // spared); it must touch nothing but the snapshot.
    using TPrepare = std::function<void(TRecoverySnapshot&)>;

    // Queues the snapshot for `path`, creating the folder `folder` first when it is missing.
    void Write(const QString& folder, const QString& path, TRecoverySnapshot snapshot, TPrepare prepare = {});
    // Returns once nothing waits and nothing is being written.
    void Wait();

  private:
    struct TJob {
        QString folder;
        QString path;
        TRecoverySnapshot snapshot;
        TPrepare prepare;
    };
    void Run();

    TReport report_;
    std::mutex mutex_;
    std::condition_variable wake_;  // a job was queued, or the writer is to stop
    std::condition_variable idle_;  // the queue ran empty
    std::optional<TJob> pending_;
    bool busy_ = false;
    bool stop_ = false;
    std::thread thread_;  // started by the first Write
};
