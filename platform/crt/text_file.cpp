// Text-mode streams on top of stdio: a cookie stream over the binary file
// translates line ends on the way in and out. Both opens go through
// open(2), fstat and fdopen, the one that does not follow a link with
// O_NOFOLLOW.
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

// The descriptor of the file at path, refused unless it is a regular file.
// The open never waits: a FIFO would hold it until a writer or reader
// came, and what is not a regular file (a FIFO, a device such as
// /dev/zero, a socket, a directory) is judged by fstat on the opened
// descriptor, so that nothing can be swapped in between a look and the
// open. Without follow a symbolic link in the file's place is not gone
// through, and a hard link to another file is refused as well: either
// would carry the writes elsewhere. The file is truncated, where the mode
// asks for it, only once it has passed.
int open_regular_file(const char *path, int flags, bool follow) {
    int open_flags = (flags & ~O_TRUNC) | O_CLOEXEC | O_NONBLOCK;
    if (!follow)
        open_flags |= O_NOFOLLOW;
    const int fd = ::open(path, open_flags, 0666);
    if (fd < 0)
        return -1;
    struct stat st {};
    int err = 0;
    if (::fstat(fd, &st) != 0)
        err = errno;
    else if (S_ISDIR(st.st_mode))
        err = EISDIR;
    else if (!S_ISREG(st.st_mode))
        err = follow ? ENXIO : ELOOP;
    else if (!follow && st.st_nlink > 1)
        err = ELOOP;
    // A read-only descriptor stays non-blocking: a regular file never
    // waits, and a kernel interface that would (as /proc/kmsg does) then
    // reads as ended instead of holding the agent.
    else if ((flags & O_ACCMODE) != O_RDONLY &&
             ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
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
    const int flags = open_flags(mode);
    if (flags < 0) {
        errno = EINVAL;
        return nullptr;
    }
    const int fd = open_regular_file(path, flags, follow);
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

const char *open_failure_text(int err) {
    // The open gives ENXIO for what is not a regular file; so does the
    // system itself, for a socket, a device without a driver and a FIFO
    // without a reader, and "No such device or address" would send an
    // operator looking for a device.
    if (err == ENXIO)
        return "not a regular file";
    // The system's text without strerror's shared buffer.
    const char *text = ::strerrordesc_np(err);
    return text != nullptr ? text : "unknown error";
}

} // namespace platform
