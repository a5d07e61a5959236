#include "WorkerThreads.h"

#include <vector>

namespace {

// Joins every thread it holds when it goes, whatever ends the caller: a joinable std::thread
// destroyed is std::terminate.
class TJoinAll {
  public:
    explicit TJoinAll(std::vector<std::thread>& threads) : threads_(threads) {}
    ~TJoinAll() {
        for (std::thread& t : threads_) {
            if (t.joinable()) t.join();
        }
    }
    TJoinAll(const TJoinAll&) = delete;
    TJoinAll& operator=(const TJoinAll&) = delete;

  private:
    std::vector<std::thread>& threads_;
};

}  // namespace

void RunOnThreads(size_t helpers, const std::function<void()>& work, const TThreadStarter& start) {
    std::vector<std::thread> threads;
    const TJoinAll joinAll(threads);
    try {
        // Reserved first: adding a started thread must not need memory.
        threads.reserve(helpers);
        for (size_t i = 0; i < helpers; ++i) threads.push_back(start ? start(work) : std::thread(work));
    } catch (...) {
        // No memory or no more threads: those running and this one share the work.
    }
    work();
}
