// The one set of user hooks of the process.
#include "user/hooks.h"

#include "user/user_state.h"

namespace user {

namespace {

UserHooks &Installed()
{
    static UserHooks hooks;
    return hooks;
}

}  // namespace

UserHooks InstallUserHooks(UserHooks hooks)
{
    UserLock lock = LockUser();
    std::swap(Installed(), hooks);
    return hooks;
}

const UserHooks &HooksLocked()
{
    return Installed();
}

}  // namespace user
