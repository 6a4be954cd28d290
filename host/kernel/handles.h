// The kernel's handle table: each HANDLE names a typed object (a file, a
// network enumeration, later a process). Objects are shared so that a handle
// closed on one thread leaves an operation under way on another intact.
#pragma once

#include <memory>

#include <windows.h>

namespace kernel {

class KernelObject {
public:
    virtual ~KernelObject() = default;
};

// A new handle for `object`; never NULL nor INVALID_HANDLE_VALUE.
HANDLE InsertHandle(std::shared_ptr<KernelObject> object);

// The object behind `handle` if it is of type T, else nullptr.
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);
template <typename T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle)
{
    return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}

// Removes the handle; the object goes when its last user lets go. False when
// `handle` is no open handle (or, with T, not one of that type).
bool RemoveHandle(HANDLE handle);
template <typename T>
bool RemoveHandleAs(HANDLE handle)
{
    return LookupHandleAs<T>(handle) && RemoveHandle(handle);
}

}  // namespace kernel
