// Events as kernel objects over a signal state.
#include "platform/event.h"

#include "platform/last_error.h"
#include "platform/signal_state.h"

namespace platform {

namespace {

struct EventObject : Waitable {
    EventObject(bool manual, bool initial) : state(manual, initial) {}
    bool wait_signalled(DWORD milliseconds) override { return state.wait(milliseconds); }
    SignalState state;
};

std::shared_ptr<EventObject> event_of(HANDLE handle) {
    auto event = std::dynamic_pointer_cast<EventObject>(object_from_handle(handle));
    if (!event)
        SetLastError(ERROR_INVALID_HANDLE);
    return event;
}

} // namespace

HANDLE CreateEventA(SECURITY_ATTRIBUTES *, BOOL manual_reset, BOOL initial_state, LPCSTR) {
    return handle_from_object(std::make_shared<EventObject>(manual_reset != 0, initial_state != 0));
}

BOOL SetEvent(HANDLE handle) {
    auto event = event_of(handle);
    if (!event)
        return FALSE;
    event->state.set();
    return TRUE;
}

BOOL ResetEvent(HANDLE handle) {
    auto event = event_of(handle);
    if (!event)
        return FALSE;
    event->state.reset();
    return TRUE;
}

} // namespace platform
