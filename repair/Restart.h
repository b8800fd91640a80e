// The restart of the machine that completes a clean-up.
#pragma once

// Restarts the machine at once, closing programs by force. 0 when the
// process's token cannot be opened; the system's error code when the shutdown
// privilege cannot be enabled (ERROR_NOT_ALL_ASSIGNED without the right);
// otherwise non-zero once the restart has begun, 0 when it was refused.
int RestartMachine();
