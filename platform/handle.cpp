// The table of open handles: a handle is the address of its object and is
// valid while the table holds it.
#include "platform/handle.h"

#include <mutex>
#include <unordered_map>

#include "platform/last_error.h"

namespace platform {

namespace {

std::mutex &table_mutex() {
    static std::mutex m;
    return m;
}

// Never destroyed: threads still running while the process ends may close
// their handles after static destructors have run.
std::unordered_map<HANDLE, std::shared_ptr<KernelObject>> &open_handles() {
    static auto *table = new std::unordered_map<HANDLE, std::shared_ptr<KernelObject>>;
    return *table;
}

} // namespace

HANDLE handle_from_object(std::shared_ptr<KernelObject> object) {
    if (!object)
        return nullptr;
    HANDLE handle = object.get();
    std::lock_guard<std::mutex> lock(table_mutex());
    open_handles().emplace(handle, std::move(object));
    return handle;
}

std::shared_ptr<KernelObject> object_from_handle(HANDLE handle) {
    std::lock_guard<std::mutex> lock(table_mutex());
    auto it = open_handles().find(handle);
    return it == open_handles().end() ? nullptr : it->second;
}

BOOL CloseHandle(HANDLE handle) {
    std::shared_ptr<KernelObject> object;
    {
        std::lock_guard<std::mutex> lock(table_mutex());
        auto it = open_handles().find(handle);
        if (it == open_handles().end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        object = std::move(it->second);
        open_handles().erase(it);
    }
    // The object (a file descriptor, say) is released here, outside the lock.
    return TRUE;
}

} // namespace platform
