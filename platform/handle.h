// Kernel objects behind HANDLE values and CloseHandle. Every kind of object
// the layer hands out as a handle (files now; threads and events as they
// come) derives from KernelObject, so that one CloseHandle releases any of
// them and a value that is not an open handle is refused instead of being
// dereferenced.
#pragma once

#include <memory>

#include "platform/win_types.h"

namespace platform {

struct KernelObject {
    KernelObject() = default;
    KernelObject(const KernelObject &) = delete;
    KernelObject &operator=(const KernelObject &) = delete;
    virtual ~KernelObject() = default;
};

// Registers a new object and returns its handle (null for a null object).
HANDLE handle_from_object(std::shared_ptr<KernelObject> object);

// The object of an open handle, or null for any other value. A caller that
// holds the result may go on using the object after another thread has
// closed the handle; the object ends with its last user.
std::shared_ptr<KernelObject> object_from_handle(HANDLE handle);

// Closes a handle. FALSE with ERROR_INVALID_HANDLE for null,
// INVALID_HANDLE_VALUE and any value that is not an open handle.
BOOL CloseHandle(HANDLE handle);

} // namespace platform
