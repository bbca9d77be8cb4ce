// The service control manager's records in the state directory: a
// service's configuration, the status its process reported, and the lock
// that keeps two management commands from changing one service at once.
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

// Takes the lock of a service (waiting up to 60 seconds for another
// holder, ERROR_SERVICE_DATABASE_LOCKED after that). Returns the lock's
// descriptor, or -1 with the Win32 code in error.
int lock_service(const std::string &base, DWORD &error);
void unlock_service(int fd);

// Test seam: the reports kept for the named service's process, oldest
// first; empty when there are none.
std::vector<SERVICE_STATUS> status_reports(const std::string &name);

} // namespace platform::scm
