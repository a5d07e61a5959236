#include "SnapshotWriter.h"

#include <utility>

TSnapshotWriter::TSnapshotWriter(TReport report) : report_(std::move(report)) {}

TSnapshotWriter::~TSnapshotWriter() {
    {
        const std::lock_guard<std::mutex> hold(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void TSnapshotWriter::Write(const QString& folder, const QString& path, TRecoverySnapshot snapshot) {
    {
        const std::lock_guard<std::mutex> hold(mutex_);
        pending_ = TJob{folder, path, std::move(snapshot)};
        if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
    }
    wake_.notify_all();
}

void TSnapshotWriter::Wait() {
    std::unique_lock<std::mutex> hold(mutex_);
    idle_.wait(hold, [this] { return !pending_ && !busy_; });
}

void TSnapshotWriter::Run() {
    std::unique_lock<std::mutex> hold(mutex_);
    for (;;) {
        wake_.wait(hold, [this] { return stop_ || pending_; });
        // A snapshot queued before the stop is still written: it may be the last one.
        if (!pending_) return;
        TJob job = std::move(*pending_);
        pending_.reset();
        busy_ = true;
        hold.unlock();
        bool written = false;
        try {
            written = MakePrivateFolder(job.folder) && WriteSnapshotFile(job.path, job.snapshot);
        } catch (...) {
            // Out of memory for the encoded bytes: reported like a full disk.
        }
        if (report_) report_(job.path, written);
        hold.lock();
        busy_ = false;
        if (!pending_) idle_.notify_all();
    }
}
