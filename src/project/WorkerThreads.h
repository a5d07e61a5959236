#pragma once
// Work shared by the calling thread and a few helper threads.

#include <cstddef>
#include <functional>
#include <thread>

// Starts one helper thread running the work; the default is std::thread. Tests pass one that
// fails, as thread creation does when memory or threads run out.
using TThreadStarter = std::function<std::thread(const std::function<void()>&)>;

// Runs `work` on up to `helpers` started threads and on the calling thread, and returns once all
// of them have finished. A helper that cannot be started leaves its share to those that run: the
// work must take its items from a shared queue, and must not throw.
void RunOnThreads(size_t helpers, const std::function<void()>& work, const TThreadStarter& start = {});
