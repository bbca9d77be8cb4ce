// The run name: composed, bound by the service's process, and looked up
// with the user each name belongs to.
#include "platform/scm/run_name.h"

#include <sys/random.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/last_error.h"
#include "platform/scm/unix_names.h"

namespace platform::scm {

namespace {

constexpr char kPrefix[] = "oskavelde-scm/";
// The longest abstract name: the path of the address less its leading NUL.
constexpr std::size_t kMaxName = sizeof(sockaddr_un::sun_path) - 1;
// Room for "/<pid>-<start time>-<random>": 10, 20 and 16 characters.
constexpr std::size_t kMarkRoom = 1 + 10 + 1 + 20 + 1 + 16;
constexpr std::size_t kRandomDigits = 16;
constexpr std::size_t kKeptOurs = 16;
// A random part that is taken already is drawn again this many times.
constexpr int kBindAttempts = 8;

std::uint64_t fnv1a64(const std::string &bytes) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

std::string hex64(std::uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

std::uint64_t random64() {
    std::uint64_t value = 0;
    if (::getrandom(&value, sizeof value, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof value))
        return value;
    // Before the kernel's pool is ready: the clock, which another user
    // cannot read ahead to the nanosecond.
    return fnv1a64(std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "/" +
                   std::to_string(::getpid()));
}

socklen_t abstract_address(const std::string &name, sockaddr_un &address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    // The first byte of the path is the NUL that makes the name abstract.
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
}

// The number of digits at the front of text, up to the limit; 0 when
// there are none or more.
std::size_t digits_at(const std::string &text, std::size_t at, std::size_t limit) {
    std::size_t n = 0;
    while (at + n < text.size() && text[at + n] >= '0' && text[at + n] <= '9')
        if (++n > limit)
            return 0;
    return n;
}

// The process that a name of the space names, "/<pid>-<start>-<random>"
// after the space; empty for any other name.
ProcessMark mark_of_name(const std::string &name, std::size_t space) {
    if (name.size() <= space || name[space] != '/')
        return ProcessMark{};
    const std::size_t pid_at = space + 1;
    const std::size_t pid_digits = digits_at(name, pid_at, 10);
    const std::size_t start_at = pid_at + pid_digits + 1;
    if (pid_digits == 0 || start_at > name.size() || name[start_at - 1] != '-')
        return ProcessMark{};
    const std::size_t start_digits = digits_at(name, start_at, 20);
    const std::size_t random_at = start_at + start_digits + 1;
    if (start_digits == 0 || random_at > name.size() || name[random_at - 1] != '-' ||
        name.size() - random_at != kRandomDigits)
        return ProcessMark{};
    for (std::size_t i = random_at; i < name.size(); ++i)
        if (!((name[i] >= '0' && name[i] <= '9') || (name[i] >= 'a' && name[i] <= 'f')))
            return ProcessMark{};
    errno = 0;
    const unsigned long long pid = std::strtoull(name.c_str() + pid_at, nullptr, 10);
    const unsigned long long start = std::strtoull(name.c_str() + start_at, nullptr, 10);
    if (errno != 0 || pid == 0 || pid > 0x7FFFFFFF)
        return ProcessMark{};
    return ProcessMark{static_cast<int>(pid), start};
}

// The users whose names stand for the service: root, the user this
// process runs as, and the owner of the services folder.
bool service_user(unsigned uid, const std::string &folder) {
    if (uid == 0 || uid == static_cast<unsigned>(::geteuid()))
        return true;
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && uid == static_cast<unsigned>(st.st_uid);
}

std::string folder_of(const std::string &base) {
    const std::size_t slash = base.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : base.substr(0, slash);
}

} // namespace

// The folder is taken as an absolute, lexically normal path, so that
// every command that names the same state directory finds the same names,
// whether or not the folder still exists; a file name too long for the
// address is taken by its hash.
std::string run_name_space(const std::string &base) {
    const std::size_t slash = base.find_last_of('/');
    const std::string file = slash == std::string::npos ? base : base.substr(slash + 1);
    std::error_code ignored;
    std::string normal = std::filesystem::absolute(folder_of(base), ignored).lexically_normal().string();
    while (normal.size() > 1 && normal.back() == '/')
        normal.pop_back();
    std::string space = kPrefix + hex64(fnv1a64(normal)) + "/";
    const std::size_t room = kMaxName - kMarkRoom - space.size();
    space += file.size() <= room ? file : "#" + hex64(fnv1a64(file));
    return space;
}

DWORD hold_run_name(const std::string &base, const ProcessMark &self, int &fd) {
    fd = -1;
    const std::string named = run_name_space(base) + "/" + std::to_string(self.pid) + "-" +
                              std::to_string(self.start_time) + "-";
    int err = EADDRINUSE;
    for (int attempt = 0; attempt < kBindAttempts && err == EADDRINUSE; ++attempt) {
        const std::string name = named + hex64(random64());
        sockaddr_un address{};
        const socklen_t length = abstract_address(name, address);
        // Bound, never listening: nothing can connect to it, so no other
        // process can fill a queue of it or hold it up.
        const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (s < 0)
            return error_from_errno(errno);
        if (::bind(s, reinterpret_cast<const sockaddr *>(&address), length) == 0) {
            fd = s;
            return ERROR_SUCCESS;
        }
        err = errno;
        ::close(s);
    }
    return error_from_errno(err);
}

RunNames run_names(const std::string &base) {
    RunNames names;
    const std::string space = run_name_space(base);
    const std::string folder = folder_of(base);
    each_abstract_name(space, [&](const AbstractName &socket) {
        // The space of a service whose name begins with this one's is not
        // this one's.
        if (socket.name.size() > space.size() && socket.name[space.size()] != '/')
            return;
        if (service_user(socket.uid, folder)) {
            const ProcessMark mark = mark_of_name(socket.name, space.size());
            // A process that reads as ended has its name let go by its
            // last thread a moment later: that name no longer counts.
            if (mark.pid != 0 && !process_alive(mark))
                return;
            if (names.ours.size() < kKeptOurs)
                names.ours.push_back(mark);
            return;
        }
        ++names.stranger_count;
        if (names.strangers.size() < kKeptStrangers)
            names.strangers.push_back(StrangerName{socket.uid, socket.inode});
    });
    return names;
}

} // namespace platform::scm
