#pragma once
// The calling thread's CPU time, which benchmarks print beside the wall time.
#include <ctime>

inline double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}
