// The state directory's whole-file writes and checked reads.
#include "platform/scm/state_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/last_error.h"

namespace platform {

namespace {

constexpr const char *kDefaultStateDir = "/var/lib/oskavelde/scm";
constexpr const char kChecksumKey[] = "checksum=";

bool is_dir(const std::string &path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

std::string state_dir() {
    const char *dir = std::getenv("OSKAVELDE_SCM_DIR");
    return dir != nullptr && dir[0] != '\0' ? dir : kDefaultStateDir;
}

std::string lowered(const std::string &name) {
    std::string out(name);
    for (char &c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string encoded_name(const std::string &name) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '~' ||
            c == ' ') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

DWORD make_folders(const std::string &folder) {
    for (std::size_t at = 1; at <= folder.size(); ++at) {
        if (at != folder.size() && folder[at] != '/')
            continue;
        const std::string dir = folder.substr(0, at);
        if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST)
            return error_from_errno(errno);
    }
    return is_dir(folder) ? ERROR_SUCCESS : ERROR_PATH_NOT_FOUND;
}

bool folder_writable(const std::string &folder) {
    std::string probe = folder;
    while (!probe.empty()) {
        struct stat st {};
        if (::stat(probe.c_str(), &st) == 0)
            return S_ISDIR(st.st_mode) && ::faccessat(AT_FDCWD, probe.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
        if (errno != ENOENT)
            return false;
        const std::size_t slash = probe.find_last_of('/');
        if (slash == std::string::npos)
            probe = ".";
        else
            probe = slash == 0 ? "/" : probe.substr(0, slash);
    }
    return false;
}

DWORD write_whole_file(const std::string &folder, const std::string &name, const std::string &bytes,
                       unsigned mode) {
    std::string temp = folder + "/#tmp.XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return error_from_errno(errno);
    int err = 0;
    if (::fchmod(fd, static_cast<mode_t>(mode)) != 0)
        err = errno;
    for (std::size_t done = 0; err == 0 && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            err = n < 0 ? errno : EIO;
        else
            done += static_cast<std::size_t>(n);
    }
    if (err == 0 && ::fsync(fd) != 0)
        err = errno;
    if (::close(fd) != 0 && err == 0)
        err = errno;
    if (err == 0 && ::rename(temp.c_str(), (folder + "/" + name).c_str()) != 0)
        err = errno;
    if (err != 0) {
        ::unlink(temp.c_str());
        return error_from_errno(err);
    }
    return ERROR_SUCCESS;
}

bool read_whole_file(const std::string &path, std::string &bytes, std::size_t max_size) {
    bytes.clear();
    // The open never waits: a FIFO in a record's place would otherwise hold
    // every command that reads it, the fatal path of a run without
    // kervon.ini among them. What is no regular file is refused below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= 0 &&
              static_cast<std::size_t>(st.st_size) <= max_size;
    if (ok) {
        bytes.resize(static_cast<std::size_t>(st.st_size));
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        ok = done == bytes.size();
    }
    ::close(fd);
    if (!ok)
        bytes.clear();
    return ok;
}

std::uint32_t state_checksum(const char *bytes, std::size_t length) {
    std::uint32_t h = 2166136261u;
    for (std::size_t i = 0; i < length; ++i) {
        h ^= static_cast<unsigned char>(bytes[i]);
        h *= 16777619u;
    }
    return h;
}

std::string sealed_text(const std::string &text) {
    char line[sizeof kChecksumKey + 10];
    std::snprintf(line, sizeof line, "%s%08x\n", kChecksumKey,
                  static_cast<unsigned>(state_checksum(text.data(), text.size())));
    return text + line;
}

bool unsealed_text(const std::string &record, std::string &text) {
    constexpr std::size_t kLine = sizeof kChecksumKey - 1 + 8 + 1;
    if (record.size() < kLine || record.back() != '\n')
        return false;
    const std::size_t at = record.size() - kLine;
    if ((at != 0 && record[at - 1] != '\n') || record.compare(at, sizeof kChecksumKey - 1, kChecksumKey) != 0)
        return false;
    char *end = nullptr;
    const std::string digits = record.substr(at + sizeof kChecksumKey - 1, 8);
    for (const char c : digits)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    const unsigned long stored = std::strtoul(digits.c_str(), &end, 16);
    if (stored != state_checksum(record.data(), at))
        return false;
    text = record.substr(0, at);
    return true;
}

} // namespace platform
