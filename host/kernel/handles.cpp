// The handle table and CloseHandle. Handle values are small multiples of four,
// as on Windows, and a closed value is not handed out again at once, so a
// stale handle is more likely to fail than to reach someone else's object.
#include "kernel/handles.h"

#include <mutex>
#include <unordered_map>

namespace kernel {

namespace {

std::mutex gMutex;
std::unordered_map<std::uintptr_t, std::shared_ptr<KernelObject>> gObjects;
std::uintptr_t gNext = 0;

}  // namespace

HANDLE InsertHandle(std::shared_ptr<KernelObject> object)
{
    std::lock_guard lock(gMutex);
    std::uintptr_t value;
    do {
        gNext = (gNext + 4) & 0x7FFFFFFC;
        value = gNext;
    } while (value == 0 || gObjects.count(value));
    gObjects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle)
{
    std::lock_guard lock(gMutex);
    auto found = gObjects.find(reinterpret_cast<std::uintptr_t>(handle));
    return found == gObjects.end() ? nullptr : found->second;
}

bool RemoveHandle(HANDLE handle)
{
    std::shared_ptr<KernelObject> object;
    {
        std::lock_guard lock(gMutex);
        auto found = gObjects.find(reinterpret_cast<std::uintptr_t>(handle));
        if (found == gObjects.end())
            return false;
        object = std::move(found->second);
        gObjects.erase(found);
    }
    // The object (a descriptor, say) is released outside the table's lock.
    return true;
}

}  // namespace kernel

BOOL WINAPI CloseHandle(HANDLE hObject)
{
    if (!kernel::RemoveHandle(hObject)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
