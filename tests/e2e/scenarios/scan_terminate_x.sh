# X during a scan asks "Terminate the Scan now?" captioned "DialogBoxTitle";
# NO lets the scan go on; YES terminates it. X afterwards ends the program.
MODES="win98 winxp"
source "$(dirname "${BASH_SOURCE[0]}")/../lib/terminate.sh"
request() { drv click IDC_CLOSE_X; }
CAPTION='DialogBoxTitle'
decline() { drv answer-prompt DialogBoxTitle IDC_PROMPT_NO; }
afterwards() { drv click IDC_CLOSE_X; }
setup() { terminate_setup; }
scenario() { terminate_scenario; }
