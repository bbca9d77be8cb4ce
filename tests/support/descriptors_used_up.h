// A test's way to leave the process without a free file descriptor: the
// soft limit lowered to a small number and every descriptor below it
// taken, so that the next socket() or open() fails with EMFILE. The
// destructor gives the descriptors back and restores the limit.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace osktest {

class DescriptorsUsedUp {
  public:
    DescriptorsUsedUp() {
        ::getrlimit(RLIMIT_NOFILE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = std::min<rlim_t>(saved_.rlim_cur, 256);
        ::setrlimit(RLIMIT_NOFILE, &lowered);
        const int source = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (source >= 0)
            taken_.push_back(source);
        for (;;) {
            const int fd = source >= 0 ? ::fcntl(source, F_DUPFD_CLOEXEC, 0) : -1;
            if (fd < 0)
                break;
            taken_.push_back(fd);
        }
    }
    ~DescriptorsUsedUp() {
        for (int fd : taken_)
            ::close(fd);
        ::setrlimit(RLIMIT_NOFILE, &saved_);
    }
    DescriptorsUsedUp(const DescriptorsUsedUp &) = delete;
    DescriptorsUsedUp &operator=(const DescriptorsUsedUp &) = delete;

    // True when no descriptor is left: a further one cannot be had.
    bool used_up() const {
        const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (fd >= 0)
            ::close(fd);
        return fd < 0;
    }

  private:
    rlimit saved_{};
    std::vector<int> taken_;
};

} // namespace osktest
