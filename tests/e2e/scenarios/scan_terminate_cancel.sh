# CANCEL during a scan asks "Terminate the Scan now?"; the close box of the
# question answers no and the scan goes on; YES terminates it. OK afterwards
# ends the program.
MODES="win98 winxp"
source "$(dirname "${BASH_SOURCE[0]}")/../lib/terminate.sh"
request() { drv click IDC_CANCEL_BUTTON; }
CAPTION='Cordafix Ver 1.0'
decline() { drv prompt-close 'Cordafix Ver 1.0'; }
afterwards() { drv click IDC_OK_BUTTON; }
setup() { terminate_setup; }
scenario() { terminate_scenario; }
