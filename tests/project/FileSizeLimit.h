#pragma once
// Makes writes beyond a file size fail, as on a full disk, while it lives.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

class TFileSizeLimit {
  public:
    explicit TFileSizeLimit(rlim_t bytes) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        EXPECT_EQ(sigaction(SIGXFSZ, &ignore, &previousAction_), 0);
        EXPECT_EQ(getrlimit(RLIMIT_FSIZE, &previous_), 0);
        rlimit small = previous_;
        small.rlim_cur = bytes;
        EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    }
    ~TFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        sigaction(SIGXFSZ, &previousAction_, nullptr);
    }
    TFileSizeLimit(const TFileSizeLimit&) = delete;
    TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

  private:
    rlimit previous_{};
    struct sigaction previousAction_ {};
};
