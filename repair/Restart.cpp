#include "repair/Restart.h"

#include "common/Shared.h"

namespace {

const uint32_t kTokenAdjustPrivileges = 0x20;
const uint32_t kTokenQuery = 0x08;
const uint32_t kExitReboot = 0x02;
const uint32_t kExitForce = 0x04;

// 0 when the privilege is enabled, else the token's or the system's answer
// (see RestartMachine).
int32_t EnableShutdownPrivilege(bool* tokenOpened) {
    TokenHandle token = 0;
    *tokenOpened = SysSession().TokenOpenOwn(kTokenAdjustPrivileges | kTokenQuery, &token);
    if (!*tokenOpened) return 0;
    uint64_t luid = 0;
    SysSession().PrivilegeLookup("SeShutdownPrivilege", &luid);
    SysSession().PrivilegeEnable(token, luid);
    // ERROR_NOT_ALL_ASSIGNED comes with success when the user lacks the privilege.
    int32_t error = static_cast<int32_t>(SysSession().LastError());
    SysSession().HandleClose(token);
    return error;
}

}  // namespace

// 0 when the process's token cannot be opened; the system error code when the
// shutdown privilege cannot be enabled; otherwise ExitWindowsEx's result
// (non-zero once the restart has begun).
int RestartMachine() {
    if (GetPlatformFamily() != kFamilyNineX) {
        bool tokenOpened = false;
        int32_t error = EnableShutdownPrivilege(&tokenOpened);
        if (!tokenOpened) return 0;
        if (error != 0) return error;
    }
    if (!SysSession().RequestRestart(kExitReboot | kExitForce, 0)) return 0;
    RestartStarted = 1;
    return 1;
}
