# Escape during a scan asks "Terminate the Scan now?"; Escape in the question
# answers no and the scan goes on; YES terminates it. Escape afterwards ends
# the program.
MODES="win98 nt40 winxp win10"
source "$(dirname "${BASH_SOURCE[0]}")/../lib/terminate.sh"
request() { drv key-escape; }
CAPTION='Cordafix Ver 1.0'
decline() { drv prompt-escape 'Cordafix Ver 1.0'; }
afterwards() { drv key-escape; }
setup() { terminate_setup; }
scenario() { terminate_scenario; }
