// The manager's view of a service, from its run names and its status
// record.
#include "platform/scm/service_view.h"

#include "platform/scm/service_control.h"

namespace platform::scm {

ServiceView view_service(const std::string &base, DWORD type) {
    ServiceView view;
    const RunNames names = run_names(base);
    view.strangers = names.strangers;
    view.stranger_count = names.stranger_count;
    StatusRecord r;
    const bool sound = read_status(base, r);
    const bool held = !names.ours.empty();
    // The holder is the process the record names when that one holds a
    // name; otherwise the first holder whose name tells its process, or
    // else the first.
    ProcessMark holder = held ? names.ours.front() : ProcessMark{};
    for (const ProcessMark &mark : names.ours)
        if (holder.pid == 0 && mark.pid != 0)
            holder = mark;
    for (const ProcessMark &mark : names.ours)
        if (sound && same_process(mark, r.process))
            holder = mark;
    // The record speaks for the holder when it names that process. When
    // the holder cannot be told, it speaks for it when it names a process
    // that lives, or one that reported itself stopped (which still holds
    // its name on its way out); a record that names an ended process as
    // running is not the holder's.
    const bool names_holder =
        sound && (holder.pid == 0 ? process_alive(r.process) || r.status.dwCurrentState == SERVICE_STOPPED
                                  : same_process(r.process, holder));
    if (held && !names_holder) {
        view.running = true;
        view.damaged = true;
        view.current.status = SERVICE_STATUS{type, SERVICE_RUNNING, 0, 0, 0, 0, 0};
        view.current.process = holder;
        return view;
    }
    if (!sound) {
        view.current.status.dwServiceType = type;
        view.current.status.dwCurrentState = SERVICE_STOPPED;
        return view;
    }
    view.current = r;
    SERVICE_STATUS &s = view.current.status;
    if (s.dwCurrentState != SERVICE_STOPPED && !process_alive(r.process)) {
        // The process ended without reporting itself stopped.
        s.dwCurrentState = SERVICE_STOPPED;
        s.dwControlsAccepted = 0;
        s.dwCheckPoint = 0;
        s.dwWaitHint = 0;
        s.dwWin32ExitCode = ERROR_PROCESS_ABORTED;
    }
    if (s.dwCurrentState == SERVICE_STOPPED) {
        if (held)
            view.ending = r.process;
        view.current.process = ProcessMark{};
        return view;
    }
    view.running = true;
    return view;
}

} // namespace platform::scm
