// CreateFileA over open(2). A file created open to everyone is given mode
// 0666 with fchmod after the creation, since the umask would otherwise take
// the write rights of the group and of others away.
#include "platform/file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/handle.h"
#include "platform/last_error.h"

namespace platform {

namespace {

struct FileObject : KernelObject {
    explicit FileObject(int fd) : fd(fd) {}
    ~FileObject() override { ::close(fd); }
    int fd;
};

constexpr DWORD kReadRights = GENERIC_READ | GENERIC_ALL | FILE_READ_DATA;
constexpr DWORD kWriteRights = GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA;

int access_flags(DWORD access) {
    const bool read = (access & kReadRights) != 0;
    const bool write = (access & kWriteRights) != 0;
    if (read && write)
        return O_RDWR;
    return write ? O_WRONLY : O_RDONLY;
}

// Opens with the given creation flags; reports whether the call created
// the file.
int open_file(const char *name, int flags, bool &created) {
    created = false;
    if ((flags & O_CREAT) == 0)
        return ::open(name, flags);
    // Try the exclusive creation first so that a created file can be told
    // from an existing one, then fall back to opening what is there.
    int fd = ::open(name, flags | O_EXCL, 0666);
    if (fd >= 0) {
        created = true;
        return fd;
    }
    if (errno != EEXIST || (flags & O_EXCL) != 0)
        return -1;
    return ::open(name, flags & ~O_CREAT);
}

} // namespace

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD /*share_mode*/, SECURITY_ATTRIBUTES *attributes,
                   DWORD disposition, DWORD /*flags*/, HANDLE /*template_file*/) {
    if (name == nullptr || *name == '\0') {
        SetLastError(name == nullptr ? ERROR_INVALID_PARAMETER : ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    int flags = access_flags(access);
    if (attributes == nullptr || !attributes->bInheritHandle)
        flags |= O_CLOEXEC;
    switch (disposition) {
    case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
    case OPEN_EXISTING: break;
    case OPEN_ALWAYS: flags |= O_CREAT; break;
    case TRUNCATE_EXISTING: flags |= O_TRUNC; break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return INVALID_HANDLE_VALUE;
    }

    bool created = false;
    const int fd = open_file(name, flags, created);
    if (fd < 0) {
        SetLastError(error_from_errno(errno));
        return INVALID_HANDLE_VALUE;
    }
    if (created && grants_everyone(attributes) && ::fchmod(fd, 0666) != 0) {
        const int err = errno;
        ::close(fd);
        ::unlink(name);
        SetLastError(error_from_errno(err));
        return INVALID_HANDLE_VALUE;
    }
    const bool existed = !created && (flags & O_CREAT) != 0;
    HANDLE handle = handle_from_object(std::make_shared<FileObject>(fd));
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

} // namespace platform
