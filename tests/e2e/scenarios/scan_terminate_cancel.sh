# CANCEL during a scan asks "Terminate the Scan now?"; the close box of the
# question answers no and the scan goes on; YES terminates it. OK afterwards
# ends the program.
MODES="win98 winxp"
source "$(dirname "${BASH_SOURCE[0]}")/../lib/terminate.sh"
request() { drv click 2; }
CAPTION='Cordafix Ver 1.0'
decline() { drv prompt-close 'Cordafix Ver 1.0'; }
afterwards() { drv click 1070; }
setup() { terminate_setup; }
scenario() { terminate_scenario; }
