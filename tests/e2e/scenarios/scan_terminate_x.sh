# X during a scan asks "Terminate the Scan now?" captioned "DialogBoxTitle";
# NO lets the scan go on; YES terminates it. X afterwards ends the program.
MODES="win98 winxp"
source "$(dirname "${BASH_SOURCE[0]}")/../lib/terminate.sh"
request() { drv click 1054; }
CAPTION='DialogBoxTitle'
decline() { drv answer-prompt DialogBoxTitle 7; }
afterwards() { drv click 1054; }
setup() { terminate_setup; }
scenario() { terminate_scenario; }
