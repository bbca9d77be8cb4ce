// The service control dispatcher: the start dialogue with the manager,
// the service's main function on a thread of its own, the controls taken
// from the service's control socket on the dispatcher's thread, and the
// status reports written for the manager.
#include "platform/scm/service_dispatcher.h"

#include <fcntl.h>
#include <poll.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/handle.h"
#include "platform/last_error.h"
#include "platform/scm/run_name.h"
#include "platform/scm/scm_channel.h"
#include "platform/scm/scm_process.h"
#include "platform/scm/scm_records.h"
#include "platform/scm/service_view.h"
#include "platform/thread_create.h"
#include "platform/wait.h"

namespace platform {

// The one service that this process's dispatcher runs. Its handle is the
// address of this record.
struct ServiceStatusRecord {
    std::mutex mutex;
    bool active = false;
    std::string name;
    std::string base;
    char main_argument[scm::kMaxServiceName + 1] = {};
    scm::ProcessMark self;
    LPSERVICE_MAIN_FUNCTIONA main = nullptr;
    LPHANDLER_FUNCTION handler = nullptr;
    LPHANDLER_FUNCTION_EX handler_ex = nullptr;
    LPVOID context = nullptr;
    bool stopped = false;
    std::vector<SERVICE_STATUS> reports;
    // Written when the service reports itself stopped or its main function
    // returns, so that the dispatcher looks again.
    int wake[2] = {-1, -1};
    // The service's run name, held until the process ends.
    int run_name = -1;
};

namespace {

constexpr const char kConnectVariable[] = "OSKAVELDE_SCM_CONNECT";
constexpr int kDialogueLimitMs = 10000;
constexpr int kRequestLimitMs = 5000;

// Never destroyed: the service's threads may still report while the
// process ends.
ServiceStatusRecord &service_record() {
    static auto *record = new ServiceStatusRecord;
    return *record;
}

void wake_dispatcher(const ServiceStatusRecord &r) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(r.wake[1], &byte, 1);
}

DWORD run_service_main(void *parameter) {
    auto *r = static_cast<ServiceStatusRecord *>(parameter);
    char *argv[] = {r->main_argument, nullptr};
    r->main(1, argv);
    wake_dispatcher(*r);
    return 0;
}

BOOL fail(DWORD code) {
    SetLastError(code);
    return FALSE;
}

// The value after "<word> " of a line of the start dialogue.
bool value_after(const std::string &line, const char *word, std::string &value) {
    const std::string prefix = std::string(word) + " ";
    if (line.compare(0, prefix.size(), prefix) != 0 || line.size() == prefix.size())
        return false;
    value = line.substr(prefix.size());
    return true;
}

// One control from a connection: read the request, run the handler,
// answer. True when the control came from this very process.
bool serve_control(ServiceStatusRecord &r, int fd, const scm::Peer &peer) {
    std::string line;
    if (scm::receive_line(fd, kRequestLimitMs, line) != scm::Received::line)
        return false;
    char *end = nullptr;
    const char *number = line.c_str() + 8;
    const unsigned long control = line.compare(0, 8, "CONTROL ") == 0 ? std::strtoul(number, &end, 10) : 0;
    if (end == nullptr || end == number || *end != '\0' || control == 0 || control > 255) {
        scm::send_line(fd, "FAIL " + std::to_string(ERROR_INVALID_PARAMETER));
        return false;
    }
    LPHANDLER_FUNCTION handler = nullptr;
    LPHANDLER_FUNCTION_EX handler_ex = nullptr;
    LPVOID context = nullptr;
    {
        // Also orders the handler after the reports that let the control
        // through.
        std::lock_guard<std::mutex> lock(r.mutex);
        handler = r.handler;
        handler_ex = r.handler_ex;
        context = r.context;
    }
    if (handler == nullptr && handler_ex == nullptr) {
        scm::send_line(fd, "FAIL " + std::to_string(ERROR_SERVICE_CANNOT_ACCEPT_CTRL));
        return false;
    }
    DWORD result = NO_ERROR;
    if (handler_ex != nullptr)
        result = handler_ex(static_cast<DWORD>(control), 0, nullptr, context);
    else
        handler(static_cast<DWORD>(control));
    scm::send_line(fd, "DONE " + std::to_string(result));
    return peer.pid == static_cast<int>(::getpid());
}

// Takes the service's run name for this process, unless the manager's
// view finds another process running the service (one that the manager
// that started this one could not tell from a stopped service): a second
// process does not become the service beside it.
DWORD take_run_name(const std::string &base, const scm::ProcessMark &self, int &run_name) {
    run_name = -1;
    const scm::ServiceView view = scm::view_service(base, 0);
    if (view.running && !scm::same_process(view.current.process, self))
        return ERROR_SERVICE_ALREADY_RUNNING;
    return scm::hold_run_name(base, self, run_name);
}

// The start dialogue; 0 with the service's name and base path and its run
// name taken, or the code to fail with.
DWORD join_manager(const SERVICE_TABLE_ENTRYA *table, const char *connect_path, const scm::ProcessMark &self,
                   int &listen_fd, int &run_name, const SERVICE_TABLE_ENTRYA *&entry, std::string &name,
                   std::string &base) {
    int fd = -1;
    if (scm::connect_socket(connect_path, kDialogueLimitMs, fd) != ERROR_SUCCESS)
        return ERROR_FAILED_SERVICE_CONTROLLER_CONNECT;
    std::string start_line, base_line;
    if (!scm::send_line(fd, "HELLO") ||
        scm::receive_line(fd, kDialogueLimitMs, start_line) != scm::Received::line ||
        scm::receive_line(fd, kDialogueLimitMs, base_line) != scm::Received::line ||
        !value_after(start_line, "START", name) || !value_after(base_line, "BASE", base)) {
        ::close(fd);
        return ERROR_FAILED_SERVICE_CONTROLLER_CONNECT;
    }
    entry = nullptr;
    for (const SERVICE_TABLE_ENTRYA *e = table; e->lpServiceName != nullptr; ++e)
        if (::strcasecmp(e->lpServiceName, name.c_str()) == 0 && e->lpServiceProc != nullptr) {
            entry = e;
            break;
        }
    DWORD error = ERROR_SUCCESS;
    if (entry == nullptr || name.size() > scm::kMaxServiceName) {
        error = ERROR_SERVICE_NOT_IN_EXE;
    } else {
        // The name comes first: whatever the service's files say later, a
        // process that holds it runs the service.
        error = take_run_name(base, self, run_name);
        if (error == ERROR_SUCCESS)
            error = scm::listen_socket(base + ".sock", listen_fd);
        if (error != ERROR_SUCCESS && run_name >= 0) {
            ::close(run_name);
            run_name = -1;
        }
    }
    // Ready means: controls can be taken from now on.
    scm::send_line(fd, error == ERROR_SUCCESS ? std::string("READY") : "FAIL " + std::to_string(error));
    ::close(fd);
    return error;
}

// Either form of the handler, for the service that the dispatcher runs.
SERVICE_STATUS_HANDLE register_handler(LPCSTR service_name, LPHANDLER_FUNCTION handler,
                                       LPHANDLER_FUNCTION_EX handler_ex, LPVOID context, bool given) {
    ServiceStatusRecord &r = service_record();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (!r.active || service_name == nullptr || ::strcasecmp(service_name, r.name.c_str()) != 0) {
        SetLastError(ERROR_SERVICE_NOT_IN_EXE);
        return nullptr;
    }
    if (!given) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    r.handler = handler;
    r.handler_ex = handler_ex;
    r.context = context;
    return &r;
}

} // namespace

BOOL StartServiceCtrlDispatcherA(const SERVICE_TABLE_ENTRYA *table) {
    if (table == nullptr || table[0].lpServiceName == nullptr)
        return fail(ERROR_INVALID_PARAMETER);
    const char *connect_path = std::getenv(kConnectVariable);
    if (connect_path == nullptr || connect_path[0] == '\0')
        return fail(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
    ServiceStatusRecord &r = service_record();
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        if (r.active)
            return fail(ERROR_SERVICE_ALREADY_RUNNING);
    }
    int listen_fd = -1;
    int run_name = -1;
    const SERVICE_TABLE_ENTRYA *entry = nullptr;
    std::string name, base;
    scm::ProcessMark self;
    scm::process_mark_of(static_cast<int>(::getpid()), self);
    const DWORD joined = join_manager(table, connect_path, self, listen_fd, run_name, entry, name, base);
    if (joined != ERROR_SUCCESS)
        return fail(joined);

    int wake[2];
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        const DWORD error = error_from_errno(errno);
        ::close(listen_fd);
        ::unlink((base + ".sock").c_str());
        ::close(run_name);
        return fail(error);
    }
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        r.active = true;
        r.name = entry->lpServiceName;
        r.base = base;
        std::snprintf(r.main_argument, sizeof r.main_argument, "%s", entry->lpServiceName);
        r.self = self;
        r.run_name = run_name;
        r.main = entry->lpServiceProc;
        r.handler = nullptr;
        r.handler_ex = nullptr;
        r.stopped = false;
        r.reports.clear();
        r.wake[0] = wake[0];
        r.wake[1] = wake[1];
    }
    const HANDLE main_thread = CreateThread(nullptr, 0, run_service_main, &r, 0, nullptr);

    bool stop_from_within = false;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(r.mutex);
            if (r.stopped)
                break;
        }
        if (main_thread == nullptr || WaitForSingleObject(main_thread, 0) == WAIT_OBJECT_0)
            break;
        pollfd watched[2] = {{listen_fd, POLLIN, 0}, {wake[0], POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0)
            continue;
        if ((watched[1].revents & POLLIN) != 0) {
            char drain[16];
            while (::read(wake[0], drain, sizeof drain) > 0) {
            }
        }
        if ((watched[0].revents & POLLIN) == 0)
            continue;
        scm::Peer peer;
        const int fd = scm::accept_connection(listen_fd, 0, peer);
        if (fd < 0)
            continue;
        if (scm::peer_allowed(peer))
            stop_from_within = serve_control(r, fd, peer);
        ::close(fd);
    }
    ::close(listen_fd);
    ::unlink((base + ".sock").c_str());
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        r.active = false;
        stop_from_within = stop_from_within && r.stopped;
    }
    // The thread that asked for its own service's stop goes on with its
    // work and ends the process itself; the process ends when it is done,
    // not before.
    if (stop_from_within && main_thread != nullptr)
        WaitForSingleObject(main_thread, INFINITE);
    return TRUE;
}

SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerA(LPCSTR service_name, LPHANDLER_FUNCTION handler) {
    return register_handler(service_name, handler, nullptr, nullptr, handler != nullptr);
}

SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerExA(LPCSTR service_name, LPHANDLER_FUNCTION_EX handler,
                                                    LPVOID context) {
    return register_handler(service_name, nullptr, handler, context, handler != nullptr);
}

BOOL SetServiceStatus(SERVICE_STATUS_HANDLE handle, const SERVICE_STATUS *status) {
    ServiceStatusRecord &r = service_record();
    if (handle != &r)
        return fail(ERROR_INVALID_HANDLE);
    if (status == nullptr)
        return fail(ERROR_INVALID_PARAMETER);
    if (status->dwCurrentState < SERVICE_STOPPED || status->dwCurrentState > SERVICE_PAUSED)
        return fail(ERROR_INVALID_DATA);
    std::lock_guard<std::mutex> lock(r.mutex);
    if (!r.active)
        return fail(ERROR_INVALID_HANDLE);
    r.reports.push_back(*status);
    if (r.reports.size() > scm::kKeptReports)
        r.reports.erase(r.reports.begin());
    scm::StatusRecord record;
    record.status = *status;
    record.process = r.self;
    record.reports = r.reports;
    const DWORD written = scm::write_status(r.base, record);
    if (status->dwCurrentState == SERVICE_STOPPED) {
        r.stopped = true;
        wake_dispatcher(r);
    }
    return written == ERROR_SUCCESS ? TRUE : fail(written);
}

} // namespace platform
