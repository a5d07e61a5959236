#pragma once
// While it lives, the calling thread obeys files' and folders' permission bits even as root: it
// drops CAP_DAC_OVERRIDE and CAP_DAC_READ_SEARCH from its effective set. Active() tells whether
// the bits now hold (they always do for other users).

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

class TObeyPermissions {
  public:
    TObeyPermissions() {
        header_.version = _LINUX_CAPABILITY_VERSION_3;
        header_.pid = 0;
        if (::geteuid() != 0) {
            active_ = true;
            return;
        }
        if (syscall(SYS_capget, &header_, saved_) != 0) return;
        __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
        lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        lowered_ = syscall(SYS_capset, &header_, lowered) == 0;
        active_ = lowered_;
    }
    ~TObeyPermissions() {
        if (lowered_) syscall(SYS_capset, &header_, saved_);
    }
    TObeyPermissions(const TObeyPermissions&) = delete;
    TObeyPermissions& operator=(const TObeyPermissions&) = delete;

    bool Active() const { return active_; }

  private:
    __user_cap_header_struct header_{};
    __user_cap_data_struct saved_[2]{};
    bool lowered_ = false;
    bool active_ = false;
};
