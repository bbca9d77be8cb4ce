// The debug log: printfc and the process-wide debug switches. Every message
// goes to the console and to the log file "debugsnmp.log" in the data
// directory, as the switches say; the file is opened, appended to and
// closed for each message, so that what is written stands in the file at
// once, and created open to everyone, so that any user's tools can read
// and clear it. The log lies in the data directory or, before the main
// cycle has set that, in the current directory; either may be writable by
// other users, so only a regular file with no other name is opened: for a
// link, a FIFO or a device in the log's place the message is lost for the
// file, as for any file that cannot be written, and the agent neither
// writes where it leads nor waits for a reader.
#include "shared/debug_log.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/console.h"
#include "platform/crt/file_access.h"
#include "platform/crt/text_file.h"
#include "platform/file.h"
#include "platform/handle.h"
#include "platform/security.h"
#include "shared/directories.h"

std::uint8_t bDebug = 0;
std::uint8_t bDebugLog = 0;
std::uint8_t k_monitor = 0;
std::uint8_t k_monitor1 = 0;
std::uint8_t k_errorlog = 0;

namespace {

// One message at a time, so that concurrent messages never mix in the
// console or the file. Recursive, because the signal handler writes
// through printfc and a fault may arise on a thread that is inside it.
std::recursive_mutex &writers() {
    static std::recursive_mutex m;
    return m;
}

// Creates the missing log file with full access for everyone. The handle
// is closed at once whatever the outcome: a creation that fails (another
// thread or process was first, the directory is missing, or a link stands
// in the file's place, which an exclusive creation never goes through) is
// no error.
void create_open_file(const char *path) {
    platform::SECURITY_DESCRIPTOR descriptor;
    platform::InitializeSecurityDescriptor(&descriptor, platform::SECURITY_DESCRIPTOR_REVISION);
    platform::SetSecurityDescriptorDacl(&descriptor, platform::TRUE, nullptr, platform::FALSE);
    platform::SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, platform::FALSE};
    platform::HANDLE file = platform::CreateFileA(path, platform::FILE_ALL_ACCESS, 0, &attributes,
                                                  platform::CREATE_NEW, platform::FILE_ATTRIBUTE_NORMAL, nullptr);
    platform::CloseHandle(file);
}

void append_to_file(const char *text, std::size_t len) {
    char path[256];
    if (!DataFilePath("debugsnmp.log", path))
        return;
    if (platform::_access(path, 0) != 0)
        create_open_file(path);
    std::FILE *file = platform::fopen_nofollow(path, "a+t");
    if (file == nullptr)
        file = platform::fopen_nofollow(path, "w+t");
    if (file == nullptr)
        return;
    std::fwrite(text, 1, len, file);
    std::fclose(file);
}

} // namespace

void printfc(const char *text) {
    if (text == nullptr)
        return;
    std::lock_guard<std::recursive_mutex> lock(writers());
    const std::size_t len = std::strlen(text);
    if (bDebug) {
        platform::DWORD written = 0;
        platform::WriteConsoleA(platform::GetStdHandle(platform::STD_OUTPUT_HANDLE), text,
                                static_cast<platform::DWORD>(len), &written, nullptr);
    }
    if (!bDebugLog)
        return;
    append_to_file(text, len);
}
