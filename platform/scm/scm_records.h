// The service control manager's records in the state directory: a
// service's configuration, the status its process reported, the lock
// that keeps two management commands from changing one service at once,
// and the manager's view of a service, which takes whether its process
// runs from what the process's run lock tells and its status from the
// record.
// Both records are texts of "key=value" lines sealed with a checksum line;
// one that is damaged, cut short or out of order reads as missing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/scm/scm_process.h"
#include "platform/scm/service_control.h"
#include "platform/win_types.h"

namespace platform::scm {

struct ServiceConfig {
    std::string name;
    std::string display_name;
    DWORD type = 0;
    DWORD start_type = 0;
    DWORD error_control = 0;
    std::string binary_path;
    std::string group;
    std::vector<std::string> dependencies;
    std::string account;
};

// What a service's process reported: the current status and, oldest first,
// the last reports it made (at most kKeptReports).
struct StatusRecord {
    SERVICE_STATUS status{};
    ProcessMark process;
    std::vector<SERVICE_STATUS> reports;
};

constexpr std::size_t kKeptReports = 16;

// Longest service name, display name and recorded text.
constexpr std::size_t kMaxServiceName = 256;
constexpr std::size_t kMaxRecordText = 4096;

// 1 to 256 characters, none of them '/', '\', a control character or a
// byte above 126.
bool valid_service_name(const char *name);

// True when the text fits a record line: at most kMaxRecordText bytes, no
// line break.
bool valid_record_text(const std::string &text);

// "<state dir>/services".
std::string services_dir();

// The path of a service's files without their extension:
// "<state dir>/services/<encoded lower-cased name>".
std::string service_base(const std::string &name);

// Writes the configuration record whole (0 or a Win32 code).
DWORD write_config(const ServiceConfig &config);

// Reads the configuration record of the name; false when it is missing or
// not sound.
bool read_config(const std::string &name, ServiceConfig &config);

// Removes the configuration record (0, or a Win32 code; a missing record
// is ERROR_SERVICE_DOES_NOT_EXIST).
DWORD remove_config(const std::string &name);

// True when a configuration file of the name is there, sound or not.
bool config_present(const std::string &name);

// Writes and reads the status record of a base path.
DWORD write_status(const std::string &base, const StatusRecord &record);
bool read_status(const std::string &base, StatusRecord &record);
void remove_status(const std::string &base);

// A process mark as a sealed record of its own ("pid" and "start_time"
// lines), and back; false for a text that is not such a record.
std::string mark_record(const ProcessMark &mark);
bool mark_from_record(const std::string &bytes, ProcessMark &mark);

// What the manager knows of a service.
struct ServiceView {
    // The status as the manager reports it: a service that never ran, or
    // whose process has ended, is SERVICE_STOPPED, with
    // ERROR_PROCESS_ABORTED as its exit code when the process ended
    // without reporting itself stopped. current.process is the running
    // process (pid 0 when none runs or none can be named).
    StatusRecord current;
    // A process of the service runs and has not reported itself stopped:
    // it holds the run lock, or its sound status record names it while it
    // lives (before its dispatcher has taken the lock, or when the lock's
    // file has been lost).
    bool running = false;
    // It holds the run lock, but its status record is missing, damaged or
    // names another process: current holds no report of its own.
    bool damaged = false;
    // A process that has reported itself stopped and still holds the run
    // lock on its way out.
    ProcessMark ending;
};

// The view of the service at the base path, given what its run lock
// tells: whether a process holds it, and the holder's mark (pid 0 when it
// cannot be told). type is the recorded service type, used where no
// report gives it.
ServiceView view_service(const std::string &base, DWORD type, bool held, const ProcessMark &holder);

// Takes the lock of a service (waiting up to 60 seconds for another
// holder, ERROR_SERVICE_DATABASE_LOCKED after that). Returns the lock's
// descriptor, or -1 with the Win32 code in error.
int lock_service(const std::string &base, DWORD &error);
void unlock_service(int fd);

// Test seam: the reports kept for the named service's process, oldest
// first; empty when there are none.
std::vector<SERVICE_STATUS> status_reports(const std::string &name);

} // namespace platform::scm
