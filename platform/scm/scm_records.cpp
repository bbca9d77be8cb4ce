// The service records as sealed "key=value" texts, and the service lock.
#include "platform/scm/scm_records.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/last_error.h"
#include "platform/scm/scm_process.h"
#include "platform/scm/state_file.h"

namespace platform::scm {

namespace {

constexpr std::size_t kMaxRecordFile = 64 * 1024;
constexpr int kLockLimitMs = 60000;

const char *const kStartTypeWords[] = {"boot", "system", "automatic", "demand", "disabled"};
const char *const kErrorControlWords[] = {"ignore", "normal", "severe", "critical"};

std::string hex_text(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(value));
    return text;
}

// A number with its word, as "2 automatic".
std::string worded(DWORD value, const char *const *words, std::size_t count) {
    std::string text = std::to_string(value);
    if (value < count)
        text += std::string(" ") + words[value];
    return text;
}

// The lines of a record in order; each must be "key=value" with the key
// expected at its place.
struct Lines {
    std::vector<std::string> lines;
    std::size_t next = 0;

    bool take(const char *key, std::string &value) {
        if (next >= lines.size())
            return false;
        const std::string &line = lines[next];
        const std::string prefix = std::string(key) + "=";
        if (line.compare(0, prefix.size(), prefix) != 0)
            return false;
        value = line.substr(prefix.size());
        ++next;
        return true;
    }
    bool peek(const char *key) const {
        return next < lines.size() && lines[next].compare(0, std::string(key).size() + 1, std::string(key) + "=") == 0;
    }
    bool done() const { return next == lines.size(); }
};

bool split_lines(const std::string &text, Lines &out) {
    out.lines.clear();
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            return false;
        out.lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return true;
}

// The leading number of a field ("2 automatic", "0x00000110"); the word
// after it, if any, is for the reader.
bool number_of(const std::string &text, std::uint64_t &value) {
    if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ')
        return false;
    char *end = nullptr;
    errno = 0;
    value = std::strtoull(text.c_str(), &end, 0);
    return errno == 0 && end != text.c_str() && (*end == '\0' || *end == ' ');
}

bool dword_of(const std::string &text, DWORD &value) {
    std::uint64_t v = 0;
    if (!number_of(text, v) || v > 0xFFFFFFFFull)
        return false;
    value = static_cast<DWORD>(v);
    return true;
}

bool take_dword(Lines &lines, const char *key, DWORD &value) {
    std::string text;
    return lines.take(key, text) && dword_of(text, value);
}

bool record_lines(const std::string &bytes, Lines &lines) {
    std::string text;
    return unsealed_text(bytes, text) && split_lines(text, lines);
}

bool read_record(const std::string &path, Lines &lines) {
    std::string bytes;
    return read_whole_file(path, bytes, kMaxRecordFile) && record_lines(bytes, lines);
}

std::string mark_lines(const ProcessMark &mark) {
    return "pid=" + std::to_string(mark.pid) + "\nstart_time=" + std::to_string(mark.start_time) + "\n";
}

bool take_mark(Lines &lines, ProcessMark &mark) {
    std::string pid, start;
    std::uint64_t pid_value = 0;
    if (!lines.take("pid", pid) || !number_of(pid, pid_value) || pid_value > 0x7FFFFFFF ||
        !lines.take("start_time", start) || !number_of(start, mark.start_time))
        return false;
    mark.pid = static_cast<int>(pid_value);
    return true;
}

// The folder and file name of a base path.
DWORD write_record(const std::string &base, const char *extension, const std::string &text) {
    const std::string folder = base.substr(0, base.find_last_of('/'));
    const std::string name = base.substr(base.find_last_of('/') + 1) + extension;
    const DWORD made = make_folders(folder);
    if (made != ERROR_SUCCESS)
        return made;
    return write_whole_file(folder, name, sealed_text(text));
}

std::string status_line(const SERVICE_STATUS &s) {
    return std::to_string(s.dwCurrentState) + " " + hex_text(s.dwControlsAccepted) + " " +
           std::to_string(s.dwWin32ExitCode) + " " + std::to_string(s.dwServiceSpecificExitCode) + " " +
           std::to_string(s.dwCheckPoint) + " " + std::to_string(s.dwWaitHint);
}

bool parse_report(const std::string &text, DWORD type, SERVICE_STATUS &s) {
    DWORD v[6];
    std::size_t at = 0;
    for (int i = 0; i < 6; ++i) {
        const std::size_t end = text.find(' ', at);
        const std::string part = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (!dword_of(part, v[i]) || part.find(' ') != std::string::npos)
            return false;
        if ((end == std::string::npos) != (i == 5))
            return false;
        at = end + 1;
    }
    s = SERVICE_STATUS{type, v[0], v[1], v[2], v[3], v[4], v[5]};
    return true;
}

} // namespace

bool valid_service_name(const char *name) {
    if (name == nullptr)
        return false;
    std::size_t length = 0;
    for (const char *p = name; *p != '\0'; ++p, ++length) {
        const auto c = static_cast<unsigned char>(*p);
        if (c < 32 || c > 126 || c == '/' || c == '\\' || length >= kMaxServiceName)
            return false;
    }
    return length > 0;
}

bool valid_record_text(const std::string &text) {
    return text.size() <= kMaxRecordText && text.find_first_of(std::string("\n\r\0", 3)) == std::string::npos;
}

std::string services_dir() { return state_dir() + "/services"; }

std::string service_base(const std::string &name) { return services_dir() + "/" + encoded_name(lowered(name)); }

DWORD write_config(const ServiceConfig &c) {
    std::string dependencies;
    for (const std::string &d : c.dependencies)
        dependencies += (dependencies.empty() ? "" : "/") + d;
    const std::string text =
        "name=" + c.name + "\ndisplay_name=" + c.display_name + "\ntype=" + hex_text(c.type) +
        "\nstart_type=" + worded(c.start_type, kStartTypeWords, 5) +
        "\nerror_control=" + worded(c.error_control, kErrorControlWords, 4) + "\nbinary_path=" + c.binary_path +
        "\ngroup=" + c.group + "\ndependencies=" + dependencies + "\naccount=" + c.account + "\n";
    return write_record(service_base(c.name), ".service", text);
}

bool read_config(const std::string &name, ServiceConfig &c) {
    Lines lines;
    std::string dependencies;
    if (!read_record(service_base(name) + ".service", lines) || !lines.take("name", c.name) ||
        !lines.take("display_name", c.display_name) || !take_dword(lines, "type", c.type) ||
        !take_dword(lines, "start_type", c.start_type) || !take_dword(lines, "error_control", c.error_control) ||
        !lines.take("binary_path", c.binary_path) || !lines.take("group", c.group) ||
        !lines.take("dependencies", dependencies) || !lines.take("account", c.account) || !lines.done())
        return false;
    // A record stored under another name's file is not this service's.
    if (lowered(c.name) != lowered(name))
        return false;
    c.dependencies.clear();
    std::size_t at = 0;
    while (at < dependencies.size()) {
        const std::size_t end = dependencies.find('/', at);
        c.dependencies.push_back(dependencies.substr(at, end == std::string::npos ? std::string::npos : end - at));
        if (end == std::string::npos)
            break;
        at = end + 1;
    }
    return true;
}

DWORD remove_config(const std::string &name) {
    if (::unlink((service_base(name) + ".service").c_str()) == 0)
        return ERROR_SUCCESS;
    return errno == ENOENT ? ERROR_SERVICE_DOES_NOT_EXIST : error_from_errno(errno);
}

bool config_present(const std::string &name) {
    return ::access((service_base(name) + ".service").c_str(), F_OK) == 0;
}

DWORD write_status(const std::string &base, const StatusRecord &r) {
    std::string text = mark_lines(r.process) + "type=" + hex_text(r.status.dwServiceType) +
                       "\nstatus=" + status_line(r.status) + "\n";
    const std::size_t first = r.reports.size() > kKeptReports ? r.reports.size() - kKeptReports : 0;
    for (std::size_t i = first; i < r.reports.size(); ++i)
        text += "report=" + status_line(r.reports[i]) + "\n";
    return write_record(base, ".status", text);
}

bool read_status(const std::string &base, StatusRecord &r) {
    Lines lines;
    std::string status, report;
    DWORD type = 0;
    if (!read_record(base + ".status", lines) || !take_mark(lines, r.process) || !take_dword(lines, "type", type) ||
        !lines.take("status", status) || !parse_report(status, type, r.status))
        return false;
    r.reports.clear();
    while (lines.peek("report")) {
        SERVICE_STATUS s{};
        if (!lines.take("report", report) || !parse_report(report, type, s) || r.reports.size() >= kKeptReports)
            return false;
        r.reports.push_back(s);
    }
    return lines.done();
}

void remove_status(const std::string &base) { ::unlink((base + ".status").c_str()); }

int lock_service(const std::string &base, DWORD &error) {
    const std::string folder = base.substr(0, base.find_last_of('/'));
    error = make_folders(folder);
    if (error != ERROR_SUCCESS)
        return -1;
    const int fd = ::open((base + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        error = error_from_errno(errno);
        return -1;
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLockLimitMs);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        if ((err != EWOULDBLOCK && err != EINTR) || std::chrono::steady_clock::now() >= until) {
            error = err == EWOULDBLOCK ? ERROR_SERVICE_DATABASE_LOCKED : error_from_errno(err);
            ::close(fd);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    error = ERROR_SUCCESS;
    return fd;
}

void unlock_service(int fd) {
    if (fd >= 0)
        ::close(fd);
}

std::vector<SERVICE_STATUS> status_reports(const std::string &name) {
    StatusRecord r;
    if (!read_status(service_base(name), r))
        return {};
    return r.reports;
}

} // namespace platform::scm
