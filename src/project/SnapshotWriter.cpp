#include "SnapshotWriter.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

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

void TSnapshotWriter::Write(const QString& folder,
                            const QString& path,
                            TRecoverySnapshot snapshot,
                            TPrepare prepare) {
    {
        const std::lock_guard<std::mutex> hold(mutex_);
        pending_ = TJob{folder, path, std::move(snapshot), std::move(prepare)};
        if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
    }
    wake_.notify_all();
}

void TSnapshotWriter::Wait() {
    std::unique_lock<std::mutex> hold(mutex_);
    idle_.wait(hold, [this] { return !pending_ && !busy_; });
}

void TSnapshotWriter::Run() {
    // Waking up to write must not take the core from the GUI thread (that would make the timer's
    // step on the GUI thread as slow as the write itself on a busy machine): a batch thread is not
    // let preempt on wakeup, and a lower priority keeps it behind interactive work.
    const sched_param batch{};
    ::pthread_setschedparam(::pthread_self(), SCHED_BATCH, &batch);
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
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
            if (job.prepare) job.prepare(job.snapshot);
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
