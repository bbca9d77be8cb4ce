// Text-mode streams on top of stdio: a cookie stream over the binary file
// translates line ends on the way in and out. The open that does not
// follow a link goes through open(2) with O_NOFOLLOW and fdopen.
#include "platform/crt/text_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

struct TextCookie {
    std::FILE *raw;
    bool ended; // a 0x1A byte was read: nothing more is delivered
};

ssize_t text_read(void *cookie, char *buf, size_t size) {
    auto *c = static_cast<TextCookie *>(cookie);
    if (c->ended || size == 0)
        return 0;
    size_t out = 0;
    // Keep reading until at least one byte is delivered or the file ends,
    // since a block of nothing but CR bytes must not look like the end.
    while (out == 0) {
        size_t got = std::fread(buf, 1, size, c->raw);
        if (got == 0)
            return std::ferror(c->raw) ? -1 : 0;
        for (size_t i = 0; i < got; ++i) {
            const unsigned char b = static_cast<unsigned char>(buf[i]);
            if (b == 0x1A) {
                c->ended = true;
                return static_cast<ssize_t>(out);
            }
            if (b != '\r')
                buf[out++] = static_cast<char>(b);
        }
    }
    return static_cast<ssize_t>(out);
}

ssize_t text_write(void *cookie, const char *buf, size_t size) {
    auto *c = static_cast<TextCookie *>(cookie);
    size_t start = 0;
    for (size_t i = 0; i < size; ++i) {
        if (buf[i] != '\n')
            continue;
        if (i > start && std::fwrite(buf + start, 1, i - start, c->raw) != i - start)
            return -1;
        if (std::fwrite("\r\n", 1, 2, c->raw) != 2)
            return -1;
        start = i + 1;
    }
    if (size > start && std::fwrite(buf + start, 1, size - start, c->raw) != size - start)
        return -1;
    return static_cast<ssize_t>(size);
}

int text_close(void *cookie) {
    auto *c = static_cast<TextCookie *>(cookie);
    const int rc = std::fclose(c->raw);
    delete c;
    return rc;
}

// The open(2) flags of an fopen mode, or -1 for one it does not take.
int open_flags(const std::string &mode) {
    const int access = mode.find('+') != std::string::npos ? O_RDWR : -1;
    switch (mode.empty() ? '\0' : mode[0]) {
    case 'r': return access < 0 ? O_RDONLY : access;
    case 'w': return (access < 0 ? O_WRONLY : access) | O_CREAT | O_TRUNC;
    case 'a': return (access < 0 ? O_WRONLY : access) | O_CREAT | O_APPEND;
    default: return -1;
    }
}

// The descriptor of the file at path, opened without going through a link
// and refused unless it is a regular file with no other name: a symbolic
// link, a hard link to another file, a FIFO or a device in the file's
// place would carry the writes elsewhere, or block them. The file is
// truncated, where the mode asks for it, only once it has passed.
int open_own_file(const char *path, int flags) {
    const int fd = ::open(path, (flags & ~O_TRUNC) | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0)
        return -1;
    struct stat st {};
    int err = 0;
    if (::fstat(fd, &st) != 0)
        err = errno;
    else if (!S_ISREG(st.st_mode) || st.st_nlink > 1)
        err = ELOOP;
    else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
        err = errno;
    else if ((flags & O_TRUNC) != 0 && ::ftruncate(fd, 0) != 0)
        err = errno;
    if (err != 0) {
        ::close(fd);
        errno = err;
        return -1;
    }
    return fd;
}

// The binary stream under the file, through a link or not.
std::FILE *open_raw(const char *path, const std::string &mode, bool follow) {
    if (follow)
        return std::fopen(path, mode.c_str());
    const int flags = open_flags(mode);
    if (flags < 0) {
        errno = EINVAL;
        return nullptr;
    }
    const int fd = open_own_file(path, flags);
    if (fd < 0)
        return nullptr;
    std::FILE *raw = ::fdopen(fd, mode.c_str());
    if (raw == nullptr) {
        const int err = errno;
        ::close(fd);
        errno = err;
    }
    return raw;
}

std::FILE *open_stream(const char *path, const char *mode, bool follow) {
    if (path == nullptr || mode == nullptr) {
        errno = EINVAL;
        return nullptr;
    }
    // A directory opens for reading on Linux and only the reads fail; the
    // run-time this stands in for refuses it at the open.
    struct stat st {};
    if ((follow ? ::stat(path, &st) : ::lstat(path, &st)) == 0 && S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return nullptr;
    }
    std::string raw_mode;
    bool text = false;
    for (const char *p = mode; *p; ++p) {
        if (*p == 't')
            text = true;
        else
            raw_mode += *p;
    }
    if (!text)
        return open_raw(path, raw_mode, follow);
    std::FILE *raw = open_raw(path, raw_mode + "b", follow);
    if (raw == nullptr)
        return nullptr;
    auto *cookie = new TextCookie{raw, false};
    cookie_io_functions_t io{};
    io.read = text_read;
    io.write = text_write;
    io.close = text_close;
    std::FILE *stream = fopencookie(cookie, raw_mode.c_str(), io);
    if (stream == nullptr) {
        std::fclose(raw);
        delete cookie;
    }
    return stream;
}

} // namespace

std::FILE *fopen(const char *path, const char *mode) { return open_stream(path, mode, true); }

std::FILE *fopen_nofollow(const char *path, const char *mode) { return open_stream(path, mode, false); }

} // namespace platform
