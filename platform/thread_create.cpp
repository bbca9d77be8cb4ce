// Threads on pthreads. Each runs a trampoline whose guard marks the thread
// object ended however the thread ends: by returning, by ExitThread or by
// TerminateThread (pthread_exit and cancellation both unwind the stack).
#include "platform/thread_create.h"

#include <pthread.h>

#include <atomic>

#include "platform/last_error.h"
#include "platform/signal_state.h"
#include "platform/thread.h"
#include "platform/wait.h"

namespace platform {

namespace {

struct ThreadObject : Waitable {
    bool wait_signalled(DWORD milliseconds) override { return ended.wait(milliseconds); }
    SignalState ended{true, false};
    std::atomic<DWORD> exit_code{STILL_ACTIVE};
    pthread_t native{};
    LPTHREAD_START_ROUTINE start = nullptr;
    void *parameter = nullptr;
    DWORD id = 0;
    // Held by the running thread so that the object outlives a CloseHandle.
    std::shared_ptr<ThreadObject> self;
};

struct EndGuard {
    std::shared_ptr<ThreadObject> object;
    ~EndGuard() {
        object->ended.set();
        object->self.reset();
    }
};


std::shared_ptr<ThreadObject> thread_of(HANDLE handle) {
    auto thread = std::dynamic_pointer_cast<ThreadObject>(object_from_handle(handle));
    if (!thread)
        SetLastError(ERROR_INVALID_HANDLE);
    return thread;
}

thread_local ThreadObject *t_current = nullptr;

void *trampoline(void *arg) {
    auto *raw = static_cast<ThreadObject *>(arg);
    t_current = raw;
    adopt_thread_id(raw->id);
    EndGuard guard{raw->self};
    raw->exit_code = raw->start(raw->parameter);
    return nullptr;
}

} // namespace

HANDLE CreateThread(SECURITY_ATTRIBUTES *, std::size_t, LPTHREAD_START_ROUTINE start,
                    void *parameter, DWORD, DWORD *thread_id) {
    if (start == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto object = std::make_shared<ThreadObject>();
    object->start = start;
    object->parameter = parameter;
    object->self = object;
    object->id = reserve_thread_id();
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    const int rc = pthread_create(&object->native, &attr, trampoline, object.get());
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        object->self.reset();
        SetLastError(error_from_errno(rc));
        return nullptr;
    }
    if (thread_id != nullptr)
        *thread_id = object->id;
    return handle_from_object(object);
}

void ExitThread(DWORD exit_code) {
    if (t_current != nullptr)
        t_current->exit_code = exit_code;
    pthread_exit(nullptr);
}

BOOL TerminateThread(HANDLE handle, DWORD exit_code) {
    auto thread = thread_of(handle);
    if (!thread)
        return FALSE;
    if (thread->ended.wait(0))
        return TRUE;
    thread->exit_code = exit_code;
    pthread_cancel(thread->native);
    return TRUE;
}

BOOL GetExitCodeThread(HANDLE handle, DWORD *exit_code) {
    auto thread = thread_of(handle);
    if (!thread || exit_code == nullptr)
        return FALSE;
    *exit_code = thread->exit_code;
    return TRUE;
}

} // namespace platform
