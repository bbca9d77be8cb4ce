// The message texts of the Win32 codes the layer sets.
#include "platform/format_message.h"

#include <cstdlib>
#include <cstring>

#include "platform/last_error.h"
#include "platform/module.h"
#include "platform/scm/registry.h"
#include "platform/scm/service_control.h"

namespace platform {

namespace {

struct MessageText {
    DWORD code;
    const char *text;
};

const MessageText kTexts[] = {
    {ERROR_SUCCESS, "The operation completed."},
    {ERROR_FILE_NOT_FOUND, "The file or key was not found."},
    {ERROR_PATH_NOT_FOUND, "The path was not found."},
    {ERROR_TOO_MANY_OPEN_FILES, "Too many files are open."},
    {ERROR_ACCESS_DENIED, "Access denied."},
    {ERROR_INVALID_HANDLE, "The handle is not valid."},
    {ERROR_NOT_ENOUGH_MEMORY, "There is not enough memory for the operation."},
    {ERROR_INVALID_DATA, "The data are not valid."},
    {ERROR_GEN_FAILURE, "The system could not carry out the operation."},
    {ERROR_FILE_EXISTS, "The file already exists."},
    {ERROR_INVALID_PARAMETER, "A parameter is not valid."},
    {ERROR_INSUFFICIENT_BUFFER, "The buffer is too small for the data."},
    {ERROR_INVALID_NAME, "The name is not valid."},
    {ERROR_MOD_NOT_FOUND, "The module was not found."},
    {ERROR_PROC_NOT_FOUND, "The entry point was not found in the module."},
    {ERROR_ALREADY_EXISTS, "The object already exists."},
    {ERROR_ENVVAR_NOT_FOUND, "The environment variable was not found."},
    {ERROR_FILENAME_EXCED_RANGE, "The file name or path is too long."},
    {ERROR_MORE_DATA, "There are more data than the buffer holds."},
    {ERROR_MR_MID_NOT_FOUND, "There is no message text for this code."},
    {ERROR_KEY_DELETED, "The registry key has been deleted."},
    {ERROR_INVALID_SERVICE_CONTROL, "The service does not accept this control."},
    {ERROR_SERVICE_REQUEST_TIMEOUT, "The service did not answer the start or control request in time."},
    {ERROR_SERVICE_DATABASE_LOCKED, "The service record is locked by another management command."},
    {ERROR_SERVICE_ALREADY_RUNNING, "The service is already running."},
    {ERROR_SERVICE_DOES_NOT_EXIST, "The service is not installed."},
    {ERROR_SERVICE_CANNOT_ACCEPT_CTRL, "The service cannot take this control while it is starting or stopping."},
    {ERROR_SERVICE_NOT_ACTIVE, "The service is not running."},
    {ERROR_FAILED_SERVICE_CONTROLLER_CONNECT,
     "The process was not started by the service control manager and cannot connect to it."},
    {ERROR_PROCESS_ABORTED, "The service process ended unexpectedly."},
    {ERROR_SERVICE_EXISTS, "The service is already installed."},
    {ERROR_SERVICE_NOT_IN_EXE, "The program does not run the service it was started for."},
    {ERROR_FILE_CORRUPT, "A record of the service control manager is damaged."},
    {ERROR_UNKNOWN_REVISION, "The revision level is unknown."},
    {ERROR_INVALID_WINDOW_HANDLE, "The window handle is not valid."},
    {ERROR_INVALID_THREAD_ID, "The thread identifier is not valid."},
};

const char *text_of(DWORD code) {
    for (const MessageText &m : kTexts)
        if (m.code == code)
            return m.text;
    return nullptr;
}

} // namespace

DWORD FormatMessageA(DWORD flags, LPCVOID /*source*/, DWORD message_id, DWORD /*language_id*/, LPSTR buffer,
                     DWORD size, void * /*arguments*/) {
    if ((flags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 ||
        (flags & (FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_FROM_HMODULE)) != 0 || buffer == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const char *text = text_of(message_id);
    if (text == nullptr) {
        SetLastError(ERROR_MR_MID_NOT_FOUND);
        return 0;
    }
    const std::size_t length = std::strlen(text);
    if ((flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0) {
        const std::size_t room = length + 1 > size ? length + 1 : size;
        auto *copy = static_cast<char *>(std::malloc(room));
        if (copy == nullptr) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        std::memcpy(copy, text, length + 1);
        *reinterpret_cast<char **>(buffer) = copy;
    } else {
        if (length + 1 > size) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        std::memcpy(buffer, text, length + 1);
    }
    return static_cast<DWORD>(length);
}

HLOCAL LocalFree(HLOCAL memory) {
    std::free(memory);
    return nullptr;
}

} // namespace platform
